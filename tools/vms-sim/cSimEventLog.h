#pragma once
#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>

// One line per significant event, stamped with the seconds since start.
// Lines are flushed at once: a parent process reading a pipe sees each line
// as it happens. Any thread may write.
class cSimEventLog
{
public:
    explicit cSimEventLog(bool bQuiet, std::FILE* pOut = stdout);

    void Event(const char* szFormat, ...) __attribute__((format(printf, 2, 3)));
    // Sees every event text (without the stamp), printed or not; for tests.
    void SetObserver(std::function<void(const std::string&)> fnObserver);
    double Seconds() const;

private:
    const std::chrono::steady_clock::time_point m_Start = std::chrono::steady_clock::now();
    const bool m_bQuiet;
    std::FILE* const m_pOut;
    std::mutex m_Mutex;  // keeps lines whole and guards the observer
    std::function<void(const std::string&)> m_fnObserver;
};
