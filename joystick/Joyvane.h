#pragma once
// The three entry points Joyvane exports for Portelle (see PortellePlugin.h for
// the controller contract). Nothing else leaves the library.
#include "PortellePlugin.h"

#ifdef __cplusplus
extern "C" {
#endif

// 0; 6 four instances exist; 14 version is not 0x1010; 3 out of memory;
// 7 no configuration path; 1 no joystick at that index.
NX_EXPORT NxResult NX_CALL CI_LibInit(void** phLib, NxValue nWindow, int32_t nDevice, const char* szConfig,
                                      uint32_t nVersion);
// 0; 4 when the handle is not a live instance.
NX_EXPORT NxResult NX_CALL CI_LibDestroy(void* hLib);
// 0 polling; 1 already polling (the new callback is taken all the same); 4 bad handle.
NX_EXPORT NxResult NX_CALL CI_LibSetCallback(void* hLib, NxControllerCallback pfnCallback, void* pUserData);

#ifdef __cplusplus
}
#endif
