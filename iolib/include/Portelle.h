/* Portelle: one call interface for device plug-ins (controllers, GPIO and
 * watchdog boards, target designators, mice, audio outputs).
 *
 * Plain C linkage: no C++ types cross this boundary. A handle is the opaque
 * value a create function wrote; it stays valid until the destroy function of
 * the same family returns. Values whose meaning belongs to a plug-in travel as
 * NxValue, wide enough for an integer or an address, and are passed through
 * unchanged. */
#pragma once

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define NX_CALL __stdcall
#if defined(PORTELLE_BUILD)
#define NX_EXPORT __declspec(dllexport)
#else
#define NX_EXPORT __declspec(dllimport)
#endif
#else
#define NX_CALL
#define NX_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes of Portelle and its plug-ins. Any other non-zero code returned
 * by a plug-in reaches the client unchanged. */
enum
{
    Nx_OK = 0,
    Nx_ERR = 1,              /* general failure: null handle, instance missing or present, exception caught */
    Nx_OUTOFMEMORY = 3,
    Nx_INVALIDHANDLE = 4,    /* not a live object of the family the function serves */
    Nx_INVALIDPARAM = 6,
    Nx_InvalidFile = 7,      /* plug-in path null or empty, or the library could not be loaded */
    Nx_INCOMPATIBLE = 8,     /* no plug-in loaded, or it lacks the entry point for the call */
    Nx_INVALIDSRC = 9,       /* the library lacks a required entry point; it was unloaded again */
    Nx_BADVERSION = 14
};

typedef int32_t NxResult;
typedef void* NxHandle;
typedef uintptr_t NxValue;

/* One reading of a game controller, handed to the controller callback. Axes
 * and sliders run from -1.0 to 1.0. */
typedef struct ControllerState
{
    double dX;
    double dY;
    double dZ;
    double dRx;
    double dRy;
    double dRz;
    int32_t nPOV;          /* first hat in whole degrees 0..359, -1 when centred or absent */
    uint8_t reserved0[4];
    double dSlider0;
    double dSlider1;
    uint32_t nButtons;     /* bit i set while button i is pressed */
    uint8_t bValid;        /* 0: the poll of this cycle failed, values are the last ones read */
    uint8_t nAxisFlags;    /* 0x01 X, 0x02 Y, 0x04 Z, 0x08 Rx, 0x10 Ry, 0x20 Rz */
    uint8_t reserved1[2];
} ControllerState;

#ifdef __cplusplus
#define NX_STATIC_ASSERT(expr, msg) static_assert(expr, msg)
#else
#define NX_STATIC_ASSERT(expr, msg) _Static_assert(expr, msg)
#endif
NX_STATIC_ASSERT(sizeof(ControllerState) == 80, "ControllerState is an 80-byte interface record");
NX_STATIC_ASSERT(offsetof(ControllerState, dRz) == 40, "ControllerState layout");
NX_STATIC_ASSERT(offsetof(ControllerState, nPOV) == 48, "ControllerState layout");
NX_STATIC_ASSERT(offsetof(ControllerState, dSlider0) == 56, "ControllerState layout");
NX_STATIC_ASSERT(offsetof(ControllerState, dSlider1) == 64, "ControllerState layout");
NX_STATIC_ASSERT(offsetof(ControllerState, nButtons) == 72, "ControllerState layout");
NX_STATIC_ASSERT(offsetof(ControllerState, bValid) == 76, "ControllerState layout");
NX_STATIC_ASSERT(offsetof(ControllerState, nAxisFlags) == 77, "ControllerState layout");

/* Called on the plug-in's own thread; the record lives only for the call. */
typedef void(NX_CALL* NxControllerCallback)(void* pUserData, const ControllerState* pState);

/* A callback of the other families; its real signature belongs to the plug-in. */
typedef void(NX_CALL* NxDeviceCallback)(void);

/* Controllers */
NX_EXPORT NxResult NX_CALL Nx_ConCreate(NxHandle* phController, const char* szPlugin, NxValue nWindow,
                                        int32_t nDevice, const char* szConfig);
NX_EXPORT NxResult NX_CALL Nx_ConDestroy(NxHandle hController);
NX_EXPORT NxResult NX_CALL Nx_ConSetCallback(NxHandle hController, NxControllerCallback pfnCallback, void* pUserData);
NX_EXPORT NxResult NX_CALL Nx_ConStopCallback(NxHandle hController, NxControllerCallback pfnCallback);
NX_EXPORT NxResult NX_CALL Nx_ConSetTimer(NxHandle hController, NxValue nValue);
NX_EXPORT NxResult NX_CALL Nx_ConGetVerString(NxHandle hController, NxValue nValue1, NxValue nValue2);

/* GPIO and watchdog boards ("PinAsOuput" is the exported spelling) */
NX_EXPORT NxResult NX_CALL Nx_IO_LoadLibrary(NxHandle* phIO, const char* szPlugin, NxValue nValue1, NxValue nValue2);
NX_EXPORT NxResult NX_CALL Nx_IO_SetGPIO_PinAsOuput(NxHandle hIO, NxValue nValue1, NxValue nValue2);
NX_EXPORT NxResult NX_CALL Nx_IO_ReadGPIO_PinAsOuput(NxHandle hIO, NxValue nValue1, NxValue nValue2);
NX_EXPORT NxResult NX_CALL Nx_IO_SetGPIO_Pin(NxHandle hIO, NxValue nValue1, NxValue nValue2);
NX_EXPORT NxResult NX_CALL Nx_IO_ReadGPIO_Pin(NxHandle hIO, NxValue nValue1, NxValue nValue2);
NX_EXPORT NxResult NX_CALL Nx_IO_ReadGPIO(NxHandle hIO, NxValue nValue);
NX_EXPORT NxResult NX_CALL Nx_IO_ReadGPIO_Outputs(NxHandle hIO, NxValue nValue);
NX_EXPORT NxResult NX_CALL Nx_IO_SetCallback(NxHandle hIO, NxValue nValue1, NxValue nValue2);
NX_EXPORT NxResult NX_CALL Nx_IO_SetCurrentSensorCallback(NxHandle hIO, NxValue nValue1, NxValue nValue2);
NX_EXPORT NxResult NX_CALL Nx_IO_StartWatchdog(NxHandle hIO, NxValue nValue);
NX_EXPORT NxResult NX_CALL Nx_IO_StopWatchdog(NxHandle hIO);
NX_EXPORT NxResult NX_CALL Nx_IO_ResetWatchdog(NxHandle hIO);
NX_EXPORT NxResult NX_CALL Nx_IO_ReleaseLibrary(NxHandle hIO);

/* Target designators */
NX_EXPORT NxResult NX_CALL Nx_TD_CreateIF(NxHandle* phTD, const char* szPlugin, int32_t nDevice, NxValue nValue);
NX_EXPORT NxResult NX_CALL Nx_TD_DestroyIF(NxHandle hTD);
NX_EXPORT NxResult NX_CALL Nx_TD_GetStatus(NxHandle hTD, NxValue nValue);
NX_EXPORT NxResult NX_CALL Nx_TD_SetCallback(NxHandle hTD, NxDeviceCallback pfnCallback, void* pUserData);
NX_EXPORT NxResult NX_CALL Nx_TD_StopCallback(NxHandle hTD, NxDeviceCallback pfnCallback);
NX_EXPORT NxResult NX_CALL Nx_TD_SetCallbackMultiTgt(NxHandle hTD, NxValue nValue1, NxValue nValue2, NxValue nValue3,
                                                     NxValue nValue4);
NX_EXPORT NxResult NX_CALL Nx_TD_StopCallbackMultiTgt(NxHandle hTD, NxValue nValue1, NxValue nValue2, NxValue nValue3);
NX_EXPORT NxResult NX_CALL Nx_TD_SetTimer(NxHandle hTD, NxValue nValue);
NX_EXPORT NxResult NX_CALL Nx_TD_SetAttrib(NxHandle hTD, NxValue nValue1, NxValue nValue2);
/* The 16 bytes of a target travel as four 32-bit words. */
NX_EXPORT NxResult NX_CALL Nx_TD_SendGeoTarget(NxHandle hTD, uint32_t nWord0, uint32_t nWord1, uint32_t nWord2,
                                               uint32_t nWord3);
NX_EXPORT NxResult NX_CALL Nx_TD_SendPolarTarget(NxHandle hTD, uint32_t nWord0, uint32_t nWord1, uint32_t nWord2,
                                                 uint32_t nWord3);

/* Mice */
NX_EXPORT NxResult NX_CALL Nx_MouseCreateIF(NxHandle* phMouse, const char* szPlugin, int32_t nDevice, NxValue nValue);
NX_EXPORT NxResult NX_CALL Nx_MouseDestroyIF(NxHandle hMouse);
NX_EXPORT NxResult NX_CALL Nx_MouseGetStatus(NxHandle hMouse, NxValue nValue);
NX_EXPORT NxResult NX_CALL Nx_MouseSetCallback(NxHandle hMouse, NxDeviceCallback pfnCallback, void* pUserData);
NX_EXPORT NxResult NX_CALL Nx_MouseStopCallback(NxHandle hMouse, NxDeviceCallback pfnCallback);
NX_EXPORT NxResult NX_CALL Nx_MouseSetTimer(NxHandle hMouse, NxValue nValue);

/* Audio outputs */
NX_EXPORT NxResult NX_CALL Nx_AudioOutCreateIF(NxHandle* phAudio, const char* szPlugin, int32_t nDevice,
                                               NxValue nValue);
NX_EXPORT NxResult NX_CALL Nx_AudioOutDestroyIF(NxHandle hAudio);
NX_EXPORT NxResult NX_CALL Nx_AudioOutSetCallback(NxHandle hAudio, NxDeviceCallback pfnCallback, void* pUserData);
NX_EXPORT NxResult NX_CALL Nx_AudioOutStopCallback(NxHandle hAudio, NxDeviceCallback pfnCallback);
NX_EXPORT NxResult NX_CALL Nx_AudioOutEnableOutput(NxHandle hAudio, NxValue nValue);
NX_EXPORT NxResult NX_CALL Nx_AudioOutSetSource(NxHandle hAudio, NxValue nValue);
NX_EXPORT NxResult NX_CALL Nx_AudioOutSetVolume(NxHandle hAudio, NxValue nValue);
NX_EXPORT NxResult NX_CALL Nx_AudioOutSetAttrib(NxHandle hAudio, NxValue nValue1, NxValue nValue2);
NX_EXPORT NxResult NX_CALL Nx_AudioOutGetAttrib(NxHandle hAudio, NxValue nValue1, NxValue nValue2);
NX_EXPORT NxResult NX_CALL Nx_AudioOutSetFileName(NxHandle hAudio, NxValue nValue1, NxValue nValue2);
NX_EXPORT NxResult NX_CALL Nx_AudioOutGetFileName(NxHandle hAudio, NxValue nValue1, NxValue nValue2);
NX_EXPORT NxResult NX_CALL Nx_AudioOutSetTimer(NxHandle hAudio, NxValue nValue);

#ifdef __cplusplus
}
#endif
