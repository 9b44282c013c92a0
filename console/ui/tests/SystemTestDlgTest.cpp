#include "ConsoleSettings.h"
#include "KestrumDlg.h"
#include "LogCapture.h"
#include "TempDir.h"
#include "UdpPeer.h"
#include "UiTestSupport.h"
#include "cMessageBox.h"
#include "cRC_IO_Pages.h"
#include "cRC_SystemTestDlg.h"
#include "cUserCommsSettings.h"
#include "cUserCommsSettingsFile.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <regex>

using namespace ui_test;

namespace
{
const char* const kScenario = R"(<CommandDefinitions>
  <Test1>
    <Item CMD="TX_MSG" Label="Mode" SubSystem="5" Index="0" Id="3" Type="Byte" Data="1"/>
    <Item CMD="TX_QRY" Label="Read mode" SubSystem="5" Index="0" Id="3"/>
    <Item CMD="FINISH"/>
  </Test1>
  <Setup/>
  <TestOther><Item CMD="TX_QRY" Label="Other" SubSystem="6"/></TestOther>
</CommandDefinitions>
)";

// The test dialog on a page protocol (without its own timer) that sends to a
// bare peer; the working folder is a fresh one, where TestLogs goes.
class SystemTestDlgTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_Dir.Write("scenario.xml", kScenario);
        CommsSettings settings;
        settings.nCommsMethod = CommsSettings::kUdp;
        settings.nTxPort = m_Peer.Port();
        settings.nRxPort = FreeUdpPort();
        m_pPages = std::make_unique<cRC_IO_Pages>(RC_Variant::ShortFrames, false);
        ASSERT_TRUE(m_pPages->initialise(settings, "Kestrum"));
        m_Peer.SetTimeout(5);
        cMessageBox::SetSink([this](const QString& sText) { m_Messages.push_back(sText.toStdString()); });
    }
    void TearDown() override
    {
        cMessageBox::SetSink({});
        m_pPages.reset();
    }

    // Steps the dialog (as its timer does) until the status line reads sText.
    static bool StepUntil(cRC_SystemTestDlg& dlg, const QString& sText)
    {
        for (int n = 0; n < 200 && dlg.StatusLine()->text() != sText; ++n)
            dlg.Step();
        return dlg.StatusLine()->text() == sText;
    }

    TempDir m_Dir;
    ScopedChdir m_Chdir{m_Dir.Path()};
    UdpPeer m_Peer;
    std::unique_ptr<cRC_IO_Pages> m_pPages;
    std::vector<std::string> m_Messages;
};
} // namespace

// The list holds the tests with the first selected; Start disables the list
// and runs the first step on the dialog's own timer, Pause holds, Stop goes
// back to the start and frees the list; choosing a test selects it.
TEST_F(SystemTestDlgTest, ButtonsDriveTheTestAndTheStatusLine)
{
    cRC_SystemTestDlg dlg(m_pPages.get(), m_Dir.File("scenario.xml"));
    dlg.show();
    ASSERT_EQ(dlg.TestList()->count(), 2);
    EXPECT_EQ(dlg.TestList()->itemText(0), "Test1");
    EXPECT_EQ(dlg.TestList()->itemText(1), "TestOther");
    EXPECT_EQ(dlg.TestList()->currentIndex(), 0);
    EXPECT_EQ(dlg.StatusLine()->text(), "STOPPED");
    for (QPushButton* pButton : {dlg.StartButton(), dlg.PauseButton(), dlg.StopButton(), dlg.LoggingButton()})
        EXPECT_FALSE(pButton->autoDefault() || pButton->isDefault()) << pButton->text().toStdString();

    dlg.StartButton()->click();
    EXPECT_FALSE(dlg.TestList()->isEnabled());
    EXPECT_TRUE(dlg.IsTicking());
    ASSERT_TRUE(SpinUntil([&] { return dlg.StatusLine()->text() == "COMMAND : Mode"; }));
    EXPECT_EQ(m_Peer.Receive(), CommandFrame(5, [] { RC_Payload p; p.AddByte(3, 1); return p; }()));

    dlg.PauseButton()->click();
    EXPECT_EQ(dlg.StatusLine()->text(), "PAUSED");
    EXPECT_FALSE(dlg.IsTicking());
    EXPECT_FALSE(dlg.TestList()->isEnabled());
    dlg.StartButton()->click();
    ASSERT_TRUE(StepUntil(dlg, "QUERY : Read mode"));
    ASSERT_TRUE(StepUntil(dlg, "FINISHED"));

    dlg.StopButton()->click();
    EXPECT_EQ(dlg.StatusLine()->text(), "STOPPED");
    EXPECT_FALSE(dlg.IsTicking());
    EXPECT_TRUE(dlg.TestList()->isEnabled());
    EXPECT_EQ(dlg.Stepper().StepIndex(), 0u);
    dlg.TestList()->setCurrentIndex(1);
    EXPECT_EQ(dlg.Stepper().Selected(), 1);
}

// Logging writes TestLogs/Test-<date>_<time>.csv with a line per command and
// query sent while it runs; a log that cannot be opened keeps "Start
// Logging" and says so.
TEST_F(SystemTestDlgTest, LoggingWritesTheTestLogOrSaysWhyNot)
{
    {
        cRC_SystemTestDlg dlg(m_pPages.get(), m_Dir.File("scenario.xml"));
        dlg.LoggingButton()->click();
        ASSERT_TRUE(dlg.IsLogging());
        EXPECT_EQ(dlg.LoggingButton()->text(), "Stop Logging");
        EXPECT_TRUE(std::regex_match(dlg.LogPath(), std::regex(R"(TestLogs/Test-\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d\.csv)")))
            << dlg.LogPath();
        dlg.OnStartTest();
        ASSERT_TRUE(StepUntil(dlg, "FINISHED"));
        dlg.LoggingButton()->click();
        EXPECT_FALSE(dlg.IsLogging());
        EXPECT_EQ(dlg.LoggingButton()->text(), "Start Logging");
        const std::regex pattern(R"(Log started at: \d\d:\d\d:\d\d\.\d{3}
\d\d:\d\d:\d\d\.\d{3} TX CMD: Mode 5 0 3
QUERY: Read mode 5 0 3

Log finished at: \d\d:\d\d:\d\d\.\d{3})");
        const std::string sLog = m_Dir.Read(dlg.LogPath());
        EXPECT_TRUE(std::regex_match(sLog, pattern)) << sLog;
    }

    // A file where the folder should be: nothing can be logged.
    TempDir blocked;
    blocked.Write("TestLogs", "not a folder");
    ScopedChdir into(blocked.Path());
    LogCapture log;
    cRC_SystemTestDlg dlg(m_pPages.get(), m_Dir.File("scenario.xml"));
    dlg.LoggingButton()->click();
    EXPECT_FALSE(dlg.IsLogging());
    EXPECT_EQ(dlg.LoggingButton()->text(), "Start Logging");
    ASSERT_EQ(m_Messages.size(), 1u);
    EXPECT_EQ(m_Messages[0], "Error opening log file in TestLogs");
    EXPECT_TRUE(log.Contains("cRC_SystemTestDlg::OnStartStopLogging", DBG_ERR));
}

// An unreadable scenario file is named in the message; the dialog works
// with an empty list.
TEST_F(SystemTestDlgTest, UnreadableScenarioNamesTheFile)
{
    const std::string sPath = m_Dir.File("no-such-scenario.xml");
    cRC_SystemTestDlg dlg(m_pPages.get(), sPath);
    ASSERT_EQ(m_Messages.size(), 1u);
    EXPECT_EQ(m_Messages[0], "Error opening test scenario file\n" + sPath);
    EXPECT_EQ(dlg.TestList()->count(), 0);
    dlg.OnStartTest();
    for (int n = 0; n < 30; ++n)
        dlg.Step();
    EXPECT_EQ(m_pPages->m_nTxCount, 0);
}

// The main window's "Test Data Dialog" opens the dialog titled "Test Scenario
// Active", restores it once hidden, and shutdown destroys it.
TEST_F(SystemTestDlgTest, MainWindowOpensRestoresAndDestroysTheDialog)
{
    ClearUserSettings();
    m_Dir.Write("pages.xml", "<PageDefinitions/>");
    KestrumDlg mainDlg(ConsoleSettings()
                           .Udp(m_Peer.Port(), FreeUdpPort())
                           .Main("bShowTestPage", true)
                           .Main("sPageDefinitionsFile", "pages.xml")
                           .Main("sTestScenarioFile", "scenario.xml")
                           .Write(m_Dir));
    mainDlg.OnInitDialog();
    QAction* pCommand = nullptr;
    for (QAction* pAction : mainDlg.ViewMenu()->actions())
        if (pAction->text() == "Test Data Dialog")
            pCommand = pAction;
    ASSERT_NE(pCommand, nullptr);
    pCommand->trigger();
    QPointer<cRC_SystemTestDlg> pDlg = mainDlg.TestDialog();
    ASSERT_NE(pDlg, nullptr);
    EXPECT_EQ(pDlg->windowTitle(), "Test Scenario Active");
    EXPECT_TRUE(pDlg->isVisible());
    EXPECT_EQ(pDlg->TestList()->count(), 2);

    pDlg->close();
    EXPECT_TRUE(pDlg->isHidden());
    pCommand->trigger();
    EXPECT_EQ(mainDlg.TestDialog(), pDlg.data());
    EXPECT_TRUE(pDlg->isVisible());

    mainDlg.Shutdown();
    EXPECT_TRUE(pDlg.isNull());
    EXPECT_TRUE(m_Messages.empty());
}

// What the comms setup stores, the one reader reads back the same, quoting and
// escaping included.
TEST(UserCommsSettingsFile, ReadsWhatTheConsoleStores)
{
    ClearUserSettings();
    CommsSettings stored;
    stored.nCommsMethod = 0;
    stored.nComPort = 7;
    stored.sIpAddress = " host;name, \"quoted\"\\ ";
    stored.nTxPort = 7001;
    stored.nRxPort = 7002;
    stored.nEoTxPort = 7003;
    stored.nEoRxPort = 7004;
    cUserCommsSettings::Write(stored);

    CommsSettings read;
    ASSERT_TRUE(cUserCommsSettingsFile::ReadRegistrySettings(read));
    EXPECT_EQ(read.nCommsMethod, 0);
    EXPECT_EQ(read.nComPort, 7);
    EXPECT_EQ(read.sIpAddress, stored.sIpAddress);
    EXPECT_EQ(read.nTxPort, 7001);
    EXPECT_EQ(read.nRxPort, 7002);
    EXPECT_EQ(read.nEoTxPort, 7003);
    EXPECT_EQ(read.nEoRxPort, 7004);
    ClearUserSettings();
}
