#include "cMM_TimerSignal.h"

#include "DbgLog.h"

#include <exception>

cMM_TimerSignal::cMM_TimerSignal()
{
    try
    {
        m_hTimerQueue = std::make_unique<cTimerQueue>();
    }
    catch (const std::exception&)
    {
        DbgLog(DBG_ERR, "cMM_TimerSignal::cMM_TimerSignal", 44, "CreateTimerQueue failed");
    }
}

cMM_TimerSignal::~cMM_TimerSignal()
{
    stop(true);
    // Destroying the queue also waits for a handler that a stop without wait
    // left running.
    m_hTimerQueue.reset();
}

bool cMM_TimerSignal::start(uint32_t nDueTimeMs, bool bPeriodic)
{
    DbgLog(DBG_INF, "cMM_TimerSignal::start", 65, "");
    if (!m_hTimerQueue)
    {
        DbgLog(DBG_ERR, "cMM_TimerSignal::start", 69, "m_hTimerQueue is NULL, cannot create timer");
        return false;
    }
    if (m_hTimer.load() != 0)
    {
        DbgLog(DBG_WRN, "cMM_TimerSignal::start", 75, "Existing timer still running, cannot start");
        return false;
    }
    const cTimerQueue::Handle hTimer =
        m_hTimerQueue->CreateTimer([this] { OnTimer(); }, nDueTimeMs, bPeriodic ? nDueTimeMs : 0);
    if (hTimer == 0)
    {
        DbgLog(DBG_ERR, "cMM_TimerSignal::start", 87, DbgLogFormat("CreateTimerQueueTimer failed (%d)", 0));
        return false;
    }
    cTimerQueue::Handle hNone = 0;
    if (!m_hTimer.compare_exchange_strong(hNone, hTimer))
    {
        // Another start won the race; keep its timer.
        m_hTimerQueue->DeleteTimer(hTimer, false);
        DbgLog(DBG_WRN, "cMM_TimerSignal::start", 75, "Existing timer still running, cannot start");
        return false;
    }
    return true;
}

void cMM_TimerSignal::stop(bool bWait)
{
    DbgLog(DBG_INF, "cMM_TimerSignal::stop", 97, "");
    const cTimerQueue::Handle hTimer = m_hTimer.exchange(0);
    if (hTimer == 0)
    {
        DbgLog(DBG_INF, "cMM_TimerSignal::stop", 103, "m_hTimer is already NULL. Is the timer running?");
        return;
    }
    try
    {
        if (!m_hTimerQueue || !m_hTimerQueue->DeleteTimer(hTimer, bWait))
            DbgLog(DBG_WRN, "cMM_TimerSignal::stop", 114, "failed to cleanly close the thread");
    }
    catch (const std::exception&)
    {
        DbgLog(DBG_ERR, "cMM_TimerSignal::stop", 119, "Exception caught trying to close the thread");
    }
}

void cMM_TimerSignal::stopNoWait()
{
    stop(false);
}

void cMM_TimerSignal::OnTimer()
{
    m_sigTimer();
}
