#include "cCallbackThread.h"

#include "DbgLog.h"
#include "cEvent.h"

cCallbackThread::cCallbackThread(const char* szName) : XThread(szName), m_pCloseEvent(std::make_unique<cEvent>())
{
}

cCallbackThread::~cCallbackThread()
{
    stop();
}

bool cCallbackThread::start(Callback fnNewCallback, void* pParam, uint32_t nWaitMs)
{
    if (!fnNewCallback)
    {
        DbgLog(DBG_WRN, "cCallbackThread::start", 34, "fnCallback is NULL");
        return false;
    }
    if (IsRunning() && !WaitTerminate(m_pCloseEvent.get()))
        DbgLog(DBG_WRN, "cCallbackThread::stop", 60, "failed to cleanly close the thread");

    m_pParam = pParam;
    fnCallback = fnNewCallback;
    m_nWaitMs = nWaitMs;
    m_pCloseEvent->Reset();
    return Begin(true);
}

void cCallbackThread::stop()
{
    if (IsRunning() && !WaitTerminate(m_pCloseEvent.get()))
        DbgLog(DBG_WRN, "cCallbackThread::stop", 60, "failed to cleanly close the thread");
}

int cCallbackThread::Execute(void* pParam)
{
    if (m_pCloseEvent->Wait(m_nWaitMs))
    {
        DbgLog(DBG_INF, "cCallbackThread::Execute", 70, "Received close event");
        return 1;
    }
    return fnCallback(pParam) ? 0 : 1;
}
