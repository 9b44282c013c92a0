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

#define MOUSE_OP(op, slot, text) NX_FORWARD_OP("cMouseIFEx::" op, slot, text)
const cForwardSpec kGetStatusOp = MOUSE_OP("GetStatus", kGetStatus, "");
const cForwardSpec kSetCallbackOp = MOUSE_OP("SetCallback", kSetCallback, "m_pfnSetCallback returned %d");
const cForwardSpec kStopCallbackOp = MOUSE_OP("StopCallback", kStopCallback, "m_pfnStopCallback returned %d");
const cForwardSpec kSetTimerOp = MOUSE_OP("SetTimer", kSetTimer, "m_pfnSetTimer returned %d");
#undef MOUSE_OP

const cDeviceSpec kFamily = {
    {
        cPluginIFEx::LoadSpec("cMouseIFEx::LoadSource",
                              "Successfully found MI_LibInit and MI_LibDestroy functions in the loaded library",
                              kEntryPoints, kEntryPointCount),
        "cMouseIFEx::MouseInit",
        "cMouseIFEx::MouseDestroy",
        "cMouseIFEx::Destroy",
        NX_MOUSE_IF_VERSION,
        kSetTimerOp,
    },
    kSetCallbackOp,
    kStopCallbackOp,
    &kGetStatusOp,
};
} // namespace

cMouseIFEx::cMouseIFEx() : cDeviceIFEx(kObjType, kFamily)
{
}
