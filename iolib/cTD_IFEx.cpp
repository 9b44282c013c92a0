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

const cEntryPointSpec kEntryPoints[kEntryPointCount] = {
    {"TI_LibInit", nullptr, 0, "Library does not have the TI_LibInit function", 81},
    {"TI_LibDestroy", nullptr, 0, "Library does not have the TI_LibDestroy function", 89},
    NX_OPTIONAL_ENTRY("TI_LibGetStatus"),
    NX_OPTIONAL_ENTRY("TI_LibSetCallback"),
    NX_OPTIONAL_ENTRY("TI_LibStopCallback"),
    NX_OPTIONAL_ENTRY("TI_LibSetCallbackMultiTgt"),
    NX_OPTIONAL_ENTRY("TI_LibStopCallbackMultiTgt"),
    NX_OPTIONAL_ENTRY("TI_LibSetTimer"),
    NX_OPTIONAL_ENTRY("TI_LibSetAttrib"),
    NX_OPTIONAL_ENTRY("TI_LibSendGeoTarget"),
    NX_OPTIONAL_ENTRY("TI_LibSendPolarTarget"),
};

#define TD_OP(op, slot, text) NX_FORWARD_OP("cTD_IFEx::" op, slot, text)
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

const cDeviceSpec kFamily = {
    {
        cPluginIFEx::LoadSpec("cTD_IFEx::LoadSource",
                              "Successfully found TI_LibInit and TI_LibDestroy functions in the loaded library",
                              kEntryPoints, kEntryPointCount),
        "cTD_IFEx::TD_Init",
        "cTD_IFEx::TD_Destroy",
        "cTD_IFEx::Destroy",
        NX_TD_IF_VERSION,
        kSetTimerOp,
    },
    kSetCallbackOp,
    kStopCallbackOp,
    &kGetStatusOp,
};
} // namespace

cTD_IFEx::cTD_IFEx() : cDeviceIFEx(kObjType, kFamily)
{
}

NxResult cTD_IFEx::SetCallbackMultiTgt(NxValue nValue1, NxValue nValue2, NxValue nValue3, NxValue nValue4)
{
    return Forward<PFN_Dev_Call4>(kSetCallbackMultiTgtOp, nValue1, nValue2, nValue3, nValue4);
}

NxResult cTD_IFEx::StopCallbackMultiTgt(NxValue nValue1, NxValue nValue2, NxValue nValue3)
{
    return Forward<PFN_Dev_Call3>(kStopCallbackMultiTgtOp, nValue1, nValue2, nValue3);
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
