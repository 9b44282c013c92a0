// Exports of the GPIO and watchdog family. It logs no "called" lines.
#include "IO_LibEx.h"
#include "NxExport.h"

namespace
{
constexpr nx::cCreateTexts kCreateTexts = {
    "Nx_IO_LoadLibrary", CAT_GENERAL, 48, "failed to create IO_LibEx. Returning Nx_OUTOFMEMORY", nullptr,
    61, "failed to %s, error code %d", 69, "failed to IO_Init, error code %d",
};
} // namespace

NxResult NX_CALL Nx_IO_LoadLibrary(NxHandle* phIO, const char* szPlugin, NxValue nValue1, NxValue nValue2)
{
    return nx::CreateFamily<IO_LibEx>(kCreateTexts, phIO, szPlugin, std::nullopt,
                                      [&](IO_LibEx& io) { return io.Init(nValue1, nValue2); });
}

NxResult NX_CALL Nx_IO_SetGPIO_PinAsOuput(NxHandle hIO, NxValue nValue1, NxValue nValue2)
{
    return nx::Call<IO_LibEx>(__func__, hIO, &IO_LibEx::SetGPIO_PinAsOutput, nValue1, nValue2);
}

NxResult NX_CALL Nx_IO_ReadGPIO_PinAsOuput(NxHandle hIO, NxValue nValue1, NxValue nValue2)
{
    return nx::Call<IO_LibEx>(__func__, hIO, &IO_LibEx::GetGPIO_PinAsOutput, nValue1, nValue2);
}

NxResult NX_CALL Nx_IO_SetGPIO_Pin(NxHandle hIO, NxValue nValue1, NxValue nValue2)
{
    return nx::Call<IO_LibEx>(__func__, hIO, &IO_LibEx::SetGPIO_Pin, nValue1, nValue2);
}

NxResult NX_CALL Nx_IO_ReadGPIO_Pin(NxHandle hIO, NxValue nValue1, NxValue nValue2)
{
    return nx::Call<IO_LibEx>(__func__, hIO, &IO_LibEx::ReadGPIO_Pin, nValue1, nValue2);
}

NxResult NX_CALL Nx_IO_ReadGPIO(NxHandle hIO, NxValue nValue)
{
    return nx::Call<IO_LibEx>(__func__, hIO, &IO_LibEx::ReadGPIO, nValue);
}

NxResult NX_CALL Nx_IO_ReadGPIO_Outputs(NxHandle hIO, NxValue nValue)
{
    return nx::Call<IO_LibEx>(__func__, hIO, &IO_LibEx::ReadGPIO_Outputs, nValue);
}

NxResult NX_CALL Nx_IO_SetCallback(NxHandle hIO, NxValue nValue1, NxValue nValue2)
{
    return nx::Call<IO_LibEx>(__func__, hIO, &IO_LibEx::SetCallback, nValue1, nValue2);
}

NxResult NX_CALL Nx_IO_SetCurrentSensorCallback(NxHandle hIO, NxValue nValue1, NxValue nValue2)
{
    return nx::Call<IO_LibEx>(__func__, hIO, &IO_LibEx::SetCurrentSensorCallback, nValue1, nValue2);
}

NxResult NX_CALL Nx_IO_StartWatchdog(NxHandle hIO, NxValue nValue)
{
    return nx::Call<IO_LibEx>(__func__, hIO, &IO_LibEx::StartWatchdog, nValue);
}

NxResult NX_CALL Nx_IO_StopWatchdog(NxHandle hIO)
{
    return nx::Call<IO_LibEx>(__func__, hIO, &IO_LibEx::StopWatchdog);
}

NxResult NX_CALL Nx_IO_ResetWatchdog(NxHandle hIO)
{
    return nx::Call<IO_LibEx>(__func__, hIO, &IO_LibEx::ResetWatchdog);
}

// Unlike the other destroy exports it has no fault handler of its own.
NxResult NX_CALL Nx_IO_ReleaseLibrary(NxHandle hIO)
{
    return nx::DestroyFamily<IO_LibEx>(hIO, __func__, nullptr, [](IO_LibEx& io) { io.Destroy(); });
}
