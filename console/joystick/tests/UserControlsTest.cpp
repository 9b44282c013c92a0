#include "LogCapture.h"
#include "ScriptedController.h"
#include "TempDir.h"
#include "WaitFor.h"
#include "cUserControls.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <vector>

namespace
{
// Every event as a line of text, in the order the signals came.
class Recorder
{
public:
    explicit Recorder(cUserControls& controls)
    {
        auto add = [this](const char* szFormat, auto... args) {
            char szLine[96];
            std::snprintf(szLine, sizeof(szLine), szFormat, args...);
            std::lock_guard<std::mutex> lock(m_Mutex);
            m_Events.emplace_back(szLine);
        };
        controls.m_sigXY.connect([add](float fX, float fY) { add("XY %.3f %.3f", fX, fY); });
        controls.m_sigXYExp.connect([add](float fX, float fY) { add("XYExp %.3f %.3f", fX, fY); });
        controls.m_sigXYCentred.connect([add] { add("%s", "XYCentred"); });
        controls.m_sigButtonDown.connect([add](int n) { add("Down %d", n); });
        controls.m_sigButtonUp.connect([add](int n) { add("Up %d", n); });
        controls.m_sigButtonHeld.connect([add](int n) { add("Held %d", n); });
        controls.m_sigZ.connect([add](float f) { add("Z %.3f", f); });
        controls.m_sigZCentred.connect([add] { add("%s", "ZCentred"); });
        controls.m_sigPOV.connect([add](int32_t n) { add("POV %d", n); });
        controls.m_sigPOVDown.connect([add](int32_t n) { add("POVDown %d", n); });
        controls.m_sigPOVUp.connect([add](int32_t n) { add("POVUp %d", n); });
        controls.m_sigPOVHeld.connect([add](int32_t n) { add("POVHeld %d", n); });
        controls.m_sigAxis.connect([add](int n, float f) { add("Axis %d %.3f", n, f); });
        controls.m_sigAxisExp.connect([add](int n, float f) { add("AxisExp %d %.3f", n, f); });
        controls.m_sigAxisCentred.connect([add](int n) { add("AxisCentred %d", n); });
        controls.m_sigDeviceValid.connect([this](bool bValid) {
            std::lock_guard<std::mutex> lock(m_Mutex);
            m_Valid.push_back(bValid);
        });
    }

    // The events since the last call.
    std::vector<std::string> Take()
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        std::vector<std::string> events;
        events.swap(m_Events);
        return events;
    }
    std::vector<bool> Valid()
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return m_Valid;
    }

private:
    std::mutex m_Mutex;
    std::vector<std::string> m_Events;
    std::vector<bool> m_Valid;
};

// A centred stick with no buttons: X and Y on the device, hat centred.
ControllerState Centred(uint32_t nButtons = 0)
{
    ControllerState state{};
    state.nPOV = -1;
    state.nButtons = nButtons;
    state.bValid = 1;
    state.nAxisFlags = 0;  // only the X/Y and Z signals, unless a test asks for axes
    return state;
}

ControllerState Stick(double dX, double dY)
{
    ControllerState state = Centred();
    state.dX = dX;
    state.dY = dY;
    return state;
}

using Events = std::vector<std::string>;
} // namespace

// Inside the 0.1 dead zone nothing moves; outside, the linear and the
// exponential response run from 0 at its edge; back inside, one centred event.
TEST(UserControls, StickIsShapedByItsDeadZone)
{
    cUserControls controls;
    Recorder events(controls);
    controls.handleJoystickMessage(Stick(0.05, 0.0));
    EXPECT_EQ(events.Take(), Events{});

    controls.handleJoystickMessage(Stick(0.55, 0.0));
    EXPECT_EQ(events.Take(), (Events{"XY 0.500 0.000", "XYExp 0.378 0.000"}));
    controls.handleJoystickMessage(Stick(-1.0, 0.1));
    EXPECT_EQ(events.Take(), (Events{"XY -1.000 0.000", "XYExp -1.000 0.000"}));

    controls.handleJoystickMessage(Stick(0.02, -0.05));
    controls.handleJoystickMessage(Stick(0.0, 0.0));
    EXPECT_EQ(events.Take(), Events{"XYCentred"});

    // Z has a dead zone of its own, 0.2; the per-axis signals come only for axes
    // the device reports, each with a dead zone of 0.1.
    ControllerState axes = Centred();
    axes.dZ = 0.6;
    axes.dRx = 0.55;
    axes.dSlider1 = -1.0;
    axes.nAxisFlags = 0x08 | 0x80;
    controls.handleJoystickMessage(axes);
    EXPECT_EQ(events.Take(), (Events{"Z 0.500", "Axis 3 0.500", "AxisExp 3 0.378", "Axis 7 -1.000", "AxisExp 7 -1.000"}));
    axes.dZ = 0.15;
    axes.dRx = 0.0;
    controls.handleJoystickMessage(axes);
    EXPECT_EQ(events.Take(), (Events{"ZCentred", "AxisCentred 3", "Axis 7 -1.000", "AxisExp 7 -1.000"}));

    double dLinear = 0.0, dExp = 0.0;
    EXPECT_FALSE(cUserControls::Shape(-0.1, 0.1, dLinear, dExp));
    EXPECT_TRUE(cUserControls::Shape(0.1000001, 0.1, dLinear, dExp));
    EXPECT_NEAR(dExp, 0.0, 1e-6);
}

// The first record is the baseline: no button events for what it reports,
// whether up or down, and a button down in it is not held. Later changes give
// one down, one held at the 26th record of the press, one up.
TEST(UserControls, ButtonsAfterTheBaselineGiveDownHeldUp)
{
    LogCapture log;
    cUserControls controls;
    Recorder events(controls);
    controls.handleJoystickMessage(Centred(0x1));
    for (int n = 0; n < 30; ++n)
        controls.handleJoystickMessage(Centred(0x1));
    EXPECT_EQ(events.Take(), Events{});
    EXPECT_FALSE(log.Contains("Button change"));

    // Releasing what was down at the start is a real change.
    controls.handleJoystickMessage(Centred(0x0));
    EXPECT_EQ(events.Take(), Events{"Up 0"});
    EXPECT_TRUE(log.Contains("cUserControls::handleJoystickMessage (330): Button change to 0", DBG_INF)) << log.Dump();

    std::vector<int> heldAt;
    controls.m_sigButtonHeld.connect([&](int) { heldAt.push_back(0); });
    Events pressed;
    for (int nRecord = 1; nRecord <= 30; ++nRecord)
    {
        controls.handleJoystickMessage(Centred(0x80000004));
        for (const std::string& sEvent : events.Take())
            pressed.push_back(std::to_string(nRecord) + " " + sEvent);
    }
    controls.handleJoystickMessage(Centred(0x0));
    EXPECT_EQ(pressed, (Events{"1 Down 2", "1 Down 31", "26 Held 2", "26 Held 31"}));
    EXPECT_EQ(events.Take(), (Events{"Up 2", "Up 31"}));
    EXPECT_TRUE(log.Contains("Button change to 0X80000004", DBG_INF));
}

// Hat changes: down on a direction, up on leaving one, held after 25 records.
TEST(UserControls, HatGivesDownUpAndHeld)
{
    cUserControls controls;
    Recorder events(controls);
    ControllerState hat = Centred();
    hat.nPOV = 90;
    controls.handleJoystickMessage(hat);
    EXPECT_EQ(events.Take(), (Events{"POV 90", "POVDown 90"}));
    hat.nPOV = 180;
    for (int n = 0; n < 26; ++n)
        controls.handleJoystickMessage(hat);
    EXPECT_EQ(events.Take(), (Events{"POV 180", "POVUp 90", "POVDown 180", "POVHeld 180"}));
    hat.nPOV = -1;
    controls.handleJoystickMessage(hat);
    EXPECT_EQ(events.Take(), (Events{"POV -1", "POVUp 180"}));
    EXPECT_EQ(events.Valid(), std::vector<bool>(28, true));
}

namespace
{
class UserControlsPlugin : public ::testing::Test
{
protected:
    TempDir m_Dir;
    LogCapture m_Log;
};
} // namespace

// Through Portelle: records arrive on the plug-in's thread and the link state
// follows them; after release nothing arrives and nothing is connected.
TEST_F(UserControlsPlugin, RecordsArriveOnThePollingThreadUntilReleased)
{
    const std::string sSettings = ScriptedController::WriteSettings(m_Dir, "buttons=0\nx=1 buttons=0x2\nvalid=0\n");
    cUserControls controls;
    Recorder events(controls);
    EXPECT_EQ(controls.GetLinkState(), cUserControls::LinkState::kNotConnected);
    ASSERT_TRUE(controls.InitController(ScriptedController::PluginPath(), 0, sSettings, 0, 0)) << m_Log.Dump();
    ASSERT_TRUE(ScriptedController::WaitForJournal(m_Dir, "End"));
    // The plug-in reports X and Y on the device, so X has its axis signals too.
    const Events deflected = {"XY 1.000 0.000", "XYExp 1.000 0.000", "Axis 0 1.000", "AxisExp 0 1.000"};
    Events expected = deflected;
    expected.push_back("Down 1");
    expected.insert(expected.end(), deflected.begin(), deflected.end());
    EXPECT_EQ(events.Take(), expected);
    EXPECT_EQ(events.Valid(), (std::vector<bool>{true, true, false}));
    EXPECT_EQ(controls.GetLinkState(), cUserControls::LinkState::kNotAnswering);
    ControllerState state{};
    uint64_t nRecords = 0;
    ASSERT_TRUE(controls.LatestState(state, &nRecords));
    EXPECT_EQ(nRecords, 3u);
    EXPECT_EQ(state.nButtons, 0x2u);

    controls.ReleaseController();
    EXPECT_EQ(controls.GetLinkState(), cUserControls::LinkState::kNotConnected);
    EXPECT_FALSE(controls.LatestState(state));
    EXPECT_EQ(m_Dir.Read("journal.txt"), "Init device=0\nSetCallback\nEnd\nDestroy\n");
}

// No plug-in, or one whose create fails: the log says so and nothing is left;
// a plug-in that takes no callback is given back at once.
TEST_F(UserControlsPlugin, FailedConnectionsLeaveNothingBehind)
{
    cUserControls controls;
    EXPECT_FALSE(controls.InitController(m_Dir.File("libNone.so"), 0, "settings.xml", 0, 0));
    EXPECT_TRUE(m_Log.Contains("cUserControls::InitController (100): Nx_ConCreateIF(" + m_Dir.File("libNone.so") +
                                   ", settings.xml) failed with error code 7",
                               DBG_ERR))
        << m_Log.Dump();
    EXPECT_FALSE(controls.IsConnected());

    // tc_full reads its behaviour from the configuration text.
    const std::string sConfig = "ret.SetCallback=5 journal=" + m_Dir.File("full.txt");
    EXPECT_FALSE(controls.InitController(ScriptedController::PluginPath("tc_full"), 0, sConfig, 0, 0));
    EXPECT_FALSE(controls.IsConnected());
    EXPECT_NE(m_Dir.Read("full.txt").find("Destroy"), std::string::npos) << m_Dir.Read("full.txt");
}

// With a retry period, a controller that appears later is connected within a
// period or so, with the device index asked for; release stops the retries.
TEST_F(UserControlsPlugin, RetriesConnectTheAskedDeviceOnceItIsThere)
{
    const std::string sSettings = ScriptedController::WriteSettings(
        m_Dir, "buttons=0\n", "", "nPeriodMs=\"5\" sPresentFile=\"" + m_Dir.File("plugged") + "\"");
    cUserControls controls;
    EXPECT_TRUE(controls.InitController(ScriptedController::PluginPath(), 0, sSettings, 20, 2));
    EXPECT_FALSE(controls.IsConnected());
    ASSERT_TRUE(WaitFor([&] { return m_Dir.Read("journal.txt").size() > std::string("Init device=2\n").size(); }));
    // One ERR line for the first failure; the retries failing the same way are quieter.
    EXPECT_EQ(m_Log.Count("failed with error code 1", DBG_ERR), 1) << m_Log.Dump();

    m_Dir.Write("plugged", "");
    ASSERT_TRUE(WaitFor([&] { return controls.IsConnected(); }));
    ASSERT_TRUE(ScriptedController::WaitForJournal(m_Dir, "End"));
    const std::string sJournal = m_Dir.Read("journal.txt");
    EXPECT_EQ(sJournal.find("device=0"), std::string::npos) << sJournal;
    controls.ReleaseController();

    // Released while still retrying: the thread stops, nothing connects later.
    std::remove(m_Dir.File("plugged").c_str());
    EXPECT_TRUE(controls.InitController(ScriptedController::PluginPath(), 0, sSettings, 20, 0));
    controls.ReleaseController();
    m_Dir.Write("plugged", "");
    const size_t nJournal = m_Dir.Read("journal.txt").size();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(controls.IsConnected());
    EXPECT_EQ(m_Dir.Read("journal.txt").size(), nJournal);
}

namespace
{
int Occurrences(const std::string& sText, const std::string& sFragment)
{
    int nCount = 0;
    for (size_t n = sText.find(sFragment); n != std::string::npos; n = sText.find(sFragment, n + 1))
        ++nCount;
    return nCount;
}
} // namespace

// However often the retry runs, an absence is told in one line when it begins
// (after the first failure's own) and one when a stick connects; a stick that
// stops answering is lost once and connected again once. A new absence is
// told again.
TEST_F(UserControlsPlugin, AbsenceAndLossAreReportedOnceEach)
{
    const std::string sPlugged = m_Dir.File("plugged");
    const std::string sSettings = ScriptedController::WriteSettings(
        m_Dir, "buttons=0 repeat=3\nvalid=0 repeat=4\nvalid=1 repeat=3\n", "",
        "nPeriodMs=\"5\" sPresentFile=\"" + sPlugged + "\"");
    const std::string sDevice = "device 0 through " + ScriptedController::PluginPath();
    auto operatorLines = [&] { return m_Log.Count("", DBG_ERR) + m_Log.Count("", DBG_WRN); };
    cUserControls controls;
    ASSERT_TRUE(controls.InitController(ScriptedController::PluginPath(), 0, sSettings, 10, 0));
    ASSERT_TRUE(WaitFor([&] { return Occurrences(m_Dir.Read("journal.txt"), "Init device=0") >= 10; }));
    EXPECT_EQ(m_Log.Count("cUserControls::InitController", DBG_ERR), 1) << m_Log.Dump();
    EXPECT_EQ(m_Log.Count("no joystick: retrying every 10 ms", DBG_WRN), 1);
    EXPECT_EQ(operatorLines(), 2) << m_Log.Dump();

    m_Dir.Write("plugged", "");
    ASSERT_TRUE(WaitFor([&] { return controls.IsConnected(); }));
    ASSERT_TRUE(ScriptedController::WaitForJournal(m_Dir, "End"));
    EXPECT_EQ(m_Log.Count("joystick connected: " + sDevice, DBG_WRN), 2) << m_Log.Dump();
    EXPECT_EQ(m_Log.Count("joystick lost: " + sDevice, DBG_WRN), 1);
    EXPECT_EQ(operatorLines(), 5) << m_Log.Dump();
    controls.ReleaseController();

    std::remove(sPlugged.c_str());
    m_Log.Clear();
    ASSERT_TRUE(controls.InitController(ScriptedController::PluginPath(), 0, sSettings, 10, 0));
    const int nAttempts = Occurrences(m_Dir.Read("journal.txt"), "Init device=0");
    ASSERT_TRUE(WaitFor([&] { return Occurrences(m_Dir.Read("journal.txt"), "Init device=0") >= nAttempts + 5; }));
    controls.ReleaseController();
    EXPECT_EQ(m_Log.Count("no joystick: retrying every 10 ms", DBG_WRN), 1) << m_Log.Dump();
    EXPECT_EQ(operatorLines(), 2);
}
