// The console's settings as the simulator reads them for its defaults: the
// file the console would take, the per-user comms settings over it, and the
// built-in defaults, with one reason, when the file cannot be read.
#include "ConsoleSettings.h"
#include "LogCapture.h"
#include "TempDir.h"
#include "cSimConsoleSettings.h"

#include <boost/filesystem.hpp>
#include <fstream>
#include <gtest/gtest.h>

namespace
{
class SimConsoleSettingsTest : public ::testing::Test
{
protected:
    // The per-user comms settings, as the console's comms setup stores them.
    void WriteUserComms(const std::string& sEntries)
    {
        boost::filesystem::create_directories(m_Home.File("config/Halvorn Ltd"));
        std::ofstream(m_sUserComms) << "[Comms%20Settings]\n" << sEntries;
    }

    TempDir m_Home;
    TempDir m_Work;
    ScopedChdir m_Chdir{m_Work.Path()};
    ScopedEnvironment m_HomeEntry{"HOME", m_Home.Path()};
    ScopedEnvironment m_ConfigEntry{"XDG_CONFIG_HOME", m_Home.File("config")};
    const std::string m_sUserComms = m_Home.File("config/Halvorn Ltd/Kestrum.conf");
};
} // namespace

// config/Kestrum.xml here is the console's file and so the simulator's; the
// per-user comms settings override its comms keys, and not the others.
TEST_F(SimConsoleSettingsTest, WorkingFolderFileWithThePerUserCommsSettingsOverIt)
{
    boost::filesystem::create_directories(m_Work.File("config"));
    const std::string sText = ConsoleSettings()
                                  .Udp(7001, 7002)
                                  .Main("nControllerType", 1)
                                  .Main("bUseVMS_HeartBeat", true)
                                  .Main("sPageDefinitionsFile", "config/Pages.xml")
                                  .Eo("nTxPort", 7003)
                                  .Eo("nRxPort", 7004)
                                  .Text();
    m_Work.Write("config/Kestrum.xml", sText);

    cSimConsoleSettings settings;
    settings.Load("");
    EXPECT_EQ(settings.Problem(), "");
    EXPECT_EQ(settings.Path(), "config/Kestrum.xml");
    EXPECT_EQ(settings.Source(), "config/Kestrum.xml");
    EXPECT_EQ(settings.Settings().nControllerType, 1);
    EXPECT_EQ(settings.Settings().m_CommsSettings.nTxPort, 7001);
    EXPECT_EQ(settings.Settings().m_CommsSettings.nEoRxPort, 7004);

    WriteUserComms("Comms%20Method=2\nRC%20Target%20Port=7101\nEO%20Track%20Host%20Port=7104\n");
    settings.Load("");
    EXPECT_EQ(settings.Problem(), "");
    EXPECT_EQ(settings.Source(), "config/Kestrum.xml with " + m_sUserComms + " over it");
    EXPECT_EQ(settings.Settings().m_CommsSettings.nTxPort, 7101);
    EXPECT_EQ(settings.Settings().m_CommsSettings.nRxPort, 7002);
    EXPECT_EQ(settings.Settings().m_CommsSettings.nEoRxPort, 7104);
    EXPECT_EQ(settings.Settings().sPageDefinitionsFile, "config/Pages.xml");

    // A file named on the command line wins over the one here.
    m_Work.Write("other.xml", ConsoleSettings().Udp(7201, 7202).Text());
    settings.Load(m_Work.File("other.xml"));
    EXPECT_EQ(settings.Path(), m_Work.File("other.xml"));
    EXPECT_EQ(settings.Settings().nControllerType, 0);
    EXPECT_EQ(settings.Settings().m_CommsSettings.nTxPort, 7101) << "still the per-user value";
    EXPECT_EQ(settings.Settings().m_CommsSettings.nRxPort, 7202);
}

// A settings file that cannot be read gives one reason, naming the file, and
// the built-in defaults, with the per-user comms settings still over them; the
// debug log does not repeat it.
TEST_F(SimConsoleSettingsTest, UnreadableFileFallsBackToTheBuiltInDefaultsWithOneReason)
{
    const std::vector<std::pair<std::string, std::string>> files = {
        {"", "empty"},
        {"<VMS_Cfg><Kestrum nControllerType=\"1\">", "not XML (line 1: XML_ERROR_MISMATCHED_ELEMENT)"},
        {"<VMS_Cfg><EoTrackData/></VMS_Cfg>", "no Kestrum section"},
        {"<VMS_Cfg><Kestrum nControllerType=\"1\"/></VMS_Cfg>", "no EoTrackData section"},
    };
    const cKestrumSettings builtIn = cSimConsoleSettings::BuiltIn();
    for (const auto& [sText, sWhy] : files)
    {
        SCOPED_TRACE(sWhy);
        m_Work.Write("broken.xml", sText);
        LogCapture log;
        cSimConsoleSettings settings;
        settings.Load(m_Work.File("broken.xml"));
        EXPECT_EQ(settings.Problem(), "cannot read the settings file " + m_Work.File("broken.xml") + ": " + sWhy);
        EXPECT_EQ(log.Lines().size(), 0u) << log.Dump();
        EXPECT_EQ(settings.Source(), "built-in defaults");
        EXPECT_EQ(settings.Settings().nControllerType, builtIn.nControllerType);
        EXPECT_EQ(settings.Settings().m_CommsSettings.nCommsMethod, CommsSettings::kUdp);
        EXPECT_EQ(settings.Settings().m_CommsSettings.nTxPort, builtIn.m_CommsSettings.nTxPort);
    }

    cSimConsoleSettings missing;
    missing.Load(m_Work.File("none.xml"));
    EXPECT_EQ(missing.Problem(), "cannot read the settings file " + m_Work.File("none.xml") +
                                     ": No such file or directory");

    WriteUserComms("RC%20Host%20Port=7302\n");
    missing.Load(m_Work.File("none.xml"));
    EXPECT_EQ(missing.Source(), "built-in defaults with " + m_sUserComms + " over them");
    EXPECT_EQ(missing.Settings().m_CommsSettings.nRxPort, 7302);
    EXPECT_EQ(missing.Settings().m_CommsSettings.nCommsMethod, CommsSettings::kUdp);
}
