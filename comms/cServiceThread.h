#pragma once
#include "XThread.h"
#include "cEvent.h"

#include <atomic>
#include <boost/asio/io_context.hpp>
#include <functional>

// Runs one Asio I/O service on a worker thread of its own: the thread model of
// every transport. Start begins the run; Stop queues a stop behind the work
// already posted (so sends asked for still go out) and joins the thread, so
// nothing is left running. The run lasts until Stop, even with no work in the
// service, and the service is reset afterwards so it can run again. An
// exception out of a completion ends the run; the worker logs it.
class cServiceThread : public XThread
{
public:
    using Hook = std::function<void()>;

    // fnStarting and fnEnded run on the worker just before and just after the
    // run (also when it ends by an exception).
    cServiceThread(const char* szName, boost::asio::io_context& service, Hook fnStarting = {}, Hook fnEnded = {});
    ~cServiceThread() override;

    bool Start();         // true once the worker runs, or already ran
    virtual void Stop();  // returns with the worker joined

protected:
    int Execute(void* pParam) override;

private:
    // Handed to WaitTerminate: setting it also queues the stop, after the
    // closed event has been reset, so the wait sees the end of this run.
    class cStopEvent : public cEvent
    {
    public:
        explicit cStopEvent(cServiceThread& owner) : m_Owner(owner) {}
        void Set() override;

    private:
        cServiceThread& m_Owner;
    };

    boost::asio::io_context& m_Service;
    const Hook m_fnStarting;
    const Hook m_fnEnded;
    // Written by the owner: a stop still queued from a run that ended otherwise
    // must not end the next one.
    std::atomic<bool> m_bStopRequested{false};
    cStopEvent m_StopEvent{*this};
};
