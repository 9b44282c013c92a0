#pragma once
#include "cPluginIFEx.h"

// A controller (joystick) reached through a plug-in such as Joyvane. Portelle
// hands the callback to the plug-in and never calls it itself.
class cControllerIFEx : public cPluginIFEx
{
public:
    static constexpr int32_t kObjType = 22;

    cControllerIFEx();

    bool IsValid() const override { return m_nObjType == kObjType; }

    NxResult Init(NxValue nWindow, int32_t nDevice, const char* szConfig);
    NxResult Destroy() { return DestroyInstance(); }
    NxResult SetCallback(NxControllerCallback pfnCallback, void* pUserData);
    NxResult StopCallback(NxControllerCallback pfnCallback);
    NxResult GetVerString(NxValue nValue1, NxValue nValue2);
};
