#pragma once
#include "IPEndPoint.h"
#include "UDPServerThread.h"
#include "cCommsIF.h"
#include "cPeerFilter.h"

#include <atomic>
#include <boost/signals2/connection.hpp>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace nx::http
{
// The UDP transport: a bound socket, a destination, optional multicast
// membership, and learning of the reply address from received datagrams.
// With a peer filter set, datagrams from other senders are dropped before
// anything else sees them: they are counted, never framed, never learned from.
class cUdpIF : public UDPServerThread, public cCommsIF
{
public:
    // What a received datagram does to the destination while learning is armed.
    enum EndpointMode : int32_t
    {
        kNoLearning = 0,
        kLearnOnce = 1,         // sender address and port, then disarm
        kLearnAddressOnce = 2,  // sender address, keep the port, then disarm
        kLearnAlways = 3,
        kLearnAddressAlways = 4,
    };

    explicit cUdpIF(const char* szName);
    ~cUdpIF() override;

    // Which senders to take datagrams from (cPeerFilter's text; with the
    // target address given to initialise). Call before initialise; without
    // it every sender is taken.
    void SetAllowedPeers(const std::string& sAllowedPeers);

    // Raises boost::system::system_error for address text that is not an address.
    virtual bool initialise(int32_t nTargetPort, const std::string& sTargetAddress, int32_t nLocalPort,
                            const std::string& sLocalAddress, bool bStart, bool bLog, int32_t nEndpointMode);

    void Terminate() override;
    bool startRx() override;
    bool stopRx() override;
    int messageSend(const uint8_t* pData, int32_t nCount) override;
    bool isOpen() override { return true; }
    bool purgeRx() override { return true; }
    bool purgeTx() override { return true; }
    bool purgeRxTx() override { return true; }
    void received(const uint8_t* pData, uint32_t nLength, const IPEndPoint& sender) override;

    void OnError(const IPEndPoint& sender, const boost::system::error_code& ec);
    IPEndPoint RemoteEndPoint() const;
    const IPEndPoint& LocalEndPoint() const { return m_localEndPoint; }
    bool LearningArmed() const { return m_bLearningArmed.load(); }
    uint32_t PeerRejects() const override { return m_nPeerRejects.load(std::memory_order_relaxed); }
    uint32_t Refusals() const override { return m_nRefusals.load(std::memory_order_relaxed); }
    std::string RefusedDestination() const override;
    std::string AllowedPeers() const;

private:
    IPEndPoint m_localEndPoint;
    IPEndPoint m_remoteEndPoint;  // guarded by m_RemoteMutex as a whole
    IPEndPoint m_refusedEndPoint;  // where sends went when refused; guarded by m_RemoteMutex
    mutable std::mutex m_RemoteMutex;
    int32_t m_nEndpointMode = kLearnOnce;
    std::atomic<bool> m_bLearningArmed{false};
    int32_t m_nTargetPort = 0;
    std::string m_sTargetAddress;
    boost::signals2::scoped_connection m_ErrorConnection;

    // Senders already reported as refused; bounded, since a hostile network
    // can make up any number of them. Receive thread only.
    static constexpr size_t kMostRefusedReported = 64;
    bool m_bFilterPeers = false;
    std::string m_sAllowedPeers;
    cPeerFilter m_PeerFilter;  // set before the receive thread starts
    std::vector<boost::asio::ip::address> m_RefusedReported;
    std::atomic<uint32_t> m_nPeerRejects{0};
    std::atomic<uint32_t> m_nRefusals{0};  // service thread counts
    void RefusePeer(const IPEndPoint& sender);
};
} // namespace nx::http
