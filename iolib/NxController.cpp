// Exports of the controller family.
#include "NxExport.h"
#include "cControllerIFEx.h"

namespace
{
constexpr nx::cCreateTexts kCreateTexts = nx::PluginCreateTexts(
    "Nx_ConCreate", "Failed to create new cControllerIFEx. Returning Nx_OUTOFMEMORY", "pConIF object created successfully",
    "ConInit(%d) return %d");
} // namespace

NxResult NX_CALL Nx_ConCreate(NxHandle* phController, const char* szPlugin, NxValue nWindow, int32_t nDevice,
                              const char* szConfig)
{
    return nx::CreateRetried<cControllerIFEx>(kCreateTexts, phController, szPlugin, nDevice, szConfig,
                                              [&](cControllerIFEx& con) { return con.Init(nWindow, nDevice, szConfig); });
}

NxResult NX_CALL Nx_ConDestroy(NxHandle hController)
{
    return nx::DestroyFamily<cControllerIFEx>(hController, __func__, "Caught exception %d from ConDestroy ... closing",
                                              [](cControllerIFEx& con) { con.Destroy(); });
}

NxResult NX_CALL Nx_ConSetCallback(NxHandle hController, NxControllerCallback pfnCallback, void* pUserData)
{
    return nx::Call<cControllerIFEx>(__func__, hController, &cControllerIFEx::SetCallback, pfnCallback, pUserData);
}

NxResult NX_CALL Nx_ConStopCallback(NxHandle hController, NxControllerCallback pfnCallback)
{
    return nx::Call<cControllerIFEx>(__func__, hController, &cControllerIFEx::StopCallback, pfnCallback);
}

NxResult NX_CALL Nx_ConSetTimer(NxHandle hController, NxValue nValue)
{
    return nx::Call<cControllerIFEx>(__func__, hController, &cControllerIFEx::SetTimer, nValue);
}

NxResult NX_CALL Nx_ConGetVerString(NxHandle hController, NxValue nValue1, NxValue nValue2)
{
    return nx::Call<cControllerIFEx>(__func__, hController, &cControllerIFEx::GetVerString, nValue1, nValue2);
}
