// kestrum-scenario run as a CI job runs it: against a bare UDP peer that
// checks the exact frames and their spacing, and against the simulator.
#include "ChildProcess.h"
#include "ConsoleSettings.h"
#include "RC_Frame.h"
#include "RC_Payload.h"
#include "SimUnderTest.h"
#include "TempDir.h"
#include "TestPaths.h"
#include "UdpPeer.h"
#include "WaitFor.h"

#include <boost/filesystem.hpp>
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>
#include <regex>

using namespace std::chrono_literals;
using Bytes = UdpPeer::Bytes;
using Clock = std::chrono::steady_clock;

namespace
{
// How long a run may take to end, and a step's line to show.
constexpr auto kRunLimit = 30s;
constexpr auto kLineLimit = 20s;

// The program in a folder of its own: its working folder and its per-user
// settings folder.
std::unique_ptr<ChildProcess> RunIn(const TempDir& dir, const std::vector<std::string>& args)
{
    ChildProcess::Options options;
    options.sWorkDir = dir.Path();
    options.environment = {{"XDG_CONFIG_HOME", dir.Path()}};
    options.bSeparateErrors = true;
    auto pProcess = std::make_unique<ChildProcess>(TestPaths::BinDir() + "/kestrum-scenario", args, options);
    EXPECT_TRUE(pProcess->Started());
    return pProcess;
}

// Standard output's lines, without those about the link.
std::vector<std::string> StatusLines(const ChildProcess& process)
{
    std::vector<std::string> lines;
    const std::string& sOut = process.Output();
    size_t nStart = 0;
    for (size_t nEnd; (nEnd = sOut.find('\n', nStart)) != std::string::npos; nStart = nEnd + 1)
    {
        const std::string sLine = sOut.substr(nStart, nEnd - nStart);
        if (sLine.rfind("LINK : ", 0) != 0)
            lines.push_back(sLine);
    }
    return lines;
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
        ConsoleSettings()
            .Udp(m_Peer.Port(), m_nConsolePort)
            .Main("nControllerType", 0)
            .Main("sPageDefinitionsFile", "pages.xml")
            .Main("sTestScenarioFile", "scenario.xml")
            .Write(m_Dir);
    }

    std::unique_ptr<ChildProcess> Run(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--settings", "Kestrum.xml"});
        return RunIn(m_Dir, args);
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
    EXPECT_EQ(pHelp->Wait(kRunLimit), 0);
    EXPECT_NE(pHelp->Output().find("Usage: kestrum-scenario"), std::string::npos);
    EXPECT_NE(pHelp->Output().find("130 after SIGINT or SIGTERM"), std::string::npos);
    auto pVersion = Run({"--version"});
    EXPECT_EQ(pVersion->Wait(kRunLimit), 0);
    EXPECT_EQ(pVersion->Output(), std::string("kestrum-scenario (Kestrum) ") + KESTRUM_VERSION + "\n");

    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--tick-ms", "0"}, {"--cycles", "2x"}, {"--bogus"}, {"--scenario"}, {"Test1", "TestLoop"}})
    {
        auto pWrong = Run(args);
        EXPECT_EQ(pWrong->Wait(kRunLimit), 2) << args[0];
        EXPECT_NE(pWrong->Errors().find("Usage: kestrum-scenario"), std::string::npos) << pWrong->Errors();
        EXPECT_TRUE(pWrong->Output().empty());
    }

    auto pList = Run({"--list"});
    EXPECT_EQ(pList->Wait(kRunLimit), 0);
    EXPECT_EQ(pList->Output(), "Test1\nTestLoop\n");

    auto pMissing = Run({"--scenario", "nowhere.xml", "--list"});
    EXPECT_EQ(pMissing->Wait(kRunLimit), 1);
    EXPECT_NE(pMissing->Errors().find("Error opening test scenario file nowhere.xml"), std::string::npos)
        << pMissing->Errors();
    auto pNoTest = Run({"TestNothing"});
    EXPECT_EQ(pNoTest->Wait(kRunLimit), 1);
    EXPECT_NE(pNoTest->Errors().find("no test named TestNothing in scenario.xml"), std::string::npos) << pNoTest->Errors();
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

    EXPECT_EQ(pRun->Wait(kRunLimit), 0) << pRun->Errors();
    EXPECT_EQ(StatusLines(*pRun),
              (std::vector<std::string>{"COMMAND : Set mode", "QUERY : Read mode", "  Mode = 9", "COMMAND : Gain",
                                        "FINISHED"}))
        << pRun->Output();
    EXPECT_NE(pRun->Output().find("LINK : Active\n"), std::string::npos) << pRun->Output();

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
    EXPECT_EQ(pRun->Wait(kRunLimit), 0) << pRun->Errors();
    EXPECT_EQ(StatusLines(*pRun),
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
        ASSERT_TRUE(pRun->WaitForLine("COMMAND : A", kLineLimit)) << pRun->Output() << pRun->Errors();
        pRun->Signal(nSignal);
        Bytes frame;
        do
            frame = m_Peer.Receive();
        while (!frame.empty() && !IsPeriodicStop(frame, 5));
        EXPECT_FALSE(frame.empty()) << "no stop frame after signal " << nSignal;
        EXPECT_EQ(pRun->Wait(kRunLimit), 130) << pRun->Errors();
        ASSERT_FALSE(StatusLines(*pRun).empty());
        EXPECT_EQ(StatusLines(*pRun).back(), "STOPPED");
    }
}

namespace
{
// The sample scenario's first test, quickly ticked, against the simulator
// (long frames with the heartbeat) and the sample page definitions.
std::unique_ptr<ChildProcess> RunSampleTest(const TempDir& dir, SimUnderTest& sim, const std::string& sPages)
{
    ConsoleSettings()
        .Udp(sim.PagesPort(), sim.ConsolePort())
        .Main("nControllerType", 1)
        .Main("bUseVMS_HeartBeat", true)
        .Main("sPageDefinitionsFile", sPages)
        .Main("sTestScenarioFile", TestPaths::SourceDir() + "/config/TestScenario.xml")
        .Write(dir);
    return RunIn(dir, {"--settings", "Kestrum.xml", "--tick-ms", "20", "Test1_ModesAndQuery"});
}
} // namespace

// The sample scenario's first test against the simulator (long frames and
// the heartbeat), as a CI job would run it: the simulator sees the sets and
// the query, the answer shows the value set, FINISH ends the run.
TEST(ScenarioProgramSim, SampleScenarioRunsAgainstTheSimulator)
{
    TempDir dir;
    const std::string sPages = TestPaths::SourceDir() + "/config/PageDefinitions.xml";
    SimUnderTest sim(1, sPages);
    ASSERT_TRUE(sim.Start());

    auto pRun = RunSampleTest(dir, sim, sPages);
    ASSERT_TRUE(pRun->Started());
    EXPECT_EQ(pRun->Wait(60s), 0) << pRun->Output() << pRun->Errors();

    std::vector<std::string> lines = StatusLines(*pRun);
    ASSERT_FALSE(lines.empty()) << pRun->Output();
    EXPECT_EQ(lines.front(), "COMMAND : System mode Manual");
    EXPECT_EQ(lines.back(), "FINISHED");
    std::string sStatus;
    for (const std::string& sLine : lines)
        sStatus += sLine + "\n";
    for (const char* szLines : {"WAIT : 0\nQUERY : Read system mode\n  VMS System Mode = 1\n",
                                "COMMAND : System mode Standby\nFINISHED\n"})
        EXPECT_NE(sStatus.find(szLines), std::string::npos) << szLines << " in\n" << sStatus;
    EXPECT_NE(pRun->Output().find("LINK : Active\n"), std::string::npos) << pRun->Output();
    EXPECT_TRUE(sim.SawEvent("set 1/0/3 = 1"));
    EXPECT_TRUE(sim.SawEvent("query 1/0/3 = 1"));
    EXPECT_TRUE(sim.SawEvent("set 1/0/3 = 0"));
    EXPECT_TRUE(WaitFor([&] { return sim.SawEvent("periodic 1/0 stopped"); }));
    sim.Stop();
}

// The same test on a bad network (10% of the datagrams lost each way, up to
// 50 ms of jitter): the scenario still runs to FINISH and ends cleanly. A
// command or the query's answer may be lost: the protocol does not repeat
// them, so the run does not depend on them.
TEST(ScenarioProgramSim, SampleScenarioCompletesOnALossyLink)
{
    TempDir dir;
    const std::string sPages = TestPaths::SourceDir() + "/config/PageDefinitions.xml";
    SimUnderTest sim(1, sPages);
    cSimImpairment::Settings network;
    network.dLoss = 0.1;
    network.nJitterMs = 50;
    sim.Options().m_ImpairTx = network;
    sim.Options().m_ImpairRx = network;
    sim.Options().m_nSeed = 21;
    ASSERT_TRUE(sim.Start());

    auto pRun = RunSampleTest(dir, sim, sPages);
    ASSERT_TRUE(pRun->Started());
    EXPECT_EQ(pRun->Wait(90s), 0) << pRun->Output() << pRun->Errors();
    const std::vector<std::string> lines = StatusLines(*pRun);
    ASSERT_FALSE(lines.empty()) << pRun->Output();
    EXPECT_EQ(lines.back(), "FINISHED");
    EXPECT_NE(pRun->Output().find("LINK : Active\n"), std::string::npos) << pRun->Output();
    sim.Stop();
}
