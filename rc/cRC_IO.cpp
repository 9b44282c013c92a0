#include "cRC_IO.h"

#include "DbgLog.h"
#include "RC_Checksum.h"
#include "cBufferLog.h"
#include "cCommsIF.h"
#include "cEvent.h"
#include "cRxProtocol.h"

#include <mutex>

cRC_IO::cRC_IO(const char* szName) : cCommsIO(szName)
{
}

cRC_IO::~cRC_IO()
{
    cRC_IO::close();
}

bool cRC_IO::initialise(const CommsSettings& settings, const char* szName)
{
    static const InitLog kLog{"cRC_IO::initialise", 47, 73, 80, 106};
    return Initialise(settings, szName, settings.nTxPort, settings.nRxPort, settings.sAllowedPeers, kLog);
}

bool cRC_IO::HasTransport() const
{
    std::shared_lock<std::shared_mutex> lock(m_TransportMutex);
    return getCommsIF() != nullptr;
}

uint32_t cRC_IO::PeerRejects() const
{
    std::shared_lock<std::shared_mutex> lock(m_TransportMutex);
    const cCommsIF* pCommsIF = getCommsIF();
    return pCommsIF ? pCommsIF->PeerRejects() : 0;
}

bool cRC_IO::Initialise(const CommsSettings& settings, const char* szName, int32_t nTargetPort, int32_t nHostPort,
                        const std::string& sAllowedPeers, const InitLog& log)
{
    if (m_MultiCommsIF.GetCurrent())
    {
        DbgLog(DBG_WRN, log.szFunction, log.nAlreadyCreated, "Comms interface already created");
        return true;
    }
    m_SerialCfg.nPortEnabled = settings.bEnablePort ? 1 : 0;
    m_SerialCfg.nPortNumber = settings.nComPort;
    m_SerialCfg.nBaudRate = settings.nBaudRate;
    m_SerialCfg.nParity = settings.nParity;
    m_SerialCfg.sDevice = settings.sSerialDevice;
    m_nUdpTargetPort = nTargetPort;
    m_nUdpHostPort = nHostPort;
    m_sIpAddress = settings.sIpAddress;
    m_nCommsMethod = static_cast<CommsSettings::Method>(settings.nCommsMethod);
    if (!CreateTransport(sAllowedPeers, log))
        return false;

    m_bLogRx = settings.bLogRx;
    m_bLogTx = settings.bLogTx;
    if ((m_bLogRx || m_bLogTx) && !m_pTrafficLog)
    {
        auto pLog = std::make_unique<cBufferLog>(std::string(szName ? szName : "") + ".txt");
        pLog->LogStart();
        std::unique_lock<std::shared_mutex> lock(m_TransportMutex);
        m_pTrafficLog = std::move(pLog);
    }
    if (cCommsIO::initialise(1000))
        return true;
    {
        std::unique_lock<std::shared_mutex> lock(m_TransportMutex);
        clearCommsIF();
    }
    m_StatusConnection.disconnect();
    m_MultiCommsIF.Release();
    DbgLog(DBG_ERR, log.szFunction, log.nInitialiseFailed, "cCommsIO::initialise() failed");
    return false;
}

bool cRC_IO::CreateTransport(const std::string& sAllowedPeers, const InitLog& log)
{
    bool bCreated = false;
    const CommsSettings::Method nMethod = m_nCommsMethod.load();
    if (nMethod == CommsSettings::kUdp)
    {
        bCreated = m_MultiCommsIF.InitUdp(m_nUdpTargetPort, m_sIpAddress, m_nUdpHostPort, "0.0.0.0", sAllowedPeers);
    }
    else if (nMethod == CommsSettings::kSerial)
    {
        bCreated = m_MultiCommsIF.InitSerial(m_SerialCfg);
    }
    else
    {
        DbgLog(DBG_ERR, log.szFunction, log.nUnknownMethod,
               DbgLogFormat("Unknown Comms Method (%d) requested", static_cast<int>(nMethod)));
        return false;
    }
    if (!bCreated)
        return false;

    bool bAccepted = false;
    {
        std::unique_lock<std::shared_mutex> lock(m_TransportMutex);
        bAccepted = setCommsIF(m_MultiCommsIF.GetCurrent());
    }
    if (!bAccepted)
    {
        m_MultiCommsIF.Release();
        DbgLog(DBG_ERR, log.szFunction, log.nSetCommsIFFailed, "setCommsIF failed");
        return false;
    }
    m_StatusConnection = m_MultiCommsIF.GetCurrent()->m_sigStatus.connect(
        [this](long long, int, const char* szText) { OnTransportStatus(szText); });
    return true;
}

void cRC_IO::OnTransportStatus(const char* szText)
{
    // The text may live in this thread's DbgLogFormat buffer: copy it first.
    const std::string sText = szText ? szText : "";
    DbgLog(DBG_ERR, "cRC_IO::OnTransportStatus", __LINE__, DbgLogFormat("(%s) %s", ObjectName(), sText.c_str()));
}

void cRC_IO::close()
{
    stopTx();
    {
        // Sends in progress finish first; later ones find no transport.
        std::unique_lock<std::shared_mutex> lock(m_TransportMutex);
        clearCommsIF();
    }
    // Stops the receive thread, so no frame is logged after this.
    m_StatusConnection.disconnect();
    m_MultiCommsIF.Release();
    m_pTxEvent.reset();
    std::unique_lock<std::shared_mutex> lock(m_TransportMutex);
    if (m_pTrafficLog)
    {
        m_pTrafficLog->LogStop();
        m_pTrafficLog.reset();
    }
}

bool cRC_IO::sendMessage(const uint8_t* pData, int32_t nCount)
{
    std::shared_lock<std::shared_mutex> lock(m_TransportMutex);
    if (m_pTrafficLog && m_bLogTx)
        m_pTrafficLog->LogData(pData, nCount, "Tx Msg");
    // Taken before it goes: its reply may be received before the send returns.
    if (cTrafficTap* pTap = m_pTrafficTap.load(std::memory_order_acquire); pTap && getCommsIF())
        pTap->Record(m_eTapLink, cTrafficTap::Direction::kTx, pData, nCount, true);
    if (!cCommsIO::sendMessage(pData, nCount))
        return false;
    m_nFramesSent.fetch_add(1, std::memory_order_relaxed);
    return true;
}

uint32_t cRC_IO::FramesSkipped() const
{
    std::shared_lock<std::shared_mutex> lock(m_TransportMutex);
    const cCommsIF* pCommsIF = getCommsIF();
    const cRxProtocol* pFramer = pCommsIF ? pCommsIF->getProtocol() : nullptr;
    return pFramer ? pFramer->FramesSkipped() : 0;
}

bool cRC_IO::LastFrameTime(std::chrono::steady_clock::time_point& when) const
{
    const auto nTicks = m_nLastFrameTicks.load(std::memory_order_relaxed);
    if (nTicks == 0)
        return false;
    when = std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(nTicks));
    return true;
}

void cRC_IO::VerifyChecksum(const uint8_t* pFrame, int32_t nLength, int64_t nTime)
{
    if (m_pTrafficLog && m_bLogRx)
        m_pTrafficLog->LogData(pFrame, nLength, "Rx Msg");
    if (!pFrame || nLength < 1)
        return;
    m_nLastFrameTicks.store(std::chrono::steady_clock::now().time_since_epoch().count(), std::memory_order_relaxed);
    const uint8_t nComputed = RC_Checksum(pFrame, static_cast<size_t>(nLength - 1));
    const uint8_t nReceived = pFrame[nLength - 1];
    if (cTrafficTap* pTap = m_pTrafficTap.load(std::memory_order_acquire))
        pTap->Record(m_eTapLink, cTrafficTap::Direction::kRx, pFrame, nLength, nComputed == nReceived);
    if (nComputed != nReceived)
    {
        m_nChecksumFailures.fetch_add(1, std::memory_order_relaxed);
        DbgLog(DBG_WRN, "cRC_IO::VerifyChecksum", 409,
               DbgLogFormat("Checksum failed.  Expected 0x%02X, received 0x%02X", nComputed, nReceived));
        return;
    }
    m_nGoodFrames.fetch_add(1, std::memory_order_relaxed);
    handleMessage(pFrame, nLength, nTime);
}

std::string cRC_IO::MismatchText() const
{
    std::lock_guard<std::mutex> lock(m_ProblemMutex);
    return m_sMismatchText;
}

std::string cRC_IO::RefusalText() const
{
    std::lock_guard<std::mutex> lock(m_ProblemMutex);
    return m_sRefusalText;
}

std::string cRC_IO::DescribeMismatch(RC_DatagramKind eKind, uint64_t nSample) const
{
    return "receiving " + cRC_MismatchMonitor::SeenText(eKind, nSample);
}

void cRC_IO::WatchLink(std::chrono::steady_clock::time_point now)
{
    cRC_MismatchMonitor::Counts counts;
    std::string sDestination;
    std::array<uint64_t, RC_kDatagramKinds> samples{};
    {
        std::shared_lock<std::shared_mutex> lock(m_TransportMutex);
        const cCommsIF* pCommsIF = getCommsIF();
        if (!pCommsIF)
            return;
        for (int32_t nKind = 0; nKind < RC_kDatagramKinds; ++nKind)
        {
            const auto eKind = static_cast<RC_DatagramKind>(nKind);
            counts.nUnframed[nKind] = pCommsIF->UnframedDatagrams(eKind);
            samples[nKind] = pCommsIF->UnframedSample(eKind);
        }
        counts.nRefusals = pCommsIF->Refusals();
        if (counts.nRefusals != 0)
            sDestination = pCommsIF->RefusedDestination();
    }
    counts.nGoodFrames = m_nGoodFrames.load(std::memory_order_relaxed);
    counts.nSent = m_nFramesSent.load(std::memory_order_relaxed);

    const cRC_MismatchMonitor::Report report = m_Mismatch.Update(counts, now);
    if (report.bMismatchEnds)
    {
        const char* szSeen = RC_DatagramKindText(report.eEnded);
        DbgLog(DBG_INF, "cRC_IO::WatchLink", __LINE__,
               report.bMismatchEndsByFrames
                   ? DbgLogFormat("(%s) good frames arrive: no longer receiving %s", ObjectName(), szSeen)
                   : DbgLogFormat("(%s) no longer receiving %s", ObjectName(), szSeen),
               CAT_COMMS);
        std::lock_guard<std::mutex> lock(m_ProblemMutex);
        m_sMismatchText.clear();
    }
    if (report.bMismatchBegins)
    {
        std::string sText = DescribeMismatch(report.eBegun, samples[static_cast<size_t>(report.eBegun)]);
        DbgLog(DBG_WRN, "cRC_IO::WatchLink", __LINE__, DbgLogFormat("(%s) %s", ObjectName(), sText.c_str()), CAT_COMMS);
        std::lock_guard<std::mutex> lock(m_ProblemMutex);
        m_sMismatchText = std::move(sText);
    }
    if (report.bRefusalBegins)
    {
        m_sRefusedAt = sDestination;
        DbgLog(DBG_WRN, "cRC_IO::WatchLink", __LINE__,
               DbgLogFormat("(%s) no remote system at %s: nothing there takes our datagrams", ObjectName(),
                            m_sRefusedAt.c_str()),
               CAT_COMMS);
        std::lock_guard<std::mutex> lock(m_ProblemMutex);
        m_sRefusalText = "no remote system at " + m_sRefusedAt;
    }
    if (report.bRefusalEnds)
    {
        {
            std::lock_guard<std::mutex> lock(m_ProblemMutex);
            m_sRefusalText.clear();
        }
        DbgLog(DBG_INF, "cRC_IO::WatchLink", __LINE__,
               report.bRefusalEndsByFrames
                   ? DbgLogFormat("(%s) remote system at %s answers", ObjectName(), m_sRefusedAt.c_str())
                   : DbgLogFormat("(%s) datagrams to %s are taken again", ObjectName(), m_sRefusedAt.c_str()),
               CAT_COMMS);
    }
}
