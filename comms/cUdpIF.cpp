#include "cUdpIF.h"

#include "DbgLog.h"

#include <algorithm>
#include <boost/asio/ip/address_v4.hpp>

namespace nx::http
{
namespace
{
bool IsMulticastV4(const std::string& sAddress)
{
    boost::system::error_code ec;
    const boost::asio::ip::address_v4 address = boost::asio::ip::make_address_v4(sAddress, ec);
    return !ec && (address.to_uint() >> 28) == 0xE;
}

bool ValidPort(int32_t nPort)
{
    return nPort >= 0 && nPort <= 65535;
}
} // namespace

cUdpIF::cUdpIF(const char* szName) : cCommsIF(szName)
{
}

cUdpIF::~cUdpIF()
{
    m_ErrorConnection.disconnect();
    UDPServerThread::Stop();
    cCommsIF::Terminate();
}

bool cUdpIF::initialise(int32_t nTargetPort, const std::string& sTargetAddress, int32_t nLocalPort,
                        const std::string& sLocalAddress, bool bStart, bool bLog, int32_t nEndpointMode)
{
    if (!ValidPort(nTargetPort) || !ValidPort(nLocalPort))
    {
        DbgLog(DBG_ERR, "nx::http::cUdpIF::initialise", __LINE__,
               DbgLogFormat("(%s) port out of range (target %d, local %d)", Name(), nTargetPort, nLocalPort), CAT_COMMS);
        return false;
    }
    m_localEndPoint = IPEndPoint(sLocalAddress.empty() ? "0.0.0.0" : sLocalAddress, static_cast<uint16_t>(nLocalPort));
    {
        std::lock_guard<std::mutex> lock(m_RemoteMutex);
        m_remoteEndPoint =
            IPEndPoint(sTargetAddress.empty() ? "0.0.0.0" : sTargetAddress, static_cast<uint16_t>(nTargetPort));
    }
    m_nTargetPort = nTargetPort;
    m_sTargetAddress = sTargetAddress;
    m_nEndpointMode = nEndpointMode;
    m_bLearningArmed = nEndpointMode != kNoLearning;
    m_PeerFilter = m_bFilterPeers ? cPeerFilter(m_sAllowedPeers, sTargetAddress, Name()) : cPeerFilter();
    m_RefusedReported.clear();
    if (m_bFilterPeers)
        DbgLog(DBG_INF, "nx::http::cUdpIF::initialise", __LINE__,
               DbgLogFormat("(%s) datagrams taken from %s", Name(), m_PeerFilter.Describe().c_str()), CAT_COMMS);

    if (!sTargetAddress.empty() && IsMulticastV4(sTargetAddress))
    {
        DbgLog(DBG_INF, "nx::http::cUdpIF::initialise", 45,
               DbgLogFormat("Found and using multicast address %s", sTargetAddress.c_str()));
        if (!Open(m_localEndPoint, sTargetAddress))
        {
            DbgLog(DBG_ERR, "nx::http::cUdpIF::initialise", 48, DbgLogFormat("(%s) m_UdpIF.Open failed", Name()), CAT_COMMS);
            return false;
        }
    }
    else
    {
        DbgLog(DBG_INF, "nx::http::cUdpIF::initialise", 54,
               DbgLogFormat("Non multicast address %s supplied, ignoring", sTargetAddress.c_str()));
        if (!Open(m_localEndPoint))
        {
            DbgLog(DBG_ERR, "nx::http::cUdpIF::initialise", 57, DbgLogFormat("(%s) m_UdpIF.Open failed", Name()), CAT_COMMS);
            return false;
        }
    }

    if (!prepareRx("nx::http::cUdpIF::initialise", 65, bLog))
        return false;
    m_ErrorConnection = sigError.connect([this](const IPEndPoint& sender, const boost::system::error_code& ec) {
        OnError(sender, ec);
    });
    return bStart ? startRx() : true;
}

void cUdpIF::Terminate()
{
    UDPServerThread::Stop();
    cCommsIF::Terminate();
}

bool cUdpIF::startRx()
{
    return RunThread();
}

bool cUdpIF::stopRx()
{
    UDPServerThread::Stop();
    return true;
}

int cUdpIF::messageSend(const uint8_t* pData, int32_t nCount)
{
    if (nCount < 0 || (nCount > 0 && !pData))
        return 1;
    SendTo(RemoteEndPoint(), pData, static_cast<size_t>(nCount));
    logTx(pData, nCount, nullptr);
    return 0;
}

IPEndPoint cUdpIF::RemoteEndPoint() const
{
    std::lock_guard<std::mutex> lock(m_RemoteMutex);
    return m_remoteEndPoint;
}

void cUdpIF::SetAllowedPeers(const std::string& sAllowedPeers)
{
    m_bFilterPeers = true;
    m_sAllowedPeers = sAllowedPeers;
}

std::string cUdpIF::AllowedPeers() const
{
    return m_PeerFilter.Describe();
}

void cUdpIF::RefusePeer(const IPEndPoint& sender)
{
    m_nPeerRejects.fetch_add(1, std::memory_order_relaxed);
    const boost::asio::ip::address address = sender.endPoint().address();
    if (std::find(m_RefusedReported.begin(), m_RefusedReported.end(), address) != m_RefusedReported.end())
        return;
    if (m_RefusedReported.size() == kMostRefusedReported)
        return;
    m_RefusedReported.push_back(address);
    DbgLog(DBG_WRN, "nx::http::cUdpIF::received", __LINE__,
           DbgLogFormat(m_RefusedReported.size() < kMostRefusedReported
                            ? "(%s) datagrams from %s are not taken (allowed: %s)"
                            : "(%s) datagrams from %s are not taken (allowed: %s); further senders not reported",
                        Name(), sender.addressText().c_str(), m_PeerFilter.Describe().c_str()),
           CAT_COMMS);
}

void cUdpIF::received(const uint8_t* pData, uint32_t nLength, const IPEndPoint& sender)
{
    if (!m_PeerFilter.Allows(sender.endPoint().address()))
    {
        RefusePeer(sender);
        return;
    }
    if (m_bLearningArmed)
    {
        std::lock_guard<std::mutex> lock(m_RemoteMutex);
        switch (m_nEndpointMode)
        {
        case kLearnOnce:
            m_remoteEndPoint = IPEndPoint(sender.endPoint());
            m_bLearningArmed = false;
            break;
        case kLearnAddressOnce:
            m_remoteEndPoint = IPEndPoint(boost::asio::ip::udp::endpoint(sender.endPoint().address(), m_remoteEndPoint.port()));
            m_bLearningArmed = false;
            break;
        case kLearnAlways:
            m_remoteEndPoint = IPEndPoint(sender.endPoint());
            break;
        case kLearnAddressAlways:
            m_remoteEndPoint = IPEndPoint(boost::asio::ip::udp::endpoint(sender.endPoint().address(), m_remoteEndPoint.port()));
            break;
        default:
            break;
        }
        DbgLog(DBG_INF, "nx::http::cUdpIF::received", 138,
               DbgLogFormat("Set End point to %s:%d", m_remoteEndPoint.addressText().c_str(), m_remoteEndPoint.port()));
    }
    processRxDatagram(pData, static_cast<int32_t>(nLength));
}

std::string cUdpIF::RefusedDestination() const
{
    std::lock_guard<std::mutex> lock(m_RemoteMutex);
    return m_refusedEndPoint.addressText() + ":" + std::to_string(m_refusedEndPoint.port());
}

void cUdpIF::OnError(const IPEndPoint&, const boost::system::error_code& ec)
{
    if (ec != boost::asio::error::connection_refused)
        return;
    std::lock_guard<std::mutex> lock(m_RemoteMutex);
    // The refusal names no address: it is for wherever the sends were going.
    m_refusedEndPoint = m_remoteEndPoint;
    m_nRefusals.fetch_add(1, std::memory_order_relaxed);
    m_remoteEndPoint = IPEndPoint(m_sTargetAddress.empty() ? "0.0.0.0" : m_sTargetAddress, static_cast<uint16_t>(m_nTargetPort));
    m_bLearningArmed = true;
}
} // namespace nx::http
