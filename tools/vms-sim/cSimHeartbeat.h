#pragma once
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>

// Our side of the variant 1 heartbeat. Every second we report how many
// heartbeat periods have passed without one from the console (0 to 3) and
// our interface state: active (0) while the console's heartbeats arrive,
// inactive (1) after three missed periods and before the first one.
// A heartbeat counts as missed only when none has come for a period and a
// half, so that two 1 s timers drifting past each other do not report a
// miss now and then.
class cSimHeartbeat
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr uint8_t kMostMissed = 3;
    static constexpr uint8_t kActive = 0;
    static constexpr uint8_t kInactive = 1;

    struct Beat
    {
        uint8_t nMissed;
        uint8_t nState;
        bool bStateChanged;  // since the previous beat
    };

    struct ConsoleReport
    {
        uint8_t nMissed;
        uint8_t nState;
        bool bChanged;  // differs from the console's previous report
    };

    // A heartbeat from the console arrived (receive thread).
    ConsoleReport OnConsoleHeartbeat(Clock::time_point now, uint8_t nMissed, uint8_t nState);
    // What to send now (timer thread).
    Beat Next(Clock::time_point now);

private:
    std::mutex m_Mutex;  // guards everything below
    std::optional<Clock::time_point> m_LastReceived;
    uint8_t m_nState = kInactive;
    std::optional<ConsoleReport> m_LastReport;
};
