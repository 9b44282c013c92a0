#include "cConsoleSession.h"

#include "DbgLog.h"
#include "cRC_IO_EoData.h"
#include "cRC_IO_Pages.h"
#include "cUserCommsSettingsFile.h"

#include <exception>
#include <optional>
#include <new>
#include <utility>

namespace
{
// Creates and initialises one protocol object; on failure it is closed and
// gone. The log lines name the main window's operations, as they always have.
template <typename Protocol, typename Make>
cConsoleSession::Result Start(std::unique_ptr<Protocol>& pSlot, Make make, const CommsSettings& settings,
                              const char* szName, const char* szFunction, const char* szObject)
{
    std::unique_ptr<Protocol> pObject(make());
    if (!pObject)
    {
        DbgLog(DBG_ERR, szFunction, __LINE__, DbgLogFormat("Failed to create %s", szObject));
        return cConsoleSession::Result::kCannotCreate;
    }
    bool bInitialised = false;
    try
    {
        // An address that is not one raises from the UDP transport.
        bInitialised = pObject->initialise(settings, szName);
    }
    catch (const std::exception& e)
    {
        DbgLog(DBG_ERR, szFunction, __LINE__, DbgLogFormat("initialise raised: %s", e.what()));
    }
    if (!bInitialised)
    {
        DbgLog(DBG_ERR, szFunction, __LINE__, DbgLogFormat("Failed to initialise %s", szObject));
        pObject->close();
        return cConsoleSession::Result::kCannotInitialise;
    }
    pSlot = std::move(pObject);
    return cConsoleSession::Result::kStarted;
}
} // namespace

cConsoleSession::cConsoleSession(std::string sSettingsPath) : m_sSettingsPath(std::move(sSettingsPath))
{
}

cConsoleSession::~cConsoleSession()
{
    Stop();
}

cConsoleSession::LoadReport cConsoleSession::Load()
{
    LoadReport report;
    report.bSettingsRead = m_Settings.Read(m_sSettingsPath);
    report.bUserSettingsRead = cUserCommsSettingsFile::ReadRegistrySettings(m_Settings.m_CommsSettings);
    report.bPagesRead = cPageDefinitionsReader(m_Settings.ControllerType()).Read(m_Settings.sPageDefinitionsFile, m_Pages) ==
                        cPageDefinitionsReader::Result::kRead;
    return report;
}

cConsoleSession::Result cConsoleSession::StartPages()
{
    if (m_bStopped)
        return Result::kStopped;
    if (m_pRC_IO_Pages)
        return Result::kStarted;
    const RC_Variant eVariant = m_Settings.ControllerType();
    m_LinkQuality.Configure(m_Settings.LinkQualitySettings());
    const auto make = [this, eVariant] {
        auto* pPages = new (std::nothrow) cRC_IO_Pages(eVariant);
        if (pPages)
        {
            pPages->SetLinkQuality(&m_LinkQuality);
            pPages->SetTrafficTap(m_bTapAttached ? m_pTrafficTap.get() : nullptr);
        }
        return pPages;
    };
    const Result eResult =
        Start(m_pRC_IO_Pages, make, m_Settings.m_CommsSettings, "Kestrum", "KestrumDlg::InitialiseRC_IO_Pages", "m_pRC_IO_Pages");
    if (eResult != Result::kStarted)
        return eResult;
    // Every defined item is requested periodically; a VMS that asks for the
    // heartbeat gets it, and the heartbeat then decides the link.
    m_pRC_IO_Pages->m_pPageDefinitions = &m_Pages;
    m_pRC_IO_Pages->RegisterItems();
    m_pRC_IO_Pages->m_bUseHeartbeat = eVariant == RC_Variant::LongFrames && m_Settings.bUseVMS_HeartBeat;
    return Result::kStarted;
}

cConsoleSession::Result cConsoleSession::StartEoData()
{
    if (m_bStopped)
        return Result::kStopped;
    if (m_pRC_IO_EoData)
        return Result::kStarted;
    m_LinkQuality.Configure(m_Settings.LinkQualitySettings());
    const auto make = [this] {
        auto* pEoData = new (std::nothrow) cRC_IO_EoData();
        if (pEoData)
        {
            pEoData->SetLinkQuality(&m_LinkQuality);
            pEoData->SetTrafficTap(m_bTapAttached ? m_pTrafficTap.get() : nullptr);
        }
        return pEoData;
    };
    return Start(m_pRC_IO_EoData, make, m_Settings.m_CommsSettings, "EoTrackData", "KestrumDlg::InitialiseRC_IO_EoData",
                 "m_pRC_IO_EoData");
}

bool cConsoleSession::EnableEoDataOutput(bool bEnable)
{
    if (!m_pRC_IO_Pages)
    {
        DbgLog(DBG_WRN, "cConsoleSession::EnableEoDataOutput", __LINE__,
               "No page protocol: EO track data not switched on or off");
        return false;
    }
    if (!bEnable)
        m_LinkQuality.EoStreamStopped();
    m_EoWatch.Wanted(bEnable, std::chrono::steady_clock::now());
    return m_pRC_IO_Pages->EnableEoDataOutput(bEnable);
}

cTrafficTap& cConsoleSession::AttachTrafficTap()
{
    if (!m_pTrafficTap)
        m_pTrafficTap = std::make_unique<cTrafficTap>();
    m_bTapAttached = true;
    if (m_pRC_IO_Pages)
        m_pRC_IO_Pages->SetTrafficTap(m_pTrafficTap.get());
    if (m_pRC_IO_EoData)
        m_pRC_IO_EoData->SetTrafficTap(m_pTrafficTap.get());
    return *m_pTrafficTap;
}

void cConsoleSession::DetachTrafficTap()
{
    m_bTapAttached = false;
    if (m_pRC_IO_Pages)
        m_pRC_IO_Pages->SetTrafficTap(nullptr);
    if (m_pRC_IO_EoData)
        m_pRC_IO_EoData->SetTrafficTap(nullptr);
}

void cConsoleSession::WatchEoStream(std::chrono::steady_clock::time_point now)
{
    if (m_bStopped || !m_pRC_IO_Pages || !m_pRC_IO_EoData)
        return;
    std::chrono::steady_clock::time_point lastReport;
    const bool bAnyReport = m_pRC_IO_EoData->LastFrameTime(lastReport);
    const bool bWasSilent = m_EoWatch.IsSilent();
    const bool bAsk = m_EoWatch.AskAgain(m_pRC_IO_Pages->m_bLinkActive.load(),
                                         bAnyReport ? std::optional(lastReport) : std::nullopt, now);
    // Said when a silence begins and when it ends; the asks between are not.
    if (!bWasSilent && m_EoWatch.IsSilent())
        DbgLog(DBG_WRN, "cConsoleSession::WatchEoStream", __LINE__,
               "No EO reports since the stream was asked for: asking again, less and less often");
    else if (bWasSilent && !m_EoWatch.IsSilent())
        DbgLog(DBG_WRN, "cConsoleSession::WatchEoStream", __LINE__, "EO reports are coming");
    if (bAsk)
        m_pRC_IO_Pages->EnableEoDataOutput(true);
}

void cConsoleSession::Stop()
{
    m_bStopped = true;
    if (m_pRC_IO_EoData)
    {
        if (m_pRC_IO_Pages)
            m_pRC_IO_Pages->EnableEoDataOutput(false);
        m_pRC_IO_EoData->close();
        m_pRC_IO_EoData.reset();
    }
    // Its destructor sends the stop of every periodic request, then closes the transport.
    m_pRC_IO_Pages.reset();
}
