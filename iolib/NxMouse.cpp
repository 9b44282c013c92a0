// Exports of the mouse family.
#include "NxExport.h"
#include "cMouseIFEx.h"

namespace
{
const nx::cCreateTexts kCreateTexts = {
    "Nx_MouseCreateIF",
    "Failed to create new cMouseIFEx. Returning Nx_OUTOFMEMORY",
    "pMouseIF object created successfully",
    "MouseInit(%d) return %d",
};
} // namespace

NxResult NX_CALL Nx_MouseCreateIF(NxHandle* phMouse, const char* szPlugin, int32_t nDevice, NxValue nValue)
{
    return nx::CreateFamily<cMouseIFEx>(kCreateTexts, phMouse, szPlugin, nDevice,
                                        [&](cMouseIFEx& mouse) { return mouse.MouseInit(nDevice, nValue); });
}

NxResult NX_CALL Nx_MouseDestroyIF(NxHandle hMouse)
{
    return nx::DestroyFamily<cMouseIFEx>(hMouse, "Nx_MouseDestroyIF",
                                         "Caught exception %d from MouseDestroy ... closing",
                                         [](cMouseIFEx& mouse) { mouse.MouseDestroy(); });
}

NxResult NX_CALL Nx_MouseGetStatus(NxHandle hMouse, NxValue nValue)
{
    return nx::WithHandle<cMouseIFEx>(hMouse, [&](cMouseIFEx& mouse) { return mouse.GetStatus(nValue); });
}

NxResult NX_CALL Nx_MouseSetCallback(NxHandle hMouse, NxDeviceCallback pfnCallback, void* pUserData)
{
    return nx::WithHandle<cMouseIFEx>(hMouse,
                                      [&](cMouseIFEx& mouse) { return mouse.SetCallback(pfnCallback, pUserData); });
}

NxResult NX_CALL Nx_MouseStopCallback(NxHandle hMouse, NxDeviceCallback pfnCallback)
{
    return nx::WithHandle<cMouseIFEx>(hMouse, [&](cMouseIFEx& mouse) { return mouse.StopCallback(pfnCallback); });
}

NxResult NX_CALL Nx_MouseSetTimer(NxHandle hMouse, NxValue nValue)
{
    return nx::WithHandle<cMouseIFEx>(hMouse, [&](cMouseIFEx& mouse) { return mouse.SetTimer(nValue); });
}
