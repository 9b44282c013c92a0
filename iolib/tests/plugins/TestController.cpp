// A controller plug-in for the tests. Variants built from this file differ in
// the entry points they export (TC_NO_INIT, TC_NO_DESTROY, TC_BASIC: only the
// three that Joyvane has).
#include "PortellePlugin.h"
#include "TestPluginConfig.h"

#include <atomic>
#include <memory>
#include <thread>

namespace
{
struct cTestController : cTestInstance
{
    std::thread deliverer;
    std::atomic<bool> bStop{false};

    void StopDelivering()
    {
        bStop = true;
        if (deliverer.joinable())
            deliverer.join();
    }
};

// Record i of the script: recognisable values in every field.
ControllerState ScriptedState(int i)
{
    ControllerState state{};
    state.dX = i / 10.0;
    state.dY = -i / 10.0;
    state.nPOV = i * 10;
    state.nButtons = 1u << i;
    state.bValid = 1;
    state.nAxisFlags = 0x03;
    return state;
}
} // namespace

extern "C" {

#ifndef TC_NO_INIT
NX_EXPORT NxResult NX_CALL CI_LibInit(void** phLib, NxValue nWindow, int32_t nDevice, const char* szConfig,
                                      uint32_t nVersion)
{
    cTestPluginConfig config = cTestPluginConfig::Parse(szConfig);
    config.Journal("Init window=%lu device=%d version=0x%x", static_cast<unsigned long>(nWindow), nDevice, nVersion);
    config.ThrowIfAsked("Init");
    if (config.nInitResult != 0)
        return config.nInitResult;
    auto pController = std::make_unique<cTestController>();
    pController->config = config;
    *phLib = pController.release();
    return Nx_OK;
}
static_assert(std::is_same_v<decltype(&CI_LibInit), PFN_CI_LibInit>);
#endif

#ifndef TC_NO_DESTROY
NX_EXPORT NxResult NX_CALL CI_LibDestroy(void* hLib)
{
    cTestController* pController = static_cast<cTestController*>(hLib);
    pController->StopDelivering();
    const cTestPluginConfig config = pController->config;
    config.Journal("Destroy");
    delete pController;
    config.ThrowIfAsked("Destroy");
    return Nx_OK;
}
static_assert(std::is_same_v<decltype(&CI_LibDestroy), PFN_CI_LibDestroy>);
#endif

NX_EXPORT NxResult NX_CALL CI_LibSetCallback(void* hLib, NxControllerCallback pfnCallback, void* pUserData)
{
    cTestController* pController = static_cast<cTestController*>(hLib);
    const NxResult nResult = TestForward(hLib, "SetCallback", "user=%lx", reinterpret_cast<unsigned long>(pUserData));
    if (nResult == Nx_OK && pController->config.nStates > 0 && !pController->deliverer.joinable())
    {
        const int nStates = pController->config.nStates;
        pController->deliverer = std::thread([pController, pfnCallback, pUserData, nStates] {
            for (int i = 0; i < nStates && !pController->bStop; ++i)
            {
                const ControllerState state = ScriptedState(i);
                pfnCallback(pUserData, &state);
            }
        });
    }
    return nResult;
}
static_assert(std::is_same_v<decltype(&CI_LibSetCallback), PFN_CI_LibSetCallback>);

#ifndef TC_BASIC
NX_EXPORT NxResult NX_CALL CI_LibStopCallback(void* hLib, NxControllerCallback)
{
    const NxResult nResult = TestForward(hLib, "StopCallback");
    static_cast<cTestController*>(hLib)->StopDelivering();
    return nResult;
}
static_assert(std::is_same_v<decltype(&CI_LibStopCallback), PFN_CI_LibStopCallback>);

NX_EXPORT NxResult NX_CALL CI_LibSetTimer(void* hLib, NxValue nValue)
{
    return TestForward(hLib, "SetTimer", "%lu", nValue);
}
static_assert(std::is_same_v<decltype(&CI_LibSetTimer), PFN_CI_LibSetTimer>);

NX_EXPORT NxResult NX_CALL CI_LibGetVerString(void* hLib, NxValue nValue1, NxValue nValue2)
{
    return TestForward(hLib, "GetVerString", "%lu %lu", nValue1, nValue2);
}
static_assert(std::is_same_v<decltype(&CI_LibGetVerString), PFN_CI_LibGetVerString>);
#endif

} // extern "C"
