#include "cTimerQueue.h"

#include "DbgLog.h"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <system_error>

namespace
{
using Clock = std::chrono::steady_clock;
}

struct cTimerQueue::State
{
    struct Timer
    {
        std::function<void()> fnCallback;
        Clock::time_point due;
        Clock::duration period;
        bool bArmed = true;  // a one-shot timer stays in the map, disarmed, until deleted
    };

    std::mutex mutex;
    std::condition_variable wake;     // new timer, deletion, shutdown
    std::condition_variable idle;     // a callback has returned
    std::map<Handle, Timer> timers;
    Handle nNextHandle = 1;
    Handle hRunning = 0;
    bool bShutdown = false;
    std::thread::id threadId;
};

cTimerQueue::cTimerQueue() : m_pState(std::make_shared<State>())
{
}

cTimerQueue::~cTimerQueue()
{
    std::unique_lock<std::mutex> lock(m_pState->mutex);
    m_pState->bShutdown = true;
    m_pState->timers.clear();
    m_pState->wake.notify_all();
    if (std::this_thread::get_id() == m_pState->threadId)
    {
        // Destroyed by one of its own callbacks: the thread ends on its own
        // once that callback returns, holding the shared state until then.
        lock.unlock();
        m_Worker.detach();
        return;
    }
    lock.unlock();
    if (m_Worker.joinable())
        m_Worker.join();
}

bool cTimerQueue::OnQueueThread() const
{
    std::lock_guard<std::mutex> lock(m_pState->mutex);
    return std::this_thread::get_id() == m_pState->threadId;
}

cTimerQueue::Handle cTimerQueue::CreateTimer(std::function<void()> fnCallback, uint32_t nDueMs, uint32_t nPeriodMs)
{
    if (!fnCallback)
        return 0;
    std::lock_guard<std::mutex> lock(m_pState->mutex);
    if (m_pState->bShutdown)
        return 0;
    if (!m_Worker.joinable())
    {
        // The thread starts with the first timer: many owners never arm theirs.
        try
        {
            m_Worker = std::thread(&cTimerQueue::Run, m_pState);
        }
        catch (const std::system_error& e)
        {
            DbgLog(DBG_ERR, "cTimerQueue::CreateTimer", __LINE__, DbgLogFormat("Timer thread cannot start: %s", e.what()));
            return 0;
        }
        m_pState->threadId = m_Worker.get_id();
    }
    const Handle hTimer = m_pState->nNextHandle++;
    State::Timer& timer = m_pState->timers[hTimer];
    timer.fnCallback = std::move(fnCallback);
    timer.due = Clock::now() + std::chrono::milliseconds(nDueMs);
    timer.period = std::chrono::milliseconds(nPeriodMs);
    m_pState->wake.notify_all();
    return hTimer;
}

bool cTimerQueue::DeleteTimer(Handle hTimer, bool bWait)
{
    std::unique_lock<std::mutex> lock(m_pState->mutex);
    if (m_pState->timers.erase(hTimer) == 0)
        return false;
    m_pState->wake.notify_all();
    if (bWait && std::this_thread::get_id() != m_pState->threadId)
        m_pState->idle.wait(lock, [&] { return m_pState->hRunning != hTimer; });
    return true;
}

void cTimerQueue::Run(std::shared_ptr<State> pState)
{
    std::unique_lock<std::mutex> lock(pState->mutex);
    while (!pState->bShutdown)
    {
        auto next = pState->timers.end();
        for (auto it = pState->timers.begin(); it != pState->timers.end(); ++it)
        {
            if (it->second.bArmed && (next == pState->timers.end() || it->second.due < next->second.due))
                next = it;
        }
        if (next == pState->timers.end())
        {
            pState->wake.wait(lock);
            continue;
        }
        const Clock::time_point now = Clock::now();
        if (next->second.due > now)
        {
            // By value: the timer may be deleted while this thread sleeps.
            const Clock::time_point due = next->second.due;
            pState->wake.wait_until(lock, due);
            continue;  // the set of timers may have changed meanwhile
        }

        const Handle hTimer = next->first;
        State::Timer& timer = next->second;
        if (timer.period.count() > 0)
        {
            // Keep the phase, but never queue up a burst after a slow callback.
            timer.due += timer.period;
            if (timer.due <= now)
                timer.due = now + timer.period;
        }
        else
        {
            timer.bArmed = false;
        }
        // Run a copy: the timer may be deleted while its callback runs.
        std::function<void()> fnCallback = timer.fnCallback;
        pState->hRunning = hTimer;
        lock.unlock();
        try
        {
            fnCallback();
        }
        catch (const std::exception& e)
        {
            // One failing callback must not end the process or stop the other timers.
            DbgLog(DBG_ERR, "cTimerQueue::Run", __LINE__, DbgLogFormat("Timer callback raised: %s", e.what()));
        }
        catch (...)
        {
            DbgLog(DBG_ERR, "cTimerQueue::Run", __LINE__, "Timer callback raised an unknown exception");
        }
        fnCallback = nullptr;
        lock.lock();
        pState->hRunning = 0;
        pState->idle.notify_all();
    }
}
