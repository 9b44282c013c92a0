// A GPIO and watchdog plug-in for the tests; its configuration text arrives as
// the first init value. TG_NO_READGPIO leaves out "IO_ReadGPIO".
#include "PortellePlugin.h"
#include "TestPluginConfig.h"

extern "C" {

NX_EXPORT NxResult NX_CALL IO_LibInit(void** phLib, NxValue nValue1, NxValue nValue2, uint32_t nVersion)
{
    char szArgs[64];
    std::snprintf(szArgs, sizeof(szArgs), "value2=%lu version=0x%x", static_cast<unsigned long>(nValue2), nVersion);
    return TestInit(phLib, reinterpret_cast<const char*>(nValue1), szArgs);
}
static_assert(std::is_same_v<decltype(&IO_LibInit), PFN_IO_LibInit>);

NX_EXPORT NxResult NX_CALL IO_LibDestroy(void* hLib)
{
    return TestDestroy(hLib);
}

#define TG_CALL2(name)                                                        \
    NX_EXPORT NxResult NX_CALL name(void* hLib, NxValue nValue1, NxValue nValue2) \
    {                                                                         \
        return TestForward(hLib, #name, "%lu %lu", nValue1, nValue2);         \
    }
#define TG_CALL1(name)                                        \
    NX_EXPORT NxResult NX_CALL name(void* hLib, NxValue nValue) \
    {                                                         \
        return TestForward(hLib, #name, "%lu", nValue);       \
    }
#define TG_CALL0(name)                          \
    NX_EXPORT NxResult NX_CALL name(void* hLib) \
    {                                           \
        return TestForward(hLib, #name);        \
    }

TG_CALL2(IO_SetGPIO_PinAsOutput)
TG_CALL2(IO_ReadGPIO_PinAsOutput)
TG_CALL2(IO_SetGPIO_Pin)
TG_CALL2(IO_ReadGPIO_Pin)
#ifndef TG_NO_READGPIO
TG_CALL1(IO_ReadGPIO)
#endif
TG_CALL1(IO_ReadGPIO_Outputs)
TG_CALL2(IO_SetCallback)
TG_CALL2(IO_SetCurrentSensorCallback)
TG_CALL1(IO_StartWatchdog)
TG_CALL0(IO_StopWatchdog)
TG_CALL0(IO_ResetWatchdog)

} // extern "C"
