// Exports of the GPIO and watchdog family. It logs no "called" lines.
#include "IO_LibEx.h"
#include "NxExport.h"

namespace
{
template <typename Fn>
NxResult WithIO(NxHandle hIO, Fn&& fn)
{
    return nx::WithHandle<IO_LibEx>(hIO, std::forward<Fn>(fn));
}
} // namespace

NxResult NX_CALL Nx_IO_LoadLibrary(NxHandle* phIO, const char* szPlugin, NxValue nValue1, NxValue nValue2)
{
    if (!phIO)
    {
        DbgLog(DBG_ERR, "Nx_IO_LoadLibrary", __LINE__, "received NULL handle pointer");
        return Nx_ERR;
    }
    IO_LibEx* pIO = new (std::nothrow) IO_LibEx();
    if (!pIO)
    {
        DbgLog(DBG_ERR, "Nx_IO_LoadLibrary", 48, "failed to create IO_LibEx. Returning Nx_OUTOFMEMORY");
        return Nx_OUTOFMEMORY;
    }
    NxResult nResult = pIO->LoadIO_Lib(szPlugin);
    if (nResult != Nx_OK)
    {
        DbgLog(DBG_ERR, "Nx_IO_LoadLibrary", 61,
               DbgLogFormat("failed to %s, error code %d", szPlugin ? szPlugin : "(null)", nResult));
        delete pIO;
        return nResult;
    }
    nResult = pIO->Init(nValue1, nValue2);
    if (nResult != Nx_OK)
    {
        DbgLog(DBG_ERR, "Nx_IO_LoadLibrary", 69, DbgLogFormat("failed to IO_Init, error code %d", nResult));
        delete pIO;
        return nResult;
    }
    *phIO = static_cast<CvxObj*>(pIO);
    return Nx_OK;
}

NxResult NX_CALL Nx_IO_SetGPIO_PinAsOuput(NxHandle hIO, NxValue nValue1, NxValue nValue2)
{
    return WithIO(hIO, [&](IO_LibEx& io) { return io.SetGPIO_PinAsOutput(nValue1, nValue2); });
}

NxResult NX_CALL Nx_IO_ReadGPIO_PinAsOuput(NxHandle hIO, NxValue nValue1, NxValue nValue2)
{
    return WithIO(hIO, [&](IO_LibEx& io) { return io.GetGPIO_PinAsOutput(nValue1, nValue2); });
}

NxResult NX_CALL Nx_IO_SetGPIO_Pin(NxHandle hIO, NxValue nValue1, NxValue nValue2)
{
    return WithIO(hIO, [&](IO_LibEx& io) { return io.SetGPIO_Pin(nValue1, nValue2); });
}

NxResult NX_CALL Nx_IO_ReadGPIO_Pin(NxHandle hIO, NxValue nValue1, NxValue nValue2)
{
    return WithIO(hIO, [&](IO_LibEx& io) { return io.ReadGPIO_Pin(nValue1, nValue2); });
}

NxResult NX_CALL Nx_IO_ReadGPIO(NxHandle hIO, NxValue nValue)
{
    return WithIO(hIO, [&](IO_LibEx& io) { return io.ReadGPIO(nValue); });
}

NxResult NX_CALL Nx_IO_ReadGPIO_Outputs(NxHandle hIO, NxValue nValue)
{
    return WithIO(hIO, [&](IO_LibEx& io) { return io.ReadGPIO_Outputs(nValue); });
}

NxResult NX_CALL Nx_IO_SetCallback(NxHandle hIO, NxValue nValue1, NxValue nValue2)
{
    return WithIO(hIO, [&](IO_LibEx& io) { return io.SetCallback(nValue1, nValue2); });
}

NxResult NX_CALL Nx_IO_SetCurrentSensorCallback(NxHandle hIO, NxValue nValue1, NxValue nValue2)
{
    return WithIO(hIO, [&](IO_LibEx& io) { return io.SetCurrentSensorCallback(nValue1, nValue2); });
}

NxResult NX_CALL Nx_IO_StartWatchdog(NxHandle hIO, NxValue nValue)
{
    return WithIO(hIO, [&](IO_LibEx& io) { return io.StartWatchdog(nValue); });
}

NxResult NX_CALL Nx_IO_StopWatchdog(NxHandle hIO)
{
    return WithIO(hIO, [](IO_LibEx& io) { return io.StopWatchdog(); });
}

NxResult NX_CALL Nx_IO_ResetWatchdog(NxHandle hIO)
{
    return WithIO(hIO, [](IO_LibEx& io) { return io.ResetWatchdog(); });
}

NxResult NX_CALL Nx_IO_ReleaseLibrary(NxHandle hIO)
{
    return WithIO(hIO, [](IO_LibEx& io) {
        io.Destroy();
        delete &io;
        return Nx_OK;
    });
}
