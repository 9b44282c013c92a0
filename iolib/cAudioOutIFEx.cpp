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

const cEntryPointSpec kEntryPoints[kEntryPointCount] = {
    {"AO_LibInit", nullptr, 0, "Library does not have the AO_LibInit function", 81},
    {"AO_LibDestroy", nullptr, 0, "Library does not have the AO_LibDestroy function", 89},
    NX_OPTIONAL_ENTRY("AO_LibSetCallback"),
    NX_OPTIONAL_ENTRY("AO_LibStopCallback"),
    NX_OPTIONAL_ENTRY("AO_LibEnableOutput"),
    NX_OPTIONAL_ENTRY("AO_LibSetSource"),
    NX_OPTIONAL_ENTRY("AO_LibSetVolume"),
    NX_OPTIONAL_ENTRY("AO_LibSetAttrib"),
    NX_OPTIONAL_ENTRY("AO_LibGetAttrib"),
    NX_OPTIONAL_ENTRY("AO_LibSetFileName"),
    NX_OPTIONAL_ENTRY("AO_LibGetFileName"),
    NX_OPTIONAL_ENTRY("AO_LibSetTimer"),
    NX_OPTIONAL_ENTRY("AO_LibGetVerString"),
};

#define AO_OP(op, slot) NX_FORWARD_OP("cAudioOutIFEx::" op, slot, "m_pfn" op " returned %d")
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

const cDeviceSpec kFamily = {
    {
        cPluginIFEx::LoadSpec("cAudioOutIFEx::LoadSource",
                              "Successfully found AO_LibInit and AO_LibDestroy functions in the loaded library",
                              kEntryPoints, kEntryPointCount),
        "cAudioOutIFEx::Init",
        "cAudioOutIFEx::Destroy",
        "cAudioOutIFEx::CloseSource",
        NX_AUDIOOUT_IF_VERSION,
        kSetTimerOp,
    },
    kSetCallbackOp,
    kStopCallbackOp,
    nullptr,
};
} // namespace

cAudioOutIFEx::cAudioOutIFEx() : cDeviceIFEx(kObjType, kFamily)
{
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

