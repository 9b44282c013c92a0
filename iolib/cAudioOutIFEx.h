#pragma once
#include "cDeviceIFEx.h"

// An audio output reached through its plug-in.
class cAudioOutIFEx : public cDeviceIFEx
{
public:
    static constexpr int32_t kObjType = 27;

    cAudioOutIFEx();

    bool IsValid() const override { return m_nObjType == kObjType; }

    NxResult Init(int32_t nDevice, NxValue nValue) { return InitDevice(nDevice, nValue); }
    NxResult Destroy() { return DestroyInstance(); }

    NxResult EnableOutput(NxValue nValue);
    NxResult SetSource(NxValue nValue);
    NxResult SetVolume(NxValue nValue);
    NxResult SetAttrib(NxValue nValue1, NxValue nValue2);
    NxResult GetAttrib(NxValue nValue1, NxValue nValue2);
    NxResult SetFileName(NxValue nValue1, NxValue nValue2);
    NxResult GetFileName(NxValue nValue1, NxValue nValue2);
};
