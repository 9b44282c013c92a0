#pragma once
#include "CXLoadLibrary.h"
#include "CvxObj.h"
#include "DbgLog.h"
#include "Portelle.h"
#include "PortellePlugin.h"

#include <cstdint>

// One entry point a plug-in may export, with the INF lines that report it.
// Slots 0 and 1 of a family are its init and destroy, which must exist.
struct cEntryPointSpec
{
    const char* szName;
    const char* szFoundText;    // optional entry points only
    int32_t nFoundLine;
    const char* szMissingText;  // ERR for the required ones, INF otherwise
    int32_t nMissingLine;
};

// The names, texts and interface version that tell one family from another.
struct cFamilySpec
{
    const char* szLoadSource;   // function names written with the messages
    const char* szInit;
    const char* szDestroy;
    const char* szCloseSource;
    const char* szBothFound;    // init and destroy were both found
    uint32_t nVersion;          // passed to the init entry point
    const cEntryPointSpec* pEntryPoints;
    int32_t nEntryPoints;
};

// One forwarding operation: which slot it calls and how it reports.
struct cForwardSpec
{
    const char* szFunction;
    int32_t nSlot;
    int32_t nIncompatibleLine;
    int32_t nFailedLine;
    const char* szFailedFormat;  // formatted with the plug-in's result
    int32_t nExceptionLine;
};

// A family that loads a plug-in, asks it for one instance and forwards calls to
// it, guarding every call into plug-in code. A plug-in that throws is unloaded;
// its instance handle may then stay set (when its destroy threw too), which is
// why forwarding checks the entry point as well as the handle.
class cPluginIFEx : public CvxObj
{
public:
    static constexpr int kMaxEntryPoints = 16;
    static constexpr NxResult kQuietResult = 16;  // passed back without a log line

    ~cPluginIFEx() override;

    NxResult LoadSource(const char* szPath);
    NxResult DestroyInstance();
    void CloseSource();

    bool IsLoaded() const { return m_Loader.IsLoaded(); }
    bool HasInstance() const { return m_hLib != nullptr; }

protected:
    cPluginIFEx(int32_t nObjType, const cFamilySpec& spec);

    // Asks the plug-in for its instance: Pfn(&m_hLib, args..., version).
    template <typename Pfn, typename... Args>
    NxResult RunInit(int32_t nDevice, Args... args);

    // Calls Pfn(m_hLib, args...) and reports its result.
    template <typename Pfn, typename... Args>
    NxResult Forward(const cForwardSpec& op, Args... args);

    // As Forward, but the plug-in's result is its answer: passed back unlogged,
    // and a missing entry point is not logged either.
    template <typename Pfn, typename... Args>
    NxResult ForwardStatus(const cForwardSpec& op, Args... args);

    void* m_hLib = nullptr;
    void* m_EntryPoints[kMaxEntryPoints] = {};
    CXLoadLibrary m_Loader;
    const cFamilySpec& m_Spec;
    bool m_bDestroyThrew = false;  // the plug-in may have freed the instance: never destroy it twice

private:
    void ClearEntryPoints();
    NxResult CaughtInForward(const cForwardSpec& op);
};

template <typename Pfn, typename... Args>
NxResult cPluginIFEx::RunInit(int32_t nDevice, Args... args)
{
    if (m_hLib)
    {
        DbgLog(DBG_ERR, m_Spec.szInit, 144, "User library already loaded and initialised");
        return Nx_ERR;
    }
    if (!m_EntryPoints[0])
    {
        DbgLog(DBG_ERR, m_Spec.szInit, 150, "User library not loaded or incompatible");
        return Nx_INCOMPATIBLE;
    }
    if (nDevice < 0)
    {
        DbgLog(DBG_ERR, m_Spec.szInit, 157, "nDevice is invalid");
        return Nx_INVALIDPARAM;
    }
    NxResult nResult = Nx_OK;
    try
    {
        nResult = reinterpret_cast<Pfn>(m_EntryPoints[0])(&m_hLib, args..., m_Spec.nVersion);
    }
    catch (...)
    {
        DbgLog(DBG_ERR, m_Spec.szInit, 175, "Caught unknown exception, unloading the library");
        CloseSource();
        return Nx_ERR;
    }
    if (nResult != Nx_OK)
    {
        DbgLog(DBG_ERR, m_Spec.szInit, 168, DbgLogFormat("m_pfnInit returned %d", nResult));
        return nResult;
    }
    return Nx_OK;
}

template <typename Pfn, typename... Args>
NxResult cPluginIFEx::Forward(const cForwardSpec& op, Args... args)
{
    if (!m_hLib)
        return Nx_ERR;
    if (!m_EntryPoints[op.nSlot])
    {
        DbgLog(DBG_INF, op.szFunction, op.nIncompatibleLine, "User library incompatible");
        return Nx_INCOMPATIBLE;
    }
    NxResult nResult = Nx_OK;
    try
    {
        nResult = reinterpret_cast<Pfn>(m_EntryPoints[op.nSlot])(m_hLib, args...);
    }
    catch (...)
    {
        return CaughtInForward(op);
    }
    if (nResult != Nx_OK && nResult != kQuietResult)
        DbgLog(DBG_ERR, op.szFunction, op.nFailedLine, DbgLogFormat(op.szFailedFormat, nResult));
    return nResult;
}

template <typename Pfn, typename... Args>
NxResult cPluginIFEx::ForwardStatus(const cForwardSpec& op, Args... args)
{
    if (!m_hLib)
        return Nx_ERR;
    if (!m_EntryPoints[op.nSlot])
        return Nx_INCOMPATIBLE;
    try
    {
        return reinterpret_cast<Pfn>(m_EntryPoints[op.nSlot])(m_hLib, args...);
    }
    catch (...)
    {
        return CaughtInForward(op);
    }
}
