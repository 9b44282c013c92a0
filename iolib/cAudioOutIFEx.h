#pragma once
#include "cPluginIFEx.h"

// An audio output reached through its plug-in.
class cAudioOutIFEx : public cPluginIFEx
{
public:
    static constexpr int32_t kObjType = 27;

    cAudioOutIFEx();

    bool IsValid() const override { return m_nObjType == kObjType; }

    NxResult Init(int32_t nDevice, NxValue nValue);
    NxResult Destroy() { return DestroyInstance(); }

    NxResult SetCallback(NxDeviceCallback pfnCallback, void* pUserData);
    NxResult StopCallback(NxDeviceCallback pfnCallback);
    NxResult EnableOutput(NxValue nValue);
    NxResult SetSource(NxValue nValue);
    NxResult SetVolume(NxValue nValue);
    NxResult SetAttrib(NxValue nValue1, NxValue nValue2);
    NxResult GetAttrib(NxValue nValue1, NxValue nValue2);
    NxResult SetFileName(NxValue nValue1, NxValue nValue2);
    NxResult GetFileName(NxValue nValue1, NxValue nValue2);
    NxResult SetTimer(NxValue nValue);
};
