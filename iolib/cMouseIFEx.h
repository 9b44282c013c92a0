#pragma once
#include "cDeviceIFEx.h"

// A mouse reached through its plug-in: status, callback and timer.
class cMouseIFEx : public cDeviceIFEx
{
public:
    static constexpr int32_t kObjType = 24;

    cMouseIFEx();

    bool IsValid() const override { return m_nObjType == kObjType; }

    NxResult MouseInit(int32_t nDevice, NxValue nValue) { return InitDevice(nDevice, nValue); }
    NxResult MouseDestroy() { return DestroyInstance(); }
    void Destroy() { CloseSource(); }
    using cDeviceIFEx::GetStatus;
};
