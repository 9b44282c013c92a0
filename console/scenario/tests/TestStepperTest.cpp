#include "RC_Frame.h"
#include "RC_Payload.h"
#include "TempDir.h"
#include "UdpPeer.h"
#include "cCsvLogFile.h"
#include "cRC_IO_Pages.h"
#include "cTestScenario.h"
#include "cTestScenarioReader.h"
#include "cTestStepper.h"

#include <gtest/gtest.h>
#include <memory>
#include <regex>

namespace
{
using Bytes = UdpPeer::Bytes;

Bytes Command(RC_Variant eVariant, uint8_t nSubSystem, uint8_t nIndex, const RC_Payload& payload)
{
    RC_Frame frame;
    frame.BuildCommand(eVariant, nSubSystem, nIndex, payload);
    return {frame.Data(), frame.Data() + frame.Size()};
}

template <typename Add>
Bytes Command(RC_Variant eVariant, uint8_t nSubSystem, uint8_t nIndex, Add add)
{
    RC_Payload payload;
    add(payload);
    return Command(eVariant, nSubSystem, nIndex, payload);
}

// The stepper driven tick by tick with a clock of the test's own, sending
// through a page protocol (without its own timer) to a peer on 127.0.0.1.
class TestStepperTest : public ::testing::Test
{
protected:
    void Start(RC_Variant eVariant, const std::string& sTests)
    {
        m_eVariant = eVariant;
        m_Dir.Write("scenario.xml", "<CommandDefinitions>" + sTests + "</CommandDefinitions>");
        ASSERT_EQ(cTestScenarioReader().Read(m_Dir.File("scenario.xml"), m_Scenario),
                  cTestScenarioReader::Result::kRead);
        CommsSettings settings;
        settings.nCommsMethod = CommsSettings::kUdp;
        settings.nTxPort = m_Peer.Port();
        settings.nRxPort = 0;
        m_pPages = std::make_unique<cRC_IO_Pages>(eVariant, false);
        ASSERT_TRUE(m_pPages->initialise(settings, "Kestrum"));
        m_Peer.SetTimeout(5);
        m_pStepper = std::make_unique<cTestStepper>(m_pPages.get(), m_Scenario, [this] { return m_nNow; });
        m_pStepper->SetStatusSink([this](const std::string& sText) { m_Shown.push_back(sText); });
        m_pStepper->Select(0);
        m_pStepper->Start();
    }

    // Ticks n times; the frames sent meanwhile.
    int Ticks(int n)
    {
        const int32_t nBefore = m_pPages->m_nTxCount;
        for (int i = 0; i < n; ++i)
            m_pStepper->Tick();
        return m_pPages->m_nTxCount - nBefore;
    }

    Bytes Next() { return m_Peer.Receive(); }

    TempDir m_Dir;
    UdpPeer m_Peer;
    RC_Variant m_eVariant = RC_Variant::ShortFrames;
    cTestScenario m_Scenario;
    std::unique_ptr<cRC_IO_Pages> m_pPages;
    std::unique_ptr<cTestStepper> m_pStepper;
    int64_t m_nNow = 1000;
    std::vector<std::string> m_Shown;
};
} // namespace

// TX_MSG, WAIT 5, TX_QRY, FINISH: the value at the first tick, the wait 25
// ticks later counting down the seconds, the query when the (held) tick
// counter next reaches a multiple of 25, FINISH 25 ticks after that, and
// "FINISHED" from then on with nothing more sent. Logging writes both lines.
TEST_F(TestStepperTest, CommandWaitQueryFinishTimeline)
{
    Start(RC_Variant::ShortFrames, R"(<Test1>
  <Item CMD="TX_MSG" Label="Mode" SubSystem="5" Index="0" Id="3" Type="Byte" Data="1"/>
  <Item CMD="WAIT" Seconds="5"/>
  <Item CMD="TX_QRY" Label="Read mode" SubSystem="5" Index="0" Id="3"/>
  <Item CMD="FINISH"/>
</Test1>)");
    cCsvLogFile log;
    ASSERT_TRUE(log.Open(m_Dir.File("TestLogs"), "Test"));
    m_pStepper->SetLog(&log);

    EXPECT_EQ(Ticks(1), 1);
    EXPECT_EQ(Next(), Command(m_eVariant, 5, 0, [](RC_Payload& p) { p.AddByte(3, 1); }));
    EXPECT_EQ(Ticks(24), 0);
    EXPECT_EQ(Ticks(1), 0);
    ASSERT_TRUE(m_pStepper->IsWaiting());
    EXPECT_EQ(m_pStepper->WaitEnd(), 1005);

    // The counter stands still while the wait runs.
    for (int nSecond = 0; nSecond < 5; ++nSecond)
    {
        m_nNow = 1000 + nSecond;
        EXPECT_EQ(Ticks(10), 0);
        EXPECT_EQ(m_pStepper->TickCount(), 26u);
    }
    m_nNow = 1005;
    EXPECT_EQ(Ticks(24), 0);
    EXPECT_FALSE(m_pStepper->IsWaiting());
    EXPECT_EQ(Ticks(1), 1);
    EXPECT_EQ(Next(), Command(m_eVariant, 5, 0, [](RC_Payload& p) { p.AddQuery(3); }));

    EXPECT_EQ(Ticks(24), 0);
    const TestStep* pFinish = m_pStepper->Tick();
    ASSERT_NE(pFinish, nullptr);
    EXPECT_EQ(pFinish->nKind, TestStep::kFinish);
    EXPECT_EQ(Ticks(100), 0);
    EXPECT_TRUE(m_pStepper->IsFinished());
    EXPECT_EQ(m_Shown, (std::vector<std::string>{"COMMAND : Mode", "WAIT : 5", "WAIT : 4", "WAIT : 3", "WAIT : 2",
                                                 "WAIT : 1", "WAIT : 0", "QUERY : Read mode", "FINISHED"}));

    m_pStepper->SetLog(nullptr);
    log.Close();
    const std::string sLog = m_Dir.Read(log.Path().substr(m_Dir.Path().size() + 1));
    const std::regex pattern(R"(Log started at: \d\d:\d\d:\d\d\.\d{3}
\d\d:\d\d:\d\d\.\d{3} TX CMD: Mode 5 0 3
QUERY: Read mode 5 0 3

Log finished at: \d\d:\d\d:\d\d\.\d{3})");
    EXPECT_TRUE(std::regex_match(sLog, pattern)) << sLog;
}

// Every accepted type goes out with its own operation (Fixed as the real
// value x 4096 truncated, not the rounded raw value); 0x10 is 16 as a Byte
// and 0 as a U16; a query with only SubSystem 3 asks for 3/3/3.
TEST_F(TestStepperTest, EachTypeIsSentWithItsOperation)
{
    Start(RC_Variant::LongFrames, R"(<TestTypes>
  <Item CMD="TX_MSG" SubSystem="1" Index="2" Id="3" Type="Byte" Data="0x10"/>
  <Item CMD="TX_MSG" SubSystem="1" Index="2" Id="3" Type="U16" Data="0x10"/>
  <Item CMD="TX_MSG" SubSystem="1" Index="2" Id="4" Type="S16" Data="-2"/>
  <Item CMD="TX_MSG" SubSystem="1" Index="2" Id="5" Type="U32" Data="70000"/>
  <Item CMD="TX_MSG" SubSystem="1" Index="2" Id="6" Type="S32" Data="-5"/>
  <Item CMD="TX_MSG" SubSystem="1" Index="2" Id="7" Type="Fixed" Data="-1.9999"/>
  <Item CMD="TX_MSG" SubSystem="1" Index="2" Id="8" Type="Float" Data="2.5"/>
  <Item CMD="TX_QRY" SubSystem="3"/>
</TestTypes>)");
    const RC_Variant v = RC_Variant::LongFrames;
    const std::vector<Bytes> expected = {
        Command(v, 1, 2, [](RC_Payload& p) { p.AddByte(3, 16); }),
        Command(v, 1, 2, [](RC_Payload& p) { p.AddU16(3, 0); }),
        Command(v, 1, 2, [](RC_Payload& p) { p.AddS16(4, -2); }),
        Command(v, 1, 2, [](RC_Payload& p) { p.AddU32(5, 70000); }),
        Command(v, 1, 2, [](RC_Payload& p) { p.AddS32(6, -5); }),
        Command(v, 1, 2, [](RC_Payload& p) { p.AddS32(7, -8191); }),
        Command(v, 1, 2, [](RC_Payload& p) { p.AddFloat(8, 2.5f); }),
        Command(v, 3, 3, [](RC_Payload& p) { p.AddQuery(3); }),
    };
    for (const Bytes& frame : expected)
    {
        EXPECT_EQ(Ticks(1), 1);
        EXPECT_EQ(Next(), frame);
        EXPECT_EQ(Ticks(24), 0);
    }
}

// A test without FINISH cycles through its steps; Stop goes back to the
// first step but keeps the tick counter, so after Start the first step runs
// when the counter next reaches a multiple of 25.
TEST_F(TestStepperTest, TestWithoutFinishCyclesAndStopKeepsTheTickCounter)
{
    Start(RC_Variant::ShortFrames, R"(<TestLoop>
  <Item CMD="TX_MSG" Label="A" SubSystem="2" Id="1" Type="Byte" Data="1"/>
  <Item CMD="TX_MSG" Label="B" SubSystem="2" Id="1" Type="Byte" Data="2"/>
</TestLoop>)");
    for (int nPass = 0; nPass < 3; ++nPass)
    {
        for (uint8_t nValue : {1, 2})
        {
            EXPECT_EQ(Ticks(1), 1);
            EXPECT_EQ(Next(), Command(m_eVariant, 2, 0, [nValue](RC_Payload& p) { p.AddByte(1, nValue); }));
            EXPECT_EQ(Ticks(24), 0);
        }
        EXPECT_EQ(m_pStepper->PassesCompleted(), static_cast<size_t>(nPass + 1));
    }
    EXPECT_EQ(Ticks(1), 1);  // A again
    Next();
    EXPECT_EQ(Ticks(9), 0);
    EXPECT_EQ(m_pStepper->StepIndex(), 1u);

    m_pStepper->Stop();
    EXPECT_EQ(m_pStepper->Status(), "STOPPED");
    EXPECT_EQ(m_pStepper->StepIndex(), 0u);
    EXPECT_EQ(Ticks(50), 0);  // stopped: the timer would not tick at all
    m_pStepper->Start();
    EXPECT_EQ(m_pStepper->TickCount(), 160u);
    EXPECT_EQ(Ticks(15), 0);
    EXPECT_EQ(Ticks(1), 1);
    EXPECT_EQ(Next(), Command(m_eVariant, 2, 0, [](RC_Payload& p) { p.AddByte(1, 1); }));
}

// Paused during a wait and started 10 s later: the wait is over at the next
// tick, which shows 0 seconds left; the next step follows on the counter.
TEST_F(TestStepperTest, PauseDuringAWaitAndStartAfterTenSeconds)
{
    Start(RC_Variant::ShortFrames, R"(<Test1>
  <Item CMD="WAIT" Seconds="5"/>
  <Item CMD="TX_MSG" Label="After" SubSystem="2" Id="1" Type="Byte" Data="7"/>
</Test1>)");
    m_nNow = 2000;
    EXPECT_EQ(Ticks(2), 0);
    EXPECT_EQ(m_pStepper->Status(), "WAIT : 5");
    m_pStepper->Pause();
    EXPECT_EQ(m_pStepper->Status(), "PAUSED");
    EXPECT_EQ(Ticks(5), 0);
    EXPECT_EQ(m_pStepper->Status(), "PAUSED");

    m_nNow = 2010;
    m_pStepper->Start();
    EXPECT_EQ(Ticks(1), 0);
    EXPECT_FALSE(m_pStepper->IsWaiting());
    EXPECT_EQ(m_pStepper->Status(), "WAIT : 0");
    EXPECT_EQ(Ticks(22), 0);
    EXPECT_EQ(m_pStepper->DueStep(), nullptr);
    EXPECT_EQ(Ticks(1), 0);
    EXPECT_TRUE(m_pStepper->StepDue());
    // The step the next tick runs is known before it goes (a query's answer
    // may come back before Tick returns).
    const TestStep* pDue = m_pStepper->DueStep();
    ASSERT_NE(pDue, nullptr);
    EXPECT_EQ(pDue->sLabel, "After");
    EXPECT_EQ(m_pStepper->Tick(), pDue);
    EXPECT_EQ(m_pStepper->Status(), "COMMAND : After");
}

// Nothing runs without a selected test, or with a test that has no steps.
TEST_F(TestStepperTest, NothingRunsWithoutStepsToRun)
{
    Start(RC_Variant::ShortFrames, R"(<TestEmpty/><TestOne><Item CMD="TX_QRY" SubSystem="1"/></TestOne>)");
    EXPECT_EQ(Ticks(30), 0);
    m_pStepper->Select(-1);
    EXPECT_EQ(Ticks(30), 0);
    m_pStepper->Select(5);
    EXPECT_EQ(Ticks(30), 0);
    EXPECT_EQ(m_pStepper->TickCount(), 0u);
    m_pStepper->Select(1);
    EXPECT_EQ(Ticks(1), 1);
}
