#pragma once
#include "CommsSettings.h"

// Stores the comms settings as the per-user "Comms Settings" (in cAppIdentity's
// per-user store), which override the settings file at the next start. The
// entries are cUserCommsSettingsFile's, which reads them back.
class cUserCommsSettings
{
public:
    static void Write(const CommsSettings& settings);
};
