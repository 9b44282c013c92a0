#include "LogCapture.h"
#include "WaitFor.h"
#include "XThread.h"
#include "cEvent.h"

#include <atomic>
#include <boost/thread/thread.hpp>
#include <chrono>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>

namespace
{
// A worker that counts its calls and sleeps on a stop event between them.
class CountingWorker : public XThread
{
public:
    explicit CountingWorker(int nStopAfter = -1) : XThread("CountingWorker"), m_nStopAfter(nStopAfter) {}
    ~CountingWorker() override { WaitTerminate(&m_StopEvent); }

    bool Stop() { return WaitTerminate(&m_StopEvent); }

    std::atomic<int> m_nCalls{0};
    cEvent m_StopEvent;

protected:
    int Execute(void*) override
    {
        const int nCall = ++m_nCalls;
        if (m_nStopAfter > 0 && nCall >= m_nStopAfter)
            return 1;
        m_StopEvent.Wait(20u);
        return 0;
    }

private:
    int m_nStopAfter;
};

// A worker that ignores the stop request and the interruption for a while.
class StubbornWorker : public XThread
{
public:
    StubbornWorker() : XThread("Stubborn") {}
    ~StubbornWorker() override { WaitTerminate(nullptr); }

    std::atomic<bool> m_bStarted{false};
    std::atomic<bool> m_bFinished{false};

protected:
    int Execute(void*) override
    {
        m_bStarted = true;
        boost::this_thread::disable_interruption noInterrupt;
        std::this_thread::sleep_for(std::chrono::milliseconds(4600));
        m_bFinished = true;
        return 1;
    }
};

// A worker that sleeps far too long, but at an interruption point.
class SleepyWorker : public XThread
{
public:
    SleepyWorker() : XThread("Sleepy") {}
    ~SleepyWorker() override { WaitTerminate(nullptr); }

    std::atomic<bool> m_bStarted{false};
    std::atomic<bool> m_bInterrupted{false};

protected:
    int Execute(void*) override
    {
        m_bStarted = true;
        try
        {
            boost::this_thread::sleep_for(boost::chrono::seconds(120));
        }
        catch (const boost::thread_interrupted&)
        {
            m_bInterrupted = true;
            throw;
        }
        return 0;
    }
};

// A worker whose Execute throws on the given call: a standard exception, or
// anything else when bUnknown is set.
class ThrowingWorker : public XThread
{
public:
    ThrowingWorker(int nThrowOn, bool bUnknown) : XThread("Thrower"), m_nThrowOn(nThrowOn), m_bUnknown(bUnknown) {}
    ~ThrowingWorker() override { WaitTerminate(&m_StopEvent); }

    std::atomic<int> m_nCalls{0};
    cEvent m_StopEvent;

protected:
    int Execute(void*) override
    {
        if (++m_nCalls == m_nThrowOn)
        {
            if (m_bUnknown)
                throw 42;
            throw std::runtime_error("disk on fire");
        }
        m_StopEvent.Wait(5u);
        return 0;
    }

private:
    const int m_nThrowOn;
    const bool m_bUnknown;
};
} // namespace

TEST(XThreadLifecycle, StartsStopsAndStartsAgain)
{
    LogCapture log;
    CountingWorker worker;
    ASSERT_TRUE(worker.Begin(true));
    ASSERT_TRUE(WaitFor([&] { return worker.m_nCalls >= 3; }));
    EXPECT_TRUE(worker.Stop());
    EXPECT_FALSE(worker.IsRunning());
    const int nCalls = worker.m_nCalls;

    ASSERT_TRUE(worker.Begin(true));
    ASSERT_TRUE(WaitFor([&] { return worker.m_nCalls > nCalls; }));
    EXPECT_TRUE(worker.Stop());
    EXPECT_FALSE(log.Contains("Timeout waiting")) << log.Dump();
}

// Begin refuses while a thread object exists, even when its worker has ended.
TEST(XThreadLifecycle, SecondBeginIsRefusedUntilCollected)
{
    LogCapture log;
    CountingWorker worker;
    ASSERT_TRUE(worker.Begin(false));  // runs Execute once and ends
    ASSERT_TRUE(WaitFor([&] { return worker.m_nCalls == 1; }));
    EXPECT_FALSE(worker.Begin(true));
    EXPECT_TRUE(log.Contains("XThread::Begin (55): (CountingWorker) Thread Already Running", DBG_WRN)) << log.Dump();
}

TEST(XThreadLifecycle, StopOfNeverStartedThreadSucceeds)
{
    LogCapture log;
    CountingWorker worker;
    EXPECT_TRUE(worker.Stop());
    EXPECT_TRUE(log.Contains("XThread::WaitTerminate (97): (CountingWorker) Thread Not Running", DBG_INF));
}

// A loop worker that ended by itself is collected at once, without sitting
// out the 2 s wait for a closed event it has already set, and quietly.
TEST(XThreadLifecycle, WorkerThatEndedByItselfIsCollectedQuietly)
{
    LogCapture log;
    CountingWorker worker(3);
    ASSERT_TRUE(worker.Begin(true));
    ASSERT_TRUE(WaitFor([&] { return worker.m_nCalls == 3; }));
    EXPECT_TRUE(worker.IsRunning());  // finished but not yet joined
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(worker.Stop());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_EQ(log.Count("", DBG_WRN), 0) << log.Dump();
}

// A worker that ignores both the stop request and the interruption is waited
// for: WaitTerminate logs both warnings and returns only once it has ended, so
// it never runs on an object that is gone.
TEST(XThreadStop, WorkerIgnoringInterruptionIsNeverLeftRunning)
{
    LogCapture log;
    auto pWorker = std::make_unique<StubbornWorker>();
    ASSERT_TRUE(pWorker->Begin(false));
    ASSERT_TRUE(WaitFor([&] { return pWorker->m_bStarted.load(); }));
    EXPECT_TRUE(pWorker->WaitTerminate(nullptr));
    EXPECT_TRUE(pWorker->m_bFinished);
    EXPECT_TRUE(log.Contains("(128): (Stubborn) Timeout waiting for thread to exit.", DBG_WRN)) << log.Dump();
    EXPECT_TRUE(log.Contains("(132): (Stubborn) did not exit properly and was Terminated.", DBG_WRN));
    pWorker.reset();
}

// A worker blocked at an interruption point is interrupted after the two waits.
TEST(XThreadStop, SleepingWorkerIsInterrupted)
{
    LogCapture log;
    SleepyWorker worker;
    ASSERT_TRUE(worker.Begin(true));
    ASSERT_TRUE(WaitFor([&] { return worker.m_bStarted.load(); }));
    EXPECT_TRUE(worker.WaitTerminate(nullptr));
    EXPECT_TRUE(worker.m_bInterrupted);
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_TRUE(log.Contains("did not exit properly and was Terminated."));
}

// An exception out of Execute ends only that worker: an ERR line names it, the
// process carries on, WaitTerminate collects it without the closed-event wait,
// and the same object can run again.
TEST(XThreadStop, WorkerEndedByAnExceptionIsLoggedAndCollectedAtOnce)
{
    for (const bool bUnknown : {false, true})
    {
        LogCapture log;
        ThrowingWorker worker(3, bUnknown);
        ASSERT_TRUE(worker.Begin(true));
        ASSERT_TRUE(WaitFor([&] { return log.Contains("(Thrower) ended by", DBG_ERR); })) << log.Dump();
        EXPECT_TRUE(log.Contains(bUnknown ? "XThread::ThreadMain" : "(Thrower) ended by an exception: disk on fire",
                                 DBG_ERR))
            << log.Dump();
        EXPECT_EQ(worker.m_nCalls, 3);

        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(worker.WaitTerminate(&worker.m_StopEvent));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
        EXPECT_FALSE(worker.IsRunning());
        EXPECT_EQ(log.Count("", DBG_WRN), 0) << log.Dump();

        ASSERT_TRUE(worker.Begin(true));  // call 4 onwards: no more throws
        ASSERT_TRUE(WaitFor([&] { return worker.m_nCalls > 4; }));
        EXPECT_TRUE(worker.WaitTerminate(&worker.m_StopEvent));
    }
}
