#include "cMouseIFEx.h"

namespace
{
enum
{
    kInit,
    kDestroy,
    kGetStatus,
    kSetCallback,
    kStopCallback,
    kSetTimer,
    kEntryPointCount
};

const cEntryPointSpec kEntryPoints[kEntryPointCount] = {
    {"MI_LibInit", nullptr, 0, "Library does not have the MI_LibInit function", 81},
    {"MI_LibDestroy", nullptr, 0, "Library does not have the MI_LibDestroy function", 89},
    {"MI_LibGetStatus", "Found the MI_LibGetStatus function in the loaded library", __LINE__,
     "Library does not have the MI_LibGetStatus function", __LINE__},
    {"MI_LibSetCallback", "MI_LibSetCallback function found in the library", __LINE__,
     "Library does not have the MI_LibSetCallback function", __LINE__},
    {"MI_LibStopCallback", "MI_LibStopCallback function found in the library", __LINE__,
     "Library does not have the MI_LibStopCallback function", __LINE__},
    {"MI_LibSetTimer", "MILibSetTimer function found in the library", __LINE__,
     "Library does not have the MI_LibSetTimer function", __LINE__},
};

const cFamilySpec kFamily = {
    "cMouseIFEx::LoadSource",
    "cMouseIFEx::MouseInit",
    "cMouseIFEx::MouseDestroy",
    "cMouseIFEx::Destroy",
    "Successfully found MI_LibInit and MI_LibDestroy functions in the loaded library",
    NX_MOUSE_IF_VERSION,
    kEntryPoints,
    kEntryPointCount,
};

#define MOUSE_OP(op, slot, text) {"cMouseIFEx::" op, slot, __LINE__, __LINE__, text, __LINE__}
const cForwardSpec kGetStatusOp = MOUSE_OP("GetStatus", kGetStatus, "");
const cForwardSpec kSetCallbackOp = MOUSE_OP("SetCallback", kSetCallback, "m_pfnSetCallback returned %d");
const cForwardSpec kStopCallbackOp = MOUSE_OP("StopCallback", kStopCallback, "m_pfnStopCallback returned %d");
const cForwardSpec kSetTimerOp = MOUSE_OP("SetTimer", kSetTimer, "m_pfnSetTimer returned %d");
#undef MOUSE_OP
} // namespace

cMouseIFEx::cMouseIFEx() : cPluginIFEx(kObjType, kFamily)
{
}

NxResult cMouseIFEx::MouseInit(int32_t nDevice, NxValue nValue)
{
    return RunInit<PFN_Dev_LibInit>(nDevice, nDevice, nValue);
}

NxResult cMouseIFEx::GetStatus(NxValue nValue)
{
    return ForwardStatus<PFN_Dev_Call1>(kGetStatusOp, nValue);
}

NxResult cMouseIFEx::SetCallback(NxDeviceCallback pfnCallback, void* pUserData)
{
    return Forward<PFN_Dev_SetCallback>(kSetCallbackOp, pfnCallback, pUserData);
}

NxResult cMouseIFEx::StopCallback(NxDeviceCallback pfnCallback)
{
    return Forward<PFN_Dev_StopCallback>(kStopCallbackOp, pfnCallback);
}

NxResult cMouseIFEx::SetTimer(NxValue nValue)
{
    return Forward<PFN_Dev_Call1>(kSetTimerOp, nValue);
}
