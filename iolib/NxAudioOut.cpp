// Exports of the audio-output family. Most of them log that they were called.
#include "NxExport.h"
#include "cAudioOutIFEx.h"

namespace
{
constexpr nx::cCreateTexts kCreateTexts = nx::PluginCreateTexts(
    "Nx_AudioOutCreateIF", "Failed to create new cAudioOutIFEx. Returning Nx_OUTOFMEMORY",
    "pAudioOutIF object created successfully", "Init(%d) return %d");
} // namespace

NxResult NX_CALL Nx_AudioOutCreateIF(NxHandle* phAudio, const char* szPlugin, int32_t nDevice, NxValue nValue)
{
    return nx::CreateFamily<cAudioOutIFEx>(kCreateTexts, phAudio, szPlugin, nDevice,
                                           [&](cAudioOutIFEx& audio) { return audio.Init(nDevice, nValue); });
}

NxResult NX_CALL Nx_AudioOutDestroyIF(NxHandle hAudio)
{
    return nx::DestroyFamily<cAudioOutIFEx>(hAudio, __func__, "Caught exception %d from Destroy ... closing",
                                            [](cAudioOutIFEx& audio) { audio.Destroy(); });
}

NxResult NX_CALL Nx_AudioOutSetCallback(NxHandle hAudio, NxDeviceCallback pfnCallback, void* pUserData)
{
    return nx::CallReported<cAudioOutIFEx>(__func__, __LINE__, hAudio, &cAudioOutIFEx::SetCallback, pfnCallback,
                                           pUserData);
}

NxResult NX_CALL Nx_AudioOutStopCallback(NxHandle hAudio, NxDeviceCallback pfnCallback)
{
    return nx::CallReported<cAudioOutIFEx>(__func__, __LINE__, hAudio, &cAudioOutIFEx::StopCallback, pfnCallback);
}

NxResult NX_CALL Nx_AudioOutEnableOutput(NxHandle hAudio, NxValue nValue)
{
    return nx::CallReported<cAudioOutIFEx>(__func__, __LINE__, hAudio, &cAudioOutIFEx::EnableOutput, nValue);
}

NxResult NX_CALL Nx_AudioOutSetSource(NxHandle hAudio, NxValue nValue)
{
    return nx::CallReported<cAudioOutIFEx>(__func__, __LINE__, hAudio, &cAudioOutIFEx::SetSource, nValue);
}

NxResult NX_CALL Nx_AudioOutSetVolume(NxHandle hAudio, NxValue nValue)
{
    return nx::CallReported<cAudioOutIFEx>(__func__, __LINE__, hAudio, &cAudioOutIFEx::SetVolume, nValue);
}

NxResult NX_CALL Nx_AudioOutSetAttrib(NxHandle hAudio, NxValue nValue1, NxValue nValue2)
{
    return nx::CallReported<cAudioOutIFEx>(__func__, __LINE__, hAudio, &cAudioOutIFEx::SetAttrib, nValue1, nValue2);
}

NxResult NX_CALL Nx_AudioOutGetAttrib(NxHandle hAudio, NxValue nValue1, NxValue nValue2)
{
    return nx::Call<cAudioOutIFEx>(__func__, hAudio, &cAudioOutIFEx::GetAttrib, nValue1, nValue2);
}

NxResult NX_CALL Nx_AudioOutSetFileName(NxHandle hAudio, NxValue nValue1, NxValue nValue2)
{
    return nx::CallReported<cAudioOutIFEx>(__func__, __LINE__, hAudio, &cAudioOutIFEx::SetFileName, nValue1, nValue2);
}

NxResult NX_CALL Nx_AudioOutGetFileName(NxHandle hAudio, NxValue nValue1, NxValue nValue2)
{
    return nx::Call<cAudioOutIFEx>(__func__, hAudio, &cAudioOutIFEx::GetFileName, nValue1, nValue2);
}

NxResult NX_CALL Nx_AudioOutSetTimer(NxHandle hAudio, NxValue nValue)
{
    return nx::CallReported<cAudioOutIFEx>(__func__, __LINE__, hAudio, &cAudioOutIFEx::SetTimer, nValue);
}
