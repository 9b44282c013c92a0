#include "cSimTransport.h"

#include "DbgLog.h"
#include "RC_Checksum.h"
#include "cCommsIF.h"
#include "cEvent.h"
#include "cRxProtocol.h"
#include "cSerialIF.h"
#include "cUdpIF.h"

cSimTransport::cSimTransport(const char* szName, const Framing& framing, FrameHandler fnHandler)
    : cCommsIO(szName), m_Framing(framing), m_fnHandler(std::move(fnHandler))
{
}

cSimTransport::~cSimTransport()
{
    cSimTransport::close();
}

bool cSimTransport::OpenUdp(const std::string& sLocalAddress, int32_t nLocalPort, const std::string& sTargetAddress,
                            int32_t nTargetPort)
{
    close();
    auto pUdpIF = std::make_unique<nx::http::cUdpIF>(ObjectName());
    try
    {
        // Reception starts only once the descriptor is loaded, so no early frame is lost.
        if (!pUdpIF->initialise(nTargetPort, sTargetAddress, nLocalPort, sLocalAddress, false, false,
                                nx::http::cUdpIF::kLearnOnce))
            return false;
    }
    catch (const std::exception& e)
    {
        DbgLog(DBG_ERR, "cSimTransport::OpenUdp", __LINE__, DbgLogFormat("(%s) %s", ObjectName(), e.what()), CAT_COMMS);
        return false;
    }
    m_pUdpIF = std::move(pUdpIF);
    if (m_pImpaired)
        m_pImpaired->Start([this](const std::vector<uint8_t>& frame) { Send(frame); },
                           [this](const std::vector<uint8_t>& frame) {
                               VerifyChecksum(frame.data(), static_cast<int32_t>(frame.size()), 0);
                           },
                           static_cast<size_t>(m_Framing.nLengthPos) + 1);
    if (Bind(m_pUdpIF.get()) && m_pUdpIF->startRx())
        return true;
    close();
    return false;
}

bool cSimTransport::OpenSerial(const std::string& sDevice, int32_t nBaudRate)
{
    close();
    auto pSerialIF = std::make_unique<cSerialIF>(ObjectName());
    // Reads of up to 256 bytes that wait up to 10 ms: whole frames arrive in few reads.
    if (!pSerialIF->Initialise(sDevice, nBaudRate, false, 0, 8, 0, 10, 0, false))
        return false;
    m_pSerialIF = std::move(pSerialIF);
    if (Bind(m_pSerialIF.get()) && m_pSerialIF->startRx())
        return true;
    close();
    return false;
}

bool cSimTransport::Bind(cCommsIF* pCommsIF)
{
    return setCommsIF(pCommsIF) && cCommsIO::initialise(1000);
}

void cSimTransport::close()
{
    if (m_pImpaired)
        m_pImpaired->Stop();
    stopTx();
    // Receive threads end here, before the handler's owner can go away.
    if (m_pUdpIF)
        static_cast<cCommsIF*>(m_pUdpIF.get())->Terminate();
    if (m_pSerialIF)
        m_pSerialIF->Terminate();
    clearCommsIF();
    m_pUdpIF.reset();
    m_pSerialIF.reset();
    m_pTxEvent.reset();
}

bool cSimTransport::Send(const std::vector<uint8_t>& frame)
{
    if (m_pImpaired && m_pImpaired->Tx(frame))
        return true;
    if (!sendMessage(frame.data(), static_cast<int32_t>(frame.size())))
        return false;
    ++m_nFramesSent;
    return true;
}

uint16_t cSimTransport::LocalPort() const
{
    return m_pUdpIF ? m_pUdpIF->LocalPort() : 0;
}

bool cSimTransport::loadRxMsgDescriptors()
{
    cCommsIF* pCommsIF = getCommsIF();
    if (!pCommsIF || !pCommsIF->loadProtocol(nullptr))
        return false;
    if (m_Framing.nMode == kSendOnly)
        return true;
    cRxProtocol* pFramer = pCommsIF->getProtocol();
    pFramer->m_nDefaultSync = m_Framing.nSync;
    return pFramer->LoadMsgDescriptor(m_Framing.nMode, m_Framing.nLengthPos, m_Framing.nAdjust, this) == 0;
}

void cSimTransport::VerifyChecksum(const uint8_t* pFrame, int32_t nLength, int64_t)
{
    if (m_pImpaired && m_pImpaired->Rx(pFrame, nLength))
        return;
    if (!pFrame || nLength < 2 || !m_fnHandler)
        return;
    const bool bGood = RC_Checksum(pFrame, static_cast<size_t>(nLength - 1)) == pFrame[nLength - 1];
    if (bGood)
        m_nGoodFrames.fetch_add(1, std::memory_order_relaxed);
    m_fnHandler(pFrame, nLength, bGood);
}

cRC_MismatchMonitor::Counts cSimTransport::LinkCounts(std::array<uint64_t, RC_kDatagramKinds>& samples) const
{
    cRC_MismatchMonitor::Counts counts;
    counts.nGoodFrames = m_nGoodFrames.load(std::memory_order_relaxed);
    counts.nSent = m_nFramesSent.load(std::memory_order_relaxed);
    const cCommsIF* pCommsIF = getCommsIF();
    if (!pCommsIF)
        return counts;
    for (int32_t nKind = 0; nKind < RC_kDatagramKinds; ++nKind)
    {
        const auto eKind = static_cast<RC_DatagramKind>(nKind);
        counts.nUnframed[nKind] = pCommsIF->UnframedDatagrams(eKind);
        samples[nKind] = pCommsIF->UnframedSample(eKind);
    }
    counts.nRefusals = pCommsIF->Refusals();
    return counts;
}

std::string cSimTransport::RefusedDestination() const
{
    const cCommsIF* pCommsIF = getCommsIF();
    return pCommsIF ? pCommsIF->RefusedDestination() : std::string();
}

void cSimTransport::Impair(const cSimImpairment::Settings& tx, const cSimImpairment::Settings& rx, uint64_t nSeed,
                           uint32_t nLink)
{
    m_pImpaired = tx.On() || rx.On() ? std::make_unique<cSimLinkImpairment>(tx, rx, nSeed, nLink) : nullptr;
}
