// The console's session without a window, against the simulated remote
// system: what the main window and kestrum-scenario both run on.
#include "ConsoleSettings.h"
#include "SimUnderTest.h"
#include "TempDir.h"
#include "WaitFor.h"
#include "cConsoleSession.h"
#include "cRC_IO_EoData.h"
#include "cRC_IO_Pages.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

using namespace std::chrono_literals;

namespace
{
const char* const kPages = R"(<PageDefinitions>
  <Page Title="Live">
    <Item SubSystem="4" Index="1" Item="1" Access="RO" Label="Frame count" Type="U32"/>
    <Item SubSystem="4" Index="1" Item="2" Access="RW" Label="Mode" Type="Byte"/>
  </Page>
</PageDefinitions>
)";

// The simulator (long frames with the heartbeat, EO tracks) and a folder with
// the console's settings and per-user settings pointing at it.
class ConsoleSessionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const char* szConfig = std::getenv("XDG_CONFIG_HOME");
        m_sOldConfig = szConfig ? szConfig : "";
        m_bHadConfig = szConfig != nullptr;
        setenv("XDG_CONFIG_HOME", m_Dir.Path().c_str(), 1);

        m_Dir.Write("pages.xml", kPages);
        m_Sim.Options().m_nEoTargets = 3;
        m_Sim.Options().m_nEoPeriodMs = 20;
        ASSERT_TRUE(m_Sim.Start());
    }
    void TearDown() override
    {
        m_Sim.Stop();
        if (m_bHadConfig)
            setenv("XDG_CONFIG_HOME", m_sOldConfig.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
    }

    std::string WriteSettings(uint16_t nPagesPort, const std::string& sExtra = "")
    {
        return ConsoleSettings()
            .Udp(nPagesPort, 0)
            .Main("nControllerType", 1)
            .Main("bUseVMS_HeartBeat", true)
            .Main("sPageDefinitionsFile", m_Dir.File("pages.xml"))
            .Attributes(ConsoleSettings::kMain, sExtra)
            .Eo("nTxPort", m_Sim.EoPort())
            .Eo("nRxPort", 0)
            .Write(m_Dir);
    }

    TempDir m_Dir;
    SimUnderTest m_Sim{1, m_Dir.File("pages.xml")};
    std::string m_sOldConfig;
    bool m_bHadConfig = false;
};
} // namespace

// A whole session as the console runs one: settings and page definitions
// read, the link up on the heartbeat, items arriving, the EO stream on; then
// Stop switches the stream off and stops every periodic request before the
// transports close.
TEST_F(ConsoleSessionTest, RunsTheLinkAndStopsItInOrder)
{
    cConsoleSession session(WriteSettings(m_Sim.PagesPort()));
    const cConsoleSession::LoadReport report = session.Load();
    EXPECT_TRUE(report.bSettingsRead);
    EXPECT_TRUE(report.bUserSettingsRead);
    ASSERT_TRUE(report.bPagesRead);
    ASSERT_EQ(session.Pages().PageCount(), 1u);

    ASSERT_EQ(session.StartPages(), cConsoleSession::Result::kStarted);
    ASSERT_NE(session.RC_IO_Pages(), nullptr);
    EXPECT_EQ(session.StartPages(), cConsoleSession::Result::kStarted) << "a second start keeps the running protocol";
    EXPECT_TRUE(session.RC_IO_Pages()->m_bUseHeartbeat.load());
    EXPECT_TRUE(WaitFor([&] { return session.RC_IO_Pages()->m_bLinkActive.load(); }));
    const RC_ItemValue& frameCount = *session.Pages().Items(0).at(0).pValue;
    EXPECT_TRUE(WaitFor([&] { return frameCount.IsValid(); }));

    ASSERT_EQ(session.StartEoData(), cConsoleSession::Result::kStarted);
    EXPECT_TRUE(session.EnableEoDataOutput(true));
    EXPECT_TRUE(WaitFor([&] { return session.RC_IO_EoData()->CopyTrackData().numTracks.Get() == 3; }));

    session.Stop();
    EXPECT_EQ(session.RC_IO_Pages(), nullptr);
    EXPECT_EQ(session.RC_IO_EoData(), nullptr);
    EXPECT_TRUE(WaitFor([&] { return m_Sim.SawEvent("EO stream off"); }));
    EXPECT_TRUE(WaitFor([&] { return m_Sim.SawEvent("periodic 4/1 stopped"); }));
    EXPECT_EQ(session.StartPages(), cConsoleSession::Result::kStopped) << "a stopped session starts nothing again";
}

// The per-user comms settings override the settings file, as the comms setup
// stored them: here they carry the simulator's port where the file has another.
TEST_F(ConsoleSessionTest, PerUserCommsSettingsOverrideTheFile)
{
    std::filesystem::create_directories(m_Dir.File("Halvorn Ltd"));
    m_Dir.Write("Halvorn Ltd/Kestrum.conf",
                "[Comms%20Settings]\nRC%20Target%20Port=" + std::to_string(m_Sim.PagesPort()) + "\n");
    cConsoleSession session(WriteSettings(1));
    EXPECT_TRUE(session.Load().bUserSettingsRead);
    EXPECT_EQ(session.Settings().m_CommsSettings.nTxPort, m_Sim.PagesPort());
    ASSERT_EQ(session.StartPages(), cConsoleSession::Result::kStarted);
    EXPECT_TRUE(WaitFor([&] { return session.RC_IO_Pages()->m_bLinkActive.load(); }));
}

// What cannot be read or opened comes back as a value, and nothing is left
// half made: no protocol object without a transport.
TEST_F(ConsoleSessionTest, FailuresComeBackAsValues)
{
    cConsoleSession missing(m_Dir.File("none.xml"));
    const cConsoleSession::LoadReport report = missing.Load();
    EXPECT_FALSE(report.bSettingsRead);
    EXPECT_FALSE(report.bPagesRead) << "the default page definitions file is not here either";

    cConsoleSession serial(WriteSettings(m_Sim.PagesPort(), "sSerialDevice=\"" + m_Dir.File("no-such-tty") + "\""));
    serial.Load();
    serial.Comms().nCommsMethod = CommsSettings::kSerial;
    EXPECT_EQ(serial.StartPages(), cConsoleSession::Result::kCannotInitialise);
    EXPECT_EQ(serial.RC_IO_Pages(), nullptr);
    EXPECT_FALSE(serial.EnableEoDataOutput(true));

    cConsoleSession badAddress(WriteSettings(m_Sim.PagesPort(), "sAllowedPeers=\"any\""));
    badAddress.Load();
    badAddress.Comms().sIpAddress = "not an address";
    EXPECT_EQ(badAddress.StartPages(), cConsoleSession::Result::kCannotInitialise);
    EXPECT_EQ(badAddress.StartEoData(), cConsoleSession::Result::kCannotInitialise);
    EXPECT_EQ(badAddress.RC_IO_EoData(), nullptr);
}
