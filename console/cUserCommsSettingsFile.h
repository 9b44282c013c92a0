#pragma once
#include "CommsSettings.h"

#include <map>
#include <string>

// The per-user "Comms Settings" read without Qt, for programs that have no
// Qt (kestrum-scenario): the INI file that the console's per-user store
// writes ($XDG_CONFIG_HOME, else ~/.config, then "Halvorn Ltd/Kestrum.conf"),
// with its escaping: %20 for a space in group and key names, values quoted
// and backslash-escaped where they need it. Same entries, same rule as the
// console: a stored entry overrides the settings file, one that is not a
// number where a number belongs is ignored.
class cUserCommsSettingsFile
{
public:
    static std::string DefaultPath();
    // False when the file exists but cannot be read; a missing file is no error.
    static bool ReadRegistrySettings(CommsSettings& settings, const std::string& sPath = DefaultPath());
    // Every entry of one group, names and values unescaped; empty without the file.
    static std::map<std::string, std::string> ReadGroup(const std::string& sPath, const std::string& sGroup);

    static std::string UnescapeName(const std::string& sName);
    static std::string UnescapeValue(const std::string& sValue);
};
