#include "cControllerIFEx.h"

namespace
{
enum
{
    kInit,
    kDestroy,
    kSetCallback,
    kStopCallback,
    kSetTimer,
    kGetVerString,
    kEntryPointCount
};

const cEntryPointSpec kEntryPoints[kEntryPointCount] = {
    {"CI_LibInit", nullptr, 0, "Library does not have the CI_LibInit function", 81},
    {"CI_LibDestroy", nullptr, 0, "Library does not have the CI_LibDestroy function", 89},
    {"CI_LibSetCallback", "CI_LibSetCallback function found in the library", 104,
     "Library does not have the CI_LibSetCallback function", 100},
    {"CI_LibStopCallback", "CI_LibStopCallback function found in the library", 114,
     "Library does not have the CI_LibStopCallback function", 110},
    {"CI_LibSetTimer", "CI_LibSetTimer function found in the library", 124,
     "Library does not have the CI_LibSetTimer function", 120},
    {"CI_LibGetVerString", "CI_LibGetVerString function found in the library", 134,
     "Library does not have the CI_LibGetVerString function", 130},
};

const cForwardSpec kSetCallbackOp = {"cControllerIFEx::SetCallback", kSetCallback, 220, 232,
                                     "m_pfnSetCallback returned %d", 240};
const cForwardSpec kStopCallbackOp = {"cControllerIFEx::StopCallback", kStopCallback, 257, 269,
                                      "m_pfnStopCallback returned %d", 277};
const cForwardSpec kSetTimerOp = {"cControllerIFEx::SetTimer", kSetTimer, 293, 305, "m_pfnSetTimer returned %d", 313};
const cForwardSpec kGetVerStringOp = {"cControllerIFEx::GetVerString", kGetVerString, 329, 341,
                                      "m_pfnGetVerString returned %d", 349};

const cFamilySpec kFamily = {
    cPluginIFEx::LoadSpec("cControllerIFEx::LoadSource",
                          "Successfully found CI_LibInit and CI_LibDestroy functions in the loaded library",
                          kEntryPoints, kEntryPointCount),
    "cControllerIFEx::Init",
    "cControllerIFEx::Destroy",
    "cControllerIFEx::CloseSource",
    NX_CONTROLLER_IF_VERSION,
    kSetTimerOp,
};
} // namespace

cControllerIFEx::cControllerIFEx() : cPluginIFEx(kObjType, kFamily)
{
}

NxResult cControllerIFEx::Init(NxValue nWindow, int32_t nDevice, const char* szConfig)
{
    return RunInit<PFN_CI_LibInit>(nDevice, nWindow, nDevice, szConfig);
}

NxResult cControllerIFEx::SetCallback(NxControllerCallback pfnCallback, void* pUserData)
{
    return Forward<PFN_CI_LibSetCallback>(kSetCallbackOp, pfnCallback, pUserData);
}

NxResult cControllerIFEx::StopCallback(NxControllerCallback pfnCallback)
{
    return Forward<PFN_CI_LibStopCallback>(kStopCallbackOp, pfnCallback);
}

NxResult cControllerIFEx::GetVerString(NxValue nValue1, NxValue nValue2)
{
    return Forward<PFN_CI_LibGetVerString>(kGetVerStringOp, nValue1, nValue2);
}
