// Exports of the mouse family.
#include "NxExport.h"
#include "cMouseIFEx.h"

namespace
{
constexpr nx::cCreateTexts kCreateTexts = nx::PluginCreateTexts(
    "Nx_MouseCreateIF", "Failed to create new cMouseIFEx. Returning Nx_OUTOFMEMORY", "pMouseIF object created successfully",
    "MouseInit(%d) return %d");
} // namespace

NxResult NX_CALL Nx_MouseCreateIF(NxHandle* phMouse, const char* szPlugin, int32_t nDevice, NxValue nValue)
{
    return nx::CreateFamily<cMouseIFEx>(kCreateTexts, phMouse, szPlugin, nDevice,
                                        [&](cMouseIFEx& mouse) { return mouse.MouseInit(nDevice, nValue); });
}

NxResult NX_CALL Nx_MouseDestroyIF(NxHandle hMouse)
{
    return nx::DestroyFamily<cMouseIFEx>(hMouse, __func__, "Caught exception %d from MouseDestroy ... closing",
                                         [](cMouseIFEx& mouse) { mouse.MouseDestroy(); });
}

NxResult NX_CALL Nx_MouseGetStatus(NxHandle hMouse, NxValue nValue)
{
    return nx::Call<cMouseIFEx>(__func__, hMouse, &cMouseIFEx::GetStatus, nValue);
}

NxResult NX_CALL Nx_MouseSetCallback(NxHandle hMouse, NxDeviceCallback pfnCallback, void* pUserData)
{
    return nx::Call<cMouseIFEx>(__func__, hMouse, &cMouseIFEx::SetCallback, pfnCallback, pUserData);
}

NxResult NX_CALL Nx_MouseStopCallback(NxHandle hMouse, NxDeviceCallback pfnCallback)
{
    return nx::Call<cMouseIFEx>(__func__, hMouse, &cMouseIFEx::StopCallback, pfnCallback);
}

NxResult NX_CALL Nx_MouseSetTimer(NxHandle hMouse, NxValue nValue)
{
    return nx::Call<cMouseIFEx>(__func__, hMouse, &cMouseIFEx::SetTimer, nValue);
}
