#include "UDPServerThread.h"

#include "DbgLog.h"

namespace nx::http
{
UDPServerThread::UDPServerThread()
    : cServiceThread(
          "UDPServerThread", m_IoService,
          [this] {
              DbgLog(DBG_INF, "nx::http::UDPServerThread::Execute", 58, "Before UDPServer::Run()");
              m_bRunning = true;
          },
          [this] {
              m_bRunning = false;
              DbgLog(DBG_INF, "nx::http::UDPServerThread::Execute", 63, "After UDPServer::Run()");
          })
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
    return Start();
}

void UDPServerThread::Stop()
{
    DbgLog(DBG_INF, "nx::http::UDPServerThread::Stop", 40, "");
    cServiceThread::Stop();
}
} // namespace nx::http
