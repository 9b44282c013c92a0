#pragma once
#include "CommsSettings.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>

// The per-user "Comms Settings", which override the settings file: the one
// reader of them, for the console and kestrum-scenario alike, and the list of
// entries that the console's comms setup writes through its per-user store.
// The file is the INI file that store keeps ($XDG_CONFIG_HOME, else ~/.config,
// then "Halvorn Ltd/Kestrum.conf"), with its escaping: %20 for a space in group
// and key names, values quoted and backslash-escaped where they need it. A
// stored entry overrides the settings file; one that is not a number where a
// number belongs is ignored.
class cUserCommsSettingsFile
{
public:
    static constexpr const char* kGroup = "Comms Settings";
    static constexpr const char* kIpAddress = "IP Address";  // the one text entry
    struct NumberEntry
    {
        const char* szName;
        int32_t CommsSettings::*pnValue;
    };
    static constexpr std::array<NumberEntry, 6> kNumbers{{
        {"Comms Method", &CommsSettings::nCommsMethod},
        {"Com Port", &CommsSettings::nComPort},
        {"RC Target Port", &CommsSettings::nTxPort},
        {"RC Host Port", &CommsSettings::nRxPort},
        {"EO Track Target Port", &CommsSettings::nEoTxPort},
        {"EO Track Host Port", &CommsSettings::nEoRxPort},
    }};

    static std::string DefaultPath();
    // False when the file exists but cannot be read; a missing file is no error.
    static bool ReadRegistrySettings(CommsSettings& settings, const std::string& sPath = DefaultPath());
    // Every entry of one group, names and values unescaped; empty without the file.
    static std::map<std::string, std::string> ReadGroup(const std::string& sPath, const std::string& sGroup);

    static std::string UnescapeName(const std::string& sName);
    static std::string UnescapeValue(const std::string& sValue);
};
