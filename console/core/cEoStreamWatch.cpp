#include "cEoStreamWatch.h"

#include <algorithm>

void cEoStreamWatch::Wanted(bool bWanted, Clock::time_point now)
{
    m_bWanted = bWanted;
    m_bSilent = false;
    m_LastAsk = now;
    m_Wait = kFirstWait;
}

bool cEoStreamWatch::AskAgain(bool bLinkUp, std::optional<Clock::time_point> lastReport, Clock::time_point now)
{
    if (!m_bWanted)
        return false;
    const bool bReportSinceAsk = lastReport && *lastReport >= m_LastAsk;
    if (bReportSinceAsk)
    {
        // The stream flows: a later silence starts from the first wait again.
        m_bSilent = false;
        m_Wait = kFirstWait;
    }
    // A link that is down gets its asks once it is up again: they would be lost.
    if (!bLinkUp)
        return false;
    const Clock::time_point quietSince = bReportSinceAsk ? *lastReport : m_LastAsk;
    if (now - quietSince < m_Wait)
        return false;
    if (!bReportSinceAsk)
    {
        m_bSilent = true;
        m_Wait = std::min<Clock::duration>(m_Wait * 2, kLongestWait);
    }
    m_LastAsk = now;
    return true;
}
