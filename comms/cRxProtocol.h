#pragma once
#include "MsgDescriptor.h"

#include <array>
#include <atomic>
#include <cstdint>

class cCommsClock;
class cCommsIO;
class cCommsLogger;

// Cuts a byte stream into frames by the registered descriptors (first byte,
// length field) and hands each whole frame to its descriptor's handler, on
// the calling (receive) thread. Allocates nothing while receiving; never reads
// outside the bytes it has collected.
class cRxProtocol
{
public:
    static constexpr int32_t kMaxDescriptors = 10;
    static constexpr int32_t kMaxFrame = 1022;
    static constexpr int32_t kBufferSize = 1027;

    enum State : int32_t
    {
        kHunting = 0,
        kSyncSeen = 1,
        kLengthHigh = 2,
        kLengthLow = 3,
        kBody = 4,
        kDelivered = 5,
        kTerminated = 8,
    };

    cRxProtocol() = default;
    virtual ~cRxProtocol() = default;
    cRxProtocol(const cRxProtocol&) = delete;
    cRxProtocol& operator=(const cRxProtocol&) = delete;

    // 0 on success, 1 adjustment too big, 3 table full. nMode is one of
    // MsgDescriptor::Mode; frames go to pOwner->VerifyChecksum (none: dropped).
    int32_t LoadMsgDescriptor(int32_t nMode, int32_t nLengthPos, int32_t nLengthAdjust, cCommsIO* pOwner);
    // As above with a handler of the caller's choice (the protocol objects use the one above).
    int32_t LoadMsgDescriptor(const MsgDescriptor& descriptor);

    virtual bool ProcessByte(uint8_t nByte);
    virtual void Flush();
    // Same result as ProcessByte on each byte in turn; copies frame bodies in
    // one step. Returns how many bytes were discarded; bLastResult is the
    // result for the last byte.
    int32_t ProcessBlock(const uint8_t* pData, int32_t nCount, bool& bLastResult);
    // Gives up a frame left unfinished (logged as a skip) and hunts for the
    // next first byte. Returns how many collected bytes were given up.
    int32_t Restart();

    void SetClock(const cCommsClock* pClock) { m_pClock.store(pClock); }
    void SetLogger(cCommsLogger* pLogger) { m_pLogger.store(pLogger); }

    uint8_t m_nDefaultSync = 0x24;

    int32_t State() const { return m_nState; }
    int32_t Collected() const { return m_nCollected; }
    int32_t DescriptorCount() const { return m_nDescriptors.load(std::memory_order_acquire); }
    // Partial frames dropped since start (a length no frame can have, or a new
    // sync byte where the second byte of a frame was due). Readable from any thread.
    uint32_t FramesSkipped() const { return m_nFramesSkipped.load(std::memory_order_relaxed); }
    // Frames handed on since start (whatever their checksum). Receive thread only:
    // the transport compares it around a datagram to see whether it held a frame.
    uint32_t FramesFound() const { return m_nFramesFound; }

private:
    bool Step(uint8_t nByte);
    bool FindByFirst(uint8_t nFirst);
    bool FindByFirstAndSecond(uint8_t nFirst, uint8_t nSecond);
    bool IsAnySync(uint8_t nByte) const;
    void StartFrame(uint8_t nByte, int32_t nNextState);
    bool LengthComplete(uint8_t nByte, int32_t nLength);
    void Deliver(int32_t nLength, const char* szLabel);
    void Log(const uint8_t* pData, int32_t nCount, const char* szLabel) const;
    void Skip();

    // An entry is written whole before m_nDescriptors is raised to publish it,
    // and never changes after, so the receive thread reads it without a lock.
    std::array<MsgDescriptor, kMaxDescriptors> m_Descriptors{};
    std::atomic<int32_t> m_nDescriptors{0};
    // The frame being collected: a published entry, pointed at rather than
    // copied, so starting a frame copies no handler.
    const MsgDescriptor* m_pCurrent = nullptr;
    int32_t m_nState = kHunting;
    int32_t m_nCollected = 0;
    int32_t m_nExpected = 0;
    uint32_t m_nFramesFound = 0;  // beside the state it changes with: one cache line
    std::array<uint8_t, kBufferSize> m_Buffer{};
    int64_t m_nRxTime = 0;
    std::atomic<const cCommsClock*> m_pClock{nullptr};
    std::atomic<cCommsLogger*> m_pLogger{nullptr};
    std::atomic<uint32_t> m_nFramesSkipped{0};  // receive thread counts
};
