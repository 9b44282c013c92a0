#include "cTrafficTap.h"

#include <cstring>

cTrafficTap::cTrafficTap() : m_pSlots(std::make_unique<Slot[]>(kSlots))
{
    for (size_t n = 0; n < kSlots; ++n)
        m_pSlots[n].nSequence.store(n, std::memory_order_relaxed);
}

cTrafficTap::~cTrafficTap() = default;

void cTrafficTap::Record(Link eLink, Direction eDirection, const uint8_t* pFrame, int32_t nLength, bool bChecksumGood)
{
    if (!pFrame || nLength <= 0)
        return;
    uint64_t nPosition = m_nWritePosition.load(std::memory_order_relaxed);
    Slot* pSlot = nullptr;
    for (;;)
    {
        pSlot = &m_pSlots[nPosition % kSlots];
        const uint64_t nSequence = pSlot->nSequence.load(std::memory_order_acquire);
        if (nSequence == nPosition)
        {
            // Free for this position: claim it, unless another writer was quicker.
            if (m_nWritePosition.compare_exchange_weak(nPosition, nPosition + 1, std::memory_order_relaxed))
                break;
        }
        else if (nSequence < nPosition)
        {
            // Still holding the frame of one lap ago: the reader is behind.
            m_nNotShown.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        else
        {
            nPosition = m_nWritePosition.load(std::memory_order_relaxed);
        }
    }
    Frame& frame = pSlot->frame;
    frame.steady = std::chrono::steady_clock::now();
    frame.wall = std::chrono::system_clock::now();
    frame.eLink = eLink;
    frame.eDirection = eDirection;
    frame.bChecksumGood = bChecksumGood;
    frame.nLength = static_cast<uint32_t>(nLength);
    std::memcpy(frame.bytes.data(), pFrame, frame.Kept());
    pSlot->nSequence.store(nPosition + 1, std::memory_order_release);
    m_nRecorded.fetch_add(1, std::memory_order_relaxed);
}
