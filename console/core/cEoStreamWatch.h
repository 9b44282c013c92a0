#pragma once
#include <chrono>
#include <optional>

// Whether to ask the remote system again to stream its EO reports. The ask
// is a single command, which a bad link may lose, and nothing else would
// repeat it: so while the stream is wanted and the link is up, a silence of
// a few seconds since the last ask or report brings another ask, each one
// that brings nothing waiting twice as long as the one before (3 s, 6 s,
// 12 s, up to 30 s). Decides, never sends; one thread at a time.
class cEoStreamWatch
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds kFirstWait{3};
    static constexpr std::chrono::seconds kLongestWait{30};

    // The stream was switched on (the ask has just gone) or off.
    void Wanted(bool bWanted, Clock::time_point now);
    // True when to ask again now. lastReport: when the latest report came, if one has.
    bool AskAgain(bool bLinkUp, std::optional<Clock::time_point> lastReport, Clock::time_point now);
    // Asks have gone out and no report has come since the first of them.
    bool IsSilent() const { return m_bSilent; }
    bool IsWanted() const { return m_bWanted; }

private:
    bool m_bWanted = false;
    bool m_bSilent = false;
    Clock::time_point m_LastAsk{};
    Clock::duration m_Wait = kFirstWait;
};
