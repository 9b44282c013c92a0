#pragma once
#include "cPluginIFEx.h"

// A mouse reached through its plug-in.
class cMouseIFEx : public cPluginIFEx
{
public:
    static constexpr int32_t kObjType = 24;

    cMouseIFEx();

    bool IsValid() const override { return m_nObjType == kObjType; }

    NxResult MouseInit(int32_t nDevice, NxValue nValue);
    NxResult MouseDestroy() { return DestroyInstance(); }
    void Destroy() { CloseSource(); }

    NxResult GetStatus(NxValue nValue);
    NxResult SetCallback(NxDeviceCallback pfnCallback, void* pUserData);
    NxResult StopCallback(NxDeviceCallback pfnCallback);
    NxResult SetTimer(NxValue nValue);
};
