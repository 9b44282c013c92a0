#include "cTD_IFEx.h"

namespace
{
enum
{
    kInit,
    kDestroy,
    kGetStatus,
    kSetCallback,
    kStopCallback,
    kSetCallbackMultiTgt,
    kStopCallbackMultiTgt,
    kSetTimer,
    kSetAttrib,
    kSendGeoTarget,
    kSendPolarTarget,
    kEntryPointCount
};

#define TD_OPTIONAL(name) \
    {name, name " function found in the library", __LINE__, "Library does not have the " name " function", __LINE__}

const cEntryPointSpec kEntryPoints[kEntryPointCount] = {
    {"TI_LibInit", nullptr, 0, "Library does not have the TI_LibInit function", 81},
    {"TI_LibDestroy", nullptr, 0, "Library does not have the TI_LibDestroy function", 89},
    TD_OPTIONAL("TI_LibGetStatus"),
    TD_OPTIONAL("TI_LibSetCallback"),
    TD_OPTIONAL("TI_LibStopCallback"),
    TD_OPTIONAL("TI_LibSetCallbackMultiTgt"),
    TD_OPTIONAL("TI_LibStopCallbackMultiTgt"),
    TD_OPTIONAL("TI_LibSetTimer"),
    TD_OPTIONAL("TI_LibSetAttrib"),
    TD_OPTIONAL("TI_LibSendGeoTarget"),
    TD_OPTIONAL("TI_LibSendPolarTarget"),
};
#undef TD_OPTIONAL

const cFamilySpec kFamily = {
    "cTD_IFEx::LoadSource",
    "cTD_IFEx::TD_Init",
    "cTD_IFEx::TD_Destroy",
    "cTD_IFEx::Destroy",
    "Successfully found TI_LibInit and TI_LibDestroy functions in the loaded library",
    NX_TD_IF_VERSION,
    kEntryPoints,
    kEntryPointCount,
};

#define TD_OP(op, slot, text) {"cTD_IFEx::" op, slot, __LINE__, __LINE__, text, __LINE__}
const cForwardSpec kGetStatusOp = TD_OP("GetStatus", kGetStatus, "");
const cForwardSpec kSetCallbackOp = TD_OP("SetCallback", kSetCallback, "m_pfnSetCallback returned %d");
const cForwardSpec kStopCallbackOp = TD_OP("StopCallback", kStopCallback, "m_pfnStopCallback returned %d");
const cForwardSpec kSetCallbackMultiTgtOp =
    TD_OP("SetCallbackMultiTgt", kSetCallbackMultiTgt, "m_pfnSetCallbackMultiTgt returned %d");
const cForwardSpec kStopCallbackMultiTgtOp =
    TD_OP("StopCallbackMultiTgt", kStopCallbackMultiTgt, "m_pfnStopCallbackMultiTgt returned %d");
const cForwardSpec kSetTimerOp = TD_OP("SetTimer", kSetTimer, "m_pfnSetTimer returned %d");
const cForwardSpec kSetAttribOp = TD_OP("SetAttrib", kSetAttrib, "m_pfnSetAttrib returned %d");
const cForwardSpec kSendGeodOp = TD_OP("SendGeod", kSendGeoTarget, "m_pfnSendGeod returned %d");
const cForwardSpec kSendPolarOp = TD_OP("SendPolar", kSendPolarTarget, "m_pfnSendPolar returned %d");
#undef TD_OP
} // namespace

cTD_IFEx::cTD_IFEx() : cPluginIFEx(kObjType, kFamily)
{
}

NxResult cTD_IFEx::TD_Init(int32_t nDevice, NxValue nValue)
{
    return RunInit<PFN_Dev_LibInit>(nDevice, nDevice, nValue);
}

NxResult cTD_IFEx::GetStatus(NxValue nValue)
{
    return ForwardStatus<PFN_Dev_Call1>(kGetStatusOp, nValue);
}

NxResult cTD_IFEx::SetCallback(NxDeviceCallback pfnCallback, void* pUserData)
{
    return Forward<PFN_Dev_SetCallback>(kSetCallbackOp, pfnCallback, pUserData);
}

NxResult cTD_IFEx::StopCallback(NxDeviceCallback pfnCallback)
{
    return Forward<PFN_Dev_StopCallback>(kStopCallbackOp, pfnCallback);
}

NxResult cTD_IFEx::SetCallbackMultiTgt(NxValue nValue1, NxValue nValue2, NxValue nValue3, NxValue nValue4)
{
    return Forward<PFN_Dev_Call4>(kSetCallbackMultiTgtOp, nValue1, nValue2, nValue3, nValue4);
}

NxResult cTD_IFEx::StopCallbackMultiTgt(NxValue nValue1, NxValue nValue2, NxValue nValue3)
{
    return Forward<PFN_Dev_Call3>(kStopCallbackMultiTgtOp, nValue1, nValue2, nValue3);
}

NxResult cTD_IFEx::SetTimer(NxValue nValue)
{
    return Forward<PFN_Dev_Call1>(kSetTimerOp, nValue);
}

NxResult cTD_IFEx::SetAttrib(NxValue nValue1, NxValue nValue2)
{
    return Forward<PFN_Dev_Call2>(kSetAttribOp, nValue1, nValue2);
}

NxResult cTD_IFEx::SendGeod(uint32_t nWord0, uint32_t nWord1, uint32_t nWord2, uint32_t nWord3)
{
    return Forward<PFN_TI_LibSendTarget>(kSendGeodOp, nWord0, nWord1, nWord2, nWord3);
}

NxResult cTD_IFEx::SendPolar(uint32_t nWord0, uint32_t nWord1, uint32_t nWord2, uint32_t nWord3)
{
    return Forward<PFN_TI_LibSendTarget>(kSendPolarOp, nWord0, nWord1, nWord2, nWord3);
}
