#include "TempDir.h"
#include "cKestrumSettings.h"
#include "cEoStreamWatch.h"
#include "cLinkQualityState.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace
{
using Clock = cLinkQualityState::Clock;
using Figures = cRC_LinkQuality::Figures;

Figures Unanswered(uint32_t nAnswered, uint32_t nUnanswered)
{
    Figures figures;
    figures.nAnswered = nAnswered;
    figures.nUnanswered = nUnanswered;
    figures.medianRoundTrip = nAnswered ? 20ms : 0ms;
    figures.worstRoundTrip = nAnswered ? 40ms : 0ms;
    return figures;
}
} // namespace

// Degraded follows the figures with hysteresis: entered at once above an
// upper threshold, kept through a good spell shorter than the hold and while
// a figure sits between the thresholds, left after the hold. LINK LOST wins:
// the display then says nothing of degradation.
TEST(LinkQualityState, DegradedIsEnteredAndLeftWithHysteresis)
{
    cLinkQualityState state;  // 20%/5%, 500/250 ms, 1 s/500 ms, hold 5 s
    Clock::time_point now{};
    const Figures good = Unanswered(20, 0);
    EXPECT_FALSE(state.Update(good, false, now).bDegraded);
    EXPECT_EQ(state.Shown().sState, "");
    EXPECT_EQ(state.Shown().sRoundTrip, "20 ms (worst 40 ms)");
    EXPECT_EQ(state.Shown().sUnanswered, "0% of 20");

    // 25% unanswered: degraded, and why.
    const cLinkQualityState::Display& shown = state.Update(Unanswered(15, 5), false, now += 200ms);
    EXPECT_TRUE(shown.bDegraded);
    EXPECT_EQ(shown.sState, "LINK DEGRADED: unanswered 25%");
    EXPECT_EQ(shown.sUnanswered, "25% of 20");

    // Good for 3 s, then a figure between the thresholds: the hold starts again.
    for (int i = 0; i < 15; ++i)
        EXPECT_TRUE(state.Update(good, false, now += 200ms).bDegraded) << i;
    EXPECT_EQ(state.Shown().sState, "LINK DEGRADED: recovering");
    Figures middling = good;
    middling.worstRoundTrip = 300ms;
    EXPECT_EQ(state.Update(middling, false, now += 200ms).sState, "LINK DEGRADED: round trip 300 ms");
    // The hold counts from the first good sample: five seconds later, left.
    for (int i = 0; i < 25; ++i)
        EXPECT_TRUE(state.Update(good, false, now += 200ms).bDegraded) << i;
    EXPECT_FALSE(state.Update(good, false, now += 200ms).bDegraded);
    EXPECT_FALSE(state.IsDegraded());

    // Lost wins, though the state underneath follows the figures.
    Figures bad = good;
    bad.worstRoundTrip = 600ms;
    const cLinkQualityState::Display& lost = state.Update(bad, true, now += 200ms);
    EXPECT_FALSE(lost.bDegraded);
    EXPECT_TRUE(lost.bLost);
    EXPECT_EQ(lost.sState, "");
    EXPECT_TRUE(state.IsDegraded());
    EXPECT_EQ(state.Update(bad, false, now += 200ms).sState, "LINK DEGRADED: round trip 600 ms");

    // A quiet link: one query of one unanswered is no share to judge by; five of five are.
    cLinkQualityState quiet;
    EXPECT_FALSE(quiet.Update(Unanswered(0, 1), false, now += 200ms).bDegraded);
    EXPECT_FALSE(quiet.Update(Unanswered(1, 3), false, now += 200ms).bDegraded);
    EXPECT_EQ(quiet.Shown().sUnanswered, "75% of 4");
    EXPECT_TRUE(quiet.Update(Unanswered(0, 5), false, now += 200ms).bDegraded);
}

// Each figure alone can degrade the link; EO gaps only while reports flow.
// Texts for the read-outs; an unchanged sample changes no text.
TEST(LinkQualityState, EachFigureDegradesAndIsShown)
{
    Clock::time_point now{};
    {
        cLinkQualityState state;
        Figures figures;
        figures.longestEoGap = 1200ms;  // no report within the window: ignored
        EXPECT_FALSE(state.Update(figures, false, now).bDegraded);
        EXPECT_EQ(state.Shown().sEoGaps, "no reports");
        EXPECT_EQ(state.Shown().sRoundTrip, "no replies");
        EXPECT_EQ(state.Shown().sUnanswered, "no requests");
        figures.bEoReports = true;
        figures.nEoGapsOver = 1;
        EXPECT_EQ(state.Update(figures, false, now).sState, "LINK DEGRADED: EO gap 1.2 s");
        EXPECT_EQ(state.Shown().sEoGaps, "max 1.2 s, 1 over 1.0 s");
    }
    {
        cLinkQualityState state;
        Figures figures = Unanswered(10, 0);
        figures.worstRoundTrip = 500ms;  // at the threshold is not above it
        EXPECT_FALSE(state.Update(figures, false, now).bDegraded);
        figures.worstRoundTrip = 501ms;
        figures.duplicates = {2, 1};
        EXPECT_TRUE(state.Update(figures, false, now).bDegraded);
        EXPECT_EQ(state.Shown().sDuplicates, "3");
        const cLinkQualityState::Display before = state.Shown();
        EXPECT_EQ(state.Update(figures, false, now + 100ms), before);
    }
    EXPECT_EQ(cLinkQualityState::DurationText(300us), "< 1 ms");
    EXPECT_EQ(cLinkQualityState::DurationText(999ms), "999 ms");
    EXPECT_EQ(cLinkQualityState::DurationText(1250ms), "1.2 s");
}

// Heartbeats missed either way degrade the link above 20% and let it go only
// after every share stayed at or below 5% for the hold time. Without the
// heartbeat the figure is absent and degrades nothing.
TEST(LinkQualityState, MissedHeartbeatsDegradeEitherWay)
{
    Clock::time_point now{};
    cLinkQualityState state;
    Figures figures = Unanswered(10, 0);
    figures.nHeartbeatsDue = 10;
    figures.nHeartbeatsMissed = 5;
    EXPECT_FALSE(state.Update(figures, false, now).bDegraded) << "no heartbeat: the counts mean nothing";
    EXPECT_EQ(state.Shown().sHeartbeats, "");

    figures.bHeartbeats = true;
    figures.nHeartbeatsDue = 0;
    figures.nHeartbeatsMissed = 0;
    EXPECT_EQ(state.Update(figures, false, now += 200ms).sHeartbeats, "rx -, tx -");
    figures.nHeartbeatsDue = 10;
    figures.nHeartbeatsMissed = 2;
    figures.nRemoteReports = 8;
    EXPECT_FALSE(state.Update(figures, false, now += 200ms).bDegraded) << "20% is the threshold, not above it";
    EXPECT_EQ(state.Shown().sHeartbeats, "rx 20% of 10, tx 0% of 8");
    figures.nRemoteReportsMissed = 2;  // ours, 25% missed as the remote reports
    EXPECT_EQ(state.Update(figures, false, now += 200ms).sState, "LINK DEGRADED: heartbeats missed rx 20% tx 25%");

    // 10% and 0%: between the thresholds, held however long it lasts.
    figures.nHeartbeatsMissed = 1;
    figures.nRemoteReportsMissed = 0;
    for (int i = 0; i < 50; ++i)
        EXPECT_TRUE(state.Update(figures, false, now += 200ms).bDegraded) << i;
    // Both at 5% or less: left after the hold.
    figures.nHeartbeatsDue = 20;
    for (int i = 0; i < 25; ++i)
        EXPECT_TRUE(state.Update(figures, false, now += 200ms).bDegraded) << i;
    EXPECT_FALSE(state.Update(figures, false, now += 200ms).bDegraded);
    EXPECT_EQ(state.Shown().sHeartbeats, "rx 5% of 20, tx 0% of 8");
}

// The keys in the settings file; absent keys keep the defaults, and limits
// that would break the hysteresis are made safe.
TEST(LinkQualityState, ThresholdsComeFromTheSettingsFile)
{
    TempDir dir;
    dir.Write("plain.xml", R"(<VMS_Cfg><Kestrum nTxPort="7001"/><EoTrackData/></VMS_Cfg>)");
    cKestrumSettings plain;
    ASSERT_TRUE(plain.Read(dir.File("plain.xml")));
    const cLinkQualityState::Thresholds defaults = plain.DegradedThresholds();
    EXPECT_DOUBLE_EQ(defaults.dEnterUnanswered, 0.20);
    EXPECT_DOUBLE_EQ(defaults.dLeaveUnanswered, 0.05);
    EXPECT_EQ(defaults.enterRoundTrip, 500ms);
    EXPECT_EQ(defaults.leaveRoundTrip, 250ms);
    EXPECT_EQ(defaults.enterEoGap, 1s);
    EXPECT_EQ(defaults.leaveEoGap, 500ms);
    EXPECT_EQ(defaults.hold, 5s);
    EXPECT_DOUBLE_EQ(defaults.dEnterHeartbeatsMissed, 0.20);
    EXPECT_DOUBLE_EQ(defaults.dLeaveHeartbeatsMissed, 0.05);
    EXPECT_EQ(plain.LinkQualitySettings().replyTimeout, 1s);
    EXPECT_EQ(plain.LinkQualitySettings().duplicateWindow, 20ms);

    dir.Write("set.xml", R"(<VMS_Cfg><Kestrum nReplyTimeoutMs="2000" nDuplicateWindowMs="5" nEoGapMs="700"
        nRecoveredEoGapMs="900" nDegradedUnansweredPercent="30" nRecoveredUnansweredPercent="-4"
        nDegradedRoundTripMs="800" nRecoveredRoundTripMs="400" nRecoveredHoldMs="3000"
        nDegradedMissedHeartbeatsPercent="15" nRecoveredMissedHeartbeatsPercent="10"/><EoTrackData/></VMS_Cfg>)");
    cKestrumSettings set;
    ASSERT_TRUE(set.Read(dir.File("set.xml")));
    const cLinkQualityState::Thresholds thresholds = set.DegradedThresholds();
    EXPECT_DOUBLE_EQ(thresholds.dEnterUnanswered, 0.30);
    EXPECT_DOUBLE_EQ(thresholds.dLeaveUnanswered, 0.0);
    EXPECT_EQ(thresholds.enterRoundTrip, 800ms);
    EXPECT_EQ(thresholds.leaveRoundTrip, 400ms);
    EXPECT_EQ(thresholds.enterEoGap, 700ms);
    EXPECT_EQ(thresholds.leaveEoGap, 700ms) << "a lower limit above the upper one is the upper one";
    EXPECT_EQ(thresholds.hold, 3s);
    EXPECT_DOUBLE_EQ(thresholds.dEnterHeartbeatsMissed, 0.15);
    EXPECT_DOUBLE_EQ(thresholds.dLeaveHeartbeatsMissed, 0.10);
    const cRC_LinkQuality::Settings recorder = set.LinkQualitySettings();
    EXPECT_EQ(recorder.replyTimeout, 2s);
    EXPECT_EQ(recorder.duplicateWindow, 5ms);
    EXPECT_EQ(recorder.eoGapThreshold, 700ms);
}

// The EO stream's ask, repeated while no report comes: first after 3 s, then
// waiting twice as long each time up to 30 s; not while the link is down; a
// report ends the silence, and a later silence starts from 3 s again.
TEST(EoStreamWatch, AsksAgainLessAndLessOftenUntilReportsCome)
{
    using namespace std::chrono_literals;
    cEoStreamWatch watch;
    const cEoStreamWatch::Clock::time_point t0{};
    EXPECT_FALSE(watch.AskAgain(true, std::nullopt, t0 + 10s));  // not wanted
    watch.Wanted(true, t0);
    EXPECT_FALSE(watch.AskAgain(true, std::nullopt, t0 + 2999ms));
    EXPECT_FALSE(watch.AskAgain(false, std::nullopt, t0 + 5s));  // link down: not now
    EXPECT_TRUE(watch.AskAgain(true, std::nullopt, t0 + 5s));
    EXPECT_TRUE(watch.IsSilent());
    EXPECT_FALSE(watch.AskAgain(true, std::nullopt, t0 + 10999ms));
    EXPECT_TRUE(watch.AskAgain(true, std::nullopt, t0 + 11s));   // 6 s later
    EXPECT_FALSE(watch.AskAgain(true, std::nullopt, t0 + 22s));
    EXPECT_TRUE(watch.AskAgain(true, std::nullopt, t0 + 23s));   // 12 s
    EXPECT_TRUE(watch.AskAgain(true, std::nullopt, t0 + 47s));   // 24 s
    EXPECT_FALSE(watch.AskAgain(true, std::nullopt, t0 + 76s));
    EXPECT_TRUE(watch.AskAgain(true, std::nullopt, t0 + 77s));   // 30 s at the most

    // Reports come: no ask while they flow; a silence after them asks after 3 s.
    EXPECT_FALSE(watch.AskAgain(true, t0 + 78s, t0 + 79s));
    EXPECT_FALSE(watch.IsSilent());
    EXPECT_FALSE(watch.AskAgain(true, t0 + 78s, t0 + 80999ms));
    EXPECT_TRUE(watch.AskAgain(true, t0 + 78s, t0 + 81s));
    EXPECT_FALSE(watch.IsSilent());  // one ask after a stream is not yet a silence
    EXPECT_TRUE(watch.AskAgain(true, t0 + 78s, t0 + 84s));
    EXPECT_TRUE(watch.IsSilent());

    watch.Wanted(false, t0 + 90s);
    EXPECT_FALSE(watch.AskAgain(true, std::nullopt, t0 + 200s));
}
