// The timing rules, driven tick by tick and with chosen times instead of waiting.
#include "SimTestSupport.h"
#include "cSimFaults.h"
#include "cSimHeartbeat.h"
#include "cSimPeriodic.h"

#include <gtest/gtest.h>

using namespace simtest;

// Rate R sends every R ticks, the first at the next tick; a new rate starts
// afresh, an unchanged one keeps its phase; an empty mask pauses the group
// and rate 0 forgets it.
TEST(SimPeriodic, RateSetsTheTicksBetweenFrames)
{
    cSimPeriodic periodic;
    auto pattern = [&periodic](int nTicks) {
        std::string sPattern;
        for (int i = 0; i < nTicks; ++i)
            sPattern += periodic.Tick().empty() ? '.' : 'x';
        return sPattern;
    };
    const cSimPeriodic::Mask mask{0x08};
    EXPECT_FALSE(periodic.SetMask(5, 0, mask));  // waits for its rate
    EXPECT_TRUE(periodic.SetRate(5, 0, 4));
    EXPECT_EQ(pattern(9), "x...x...x");
    EXPECT_FALSE(periodic.SetRate(5, 0, 4));
    EXPECT_EQ(pattern(4), "...x");
    EXPECT_TRUE(periodic.SetRate(5, 0, 1));
    EXPECT_EQ(pattern(2), "xx");
    EXPECT_TRUE(periodic.SetMask(5, 0, cSimPeriodic::Mask{}));
    EXPECT_EQ(pattern(2), "..");
    EXPECT_TRUE(periodic.SetMask(5, 0, mask));
    EXPECT_EQ(pattern(1), "x");
    EXPECT_TRUE(periodic.SetRate(5, 0, 0));
    EXPECT_FALSE(periodic.SetMask(5, 0, cSimPeriodic::Mask{}));  // the console's stop adds nothing back
    EXPECT_EQ(periodic.ActiveCount(), 0u);
}

// Inactive with 3 missed before the console's first heartbeat; active while
// they come; a miss counts after a period and a half of silence, inactive at 3.
TEST(SimHeartbeat, MissedCountAndStateFollowTheConsolesBeats)
{
    using std::chrono::milliseconds;
    cSimHeartbeat heartbeat;
    const cSimHeartbeat::Clock::time_point t0 = cSimHeartbeat::Clock::now();
    cSimHeartbeat::Beat beat = heartbeat.Next(t0);
    EXPECT_EQ(beat.nMissed, 3);
    EXPECT_EQ(beat.nState, cSimHeartbeat::kInactive);

    EXPECT_TRUE(heartbeat.OnConsoleHeartbeat(t0, 3, 1).bChanged);
    EXPECT_FALSE(heartbeat.OnConsoleHeartbeat(t0 + milliseconds(900), 3, 1).bChanged);
    const cSimHeartbeat::Clock::time_point last = t0 + milliseconds(1000);
    EXPECT_TRUE(heartbeat.OnConsoleHeartbeat(last, 0, 0).bChanged);
    const std::vector<std::pair<int, int>> expected = {
        {1400, 0}, {1600, 1}, {2400, 1}, {2600, 2}, {3600, 3}, {9000, 3}};
    for (const auto& [nAfter, nMissed] : expected)
    {
        beat = heartbeat.Next(last + milliseconds(nAfter));
        EXPECT_EQ(beat.nMissed, nMissed) << nAfter;
        EXPECT_EQ(beat.nState, nMissed < 3 ? cSimHeartbeat::kActive : cSimHeartbeat::kInactive) << nAfter;
        EXPECT_EQ(beat.bStateChanged, nAfter == 1400 || nAfter == 3600) << nAfter;
    }
}

// A shortened frame of any kind loses the byte before its checksum; length
// field and checksum agree with what is left.
TEST(SimFaults, ShortenedFramesStayConsistent)
{
    Bytes heartbeat = WithChecksum({0x99, 0x00, 0x01, 0x00, 0x00, 0x09, 0x00, 0x00});
    ASSERT_TRUE(cSimFaults::Shorten(heartbeat));
    EXPECT_EQ(heartbeat, WithChecksum({0x99, 0x00, 0x01, 0x00, 0x00, 0x08, 0x00}));

    Bytes eo = {0x77, 0x07, 0x01, 0x00};
    eo.resize(256, 0x11);
    ASSERT_TRUE(cSimFaults::Shorten(eo));
    EXPECT_EQ(eo.size(), 255u);
    EXPECT_EQ(eo[2] << 8 | eo[3], 255);
    EXPECT_TRUE(ChecksumGood(eo));

    Bytes empty = WithChecksum({0x10, 0x05, 0x04, 0x00});
    EXPECT_FALSE(cSimFaults::Shorten(empty));
    EXPECT_EQ(empty, WithChecksum({0x10, 0x05, 0x04, 0x00}));
}
