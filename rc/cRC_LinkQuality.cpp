#include "cRC_LinkQuality.h"

#include "cRC_HeartbeatMonitor.h"

#include <algorithm>

cRC_LinkQuality::cRC_LinkQuality() : cRC_LinkQuality(Settings{})
{
}

cRC_LinkQuality::cRC_LinkQuality(const Settings& settings) : m_Settings(settings)
{
    m_RoundTrips.reserve(kMaxOutcomes);
}

void cRC_LinkQuality::Configure(const Settings& settings)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Settings = settings;
}

cRC_LinkQuality::Settings cRC_LinkQuality::Current() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_Settings;
}

uint64_t cRC_LinkQuality::RequestSent(uint8_t nSubSystem, uint8_t nIndex, uint16_t nItem, Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    ExpirePending(now);
    // Full only under a flood of requests: the oldest then goes uncounted.
    const uint64_t nTicket = m_nNextTicket++;
    m_Pending.push_back({nTicket, now, nItem, nSubSystem, nIndex});
    return nTicket;
}

void cRC_LinkQuality::RequestWithdrawn(uint64_t nTicket)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    const auto it = std::find_if(m_Pending.begin(), m_Pending.end(),
                                 [nTicket](const Pending& pending) { return pending.nTicket == nTicket; });
    if (it != m_Pending.end())
        m_Pending.erase(it);
}

void cRC_LinkQuality::StatusReceived(uint8_t nSubSystem, uint8_t nIndex, const Items& items, Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    // Requests past their timeout are unanswered, whatever arrives now.
    ExpirePending(now);
    const auto itEnd = std::remove_if(m_Pending.begin(), m_Pending.end(), [&](const Pending& pending) {
        const bool bMatch = pending.nSubSystem == nSubSystem && pending.nIndex == nIndex &&
                            (pending.nItem == kAnyItem || (pending.nItem < items.size() && items.test(pending.nItem)));
        if (bMatch)
            m_Outcomes.push_back({pending.sent, now - pending.sent});
        return bMatch;
    });
    m_Pending.erase(itEnd, m_Pending.end());
    DropOldOutcomes(now);
}

void cRC_LinkQuality::EoReportReceived(Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_EoReports.push_back(now);
    DropOldReports(now);
}

void cRC_LinkQuality::EoStreamStopped()
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_EoReports.clear();
}

bool cRC_LinkQuality::FrameReceived(Link eLink, const uint8_t* pFrame, size_t nLength, Clock::time_point now)
{
    if (!pFrame || nLength == 0)
        return false;
    const uint64_t nHash = Hash(pFrame, nLength);
    const size_t nLink = static_cast<size_t>(eLink) & 1;
    std::lock_guard<std::mutex> lock(m_Mutex);
    boost::circular_buffer<RecentFrame>& recent = m_Recent[nLink];
    while (!recent.empty() && now - recent.front().when > m_Settings.duplicateWindow)
        recent.pop_front();
    if (m_Settings.duplicateWindow <= Clock::duration::zero())
        return false;
    // Two different frames of the same length sharing a 64-bit hash among
    // the few of one short window is too unlikely to keep copies for.
    const bool bDuplicate = std::any_of(recent.begin(), recent.end(), [&](const RecentFrame& frame) {
        return frame.nHash == nHash && frame.nLength == nLength;
    });
    if (bDuplicate)
    {
        ++m_nDuplicates[nLink];
        return true;
    }
    recent.push_back({nHash, nLength, now});
    return false;
}

void cRC_LinkQuality::HeartbeatSent()
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_bHeartbeatsSent = true;
}

void cRC_LinkQuality::HeartbeatReceived(uint8_t nRemoteMissed, uint8_t nRemoteState, Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (!m_Heartbeats.empty() && now - m_Heartbeats.back().when < m_Settings.duplicateWindow)
        return;
    // The remote's share of ours missed is the share of its reports that say
    // any were missed, rather than the steps of its count: the count stops at
    // its limit and falls back to 0 on the next heartbeat of ours, so with its
    // own reports lost too the steps cannot be told apart, while each report
    // that does arrive is a fair sample of "was our last heartbeat missing".
    // Until the remote first reports itself active, its count describes its
    // own start (nothing heard yet), not the link.
    if (nRemoteState == cRC_HeartbeatMonitor::kActive)
        m_bRemoteWasActive = true;
    m_Heartbeats.push_back({now, m_bRemoteWasActive, m_bRemoteWasActive && nRemoteMissed != 0});
    DropOldHeartbeats(now);
}

cRC_LinkQuality::Figures cRC_LinkQuality::Snapshot(Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    ExpirePending(now);
    DropOldOutcomes(now);
    DropOldReports(now);
    DropOldHeartbeats(now);

    Figures figures;
    const Clock::time_point cutoff = now - kWindow;
    m_RoundTrips.clear();
    for (const Outcome& outcome : m_Outcomes)
    {
        // Decided out of send order (an answer before an earlier timeout), so
        // the ring is not sorted by send time: each is checked.
        if (outcome.sent < cutoff)
            continue;
        if (outcome.roundTrip < Clock::duration::zero())
            ++figures.nUnanswered;
        else
            m_RoundTrips.push_back(outcome.roundTrip);
    }
    figures.nAnswered = static_cast<uint32_t>(m_RoundTrips.size());
    if (!m_RoundTrips.empty())
    {
        const auto itMiddle = m_RoundTrips.begin() + static_cast<std::ptrdiff_t>(m_RoundTrips.size() / 2);
        std::nth_element(m_RoundTrips.begin(), itMiddle, m_RoundTrips.end());
        figures.medianRoundTrip = *itMiddle;
        figures.worstRoundTrip = *std::max_element(m_RoundTrips.begin(), m_RoundTrips.end());
    }

    if (!m_EoReports.empty() && m_EoReports.back() >= cutoff)
    {
        figures.bEoReports = true;
        auto count = [&](Clock::duration gap) {
            // An interval longer than the window is the stream starting again
            // (the EO output switched on later), not a gap in it.
            if (gap > kWindow)
                return;
            figures.longestEoGap = std::max(figures.longestEoGap, gap);
            if (gap > m_Settings.eoGapThreshold)
                ++figures.nEoGapsOver;
        };
        for (size_t i = 1; i < m_EoReports.size(); ++i)
            if (m_EoReports[i] >= cutoff)
                count(m_EoReports[i] - m_EoReports[i - 1]);
        // The silence since the last report grows as a gap would.
        count(now - m_EoReports.back());
    }
    figures.duplicates = m_nDuplicates;
    if (m_bHeartbeatsSent)
        CountHeartbeats(figures, now);
    return figures;
}

void cRC_LinkQuality::CountHeartbeats(Figures& figures, Clock::time_point now) const
{
    figures.bHeartbeats = true;
    const Clock::time_point cutoff = now - kWindow;
    uint32_t nReceived = 0;
    uint32_t nMissed = 0;
    // The periods due after a heartbeat at `from` that had passed by `to`
    // without one, those within the window only. Heartbeat k is due at
    // from + k periods and missed once half a period more has gone.
    const auto countMissed = [&](Clock::time_point from, Clock::time_point to) {
        const Clock::duration silence = to - from - kHeartbeatPeriod / 2;
        if (silence < kHeartbeatPeriod)
            return;
        const int64_t nLast = silence / kHeartbeatPeriod;
        int64_t nFirst = 1;
        if (from < cutoff)
            nFirst = std::max<int64_t>(1, (cutoff - from + kHeartbeatPeriod - Clock::duration(1)) / kHeartbeatPeriod);
        if (nLast >= nFirst)
            nMissed += static_cast<uint32_t>(nLast - nFirst + 1);
    };
    for (size_t i = 0; i < m_Heartbeats.size(); ++i)
    {
        const Heartbeat& heartbeat = m_Heartbeats[i];
        if (i > 0)
            countMissed(m_Heartbeats[i - 1].when, heartbeat.when);
        if (heartbeat.when < cutoff)
            continue;
        ++nReceived;
        if (heartbeat.bReport)
        {
            ++figures.nRemoteReports;
            if (heartbeat.bReportsMissed)
                ++figures.nRemoteReportsMissed;
        }
    }
    // The silence since the last one; before the first there is nothing to
    // count from, so a remote not yet heard misses nothing (the link is then
    // lost anyway).
    if (!m_Heartbeats.empty())
        countMissed(m_Heartbeats.back().when, now);
    figures.nHeartbeatsDue = nReceived + nMissed;
    figures.nHeartbeatsMissed = nMissed;
}

void cRC_LinkQuality::ExpirePending(Clock::time_point now)
{
    const auto itEnd = std::remove_if(m_Pending.begin(), m_Pending.end(), [&](const Pending& pending) {
        const bool bExpired = now - pending.sent > m_Settings.replyTimeout;
        if (bExpired)
            m_Outcomes.push_back({pending.sent, Clock::duration(-1)});
        return bExpired;
    });
    m_Pending.erase(itEnd, m_Pending.end());
}

void cRC_LinkQuality::DropOldOutcomes(Clock::time_point now)
{
    const Clock::time_point cutoff = now - kWindow;
    while (!m_Outcomes.empty() && m_Outcomes.front().sent < cutoff)
        m_Outcomes.pop_front();
}

void cRC_LinkQuality::DropOldReports(Clock::time_point now)
{
    // The last report before the window stays: the interval it starts may end inside.
    const Clock::time_point cutoff = now - kWindow;
    while (m_EoReports.size() >= 2 && m_EoReports[1] < cutoff)
        m_EoReports.pop_front();
}

void cRC_LinkQuality::DropOldHeartbeats(Clock::time_point now)
{
    // As with EO reports, the last before the window starts the silence that may end inside it.
    const Clock::time_point cutoff = now - kWindow;
    while (m_Heartbeats.size() >= 2 && m_Heartbeats[1].when < cutoff)
        m_Heartbeats.pop_front();
}

uint64_t cRC_LinkQuality::Hash(const uint8_t* pFrame, size_t nLength)
{
    // FNV-1a.
    uint64_t nHash = 14695981039346656037ull;
    for (size_t i = 0; i < nLength; ++i)
    {
        nHash ^= pFrame[i];
        nHash *= 1099511628211ull;
    }
    return nHash;
}
