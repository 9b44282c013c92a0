#pragma once
#include <chrono>
#include <cstdint>
#include <thread>

// The end of a flood, as a receiver sees it: waits until the count has not
// moved for 300 ms and returns when it last moved.
template <typename Count>
std::chrono::steady_clock::time_point WaitQuiet(Count count)
{
    using Clock = std::chrono::steady_clock;
    int64_t nLast = static_cast<int64_t>(count());
    Clock::time_point lastChange = Clock::now();
    for (;;)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const int64_t nNow = static_cast<int64_t>(count());
        if (nNow != nLast)
        {
            nLast = nNow;
            lastChange = Clock::now();
        }
        else if (Clock::now() - lastChange > std::chrono::milliseconds(300))
        {
            return lastChange;
        }
    }
}
