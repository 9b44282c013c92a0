#pragma once
#include "CommsSettings.h"

// The per-user "Comms Settings" (in cAppIdentity's per-user store), which
// override the settings file. Read with the file's values as defaults, so only
// entries that are stored change anything.
class cUserCommsSettings
{
public:
    static void ReadRegistrySettings(CommsSettings& settings);
    static void Write(const CommsSettings& settings);
};
