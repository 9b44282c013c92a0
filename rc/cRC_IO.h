#pragma once
#include "CommsSettings.h"
#include "SerialPortCfg.h"
#include "cCommsIO.h"
#include "cMultiCommsIF.h"
#include "cRC_MismatchMonitor.h"
#include "cTrafficTap.h"

#include <atomic>
#include <boost/signals2/connection.hpp>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>

class cBufferLog;

// Base of the protocol objects: makes the transport the settings ask for,
// optionally logs every whole frame, and passes each received frame with a
// good checksum to handleMessage (on the receive thread). Sends may come from
// any thread; close waits for sends in progress before the transport goes.
class cRC_IO : public cCommsIO
{
public:
    explicit cRC_IO(const char* szName);
    ~cRC_IO() override;

    using cCommsIO::initialise;
    virtual bool initialise(const CommsSettings& settings, const char* szName);
    void close() override;
    bool sendMessage(const uint8_t* pData, int32_t nCount) override;
    void VerifyChecksum(const uint8_t* pFrame, int32_t nLength, int64_t nTime) override;
    virtual void handleMessage(const uint8_t* pFrame, int32_t nLength, int64_t nTime) = 0;

    CommsSettings::Method CommsMethod() const { return m_nCommsMethod.load(); }
    bool HasTransport() const;
    // Datagrams the transport dropped because of their sender; 0 without one.
    uint32_t PeerRejects() const;

    // Link figures for the operator, readable from any thread: frames whose
    // checksum failed, partial frames the transport's framer dropped, and when
    // the last whole frame (good or not) arrived (false before the first).
    uint32_t ChecksumFailures() const { return m_nChecksumFailures.load(std::memory_order_relaxed); }
    uint32_t FramesSkipped() const;
    bool LastFrameTime(std::chrono::steady_clock::time_point& when) const;

    // What the operator must change when the link cannot work, while it lasts
    // (empty otherwise): the frames of another kind arriving and which setting
    // decides the kind; nobody at the destination ("no remote system at
    // host:port"). Any thread.
    std::string MismatchText() const;
    std::string RefusalText() const;
    // Looks at the transport's counts and reports a change of either condition
    // once, in the debug log. The owner's periodic tick calls it (one thread).
    void WatchLink(std::chrono::steady_clock::time_point now);

    // Where a copy of every whole frame received (good checksum or not) and
    // sent goes, for the traffic inspector; null: nowhere, at the cost of one
    // atomic load per frame. Any thread; the tap must outlive this object.
    void SetTrafficTap(cTrafficTap* pTap) { m_pTrafficTap.store(pTap); }
    cTrafficTap* TrafficTap() const { return m_pTrafficTap.load(); }

protected:
    // Where initialise reports: the function name and the line of each message.
    struct InitLog
    {
        const char* szFunction;
        int32_t nAlreadyCreated;
        int32_t nUnknownMethod;
        int32_t nSetCommsIFFailed;
        int32_t nInitialiseFailed;
    };

    bool Initialise(const CommsSettings& settings, const char* szName, int32_t nTargetPort, int32_t nHostPort,
                    const std::string& sAllowedPeers, const InitLog& log);

    // The mismatch in words, with the setting that decides what is expected.
    // Called on the thread of WatchLink.
    virtual std::string DescribeMismatch(RC_DatagramKind eKind, uint64_t nSample) const;
    // Frames of this kind are what the protocol takes: before WatchLink first runs.
    void ExpectFrames(RC_DatagramKind eKind) { m_Mismatch.SetExpected(eKind); }

    int32_t m_nUdpTargetPort = CommsSettings::kDefaultTxPort;
    int32_t m_nUdpHostPort = CommsSettings::kDefaultRxPort;
    std::string m_sIpAddress = CommsSettings::kDefaultIpAddress;
    SerialPortCfg m_SerialCfg;
    cMultiCommsIF m_MultiCommsIF{"cMultiCommsIF"};
    std::atomic<CommsSettings::Method> m_nCommsMethod{CommsSettings::kUdp};
    std::unique_ptr<cBufferLog> m_pTrafficLog;
    std::atomic<bool> m_bLogTx{false};
    std::atomic<bool> m_bLogRx{false};
    // Which link the tap is told this is; set by the constructor of the protocol.
    cTrafficTap::Link m_eTapLink = cTrafficTap::Link::kPages;

private:
    bool CreateTransport(const std::string& sAllowedPeers, const InitLog& log);
    // What the transport reports on its status signal (a serial device gone,
    // say) goes into the debug log: the operator's record of why data stopped.
    void OnTransportStatus(const char* szText);

    boost::signals2::scoped_connection m_StatusConnection;

    // Sends hold it shared; making and removing the transport hold it alone.
    mutable std::shared_mutex m_TransportMutex;
    // Receive thread writes.
    std::atomic<uint32_t> m_nChecksumFailures{0};
    std::atomic<uint32_t> m_nGoodFrames{0};
    std::atomic<std::chrono::steady_clock::rep> m_nLastFrameTicks{0};  // 0: none yet
    std::atomic<uint32_t> m_nFramesSent{0};  // sending threads
    std::atomic<cTrafficTap*> m_pTrafficTap{nullptr};  // the owner's thread writes

    // WatchLink's thread only.
    cRC_MismatchMonitor m_Mismatch;
    std::string m_sRefusedAt;
    mutable std::mutex m_ProblemMutex;  // guards the two texts
    std::string m_sMismatchText;
    std::string m_sRefusalText;
};
