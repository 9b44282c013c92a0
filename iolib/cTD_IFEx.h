#pragma once
#include "cPluginIFEx.h"

// A target designator reached through its plug-in.
class cTD_IFEx : public cPluginIFEx
{
public:
    static constexpr int32_t kObjType = 23;

    cTD_IFEx();

    bool IsValid() const override { return m_nObjType == kObjType; }

    NxResult TD_Init(int32_t nDevice, NxValue nValue);
    NxResult TD_Destroy() { return DestroyInstance(); }
    void Destroy() { CloseSource(); }

    NxResult GetStatus(NxValue nValue);
    NxResult SetCallback(NxDeviceCallback pfnCallback, void* pUserData);
    NxResult StopCallback(NxDeviceCallback pfnCallback);
    NxResult SetCallbackMultiTgt(NxValue nValue1, NxValue nValue2, NxValue nValue3, NxValue nValue4);
    NxResult StopCallbackMultiTgt(NxValue nValue1, NxValue nValue2, NxValue nValue3);
    NxResult SetTimer(NxValue nValue);
    NxResult SetAttrib(NxValue nValue1, NxValue nValue2);
    NxResult SendGeod(uint32_t nWord0, uint32_t nWord1, uint32_t nWord2, uint32_t nWord3);
    NxResult SendPolar(uint32_t nWord0, uint32_t nWord1, uint32_t nWord2, uint32_t nWord3);
};
