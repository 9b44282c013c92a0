// Exports of the target designator family.
#include "NxExport.h"
#include "cTD_IFEx.h"

namespace
{
constexpr nx::cCreateTexts kCreateTexts = nx::PluginCreateTexts(
    "Nx_TD_CreateIF", "Failed to create new cTD_IFEx. Returning Nx_OUTOFMEMORY", "pTD_IF object created successfully",
    "TD_Init(%d) return %d");
} // namespace

NxResult NX_CALL Nx_TD_CreateIF(NxHandle* phTD, const char* szPlugin, int32_t nDevice, NxValue nValue)
{
    return nx::CreateFamily<cTD_IFEx>(kCreateTexts, phTD, szPlugin, nDevice,
                                      [&](cTD_IFEx& td) { return td.TD_Init(nDevice, nValue); });
}

NxResult NX_CALL Nx_TD_DestroyIF(NxHandle hTD)
{
    return nx::DestroyFamily<cTD_IFEx>(hTD, __func__, "Caught exception %d from TD_Destroy ... closing",
                                       [](cTD_IFEx& td) { td.TD_Destroy(); });
}

NxResult NX_CALL Nx_TD_GetStatus(NxHandle hTD, NxValue nValue)
{
    return nx::Call<cTD_IFEx>(__func__, hTD, &cTD_IFEx::GetStatus, nValue);
}

NxResult NX_CALL Nx_TD_SetCallback(NxHandle hTD, NxDeviceCallback pfnCallback, void* pUserData)
{
    return nx::Call<cTD_IFEx>(__func__, hTD, &cTD_IFEx::SetCallback, pfnCallback, pUserData);
}

NxResult NX_CALL Nx_TD_StopCallback(NxHandle hTD, NxDeviceCallback pfnCallback)
{
    return nx::Call<cTD_IFEx>(__func__, hTD, &cTD_IFEx::StopCallback, pfnCallback);
}

NxResult NX_CALL Nx_TD_SetCallbackMultiTgt(NxHandle hTD, NxValue nValue1, NxValue nValue2, NxValue nValue3,
                                           NxValue nValue4)
{
    return nx::Call<cTD_IFEx>(__func__, hTD, &cTD_IFEx::SetCallbackMultiTgt, nValue1, nValue2, nValue3, nValue4);
}

NxResult NX_CALL Nx_TD_StopCallbackMultiTgt(NxHandle hTD, NxValue nValue1, NxValue nValue2, NxValue nValue3)
{
    return nx::Call<cTD_IFEx>(__func__, hTD, &cTD_IFEx::StopCallbackMultiTgt, nValue1, nValue2, nValue3);
}

NxResult NX_CALL Nx_TD_SetTimer(NxHandle hTD, NxValue nValue)
{
    return nx::Call<cTD_IFEx>(__func__, hTD, &cTD_IFEx::SetTimer, nValue);
}

NxResult NX_CALL Nx_TD_SetAttrib(NxHandle hTD, NxValue nValue1, NxValue nValue2)
{
    return nx::Call<cTD_IFEx>(__func__, hTD, &cTD_IFEx::SetAttrib, nValue1, nValue2);
}

NxResult NX_CALL Nx_TD_SendGeoTarget(NxHandle hTD, uint32_t nWord0, uint32_t nWord1, uint32_t nWord2, uint32_t nWord3)
{
    return nx::Call<cTD_IFEx>(__func__, hTD, &cTD_IFEx::SendGeod, nWord0, nWord1, nWord2, nWord3);
}

NxResult NX_CALL Nx_TD_SendPolarTarget(NxHandle hTD, uint32_t nWord0, uint32_t nWord1, uint32_t nWord2,
                                       uint32_t nWord3)
{
    return nx::Call<cTD_IFEx>(__func__, hTD, &cTD_IFEx::SendPolar, nWord0, nWord1, nWord2, nWord3);
}
