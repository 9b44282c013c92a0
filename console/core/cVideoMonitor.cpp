#include "cVideoMonitor.h"

#include "DbgLog.h"

#include <algorithm>
#include <vector>

std::optional<int64_t> cVideoMonitor::LatencyUs(uint64_t nKlvTimeUs, WallClock::time_point paintedAt)
{
    if (nKlvTimeUs == 0)
        return std::nullopt;
    const int64_t nPaintedUs = std::chrono::duration_cast<std::chrono::microseconds>(paintedAt.time_since_epoch()).count();
    return nPaintedUs - static_cast<int64_t>(nKlvTimeUs);
}

void cVideoMonitor::OnFrame(int32_t nWidth, int32_t nHeight, SteadyClock::time_point now)
{
    m_nWidth = nWidth;
    m_nHeight = nHeight;
    m_LastFrame = now;
    m_bAnyFrame = true;
    m_FrameTimes.push_back(now);
    Expire(now);
    Update(now);
}

void cVideoMonitor::OnPainted(uint64_t nKlvTimeUs, SteadyClock::time_point now, WallClock::time_point paintedAt)
{
    if (const std::optional<int64_t> nLatency = LatencyUs(nKlvTimeUs, paintedAt))
        m_Latencies.emplace_back(now, *nLatency);
    Expire(now);
}

bool cVideoMonitor::Update(SteadyClock::time_point now)
{
    const bool bPresent = m_bAnyFrame && now - m_LastFrame < kAbsentAfter;
    if (bPresent == m_bPresent)
    {
        // Steady for a while after short interruptions: one line for them all.
        if (bPresent && m_nQuietGaps > 0 && now - m_LastReturn >= kSteadyAfter)
        {
            DbgLog(DBG_WRN, "cVideoMonitor::Update", __LINE__,
                   DbgLogFormat("Video from %s steady again after %u more interruptions of up to %.1f s", m_sSource.c_str(),
                                m_nQuietGaps, m_dLongestQuietGap));
            m_nQuietGaps = 0;
            m_dLongestQuietGap = 0.0;
        }
        return false;
    }
    m_bPresent = bPresent;
    if (!bPresent)
    {
        m_AbsentSince = m_LastFrame;
        // A stream that keeps breaking off (a lossy link leaves only the
        // I-frames) is one lasting condition: its further gaps are counted,
        // not each said, until it has been steady for kSteadyAfter.
        m_bQuietGap = m_LastReturn != SteadyClock::time_point() && m_LastFrame - m_LastReturn < kSteadyAfter;
        DbgLog(m_bQuietGap ? DBG_DBG : DBG_WRN, "cVideoMonitor::Update", __LINE__,
               DbgLogFormat("NO VIDEO: no frame from %s for %.2g s", m_sSource.c_str(),
                            std::chrono::duration<double>(kAbsentAfter).count()));
    }
    else if (m_AbsentSince != SteadyClock::time_point())
    {
        const double dGap = std::chrono::duration<double>(now - m_AbsentSince).count();
        if (m_bQuietGap)
        {
            ++m_nQuietGaps;
            m_dLongestQuietGap = std::max(m_dLongestQuietGap, dGap);
        }
        DbgLog(m_bQuietGap ? DBG_DBG : DBG_WRN, "cVideoMonitor::Update", __LINE__,
               DbgLogFormat("Video from %s again after %.1f s without", m_sSource.c_str(), dGap));
        m_LastReturn = now;
    }
    return true;
}

void cVideoMonitor::Expire(SteadyClock::time_point now)
{
    while (!m_FrameTimes.empty() && now - m_FrameTimes.front() > kWindow)
        m_FrameTimes.pop_front();
    while (!m_Latencies.empty() && now - m_Latencies.front().first > kWindow)
        m_Latencies.pop_front();
}

double cVideoMonitor::FramesPerSecond(SteadyClock::time_point now)
{
    Expire(now);
    // Intervals between the frames of the last second, so that the rate
    // settles after two frames rather than after a whole second.
    if (m_FrameTimes.size() < 2)
        return 0.0;
    const double dSpan = std::chrono::duration<double>(m_FrameTimes.back() - m_FrameTimes.front()).count();
    return dSpan > 0 ? (m_FrameTimes.size() - 1) / dSpan : 0.0;
}

cVideoMonitor::Latency cVideoMonitor::LatencyOverLastSecond(SteadyClock::time_point now)
{
    Expire(now);
    Latency latency;
    latency.nSamples = m_Latencies.size();
    if (m_Latencies.empty())
        return latency;
    std::vector<int64_t> values;
    values.reserve(m_Latencies.size());
    for (const auto& [time, nUs] : m_Latencies)
        values.push_back(nUs);
    const size_t nMiddle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(nMiddle), values.end());
    int64_t nMedian = values[nMiddle];
    if (values.size() % 2 == 0)
        nMedian = (nMedian + *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(nMiddle))) / 2;
    latency.median = std::chrono::microseconds(nMedian);
    latency.worst = std::chrono::microseconds(*std::max_element(values.begin(), values.end()));
    return latency;
}
