// The built program, run as the demo and the console's tests run it.
#include "ChildProcess.h"
#include "ConsoleSettings.h"
#include "SimTestSupport.h"
#include "TestPaths.h"
#include "TsInspector.h"

#include <boost/filesystem.hpp>
#include <csignal>
#include <gtest/gtest.h>

using namespace simtest;
using namespace std::chrono_literals;

namespace
{
// The program, with standard output and error on one pipe, in a home of its
// own (sHome), so that it neither reads nor makes the user's own settings.
ChildProcess VmsSim(const std::vector<std::string>& args, const std::string& sHome, const std::string& sWorkDir = {},
                    bool bSeparateErrors = false)
{
    ChildProcess::Options options;
    options.OwnHome(sHome);
    options.sWorkDir = sWorkDir;
    options.bSeparateErrors = bSeparateErrors;
    return ChildProcess(TestPaths::BinDir() + "/vms-sim", args, options);
}

size_t Occurrences(const std::string& sText, const std::string& sFragment)
{
    size_t nCount = 0;
    for (size_t nAt = sText.find(sFragment); nAt != std::string::npos; nAt = sText.find(sFragment, nAt + 1))
        ++nCount;
    return nCount;
}
} // namespace

TEST(SimProgram, HelpExplainsItselfAndWrongUsageIsRefused)
{
    TempDir home;
    ChildProcess help = VmsSim({"--help"}, home.Path());
    ASSERT_TRUE(help.Started());
    const std::string sHelp = help.UpTo("Exit status");
    EXPECT_EQ(help.Wait(), 0);
    for (const char* szFragment : {"Usage: vms-sim", "every R x 100 ms", "rate 0 stops", "--serial DEVICE",
                                   "--eo-format", "--bad-checksum-every", "--no-heartbeat-for", "--short-frames",
                                   "--settings FILE", "nControllerType\n                           of the settings file, else 0",
                                   "bUseVMS_HeartBeat", "nTxPort of the settings", "--loss P", "--loss-tx",
                                   "--burst-loss N", "--jitter MS", "--corrupt P", "--seed S",
                                   "a serial link\nis not impaired", "(default: from the\n                           clock)",
                                   "--video udp://HOST:PORT", "--video-rtp", "--video-size WxH", "--video-fps N",
                                   "--video-loss P"})
        EXPECT_NE(sHelp.find(szFragment), std::string::npos) << szFragment;
    // It names the file the console would take, and makes nothing to say so.
    EXPECT_NE(sHelp.find("    " + home.File("config/kestrum/Kestrum.xml") + "\n"), std::string::npos) << sHelp;
    EXPECT_FALSE(boost::filesystem::exists(home.File("config")));

    ChildProcess wrong = VmsSim({"--variant", "7"}, home.Path());
    EXPECT_NE(wrong.UpTo("--variant"), "");
    EXPECT_EQ(wrong.Wait(), 64);
    ChildProcess missing =
        VmsSim({"--pages", "/nonexistent/pages.xml", "--port", "0", "--eo-listen-port", "0"}, home.Path());
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
                               "--eo-port", std::to_string(eoConsole.Port())},
                              dir.Path());
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

// With --video the program streams a transport stream to the port: whole
// 1316-byte datagrams of 188-byte packets, an H.264 stream at about the frame
// rate and a KLV stream beside it; the start and stop lines say where it went
// and how much.
TEST(SimProgram, VideoGoesToItsPortAsATransportStreamWithKlv)
{
    TempDir dir;
    dir.Write("pages.xml", kPages);
    UdpPeer console;
    UdpPeer eoConsole;
    UdpPeer video;
    const std::string sDestination = "udp://127.0.0.1:" + std::to_string(video.Port());
    ChildProcess sim = VmsSim({"--variant", "1", "--pages", dir.File("pages.xml"), "--bind", "127.0.0.1", "--port",
                               "0", "--reply-port", std::to_string(console.Port()), "--eo-listen-port", "0",
                               "--eo-port", std::to_string(eoConsole.Port()), "--video", sDestination},
                              dir.Path());
    ASSERT_TRUE(sim.Started());
    const std::string sReady = sim.UpTo("vms-sim ready");
    EXPECT_NE(sReady.find(", video " + sDestination + " (MPEG-TS, H.264 and KLV, 640 x 480 at 30 frames/s)"),
              std::string::npos)
        << sReady;

    ASSERT_TRUE(video.ReceiveWithin(10s));
    TsInspector ts;
    size_t nDatagrams = 0;
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < 2s)
    {
        std::optional<Bytes> datagram = video.ReceiveWithin(1s);
        ASSERT_TRUE(datagram);
        ASSERT_EQ(datagram->size(), 1316u);
        ++nDatagrams;
        ts.Datagram(datagram->data(), datagram->size());
    }
    const double dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(ts.BadSync(), 0u);
    const TsInspector::Stream* pVideo = ts.OfType(TsInspector::kStreamTypeH264);
    const TsInspector::Stream* pKlv = ts.Other(TsInspector::kStreamTypeH264);
    ASSERT_TRUE(pVideo);
    ASSERT_TRUE(pKlv);
    // 30 frames/s, with room for a loaded machine; 1.5 Mbit/s is over 100 datagrams/s.
    EXPECT_GT(pVideo->nPesStarts / dSeconds, 15.0);
    EXPECT_LT(pVideo->nPesStarts / dSeconds, 40.0);
    EXPECT_GT(nDatagrams / dSeconds, 30.0);
    EXPECT_GT(pKlv->payloads.size(), pVideo->nPesStarts / 2);

    sim.Signal(SIGTERM);
    const std::string sStopped = sim.UpTo("vms-sim stopped");
    EXPECT_NE(sStopped.find(" video frames in "), std::string::npos) << sStopped;
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
                                  "127.0.0.1", "--port", "0", "--reply-port", std::to_string(console.Port())},
                                 dir.Path());
    ASSERT_TRUE(replay.Started());
    EXPECT_NE(replay.UpTo("vms-sim replay ready: 2 frames (0 EO) over 0.050 s at speed 0.5"), "");
    EXPECT_TRUE(console.ReceiveWithin(10s));
    EXPECT_TRUE(console.ReceiveWithin(10s));
    EXPECT_NE(replay.UpTo("replay finished: 2 of 2 frames sent"), "");
    EXPECT_EQ(replay.Wait(), 0);

    ChildProcess bad = VmsSim({"--replay", dir.File("bad.txt"), "--port", "0"}, dir.Path());
    EXPECT_NE(bad.UpTo(dir.File("bad.txt") + ":2: not a data line"), "");
    EXPECT_EQ(bad.Wait(), 1);
}

// Started with no options where the console's config/Kestrum.xml is, it says
// what it took, listens on the console's target port in long frames, answers
// on the console's port and sends its heartbeat there.
TEST(SimProgram, WithoutOptionsItTakesTheConsolesSettingsFile)
{
    TempDir dir;
    UdpPeer console;
    UdpPeer eoConsole;
    const uint16_t nSimPort = FreeUdpPort();
    const uint16_t nSimEoPort = FreeUdpPort();
    boost::filesystem::create_directories(dir.File("config"));
    dir.Write("config/PageDefinitions.xml", kPages);
    dir.Write("config/Kestrum.xml", ConsoleSettings()
                                        .Udp(nSimPort, console.Port())
                                        .Main("nControllerType", 1)
                                        .Main("bUseVMS_HeartBeat", true)
                                        .Main("sPageDefinitionsFile", "config/PageDefinitions.xml")
                                        .Eo("nTxPort", nSimEoPort)
                                        .Eo("nRxPort", eoConsole.Port())
                                        .Text());
    ChildProcess sim = VmsSim({}, dir.Path(), dir.Path());
    ASSERT_TRUE(sim.Started());
    const std::string sExpected = "settings: config/Kestrum.xml: variant 1 with heartbeat, UDP " +
                                  std::to_string(nSimPort) + " -> 127.0.0.1:" + std::to_string(console.Port()) +
                                  ", EO " + std::to_string(nSimEoPort) + " -> " + std::to_string(eoConsole.Port());
    EXPECT_NE(sim.UpTo(sExpected), "") << sim.Output();
    ASSERT_NE(sim.UpTo("vms-sim ready: variant 1, "), "") << sim.Output();
    EXPECT_NE(sim.Output().find("from config/PageDefinitions.xml"), std::string::npos) << sim.Output();

    console.SendTo(nSimPort, WithChecksum({0x99, 0x05, 0x02, 0x00, 0x01, 0x8B}));
    bool bAnswered = false;
    bool bHeartbeat = false;
    for (int i = 0; i < 20 && !(bAnswered && bHeartbeat); ++i)
    {
        std::optional<Bytes> frame = console.ReceiveWithin(10s);
        ASSERT_TRUE(frame);
        bAnswered = bAnswered || *frame == WithChecksum({0x99, 0x05, 0x02, 0x00, 0x00, 0x09, 0x0B, 0x00});
        bHeartbeat = bHeartbeat || (frame->size() > 3 && (*frame)[0] == 0x99 && (*frame)[1] == 0x00 && (*frame)[2] == 0x01);
    }
    EXPECT_TRUE(bAnswered);
    EXPECT_TRUE(bHeartbeat);
    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Wait(), 0);
    EXPECT_EQ(sim.Output().find("vms-sim: "), std::string::npos) << "no complaint: " << sim.Output();
}

// A settings file that cannot be read is said once, on standard error, and the
// simulator runs on its built-in defaults with the options over them.
TEST(SimProgram, UnreadableSettingsAreSaidOnceAndTheDefaultsRun)
{
    TempDir dir;
    dir.Write("pages.xml", kPages);
    dir.Write("broken.xml", "<VMS_Cfg><Kestrum nControllerType=\"1\"");
    UdpPeer console;
    ChildProcess sim = VmsSim({"--settings", dir.File("broken.xml"), "--pages", dir.File("pages.xml"), "--bind",
                               "127.0.0.1", "--port", "0", "--reply-port", std::to_string(console.Port()),
                               "--eo-listen-port", "0"},
                              dir.Path(), dir.Path(), true);
    ASSERT_TRUE(sim.Started());
    EXPECT_NE(sim.UpTo("settings: built-in defaults: variant 0, UDP 0 -> 127.0.0.1:" +
                       std::to_string(console.Port()) + ", EO 0 -> 9186 (--port, --reply-port, --eo-listen-port "
                                                        "from the command line)"),
              "")
        << sim.Output() << sim.Errors();
    ASSERT_NE(sim.UpTo("vms-sim ready: variant 0"), "");
    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Wait(), 0);
    EXPECT_EQ(Occurrences(sim.Output() + sim.Errors(), "broken.xml"), 1u) << sim.Output() << sim.Errors();
    EXPECT_NE(sim.Errors().find("vms-sim: cannot read the settings file " + dir.File("broken.xml") +
                                ": not XML (line 1: "),
              std::string::npos)
        << sim.Errors();
    EXPECT_NE(sim.Errors().find("; running on the built-in defaults\n"), std::string::npos) << sim.Errors();
}

namespace
{
// The program's arguments for variant 1 without heartbeats, answering to
// the console's peer socket, with the network options after them.
std::vector<std::string> ImpairedArgs(const std::vector<std::string>& network, const TempDir& dir,
                                      const UdpPeer& console)
{
    std::vector<std::string> args{"--variant", "1", "--heartbeat", "off", "--pages", dir.File("pages.xml"),
                                  "--bind", "127.0.0.1", "--port", "0", "--reply-port",
                                  std::to_string(console.Port()), "--eo-listen-port", "0", "--eo-port",
                                  std::to_string(FreeUdpPort())};
    args.insert(args.end(), network.begin(), network.end());
    return args;
}

// Where the started program takes commands, from its ready line; 0 if none came.
uint16_t ReadyPort(ChildProcess& sim)
{
    const std::string sReady = sim.UpTo("vms-sim ready");
    const size_t nAt = sReady.find("pages 127.0.0.1:");
    return nAt == std::string::npos ? 0 : static_cast<uint16_t>(std::stoi(sReady.substr(nAt + 16)));
}

const Bytes kQuery = WithChecksum({0x99, 0x05, 0x02, 0x00, 0x01, 0x8B});
const Bytes kAnswer = WithChecksum({0x99, 0x05, 0x02, 0x00, 0x00, 0x09, 0x0B, 0x00});
} // namespace

// --loss 1 --loss-rx 0: commands still arrive and are handled, nothing comes
// back; the start line says so, with the seed.
TEST(SimProgram, LossOneWayLetsCommandsInAndNothingOut)
{
    TempDir dir;
    dir.Write("pages.xml", kPages);
    UdpPeer console;
    ChildProcess sim = VmsSim(ImpairedArgs({"--loss", "1", "--loss-rx", "0", "--seed", "7"}, dir, console), dir.Path());
    const uint16_t nPort = ReadyPort(sim);
    ASSERT_NE(nPort, 0) << sim.Output();
    EXPECT_NE(sim.Output().find("network: to the console loss 1; from the console none; seed 7\n"),
              std::string::npos)
        << sim.Output();
    console.SendTo(nPort, kQuery);
    EXPECT_NE(sim.UpTo("query 5/2/11 = 0"), "");
    console.SendTo(nPort, kQuery);
    EXPECT_NE(sim.UpTo("query 5/2/11 = 0"), "");
    EXPECT_FALSE(console.ReceiveWithin(300ms)) << "the answers are lost";
    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Wait(), 0);
}

// --duplicate-tx 1 --corrupt-tx 1: every answer comes twice, each of its
// length with one bit flipped, so its checksum fails.
TEST(SimProgram, EveryAnswerTwiceAndCorrupted)
{
    TempDir dir;
    dir.Write("pages.xml", kPages);
    UdpPeer console;
    ChildProcess sim = VmsSim(ImpairedArgs({"--duplicate-tx", "1", "--corrupt-tx", "1"}, dir, console), dir.Path());
    const uint16_t nPort = ReadyPort(sim);
    ASSERT_NE(nPort, 0) << sim.Output();
    for (int i = 0; i < 3; ++i)
    {
        console.SendTo(nPort, kQuery);
        const std::optional<Bytes> first = console.ReceiveWithin(10s);
        const std::optional<Bytes> second = console.ReceiveWithin(10s);
        ASSERT_TRUE(first && second);
        EXPECT_EQ(*first, *second);
        ASSERT_EQ(first->size(), kAnswer.size());
        EXPECT_FALSE(ChecksumGood(*first));
        int nBits = 0;
        for (size_t n = 0; n < kAnswer.size(); ++n)
            nBits += __builtin_popcount((*first)[n] ^ kAnswer[n]);
        EXPECT_EQ(nBits, 1);
    }
    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Wait(), 0);
}
