#include "cPluginIFEx.h"

cPluginIFEx::cPluginIFEx(int32_t nObjType, const cFamilySpec& spec) : CvxObj(nObjType), m_Spec(spec)
{
    m_Loader.Load(nullptr);
}

cPluginIFEx::~cPluginIFEx()
{
    DestroyInstance();
    m_Loader.Free();
}

NxResult cPluginIFEx::LoadSource(const char* szPath)
{
    if (!szPath)
    {
        DbgLog(DBG_ERR, m_Spec.szLoadSource, 62, "received NULL filename");
        return Nx_InvalidFile;
    }
    CloseSource();

    DbgLog(DBG_INF, m_Spec.szLoadSource, 69, "Trying to load the user library");
    if (!m_Loader.Load(szPath))
    {
        DbgLog(DBG_ERR, m_Spec.szLoadSource, 72, "LoadLibrary failed");
        return Nx_InvalidFile;
    }
    DbgLog(DBG_INF, m_Spec.szLoadSource, 75, "Successfully loaded the user library");

    const int32_t nRequiredLines[2] = {81, 89};
    for (int32_t nSlot = 0; nSlot < 2; ++nSlot)
    {
        const cEntryPointSpec& entry = m_Spec.pEntryPoints[nSlot];
        m_EntryPoints[nSlot] = m_Loader.GetProcAddress(entry.szName);
        if (!m_EntryPoints[nSlot])
        {
            DbgLog(DBG_ERR, m_Spec.szLoadSource, nRequiredLines[nSlot], entry.szMissingText);
            CloseSource();
            return Nx_INVALIDSRC;
        }
    }
    DbgLog(DBG_INF, m_Spec.szLoadSource, 94, m_Spec.szBothFound);

    for (int32_t nSlot = 2; nSlot < m_Spec.nEntryPoints && nSlot < kMaxEntryPoints; ++nSlot)
    {
        const cEntryPointSpec& entry = m_Spec.pEntryPoints[nSlot];
        m_EntryPoints[nSlot] = m_Loader.GetProcAddress(entry.szName);
        if (m_EntryPoints[nSlot])
            DbgLog(DBG_INF, m_Spec.szLoadSource, entry.nFoundLine, entry.szFoundText);
        else
            DbgLog(DBG_INF, m_Spec.szLoadSource, entry.nMissingLine, entry.szMissingText);
    }
    return Nx_OK;
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
    ClearEntryPoints();
    DbgLog(DBG_INF, m_Spec.szCloseSource, 51, "calling UnLoadLibrary... ");
    m_Loader.Free();
}

void cPluginIFEx::ClearEntryPoints()
{
    for (void*& pEntry : m_EntryPoints)
        pEntry = nullptr;
}

NxResult cPluginIFEx::CaughtInForward(const cForwardSpec& op)
{
    DbgLog(DBG_ERR, op.szFunction, op.nExceptionLine, "Caught unknown exception, unloading the library");
    CloseSource();
    return Nx_ERR;
}
