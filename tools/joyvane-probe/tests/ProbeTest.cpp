#include "ChildProcess.h"
#include "StateText.h"
#include "cProbeOptions.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace
{
struct ProbeRun
{
    int nExit;
    std::string sOutput;  // standard output and standard error together
};

ProbeRun Probe(const std::vector<std::string>& args)
{
    ChildProcess probe(JOYVANE_PROBE, args);
    const int nExit = probe.Wait(30s);
    return {nExit, probe.Output()};
}

cProbeOptions::eParse Parse(cProbeOptions& options, std::vector<const char*> arguments)
{
    arguments.insert(arguments.begin(), "joyvane-probe");
    return options.Parse(static_cast<int>(arguments.size()), const_cast<char**>(arguments.data()));
}
} // namespace

TEST(JoyvaneProbe, ExplainsItself)
{
    const ProbeRun run = Probe({"--help"});
    EXPECT_EQ(run.nExit, 0);
    EXPECT_NE(run.sOutput.find("Usage: joyvane-probe"), std::string::npos) << run.sOutput;
    EXPECT_NE(run.sOutput.find("Ctrl-C"), std::string::npos);
}

// This machine has no joystick: the operator is told so plainly.
TEST(JoyvaneProbe, ReportsAMissingJoystick)
{
    const ProbeRun run = Probe({"3", "--settings", "/nonexistent/Kestrum.xml"});
    EXPECT_EQ(run.nExit, 2);
    EXPECT_NE(run.sOutput.find("joyvane-probe: no joystick at index 3\n"), std::string::npos) << run.sOutput;
}

// A scripted controller plug-in stands in for a stick: its settings text
// tells it to deliver three records.
TEST(JoyvaneProbe, PrintsEachRecordAndStopsAfterTheCount)
{
    const std::string sPlugin = std::string(KESTRUM_TEST_PLUGIN_DIR) + "/libtc_full.so";
    const ProbeRun run = Probe({"--plugin", sPlugin, "--settings", "states=3", "--count", "3"});
    EXPECT_EQ(run.nExit, 0) << run.sOutput;
    EXPECT_NE(run.sOutput.find("#1     ok    X=+0.000 Y=+0.000 Z=-- Rx=-- Ry=-- Rz=-- S0=+0.000 S1=+0.000 hat=0 "
                               "buttons=0x00000001 [0]\n"),
              std::string::npos)
        << run.sOutput;
    EXPECT_NE(run.sOutput.find("#3     ok    X=+0.200 Y=-0.200"), std::string::npos) << run.sOutput;
    EXPECT_NE(run.sOutput.find("joyvane-probe: 3 records"), std::string::npos);
}

TEST(JoyvaneProbe, CtrlCEndsItCleanly)
{
    const std::string sPlugin = std::string(KESTRUM_TEST_PLUGIN_DIR) + "/libtc_full.so";
    ChildProcess::Options options;
    // Held back until the probe waits for them, whenever it is sent.
    options.bBlockStopSignals = true;
    ChildProcess probe(JOYVANE_PROBE, {"--plugin", sPlugin, "-s", "ret=0"}, options);
    ASSERT_NE(probe.UpTo("Ctrl-C to stop"), "") << probe.Output();
    probe.Signal(SIGINT);
    EXPECT_EQ(probe.Wait(30s), 0) << probe.Output();
    EXPECT_NE(probe.Output().find("joyvane-probe: 0 records"), std::string::npos) << probe.Output();
}

TEST(JoyvaneProbe, WrongUsageAndUnloadablePluginsAreRefused)
{
    EXPECT_EQ(Probe({"--count", "none"}).nExit, 64);
    EXPECT_EQ(Probe({"--", "-1"}).nExit, 64);
    EXPECT_EQ(Probe({"0", "1"}).nExit, 64);
    const ProbeRun run = Probe({"--plugin", "/nonexistent/libJoyvane.so"});
    EXPECT_EQ(run.nExit, 1);
    EXPECT_NE(run.sOutput.find("the plug-in could not be loaded (code 7)"), std::string::npos) << run.sOutput;
}

TEST(JoyvaneProbe, OptionsAreRead)
{
    cProbeOptions options;
    ASSERT_EQ(Parse(options, {"-s", "my.xml", "--count", "5", "-c", "2"}), cProbeOptions::eParse::Run);
    EXPECT_EQ(options.m_nDevice, 2);
    EXPECT_EQ(options.m_sSettings, "my.xml");
    EXPECT_EQ(options.m_sPlugin, "libJoyvane.so");
    EXPECT_EQ(options.m_nCount, 5);
    EXPECT_TRUE(options.m_bChangesOnly);
    cProbeOptions help;
    EXPECT_EQ(Parse(help, {"-h"}), cProbeOptions::eParse::Help);
}

TEST(JoyvaneProbe, RecordLineShowsWhatTheDeviceHas)
{
    ControllerState state{};
    state.dX = 0.5;
    state.dY = -1.0;
    state.dSlider0 = 1.0;
    state.nPOV = 90;
    state.nButtons = 0x5;
    state.bValid = 1;
    state.nAxisFlags = 0x03;
    EXPECT_EQ(StateText(7, state), "#7     ok    X=+0.500 Y=-1.000 Z=-- Rx=-- Ry=-- Rz=-- S0=+1.000 S1=+0.000 hat=90 "
                                   "buttons=0x00000005 [0 2]");
    state.bValid = 0;
    EXPECT_NE(StateText(8, state).find(" stale "), std::string::npos);
    ControllerState other = state;
    EXPECT_TRUE(SameReading(state, other));
    other.nButtons = 0;
    EXPECT_FALSE(SameReading(state, other));
}
