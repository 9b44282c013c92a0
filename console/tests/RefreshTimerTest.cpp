#include "UiTestSupport.h"
#include "cRefreshTimer.h"

#include <QThread>
#include <chrono>
#include <gtest/gtest.h>

using namespace ui_test;

// Ticks come on the thread that owns the widgets, once a period, and only
// while the timer runs.
TEST(RefreshTimer, TicksOnTheUiThreadEveryPeriodWhileRunning)
{
    int nTicks = 0;
    bool bOffThread = false;
    cRefreshTimer timer([&] {
        ++nTicks;
        bOffThread |= QThread::currentThread() != QCoreApplication::instance()->thread();
    });
    Spin(std::chrono::milliseconds(150));
    EXPECT_EQ(nTicks, 0);  // not before Start

    const auto start = std::chrono::steady_clock::now();
    timer.Start();
    EXPECT_TRUE(timer.IsRunning());
    ASSERT_TRUE(SpinUntil([&] { return nTicks >= 3; }));
    // A coarse timer may fire a few per cent early, never a whole period.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
    EXPECT_FALSE(bOffThread);

    timer.Stop();
    EXPECT_FALSE(timer.IsRunning());
    const int nStopped = nTicks;
    Spin(std::chrono::milliseconds(350));
    EXPECT_EQ(nTicks, nStopped);
}

// A tick may stop its own timer (as a dialog closing from its refresh would).
TEST(RefreshTimer, TickThatStopsTheTimerIsTheLast)
{
    int nTicks = 0;
    cRefreshTimer* pTimer = nullptr;
    cRefreshTimer timer(
        [&] {
            ++nTicks;
            pTimer->Stop();
        },
        20);
    pTimer = &timer;
    timer.Start();
    ASSERT_TRUE(SpinUntil([&] { return nTicks == 1; }));
    Spin(std::chrono::milliseconds(200));
    EXPECT_EQ(nTicks, 1);
}
