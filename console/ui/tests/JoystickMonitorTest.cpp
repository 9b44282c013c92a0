#include "KestrumDlg.h"
#include "LogCapture.h"
#include "ScriptedController.h"
#include "TempDir.h"
#include "UdpPeer.h"
#include "UiTestSupport.h"
#include "cJoystickMonitorDlg.h"
#include "cMessageBox.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QTableWidget>
#include <gtest/gtest.h>

using namespace ui_test;

namespace
{
using Bytes = UdpPeer::Bytes;

const char* const kDefinitions = R"(<Joystick>
  <Axes>
    <Axis1 sAxisName="X" nSubsystem="3" nItem="6" dMin="-1000" dMax="1000" sType="S16" bPair="false" bIsIncremental="false" dGain="1"/>
  </Axes>
  <Functions>
    <Function1><Item1 nSubsystem="1" nItem="3" sType="Byte" dValue="3"/></Function1>
    <Function2><Item1 nSubsystem="1" nItem="3" sType="Byte" dValue="1"/></Function2>
    <Function3><Item1 nSubsystem="1" nItem="4" sType="Byte" dValue="0"/></Function3>
    <Function4><Item1 nSubsystem="1" nItem="4" sType="Byte" dValue="1"/></Function4>
  </Functions>
  <Buttons>
    <Button1><Press nFunction="1"/><Release nFunction="2"/></Button1>
    <Button2><Press1 nFunction="3"/><Press2 nFunction="4"/></Button2>
  </Buttons>
</Joystick>
)";

// Stick out and back, the cycling button twice, then the trigger with the
// stick hard left and the hat right, which the last record keeps showing.
const char* const kScript = R"(# at rest until the test starts the play
repeat=1
x=0.55
x=0
buttons=0x2
buttons=0
buttons=0x2
buttons=0x3 x=-1 pov=90 z=0.3 flags=0x07
)";

// A short-frame command with its checksum.
Bytes Command(uint8_t nSub, const Bytes& payload)
{
    Bytes frame = {0x10, nSub, 0x00, static_cast<uint8_t>(payload.size())};
    frame.reserve(frame.size() + payload.size() + 1);
    for (uint8_t b : payload)
        frame.push_back(b);
    uint8_t nSum = 0;
    for (uint8_t b : frame)
        nSum = static_cast<uint8_t>(nSum + b);
    frame.push_back(nSum);
    return frame;
}

class JoystickConsole : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ClearUserSettings();
        cMessageBox::SetSink([](const QString&) {});
        m_Dir.Write("pages.xml", R"(<PageDefinitions><Page Title="System">
  <Item SubSystem="1" Item="3" Access="RW" Label="Mode" Type="Byte"/></Page></PageDefinitions>)");
        m_Dir.Write("joystick.xml", kDefinitions);
    }
    void TearDown() override { cMessageBox::SetSink({}); }

    // The console's settings, talking to the peer, with the plug-in and extra main keys given.
    std::string Settings(const std::string& sPlugin, const std::string& sMain = "", const std::string& sSection = "")
    {
        ConsoleSettings settings;
        settings.Udp(m_Peer.Port(), FreeUdpPort())
            .Main("sPageDefinitionsFile", m_Dir.File("pages.xml"))
            .Main("sJoystickDefinitionsFile", m_Dir.File("joystick.xml"))
            .Main("sJoystickPlugin", sPlugin)
            .Attributes(ConsoleSettings::kMain, sMain);
        return ScriptedController::WriteSettings(m_Dir, kScript, settings,
                                                 "nPeriodMs=\"5\" sStartFile=\"" + m_Dir.File("go") + "\" " + sSection);
    }

    TempDir m_Dir;
    UdpPeer m_Peer;
};
} // namespace

// A scripted stick through the configured plug-in: the mapped settings reach
// the peer frame for frame, the status bar says connected, and the monitor
// shows the last record, the axis demand and what each button runs next.
TEST_F(JoystickConsole, ScriptedStickDrivesTheRemoteSystemAndTheMonitorShowsIt)
{
    KestrumDlg dlg(Settings(ScriptedController::PluginPath()));
    dlg.show();
    dlg.OnInitDialog();
    ASSERT_NE(dlg.Session().RC_IO_Pages(), nullptr);
    EXPECT_TRUE(SpinUntil([&] { return dlg.JoystickStatusLabel()->text() == "Joystick: connected"; }));

    m_Dir.Write("go", "");
    ASSERT_TRUE(ScriptedController::WaitForJournal(m_Dir, "End"));
    for (const Bytes& expected : {Command(3, {6, 0x01, 0xF4}), Command(3, {6, 0x00, 0x00}), Command(1, {4, 0}),
                                  Command(1, {4, 1}), Command(3, {6, 0xFC, 0x18}), Command(1, {3, 3})})
        EXPECT_EQ(m_Peer.Receive(), expected);

    QAction* pJoystick = nullptr;
    for (QAction* pAction : dlg.ViewMenu()->actions())
        if (pAction->text() == "Joystick")
            pJoystick = pAction;
    ASSERT_NE(pJoystick, nullptr);
    pJoystick->trigger();
    cJoystickMonitorDlg* pMonitor = dlg.JoystickMonitorDialog();
    ASSERT_NE(pMonitor, nullptr);
    EXPECT_TRUE(SpinUntil([&] { return pMonitor->isVisible() && pMonitor->HatLabel()->text() == "90\u00B0"; }));
    EXPECT_EQ(pMonitor->AxisBar(0)->value(), -1000);
    EXPECT_EQ(pMonitor->AxisBar(2)->value(), 300);
    EXPECT_FALSE(pMonitor->AxisBar(3)->isEnabled());  // no rotation X on this stick
    EXPECT_TRUE(pMonitor->ButtonLit(0));
    EXPECT_TRUE(pMonitor->ButtonLit(1));
    EXPECT_FALSE(pMonitor->ButtonLit(2));
    EXPECT_TRUE(pMonitor->StatusLabel()->text().startsWith("Joystick connected: "))
        << pMonitor->StatusLabel()->text().toStdString();
    EXPECT_TRUE(pMonitor->DemandLabel(0)->text().startsWith("-1000.00 (S16 3/0/6, absolute)"))
        << pMonitor->DemandLabel(0)->text().toStdString();
    EXPECT_EQ(pMonitor->DemandLabel(1)->text(), "not defined");
    QTableWidget* pTable = pMonitor->ButtonTable();
    ASSERT_EQ(pTable->rowCount(), 2);
    EXPECT_EQ(pTable->item(0, 1)->text(), "Function 1 (1 setting)");
    EXPECT_EQ(pTable->item(0, 2)->text(), "Function 2 (1 setting)");
    EXPECT_EQ(pTable->item(1, 0)->text(), "Button2");
    EXPECT_EQ(pTable->item(1, 1)->text(), "Function 3 (1 setting), 1 of 2");

    // Shutdown releases the controller before the page protocol goes.
    dlg.Shutdown();
    EXPECT_EQ(dlg.JoystickMonitorDialog(), nullptr);
    EXPECT_FALSE(dlg.Joystick().Controller().IsConnected());
    EXPECT_TRUE(ScriptedController::WaitForJournal(m_Dir, "Destroy", std::chrono::milliseconds(0)));
}

// No plug-in: both log lines, and the console runs on without a joystick.
TEST_F(JoystickConsole, WithoutAPlugInTheConsoleRunsOn)
{
    LogCapture log;
    const std::string sSettings = Settings(m_Dir.File("libNone.so"));
    KestrumDlg dlg(sSettings);
    dlg.OnInitDialog();
    EXPECT_TRUE(log.Contains("cUserControls::InitController (100): Nx_ConCreateIF(" + m_Dir.File("libNone.so") + ", " +
                                 sSettings + ") failed with error code 7",
                             DBG_ERR))
        << log.Dump();
    EXPECT_TRUE(log.Contains("KestrumDlg::InitialiseJoystick (1036): m_Controller.init failed", DBG_ERR));
    EXPECT_NE(dlg.Session().RC_IO_Pages(), nullptr);
    EXPECT_EQ(dlg.JoystickStatusLabel()->text(), "Joystick: not connected");
    dlg.OnJoystickMonitor();
    ASSERT_NE(dlg.JoystickMonitorDialog(), nullptr);
    EXPECT_TRUE(dlg.JoystickMonitorDialog()->StatusLabel()->text().startsWith("No joystick connected"));
    EXPECT_EQ(dlg.JoystickMonitorDialog()->HatLabel()->text(), "-");
}

// With a retry period a joystick plugged in after the start is taken up.
TEST_F(JoystickConsole, AJoystickPluggedInLaterIsTakenUp)
{
    KestrumDlg dlg(Settings(ScriptedController::PluginPath(), "nJoystickRetryPeriodMs=\"50\"",
                            "sPresentFile=\"" + m_Dir.File("plugged") + "\""));
    dlg.OnInitDialog();
    EXPECT_EQ(dlg.JoystickStatusLabel()->text(), "Joystick: not connected");
    m_Dir.Write("plugged", "");
    EXPECT_TRUE(SpinUntil([&] { return dlg.JoystickStatusLabel()->text() == "Joystick: connected"; }));
}
