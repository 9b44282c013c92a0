#include "cPluginIFEx.h"

cPluginIFEx::cPluginIFEx(int32_t nObjType, const cFamilySpec& spec) : cPluginSource(nObjType, spec.load), m_Spec(spec)
{
}

cPluginIFEx::~cPluginIFEx()
{
    DestroyInstance();
    m_Loader.Free();
}

NxResult cPluginIFEx::DestroyInstance()
{
    if (!m_hLib)
    {
        DbgLog(DBG_INF, m_Spec.szDestroy, 187, "m_hLib already NULL, returning with Nx_OK");
        return Nx_OK;
    }
    if (!m_EntryPoints[1])
    {
        DbgLog(DBG_ERR, m_Spec.szDestroy, 193, "User library not loaded or incompatible");
        return Nx_INCOMPATIBLE;
    }
    if (m_bDestroyThrew)
    {
        DbgLog(DBG_INF, m_Spec.szDestroy, __LINE__, "instance destroy failed before, not called again");
        return Nx_ERR;
    }
    try
    {
        reinterpret_cast<PFN_Dev_LibDestroy>(m_EntryPoints[1])(m_hLib);
    }
    catch (...)
    {
        // The instance may still exist, so the library stays loaded.
        m_bDestroyThrew = true;
        DbgLog(DBG_ERR, m_Spec.szDestroy, 205, "Caught unknown exception");
        return Nx_ERR;
    }
    m_hLib = nullptr;
    return Nx_OK;
}

void cPluginIFEx::CloseSource()
{
    DestroyInstance();
    DbgLog(DBG_INF, m_Spec.szCloseSource, 51, "calling UnLoadLibrary... ");
    Unload();
}

NxResult cPluginIFEx::CaughtInForward(const cForwardSpec& op)
{
    DbgLog(DBG_ERR, op.szFunction, op.nExceptionLine, "Caught unknown exception, unloading the library");
    CloseSource();
    return Nx_ERR;
}
