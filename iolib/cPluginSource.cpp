#include "cPluginSource.h"

#include "DbgLog.h"

cPluginSource::cPluginSource(int32_t nObjType, const cLoadSpec& spec) : CvxObj(nObjType), m_LoadSpec(spec)
{
    m_Loader.Load(nullptr);
}

NxResult cPluginSource::Load(const char* szPath)
{
    const cLoadSpec& spec = m_LoadSpec;
    const bool bProgress = spec.szBothFound != nullptr;
    if (!szPath)
    {
        DbgLog(DBG_ERR, spec.szFunction, spec.nNullPathLine, spec.szNullPath);
        return Nx_InvalidFile;
    }
    ReleaseSource();

    if (bProgress)
        DbgLog(DBG_INF, spec.szFunction, 69, "Trying to load the user library");
    if (!m_Loader.Load(szPath))
    {
        DbgLog(DBG_ERR, spec.szFunction, spec.nLoadFailedLine, spec.szLoadFailed);
        return Nx_InvalidFile;
    }
    if (bProgress)
        DbgLog(DBG_INF, spec.szFunction, 75, "Successfully loaded the user library");

    for (int32_t nSlot = 0; nSlot < 2; ++nSlot)
    {
        const cEntryPointSpec& entry = spec.pEntryPoints[nSlot];
        m_EntryPoints[nSlot] = m_Loader.GetProcAddress(entry.szName);
        if (!m_EntryPoints[nSlot])
        {
            DbgLog(DBG_ERR, spec.szFunction, entry.nMissingLine, entry.szMissingText);
            ReleaseSource();
            return Nx_INVALIDSRC;
        }
    }
    if (bProgress)
        DbgLog(DBG_INF, spec.szFunction, 94, spec.szBothFound);

    for (int32_t nSlot = 2; nSlot < spec.nEntryPoints && nSlot < kMaxEntryPoints; ++nSlot)
    {
        const cEntryPointSpec& entry = spec.pEntryPoints[nSlot];
        m_EntryPoints[nSlot] = m_Loader.GetProcAddress(entry.szName);
        const char* szText = m_EntryPoints[nSlot] ? entry.szFoundText : entry.szMissingText;
        if (szText)
            DbgLog(DBG_INF, spec.szFunction, m_EntryPoints[nSlot] ? entry.nFoundLine : entry.nMissingLine, szText);
    }
    return Nx_OK;
}

void cPluginSource::Unload()
{
    for (void*& pEntry : m_EntryPoints)
        pEntry = nullptr;
    m_Loader.Free();
}
