// The built program, run as the demo and the console's tests run it.
#include "ChildProcess.h"
#include "SimTestSupport.h"
#include "TestPaths.h"

#include <csignal>
#include <gtest/gtest.h>

using namespace simtest;
using namespace std::chrono_literals;

namespace
{
// The program, with standard output and error on one pipe.
ChildProcess VmsSim(const std::vector<std::string>& args)
{
    return ChildProcess(TestPaths::BinDir() + "/vms-sim", args);
}
} // namespace

TEST(SimProgram, HelpExplainsItselfAndWrongUsageIsRefused)
{
    ChildProcess help = VmsSim({"--help"});
    ASSERT_TRUE(help.Started());
    const std::string sHelp = help.UpTo("Exit status");
    EXPECT_EQ(help.Wait(), 0);
    for (const char* szFragment : {"Usage: vms-sim", "every R x 100 ms", "rate 0 stops", "--serial DEVICE",
                                   "--eo-format", "--bad-checksum-every", "--no-heartbeat-for", "--short-frames"})
        EXPECT_NE(sHelp.find(szFragment), std::string::npos) << szFragment;

    ChildProcess wrong = VmsSim({"--variant", "7"});
    EXPECT_NE(wrong.UpTo("--variant"), "");
    EXPECT_EQ(wrong.Wait(), 64);
    ChildProcess missing = VmsSim({"--pages", "/nonexistent/pages.xml", "--port", "0", "--eo-listen-port", "0"});
    EXPECT_NE(missing.UpTo("/nonexistent/pages.xml"), "");
    EXPECT_EQ(missing.Wait(), 1);
}

// Started as a separate process it answers a query, then stops on SIGTERM
// with its closing line and exit status 0.
TEST(SimProgram, AnswersAQueryAndStopsOnSigterm)
{
    TempDir dir;
    dir.Write("pages.xml", kPages);
    UdpPeer console;
    UdpPeer eoConsole;
    ChildProcess sim = VmsSim({"--variant", "1", "--pages", dir.File("pages.xml"), "--bind", "127.0.0.1", "--port",
                               "0", "--reply-port", std::to_string(console.Port()), "--eo-listen-port", "0",
                               "--eo-port", std::to_string(eoConsole.Port())});
    ASSERT_TRUE(sim.Started());
    const std::string sReady = sim.UpTo("vms-sim ready");
    const size_t nAt = sReady.find("pages 127.0.0.1:");
    ASSERT_NE(nAt, std::string::npos) << sReady;
    const uint16_t nPort = static_cast<uint16_t>(std::stoi(sReady.substr(nAt + 16)));

    console.SendTo(nPort, WithChecksum({0x99, 0x05, 0x02, 0x00, 0x01, 0x8B}));
    bool bAnswered = false;
    for (int i = 0; i < 5 && !bAnswered; ++i)
    {
        std::optional<Bytes> frame = console.ReceiveWithin(10s);
        ASSERT_TRUE(frame);
        bAnswered = *frame == WithChecksum({0x99, 0x05, 0x02, 0x00, 0x00, 0x09, 0x0B, 0x00});
    }
    EXPECT_TRUE(bAnswered);
    EXPECT_NE(sim.UpTo("query 5/2/11 = 0"), "");

    sim.Signal(SIGTERM);
    EXPECT_NE(sim.UpTo("SIGTERM: stopping"), "");
    EXPECT_NE(sim.UpTo("vms-sim stopped"), "");
    EXPECT_EQ(sim.Wait(), 0);
}

// With --replay the program plays the log and ends by itself with status 0;
// a log it cannot read ends it with status 1 and the reason.
TEST(SimProgram, ReplayPlaysTheLogAndEnds)
{
    TempDir dir;
    dir.Write("Kestrum.txt", "Time, [Comment], Count, Data\n0, Log started \n"
                             "10: 10,Rx Msg,007,0x10,0x05,0x00,0x02,0x0c,0x07,0x2a\n"
                             "60:050,Rx Msg,007,0x10,0x05,0x00,0x02,0x0c,0x08,0x2b\n");
    dir.Write("bad.txt", "Time, [Comment], Count, Data\nsoon,Rx Msg,001,0x10\n");
    UdpPeer console;
    ChildProcess replay = VmsSim({"--replay", dir.File("Kestrum.txt"), "--replay-now", "--speed", "0.5", "--bind",
                                  "127.0.0.1", "--port", "0", "--reply-port", std::to_string(console.Port())});
    ASSERT_TRUE(replay.Started());
    EXPECT_NE(replay.UpTo("vms-sim replay ready: 2 frames (0 EO) over 0.050 s at speed 0.5"), "");
    EXPECT_TRUE(console.ReceiveWithin(10s));
    EXPECT_TRUE(console.ReceiveWithin(10s));
    EXPECT_NE(replay.UpTo("replay finished: 2 of 2 frames sent"), "");
    EXPECT_EQ(replay.Wait(), 0);

    ChildProcess bad = VmsSim({"--replay", dir.File("bad.txt"), "--port", "0"});
    EXPECT_NE(bad.UpTo(dir.File("bad.txt") + ":2: not a data line"), "");
    EXPECT_EQ(bad.Wait(), 1);
}
