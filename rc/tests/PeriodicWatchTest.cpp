#include "LogCapture.h"
#include "cRC_PeriodicWatch.h"

#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace
{
using Group = cRC_PeriodicWatch::Group;

// The ticks (of 100 ms, link up) at which each group was due, counted from 1.
std::vector<int> DueTicks(cRC_PeriodicWatch& watch, int nTicks, uint8_t nSubSystem, uint8_t nIndex)
{
    std::vector<int> due;
    for (int nTick = 1; nTick <= nTicks; ++nTick)
        for (const Group& group : watch.Tick(true))
            if (group.nSubSystem == nSubSystem && group.nIndex == nIndex)
                due.push_back(nTick);
    return due;
}
} // namespace

// A group that stays silent is due after 1.2 s, then after twice the wait
// each time up to 10 s; it is logged once when it falls silent, and once
// when its frames come back, which starts the wait over from 1.2 s.
TEST(PeriodicWatch, SilentGroupIsAskedAgainWithBackOffUntilItsFramesCome)
{
    LogCapture log;
    cRC_PeriodicWatch watch;
    watch.Requested(4, 1, 1);
    // 12, +24, +48, +96, then +100 while it stays silent.
    EXPECT_EQ(DueTicks(watch, 400, 4, 1), (std::vector<int>{12, 36, 84, 180, 280, 380}));
    EXPECT_TRUE(watch.IsSilent(4, 1));
    EXPECT_EQ(log.Count("No periodic status of subsystem 4 index 1 for 1.2 s while the link is up: asking again",
                        DBG_WRN),
              1)
        << log.Dump();
    EXPECT_EQ(log.Count("cRC_PeriodicWatch::Tick"), 1);

    watch.StatusReceived(4, 1);
    watch.StatusReceived(4, 1);
    EXPECT_FALSE(watch.IsSilent(4, 1));
    EXPECT_EQ(log.Count("Periodic status of subsystem 4 index 1 arrives again", DBG_INF), 1) << log.Dump();
    // Frames every half second keep it quiet indefinitely.
    for (int nTick = 1; nTick <= 300; ++nTick)
    {
        if (nTick % 5 == 0)
            watch.StatusReceived(4, 1);
        EXPECT_TRUE(watch.Tick(true).empty()) << "tick " << nTick;
    }
    // Silent again after its last frame: the wait starts from 1.2 s, and it is logged afresh.
    watch.StatusReceived(4, 1);
    EXPECT_EQ(DueTicks(watch, 20, 4, 1), (std::vector<int>{12}));
    EXPECT_EQ(log.Count("asking again"), 2);
}

// Only the silent group is due; each waits by its own rate (three periods,
// never less than 1.2 s); a frame of another index of the same subsystem
// answers nothing, except with short frames, which carry no index.
TEST(PeriodicWatch, GroupsAreWatchedEachOnItsOwn)
{
    cRC_PeriodicWatch watch;
    watch.Requested(4, 1, 1);
    watch.Requested(4, 2, 10);  // a group every second: due after 3 s
    watch.Requested(6, 0, 4);   // 3 x 400 ms: 1.2 s as well
    std::vector<std::pair<int, int>> due;  // tick, SubSystem << 8 | Index
    for (int nTick = 1; nTick <= 30; ++nTick)
    {
        watch.StatusReceived(4, 1);
        for (const Group& group : watch.Tick(true))
            due.emplace_back(nTick, group.nSubSystem << 8 | group.nIndex);
    }
    EXPECT_EQ(due, (std::vector<std::pair<int, int>>{{12, 0x600}, {30, 0x402}}));
    EXPECT_FALSE(watch.IsSilent(4, 1));
    EXPECT_TRUE(watch.IsSilent(4, 2));

    cRC_PeriodicWatch shortFrames(false);
    shortFrames.Requested(4, 1, 1);
    shortFrames.Requested(4, 2, 1);
    shortFrames.Requested(5, 1, 1);
    for (int nTick = 1; nTick <= 12; ++nTick)
    {
        shortFrames.StatusReceived(4, 0);
        const std::vector<Group> groups = shortFrames.Tick(true);
        EXPECT_EQ(groups.size(), nTick == 12 ? 1u : 0u) << "tick " << nTick;
        for (const Group& group : groups)
            EXPECT_EQ(group.nSubSystem, 5);
    }
}

// A stopped group is never asked for again, by a stop or a request at rate 0;
// while the link is down no group falls silent, and a fresh request starts
// the wait over from the shortest without calling a silent group back.
TEST(PeriodicWatch, StoppedGroupsAndTheLinkDownAreLeftToTheHeartbeatRules)
{
    cRC_PeriodicWatch watch;
    watch.Requested(4, 1, 1);
    watch.Requested(4, 2, 1);
    watch.Stopped(4, 1);
    watch.Requested(4, 2, 0);
    watch.Stopped(9, 9);  // never requested: nothing happens
    EXPECT_TRUE(DueTicks(watch, 300, 4, 1).empty());
    EXPECT_TRUE(DueTicks(watch, 300, 4, 2).empty());

    watch.Requested(7, 3, 1);
    for (int nTick = 0; nTick < 100; ++nTick)
        EXPECT_TRUE(watch.Tick(false).empty());
    EXPECT_FALSE(watch.IsSilent(7, 3));
    // Up again: counted from there, and backed off.
    EXPECT_EQ(DueTicks(watch, 40, 7, 3), (std::vector<int>{12, 36}));
    // Down for a while in the middle of a wait: the count starts again.
    for (int nTick = 0; nTick < 20; ++nTick)
        watch.Tick(nTick % 2 == 0);
    EXPECT_EQ(DueTicks(watch, 48, 7, 3), (std::vector<int>{48}));
    // The heartbeat rules asked for everything again: the shortest wait, still silent.
    watch.Requested(7, 3, 1);
    EXPECT_TRUE(watch.IsSilent(7, 3));
    EXPECT_EQ(DueTicks(watch, 12, 7, 3), (std::vector<int>{12}));
}

// Frames on the receive thread, requests on another, ticks on a third.
TEST(PeriodicWatch, ThreadsMeetUnderTheLock)
{
    cRC_PeriodicWatch watch;
    std::thread receiver([&] {
        for (int i = 0; i < 20000; ++i)
            watch.StatusReceived(static_cast<uint8_t>(i % 8), 0);
    });
    std::thread requester([&] {
        for (int i = 0; i < 2000; ++i)
        {
            watch.Requested(static_cast<uint8_t>(i % 8), 0, 1);
            if (i % 3 == 0)
                watch.Stopped(static_cast<uint8_t>(i % 8), 0);
        }
    });
    size_t nDue = 0;
    for (int i = 0; i < 2000; ++i)
        nDue += watch.Tick(true).size();
    receiver.join();
    requester.join();
    EXPECT_LE(nDue, 8u * 2000u);
}
