#include "cLinkQualityState.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace
{
std::string Percent(double dShare)
{
    return std::to_string(std::lround(dShare * 100.0)) + "%";
}

std::string Join(const std::vector<std::string>& parts)
{
    std::string sText;
    for (const std::string& sPart : parts)
        sText += (sText.empty() ? "" : ", ") + sPart;
    return sText;
}
} // namespace

const cLinkQualityState::Display& cLinkQualityState::Update(const cRC_LinkQuality::Figures& figures, bool bLost,
                                                            Clock::time_point now)
{
    const double dShare = figures.UnansweredShare();
    const bool bShareCounts = figures.nAnswered + figures.nUnanswered >= kFewestRequestsForShare;
    const double dJudged = bShareCounts ? dShare : 0.0;
    const Clock::duration eoGap = figures.bEoReports ? figures.longestEoGap : Clock::duration::zero();
    const double dMissedRx = figures.bHeartbeats ? figures.HeartbeatsMissedShare() : 0.0;
    const double dMissedTx = figures.bHeartbeats ? figures.RemoteMissedShare() : 0.0;
    const double dMissed = std::max(dMissedRx, dMissedTx);

    // What keeps the link degraded: every figure above its lower threshold.
    std::vector<std::string> high;
    if (dJudged > m_Thresholds.dLeaveUnanswered)
        high.push_back("unanswered " + Percent(dShare));
    if (figures.worstRoundTrip > m_Thresholds.leaveRoundTrip)
        high.push_back("round trip " + DurationText(figures.worstRoundTrip));
    if (eoGap > m_Thresholds.leaveEoGap)
        high.push_back("EO gap " + DurationText(eoGap));
    if (dMissed > m_Thresholds.dLeaveHeartbeatsMissed)
        high.push_back("heartbeats missed rx " + Percent(dMissedRx) + " tx " + Percent(dMissedTx));

    const bool bEnter = dJudged > m_Thresholds.dEnterUnanswered || figures.worstRoundTrip > m_Thresholds.enterRoundTrip ||
                        eoGap > m_Thresholds.enterEoGap || dMissed > m_Thresholds.dEnterHeartbeatsMissed;
    if (bEnter)
    {
        m_bDegraded = true;
        m_bRecovering = false;
    }
    else if (m_bDegraded)
    {
        if (!high.empty())
        {
            m_bRecovering = false;
        }
        else if (!m_bRecovering)
        {
            m_bRecovering = true;
            m_RecoveringSince = now;
        }
        else if (now - m_RecoveringSince >= m_Thresholds.hold)
        {
            m_bDegraded = false;
            m_bRecovering = false;
        }
    }

    Display display;
    display.bDegraded = m_bDegraded && !bLost;
    display.bLost = bLost;
    if (display.bDegraded)
        display.sState = "LINK DEGRADED: " + (high.empty() ? std::string("recovering") : Join(high));
    const uint32_t nDecided = figures.nAnswered + figures.nUnanswered;
    display.sRoundTrip = figures.nAnswered == 0 ? "no replies"
                                                : DurationText(figures.medianRoundTrip) + " (worst " +
                                                      DurationText(figures.worstRoundTrip) + ")";
    display.sUnanswered = nDecided == 0 ? "no requests" : Percent(dShare) + " of " + std::to_string(nDecided);
    display.sEoGaps = !figures.bEoReports ? "no reports"
                                          : "max " + DurationText(figures.longestEoGap) + ", " +
                                                std::to_string(figures.nEoGapsOver) + " over " +
                                                DurationText(m_Thresholds.enterEoGap);
    display.sDuplicates = std::to_string(figures.Duplicates());
    if (figures.bHeartbeats)
    {
        const auto part = [](const char* szWay, double dMissedShare, uint32_t nOf) {
            return std::string(szWay) + (nOf == 0 ? " -" : " " + Percent(dMissedShare) + " of " + std::to_string(nOf));
        };
        display.sHeartbeats =
            part("rx", dMissedRx, figures.nHeartbeatsDue) + ", " + part("tx", dMissedTx, figures.nRemoteReports);
    }
    if (!(display == m_Display))
        m_Display = std::move(display);
    return m_Display;
}

std::string cLinkQualityState::DurationText(Clock::duration duration)
{
    const auto nMs = std::chrono::duration_cast<std::chrono::milliseconds>(duration).count();
    if (nMs < 1)
        return "< 1 ms";
    if (nMs < 1000)
        return std::to_string(nMs) + " ms";
    char szText[32];
    std::snprintf(szText, sizeof(szText), "%.1f s", static_cast<double>(nMs) / 1000.0);
    return szText;
}
