// vms-sim and the console choose their settings file by one rule and read it
// alike, so that both started without options talk: the built vms-sim as a
// process, the console as its session (no window), in one working folder and
// one home of the test's own (the child inherits the test's environment).
#include "ChildProcess.h"
#include "ConsoleSettings.h"
#include "TempDir.h"
#include "TestPaths.h"
#include "UdpPeer.h"
#include "WaitFor.h"
#include "cConsoleSession.h"
#include "cRC_IO_Pages.h"
#include "cUserSettingsFile.h"

#include <boost/filesystem.hpp>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>
#include <regex>

using namespace std::chrono_literals;

namespace
{
class SharedSettingsTest : public ::testing::Test
{
protected:
    // The built vms-sim in the working folder; any free port by default, so
    // that only the choice of file is under test.
    std::unique_ptr<ChildProcess> StartSim(
        const std::vector<std::string>& args = {"--bind", "127.0.0.1", "--port", "0", "--eo-listen-port", "0"})
    {
        ChildProcess::Options options;
        options.sWorkDir = m_Work.Path();
        return std::make_unique<ChildProcess>(TestPaths::BinDir() + "/vms-sim", args, options);
    }

    // The settings file named by the simulator's start line, and whether it
    // says it made the file; stops the simulator.
    struct SimChoice
    {
        std::string sPath;
        bool bMade = false;
    };
    SimChoice ChoiceOf(ChildProcess& sim)
    {
        const std::string sLine = sim.UpTo("settings: ");
        std::smatch match;
        const std::regex line(R"(settings: (\S+)( \(made from the samples just now\))?( with .* over it)?: variant)");
        EXPECT_TRUE(std::regex_search(sLine, match, line)) << sim.Output();
        EXPECT_NE(sim.UpTo("vms-sim ready"), "") << sim.Output();
        sim.Signal(SIGTERM);
        EXPECT_EQ(sim.Wait(), 0) << sim.Output();
        return {match[1].str(), match[2].matched};
    }

    TempDir m_Home;
    TempDir m_Work;
    ScopedChdir m_Chdir{m_Work.Path()};
    ScopedEnvironment m_HomeEntry{"HOME", m_Home.Path()};
    ScopedEnvironment m_ConfigEntry{"XDG_CONFIG_HOME", m_Home.File("config")};
};
} // namespace

// config/Kestrum.xml in the working folder; without it the user's copy under
// XDG_CONFIG_HOME; with that unset (empty), under ~/.config: both programs
// take the same file each time.
TEST_F(SharedSettingsTest, BothChooseTheSameFileInTheSameSituations)
{
    boost::filesystem::create_directories(m_Work.File("config"));
    m_Work.Write("config/Kestrum.xml", ConsoleSettings().Udp(7001, 7002).Text());
    EXPECT_EQ(ChoiceOf(*StartSim()).sPath, "config/Kestrum.xml");
    EXPECT_EQ(cUserSettingsFile::ForCommandLine("").sPath, "config/Kestrum.xml");
    EXPECT_FALSE(boost::filesystem::exists(m_Home.File("config"))) << "nothing made in the user's folder";

    boost::filesystem::remove_all(m_Work.File("config"));
    EXPECT_EQ(ChoiceOf(*StartSim()).sPath, m_Home.File("config/kestrum/Kestrum.xml"));
    EXPECT_EQ(cUserSettingsFile::ForCommandLine("").sPath, m_Home.File("config/kestrum/Kestrum.xml"));

    ScopedEnvironment unset("XDG_CONFIG_HOME", "");
    EXPECT_EQ(ChoiceOf(*StartSim()).sPath, m_Home.File(".config/kestrum/Kestrum.xml"));
    EXPECT_EQ(cUserSettingsFile::ForCommandLine("").sPath, m_Home.File(".config/kestrum/Kestrum.xml"));
}

// Whichever starts first makes the user's copy from the samples, once; the
// other finds it.
TEST_F(SharedSettingsTest, TheUsersCopyIsMadeOnceByWhicheverStartsFirst)
{
    const SimChoice first = ChoiceOf(*StartSim());
    EXPECT_TRUE(first.bMade);
    const cUserSettingsFile::Choice console = cUserSettingsFile::ForCommandLine("");
    EXPECT_FALSE(console.bCreated);
    EXPECT_EQ(console.sPath, first.sPath);
    EXPECT_FALSE(ChoiceOf(*StartSim()).bMade);

    ScopedEnvironment otherUser("XDG_CONFIG_HOME", m_Home.File("other"));
    const cUserSettingsFile::Choice consoleFirst = cUserSettingsFile::ForCommandLine("");
    EXPECT_TRUE(consoleFirst.bCreated);
    const SimChoice simAfter = ChoiceOf(*StartSim());
    EXPECT_FALSE(simAfter.bMade);
    EXPECT_EQ(simAfter.sPath, consoleFirst.sPath);
}

// From an empty folder, both without options: the simulator makes the user's
// copy of the samples (long frames with the heartbeat), the console's session
// finds it, and the link comes up on the heartbeat. The user's stored comms
// settings give both the ports, free ones here.
TEST_F(SharedSettingsTest, BothWithoutOptionsGetALiveLink)
{
    const uint16_t nSimPort = FreeUdpPort();
    const uint16_t nConsolePort = FreeUdpPort();
    const uint16_t nSimEoPort = FreeUdpPort();
    const uint16_t nConsoleEoPort = FreeUdpPort();
    boost::filesystem::create_directories(m_Home.File("config/Halvorn Ltd"));
    m_Home.Write("config/Halvorn Ltd/Kestrum.conf",
                 "[Comms%20Settings]\nComms%20Method=2\nRC%20Target%20Port=" + std::to_string(nSimPort) +
                     "\nRC%20Host%20Port=" + std::to_string(nConsolePort) +
                     "\nEO%20Track%20Target%20Port=" + std::to_string(nSimEoPort) +
                     "\nEO%20Track%20Host%20Port=" + std::to_string(nConsoleEoPort) + "\n");

    std::unique_ptr<ChildProcess> sim = StartSim({});
    ASSERT_NE(sim->UpTo("vms-sim ready"), "") << sim->Output();
    EXPECT_NE(sim->Output().find("variant 1 with heartbeat, UDP " + std::to_string(nSimPort) + " -> 127.0.0.1:" +
                                 std::to_string(nConsolePort)),
              std::string::npos)
        << sim->Output();

    cConsoleSession session(cUserSettingsFile::ForCommandLine("").sPath);
    const cConsoleSession::LoadReport report = session.Load();
    EXPECT_TRUE(report.bSettingsRead);
    EXPECT_TRUE(report.bPagesRead);
    ASSERT_EQ(session.StartPages(), cConsoleSession::Result::kStarted);
    EXPECT_TRUE(session.RC_IO_Pages()->m_bUseHeartbeat.load());
    EXPECT_TRUE(WaitFor([&] { return session.RC_IO_Pages()->m_bLinkActive.load(); }, 20s))
        << session.RC_IO_Pages()->GetLinkStatusText() << "\n"
        << sim->Output();
    EXPECT_NE(sim->UpTo("interface active: console heartbeats arrive"), "") << sim->Output();

    session.Stop();
    sim->Signal(SIGTERM);
    EXPECT_EQ(sim->Wait(), 0);
}
