#pragma once
#include "RC_Frame.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

// A copy of every whole frame the protocol objects receive and send, for the
// traffic inspector. The receiving and sending threads never wait here: a
// frame is copied into the next free slot of a fixed ring (a bounded
// multi-producer queue: a writer claims a slot by one compare-and-swap, and
// each slot's sequence number hands it from its writer to the reader and
// back), and when the ring is full it is counted as not shown and dropped.
// One reader (the user interface's refresh) drains the frames in the order
// their slots were claimed. The ring is made with the tap, so taking a frame
// allocates nothing.
class cTrafficTap
{
public:
    enum class Link : uint8_t
    {
        kPages = 0,
        kEo = 1,
    };
    enum class Direction : uint8_t
    {
        kRx = 0,
        kTx = 1,
    };

    static constexpr size_t kSlots = 2048;
    static constexpr size_t kMaxBytes = RC_Frame::kMaxFrame;  // the framer hands on nothing longer

    struct Frame
    {
        std::chrono::steady_clock::time_point steady;
        std::chrono::system_clock::time_point wall;
        Link eLink = Link::kPages;
        Direction eDirection = Direction::kRx;
        bool bChecksumGood = true;
        uint32_t nLength = 0;  // as it was on the link; the first kMaxBytes of it are kept
        std::array<uint8_t, kMaxBytes> bytes;

        size_t Kept() const { return nLength < kMaxBytes ? nLength : kMaxBytes; }
    };

    cTrafficTap();
    ~cTrafficTap();
    cTrafficTap(const cTrafficTap&) = delete;
    cTrafficTap& operator=(const cTrafficTap&) = delete;

    // Any thread; never waits and never allocates.
    void Record(Link eLink, Direction eDirection, const uint8_t* pFrame, int32_t nLength, bool bChecksumGood);

    // The reader's side (one thread at a time): hands each waiting frame to
    // fnTake, at most nMax of them; the number handed on.
    template <typename Fn>
    size_t Drain(Fn&& fnTake, size_t nMax = kSlots)
    {
        size_t nTaken = 0;
        while (nTaken < nMax)
        {
            Slot& slot = m_pSlots[m_nReadPosition % kSlots];
            // A writer that claimed the slot and has not finished is waited for by the next drain.
            if (slot.nSequence.load(std::memory_order_acquire) != m_nReadPosition + 1)
                break;
            fnTake(static_cast<const Frame&>(slot.frame));
            slot.nSequence.store(m_nReadPosition + kSlots, std::memory_order_release);
            ++m_nReadPosition;
            ++nTaken;
        }
        return nTaken;
    }

    // Frames taken into the pool, and those dropped because it was full.
    uint64_t Recorded() const { return m_nRecorded.load(std::memory_order_relaxed); }
    uint64_t NotShown() const { return m_nNotShown.load(std::memory_order_relaxed); }

private:
    struct Slot
    {
        // Equal to the claiming position: free for that writer; one more: filled, for the reader.
        std::atomic<uint64_t> nSequence{0};
        Frame frame;
    };

    std::unique_ptr<Slot[]> m_pSlots;
    alignas(64) std::atomic<uint64_t> m_nWritePosition{0};  // writers claim here
    alignas(64) uint64_t m_nReadPosition = 0;                // the reader's alone
    std::atomic<uint64_t> m_nRecorded{0};  // recording threads
    std::atomic<uint64_t> m_nNotShown{0};  // recording threads
};
