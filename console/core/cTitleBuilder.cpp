#include "cTitleBuilder.h"

std::string cTitleBuilder::Title(const CommsSettings& settings, const std::string& sCurrent)
{
    if (settings.nCommsMethod == CommsSettings::kSerial)
    {
        if (!settings.sSerialDevice.empty())
            return "Kestrum - " + settings.sSerialDevice;
        return "Kestrum - COM" + std::to_string(settings.nComPort);
    }
    if (settings.nCommsMethod == CommsSettings::kUdp)
        return "Kestrum - " + settings.sIpAddress + ":" + std::to_string(settings.nRxPort);
    return sCurrent;
}
