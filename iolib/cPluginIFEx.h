#pragma once
#include "DbgLog.h"
#include "PortellePlugin.h"
#include "cPluginSource.h"

#include <cstdint>

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

// A forwarding operation whose lines are those where it is defined.
#define NX_FORWARD_OP(function, slot, failed) {function, slot, __LINE__, __LINE__, failed, __LINE__}

// The names, texts and interface version that tell one family from another.
struct cFamilySpec
{
    cLoadSpec load;
    const char* szInit;         // function names written with the messages
    const char* szDestroy;
    const char* szCloseSource;
    uint32_t nVersion;          // passed to the init entry point
    const cForwardSpec& setTimer;  // every family has a timer entry point
};

// A family that loads a plug-in, asks it for one instance and forwards calls to
// it, guarding every call into plug-in code. A plug-in that throws is unloaded;
// its instance handle may then stay set (when its destroy threw too), which is
// why forwarding checks the entry point as well as the handle.
class cPluginIFEx : public cPluginSource
{
public:
    static constexpr NxResult kQuietResult = 16;  // passed back without a log line

    // Loading as every family of this kind reports it.
    static constexpr cLoadSpec LoadSpec(const char* szFunction, const char* szBothFound,
                                        const cEntryPointSpec* pEntryPoints, int32_t nEntryPoints)
    {
        return {szFunction, 62, "received NULL filename", 72, "LoadLibrary failed", szBothFound, pEntryPoints, nEntryPoints};
    }

    ~cPluginIFEx() override;

    NxResult LoadSource(const char* szPath) { return Load(szPath); }
    NxResult DestroyInstance();
    void CloseSource();

    NxResult SetTimer(NxValue nValue) { return Forward<PFN_Dev_Call1>(m_Spec.setTimer, nValue); }

protected:
    cPluginIFEx(int32_t nObjType, const cFamilySpec& spec);

    void ReleaseSource() override { CloseSource(); }

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

    const cFamilySpec& m_Spec;
    bool m_bDestroyThrew = false;  // the plug-in may have freed the instance: never destroy it twice

private:
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
