#include "XThread.h"

#include "DbgLog.h"
#include "cEvent.h"

#include <boost/chrono.hpp>
#include <boost/thread/thread.hpp>
#include <cstdio>
#include <pthread.h>

XThread::XThread(const char* szName) : m_szName(szName ? szName : "")
{
}

XThread::~XThread()
{
    if (IsRunning())
        WaitTerminate(nullptr);
    m_pThread.reset();
    m_pClosedEvent.reset();
}

bool XThread::IsRunning() const
{
    return m_pThread && m_pThread->joinable();
}

bool XThread::Begin(bool bLoop)
{
    if (m_pThread)
    {
        DbgLog(DBG_WRN, "XThread::Begin", 55, DbgLogFormat("(%s) Thread Already Running", m_szName), CAT_THREAD);
        return false;
    }
    m_bLoop = bLoop;
    m_bTerminate = false;
    m_bFaulted = false;

    m_pClosedEvent.reset(new (std::nothrow) cEvent());
    if (!m_pClosedEvent)
        DbgLog(DBG_WRN, "XThread::Begin", 68, "failed to create m_pClosedEvent", CAT_GENERAL);

    try
    {
        m_pThread = std::make_unique<boost::thread>([this] { ThreadMain(); });
    }
    catch (const std::exception&)
    {
        m_pThread.reset();
    }
    if (!m_pThread || !m_pThread->joinable())
    {
        DbgLog(DBG_ERR, "XThread::Begin", 75, DbgLogFormat("(%s) Unable to Launch Thread", m_szName), CAT_THREAD);
        m_pThread.reset();
        return false;
    }
    return true;
}

int XThread::ThreadMain()
{
    char szThreadName[16];
    std::snprintf(szThreadName, sizeof(szThreadName), "%s", m_szName);
    pthread_setname_np(pthread_self(), szThreadName);

    try
    {
        if (!m_bLoop)
        {
            Execute(m_pParam);
        }
        else
        {
            do
            {
                if (Execute(m_pParam) != 0)
                    m_bTerminate = true;
            } while (!m_bTerminate);
            m_bTerminate = false;
        }
    }
    catch (const boost::thread_interrupted&)
    {
        // The owner gave up waiting and interrupted us: end as if asked to stop.
    }
    catch (const std::exception& e)
    {
        DbgLog(DBG_ERR, "XThread::ThreadMain", __LINE__, DbgLogFormat("(%s) ended by an exception: %s", m_szName, e.what()),
               CAT_THREAD);
        m_bFaulted = true;
    }
    catch (...)
    {
        DbgLog(DBG_ERR, "XThread::ThreadMain", __LINE__, DbgLogFormat("(%s) ended by an unknown exception", m_szName),
               CAT_THREAD);
        m_bFaulted = true;
    }
    if (m_pClosedEvent)
        m_pClosedEvent->Set();
    return 0;
}

bool XThread::WaitTerminate(cEvent* pStopEvent)
{
    if (!IsRunning())
    {
        DbgLog(DBG_INF, "XThread::WaitTerminate", 97, DbgLogFormat("(%s) Thread Not Running", m_szName), CAT_THREAD);
        return true;
    }
    if (m_bTerminate)
    {
        DbgLog(DBG_INF, "XThread::WaitTerminate", 103, DbgLogFormat("(%s) Thread Already Terminating", m_szName),
               CAT_THREAD);
        return false;
    }

    // A worker that has ended by itself has set its closed event already; it
    // will not set it again, so keep that rather than wait the whole bound.
    const bool bEnded = m_pClosedEvent && m_pClosedEvent->Wait(0u);
    m_bTerminate = true;
    if (pStopEvent)
        pStopEvent->Set();

    // A worker ended by an exception will set no closed event again: join it now.
    const bool bClosed = bEnded || m_bFaulted || (m_pClosedEvent && m_pClosedEvent->Wait(2000u));
    if (!bClosed)
    {
        if (!m_pThread->try_join_for(boost::chrono::milliseconds(2000)))
        {
            DbgLog(DBG_WRN, "XThread::WaitTerminate", 128, DbgLogFormat("(%s) Timeout waiting for thread to exit.", m_szName),
                   CAT_THREAD);
            m_pThread->interrupt();
            DbgLog(DBG_WRN, "XThread::WaitTerminate", 132,
                   DbgLogFormat("(%s) did not exit properly and was Terminated.", m_szName), CAT_THREAD);
        }
        else if (m_pThread->joinable())
        {
            DbgLog(DBG_WRN, "XThread::WaitTerminate", 136, DbgLogFormat("(%s) Thread still running", m_szName),
                   CAT_GENERAL);
        }
    }

    // The worker may still be finishing (it has set the closed event, or it was
    // interrupted). It runs on this object, so wait for it rather than detach:
    // a detached worker could outlive the object it runs on.
    if (m_pThread->joinable())
        m_pThread->join();
    m_pThread.reset();
    return true;
}
