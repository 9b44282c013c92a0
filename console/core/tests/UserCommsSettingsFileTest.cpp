#include "TempDir.h"
#include "cUserCommsSettingsFile.h"

#include <cstdlib>
#include <gtest/gtest.h>

// The store's escaping is undone: %20 in group and key names, quoted values
// with their blanks, backslash escapes; other groups and comments are passed
// over, and an entry that is not a number leaves the file's value.
TEST(UserCommsSettingsFile, StoredEntriesOverrideAndOthersStay)
{
    TempDir dir;
    dir.Write("Kestrum.conf", R"(; written by the console
[General]
RC%20Target%20Port=1111

[Comms%20Settings]
Comms%20Method=2
Com%20Port = 4
IP%20Address="  10.0.0.9, spare "
RC%20Target%20Port=7001
RC%20Host%20Port=70x1
EO%20Track%20Host%20Port=

[Other]
EO%20Track%20Target%20Port=1
)");
    CommsSettings settings;
    settings.nRxPort = 5555;
    ASSERT_TRUE(cUserCommsSettingsFile::ReadRegistrySettings(settings, dir.File("Kestrum.conf")));
    EXPECT_EQ(settings.nCommsMethod, 2);
    EXPECT_EQ(settings.nComPort, 4);
    EXPECT_EQ(settings.sIpAddress, "  10.0.0.9, spare ");
    EXPECT_EQ(settings.nTxPort, 7001);
    EXPECT_EQ(settings.nRxPort, 5555);
    EXPECT_EQ(settings.nEoTxPort, CommsSettings::kDefaultEoTxPort);
    EXPECT_EQ(settings.nEoRxPort, CommsSettings::kDefaultEoRxPort);

    EXPECT_EQ(cUserCommsSettingsFile::UnescapeValue(R"(a\tb\\c\"d ; note)"), "a\tb\\c\"d");
    EXPECT_EQ(cUserCommsSettingsFile::UnescapeValue("@@at"), "@at");
    EXPECT_EQ(cUserCommsSettingsFile::UnescapeName("Caf%U00e9%3D"), "Caf\xc3\xa9=");

    // No file: nothing changes and nothing is wrong.
    CommsSettings untouched;
    EXPECT_TRUE(cUserCommsSettingsFile::ReadRegistrySettings(untouched, dir.File("none.conf")));
    EXPECT_EQ(untouched.sIpAddress, CommsSettings::kDefaultIpAddress);
}

// The file is where the console's store keeps it: XDG_CONFIG_HOME when it is
// an absolute path, else ~/.config.
TEST(UserCommsSettingsFile, PathFollowsTheDesktopConfigFolder)
{
    const char* szSaved = std::getenv("XDG_CONFIG_HOME");
    const std::string sSaved = szSaved ? szSaved : "";
    setenv("XDG_CONFIG_HOME", "/tmp/cfg", 1);
    EXPECT_EQ(cUserCommsSettingsFile::DefaultPath(), "/tmp/cfg/Halvorn Ltd/Kestrum.conf");
    setenv("XDG_CONFIG_HOME", "relative", 1);
    EXPECT_EQ(cUserCommsSettingsFile::DefaultPath(), std::string(std::getenv("HOME")) + "/.config/Halvorn Ltd/Kestrum.conf");
    if (szSaved)
        setenv("XDG_CONFIG_HOME", sSaved.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}
