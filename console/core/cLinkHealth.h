#pragma once
#include <chrono>
#include <cstdint>
#include <string>

// What the main window's status bar says about the link, worked out from
// samples of the page protocol's figures taken a few times a second. The
// texts change only when what they show changes (the frame rate once a
// second, the age of the last frame in whole seconds), so that an unchanged
// link costs no repaint.
class cLinkHealth
{
public:
    using Clock = std::chrono::steady_clock;

    struct Sample
    {
        bool bConnected = false;   // the page protocol exists
        bool bLinkActive = false;
        bool bHeartbeat = false;   // heartbeats decide the link (variant 1 with the heartbeat on)
        std::string sHeartbeatText;
        int64_t nFramesHandled = 0;
        uint32_t nChecksumFailures = 0;
        uint32_t nFramesSkipped = 0;
        uint32_t nPeerRejects = 0;  // datagrams dropped for a sender not allowed
        std::string sRefusal;       // the page protocol's words while its datagrams are refused
        std::string sMismatch;      // and while frames of another kind arrive
        bool bAnyFrame = false;
        Clock::time_point lastFrame;
    };

    struct Display
    {
        std::string sLink;
        std::string sRate;
        std::string sChecksum;
        std::string sSkipped;
        std::string sPeers;  // empty while no sender was refused
        std::string sUnreachable;  // empty while nothing refuses our datagrams
        std::string sMismatch;     // empty while no frames of another kind arrive
        std::string sAge;
        bool bLost = true;

        bool operator==(const Display&) const = default;
    };

    Display Update(const Sample& sample, Clock::time_point now);

    static std::string AgeText(bool bAnyFrame, Clock::duration age);

private:
    bool m_bWindowStarted = false;
    Clock::time_point m_WindowStart;
    int64_t m_nWindowFrames = 0;
    double m_dRate = 0.0;
};
