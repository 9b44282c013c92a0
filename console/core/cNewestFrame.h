#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <utility>

// The hand-off of decoded frames from the decoder's thread to the painter:
// one slot, newest only. A frame that arrives while another waits replaces
// it (and is counted), so the picture never falls behind the stream however
// slow the painting. Put tells the producer whether the slot was empty, so
// it wakes the painter once per frame taken rather than once per frame made.
template <typename Frame>
class cNewestFrame
{
public:
    // Producer's thread. True when the slot was empty: the painter needs waking.
    bool Put(Frame frame)
    {
        std::optional<Frame> replaced;
        bool bWasEmpty = false;
        {
            const std::lock_guard<std::mutex> lock(m_Mutex);
            bWasEmpty = !m_Waiting.has_value();
            if (!bWasEmpty)
                replaced = std::move(m_Waiting);
            m_Waiting = std::move(frame);
        }
        if (!bWasEmpty)
            m_nReplaced.fetch_add(1, std::memory_order_relaxed);
        // The replaced frame is let go here, outside the lock: its release may be slow.
        return bWasEmpty;
    }

    // Painter's thread: the waiting frame, if any, leaving the slot empty.
    std::optional<Frame> Take()
    {
        std::optional<Frame> taken;
        const std::lock_guard<std::mutex> lock(m_Mutex);
        taken.swap(m_Waiting);
        return taken;
    }

    // Any thread.
    uint64_t Replaced() const { return m_nReplaced.load(std::memory_order_relaxed); }
    // Any thread: lets the waiting frame go (the source is stopping).
    void Clear() { Take(); }

private:
    std::mutex m_Mutex;  // guards m_Waiting
    std::optional<Frame> m_Waiting;
    std::atomic<uint64_t> m_nReplaced{0};  // written by the producer
};
