// kestrum-scenario run as a CI job runs it: against a bare UDP peer that
// checks the exact frames and their spacing, and against the simulator.
#include "RC_Frame.h"
#include "RC_Payload.h"
#include "TempDir.h"
#include "TestPaths.h"
#include "UdpPeer.h"
#include "WaitFor.h"
#include "cSimEventLog.h"
#include "cSimOptions.h"
#include "cSimulator.h"

#include <boost/filesystem.hpp>
#include <chrono>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <mutex>
#include <poll.h>
#include <regex>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace std::chrono_literals;
using Bytes = UdpPeer::Bytes;
using Clock = std::chrono::steady_clock;

namespace
{
// The program in a folder of its own (its working folder and its per-user
// settings folder), standard output and error read as they come.
class ScenarioProcess
{
public:
    ScenarioProcess(const std::string& sDir, std::vector<std::string> args)
    {
        args.insert(args.begin(), TestPaths::BinDir() + "/kestrum-scenario");
        int out[2];
        int err[2];
        if (pipe(out) != 0 || pipe(err) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addclose(&actions, err[0]);
        posix_spawn_file_actions_addchdir_np(&actions, sDir.c_str());
        std::vector<std::string> environment = {"XDG_CONFIG_HOME=" + sDir};
        for (char** pEntry = environ; *pEntry; ++pEntry)
        {
            if (std::strncmp(*pEntry, "XDG_CONFIG_HOME=", 16) != 0)
                environment.emplace_back(*pEntry);
        }
        std::vector<char*> argv;
        for (std::string& sArg : args)
            argv.push_back(sArg.data());
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (std::string& sEntry : environment)
            envp.push_back(sEntry.data());
        envp.push_back(nullptr);
        if (posix_spawn(&m_Pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
            m_Pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(err[1]);
        m_nOut = out[0];
        m_nErr = err[0];
    }
    ~ScenarioProcess()
    {
        if (m_Pid > 0 && !m_bReaped)
        {
            kill(m_Pid, SIGKILL);
            waitpid(m_Pid, nullptr, 0);
        }
        ::close(m_nOut);
        ::close(m_nErr);
    }
    ScenarioProcess(const ScenarioProcess&) = delete;
    ScenarioProcess& operator=(const ScenarioProcess&) = delete;

    bool Started() const { return m_Pid > 0; }
    void Signal(int nSignal) { kill(m_Pid, nSignal); }

    // Reads until a whole line of standard output equals sLine (false after the limit).
    bool WaitForLine(const std::string& sLine, std::chrono::milliseconds limit = 20s)
    {
        const auto deadline = Clock::now() + limit;
        while (!HasLine(sLine))
        {
            if (Clock::now() >= deadline || !ReadSome(deadline))
                return HasLine(sLine);
        }
        return true;
    }

    // The exit status once the program has ended (-1: killed or still running after the limit).
    int Wait(std::chrono::milliseconds limit = 30s)
    {
        const auto deadline = Clock::now() + limit;
        while (ReadSome(deadline))
        {
        }
        while (Clock::now() < deadline)
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

    const std::string& Out() const { return m_sOut; }
    const std::string& Err() const { return m_sErr; }
    // Standard output's lines, without those about the link.
    std::vector<std::string> StatusLines() const
    {
        std::vector<std::string> lines;
        size_t nStart = 0;
        for (size_t nEnd; (nEnd = m_sOut.find('\n', nStart)) != std::string::npos; nStart = nEnd + 1)
        {
            const std::string sLine = m_sOut.substr(nStart, nEnd - nStart);
            if (sLine.rfind("LINK : ", 0) != 0)
                lines.push_back(sLine);
        }
        return lines;
    }

private:
    bool HasLine(const std::string& sLine) const
    {
        return m_sOut.rfind(sLine + "\n", 0) == 0 || m_sOut.find("\n" + sLine + "\n") != std::string::npos;
    }

    // False once both pipes are at their end or the deadline has passed.
    bool ReadSome(Clock::time_point deadline)
    {
        pollfd fds[2] = {{m_nOut, POLLIN, 0}, {m_nErr, POLLIN, 0}};
        const bool bOutOpen = m_nOut >= 0 && !m_bOutDone;
        const bool bErrOpen = m_nErr >= 0 && !m_bErrDone;
        if (!bOutOpen && !bErrOpen)
            return false;
        fds[0].fd = bOutOpen ? m_nOut : -1;
        fds[1].fd = bErrOpen ? m_nErr : -1;
        const auto nLeft = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (nLeft <= 0 || poll(fds, 2, static_cast<int>(nLeft)) <= 0)
            return false;
        char buffer[4096];
        for (int n = 0; n < 2; ++n)
        {
            if (!(fds[n].revents & (POLLIN | POLLHUP)))
                continue;
            const ssize_t nRead = ::read(fds[n].fd, buffer, sizeof(buffer));
            if (nRead > 0)
                (n == 0 ? m_sOut : m_sErr).append(buffer, static_cast<size_t>(nRead));
            else
                (n == 0 ? m_bOutDone : m_bErrDone) = true;
        }
        return true;
    }

    pid_t m_Pid = -1;
    bool m_bReaped = false;
    int m_nOut = -1;
    int m_nErr = -1;
    bool m_bOutDone = false;
    bool m_bErrDone = false;
    std::string m_sOut;
    std::string m_sErr;
};

uint16_t FreeUdpPort()
{
    UdpPeer probe;
    return probe.Port();
}

Bytes Command(uint8_t nSubSystem, const RC_Payload& payload)
{
    RC_Frame frame;
    frame.BuildCommand(RC_Variant::ShortFrames, nSubSystem, 0, payload);
    return {frame.Data(), frame.Data() + frame.Size()};
}

bool IsPeriodicRequest(const Bytes& frame)
{
    return frame.size() > 5 && frame[0] == RC_Frame::kShortSync && frame[4] == 0x70;
}

bool IsPeriodicStop(const Bytes& frame, uint8_t nSubSystem)
{
    return IsPeriodicRequest(frame) && frame[1] == nSubSystem && frame[5] == 0;
}

// A settings file, a page with one item and a scenario, for the short-frame
// console talking to a peer on 127.0.0.1.
class ScenarioProgramTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_Peer.SetTimeout(10);
        m_nConsolePort = FreeUdpPort();
        m_Dir.Write("pages.xml", R"(<PageDefinitions><Page Title="Tracker">
  <Item SubSystem="5" Item="3" Access="RW" Label="Mode" Type="Byte"/>
</Page></PageDefinitions>)");
        m_Dir.Write("scenario.xml", R"(<CommandDefinitions>
  <Test1>
    <Item CMD="TX_MSG" Label="Set mode" SubSystem="5" Index="0" Id="3" Type="Byte" Data="2"/>
    <Item CMD="TX_QRY" Label="Read mode" SubSystem="5" Index="0" Id="3"/>
    <Item CMD="TX_MSG" Label="Gain" SubSystem="5" Index="0" Id="7" Type="Fixed" Data="1.5"/>
    <Item CMD="FINISH"/>
  </Test1>
  <TestLoop>
    <Item CMD="TX_MSG" Label="A" SubSystem="5" Index="0" Id="3" Type="Byte" Data="1"/>
    <Item CMD="TX_MSG" Label="B" SubSystem="5" Index="0" Id="3" Type="Byte" Data="0"/>
  </TestLoop>
</CommandDefinitions>)");
        m_Dir.Write("Kestrum.xml", R"(<VMS_Cfg><Kestrum nControllerType="0" nCommsMethod="2" sIpAddress="127.0.0.1" nTxPort=")" +
                                       std::to_string(m_Peer.Port()) + R"(" nRxPort=")" + std::to_string(m_nConsolePort) +
                                       R"(" sPageDefinitionsFile="pages.xml" sTestScenarioFile="scenario.xml"/>
  <EoTrackData/></VMS_Cfg>)");
    }

    std::unique_ptr<ScenarioProcess> Run(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--settings", "Kestrum.xml"});
        auto pProcess = std::make_unique<ScenarioProcess>(m_Dir.Path(), std::move(args));
        EXPECT_TRUE(pProcess->Started());
        return pProcess;
    }

    // The next frame that is not a periodic request (empty after the timeout).
    Bytes NextCommand()
    {
        Bytes frame;
        do
            frame = m_Peer.Receive();
        while (!frame.empty() && IsPeriodicRequest(frame));
        return frame;
    }

    TempDir m_Dir;
    UdpPeer m_Peer;
    uint16_t m_nConsolePort = 0;
};
} // namespace

// Help and version exit 0; wrong usage 2 with the usage text; an unreadable
// scenario or a missing test 1, naming the file or the test; --list the names.
TEST_F(ScenarioProgramTest, UsageListingAndEveryRefusal)
{
    auto pHelp = Run({"--help"});
    EXPECT_EQ(pHelp->Wait(), 0);
    EXPECT_NE(pHelp->Out().find("Usage: kestrum-scenario"), std::string::npos);
    EXPECT_NE(pHelp->Out().find("130 after SIGINT or SIGTERM"), std::string::npos);
    auto pVersion = Run({"--version"});
    EXPECT_EQ(pVersion->Wait(), 0);
    EXPECT_EQ(pVersion->Out(), std::string("kestrum-scenario ") + KESTRUM_VERSION + "\n");

    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--tick-ms", "0"}, {"--cycles", "2x"}, {"--bogus"}, {"--scenario"}, {"Test1", "TestLoop"}})
    {
        auto pWrong = Run(args);
        EXPECT_EQ(pWrong->Wait(), 2) << args[0];
        EXPECT_NE(pWrong->Err().find("Usage: kestrum-scenario"), std::string::npos) << pWrong->Err();
        EXPECT_TRUE(pWrong->Out().empty());
    }

    auto pList = Run({"--list"});
    EXPECT_EQ(pList->Wait(), 0);
    EXPECT_EQ(pList->Out(), "Test1\nTestLoop\n");

    auto pMissing = Run({"--scenario", "nowhere.xml", "--list"});
    EXPECT_EQ(pMissing->Wait(), 1);
    EXPECT_NE(pMissing->Err().find("Error opening test scenario file nowhere.xml"), std::string::npos)
        << pMissing->Err();
    auto pNoTest = Run({"TestNothing"});
    EXPECT_EQ(pNoTest->Wait(), 1);
    EXPECT_NE(pNoTest->Err().find("no test named TestNothing in scenario.xml"), std::string::npos) << pNoTest->Err();
}

// With a 20 ms tick a step goes out every 500 ms, each frame exactly as the
// page protocol builds it; the peer's answer to the query is printed with
// the item's label; FINISH ends the run with 0 after the periodic requests
// are stopped; the log holds the command and query lines.
TEST_F(ScenarioProgramTest, FramesAndSpacingAgainstAPeer)
{
    auto pRun = Run({"--tick-ms", "20", "--log"});
    std::vector<Clock::time_point> arrivals;
    RC_Payload setMode;
    setMode.AddByte(3, 2);
    RC_Payload query;
    query.AddQuery(3);
    RC_Payload gain;
    gain.AddS32(7, 6144);
    for (const RC_Payload* pPayload : {&setMode, &query, &gain})
    {
        EXPECT_EQ(NextCommand(), Command(5, *pPayload));
        arrivals.push_back(Clock::now());
        if (pPayload == &query)
        {
            RC_Payload answer;
            answer.AddByte(3, 9);
            RC_Frame status;
            status.BuildStatus(RC_Variant::ShortFrames, 5, 0, 0, answer.Data(), answer.Size());
            m_Peer.SendTo(m_nConsolePort, Bytes(status.Data(), status.Data() + status.Size()));
        }
    }
    for (size_t n = 1; n < arrivals.size(); ++n)
    {
        const auto gap = std::chrono::duration_cast<std::chrono::milliseconds>(arrivals[n] - arrivals[n - 1]);
        EXPECT_GE(gap.count(), 400) << "step " << n;
        EXPECT_LE(gap.count(), 3000) << "step " << n;
    }
    Bytes frame;
    do
        frame = m_Peer.Receive();
    while (!frame.empty() && !IsPeriodicStop(frame, 5));
    EXPECT_FALSE(frame.empty()) << "no stop of the periodic requests";

    EXPECT_EQ(pRun->Wait(), 0) << pRun->Err();
    EXPECT_EQ(pRun->StatusLines(),
              (std::vector<std::string>{"COMMAND : Set mode", "QUERY : Read mode", "  Mode = 9", "COMMAND : Gain",
                                        "FINISHED"}))
        << pRun->Out();
    EXPECT_NE(pRun->Out().find("LINK : Active\n"), std::string::npos) << pRun->Out();

    std::vector<std::string> logs;
    for (const auto& entry : boost::filesystem::directory_iterator(m_Dir.File("TestLogs")))
        logs.push_back(entry.path().filename().string());
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_TRUE(std::regex_match(logs[0], std::regex(R"(Test-\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d\.csv)"))) << logs[0];
    const std::string sLog = m_Dir.Read("TestLogs/" + logs[0]);
    const std::regex pattern(R"(Log started at: \d\d:\d\d:\d\d\.\d{3}
\d\d:\d\d:\d\d\.\d{3} TX CMD: Set mode 5 0 3
QUERY: Read mode 5 0 3
\d\d:\d\d:\d\d\.\d{3} TX CMD: Gain 5 0 7

Log finished at: \d\d:\d\d:\d\d\.\d{3})");
    EXPECT_TRUE(std::regex_match(sLog, pattern)) << sLog;
}

// --cycles 2 ends a test without FINISH after two passes (four steps) with 0.
TEST_F(ScenarioProgramTest, CyclesEndATestWithoutFinish)
{
    auto pRun = Run({"--tick-ms", "20", "--cycles", "2", "TestLoop"});
    for (uint8_t nValue : {1, 0, 1, 0})
    {
        RC_Payload payload;
        payload.AddByte(3, nValue);
        EXPECT_EQ(NextCommand(), Command(5, payload));
    }
    EXPECT_EQ(pRun->Wait(), 0) << pRun->Err();
    EXPECT_EQ(pRun->StatusLines(),
              (std::vector<std::string>{"COMMAND : A", "COMMAND : B", "COMMAND : A", "COMMAND : B"}));
    // Only the stop of the periodic requests follows.
    m_Peer.SetTimeout(1);
    for (Bytes frame = m_Peer.Receive(); !frame.empty(); frame = m_Peer.Receive())
        EXPECT_TRUE(IsPeriodicRequest(frame));
}

// SIGTERM and SIGINT stop the test ("STOPPED"), stop the periodic requests
// and end with 130.
TEST_F(ScenarioProgramTest, StopSignalsEndWith130AfterStoppingThePeriodicRequests)
{
    for (int nSignal : {SIGTERM, SIGINT})
    {
        auto pRun = Run({"--tick-ms", "20", "TestLoop"});
        ASSERT_TRUE(pRun->WaitForLine("COMMAND : A")) << pRun->Out() << pRun->Err();
        pRun->Signal(nSignal);
        Bytes frame;
        do
            frame = m_Peer.Receive();
        while (!frame.empty() && !IsPeriodicStop(frame, 5));
        EXPECT_FALSE(frame.empty()) << "no stop frame after signal " << nSignal;
        EXPECT_EQ(pRun->Wait(), 130) << pRun->Err();
        ASSERT_FALSE(pRun->StatusLines().empty());
        EXPECT_EQ(pRun->StatusLines().back(), "STOPPED");
    }
}

// The sample scenario's first test against the simulator (long frames and
// the heartbeat), as a CI job would run it: the simulator sees the sets and
// the query, the answer shows the value set, FINISH ends the run.
TEST(ScenarioProgramSim, SampleScenarioRunsAgainstTheSimulator)
{
    TempDir dir;
    const uint16_t nConsolePort = FreeUdpPort();
    cSimOptions options;
    options.m_nVariant = 1;
    options.m_sPagesFile = TestPaths::SourceDir() + "/config/PageDefinitions.xml";
    options.m_nPort = 0;
    options.m_nEoListenPort = 0;
    options.m_nReplyPort = nConsolePort;
    options.m_nEoPort = FreeUdpPort();
    options.m_bQuiet = true;
    cSimEventLog events(true);
    std::mutex mutex;
    std::vector<std::string> seen;
    events.SetObserver([&](const std::string& sEvent) {
        std::lock_guard<std::mutex> lock(mutex);
        seen.push_back(sEvent);
    });
    const auto saw = [&](const std::string& sFragment) {
        std::lock_guard<std::mutex> lock(mutex);
        for (const std::string& sEvent : seen)
            if (sEvent.find(sFragment) != std::string::npos)
                return true;
        return false;
    };
    cSimulator sim(options, events);
    std::string sError;
    ASSERT_TRUE(sim.Start(sError)) << sError;

    dir.Write("Kestrum.xml", R"(<VMS_Cfg><Kestrum nControllerType="1" bUseVMS_HeartBeat="true" nCommsMethod="2"
    sIpAddress="127.0.0.1" nTxPort=")" + std::to_string(sim.PagesPort()) + R"(" nRxPort=")" +
                                 std::to_string(nConsolePort) + R"(" sPageDefinitionsFile=")" + options.m_sPagesFile +
                                 R"(" sTestScenarioFile=")" + TestPaths::SourceDir() +
                                 R"(/config/TestScenario.xml"/><EoTrackData/></VMS_Cfg>)");
    ScenarioProcess run(dir.Path(), {"--settings", "Kestrum.xml", "--tick-ms", "20", "Test1_ModesAndQuery"});
    ASSERT_TRUE(run.Started());
    EXPECT_EQ(run.Wait(60s), 0) << run.Out() << run.Err();

    std::vector<std::string> lines = run.StatusLines();
    ASSERT_FALSE(lines.empty()) << run.Out();
    EXPECT_EQ(lines.front(), "COMMAND : System mode Manual");
    EXPECT_EQ(lines.back(), "FINISHED");
    std::string sStatus;
    for (const std::string& sLine : lines)
        sStatus += sLine + "\n";
    for (const char* szLines : {"WAIT : 0\nQUERY : Read system mode\n  VMS System Mode = 1\n",
                                "COMMAND : System mode Standby\nFINISHED\n"})
        EXPECT_NE(sStatus.find(szLines), std::string::npos) << szLines << " in\n" << sStatus;
    EXPECT_NE(run.Out().find("LINK : Active\n"), std::string::npos) << run.Out();
    EXPECT_TRUE(saw("set 1/0/3 = 1"));
    EXPECT_TRUE(saw("query 1/0/3 = 1"));
    EXPECT_TRUE(saw("set 1/0/3 = 0"));
    EXPECT_TRUE(WaitFor([&] { return saw("periodic 1/0 stopped"); }));
    sim.Stop();
}
