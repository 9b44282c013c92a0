// Target designator, mouse and audio-output plug-ins for the tests, one family
// per build: TD_PLUGIN, MOUSE_PLUGIN or AUDIO_PLUGIN. The configuration text
// arrives as the init value. WITHOUT_<entry point> leaves one out.
#include "PortellePlugin.h"
#include "TestPluginConfig.h"

namespace
{
NxResult Init(void** phLib, int32_t nDevice, NxValue nValue, uint32_t nVersion)
{
    char szArgs[64];
    std::snprintf(szArgs, sizeof(szArgs), "device=%d version=0x%x", nDevice, nVersion);
    return TestInit(phLib, reinterpret_cast<const char*>(nValue), szArgs);
}
} // namespace

#define DEV_INIT(name)                                                                            \
    NX_EXPORT NxResult NX_CALL name(void** phLib, int32_t nDevice, NxValue nValue, uint32_t nVersion) \
    {                                                                                             \
        return Init(phLib, nDevice, nValue, nVersion);                                            \
    }                                                                                             \
    static_assert(std::is_same_v<decltype(&name), PFN_Dev_LibInit>);
#define DEV_DESTROY(name)                       \
    NX_EXPORT NxResult NX_CALL name(void* hLib) \
    {                                           \
        return TestDestroy(hLib);               \
    }
#define DEV_SETCALLBACK(name)                                                                    \
    NX_EXPORT NxResult NX_CALL name(void* hLib, NxDeviceCallback pfnCallback, void* pUserData)   \
    {                                                                                            \
        return TestForward(hLib, #name, "%lx %lx", reinterpret_cast<unsigned long>(pfnCallback), \
                           reinterpret_cast<unsigned long>(pUserData));                          \
    }
#define DEV_STOPCALLBACK(name)                                                                    \
    NX_EXPORT NxResult NX_CALL name(void* hLib, NxDeviceCallback pfnCallback)                     \
    {                                                                                             \
        return TestForward(hLib, #name, "%lx", reinterpret_cast<unsigned long>(pfnCallback));     \
    }
#define DEV_CALL1(name)                                         \
    NX_EXPORT NxResult NX_CALL name(void* hLib, NxValue nValue) \
    {                                                           \
        return TestForward(hLib, #name, "%lu", nValue);         \
    }
#define DEV_CALL2(name)                                                            \
    NX_EXPORT NxResult NX_CALL name(void* hLib, NxValue nValue1, NxValue nValue2) \
    {                                                                              \
        return TestForward(hLib, #name, "%lu %lu", nValue1, nValue2);              \
    }

extern "C" {

#if defined(TD_PLUGIN)
DEV_INIT(TI_LibInit)
#ifndef WITHOUT_TI_LibDestroy
DEV_DESTROY(TI_LibDestroy)
#endif
DEV_CALL1(TI_LibGetStatus)
DEV_SETCALLBACK(TI_LibSetCallback)
DEV_STOPCALLBACK(TI_LibStopCallback)
NX_EXPORT NxResult NX_CALL TI_LibSetCallbackMultiTgt(void* hLib, NxValue n1, NxValue n2, NxValue n3, NxValue n4)
{
    return TestForward(hLib, "TI_LibSetCallbackMultiTgt", "%lu %lu %lu %lu", n1, n2, n3, n4);
}
NX_EXPORT NxResult NX_CALL TI_LibStopCallbackMultiTgt(void* hLib, NxValue n1, NxValue n2, NxValue n3)
{
    return TestForward(hLib, "TI_LibStopCallbackMultiTgt", "%lu %lu %lu", n1, n2, n3);
}
DEV_CALL1(TI_LibSetTimer)
DEV_CALL2(TI_LibSetAttrib)
NX_EXPORT NxResult NX_CALL TI_LibSendGeoTarget(void* hLib, uint32_t n0, uint32_t n1, uint32_t n2, uint32_t n3)
{
    return TestForward(hLib, "TI_LibSendGeoTarget", "%lx %lx %lx %lx", n0, n1, n2, n3);
}
static_assert(std::is_same_v<decltype(&TI_LibSendGeoTarget), PFN_TI_LibSendTarget>);
#ifndef WITHOUT_TI_LibSendPolarTarget
NX_EXPORT NxResult NX_CALL TI_LibSendPolarTarget(void* hLib, uint32_t n0, uint32_t n1, uint32_t n2, uint32_t n3)
{
    return TestForward(hLib, "TI_LibSendPolarTarget", "%lx %lx %lx %lx", n0, n1, n2, n3);
}
#endif

#elif defined(MOUSE_PLUGIN)
DEV_INIT(MI_LibInit)
DEV_DESTROY(MI_LibDestroy)
#ifndef WITHOUT_MI_LibGetStatus
DEV_CALL1(MI_LibGetStatus)
#endif
DEV_SETCALLBACK(MI_LibSetCallback)
DEV_STOPCALLBACK(MI_LibStopCallback)
DEV_CALL1(MI_LibSetTimer)

#elif defined(AUDIO_PLUGIN)
DEV_INIT(AO_LibInit)
DEV_DESTROY(AO_LibDestroy)
DEV_SETCALLBACK(AO_LibSetCallback)
DEV_STOPCALLBACK(AO_LibStopCallback)
DEV_CALL1(AO_LibEnableOutput)
DEV_CALL1(AO_LibSetSource)
DEV_CALL1(AO_LibSetVolume)
DEV_CALL2(AO_LibSetAttrib)
DEV_CALL2(AO_LibGetAttrib)
DEV_CALL2(AO_LibSetFileName)
DEV_CALL2(AO_LibGetFileName)
DEV_CALL1(AO_LibSetTimer)
DEV_CALL2(AO_LibGetVerString)
#endif

} // extern "C"
