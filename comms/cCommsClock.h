#pragma once
#include <boost/chrono/system_clocks.hpp>
#include <cstdint>

// Stopwatch behind the comms time stamps: microseconds since it was started,
// plus a base value. Loggers that make their own clock start it at the
// process-wide epoch, so that every comms log of the process shares one zero.
class cCommsClock
{
public:
    using Clock = boost::chrono::steady_clock;

    cCommsClock() : m_Start(Clock::now()) {}
    explicit cCommsClock(Clock::time_point start) : m_Start(start) {}

    static Clock::time_point ProcessEpoch();

    void Restart() { m_Start = Clock::now(); }
    void SetBase(int64_t nBaseUs) { m_nBaseUs = nBaseUs; }
    int64_t ElapsedMicroseconds() const;
    // Elapsed microseconds plus the base: the value stamped on frames and log lines.
    int64_t Now() const { return ElapsedMicroseconds() + m_nBaseUs; }

private:
    Clock::time_point m_Start;
    int64_t m_nBaseUs = 0;
};
