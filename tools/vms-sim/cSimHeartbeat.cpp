#include "cSimHeartbeat.h"

cSimHeartbeat::ConsoleReport cSimHeartbeat::OnConsoleHeartbeat(Clock::time_point now, uint8_t nMissed, uint8_t nState)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_LastReceived = now;
    const bool bChanged = !m_LastReport || m_LastReport->nMissed != nMissed || m_LastReport->nState != nState;
    m_LastReport = ConsoleReport{nMissed, nState, false};
    return ConsoleReport{nMissed, nState, bChanged};
}

cSimHeartbeat::Beat cSimHeartbeat::Next(Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    uint8_t nMissed = kMostMissed;
    if (m_LastReceived)
    {
        using std::chrono::milliseconds;
        const auto silent = std::chrono::duration_cast<milliseconds>(now - *m_LastReceived);
        const auto nPeriods = (silent - milliseconds(500)) / milliseconds(1000);
        if (silent < milliseconds(1500))
            nMissed = 0;
        else if (nPeriods < kMostMissed)
            nMissed = static_cast<uint8_t>(nPeriods);
    }
    const uint8_t nState = nMissed < kMostMissed ? kActive : kInactive;
    const bool bChanged = nState != m_nState;
    m_nState = nState;
    return Beat{nMissed, nState, bChanged};
}
