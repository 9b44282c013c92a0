#include "TempDir.h"
#include "cKestrumSettings.h"
#include "cUserSettingsFile.h"

#include <boost/filesystem.hpp>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>
#include <vector>

namespace
{
std::string ReadFile(const std::string& sPath)
{
    std::ifstream in(sPath, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::string& sPath, const std::string& sText)
{
    boost::filesystem::create_directories(boost::filesystem::path(sPath).parent_path());
    std::ofstream(sPath, std::ios::binary) << sText;
}

bool Exists(const std::string& sPath)
{
    return boost::filesystem::exists(sPath);
}

const char* const kSampleSettings = R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- The sample: kept as written in the copy. -->
<VMS_Cfg>
  <Kestrum
      nControllerType="1"
      sPageDefinitionsFile="config/PageDefinitions.xml"
      sJoystickDefinitionsFile=""
      sTestScenarioFile="/srv/tests/TestScenario.xml"
      sLoggingDirectory="logs"/>
  <EoTrackData nTxPort="9886"/>
</VMS_Cfg>
)";

class UserSettingsFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_Samples.Write("Kestrum.xml", kSampleSettings);
        m_Samples.Write("PageDefinitions.xml", "<PageDefinitions/>\n");
        m_Samples.Write("TestScenario.xml", "<TestScenario/>\n");
        m_Samples.Write("notes.txt", "not a sample\n");
    }

    TempDir m_Samples;
    TempDir m_Home;
    TempDir m_Work;
    ScopedChdir m_Chdir{m_Work.Path()};
    ScopedEnvironment m_XdgConfig{"XDG_CONFIG_HOME", m_Home.File("config")};
    const std::string m_sUserFolder = m_Home.File("config/kestrum");
};
} // namespace

// First start without config/ here: the samples are copied, the copy of the
// settings names the copied definitions by full path (absolute paths and
// other keys as they were, the comment kept), and the console reads it.
// The next start uses the user's file as the user left it.
TEST_F(UserSettingsFileTest, FirstStartMakesTheUsersFileFromTheSamples)
{
    const cUserSettingsFile::Choice first = cUserSettingsFile::Choose(m_Samples.Path());
    EXPECT_TRUE(first.sError.empty()) << first.sError;
    EXPECT_TRUE(first.bCreated);
    EXPECT_EQ(first.sPath, m_sUserFolder + "/Kestrum.xml");
    EXPECT_EQ(ReadFile(m_sUserFolder + "/PageDefinitions.xml"), "<PageDefinitions/>\n");
    EXPECT_FALSE(Exists(m_sUserFolder + "/notes.txt"));
    const std::string sCopy = ReadFile(first.sPath);
    EXPECT_NE(sCopy.find("<!-- The sample: kept as written in the copy. -->"), std::string::npos);
    EXPECT_NE(sCopy.find("\n      sJoystickDefinitionsFile=\"\"\n"), std::string::npos) << "layout kept";

    cKestrumSettings settings;
    ASSERT_TRUE(settings.Read(first.sPath));
    EXPECT_EQ(settings.sPageDefinitionsFile, m_sUserFolder + "/PageDefinitions.xml");
    EXPECT_EQ(settings.sTestScenarioFile, "/srv/tests/TestScenario.xml");
    EXPECT_EQ(settings.sLoggingDirectory, "logs");
    EXPECT_EQ(settings.nControllerType, 1);

    WriteFile(first.sPath, "<VMS_Cfg><Kestrum nControllerType=\"0\"/></VMS_Cfg>\n");
    const cUserSettingsFile::Choice second = cUserSettingsFile::Choose(m_Samples.Path());
    EXPECT_FALSE(second.bCreated);
    EXPECT_EQ(second.sPath, first.sPath);
    EXPECT_EQ(ReadFile(first.sPath), "<VMS_Cfg><Kestrum nControllerType=\"0\"/></VMS_Cfg>\n");
}

// config/Kestrum.xml in the working folder wins, as it always has; nothing
// is made in the user's folder.
TEST_F(UserSettingsFileTest, WorkingFolderSettingsWin)
{
    WriteFile(m_Work.File("config/Kestrum.xml"), kSampleSettings);
    const cUserSettingsFile::Choice choice = cUserSettingsFile::Choose(m_Samples.Path());
    EXPECT_EQ(choice.sPath, "config/Kestrum.xml");
    EXPECT_FALSE(choice.bCreated);
    EXPECT_FALSE(Exists(m_sUserFolder));
}

// Two programs started together (vms-sim and the console) may both find no
// copy and both make it: each ends with a whole settings file naming whole
// definitions, and no half-written file is left behind.
TEST_F(UserSettingsFileTest, CopiesMadeAtOnceAreBothWhole)
{
    std::vector<cUserSettingsFile::Choice> choices(8);
    std::vector<std::thread> makers;
    for (cUserSettingsFile::Choice& choice : choices)
        makers.emplace_back([&choice, this] { choice = cUserSettingsFile::Choose(m_Samples.Path()); });
    for (std::thread& maker : makers)
        maker.join();
    for (const cUserSettingsFile::Choice& choice : choices)
    {
        EXPECT_TRUE(choice.sError.empty()) << choice.sError;
        EXPECT_EQ(choice.sPath, m_sUserFolder + "/Kestrum.xml");
    }
    cKestrumSettings settings;
    ASSERT_TRUE(settings.Read(m_sUserFolder + "/Kestrum.xml"));
    EXPECT_EQ(settings.sPageDefinitionsFile, m_sUserFolder + "/PageDefinitions.xml");
    EXPECT_EQ(ReadFile(m_sUserFolder + "/PageDefinitions.xml"), "<PageDefinitions/>\n");
    int nFiles = 0;
    for (const auto& entry : boost::filesystem::directory_iterator(m_sUserFolder))
    {
        ++nFiles;
        EXPECT_EQ(entry.path().extension(), ".xml") << entry.path();
    }
    EXPECT_EQ(nFiles, 3);
}

// Without a name on the command line a program takes what Choose takes;
// WouldChoose names that file without making anything.
TEST_F(UserSettingsFileTest, WouldChooseMakesNothing)
{
    EXPECT_EQ(cUserSettingsFile::WouldChoose(), m_sUserFolder + "/Kestrum.xml");
    EXPECT_FALSE(Exists(m_sUserFolder));
    EXPECT_EQ(cUserSettingsFile::ForCommandLine("mine.xml").sPath, "mine.xml");
    EXPECT_FALSE(Exists(m_sUserFolder));
    WriteFile(m_Work.File("config/Kestrum.xml"), kSampleSettings);
    EXPECT_EQ(cUserSettingsFile::WouldChoose(), "config/Kestrum.xml");
}

// Definitions the user already has are not overwritten by the samples.
TEST_F(UserSettingsFileTest, UsersOwnDefinitionsAreKept)
{
    WriteFile(m_sUserFolder + "/PageDefinitions.xml", "<PageDefinitions><!-- mine --></PageDefinitions>\n");
    ASSERT_TRUE(cUserSettingsFile::Choose(m_Samples.Path()).bCreated);
    EXPECT_EQ(ReadFile(m_sUserFolder + "/PageDefinitions.xml"), "<PageDefinitions><!-- mine --></PageDefinitions>\n");
}

// Without samples, or where the folder cannot be made, the reason is given and
// the console falls back to the file it always read (and reports that as before).
TEST_F(UserSettingsFileTest, NoSamplesOrNoFolderSaysWhy)
{
    cUserSettingsFile::Choice choice = cUserSettingsFile::Choose(m_Work.File("nowhere"));
    EXPECT_EQ(choice.sPath, "config/Kestrum.xml");
    EXPECT_NE(choice.sError.find("no sample settings file"), std::string::npos) << choice.sError;

    m_Home.Write("blocked", "a file where the folder should go");
    ScopedEnvironment blocked("XDG_CONFIG_HOME", m_Home.File("blocked"));
    choice = cUserSettingsFile::Choose(m_Samples.Path());
    EXPECT_EQ(choice.sPath, "config/Kestrum.xml");
    EXPECT_NE(choice.sError.find("cannot make"), std::string::npos) << choice.sError;

    // A relative XDG_CONFIG_HOME is ignored, as the base directory rules say.
    ScopedEnvironment relative("XDG_CONFIG_HOME", "relative/config");
    ScopedEnvironment home("HOME", m_Home.Path());
    EXPECT_EQ(cUserSettingsFile::Folder(), m_Home.Path() + "/.config/kestrum");
}
