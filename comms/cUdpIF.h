#pragma once
#include "IPEndPoint.h"
#include "UDPServerThread.h"
#include "cCommsIF.h"

#include <atomic>
#include <boost/signals2/connection.hpp>
#include <cstdint>
#include <mutex>
#include <string>

namespace nx::http
{
// The UDP transport: a bound socket, a destination, optional multicast
// membership, and learning of the reply address from received datagrams.
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

private:
    IPEndPoint m_localEndPoint;
    IPEndPoint m_remoteEndPoint;  // guarded by m_RemoteMutex as a whole
    mutable std::mutex m_RemoteMutex;
    int32_t m_nEndpointMode = kLearnOnce;
    std::atomic<bool> m_bLearningArmed{false};
    int32_t m_nTargetPort = 0;
    std::string m_sTargetAddress;
    boost::signals2::scoped_connection m_ErrorConnection;
};
} // namespace nx::http
