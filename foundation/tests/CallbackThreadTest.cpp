#include "LogCapture.h"
#include "WaitFor.h"
#include "cCallbackThread.h"

#include <atomic>
#include <gtest/gtest.h>

namespace
{
struct Counter
{
    std::atomic<int> nCalls{0};
    int nStopAt = -1;  // the call that returns false
};

bool Count(void* pParam)
{
    auto* pCounter = static_cast<Counter*>(pParam);
    const int nCall = ++pCounter->nCalls;
    return nCall != pCounter->nStopAt;
}
} // namespace

TEST(CallbackThread, CallsUntilStopped)
{
    LogCapture log;
    Counter counter;
    cCallbackThread thread;
    ASSERT_TRUE(thread.start(&Count, &counter, 5));
    ASSERT_TRUE(WaitFor([&] { return counter.nCalls >= 3; }));
    thread.stop();
    const int nCalls = counter.nCalls;
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_EQ(counter.nCalls, nCalls);
    EXPECT_TRUE(log.Contains("cCallbackThread::Execute (70): Received close event", DBG_INF));
}

TEST(CallbackThread, CallbackReturningFalseEndsTheLoop)
{
    Counter counter;
    counter.nStopAt = 2;
    cCallbackThread thread;
    ASSERT_TRUE(thread.start(&Count, &counter, 1));
    ASSERT_TRUE(WaitFor([&] { return counter.nCalls == 2; }));
    thread.stop();
    EXPECT_EQ(counter.nCalls, 2);
}

// start while running restarts with the new callback, parameter and wait time.
TEST(CallbackThread, StartWhileRunningRestartsWithNewParameter)
{
    Counter first;
    Counter second;
    cCallbackThread thread;
    ASSERT_TRUE(thread.start(&Count, &first, 5));
    ASSERT_TRUE(WaitFor([&] { return first.nCalls >= 1; }));
    ASSERT_TRUE(thread.start(&Count, &second, 1));
    const int nFirst = first.nCalls;
    ASSERT_TRUE(WaitFor([&] { return second.nCalls >= 3; }));
    thread.stop();
    EXPECT_EQ(first.nCalls, nFirst);
}

TEST(CallbackThread, NullCallbackIsRefused)
{
    LogCapture log;
    cCallbackThread thread;
    EXPECT_FALSE(thread.start(nullptr, nullptr, 10));
    EXPECT_TRUE(log.Contains("cCallbackThread::start (34): fnCallback is NULL", DBG_WRN));
    EXPECT_FALSE(thread.IsRunning());
}
