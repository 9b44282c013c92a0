#pragma once
#include "cTimerQueue.h"

#include <atomic>
#include <boost/signals2/signal.hpp>
#include <cstdint>
#include <memory>

// One-shot or periodic timer that fires m_sigTimer on its queue's thread.
// Handlers connected to the signal must not touch widgets directly.
class cMM_TimerSignal
{
public:
    cMM_TimerSignal();
    virtual ~cMM_TimerSignal();
    cMM_TimerSignal(const cMM_TimerSignal&) = delete;
    cMM_TimerSignal& operator=(const cMM_TimerSignal&) = delete;

    virtual bool start(uint32_t nDueTimeMs, bool bPeriodic);
    virtual void stop(bool bWait);
    virtual void stopNoWait();
    virtual void OnTimer();

    bool IsArmed() const { return m_hTimer.load() != 0; }

    boost::signals2::signal<void()> m_sigTimer;

protected:
    // Swapped atomically so that a stop from inside the handler and one from
    // the owner never both delete the timer.
    std::atomic<cTimerQueue::Handle> m_hTimer{0};
    std::unique_ptr<cTimerQueue> m_hTimerQueue;
};
