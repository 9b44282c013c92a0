// The entry points Portelle binds by name.
#include "DbgLog.h"
#include "Joyvane.h"
#include "cConDirectX.h"
#include "cInstanceTable.h"
#include "cRetryLog.h"

#include <memory>
#include <new>
#include <string>

static_assert(std::is_same_v<decltype(&CI_LibInit), PFN_CI_LibInit>);
static_assert(std::is_same_v<decltype(&CI_LibDestroy), PFN_CI_LibDestroy>);
static_assert(std::is_same_v<decltype(&CI_LibSetCallback), PFN_CI_LibSetCallback>);

namespace
{
// No exception may cross into the caller's C code.
template <typename Fn>
NxResult Guarded(const char* szFunction, Fn&& fn)
{
    try
    {
        return fn();
    }
    catch (...)
    {
        DbgLog(DBG_ERR, szFunction, __LINE__, "Caught unknown exception");
        return Nx_ERR;
    }
}

NxResult Init(void** phLib, NxValue nWindow, int32_t nDevice, const char* szConfig, uint32_t nVersion)
{
    cInstanceTable& table = cInstanceTable::Instance();
    if (table.IsFull())
    {
        DbgLog(DBG_ERR, "CI_LibInit", __LINE__,
               DbgLogFormat("%d controllers are open already", cInstanceTable::kCapacity));
        return Nx_INVALIDPARAM;
    }
    if (nVersion != NX_CONTROLLER_IF_VERSION)
    {
        DbgLog(DBG_ERR, "CI_LibInit", __LINE__,
               DbgLogFormat("interface version 0x%x, this plug-in serves 0x%x", nVersion, NX_CONTROLLER_IF_VERSION));
        return Nx_BADVERSION;
    }
    if (!phLib)
        return Nx_ERR;

    std::unique_ptr<cConDirectX> pInstance(new (std::nothrow) cConDirectX());
    if (!pInstance)
        return Nx_OUTOFMEMORY;
    const NxResult nResult = pInstance->init(szConfig, nDevice, nWindow);
    if (nResult != Nx_OK)
        return nResult;
    if (!table.Add(pInstance.get()))
        return Nx_INVALIDPARAM;
    *phLib = pInstance.release();
    return Nx_OK;
}
} // namespace

NxResult NX_CALL CI_LibInit(void** phLib, NxValue nWindow, int32_t nDevice, const char* szConfig, uint32_t nVersion)
{
    // A host that asks again and again until a controller is attached (and
    // keeps this plug-in loaded meanwhile) reads about the absence once.
    static cRetryLog retries;
    return Guarded("CI_LibInit", [&] {
        cRetryLog::cAttempt attempt(retries, std::to_string(nDevice));
        const NxResult nResult = Init(phLib, nWindow, nDevice, szConfig, nVersion);
        attempt.End(nResult == Nx_OK);
        return nResult;
    });
}

NxResult NX_CALL CI_LibDestroy(void* hLib)
{
    return Guarded("CI_LibDestroy", [&] {
        cConDirectX* pInstance = cInstanceTable::Instance().Remove(hLib);
        if (!pInstance)
            return Nx_INVALIDHANDLE;
        pInstance->uninit();
        delete pInstance;
        return Nx_OK;
    });
}

NxResult NX_CALL CI_LibSetCallback(void* hLib, NxControllerCallback pfnCallback, void* pUserData)
{
    return Guarded("CI_LibSetCallback", [&] {
        cConDirectX* pInstance = cInstanceTable::Instance().Find(hLib);
        return pInstance ? pInstance->setCallback(pfnCallback, pUserData) : Nx_INVALIDHANDLE;
    });
}
