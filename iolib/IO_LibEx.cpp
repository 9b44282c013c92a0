#include "IO_LibEx.h"

#include "DbgLog.h"
#include "PortellePlugin.h"

namespace
{
enum
{
    kInit,
    kDestroy,
    kSetGPIO_PinAsOutput,
    kReadGPIO_PinAsOutput,
    kSetGPIO_Pin,
    kReadGPIO_Pin,
    kReadGPIO,
    kReadGPIO_Outputs,
    kSetCallback,
    kSetCurrentSensorCallback,
    kStartWatchdog,
    kStopWatchdog,
    kResetWatchdog,
    kEntryPointCount
};

constexpr cEntryPointSpec Unreported(const char* szName)
{
    return {szName, nullptr, 0, nullptr, 0};
}

// Only the two required entry points are reported, and only when missing.
const cEntryPointSpec kEntryPoints[kEntryPointCount] = {
    {"IO_LibInit", nullptr, 0,
     "loaded library does not contain IO_LibInit ProcAddress. Destroying source and return error Nx_INVALIDSRC", 117},
    {"IO_LibDestroy", nullptr, 0,
     "loaded library does not contain IO_LibDestroy ProcAddress. Destroying source and return error Nx_INVALIDSRC", 126},
    Unreported("IO_SetGPIO_PinAsOutput"),
    Unreported("IO_ReadGPIO_PinAsOutput"),
    Unreported("IO_SetGPIO_Pin"),
    Unreported("IO_ReadGPIO_Pin"),
    Unreported("IO_ReadGPIO"),
    Unreported("IO_ReadGPIO_Outputs"),
    Unreported("IO_SetCallback"),
    Unreported("IO_SetCurrentSensorCallback"),
    Unreported("IO_StartWatchdog"),
    Unreported("IO_StopWatchdog"),
    Unreported("IO_ResetWatchdog"),
};

const cLoadSpec kLoad = {
    "IO_LibEx::LoadIO_Lib", 98, "Invalid lpszPath", 108, "LoadLibrary not successful, returning Nx_InvalidFile",
    nullptr, kEntryPoints, kEntryPointCount,
};
} // namespace

struct IO_LibEx::cOperation
{
    int nSlot;
    bool bPinOperation;  // a plug-in's 5 means the pin was refused
    const char* szFunction;
    const char* szFailedFormat;
    const char* szExceptionText;
};

namespace
{
#define IO_OP(slot, pin, fn, entry, op)                                                                    \
    {slot, pin, "IO_LibEx::" fn, "m_pfnIO_" entry " failed with error %d",                                 \
     "Unknown Error Caught in " op ". Call Destroy and Return Nx_ERR"}
const IO_LibEx::cOperation kSetPinAsOutputOp =
    IO_OP(kSetGPIO_PinAsOutput, true, "SetGPIO_PinAsOutput", "SetGPIO_PinAsOutput", "SetGPIO_PinAsOutput");
const IO_LibEx::cOperation kReadPinAsOutputOp =
    IO_OP(kReadGPIO_PinAsOutput, true, "GetGPIO_PinAsOutput", "ReadGPIO_PinAsOutput", "ReadGPIO_PinAsOutput");
const IO_LibEx::cOperation kSetPinOp = IO_OP(kSetGPIO_Pin, true, "SetGPIO_Pin", "SetGPIO_Pin", "SetGPIO_Pin");
const IO_LibEx::cOperation kReadPinOp = IO_OP(kReadGPIO_Pin, true, "ReadGPIO_Pin", "ReadGPIO_Pin", "ReadGPIO_Pin");
const IO_LibEx::cOperation kReadGPIOOp = IO_OP(kReadGPIO, false, "ReadGPIO", "ReadGPIO", "ReadGPIO");
const IO_LibEx::cOperation kReadOutputsOp =
    IO_OP(kReadGPIO_Outputs, false, "ReadGPIO_Outputs", "ReadGPIO_Outputs", "ReadGPIO_Outputs");
const IO_LibEx::cOperation kSetCallbackOp = IO_OP(kSetCallback, false, "SetCallback", "SetCallback", "SetCallback");
const IO_LibEx::cOperation kSetCurrentSensorCallbackOp = IO_OP(
    kSetCurrentSensorCallback, false, "SetCurrentSensorCallback", "SetCurrentSensorCallback", "SetCurrentSensorCallback");
const IO_LibEx::cOperation kStartWatchdogOp =
    IO_OP(kStartWatchdog, false, "StartWatchdog", "StartWatchdog", "StartWatchdog");
const IO_LibEx::cOperation kStopWatchdogOp = IO_OP(kStopWatchdog, false, "StopWatchdog", "StopWatchdog", "StopWatchdog");
const IO_LibEx::cOperation kResetWatchdogOp =
    IO_OP(kResetWatchdog, false, "ResetWatchdog", "ResetWatchdog", "ResetWatchdog");
#undef IO_OP
} // namespace

IO_LibEx::IO_LibEx() : cPluginSource(kObjType, kLoad)
{
}

IO_LibEx::~IO_LibEx()
{
    DbgLog(DBG_INF, "IO_LibEx::~IO_LibEx", 44, "Destructor Called");
    Destroy();
}

NxResult IO_LibEx::Init(NxValue nValue1, NxValue nValue2)
{
    if (m_hLib)
    {
        DbgLog(DBG_ERR, "IO_LibEx::Init", 152, "User library already loaded and initialised");
        return Nx_ERR;
    }
    if (!m_EntryPoints[kInit])
        return Nx_ERR;

    NxResult nResult = Nx_OK;
    try
    {
        nResult = reinterpret_cast<PFN_IO_LibInit>(m_EntryPoints[kInit])(&m_hLib, nValue1, nValue2, NX_GPIO_IF_VERSION);
    }
    catch (...)
    {
        DbgLog(DBG_ERR, "IO_LibEx::Init", 185, "Unknown Error Caught in IO_Init. Call Destroy and Return Nx_ERR");
        Destroy();
        return Nx_ERR;
    }
    if (nResult != Nx_OK)
    {
        if (nResult == 7)
            DbgLog(DBG_ERR, "IO_LibEx::Init", 172, "m_pfnIO_Init failed to load kernal mode device driver");
        else if (nResult == 8)
            DbgLog(DBG_ERR, "IO_LibEx::Init", 176, "m_pfnIO_Init failed find compatible hardware");
        DbgLog(DBG_ERR, "IO_LibEx::Init", 179, DbgLogFormat("m_pfnIO_Init failed with error %d", nResult));
    }
    return nResult;
}

void IO_LibEx::Destroy()
{
    DbgLog(DBG_INF, "IO_LibEx::Destroy", 52, "");
    if (m_hLib && m_EntryPoints[kDestroy])
    {
        try
        {
            reinterpret_cast<PFN_IO_LibDestroy>(m_EntryPoints[kDestroy])(m_hLib);
        }
        catch (...)
        {
            DbgLog(DBG_ERR, "IO_LibEx::Destroy", 64, "Caught exception from PortelleSpecific Dsetroy function");
        }
        m_hLib = nullptr;
    }
    DbgLog(DBG_INF, "IO_LibEx::Destroy", 70, "After m_pfnIO_Destroy");
    Unload();
    DbgLog(DBG_INF, "IO_LibEx::Destroy", 90, "Done");
}

template <typename Pfn, typename... Args>
NxResult IO_LibEx::Forward(const cOperation& op, Args... args)
{
    if (!m_hLib || !m_EntryPoints[op.nSlot])
        return Nx_ERR;
    NxResult nResult = Nx_OK;
    try
    {
        nResult = reinterpret_cast<Pfn>(m_EntryPoints[op.nSlot])(m_hLib, args...);
    }
    catch (...)
    {
        DbgLog(DBG_ERR, op.szFunction, __LINE__, op.szExceptionText);
        Destroy();
        return Nx_ERR;
    }
    if (nResult == Nx_OK)
        return Nx_OK;
    if (op.bPinOperation && nResult == 5)
        return Nx_INVALIDPARAM;
    DbgLog(DBG_ERR, op.szFunction, __LINE__, DbgLogFormat(op.szFailedFormat, nResult));
    return Nx_ERR;
}

NxResult IO_LibEx::SetGPIO_PinAsOutput(NxValue nValue1, NxValue nValue2)
{
    return Forward<PFN_IO_Call2>(kSetPinAsOutputOp, nValue1, nValue2);
}

NxResult IO_LibEx::GetGPIO_PinAsOutput(NxValue nValue1, NxValue nValue2)
{
    return Forward<PFN_IO_Call2>(kReadPinAsOutputOp, nValue1, nValue2);
}

NxResult IO_LibEx::SetGPIO_Pin(NxValue nValue1, NxValue nValue2)
{
    return Forward<PFN_IO_Call2>(kSetPinOp, nValue1, nValue2);
}

NxResult IO_LibEx::ReadGPIO_Pin(NxValue nValue1, NxValue nValue2)
{
    return Forward<PFN_IO_Call2>(kReadPinOp, nValue1, nValue2);
}

NxResult IO_LibEx::ReadGPIO(NxValue nValue)
{
    return Forward<PFN_IO_Call1>(kReadGPIOOp, nValue);
}

NxResult IO_LibEx::ReadGPIO_Outputs(NxValue nValue)
{
    return Forward<PFN_IO_Call1>(kReadOutputsOp, nValue);
}

NxResult IO_LibEx::SetCallback(NxValue nValue1, NxValue nValue2)
{
    return Forward<PFN_IO_Call2>(kSetCallbackOp, nValue1, nValue2);
}

NxResult IO_LibEx::SetCurrentSensorCallback(NxValue nValue1, NxValue nValue2)
{
    return Forward<PFN_IO_Call2>(kSetCurrentSensorCallbackOp, nValue1, nValue2);
}

NxResult IO_LibEx::StartWatchdog(NxValue nValue)
{
    return Forward<PFN_IO_Call1>(kStartWatchdogOp, nValue);
}

NxResult IO_LibEx::StopWatchdog()
{
    return Forward<PFN_IO_Call0>(kStopWatchdogOp);
}

NxResult IO_LibEx::ResetWatchdog()
{
    return Forward<PFN_IO_Call0>(kResetWatchdogOp);
}
