#include "LogCapture.h"
#include "WaitFor.h"
#include "cEvent.h"
#include "cTimerQueue.h"

#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>

// Timers of one queue fire in due order and keep their own periods.
TEST(TimerQueue, TimersFireInDueOrder)
{
    cTimerQueue queue;
    std::mutex mutex;
    std::vector<int> order;
    cEvent done;
    auto record = [&](int n) {
        std::lock_guard<std::mutex> lock(mutex);
        order.push_back(n);
        if (order.size() == 3)
            done.Set();
    };
    queue.CreateTimer([&] { record(3); }, 60, 0);
    queue.CreateTimer([&] { record(1); }, 1, 0);
    queue.CreateTimer([&] { record(2); }, 30, 0);
    ASSERT_TRUE(done.Wait(10000u));
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(TimerQueue, DeleteUnknownTimerFails)
{
    cTimerQueue queue;
    EXPECT_FALSE(queue.DeleteTimer(42, true));
    const cTimerQueue::Handle hTimer = queue.CreateTimer([] {}, 1000, 0);
    EXPECT_NE(hTimer, 0u);
    EXPECT_TRUE(queue.DeleteTimer(hTimer, true));
    EXPECT_FALSE(queue.DeleteTimer(hTimer, true));
    EXPECT_EQ(queue.CreateTimer(nullptr, 1, 0), 0u);
}

// A callback may destroy the queue it runs on; the queue thread then ends by itself.
TEST(TimerQueue, QueueDestroyedFromItsOwnCallback)
{
    auto pQueue = std::make_unique<cTimerQueue>();
    cEvent done;
    pQueue->CreateTimer([&] {
        pQueue.reset();
        done.Set();
    }, 1, 0);
    ASSERT_TRUE(done.Wait(10000u));
    EXPECT_EQ(pQueue, nullptr);
}

// A callback that throws is reported and the queue goes on serving its timers.
TEST(TimerQueue, ThrowingCallbackIsLoggedAndTimersGoOn)
{
    LogCapture log;
    cTimerQueue queue;
    std::atomic<int> nTicks{0};
    cEvent done;
    queue.CreateTimer([] { throw std::runtime_error("broken tick"); }, 1, 0);
    queue.CreateTimer([&] {
        if (++nTicks == 3)
            done.Set();
    }, 5, 5);
    ASSERT_TRUE(done.Wait(10000u));
    EXPECT_TRUE(log.Contains("Timer callback raised: broken tick", DBG_ERR)) << log.Dump();
}

// Owners that never arm a timer (most protocol objects made for a moment)
// cost no thread; the first timer starts it and the queue still ends cleanly.
TEST(TimerQueue, ThreadStartsWithTheFirstTimer)
{
    auto threads = [] {
        size_t nCount = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
            ++nCount;
        return nCount;
    };
    const size_t nBefore = threads();
    {
        cTimerQueue idle;
        EXPECT_EQ(threads(), nBefore);
        EXPECT_FALSE(idle.OnQueueThread());
    }
    cTimerQueue queue;
    cEvent fired;
    std::atomic<bool> bOnQueue{false};
    ASSERT_NE(queue.CreateTimer([&] {
        bOnQueue = queue.OnQueueThread();
        fired.Set();
    }, 1, 0), 0u);
    ASSERT_TRUE(fired.Wait(10000u));
    EXPECT_TRUE(bOnQueue);
    EXPECT_EQ(threads(), nBefore + 1);
}
