#include "cServiceThread.h"

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/post.hpp>

cServiceThread::cServiceThread(const char* szName, boost::asio::io_context& service, Hook fnStarting, Hook fnEnded)
    : XThread(szName), m_Service(service), m_fnStarting(std::move(fnStarting)), m_fnEnded(std::move(fnEnded))
{
}

cServiceThread::~cServiceThread()
{
    cServiceThread::Stop();
}

bool cServiceThread::Start()
{
    if (IsRunning())
        return true;
    m_bStopRequested = false;
    return Begin(false);
}

void cServiceThread::Stop()
{
    if (IsRunning())
        WaitTerminate(&m_StopEvent);
}

void cServiceThread::cStopEvent::Set()
{
    cEvent::Set();
    m_Owner.m_bStopRequested = true;
    boost::asio::post(m_Owner.m_Service, [pOwner = &m_Owner] {
        if (pOwner->m_bStopRequested)
            pOwner->m_Service.stop();
    });
}

int cServiceThread::Execute(void*)
{
    if (m_fnStarting)
        m_fnStarting();
    auto finish = [this] {
        m_Service.restart();
        if (m_fnEnded)
            m_fnEnded();
    };
    try
    {
        auto work = boost::asio::make_work_guard(m_Service);
        m_Service.run();
    }
    catch (...)
    {
        finish();
        throw;
    }
    finish();
    return 0;
}
