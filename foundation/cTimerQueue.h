#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

// A queue of timers served by one thread that sleeps until the next expiry;
// the thread starts with the first timer. Callbacks run on that thread, one
// at a time. Deleting a timer with wait
// blocks until a callback of it in progress has returned, except when called
// from that callback itself (which would otherwise wait for itself).
class cTimerQueue
{
public:
    using Handle = uint64_t;  // 0 is never a valid timer

    cTimerQueue();
    ~cTimerQueue();
    cTimerQueue(const cTimerQueue&) = delete;
    cTimerQueue& operator=(const cTimerQueue&) = delete;

    // First expiry after nDueMs, then every nPeriodMs (0: once). 0 on failure
    // (the thread could not start).
    Handle CreateTimer(std::function<void()> fnCallback, uint32_t nDueMs, uint32_t nPeriodMs);
    // False when the handle names no timer of this queue.
    bool DeleteTimer(Handle hTimer, bool bWait);
    bool OnQueueThread() const;

private:
    struct State;
    static void Run(std::shared_ptr<State> pState);

    // Shared with the thread, which outlives this object only when the queue
    // is destroyed from one of its own callbacks (a thread cannot join itself).
    std::shared_ptr<State> m_pState;
    std::thread m_Worker;  // started by the first CreateTimer, under the state's lock
};
