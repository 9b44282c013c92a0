#include "ConsoleSettings.h"
#include "KestrumDlg.h"
#include "LogCapture.h"
#include "TempDir.h"
#include "UdpPeer.h"
#include "UiTestSupport.h"
#include "cCommsSetupDlg.h"
#include "cKestrumApp.h"
#include "cMessageBox.h"
#include "cPlotManager.h"
#include "cPlotWindow.h"
#include "cRC_EoDataOutputDlg.h"
#include "RC_Payload.h"
#include "cRC_IO_EoData.h"
#include "cRC_IO_Pages.h"
#include "cRC_SystemDlg.h"
#include "cRC_SystemTestDlg.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QSettings>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>
#include <set>

using namespace ui_test;

namespace
{
std::string PagesXml(int nPages)
{
    std::string sXml = "<PageDefinitions>\n";
    for (int n = 1; n <= nPages; ++n)
    {
        sXml += "  <Page Title=\"Page " + std::to_string(n) + "\">\n";
        sXml += "    <Item SubSystem=\"" + std::to_string(n) +
                "\" Item=\"1\" Access=\"RW\" Label=\"Mode\" Type=\"Byte\"/>\n  </Page>\n";
    }
    return sXml + "</PageDefinitions>\n";
}

class KestrumDlgTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ClearUserSettings();
        cMessageBox::SetSink([this](const QString& sText) { m_Messages.push_back(sText.toStdString()); });
        m_nConsolePort = FreeUdpPort();
    }
    void TearDown() override
    {
        cMessageBox::SetSink({});
        ClearUserSettings();
    }

    // A UDP set-up talking to the peer; sExtra's keys replace the defaults.
    std::string WriteSettings(const std::string& sExtra, int nPages = 3, const std::string& sEoAttributes = "")
    {
        m_Dir.Write("pages.xml", PagesXml(nPages));
        return ConsoleSettings()
            .Udp(m_Peer.Port(), m_nConsolePort)
            .Main("sPageDefinitionsFile", m_Dir.File("pages.xml"))
            .Main("sLoggingDirectory", m_Dir.File("logs"))
            .Attributes(ConsoleSettings::kMain, sExtra)
            .Attributes(ConsoleSettings::kEo, sEoAttributes)
            .Write(m_Dir);
    }

    TempDir m_Dir;
    UdpPeer m_Peer;
    uint16_t m_nConsolePort = 0;
    std::vector<std::string> m_Messages;
};
} // namespace

TEST(KestrumApp, SettingsPathIsTheFirstArgumentUpToASpace)
{
    char szProgram[] = "kestrum";
    char szPath[] = "my.xml extra";
    char szOther[] = "other.xml";
    char* noArgs[] = {szProgram, nullptr};
    char* spaced[] = {szProgram, szPath, nullptr};
    char* two[] = {szProgram, szOther, szPath, nullptr};
    EXPECT_EQ(cKestrumApp::SettingsPath(1, noArgs), "config/Kestrum.xml");
    EXPECT_EQ(cKestrumApp::SettingsPath(2, spaced), "my.xml");
    EXPECT_EQ(cKestrumApp::SettingsPath(3, two), "other.xml");
}

// A stored per-user port wins over the file and shows in the title; without
// a landing dialog the window is 100 pixels high and "Comms Setup" stays on.
TEST_F(KestrumDlgTest, PerUserSettingsOverrideTheFile)
{
    const uint16_t nStoredPort = FreeUdpPort();
    {
        const std::unique_ptr<QSettings> pStore = cAppIdentity::UserSettings();
        pStore->setValue("Comms Settings/RC Host Port", nStoredPort);
        pStore->setValue("Comms Settings/Com Port", "not a number");
    }
    KestrumDlg dlg(WriteSettings("nComPort=\"6\""));
    EXPECT_EQ(dlg.Session().Settings().m_CommsSettings.nRxPort, nStoredPort);
    EXPECT_EQ(dlg.Session().Settings().m_CommsSettings.nComPort, 6);
    EXPECT_EQ(dlg.Session().Settings().m_CommsSettings.nTxPort, m_Peer.Port());
    dlg.show();
    dlg.OnInitDialog();
    ASSERT_NE(dlg.Session().RC_IO_Pages(), nullptr);
    EXPECT_EQ(dlg.windowTitle().toStdString(), "Kestrum - 127.0.0.1:" + std::to_string(nStoredPort));
    EXPECT_EQ(dlg.height(), 100);
    EXPECT_TRUE(dlg.CommsSetupAction()->isEnabled());
    EXPECT_EQ(dlg.CommsSetupDialog(), nullptr);
    EXPECT_TRUE(m_Messages.empty());
}

// 45 pages give 45 menu items, and every one of them opens its page.
TEST_F(KestrumDlgTest, EveryPageOfFortyFiveOpens)
{
    KestrumDlg dlg(WriteSettings("", 45));
    dlg.OnInitDialog();
    const QList<QAction*> actions = dlg.PagesMenu()->actions();
    ASSERT_EQ(actions.size(), 45);
    EXPECT_EQ(actions[44]->text(), "Page 45");
    for (QAction* pAction : actions)
        pAction->trigger();
    for (size_t n = 0; n < 45; ++n)
    {
        ASSERT_NE(dlg.PageDialog(n), nullptr) << n;
        EXPECT_EQ(dlg.PageDialog(n)->windowTitle().toStdString(), "Page " + std::to_string(n + 1));
    }
    // Shown on their first refresh.
    EXPECT_TRUE(SpinUntil([&] { return dlg.PageDialog(44)->isVisible(); }));

    // Choosing an open page brings the same dialog; one the operator closed comes back fresh.
    cRC_SystemDlg* pFirst = dlg.PageDialog(44);
    actions[44]->trigger();
    EXPECT_EQ(dlg.PageDialog(44), pFirst);
    pFirst->close();
    EXPECT_EQ(dlg.PageDialog(44), nullptr);
    actions[44]->trigger();
    EXPECT_NE(dlg.PageDialog(44), nullptr);

    dlg.Shutdown();
    for (size_t n = 0; n < 45; ++n)
        EXPECT_EQ(dlg.PageDialog(n), nullptr);
    EXPECT_EQ(dlg.Session().RC_IO_Pages(), nullptr);
    EXPECT_EQ(dlg.PagesMenu(), nullptr);
    EXPECT_TRUE(m_Messages.empty());
}

// An address that cannot be parsed leaves the console without comms and with
// the comms setup open; applying good settings there connects it.
TEST_F(KestrumDlgTest, StartWithoutCommsOpensTheSetupAndApplyingConnects)
{
    LogCapture log;
    KestrumDlg dlg(WriteSettings("sIpAddress=\"not-an-address\""));
    dlg.show();
    dlg.OnInitDialog();
    EXPECT_EQ(dlg.Session().RC_IO_Pages(), nullptr);
    EXPECT_TRUE(log.Contains("Failed to initialise m_pRC_IO_Pages", DBG_ERR));
    EXPECT_EQ(dlg.windowTitle(), "Kestrum");
    cCommsSetupDlg* pSetup = dlg.CommsSetupDialog();
    ASSERT_NE(pSetup, nullptr);
    EXPECT_TRUE(pSetup->isVisible());

    // A page command retries, and says so when it still cannot connect.
    ASSERT_EQ(dlg.PagesMenu()->actions().size(), 3);
    dlg.PagesMenu()->actions()[0]->trigger();
    ASSERT_EQ(m_Messages.size(), 1u);
    EXPECT_EQ(m_Messages[0], "Error connecting to comms");
    EXPECT_EQ(dlg.PageDialog(0), nullptr);

    ASSERT_TRUE(SpinUntil([&] { return !pSetup->RefreshPending(); }));
    const char* const kOctets[] = {"127", "0", "0", "1"};
    for (int n = 0; n < 4; ++n)
        pSetup->BoxEdit(static_cast<cCommsSetupDlg::Box>(cCommsSetupDlg::kOctet1 + n))->setText(kOctets[n]);
    pSetup->OnOk();
    ASSERT_NE(dlg.Session().RC_IO_Pages(), nullptr);
    EXPECT_EQ(dlg.windowTitle().toStdString(), "Kestrum - 127.0.0.1:" + std::to_string(m_nConsolePort));
    EXPECT_FALSE(pSetup->isVisible());
    EXPECT_EQ(cAppIdentity::UserSettings()->value("Comms Settings/IP Address").toString(), "127.0.0.1");
}

// A settings change that still cannot connect shows the setup again.
TEST_F(KestrumDlgTest, ApplyingSettingsThatStillFailKeepsTheSetupOpen)
{
    KestrumDlg dlg(WriteSettings("nCommsMethod=\"1\""));
    dlg.OnInitDialog();
    cCommsSetupDlg* pSetup = dlg.CommsSetupDialog();
    ASSERT_NE(pSetup, nullptr);
    pSetup->OnOk();
    EXPECT_EQ(dlg.Session().RC_IO_Pages(), nullptr);
    EXPECT_TRUE(pSetup->isVisible());
}

// An unreadable page definitions file is reported and the console runs with no pages.
TEST_F(KestrumDlgTest, MissingPageDefinitionsAreReported)
{
    const std::string sPath = WriteSettings("sPageDefinitionsFile=\"no/such.xml\"");
    KestrumDlg dlg(sPath);
    ASSERT_EQ(m_Messages.size(), 1u);
    EXPECT_EQ(m_Messages[0], "Error opening page definition file");
    dlg.OnInitDialog();
    EXPECT_TRUE(dlg.PagesMenu()->actions().isEmpty());
}

// View items follow their flags; the test dialog opens even when its
// scenario file is missing, and says which file that is.
TEST_F(KestrumDlgTest, ViewItemsFollowTheirFlags)
{
    KestrumDlg dlg(WriteSettings("bShowTestPage=\"yes\""));
    dlg.OnInitDialog();
    const QList<QAction*> actions = dlg.ViewMenu()->actions();
    ASSERT_EQ(actions.size(), 4);  // and "Joystick", "Traffic Inspector" and "Sensor Video", always there
    EXPECT_EQ(actions[0]->text(), "Test Data Dialog");
    EXPECT_EQ(actions[1]->text(), "Joystick");
    EXPECT_EQ(actions[2]->text(), "Traffic Inspector");
    EXPECT_EQ(actions[3]->text(), "Sensor Video");
    actions[0]->trigger();
    EXPECT_NE(dlg.TestDialog(), nullptr);
    ASSERT_EQ(m_Messages.size(), 1u);
    EXPECT_EQ(m_Messages[0], "Error opening test scenario file\nconfig/TestScenario.xml");
}

// Shutdown stops every periodic request before the transport closes.
TEST_F(KestrumDlgTest, ShutdownSendsTheStopOfThePeriodicRequests)
{
    KestrumDlg dlg(WriteSettings("", 2));
    dlg.OnInitDialog();
    ASSERT_NE(dlg.Session().RC_IO_Pages(), nullptr);
    dlg.close();
    EXPECT_TRUE(dlg.IsShutDown());

    std::set<uint8_t> stopped;
    m_Peer.SetTimeout(5);
    while (stopped.size() < 2)
    {
        const UdpPeer::Bytes frame = m_Peer.Receive();
        ASSERT_FALSE(frame.empty());
        if (frame.size() == 24 && frame[4] == 0x70 && frame[5] == 0 && frame[6] == 0x71 &&
            std::all_of(frame.begin() + 7, frame.end() - 1, [](uint8_t b) { return b == 0; }))
            stopped.insert(frame[1]);
    }
    EXPECT_EQ(stopped, (std::set<uint8_t>{1, 2}));
}

// The View commands create each EO window once and switch the stream on each
// time a window comes into view, not when it is already showing; shutdown
// switches it off and closes the EO receiver and both windows.
TEST_F(KestrumDlgTest, EoWindowsSwitchTheStreamOnWhenShownAndOffAtShutdown)
{
    UdpPeer eoPeer;
    eoPeer.SetTimeout(5);
    const uint16_t nEoPort = FreeUdpPort();
    const std::string sEo = "nTxPort=\"" + std::to_string(eoPeer.Port()) + "\" nRxPort=\"" + std::to_string(nEoPort) +
                            "\" bAllowLogging=\"yes\" nMaxTracksToLog=\"40\"";
    KestrumDlg dlg(WriteSettings("bShowEoTrackPage=\"yes\" bShowEoTagPage=\"1\"", 3, sEo));
    dlg.OnInitDialog();
    const QList<QAction*> actions = dlg.ViewMenu()->actions();
    ASSERT_EQ(actions.size(), 5);  // and "Joystick", "Traffic Inspector" and "Sensor Video"
    EXPECT_EQ(actions[0]->text(), "EO Target Data Output");
    EXPECT_EQ(actions[1]->text(), "EO Tag Data Output");

    actions[0]->trigger();
    cRC_EoDataOutputDlg* pTarget = dlg.EoOutputDialog(false);
    ASSERT_NE(pTarget, nullptr);
    ASSERT_NE(dlg.Session().RC_IO_EoData(), nullptr);
    EXPECT_TRUE(pTarget->isVisible());
    EXPECT_TRUE(pTarget->IsRefreshing());
    EXPECT_EQ(pTarget->windowTitle(), "EO Target Output");
    EXPECT_EQ(pTarget->MaxTracksToLog(), 32);
    EXPECT_TRUE(pTarget->LoggingAction()->isEnabled());
    bool bTimedOut = true;
    EXPECT_TRUE(eoPeer.Receive(&bTimedOut).empty());  // the receiver's first, empty datagram
    EXPECT_FALSE(bTimedOut);

    actions[0]->trigger();  // already showing
    EXPECT_EQ(dlg.EoOutputDialog(false), pTarget);
    actions[1]->trigger();
    cRC_EoDataOutputDlg* pTag = dlg.EoOutputDialog(true);
    ASSERT_NE(pTag, nullptr);
    EXPECT_EQ(pTag->windowTitle(), "EO Tag Data");
    pTarget->close();
    EXPECT_FALSE(pTarget->isVisible());
    EXPECT_FALSE(pTarget->IsRefreshing());
    actions[0]->trigger();
    EXPECT_EQ(dlg.EoOutputDialog(false), pTarget);
    EXPECT_TRUE(pTarget->isVisible());
    EXPECT_TRUE(pTarget->IsRefreshing());

    dlg.Shutdown();
    EXPECT_EQ(dlg.EoOutputDialog(false), nullptr);
    EXPECT_EQ(dlg.EoOutputDialog(true), nullptr);
    EXPECT_EQ(dlg.Session().RC_IO_EoData(), nullptr);
    EXPECT_TRUE(m_Messages.empty());

    RC_Payload on;
    on.AddByte(cRC_IO_Pages::kEoOutput, 1);
    RC_Payload off;
    off.AddByte(cRC_IO_Pages::kEoOutput, 0);
    int nOn = 0;
    m_Peer.SetTimeout(5);
    for (;;)
    {
        const UdpPeer::Bytes frame = m_Peer.Receive();
        ASSERT_FALSE(frame.empty()) << "no EO-off frame";
        if (frame == CommandFrame(0, off))
            break;
        nOn += frame == CommandFrame(0, on);
    }
    EXPECT_EQ(nOn, 3);
}

// Without an EO receiver there is no window, and the operator is told.
TEST_F(KestrumDlgTest, EoWindowWithoutReceiverIsReported)
{
    KestrumDlg dlg(WriteSettings("bShowEoTrackPage=\"yes\" sIpAddress=\"not-an-address\""));
    dlg.OnInitDialog();
    dlg.ViewMenu()->actions()[0]->trigger();
    ASSERT_EQ(m_Messages.size(), 1u);
    EXPECT_EQ(m_Messages[0], "Error creating EO Data IO object");
    EXPECT_EQ(dlg.EoOutputDialog(false), nullptr);
}

// A page item's context menu opens a plot on the console's page protocol;
// shutdown closes the plots before the protocol goes.
TEST_F(KestrumDlgTest, PageItemsPlotAndShutdownClosesThePlots)
{
    KestrumDlg dlg(WriteSettings("", 1));
    dlg.OnInitDialog();
    dlg.OnPageCommand(0);
    ASSERT_NE(dlg.PageDialog(0), nullptr);
    std::unique_ptr<QMenu> pMenu(dlg.PageDialog(0)->ItemMenu(0));
    QAction* pPlot = nullptr;
    for (QAction* pAction : pMenu->actions())
        if (pAction->text() == "Plot")
            pPlot = pAction;
    ASSERT_NE(pPlot, nullptr);
    pPlot->trigger();
    pMenu.reset();
    ASSERT_EQ(dlg.Plots()->Windows().size(), 1u);
    QPointer<cPlotWindow> pWindow = dlg.Plots()->Windows()[0];
    EXPECT_TRUE(pWindow->isVisible());
    dlg.Shutdown();
    EXPECT_TRUE(pWindow.isNull());
}
