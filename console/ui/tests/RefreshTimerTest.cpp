#include "UiTestSupport.h"
#include "cRefreshTimer.h"

#include <QThread>
#include <QTimer>
#include <chrono>
#include <memory>
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

// Refreshes of whole 100 ms periods share one wake-up, whenever they started:
// a refresh started half a period later runs in the same round as the first.
// A 200 ms refresh runs every other round.
TEST(RefreshTimer, WholePeriodRefreshesShareOneWakeUp)
{
    int nFirst = 0;
    int nLater = 0;
    int nSlow = 0;
    bool bRoundOpen = false;
    bool bApart = false;
    cRefreshTimer first([&] {
        ++nFirst;
        bRoundOpen = true;
        // Runs once this round of ticks is over.
        QTimer::singleShot(0, [&] { bRoundOpen = false; });
    });
    cRefreshTimer later([&] {
        ++nLater;
        bApart |= !bRoundOpen;
    });
    cRefreshTimer slow([&] { ++nSlow; }, 200);
    first.Start();
    Spin(std::chrono::milliseconds(50));
    later.Start();
    slow.Start();
    ASSERT_TRUE(SpinUntil([&] { return nLater >= 10; }));
    EXPECT_FALSE(bApart);
    EXPECT_GE(nSlow, 4);
    EXPECT_LE(nSlow, 6);
}

// A tick that destroys another refresh due in the same round: that one does not run.
TEST(RefreshTimer, RefreshDestroyedByAnEarlierTickDoesNotRun)
{
    int nVictimTicks = 0;
    int nKillerTicks = 0;
    auto pVictim = std::make_unique<cRefreshTimer>([&] { ++nVictimTicks; });
    cRefreshTimer killer([&] {
        ++nKillerTicks;
        pVictim.reset();
    });
    killer.Start();
    pVictim->Start();  // after the killer: due in the killer's rounds
    ASSERT_TRUE(SpinUntil([&] { return nKillerTicks >= 2; }));
    EXPECT_EQ(nVictimTicks, 0);
}
