// A stop signal while a box or modal dialog is open, in each place the
// console opens one: the console runs in this process as kestrum runs it (its
// stop handlers, its main loop), the box is a real modal box with its own
// event loop, and SIGTERM is raised here once the box is up. The console must
// end the box, shut down from the main loop (under AddressSanitizer this is
// where destroying a window inside the box's loop showed), tell the remote
// side to stop its periodic transmissions, and log the stop.
#include "ConsoleSettings.h"
#include "KestrumDlg.h"
#include "LogCapture.h"
#include "UiTestSupport.h"
#include "cKestrumApp.h"
#include "cMessageBox.h"
#include "cPlotManager.h"
#include "cPlotWindow.h"
#include "cRC_EoDataOutputDlg.h"
#include "cRC_SystemDlg.h"
#include "cRC_SystemTestDlg.h"
#include "cVideoWindow.h"

#include <QApplication>
#include <QTimer>
#include <csignal>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

using namespace ui_test;

namespace
{
const char* const kPages = R"(<PageDefinitions><Page Title="Tracker">
  <Item SubSystem="4" Item="3" Access="RO" Label="Mode" Type="Byte"/></Page></PageDefinitions>)";

bool IsPeriodicStop(const UdpPeer::Bytes& frame)
{
    return frame.size() == 24 && frame[0] == 0x10 && frame[4] == 0x70 && frame[5] == 0 && frame[6] == 0x71;
}

class StopInABoxTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ClearUserSettings();
        cMessageBox::SetSink({});  // the real boxes
        m_Dir.Write("pages.xml", kPages);
        m_Dir.Write("blocked", "a file where the logging folder should be");
        m_Settings.Udp(m_Peer.Port(), FreeUdpPort())
            .Main("sPageDefinitionsFile", m_Dir.File("pages.xml"))
            .Main("sLoggingDirectory", m_Dir.File("blocked"))
            .Main("bShowEoTrackPage", true)
            .Main("bShowTestPage", true)
            .Main("sTestScenarioFile", m_Dir.File("missing-scenario.xml"))
            .Eo("bAllowLogging", true)
            .Eo("nTxPort", FreeUdpPort())
            .Eo("nRxPort", FreeUdpPort());
        m_Peer.SetTimeout(10);
    }
    void TearDown() override { ClearUserSettings(); }

    // Runs the console until it has ended, opening the box with fnOpen once
    // the main loop runs and raising SIGTERM once the box is up.
    void StopWhileTheBoxIsOpen(const std::function<void(KestrumDlg&)>& fnOpen, bool bLinked = true)
    {
        LogCapture log(DBG_WRN);
        cKestrumApp app;
        ASSERT_TRUE(app.InstallStopHandlers());
        app.Open(m_Settings.Write(m_Dir));
        ASSERT_NE(app.MainWindow(), nullptr);
        KestrumDlg& dlg = *app.MainWindow();

        bool bBoxSeen = false;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (!bBoxSeen && QApplication::activeModalWidget())
            {
                bBoxSeen = true;
                std::raise(SIGTERM);
            }
        });
        watch.start(20);
        // Ends the test rather than hang it if the stop never comes through.
        QTimer::singleShot(30000, [&] { app.RequestStop(); });
        QTimer::singleShot(0, [&] { fnOpen(dlg); });
        app.Exec();
        watch.stop();

        EXPECT_TRUE(bBoxSeen) << "no box opened";
        EXPECT_TRUE(dlg.IsShutDown());
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        EXPECT_TRUE(log.Contains("Stop signal received (SIGTERM), shutting down")) << log.Dump();
        app.Close();
        if (!bLinked)
            return;

        UdpPeer::Bytes frame;
        do
            frame = m_Peer.Receive();
        while (!frame.empty() && !IsPeriodicStop(frame));
        EXPECT_FALSE(frame.empty()) << "the remote side was not told to stop";
    }

    TempDir m_Dir;
    UdpPeer m_Peer;
    ConsoleSettings m_Settings;
};
} // namespace

TEST_F(StopInABoxTest, PageLogCannotBeOpened)
{
    StopWhileTheBoxIsOpen([](KestrumDlg& dlg) {
        dlg.OnPageCommand(0);
        dlg.PageDialog(0)->OnStartStopLogging();
    });
}

// What the operator first met: the EO target window's log in a blocked folder.
TEST_F(StopInABoxTest, TrackLogCannotBeOpened)
{
    StopWhileTheBoxIsOpen([](KestrumDlg& dlg) {
        dlg.OnEoDataOutput(false);
        dlg.EoOutputDialog(false)->OnStartStopLogging();
    });
}

// The test dialog logs into TestLogs in the working folder; a file of that name blocks it.
TEST_F(StopInABoxTest, TestLogCannotBeOpened)
{
    m_Dir.Write("scenario.xml", R"(<CommandDefinitions><Test1><Item CMD="WAIT" Seconds="5"/></Test1></CommandDefinitions>)");
    m_Settings.Main("sTestScenarioFile", m_Dir.File("scenario.xml"));
    ScopedChdir here(m_Dir.Path());
    m_Dir.Write("TestLogs", "a file where the folder should be");
    StopWhileTheBoxIsOpen([](KestrumDlg& dlg) {
        dlg.OnTestDataDialog();
        dlg.TestDialog()->OnStartStopLogging();
    });
}

// A box shown while a window is still being made: the test dialog's
// constructor, with a scenario file that is not there.
TEST_F(StopInABoxTest, ScenarioFileMissingWhileTheTestDialogIsMade)
{
    StopWhileTheBoxIsOpen([](KestrumDlg& dlg) { dlg.OnTestDataDialog(); });
}

// A modal dialog rather than a box: the plot's file dialog.
TEST_F(StopInABoxTest, PlotFileDialog)
{
    StopWhileTheBoxIsOpen([](KestrumDlg& dlg) {
        cPlotWindow* pPlot = dlg.Plots()->NewPlot(dlg.Session().Pages().Items(0).at(0));
        ASSERT_NE(pPlot, nullptr);
        pPlot->OnSaveCsv();
    });
}

// No transport with these settings: the page command says so in a box (and
// with no link there is nobody to tell to stop).
TEST_F(StopInABoxTest, NoConnectionForAPage)
{
    m_Settings.Main("nCommsMethod", 0).Main("sSerialDevice", m_Dir.File("no-such-tty"));
    StopWhileTheBoxIsOpen([](KestrumDlg& dlg) { dlg.OnPageCommand(0); }, false);
}

TEST_F(StopInABoxTest, AboutBox)
{
    StopWhileTheBoxIsOpen([](KestrumDlg& dlg) { dlg.OnAbout(); });
}

// The tag window's log, like the target window's.
TEST_F(StopInABoxTest, TagLogCannotBeOpened)
{
    StopWhileTheBoxIsOpen([](KestrumDlg& dlg) {
        dlg.OnEoDataOutput(true);
        dlg.EoOutputDialog(true)->OnStartStopLogging();
    });
}

// A window that cannot be made for want of its receiver: the EO port is
// taken by another program.
TEST_F(StopInABoxTest, EoReceiverCannotBeCreated)
{
    UdpPeer squatter;
    m_Settings.Eo("nRxPort", squatter.Port());
    StopWhileTheBoxIsOpen([](KestrumDlg& dlg) { dlg.OnEoDataOutput(false); });
}

// The video window's recording in a folder that cannot be made.
TEST_F(StopInABoxTest, VideoRecordingCannotBeOpened)
{
    m_Settings.Set("Video", "sVideoSource", "udp://127.0.0.1:" + std::to_string(FreeUdpPort()))
        .Set("Video", "sVideoRecordFolder", m_Dir.File("blocked/video"));
    StopWhileTheBoxIsOpen([](KestrumDlg& dlg) {
        dlg.OnSensorVideo();
        dlg.VideoWindow()->OnStartStopRecording();
    });
}
