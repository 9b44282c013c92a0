/* What a device plug-in exports for Portelle to bind by name. Each entry point
 * takes the plug-in's own instance handle first (the init entry point takes the
 * address where it writes that handle) and returns a result code of Portelle.h.
 * A plug-in defines its entry points with these exact types. */
#pragma once

#include "Portelle.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Interface versions Portelle passes to the init entry points. */
#define NX_CONTROLLER_IF_VERSION 0x1010u
#define NX_GPIO_IF_VERSION 0x2030u
#define NX_TD_IF_VERSION 0x1110u
#define NX_MOUSE_IF_VERSION 0x1010u
#define NX_AUDIOOUT_IF_VERSION 0x1010u

/* Controllers: "CI_LibInit" and "CI_LibDestroy" required, the rest optional. */
typedef NxResult(NX_CALL* PFN_CI_LibInit)(void** phLib, NxValue nWindow, int32_t nDevice, const char* szConfig,
                                          uint32_t nVersion);
typedef NxResult(NX_CALL* PFN_CI_LibDestroy)(void* hLib);
typedef NxResult(NX_CALL* PFN_CI_LibSetCallback)(void* hLib, NxControllerCallback pfnCallback, void* pUserData);
typedef NxResult(NX_CALL* PFN_CI_LibStopCallback)(void* hLib, NxControllerCallback pfnCallback);
typedef NxResult(NX_CALL* PFN_CI_LibSetTimer)(void* hLib, NxValue nValue);
typedef NxResult(NX_CALL* PFN_CI_LibGetVerString)(void* hLib, NxValue nValue1, NxValue nValue2);

/* GPIO and watchdog boards: "IO_LibInit" and "IO_LibDestroy" required. */
typedef NxResult(NX_CALL* PFN_IO_LibInit)(void** phLib, NxValue nValue1, NxValue nValue2, uint32_t nVersion);
typedef NxResult(NX_CALL* PFN_IO_LibDestroy)(void* hLib);
typedef NxResult(NX_CALL* PFN_IO_Call0)(void* hLib);                                   /* StopWatchdog, ResetWatchdog */
typedef NxResult(NX_CALL* PFN_IO_Call1)(void* hLib, NxValue nValue);                   /* ReadGPIO, ReadGPIO_Outputs, StartWatchdog */
typedef NxResult(NX_CALL* PFN_IO_Call2)(void* hLib, NxValue nValue1, NxValue nValue2); /* pin operations, callbacks */

/* Target designators, mice and audio outputs share the init and the shapes below. */
typedef NxResult(NX_CALL* PFN_Dev_LibInit)(void** phLib, int32_t nDevice, NxValue nValue, uint32_t nVersion);
typedef NxResult(NX_CALL* PFN_Dev_LibDestroy)(void* hLib);
typedef NxResult(NX_CALL* PFN_Dev_SetCallback)(void* hLib, NxDeviceCallback pfnCallback, void* pUserData);
typedef NxResult(NX_CALL* PFN_Dev_StopCallback)(void* hLib, NxDeviceCallback pfnCallback);
typedef NxResult(NX_CALL* PFN_Dev_Call1)(void* hLib, NxValue nValue);
typedef NxResult(NX_CALL* PFN_Dev_Call2)(void* hLib, NxValue nValue1, NxValue nValue2);
typedef NxResult(NX_CALL* PFN_Dev_Call3)(void* hLib, NxValue nValue1, NxValue nValue2, NxValue nValue3);
typedef NxResult(NX_CALL* PFN_Dev_Call4)(void* hLib, NxValue nValue1, NxValue nValue2, NxValue nValue3,
                                         NxValue nValue4);
typedef NxResult(NX_CALL* PFN_TI_LibSendTarget)(void* hLib, uint32_t nWord0, uint32_t nWord1, uint32_t nWord2,
                                                uint32_t nWord3);

#ifdef __cplusplus
}
#endif
