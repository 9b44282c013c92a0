// The built program, run as the demo and the console's tests run it.
#include "SimTestSupport.h"

#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace simtest;

extern char** environ;

namespace
{
// The program with standard output and error on one pipe.
class Child
{
public:
    explicit Child(std::vector<std::string> args)
    {
        const char* szDir = std::getenv("KESTRUM_BIN_DIR");
        args.insert(args.begin(), szDir ? std::string(szDir) + "/vms-sim" : std::string(VMS_SIM_PROGRAM));
        int out[2];
        if (pipe(out) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, out[1], 2);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<char*> argv;
        for (std::string& sArg : args)
            argv.push_back(sArg.data());
        argv.push_back(nullptr);
        if (posix_spawn(&m_Pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            m_Pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        m_nOut = out[0];
    }
    ~Child()
    {
        if (m_Pid > 0 && !m_bReaped)
        {
            kill(m_Pid, SIGKILL);
            waitpid(m_Pid, nullptr, 0);
        }
        ::close(m_nOut);
    }
    bool Started() const { return m_Pid > 0; }
    void Signal(int nSignal) { kill(m_Pid, nSignal); }

    // Output up to the end of the first line holding the fragment ("" if none comes in 10 s).
    std::string UpTo(const std::string& sFragment)
    {
        for (;;)
        {
            const size_t nAt = m_sOut.find(sFragment);
            const size_t nEnd = nAt == std::string::npos ? nAt : m_sOut.find('\n', nAt);
            if (nEnd != std::string::npos)
            {
                const std::string sText = m_sOut.substr(0, nEnd + 1);
                m_sOut.erase(0, nEnd + 1);
                return sText;
            }
            pollfd fd{m_nOut, POLLIN, 0};
            char buffer[4096];
            const ssize_t nRead = poll(&fd, 1, 10000) > 0 ? ::read(m_nOut, buffer, sizeof(buffer)) : 0;
            if (nRead <= 0)
                return {};
            m_sOut.append(buffer, static_cast<size_t>(nRead));
        }
    }

    // Exit status once it has ended (-1: still running after 10 s, or killed).
    int Wait()
    {
        for (int i = 0; i < 1000; ++i)
        {
            int nStatus = 0;
            if (waitpid(m_Pid, &nStatus, WNOHANG) == m_Pid)
            {
                m_bReaped = true;
                return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
            }
            usleep(10000);
        }
        return -1;
    }

private:
    pid_t m_Pid = -1;
    bool m_bReaped = false;
    int m_nOut = -1;
    std::string m_sOut;
};
} // namespace

TEST(SimProgram, HelpExplainsItselfAndWrongUsageIsRefused)
{
    Child help({"--help"});
    ASSERT_TRUE(help.Started());
    const std::string sHelp = help.UpTo("Exit status");
    EXPECT_EQ(help.Wait(), 0);
    for (const char* szFragment : {"Usage: vms-sim", "every R x 100 ms", "rate 0 stops", "--serial DEVICE",
                                   "--eo-format", "--bad-checksum-every", "--no-heartbeat-for", "--short-frames"})
        EXPECT_NE(sHelp.find(szFragment), std::string::npos) << szFragment;

    Child wrong({"--variant", "7"});
    EXPECT_NE(wrong.UpTo("--variant"), "");
    EXPECT_EQ(wrong.Wait(), 64);
    Child missing({"--pages", "/nonexistent/pages.xml", "--port", "0", "--eo-listen-port", "0"});
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
    Child sim({"--variant", "1", "--pages", dir.File("pages.xml"), "--bind", "127.0.0.1", "--port", "0",
               "--reply-port", std::to_string(console.Port()), "--eo-listen-port", "0", "--eo-port",
               std::to_string(eoConsole.Port())});
    ASSERT_TRUE(sim.Started());
    const std::string sReady = sim.UpTo("vms-sim ready");
    const size_t nAt = sReady.find("pages 127.0.0.1:");
    ASSERT_NE(nAt, std::string::npos) << sReady;
    const uint16_t nPort = static_cast<uint16_t>(std::stoi(sReady.substr(nAt + 16)));

    console.SendTo(nPort, WithChecksum({0x99, 0x05, 0x02, 0x00, 0x01, 0x8B}));
    bool bAnswered = false;
    for (int i = 0; i < 5 && !bAnswered; ++i)
    {
        std::optional<Bytes> frame = console.Receive();
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
    Child replay({"--replay", dir.File("Kestrum.txt"), "--replay-now", "--speed", "0.5", "--bind", "127.0.0.1",
                  "--port", "0", "--reply-port", std::to_string(console.Port())});
    ASSERT_TRUE(replay.Started());
    EXPECT_NE(replay.UpTo("vms-sim replay ready: 2 frames (0 EO) over 0.050 s at speed 0.5"), "");
    EXPECT_TRUE(console.Receive());
    EXPECT_TRUE(console.Receive());
    EXPECT_NE(replay.UpTo("replay finished: 2 of 2 frames sent"), "");
    EXPECT_EQ(replay.Wait(), 0);

    Child bad({"--replay", dir.File("bad.txt"), "--port", "0"});
    EXPECT_NE(bad.UpTo(dir.File("bad.txt") + ":2: not a data line"), "");
    EXPECT_EQ(bad.Wait(), 1);
}
