#pragma once
// What every export of every family shares: the handle check, and create and
// destroy for the families built on cPluginIFEx.
#include "CvxObj.h"
#include "DbgLog.h"
#include "Portelle.h"

#include <cstdlib>
#include <new>
#include <utility>

namespace nx
{
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

struct cCreateTexts
{
    const char* szExport;
    const char* szNoMemory;
    const char* szCreated;
    const char* szInitFailed;  // formatted with the device index and the code
};

// Load the plug-in and ask it for an instance; on any failure nothing is left
// behind and the client's handle variable is not touched.
template <typename Family, typename InitFn>
NxResult CreateFamily(const cCreateTexts& texts, NxHandle* phHandle, const char* szPath, int32_t nDevice,
                      InitFn&& init)
{
    DbgLog(DBG_INF, texts.szExport, 239, "called", CAT_IOLIB);
    if (!phHandle)
    {
        DbgLog(DBG_ERR, texts.szExport, __LINE__, "received NULL handle pointer", CAT_IOLIB);
        return Nx_ERR;
    }
    Family* pObj = new (std::nothrow) Family();
    if (!pObj)
    {
        DbgLog(DBG_ERR, texts.szExport, 245, texts.szNoMemory, CAT_IOLIB);
        return Nx_OUTOFMEMORY;
    }
    DbgLog(DBG_INF, texts.szExport, 250, texts.szCreated, CAT_IOLIB);

    NxResult nResult = pObj->LoadSource(szPath);
    if (nResult != Nx_OK)
    {
        DbgLog(DBG_ERR, texts.szExport, 256, DbgLogFormat("LoadSource(%s) return %d", szPath ? szPath : "(null)", nResult),
               CAT_IOLIB);
        delete pObj;
        return nResult;
    }
    nResult = init(*pObj);
    if (nResult != Nx_OK)
    {
        DbgLog(DBG_ERR, texts.szExport, 264, DbgLogFormat(texts.szInitFailed, nDevice, nResult), CAT_IOLIB);
        delete pObj;
        return nResult;
    }
    *phHandle = static_cast<CvxObj*>(pObj);
    DbgLog(DBG_INF, texts.szExport, 272, "successfully completed", CAT_IOLIB);
    return Nx_OK;
}

// Every plug-in call inside is guarded already; what could still escape is a
// fault of Portelle itself, after which the process cannot be trusted.
template <typename Family, typename DestroyFn>
NxResult DestroyFamily(NxHandle hHandle, const char* szExport, const char* szFaultFormat, DestroyFn&& destroy)
{
    return WithHandle<Family>(hHandle, [&](Family& obj) {
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
        return Nx_OK;
    });
}
} // namespace nx
