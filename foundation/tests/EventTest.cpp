#include "cEvent.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

using namespace std::chrono;

// Sets before a wait are consumed together; a timed wait with nothing pending
// waits out its limit and fails.
TEST(Event, PendingSetsAreConsumedTogether)
{
    cEvent event;
    event.Set();
    event.Set();
    event.Set();
    event.Wait();
    const auto start = steady_clock::now();
    EXPECT_FALSE(event.Wait(10u));
    EXPECT_GE(steady_clock::now() - start, milliseconds(10));
}

TEST(Event, ResetDiscardsPendingSets)
{
    cEvent event;
    event.Set();
    event.Reset();
    EXPECT_FALSE(event.Wait(10u));
    event.Set();
    EXPECT_TRUE(event.Wait(500u));
    EXPECT_FALSE(event.WaitMicroseconds(0));
}

// A waiter on another thread wakes when the event is set, well before its limit.
TEST(Event, SetWakesWaiterOnAnotherThread)
{
    cEvent ready;
    cEvent event;
    std::atomic<bool> bWoken{false};
    std::thread waiter([&] {
        ready.Set();
        bWoken = event.Wait(60000u);
    });
    ready.Wait();
    event.Set();
    waiter.join();
    EXPECT_TRUE(bWoken);
}

// Every waiter is woken by one Set; whichever consumes first takes the event.
TEST(Event, UntimedWaitReturnsOnlyAfterSet)
{
    cEvent event;
    std::atomic<bool> bReturned{false};
    std::thread waiter([&] {
        event.Wait();
        bReturned = true;
    });
    EXPECT_FALSE(bReturned.load());
    event.Set();
    waiter.join();
    EXPECT_TRUE(bReturned);
}
