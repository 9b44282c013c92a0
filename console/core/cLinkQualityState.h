#pragma once
#include "cRC_LinkQuality.h"

#include <chrono>
#include <string>

// Whether the link is "LINK DEGRADED", and the texts of its figures, from
// samples of cRC_LinkQuality taken a few times a second. Degraded is entered
// as soon as one figure passes its upper threshold and left only when every
// figure has stayed at or below its lower threshold for the hold time, so
// that a link near a threshold does not flicker. It is information beside the
// heartbeat's verdict, never instead of it: while the link is lost the
// display says nothing of degradation (LINK LOST wins), though the state
// goes on following the figures. Texts change only when what they show does.
class cLinkQualityState
{
public:
    using Clock = std::chrono::steady_clock;
    // Fewer requests decided in the window say nothing of a share: one
    // query lost on a quiet link is not a degraded link.
    static constexpr uint32_t kFewestRequestsForShare = 5;

    struct Thresholds
    {
        double dEnterUnanswered = 0.20;  // share of requests, 0 to 1
        double dLeaveUnanswered = 0.05;
        Clock::duration enterRoundTrip = std::chrono::milliseconds(500);  // the worst of the window
        Clock::duration leaveRoundTrip = std::chrono::milliseconds(250);
        Clock::duration enterEoGap = std::chrono::seconds(1);  // the longest of the window
        Clock::duration leaveEoGap = std::chrono::milliseconds(500);
        // Share of heartbeats missed, the worse of the two ways, 0 to 1.
        double dEnterHeartbeatsMissed = 0.20;
        double dLeaveHeartbeatsMissed = 0.05;
        Clock::duration hold = std::chrono::seconds(5);
    };

    struct Display
    {
        std::string sState;       // "LINK DEGRADED: ..." while shown degraded, else empty
        std::string sRoundTrip;   // "12 ms (worst 40 ms)": median and worst of the window
        std::string sUnanswered;  // "25% of 8": of the requests decided in the window
        std::string sEoGaps;      // "max 1.2 s, 1 over 1.0 s"
        std::string sDuplicates;  // since the start, both links
        // "rx 30% of 10, tx 11% of 9": the remote's heartbeats missed, and ours
        // as its reports say; empty without the heartbeat.
        std::string sHeartbeats;
        bool bDegraded = false;  // shown degraded: degraded and not lost
        bool bLost = false;      // as the sample said

        bool operator==(const Display&) const = default;
    };

    cLinkQualityState() = default;
    explicit cLinkQualityState(const Thresholds& thresholds) : m_Thresholds(thresholds) {}

    void SetThresholds(const Thresholds& thresholds) { m_Thresholds = thresholds; }
    const Thresholds& Current() const { return m_Thresholds; }

    // One sample; bLost is the heartbeat's verdict (or comms not open).
    const Display& Update(const cRC_LinkQuality::Figures& figures, bool bLost, Clock::time_point now);
    bool IsDegraded() const { return m_bDegraded; }
    const Display& Shown() const { return m_Display; }

    // "< 1 ms", "12 ms", "1.25 s".
    static std::string DurationText(Clock::duration duration);

private:
    Thresholds m_Thresholds;
    bool m_bDegraded = false;
    bool m_bRecovering = false;  // every figure low since m_RecoveringSince
    Clock::time_point m_RecoveringSince;
    Display m_Display;
};
