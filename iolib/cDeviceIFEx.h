#pragma once
#include "cPluginIFEx.h"

// What the device families (target designator, mouse, audio output) add to
// their family spec: the callback operations they share, and the status query
// of those that have one.
struct cDeviceSpec
{
    cFamilySpec family;
    const cForwardSpec& setCallback;
    const cForwardSpec& stopCallback;
    const cForwardSpec* pGetStatus;  // null: the family has no status query
};

// A device family: init with a device index and one value, and a device
// callback that Portelle hands to the plug-in without calling it itself.
class cDeviceIFEx : public cPluginIFEx
{
public:
    NxResult SetCallback(NxDeviceCallback pfnCallback, void* pUserData);
    NxResult StopCallback(NxDeviceCallback pfnCallback);

protected:
    cDeviceIFEx(int32_t nObjType, const cDeviceSpec& spec);

    NxResult InitDevice(int32_t nDevice, NxValue nValue);
    // The plug-in's answer itself, never logged (see ForwardStatus).
    NxResult GetStatus(NxValue nValue);

private:
    const cDeviceSpec& m_DeviceSpec;
};
