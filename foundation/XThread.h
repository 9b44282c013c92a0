#pragma once
#include <atomic>
#include <memory>

namespace boost
{
class thread;
}
class cEvent;

// Base of every worker thread: runs Execute once or in a loop and stops it with
// a bounded wait. A derived class must call WaitTerminate in its own destructor:
// by the time ~XThread runs, the derived part (and its Execute) is gone. An
// exception out of Execute ends the worker with an ERR line naming it; the
// process carries on, and WaitTerminate then collects the worker at once.
class XThread
{
public:
    explicit XThread(const char* szName);
    virtual ~XThread();
    XThread(const XThread&) = delete;
    XThread& operator=(const XThread&) = delete;

    bool Begin(bool bLoop);
    bool WaitTerminate(cEvent* pStopEvent);
    bool IsRunning() const;  // a thread object exists and has not been joined
    const char* ThreadName() const { return m_szName; }

protected:
    virtual int ThreadMain();
    virtual int Execute(void* pParam) = 0;

    void* m_pParam = nullptr;
    bool m_bLoop = true;
    std::unique_ptr<boost::thread> m_pThread;
    std::atomic<bool> m_bTerminate{false};  // written by the owner, and by the worker as its loop ends
    std::atomic<bool> m_bFaulted{false};    // written by the worker: Execute threw, the worker has ended
    std::unique_ptr<cEvent> m_pClosedEvent;
    const char* m_szName;
};
