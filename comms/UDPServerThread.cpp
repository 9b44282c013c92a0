#include "UDPServerThread.h"

#include "DbgLog.h"

namespace nx::http
{
UDPServerThread::UDPServerThread() : XThread("UDPServerThread")
{
    DbgLog(DBG_INF, "nx::http::UDPServerThread::UDPServerThread", 14, "");
}

UDPServerThread::~UDPServerThread()
{
    UDPServerThread::Stop();
}

bool UDPServerThread::RunThread()
{
    DbgLog(DBG_INF, "nx::http::UDPServerThread::RunThread", 26, "");
    if (IsRunning())
        return true;
    return Begin(false);
}

void UDPServerThread::Stop()
{
    DbgLog(DBG_INF, "nx::http::UDPServerThread::Stop", 40, "");
    if (!IsRunning())
        return;
    // The stop event stops the service, even before the thread has reached
    // run(): a stopped service returns from run() at once.
    WaitTerminate(&m_StopEvent);
}

int UDPServerThread::Execute(void*)
{
    DbgLog(DBG_INF, "nx::http::UDPServerThread::Execute", 58, "Before UDPServer::Run()");
    m_bRunning = true;
    try
    {
        m_IoService.run();
    }
    catch (const std::exception& e)
    {
        DbgLog(DBG_ERR, "nx::http::UDPServerThread::Execute", __LINE__,
               DbgLogFormat("I/O service stopped by an exception: %s", e.what()), CAT_HTTP);
    }
    m_bRunning = false;
    m_IoService.restart();
    DbgLog(DBG_INF, "nx::http::UDPServerThread::Execute", 63, "After UDPServer::Run()");
    return 0;
}
} // namespace nx::http
