#include "cCommsClock.h"

cCommsClock::Clock::time_point cCommsClock::ProcessEpoch()
{
    static const Clock::time_point epoch = Clock::now();
    return epoch;
}

int64_t cCommsClock::ElapsedMicroseconds() const
{
    return boost::chrono::duration_cast<boost::chrono::microseconds>(Clock::now() - m_Start).count();
}
