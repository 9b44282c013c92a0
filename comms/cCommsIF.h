#pragma once
#include "RC_DatagramKind.h"

#include <array>
#include <atomic>
#include <boost/signals2/signal.hpp>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class cCommsClock;
class cCommsLogger;
class cRxProtocol;

// The abstract transport (UDP or serial). It owns a receive framer and an
// optional traffic logger; received blocks go through processRxData on the
// transport's receive thread. Sends may come from several threads: they are
// serialised here so that a send label and the bytes of one frame stay together.
class cCommsIF
{
public:
    using RawRxSignal = boost::signals2::signal<void(const unsigned char*, unsigned int, long long)>;
    using StatusSignal = boost::signals2::signal<void(long long, int, const char*)>;

    explicit cCommsIF(const char* szName);
    virtual ~cCommsIF();
    cCommsIF(const cCommsIF&) = delete;
    cCommsIF& operator=(const cCommsIF&) = delete;

    virtual void enableLogging(bool bEnable);
    virtual void configureLogging(bool bLogRx, bool bLogTx, const char* szLogName);
    virtual void Terminate();
    virtual bool startRx() = 0;
    virtual bool stopRx() = 0;
    virtual int messageSend(const uint8_t* pData, int32_t nCount) = 0;  // 0 on success
    virtual int sendLabelled(const uint8_t* pData, int32_t nCount, const char* szLabel);
    virtual bool isOpen() = 0;
    virtual bool purgeRx() = 0;
    virtual bool purgeTx() = 0;
    virtual bool purgeRxTx() = 0;
    virtual void setClock(cCommsClock* pClock);
    virtual cCommsClock* getClock() const;
    virtual bool getTime(int64_t& nTime) const;
    virtual bool loadProtocol(cRxProtocol* pProtocol = nullptr);
    virtual cRxProtocol* getProtocol() const;
    virtual void setName(const char* szName);
    virtual void logText(const char* szText);
    virtual std::shared_ptr<cCommsLogger> getLogger() const;
    virtual int processRxData(const uint8_t* pData, int32_t nCount, cRxProtocol* pProtocol);
    virtual int processRxDataDefault(const uint8_t* pData, int32_t nCount);
    // One datagram for the own framer: a frame never spans two datagrams, so
    // whatever the previous one left unfinished is given up (and counted as
    // discarded) first. A datagram that ends inside junk can then not swallow
    // the frame that arrives next.
    int processRxDatagram(const uint8_t* pData, int32_t nCount);
    virtual void logTx(const uint8_t* pData, int32_t nCount, std::shared_ptr<cCommsLogger> pLogger);

    const char* Name() const { return m_szName; }
    int32_t BytesReceived() const { return m_nBytesReceived.load(std::memory_order_relaxed); }
    int32_t BytesDiscarded() const { return m_nBytesDiscarded.load(std::memory_order_relaxed); }
    int32_t BytesSent() const { return m_nBytesSent.load(std::memory_order_relaxed); }
    // Datagrams dropped because their sender is not allowed (UDP only).
    virtual uint32_t PeerRejects() const { return 0; }
    // Datagrams in which the framer found no frame, by what their first bytes
    // look like (empty ones are not counted), and the first 8 bytes of the
    // latest of each kind, first byte lowest. Readable from any thread.
    uint32_t UnframedDatagrams(RC_DatagramKind eKind) const
    {
        return m_nUnframed[static_cast<size_t>(eKind)].load(std::memory_order_relaxed);
    }
    uint64_t UnframedSample(RC_DatagramKind eKind) const
    {
        return m_nUnframedSample[static_cast<size_t>(eKind)].load(std::memory_order_relaxed);
    }
    // Sends the far end refused (nothing listens there; UDP only), and where
    // the latest refused datagrams went ("address:port"). Any thread.
    virtual uint32_t Refusals() const { return 0; }
    virtual std::string RefusedDestination() const { return {}; }

    RawRxSignal m_sigRawRx;
    StatusSignal m_sigStatus;

protected:
    // What every transport's initialise ends with: its own framer (a failure is
    // logged under the caller's name and line), then traffic logging if asked.
    bool prepareRx(const char* szFunction, int32_t nLine, bool bStartLog);
    // The label of the send in progress; only valid inside messageSend.
    const std::string& SendLabel() const { return m_sSendLabel; }

    std::atomic<cCommsClock*> m_pClock{nullptr};
    std::shared_ptr<cCommsLogger> m_pLogger;  // guarded by m_LoggerMutex
    mutable std::mutex m_LoggerMutex;
    std::atomic<bool> m_bLogTx{false};
    std::atomic<bool> m_bLogRx{false};
    // Written by the receive thread (received, discarded) and the sending threads (sent).
    std::atomic<int32_t> m_nBytesReceived{0};
    std::atomic<int32_t> m_nBytesDiscarded{0};
    std::atomic<int32_t> m_nBytesSent{0};
    cRxProtocol* m_pProtocol = nullptr;
    bool m_bProtocolOwned = false;
    const char* m_szName;

private:
    void NoteUnframed(const uint8_t* pData, int32_t nCount);

    // Receive thread writes.
    std::array<std::atomic<uint32_t>, RC_kDatagramKinds> m_nUnframed{};
    std::array<std::atomic<uint64_t>, RC_kDatagramKinds> m_nUnframedSample{};
    std::mutex m_SendMutex;  // one send at a time, with its label
    std::string m_sSendLabel;
};
