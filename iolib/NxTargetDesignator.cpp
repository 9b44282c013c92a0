// Exports of the target designator family.
#include "NxExport.h"
#include "cTD_IFEx.h"

namespace
{
const nx::cCreateTexts kCreateTexts = {
    "Nx_TD_CreateIF",
    "Failed to create new cTD_IFEx. Returning Nx_OUTOFMEMORY",
    "pTD_IF object created successfully",
    "TD_Init(%d) return %d",
};

template <typename Fn>
NxResult WithTD(NxHandle hTD, Fn&& fn)
{
    return nx::WithHandle<cTD_IFEx>(hTD, std::forward<Fn>(fn));
}
} // namespace

NxResult NX_CALL Nx_TD_CreateIF(NxHandle* phTD, const char* szPlugin, int32_t nDevice, NxValue nValue)
{
    return nx::CreateFamily<cTD_IFEx>(kCreateTexts, phTD, szPlugin, nDevice,
                                      [&](cTD_IFEx& td) { return td.TD_Init(nDevice, nValue); });
}

NxResult NX_CALL Nx_TD_DestroyIF(NxHandle hTD)
{
    return nx::DestroyFamily<cTD_IFEx>(hTD, "Nx_TD_DestroyIF", "Caught exception %d from TD_Destroy ... closing",
                                       [](cTD_IFEx& td) { td.TD_Destroy(); });
}

NxResult NX_CALL Nx_TD_GetStatus(NxHandle hTD, NxValue nValue)
{
    return WithTD(hTD, [&](cTD_IFEx& td) { return td.GetStatus(nValue); });
}

NxResult NX_CALL Nx_TD_SetCallback(NxHandle hTD, NxDeviceCallback pfnCallback, void* pUserData)
{
    return WithTD(hTD, [&](cTD_IFEx& td) { return td.SetCallback(pfnCallback, pUserData); });
}

NxResult NX_CALL Nx_TD_StopCallback(NxHandle hTD, NxDeviceCallback pfnCallback)
{
    return WithTD(hTD, [&](cTD_IFEx& td) { return td.StopCallback(pfnCallback); });
}

NxResult NX_CALL Nx_TD_SetCallbackMultiTgt(NxHandle hTD, NxValue nValue1, NxValue nValue2, NxValue nValue3,
                                           NxValue nValue4)
{
    return WithTD(hTD, [&](cTD_IFEx& td) { return td.SetCallbackMultiTgt(nValue1, nValue2, nValue3, nValue4); });
}

NxResult NX_CALL Nx_TD_StopCallbackMultiTgt(NxHandle hTD, NxValue nValue1, NxValue nValue2, NxValue nValue3)
{
    return WithTD(hTD, [&](cTD_IFEx& td) { return td.StopCallbackMultiTgt(nValue1, nValue2, nValue3); });
}

NxResult NX_CALL Nx_TD_SetTimer(NxHandle hTD, NxValue nValue)
{
    return WithTD(hTD, [&](cTD_IFEx& td) { return td.SetTimer(nValue); });
}

NxResult NX_CALL Nx_TD_SetAttrib(NxHandle hTD, NxValue nValue1, NxValue nValue2)
{
    return WithTD(hTD, [&](cTD_IFEx& td) { return td.SetAttrib(nValue1, nValue2); });
}

NxResult NX_CALL Nx_TD_SendGeoTarget(NxHandle hTD, uint32_t nWord0, uint32_t nWord1, uint32_t nWord2, uint32_t nWord3)
{
    return WithTD(hTD, [&](cTD_IFEx& td) { return td.SendGeod(nWord0, nWord1, nWord2, nWord3); });
}

NxResult NX_CALL Nx_TD_SendPolarTarget(NxHandle hTD, uint32_t nWord0, uint32_t nWord1, uint32_t nWord2,
                                       uint32_t nWord3)
{
    return WithTD(hTD, [&](cTD_IFEx& td) { return td.SendPolar(nWord0, nWord1, nWord2, nWord3); });
}
