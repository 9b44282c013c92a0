#pragma once
#include "cTrafficTap.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

// What the traffic inspector keeps of the frames the tap took: the last
// kCapacity of them, oldest first, each numbered in the order it came, and per
// link, direction and subsystem the frames and bytes per second and when the
// last one came. Memory stays flat at any rate: the records are a ring whose
// byte buffers are reused, so once the ring is full nothing grows. Frames
// that arrive while the table is held (paused) count in the figures but are
// not kept. Used on one thread (the user interface's).
class cTrafficHistory
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr size_t kCapacity = 10000;

    struct Record
    {
        uint64_t nNumber = 0;
        Clock::time_point steady;
        std::chrono::system_clock::time_point wall;
        cTrafficTap::Link eLink = cTrafficTap::Link::kPages;
        cTrafficTap::Direction eDirection = cTrafficTap::Direction::kRx;
        bool bChecksumGood = true;
        uint32_t nLength = 0;  // on the link; bytes holds all of it up to cTrafficTap::kMaxBytes
        std::vector<uint8_t> bytes;
    };

    struct Figure
    {
        cTrafficTap::Link eLink = cTrafficTap::Link::kPages;
        cTrafficTap::Direction eDirection = cTrafficTap::Direction::kRx;
        uint8_t nSync = 0;       // the frame kind's first byte: EO reports are told from page frames
        uint8_t nSubSystem = 0;  // an EO report's identifier
        uint64_t nFrames = 0;
        uint64_t nBytes = 0;
        double dFramesPerSecond = 0.0;  // over the last whole second
        double dBytesPerSecond = 0.0;
        Clock::time_point lastSeen;
    };

    explicit cTrafficHistory(size_t nCapacity = kCapacity);

    // Counts the frame in the figures and, unless bKeep is false, keeps it.
    void Add(const cTrafficTap::Frame& frame, bool bKeep = true);
    // Forgets the frames kept (not the figures); numbering goes on.
    void Clear();

    size_t Size() const { return m_nCount; }
    size_t Capacity() const { return m_Ring.size(); }
    // The nth frame kept, 0 the oldest.
    const Record& At(size_t n) const { return m_Ring[(m_nHead + n) % m_Ring.size()]; }
    // Numbers of the oldest frame kept and one past the newest.
    uint64_t FirstNumber() const { return m_nNextNumber - m_nCount; }
    uint64_t EndNumber() const { return m_nNextNumber; }
    // The kept frame of that number; null when it is not (or no longer) kept.
    const Record* Find(uint64_t nNumber) const;

    // Every link, direction and subsystem seen, in that order; rates as of now.
    std::vector<Figure> Figures(Clock::time_point now) const;
    uint64_t FramesCounted() const { return m_nCounted; }
    uint64_t NotKept() const { return m_nNotKept; }

    // The frames kept, as the console's traffic log writes them (what
    // vms-sim --replay plays back): milliseconds from the first frame kept.
    // False with sError when the file cannot be written.
    bool Save(const std::string& sPath, std::string& sError) const;

private:
    struct Counter
    {
        uint64_t nFrames = 0;
        uint64_t nBytes = 0;
        Clock::time_point lastSeen;
        int64_t nSecond = 0;  // the whole second of the clock the current counts belong to
        uint64_t nSecondFrames = 0;
        uint64_t nSecondBytes = 0;
        uint64_t nPreviousFrames = 0;  // the second before it
        uint64_t nPreviousBytes = 0;
    };
    using Key = std::tuple<uint8_t, uint8_t, uint8_t, uint8_t>;  // link, direction, sync, subsystem

    std::vector<Record> m_Ring;
    size_t m_nHead = 0;
    size_t m_nCount = 0;
    uint64_t m_nNextNumber = 0;
    uint64_t m_nCounted = 0;
    uint64_t m_nNotKept = 0;
    std::map<Key, Counter> m_Counters;
};
