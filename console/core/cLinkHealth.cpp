#include "cLinkHealth.h"

#include <cmath>

cLinkHealth::Display cLinkHealth::Update(const Sample& sample, Clock::time_point now)
{
    // The rate is measured over windows of a second or more, so that it reads
    // steadily however often the bar looks.
    if (!m_bWindowStarted || sample.nFramesHandled < m_nWindowFrames)
    {
        m_bWindowStarted = true;
        m_WindowStart = now;
        m_nWindowFrames = sample.nFramesHandled;
        m_dRate = 0.0;
    }
    const double dElapsed = std::chrono::duration<double>(now - m_WindowStart).count();
    if (dElapsed >= 1.0)
    {
        m_dRate = static_cast<double>(sample.nFramesHandled - m_nWindowFrames) / dElapsed;
        m_WindowStart = now;
        m_nWindowFrames = sample.nFramesHandled;
    }

    Display display;
    display.bLost = !sample.bConnected || !sample.bLinkActive;
    const std::string sState = sample.bHeartbeat ? sample.sHeartbeatText : (sample.bLinkActive ? "OK" : "FAILED");
    if (!sample.bConnected)
        display.sLink = "NO LINK: comms not open";
    else if (display.bLost)
        display.sLink = "LINK LOST (" + sState + ")";
    else
        display.sLink = "Link " + sState;
    display.sRate = std::to_string(std::lround(m_dRate)) + " frames/s";
    display.sChecksum = "checksum failures: " + std::to_string(sample.nChecksumFailures);
    display.sSkipped = "frames skipped: " + std::to_string(sample.nFramesSkipped);
    if (sample.nPeerRejects > 0)
        display.sPeers = "refused from other senders: " + std::to_string(sample.nPeerRejects);
    display.sUnreachable = sample.sRefusal;
    display.sMismatch = sample.sMismatch;
    display.sAge = AgeText(sample.bAnyFrame, now - sample.lastFrame);
    return display;
}

std::string cLinkHealth::AgeText(bool bAnyFrame, Clock::duration age)
{
    if (!bAnyFrame)
        return "no frame received yet";
    const auto nSeconds = std::chrono::duration_cast<std::chrono::seconds>(age).count();
    if (nSeconds < 1)
        return "last frame < 1 s ago";
    if (nSeconds < 120)
        return "last frame " + std::to_string(nSeconds) + " s ago";
    if (nSeconds < 7200)
        return "last frame " + std::to_string(nSeconds / 60) + " min ago";
    return "last frame " + std::to_string(nSeconds / 3600) + " h ago";
}
