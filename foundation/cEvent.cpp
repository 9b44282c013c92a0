#include "cEvent.h"

#include "DbgLog.h"

#include <boost/chrono.hpp>

cEvent::~cEvent()
{
    DbgLog(DBG_INF, "cEvent::~cEvent", 15, "");
}

void cEvent::Wait()
{
    boost::unique_lock<boost::mutex> lock(m_Mutex);
    while (m_nSetCount == m_nConsumedCount)
        m_Condition.wait(lock);
    m_nConsumedCount = m_nSetCount;
}

bool cEvent::Wait(uint32_t nMilliseconds)
{
    return WaitMicroseconds(static_cast<int64_t>(nMilliseconds) * 1000);
}

bool cEvent::WaitMicroseconds(int64_t nMicroseconds)
{
    boost::unique_lock<boost::mutex> lock(m_Mutex);
    if (m_nSetCount == m_nConsumedCount && nMicroseconds > 0)
    {
        // Loop over spurious wake-ups: only a Set or the time limit ends the wait.
        const auto deadline = boost::chrono::steady_clock::now() + boost::chrono::microseconds(nMicroseconds);
        while (m_nSetCount == m_nConsumedCount)
        {
            if (m_Condition.wait_until(lock, deadline) == boost::cv_status::timeout)
                break;
        }
    }
    if (m_nSetCount == m_nConsumedCount)
        return false;
    m_nConsumedCount = m_nSetCount;
    return true;
}

void cEvent::Set()
{
    // Notify under the lock: a waiter that consumes the event may destroy it at
    // once, and this thread must not touch it after the lock is released.
    boost::lock_guard<boost::mutex> lock(m_Mutex);
    ++m_nSetCount;
    m_Condition.notify_all();
}

void cEvent::Reset()
{
    boost::lock_guard<boost::mutex> lock(m_Mutex);
    m_nConsumedCount = m_nSetCount;
}
