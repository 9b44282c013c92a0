#pragma once
// What every export of every family shares: the guard at the C boundary, the
// handle check, and create and destroy.
#include "CvxObj.h"
#include "DbgLog.h"
#include "IO_LibEx.h"
#include "Portelle.h"
#include "cCreateRetries.h"
#include "cPluginIFEx.h"
#include "cRetryLog.h"

#include <cstdlib>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <string>

namespace nx
{
inline void LogEscaped(const char* szExport, const char* szWhat) noexcept
{
    try
    {
        DbgLog(DBG_ERR, szExport, __LINE__,
               szWhat ? DbgLogFormat("Caught exception: %s", szWhat) : "Caught unknown exception", CAT_IOLIB);
    }
    catch (...)
    {
    }
}

// No exception may cross into the client's C code: one that escapes an export
// (its own allocations, the handle registry) is logged under the export's name
// and answered with Nx_ERR.
template <typename Fn>
NxResult Guarded(const char* szExport, Fn&& fn) noexcept
{
    try
    {
        return fn();
    }
    catch (const std::exception& e)
    {
        LogEscaped(szExport, e.what());
    }
    catch (...)
    {
        LogEscaped(szExport, nullptr);
    }
    return Nx_ERR;
}

// A null handle is Nx_ERR; anything that is not a live object of this family
// (another family's handle, a destroyed one) is Nx_INVALIDHANDLE.
template <typename Family, typename Fn>
NxResult WithHandle(NxHandle hHandle, Fn&& fn)
{
    if (!hHandle)
        return Nx_ERR;
    CvxObj* pObj = CvxObj::FromHandle(hHandle);
    if (!pObj || pObj->ObjType() != Family::kObjType || !pObj->IsValid())
        return Nx_INVALIDHANDLE;
    return fn(*static_cast<Family*>(pObj));
}

// An export that checks the handle and calls one operation of its family.
template <typename Family, typename Obj, typename... Params, typename... Args>
NxResult Call(const char* szExport, NxHandle hHandle, NxResult (Obj::*pfnOperation)(Params...), Args... args)
{
    return Guarded(szExport, [&] {
        return WithHandle<Family>(hHandle, [&](Family& obj) { return (obj.*pfnOperation)(args...); });
    });
}

// As Call, after an INF line "called" under the export's name.
template <typename Family, typename Obj, typename... Params, typename... Args>
NxResult CallReported(const char* szExport, int32_t nLine, NxHandle hHandle,
                      NxResult (Obj::*pfnOperation)(Params...), Args... args)
{
    return Guarded(szExport, [&] {
        DbgLog(DBG_INF, szExport, nLine, "called", CAT_IOLIB);
        return Call<Family>(szExport, hHandle, pfnOperation, args...);
    });
}

struct cCreateTexts
{
    const char* szExport;
    uint32_t nCategory;
    int32_t nNoMemoryLine;
    const char* szNoMemory;
    const char* szCreated;  // null: no progress lines (called, created, completed)
    int32_t nLoadLine;
    const char* szLoadFailed;  // formatted with the path and the code
    int32_t nInitLine;
    const char* szInitFailed;  // formatted with the device index (if the family has one) and the code
};

// Create texts as the plug-in families (all but GPIO) write them.
constexpr cCreateTexts PluginCreateTexts(const char* szExport, const char* szNoMemory, const char* szCreated,
                                         const char* szInitFailed)
{
    return {szExport, CAT_IOLIB, 245, szNoMemory, szCreated, 256, "LoadSource(%s) return %d", 264, szInitFailed};
}

inline NxResult LoadPlugin(cPluginIFEx& obj, const char* szPath)
{
    return obj.LoadSource(szPath);
}

inline NxResult LoadPlugin(IO_LibEx& obj, const char* szPath)
{
    return obj.LoadIO_Lib(szPath);
}

// Load the plug-in and ask it for an instance, left in pObj for the caller to
// hand out once nothing else can fail. On any failure nothing is left behind
// once pObj goes.
template <typename Family, typename InitFn>
NxResult CreateLogged(const cCreateTexts& texts, NxHandle* phHandle, const char* szPath,
                      std::optional<int32_t> nDevice, InitFn& init, std::unique_ptr<Family>& pObj)
{
    const bool bProgress = texts.szCreated != nullptr;
    if (bProgress)
        DbgLog(DBG_INF, texts.szExport, 239, "called", texts.nCategory);
    if (!phHandle)
    {
        DbgLog(DBG_ERR, texts.szExport, __LINE__, "received NULL handle pointer", texts.nCategory);
        return static_cast<NxResult>(Nx_ERR);
    }
    pObj.reset(new (std::nothrow) Family());
    if (!pObj)
    {
        DbgLog(DBG_ERR, texts.szExport, texts.nNoMemoryLine, texts.szNoMemory, texts.nCategory);
        return static_cast<NxResult>(Nx_OUTOFMEMORY);
    }
    if (bProgress)
        DbgLog(DBG_INF, texts.szExport, 250, texts.szCreated, texts.nCategory);

    NxResult nResult = LoadPlugin(*pObj, szPath);
    if (nResult != Nx_OK)
    {
        DbgLog(DBG_ERR, texts.szExport, texts.nLoadLine,
               DbgLogFormat(texts.szLoadFailed, szPath ? szPath : "(null)", nResult), texts.nCategory);
        return nResult;
    }
    nResult = init(*pObj);
    if (nResult != Nx_OK)
    {
        DbgLog(DBG_ERR, texts.szExport, texts.nInitLine,
               nDevice ? DbgLogFormat(texts.szInitFailed, *nDevice, nResult) : DbgLogFormat(texts.szInitFailed, nResult),
               texts.nCategory);
        return nResult;
    }
    if (bProgress)
        DbgLog(DBG_INF, texts.szExport, 272, "successfully completed", texts.nCategory);
    return static_cast<NxResult>(Nx_OK);
}

template <typename Family, typename InitFn>
NxResult CreateFamily(const cCreateTexts& texts, NxHandle* phHandle, const char* szPath,
                      std::optional<int32_t> nDevice, InitFn&& init)
{
    return Guarded(texts.szExport, [&] {
        std::unique_ptr<Family> pObj;
        const NxResult nResult = CreateLogged(texts, phHandle, szPath, nDevice, init, pObj);
        // Logged first: the client gets the handle only once nothing can fail.
        if (nResult == Nx_OK)
            *phHandle = static_cast<CvxObj*>(pObj.release());
        return nResult;
    });
}

// As CreateFamily, for a family whose clients retry a create until its device
// is there: each create is an attempt of its plug-in, device and configuration
// (see cCreateRetries), so a failure repeated every few seconds is read once.
template <typename Family, typename InitFn>
NxResult CreateRetried(const cCreateTexts& texts, NxHandle* phHandle, const char* szPath, int32_t nDevice,
                       const char* szConfig, InitFn&& init)
{
    return Guarded(texts.szExport, [&] {
        cCreateRetries& retries = cCreateRetries::Instance();
        cRetryLog::cAttempt attempt(retries.Log(), cCreateRetries::Key(texts.szExport, szPath, nDevice, szConfig));
        std::unique_ptr<Family> pObj;
        const NxResult nResult = CreateLogged(texts, phHandle, szPath, nDevice, init, pObj);
        retries.KeepLoaded(szPath, nResult != Nx_OK && pObj && pObj->IsLoaded());
        if (nResult != Nx_OK)
            pObj.reset();  // its clean-up lines belong to the attempt
        attempt.End(nResult == Nx_OK);
        // Only now: anything above may throw, and the instance then goes with pObj.
        if (nResult == Nx_OK)
            *phHandle = static_cast<CvxObj*>(pObj.release());
        return nResult;
    });
}

// Ends the instance and deletes the family object. With a fault format, an
// exception out of that is a fault of Portelle itself (every plug-in call
// inside is guarded already), after which the process cannot be trusted: it
// ends after the log line. Without one, the export's guard answers Nx_ERR.
template <typename Family, typename DestroyFn>
NxResult DestroyFamily(NxHandle hHandle, const char* szExport, const char* szFaultFormat, DestroyFn&& destroy)
{
    return Guarded(szExport, [&] {
        return WithHandle<Family>(hHandle, [&](Family& obj) {
            if (!szFaultFormat)
            {
                destroy(obj);
                delete &obj;
                return static_cast<NxResult>(Nx_OK);
            }
            try
            {
                destroy(obj);
                delete &obj;
            }
            catch (...)
            {
                DbgLog(DBG_ERR, szExport, 302, DbgLogFormat(szFaultFormat, -1), CAT_IOLIB);
                std::exit(1);
            }
            return static_cast<NxResult>(Nx_OK);
        });
    });
}
} // namespace nx
