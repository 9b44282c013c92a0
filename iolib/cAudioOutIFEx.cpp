#include "cAudioOutIFEx.h"

namespace
{
enum
{
    kInit,
    kDestroy,
    kSetCallback,
    kStopCallback,
    kEnableOutput,
    kSetSource,
    kSetVolume,
    kSetAttrib,
    kGetAttrib,
    kSetFileName,
    kGetFileName,
    kSetTimer,
    kGetVerString,  // bound, but no export calls it
    kEntryPointCount
};

#define AO_OPTIONAL(name) \
    {name, name " function found in the library", __LINE__, "Library does not have the " name " function", __LINE__}

const cEntryPointSpec kEntryPoints[kEntryPointCount] = {
    {"AO_LibInit", nullptr, 0, "Library does not have the AO_LibInit function", 81},
    {"AO_LibDestroy", nullptr, 0, "Library does not have the AO_LibDestroy function", 89},
    AO_OPTIONAL("AO_LibSetCallback"),
    AO_OPTIONAL("AO_LibStopCallback"),
    AO_OPTIONAL("AO_LibEnableOutput"),
    AO_OPTIONAL("AO_LibSetSource"),
    AO_OPTIONAL("AO_LibSetVolume"),
    AO_OPTIONAL("AO_LibSetAttrib"),
    AO_OPTIONAL("AO_LibGetAttrib"),
    AO_OPTIONAL("AO_LibSetFileName"),
    AO_OPTIONAL("AO_LibGetFileName"),
    AO_OPTIONAL("AO_LibSetTimer"),
    AO_OPTIONAL("AO_LibGetVerString"),
};
#undef AO_OPTIONAL

const cFamilySpec kFamily = {
    "cAudioOutIFEx::LoadSource",
    "cAudioOutIFEx::Init",
    "cAudioOutIFEx::Destroy",
    "cAudioOutIFEx::CloseSource",
    "Successfully found AO_LibInit and AO_LibDestroy functions in the loaded library",
    NX_AUDIOOUT_IF_VERSION,
    kEntryPoints,
    kEntryPointCount,
};

#define AO_OP(op, slot) {"cAudioOutIFEx::" op, slot, __LINE__, __LINE__, "m_pfn" op " returned %d", __LINE__}
const cForwardSpec kSetCallbackOp = AO_OP("SetCallback", kSetCallback);
const cForwardSpec kStopCallbackOp = AO_OP("StopCallback", kStopCallback);
const cForwardSpec kEnableOutputOp = AO_OP("EnableOutput", kEnableOutput);
const cForwardSpec kSetSourceOp = AO_OP("SetSource", kSetSource);
const cForwardSpec kSetVolumeOp = AO_OP("SetVolume", kSetVolume);
const cForwardSpec kSetAttribOp = AO_OP("SetAttrib", kSetAttrib);
const cForwardSpec kGetAttribOp = AO_OP("GetAttrib", kGetAttrib);
const cForwardSpec kSetFileNameOp = AO_OP("SetFileName", kSetFileName);
const cForwardSpec kGetFileNameOp = AO_OP("GetFileName", kGetFileName);
const cForwardSpec kSetTimerOp = AO_OP("SetTimer", kSetTimer);
#undef AO_OP
} // namespace

cAudioOutIFEx::cAudioOutIFEx() : cPluginIFEx(kObjType, kFamily)
{
}

NxResult cAudioOutIFEx::Init(int32_t nDevice, NxValue nValue)
{
    return RunInit<PFN_Dev_LibInit>(nDevice, nDevice, nValue);
}

NxResult cAudioOutIFEx::SetCallback(NxDeviceCallback pfnCallback, void* pUserData)
{
    return Forward<PFN_Dev_SetCallback>(kSetCallbackOp, pfnCallback, pUserData);
}

NxResult cAudioOutIFEx::StopCallback(NxDeviceCallback pfnCallback)
{
    return Forward<PFN_Dev_StopCallback>(kStopCallbackOp, pfnCallback);
}

NxResult cAudioOutIFEx::EnableOutput(NxValue nValue)
{
    return Forward<PFN_Dev_Call1>(kEnableOutputOp, nValue);
}

NxResult cAudioOutIFEx::SetSource(NxValue nValue)
{
    return Forward<PFN_Dev_Call1>(kSetSourceOp, nValue);
}

NxResult cAudioOutIFEx::SetVolume(NxValue nValue)
{
    return Forward<PFN_Dev_Call1>(kSetVolumeOp, nValue);
}

NxResult cAudioOutIFEx::SetAttrib(NxValue nValue1, NxValue nValue2)
{
    return Forward<PFN_Dev_Call2>(kSetAttribOp, nValue1, nValue2);
}

NxResult cAudioOutIFEx::GetAttrib(NxValue nValue1, NxValue nValue2)
{
    return Forward<PFN_Dev_Call2>(kGetAttribOp, nValue1, nValue2);
}

NxResult cAudioOutIFEx::SetFileName(NxValue nValue1, NxValue nValue2)
{
    return Forward<PFN_Dev_Call2>(kSetFileNameOp, nValue1, nValue2);
}

NxResult cAudioOutIFEx::GetFileName(NxValue nValue1, NxValue nValue2)
{
    return Forward<PFN_Dev_Call2>(kGetFileNameOp, nValue1, nValue2);
}

NxResult cAudioOutIFEx::SetTimer(NxValue nValue)
{
    return Forward<PFN_Dev_Call1>(kSetTimerOp, nValue);
}
