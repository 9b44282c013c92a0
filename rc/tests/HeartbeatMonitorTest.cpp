#include "LogCapture.h"
#include "cRC_HeartbeatMonitor.h"

#include <gtest/gtest.h>
#include <vector>

namespace
{
using Actions = cRC_HeartbeatMonitor::Actions;

// The ticks of n periods of 100 ms, with what each asked for.
std::vector<Actions> Ticks(cRC_HeartbeatMonitor& monitor, int nTicks)
{
    std::vector<Actions> actions;
    for (int i = 0; i < nTicks; ++i)
        actions.push_back(monitor.Tick());
    return actions;
}

int Resends(const std::vector<Actions>& actions)
{
    int nCount = 0;
    for (const Actions& a : actions)
        nCount += a.bResendPeriodic ? 1 : 0;
    return nCount;
}
} // namespace

// With the heartbeat on: silent at start-up (the count starts at 3), active
// once a heartbeat reporting state 0 is taken over by a tick, inactive again
// with one warning at the third silent second, and warned again only after a
// heartbeat has come and gone.
TEST(HeartbeatMonitor, LinkFollowsHeartbeatsAndWarnsOncePerLoss)
{
    LogCapture log;
    cRC_HeartbeatMonitor monitor;
    monitor.m_bUseHeartbeat = true;

    const std::vector<Actions> startUp = Ticks(monitor, 30);
    for (size_t i = 0; i < startUp.size(); ++i)
    {
        // Our own heartbeat once a second, reporting 3 missed and inactive.
        EXPECT_EQ(startUp[i].bSendHeartbeat, i % 10 == 9) << "tick " << i;
        if (startUp[i].bSendHeartbeat)
        {
            EXPECT_EQ(startUp[i].nMissed, 3);
            EXPECT_EQ(startUp[i].nState, cRC_HeartbeatMonitor::kInactive);
        }
    }
    EXPECT_EQ(Resends(startUp), 0);
    EXPECT_FALSE(log.Contains("Now missed"));
    EXPECT_EQ(monitor.LinkStatusText(), "Inactive - 3");

    // The remote system's state is taken over at the next tick, not at once.
    monitor.HeartbeatReceived(0, cRC_HeartbeatMonitor::kActive);
    EXPECT_FALSE(monitor.m_bLinkActive);
    const Actions takeOver = monitor.Tick();
    EXPECT_TRUE(takeOver.bResendPeriodic);
    EXPECT_TRUE(monitor.m_bLinkActive);
    EXPECT_TRUE(log.Contains("cRC_IO_Pages::MM_TimerHB_Handling (462): Setting interface state to 0", DBG_INF));
    EXPECT_TRUE(log.Contains("(468): HB interface state is now active, resending periodic requests", DBG_INF));
    EXPECT_EQ(monitor.LinkStatusText(), "Active - 0");
    EXPECT_EQ(Resends(Ticks(monitor, 5)), 0) << "taken over once";

    // Our heartbeat tells the count before the period ends, then it counts up.
    const std::vector<Actions> lost = Ticks(monitor, 24);
    std::vector<int> sent;
    for (const Actions& a : lost)
        if (a.bSendHeartbeat)
            sent.push_back(a.nMissed);
    EXPECT_EQ(sent, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(log.Count("(487): Now missed 3 HB messages from the VMS, setting link inactive", DBG_WRN), 1);
    EXPECT_FALSE(monitor.m_bLinkActive);
    EXPECT_EQ(monitor.LinkStatusText(), "Inactive - 3");

    // Frames other than heartbeats do not undo "three missed".
    monitor.FrameHandled();
    Ticks(monitor, 40);
    EXPECT_FALSE(monitor.m_bLinkActive);
    EXPECT_EQ(log.Count("Now missed", DBG_WRN), 1);

    // A heartbeat reporting inactive clears the count but does not bring the link up.
    monitor.HeartbeatReceived(2, cRC_HeartbeatMonitor::kInactive);
    EXPECT_TRUE(log.Contains("cRC_IO_Pages::handleVMS_HeartBeat (569): Received VMS HB reporting 2 missed messages",
                             DBG_WRN));
    EXPECT_EQ(Resends(Ticks(monitor, 10)), 0);
    EXPECT_FALSE(monitor.m_bLinkActive);
    Ticks(monitor, 20);
    EXPECT_EQ(log.Count("Now missed", DBG_WRN), 2);
}

// Without the heartbeat any frame brings the link up; twelve ticks without one
// take it down and ask for the periodic transmissions again, every 1.2 s.
TEST(HeartbeatMonitor, WithoutHeartbeatSilenceResendsEveryTwelveTicks)
{
    cRC_HeartbeatMonitor monitor;
    monitor.FrameHandled();
    EXPECT_TRUE(monitor.m_bLinkActive);

    std::vector<Actions> actions = Ticks(monitor, 11);
    EXPECT_EQ(Resends(actions), 0);
    EXPECT_TRUE(monitor.m_bLinkActive);
    monitor.FrameHandled();  // a frame starts the count again
    actions = Ticks(monitor, 11);
    EXPECT_EQ(Resends(actions), 0);
    EXPECT_TRUE(monitor.Tick().bResendPeriodic);
    EXPECT_FALSE(monitor.m_bLinkActive);

    actions = Ticks(monitor, 36);
    EXPECT_EQ(Resends(actions), 3);
    EXPECT_TRUE(actions[11].bResendPeriodic && actions[23].bResendPeriodic && actions[35].bResendPeriodic);
    for (const Actions& a : actions)
        EXPECT_FALSE(a.bSendHeartbeat);
}
