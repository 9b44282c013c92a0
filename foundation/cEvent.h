#pragma once
#include <boost/thread/condition_variable.hpp>
#include <boost/thread/mutex.hpp>
#include <cstdint>

// Auto-consuming event: signalled while the set count differs from the count a
// waiter last consumed. Several Sets before one wait are consumed together.
// Waits are Boost interruption points, so an interrupted worker wakes here.
class cEvent
{
public:
    cEvent() = default;
    virtual ~cEvent();
    cEvent(const cEvent&) = delete;
    cEvent& operator=(const cEvent&) = delete;

    virtual void Wait();
    virtual bool Wait(uint32_t nMilliseconds);
    virtual bool WaitMicroseconds(int64_t nMicroseconds);
    virtual void Set();
    virtual void Reset();

private:
    boost::mutex m_Mutex;
    boost::condition_variable m_Condition;
    uint32_t m_nSetCount = 0;
    uint32_t m_nConsumedCount = 0;
};
