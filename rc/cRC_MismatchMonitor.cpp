#include "cRC_MismatchMonitor.h"

#include <cstdio>

void cRC_MismatchMonitor::SetExpected(RC_DatagramKind eKind)
{
    m_bExpected[static_cast<size_t>(eKind)] = true;
}

cRC_MismatchMonitor::Report cRC_MismatchMonitor::Update(const Counts& counts, Clock::time_point now)
{
    Report report;
    const bool bGoodFrames = Delta(counts.nGoodFrames, m_Last.nGoodFrames) > 0;
    UpdateMismatch(counts, bGoodFrames, now, report);
    UpdateRefusal(counts, bGoodFrames, now, report);
    m_Last = counts;
    return report;
}

void cRC_MismatchMonitor::UpdateMismatch(const Counts& counts, bool bGoodFrames, Clock::time_point now, Report& report)
{
    if (bGoodFrames)
    {
        // Whatever else arrives, the link works: a mismatch needs a run with
        // no good frame in it.
        m_Runs = {};
        m_bAnyGoodFrame = true;
        m_LastGoodFrame = now;
        if (m_bMismatch)
        {
            m_bMismatch = false;
            report.bMismatchEnds = true;
            report.bMismatchEndsByFrames = true;
            report.eEnded = m_eMismatch;
        }
        return;
    }

    for (size_t nKind = 0; nKind < m_Runs.size(); ++nKind)
    {
        const uint32_t nNew = Delta(counts.nUnframed[nKind], m_Last.nUnframed[nKind]);
        if (nNew == 0 || m_bExpected[nKind])
            continue;
        Run& run = m_Runs[nKind];
        if (run.nDatagrams > 0 && now - run.last > kQuiet)
            run.nDatagrams = 0;
        // Saturating: a flood that lasts must not wrap it back below "enough".
        constexpr uint32_t kMost = 1u << 30;
        run.nDatagrams = nNew >= kMost - run.nDatagrams ? kMost : run.nDatagrams + nNew;
        run.last = now;
    }

    if (m_bMismatch && now - m_Runs[static_cast<size_t>(m_eMismatch)].last > kQuiet)
    {
        m_bMismatch = false;
        report.bMismatchEnds = true;
        report.eEnded = m_eMismatch;
        m_Runs[static_cast<size_t>(m_eMismatch)] = Run{};
    }
    if (m_bMismatch || (m_bAnyGoodFrame && now - m_LastGoodFrame < kGoodFrameHold))
        return;

    // The kind seen most in its current run, among those with enough.
    size_t nBest = m_Runs.size();
    for (size_t nKind = 0; nKind < m_Runs.size(); ++nKind)
    {
        const Run& run = m_Runs[nKind];
        if (run.nDatagrams < kDatagramsToBegin || now - run.last > kQuiet)
            continue;
        if (nBest == m_Runs.size() || run.nDatagrams > m_Runs[nBest].nDatagrams)
            nBest = nKind;
    }
    if (nBest == m_Runs.size())
        return;
    m_bMismatch = true;
    m_eMismatch = static_cast<RC_DatagramKind>(nBest);
    report.bMismatchBegins = true;
    report.eBegun = m_eMismatch;
}

void cRC_MismatchMonitor::UpdateRefusal(const Counts& counts, bool bGoodFrames, Clock::time_point now, Report& report)
{
    if (Delta(counts.nRefusals, m_Last.nRefusals) > 0)
    {
        // A send counted in the same update may have been the refused one:
        // only sends counted later prove anything.
        if (!m_bRefused)
            report.bRefusalBegins = true;
        m_bRefused = true;
        m_bSentSinceRefusal = false;
        return;
    }
    if (!m_bRefused)
        return;
    if (bGoodFrames)
    {
        m_bRefused = false;
        report.bRefusalEnds = true;
        report.bRefusalEndsByFrames = true;
        return;
    }
    if (!m_bSentSinceRefusal && Delta(counts.nSent, m_Last.nSent) > 0)
    {
        m_bSentSinceRefusal = true;
        m_FirstSendSinceRefusal = now;
    }
    if (m_bSentSinceRefusal && now - m_FirstSendSinceRefusal >= kAnswerWait)
    {
        m_bRefused = false;
        report.bRefusalEnds = true;
    }
}

std::string cRC_MismatchMonitor::SeenText(RC_DatagramKind eKind, uint64_t nSample)
{
    std::string sText = RC_DatagramKindText(eKind);
    if (eKind == RC_DatagramKind::Text)
    {
        std::string sQuoted;
        for (int nByte = 0; nByte < 8; ++nByte)
        {
            const char c = static_cast<char>((nSample >> (8 * nByte)) & 0xFF);
            // Line ends and tabs would break the one line it is shown in.
            if (c < 0x20 || c > 0x7E)
                break;
            sQuoted += c;
        }
        sText += " (\"" + sQuoted + "\")";
    }
    else if (eKind == RC_DatagramKind::Other)
    {
        char szByte[32];
        std::snprintf(szByte, sizeof(szByte), " (first byte 0x%02X)", static_cast<unsigned>(nSample & 0xFF));
        sText += szByte;
    }
    return sText;
}
