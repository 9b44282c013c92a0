#include "LogCapture.h"
#include "WaitFor.h"
#include "cEvent.h"
#include "cMM_TimerSignal.h"

#include <atomic>
#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

using namespace std::chrono_literals;

TEST(TimerSignal, PeriodicTimerFiresUntilStopped)
{
    LogCapture log;
    std::atomic<int> nTicks{0};
    cMM_TimerSignal timer;
    timer.m_sigTimer.connect([&] { ++nTicks; });
    ASSERT_TRUE(timer.start(5, true));
    ASSERT_TRUE(WaitFor([&] { return nTicks >= 3; }));
    timer.stop(true);
    const int nAfterStop = nTicks;
    std::this_thread::sleep_for(30ms);  // a stopped timer must stay quiet
    EXPECT_EQ(nTicks, nAfterStop);
    EXPECT_TRUE(log.Contains("cMM_TimerSignal::start (65): ", DBG_INF));
    EXPECT_TRUE(log.Contains("cMM_TimerSignal::stop (97): ", DBG_INF));
}

// A second start while armed is refused; after stop the timer starts again.
TEST(TimerSignal, StartWhileArmedIsRefused)
{
    LogCapture log;
    cMM_TimerSignal timer;
    ASSERT_TRUE(timer.start(1000, true));
    EXPECT_FALSE(timer.start(10, true));
    EXPECT_TRUE(log.Contains("cMM_TimerSignal::start (75): Existing timer still running, cannot start", DBG_WRN));
    timer.stop(true);
    EXPECT_TRUE(timer.start(10, false));
    timer.stop(true);
    timer.stop(true);
    EXPECT_TRUE(log.Contains("(103): m_hTimer is already NULL. Is the timer running?", DBG_INF));
}

// A one-shot timer fires once and stays armed until stopped.
TEST(TimerSignal, OneShotFiresOnceAndStaysArmed)
{
    cEvent fired;
    std::atomic<int> nTicks{0};
    cMM_TimerSignal timer;
    timer.m_sigTimer.connect([&] {
        ++nTicks;
        fired.Set();
    });
    ASSERT_TRUE(timer.start(5, false));
    ASSERT_TRUE(fired.Wait(10000u));
    EXPECT_FALSE(fired.Wait(50u));
    EXPECT_EQ(nTicks, 1);
    EXPECT_FALSE(timer.start(5, false));
    timer.stop(true);
    EXPECT_TRUE(timer.start(5, false));
    ASSERT_TRUE(fired.Wait(10000u));
    EXPECT_EQ(nTicks, 2);
}

// stop with wait returns only after a handler in progress has returned; stop
// without wait returns at once.
TEST(TimerSignal, StopWithWaitBlocksUntilHandlerReturns)
{
    for (const bool bWait : {true, false})
    {
        // Declared before the timer, so that the timer (whose destructor waits
        // for the handler) goes first.
        cEvent entered;
        cEvent release;
        std::atomic<bool> bHandlerDone{false};
        cMM_TimerSignal timer;
        timer.m_sigTimer.connect([&] {
            entered.Set();
            release.Wait(10000u);
            bHandlerDone = true;
        });
        ASSERT_TRUE(timer.start(1, false));
        ASSERT_TRUE(entered.Wait(10000u));

        auto stopped = std::async(std::launch::async, [&] { timer.stop(bWait); });
        if (bWait)
        {
            EXPECT_EQ(stopped.wait_for(100ms), std::future_status::timeout) << "stop(true) returned early";
            release.Set();
            stopped.get();
            EXPECT_TRUE(bHandlerDone);
        }
        else
        {
            EXPECT_EQ(stopped.wait_for(10s), std::future_status::ready) << "stop(false) blocked";
            EXPECT_FALSE(bHandlerDone);
            release.Set();
        }
    }
}

// A handler may stop its own timer, with or without waiting, without deadlock.
TEST(TimerSignal, StopFromInsideHandlerDoesNotDeadlock)
{
    for (const bool bWait : {true, false})
    {
        cEvent stopped;
        std::atomic<int> nTicks{0};
        cMM_TimerSignal timer;
        timer.m_sigTimer.connect([&] {
            ++nTicks;
            timer.stop(bWait);
            stopped.Set();
        });
        ASSERT_TRUE(timer.start(1, true));
        ASSERT_TRUE(stopped.Wait(10000u));
        EXPECT_FALSE(timer.IsArmed());
        EXPECT_FALSE(stopped.Wait(30u));
        EXPECT_EQ(nTicks, 1);
    }
}

// Destroying a timer whose handler is still running (after a stop without
// wait) waits for the handler before the memory goes away.
TEST(TimerSignal, DestructionWaitsForRunningHandler)
{
    struct Owner
    {
        cMM_TimerSignal timer;
        std::atomic<int> nValue{0};
    };
    auto pOwner = std::make_unique<Owner>();
    cEvent entered;
    cEvent release;
    std::atomic<bool> bHandlerDone{false};
    pOwner->timer.m_sigTimer.connect([&, pRaw = pOwner.get()] {
        entered.Set();
        release.Wait(10000u);
        pRaw->nValue = 1;  // touches the owner after the stop
        bHandlerDone = true;
    });
    ASSERT_TRUE(pOwner->timer.start(1, false));
    ASSERT_TRUE(entered.Wait(10000u));
    pOwner->timer.stopNoWait();

    auto destroyed = std::async(std::launch::async, [&] { pOwner.reset(); });
    EXPECT_EQ(destroyed.wait_for(100ms), std::future_status::timeout);
    release.Set();
    destroyed.get();
    EXPECT_TRUE(bHandlerDone);
}

// Several timers stop and start from different threads while firing.
TEST(TimerSignal, StartStopChurnFromSeveralThreads)
{
    std::atomic<int> nTicks{0};
    cMM_TimerSignal timers[3];
    for (cMM_TimerSignal& timer : timers)
        timer.m_sigTimer.connect([&] { ++nTicks; });
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t)
    {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i)
            {
                timers[t].start(1, true);
                std::this_thread::yield();
                timers[t].stop(i % 2 == 0);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (cMM_TimerSignal& timer : timers)
        EXPECT_FALSE(timer.IsArmed());
}
