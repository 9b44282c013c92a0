#include "cTrafficHistory.h"

#include "cBufferLog.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace
{
// The console's traffic log, written with the frames' own times instead of the clock's.
class cReplayedClockLog : public cBufferLog
{
public:
    using cBufferLog::cBufferLog;
    int64_t m_nNowMicroseconds = 0;

protected:
    int64_t NowMicroseconds() const override { return m_nNowMicroseconds; }
};

int64_t WholeSecond(cTrafficHistory::Clock::time_point when)
{
    return std::chrono::duration_cast<std::chrono::seconds>(when.time_since_epoch()).count();
}
} // namespace

cTrafficHistory::cTrafficHistory(size_t nCapacity) : m_Ring(nCapacity > 0 ? nCapacity : 1)
{
}

void cTrafficHistory::Add(const cTrafficTap::Frame& frame, bool bKeep)
{
    ++m_nCounted;
    const uint8_t nSync = frame.Kept() > 0 ? frame.bytes[0] : 0;
    const uint8_t nSubSystem = frame.Kept() > 1 ? frame.bytes[1] : 0;
    Counter& counter = m_Counters[Key(static_cast<uint8_t>(frame.eLink), static_cast<uint8_t>(frame.eDirection), nSync, nSubSystem)];
    const int64_t nSecond = WholeSecond(frame.steady);
    if (nSecond != counter.nSecond)
    {
        // The second that ends is the rate only if the new one follows it at once.
        const bool bNext = nSecond == counter.nSecond + 1;
        counter.nPreviousFrames = bNext ? counter.nSecondFrames : 0;
        counter.nPreviousBytes = bNext ? counter.nSecondBytes : 0;
        counter.nSecondFrames = 0;
        counter.nSecondBytes = 0;
        counter.nSecond = nSecond;
    }
    ++counter.nFrames;
    ++counter.nSecondFrames;
    counter.nBytes += frame.nLength;
    counter.nSecondBytes += frame.nLength;
    counter.lastSeen = frame.steady;

    if (!bKeep)
    {
        ++m_nNotKept;
        return;
    }
    size_t nSlot = 0;
    if (m_nCount < m_Ring.size())
    {
        nSlot = (m_nHead + m_nCount) % m_Ring.size();
        ++m_nCount;
    }
    else
    {
        nSlot = m_nHead;
        m_nHead = (m_nHead + 1) % m_Ring.size();
    }
    Record& record = m_Ring[nSlot];
    record.nNumber = m_nNextNumber++;
    record.steady = frame.steady;
    record.wall = frame.wall;
    record.eLink = frame.eLink;
    record.eDirection = frame.eDirection;
    record.bChecksumGood = frame.bChecksumGood;
    record.nLength = frame.nLength;
    // Reuses the buffer the slot had: a full ring allocates only for a frame longer than it held.
    record.bytes.assign(frame.bytes.begin(), frame.bytes.begin() + static_cast<std::ptrdiff_t>(frame.Kept()));
}

void cTrafficHistory::Clear()
{
    m_nHead = 0;
    m_nCount = 0;
}

const cTrafficHistory::Record* cTrafficHistory::Find(uint64_t nNumber) const
{
    if (nNumber < FirstNumber() || nNumber >= EndNumber())
        return nullptr;
    return &At(static_cast<size_t>(nNumber - FirstNumber()));
}

std::vector<cTrafficHistory::Figure> cTrafficHistory::Figures(Clock::time_point now) const
{
    std::vector<Figure> figures;
    figures.reserve(m_Counters.size());
    const int64_t nNow = WholeSecond(now);
    for (const auto& [key, counter] : m_Counters)
    {
        Figure figure;
        figure.eLink = static_cast<cTrafficTap::Link>(std::get<0>(key));
        figure.eDirection = static_cast<cTrafficTap::Direction>(std::get<1>(key));
        figure.nSync = std::get<2>(key);
        figure.nSubSystem = std::get<3>(key);
        figure.nFrames = counter.nFrames;
        figure.nBytes = counter.nBytes;
        figure.lastSeen = counter.lastSeen;
        // The last whole second before now.
        if (counter.nSecond == nNow)
        {
            figure.dFramesPerSecond = static_cast<double>(counter.nPreviousFrames);
            figure.dBytesPerSecond = static_cast<double>(counter.nPreviousBytes);
        }
        else if (counter.nSecond == nNow - 1)
        {
            figure.dFramesPerSecond = static_cast<double>(counter.nSecondFrames);
            figure.dBytesPerSecond = static_cast<double>(counter.nSecondBytes);
        }
        figures.push_back(figure);
    }
    return figures;
}

bool cTrafficHistory::Save(const std::string& sPath, std::string& sError) const
{
    cReplayedClockLog log(sPath);
    log.LogStart();
    if (!log.IsOpen())
    {
        sError = "cannot write " + sPath + ": " + std::strerror(errno);
        return false;
    }
    const Clock::time_point start = m_nCount > 0 ? At(0).steady : Clock::time_point();
    for (size_t n = 0; n < m_nCount; ++n)
    {
        const Record& record = At(n);
        // Frames taken on different threads may be a moment out of order; a log's time never goes back.
        const int64_t nMicroseconds = std::chrono::duration_cast<std::chrono::microseconds>(record.steady - start).count();
        log.m_nNowMicroseconds = std::max(log.m_nNowMicroseconds, nMicroseconds);
        log.LogData(record.bytes.data(), static_cast<int32_t>(record.bytes.size()),
                    record.eDirection == cTrafficTap::Direction::kRx ? "Rx Msg" : "Tx Msg");
    }
    // Before the log goes: its destructor would stop it by the real clock.
    log.LogStop();
    return true;
}
