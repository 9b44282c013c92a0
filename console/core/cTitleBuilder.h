#pragma once
#include "CommsSettings.h"

#include <string>

// The main window's title for the connection in use: "Kestrum - COM3",
// "Kestrum - /dev/ttyUSB0" or "Kestrum - 127.0.0.1:9879". Any other comms
// method leaves the current title as it is.
class cTitleBuilder
{
public:
    static std::string Title(const CommsSettings& settings, const std::string& sCurrent);
};
