#pragma once
#include "UDPServer.h"
#include "XThread.h"
#include "cEvent.h"

#include <boost/asio/post.hpp>

namespace nx::http
{
// A UDPServer whose I/O service runs on a worker thread of its own.
class UDPServerThread : public UDPServer, public XThread
{
public:
    UDPServerThread();
    ~UDPServerThread() override;

    void Stop() override;
    virtual bool RunThread();

protected:
    int Execute(void* pParam) override;

private:
    // The stop event handed to WaitTerminate: setting it also stops the I/O
    // service, after the closed event has been reset, so the wait sees the end.
    // The stop is queued behind the sends already asked for, so those still go
    // out (the stop of the periodic requests at shutdown, for one).
    class cServiceStopEvent : public cEvent
    {
    public:
        explicit cServiceStopEvent(boost::asio::io_context& service) : m_Service(service) {}
        void Set() override
        {
            cEvent::Set();
            boost::asio::post(m_Service, [this] { m_Service.stop(); });
        }

    private:
        boost::asio::io_context& m_Service;
    };

    cServiceStopEvent m_StopEvent{m_IoService};
};
} // namespace nx::http
