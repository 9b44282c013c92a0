#pragma once
#include "cDeviceIFEx.h"

// A target designator reached through its plug-in.
class cTD_IFEx : public cDeviceIFEx
{
public:
    static constexpr int32_t kObjType = 23;

    cTD_IFEx();

    bool IsValid() const override { return m_nObjType == kObjType; }

    NxResult TD_Init(int32_t nDevice, NxValue nValue) { return InitDevice(nDevice, nValue); }
    NxResult TD_Destroy() { return DestroyInstance(); }
    void Destroy() { CloseSource(); }
    using cDeviceIFEx::GetStatus;

    NxResult SetCallbackMultiTgt(NxValue nValue1, NxValue nValue2, NxValue nValue3, NxValue nValue4);
    NxResult StopCallbackMultiTgt(NxValue nValue1, NxValue nValue2, NxValue nValue3);
    NxResult SetAttrib(NxValue nValue1, NxValue nValue2);
    NxResult SendGeod(uint32_t nWord0, uint32_t nWord1, uint32_t nWord2, uint32_t nWord3);
    NxResult SendPolar(uint32_t nWord0, uint32_t nWord1, uint32_t nWord2, uint32_t nWord3);
};
