// Exports of the audio-output family. Most of them log that they were called.
#include "NxExport.h"
#include "cAudioOutIFEx.h"

namespace
{
const nx::cCreateTexts kCreateTexts = {
    "Nx_AudioOutCreateIF",
    "Failed to create new cAudioOutIFEx. Returning Nx_OUTOFMEMORY",
    "pAudioOutIF object created successfully",
    "Init(%d) return %d",
};

template <typename Fn>
NxResult WithAudio(NxHandle hAudio, Fn&& fn)
{
    return nx::WithHandle<cAudioOutIFEx>(hAudio, std::forward<Fn>(fn));
}

void Called(const char* szExport, int32_t nLine)
{
    DbgLog(DBG_INF, szExport, nLine, "called", CAT_IOLIB);
}
} // namespace

NxResult NX_CALL Nx_AudioOutCreateIF(NxHandle* phAudio, const char* szPlugin, int32_t nDevice, NxValue nValue)
{
    return nx::CreateFamily<cAudioOutIFEx>(kCreateTexts, phAudio, szPlugin, nDevice,
                                           [&](cAudioOutIFEx& audio) { return audio.Init(nDevice, nValue); });
}

NxResult NX_CALL Nx_AudioOutDestroyIF(NxHandle hAudio)
{
    return nx::DestroyFamily<cAudioOutIFEx>(hAudio, "Nx_AudioOutDestroyIF", "Caught exception %d from Destroy ... closing",
                                            [](cAudioOutIFEx& audio) { audio.Destroy(); });
}

NxResult NX_CALL Nx_AudioOutSetCallback(NxHandle hAudio, NxDeviceCallback pfnCallback, void* pUserData)
{
    Called("Nx_AudioOutSetCallback", __LINE__);
    return WithAudio(hAudio, [&](cAudioOutIFEx& audio) { return audio.SetCallback(pfnCallback, pUserData); });
}

NxResult NX_CALL Nx_AudioOutStopCallback(NxHandle hAudio, NxDeviceCallback pfnCallback)
{
    Called("Nx_AudioOutStopCallback", __LINE__);
    return WithAudio(hAudio, [&](cAudioOutIFEx& audio) { return audio.StopCallback(pfnCallback); });
}

NxResult NX_CALL Nx_AudioOutEnableOutput(NxHandle hAudio, NxValue nValue)
{
    Called("Nx_AudioOutEnableOutput", __LINE__);
    return WithAudio(hAudio, [&](cAudioOutIFEx& audio) { return audio.EnableOutput(nValue); });
}

NxResult NX_CALL Nx_AudioOutSetSource(NxHandle hAudio, NxValue nValue)
{
    Called("Nx_AudioOutSetSource", __LINE__);
    return WithAudio(hAudio, [&](cAudioOutIFEx& audio) { return audio.SetSource(nValue); });
}

NxResult NX_CALL Nx_AudioOutSetVolume(NxHandle hAudio, NxValue nValue)
{
    Called("Nx_AudioOutSetVolume", __LINE__);
    return WithAudio(hAudio, [&](cAudioOutIFEx& audio) { return audio.SetVolume(nValue); });
}

NxResult NX_CALL Nx_AudioOutSetAttrib(NxHandle hAudio, NxValue nValue1, NxValue nValue2)
{
    Called("Nx_AudioOutSetAttrib", __LINE__);
    return WithAudio(hAudio, [&](cAudioOutIFEx& audio) { return audio.SetAttrib(nValue1, nValue2); });
}

NxResult NX_CALL Nx_AudioOutGetAttrib(NxHandle hAudio, NxValue nValue1, NxValue nValue2)
{
    return WithAudio(hAudio, [&](cAudioOutIFEx& audio) { return audio.GetAttrib(nValue1, nValue2); });
}

NxResult NX_CALL Nx_AudioOutSetFileName(NxHandle hAudio, NxValue nValue1, NxValue nValue2)
{
    Called("Nx_AudioOutSetFileName", __LINE__);
    return WithAudio(hAudio, [&](cAudioOutIFEx& audio) { return audio.SetFileName(nValue1, nValue2); });
}

NxResult NX_CALL Nx_AudioOutGetFileName(NxHandle hAudio, NxValue nValue1, NxValue nValue2)
{
    return WithAudio(hAudio, [&](cAudioOutIFEx& audio) { return audio.GetFileName(nValue1, nValue2); });
}

NxResult NX_CALL Nx_AudioOutSetTimer(NxHandle hAudio, NxValue nValue)
{
    Called("Nx_AudioOutSetTimer", __LINE__);
    return WithAudio(hAudio, [&](cAudioOutIFEx& audio) { return audio.SetTimer(nValue); });
}
