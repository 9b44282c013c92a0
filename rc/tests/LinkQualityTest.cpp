#include "RC_Frame.h"
#include "RC_Payload.h"
#include "UdpPeer.h"
#include "WaitFor.h"
#include "cPageList.h"
#include "cRC_IO_Pages.h"
#include "cRC_LinkQuality.h"

#include <gtest/gtest.h>
#include <vector>

using namespace std::chrono_literals;

namespace
{
using Clock = cRC_LinkQuality::Clock;
using Bytes = std::vector<uint8_t>;

const Clock::time_point kStart = Clock::time_point() + 1h;

cRC_LinkQuality::Items ItemsOf(std::initializer_list<uint8_t> items)
{
    cRC_LinkQuality::Items set;
    for (uint8_t nItem : items)
        set.set(nItem);
    return set;
}
} // namespace

// Queries are answered only by a status of their subsystem and index that
// carries their item; a periodic request by the first status of its group.
// Median and worst come from the answers of the last 10 s.
TEST(LinkQuality, RoundTripsMatchRequestsToTheirReplies)
{
    cRC_LinkQuality quality;
    quality.RequestSent(5, 0, 3, kStart);
    quality.RequestSent(5, 0, 4, kStart);
    quality.RequestSent(6, 1, cRC_LinkQuality::kAnyItem, kStart);
    // Wrong index, then the right group without the item: neither answers item 3.
    quality.StatusReceived(5, 1, ItemsOf({3}), kStart + 5ms);
    quality.StatusReceived(5, 0, ItemsOf({4}), kStart + 10ms);
    quality.StatusReceived(5, 0, ItemsOf({3, 9}), kStart + 40ms);
    quality.StatusReceived(6, 1, ItemsOf({77}), kStart + 100ms);
    // A second frame answers nothing more.
    quality.StatusReceived(6, 1, ItemsOf({77}), kStart + 200ms);

    cRC_LinkQuality::Figures figures = quality.Snapshot(kStart + 300ms);
    EXPECT_EQ(figures.nAnswered, 3u);
    EXPECT_EQ(figures.nUnanswered, 0u);
    EXPECT_EQ(figures.medianRoundTrip, 40ms);
    EXPECT_EQ(figures.worstRoundTrip, 100ms);

    // Two queries for one item waiting together: one reply answers both.
    quality.RequestSent(5, 0, 3, kStart + 1s);
    quality.RequestSent(5, 0, 3, kStart + 1s + 20ms);
    quality.StatusReceived(5, 0, ItemsOf({3}), kStart + 1s + 30ms);
    figures = quality.Snapshot(kStart + 2s);
    EXPECT_EQ(figures.nAnswered, 5u);
    EXPECT_EQ(figures.medianRoundTrip, 30ms);  // of 10, 30, 40, 100 and 10 ms

    // The window slides: at 10 s after the first sends only the later two remain.
    figures = quality.Snapshot(kStart + 10s + 500ms);
    EXPECT_EQ(figures.nAnswered, 2u);
    EXPECT_EQ(figures.worstRoundTrip, 30ms);
    figures = quality.Snapshot(kStart + 12s);
    EXPECT_EQ(figures.nAnswered, 0u);
    EXPECT_EQ(figures.worstRoundTrip, 0ms);
}

// A request is unanswered once its timeout passes; a reply after that does
// not rescue it; a request still within its timeout counts neither way, and
// one whose send failed not at all.
TEST(LinkQuality, UnansweredShareCountsTimedOutRequests)
{
    cRC_LinkQuality::Settings settings;
    settings.replyTimeout = 1s;
    cRC_LinkQuality quality(settings);
    for (int i = 0; i < 4; ++i)
        quality.RequestSent(2, 0, 7, kStart + i * 100ms);
    quality.StatusReceived(2, 0, ItemsOf({7}), kStart + 350ms);  // answers all four
    quality.RequestSent(2, 0, 8, kStart + 400ms);
    quality.RequestSent(2, 0, 8, kStart + 450ms);
    const uint64_t nFailed = quality.RequestSent(2, 0, 9, kStart + 450ms);
    quality.RequestWithdrawn(nFailed);

    cRC_LinkQuality::Figures figures = quality.Snapshot(kStart + 1s);
    EXPECT_EQ(figures.nAnswered, 4u);
    EXPECT_EQ(figures.nUnanswered, 0u) << "item 8 is still within its timeout";

    quality.StatusReceived(2, 0, ItemsOf({8}), kStart + 1s + 420ms);  // too late for the first
    figures = quality.Snapshot(kStart + 2s);
    EXPECT_EQ(figures.nAnswered, 5u);
    EXPECT_EQ(figures.nUnanswered, 1u);
    EXPECT_DOUBLE_EQ(figures.UnansweredShare(), 1.0 / 6.0);

    // Everything out of the window: no share at all.
    figures = quality.Snapshot(kStart + 11s);
    EXPECT_EQ(figures.nAnswered + figures.nUnanswered, 0u);
    EXPECT_DOUBLE_EQ(figures.UnansweredShare(), 0.0);
}

// EO gaps: the longest interval ending in the last 10 s (the silence since
// the last report included) and how many exceeded the threshold. A silence
// longer than the window is the stream stopping, not a gap, and so is one
// after the output was switched off.
TEST(LinkQuality, EoGapsOverTheWindow)
{
    cRC_LinkQuality::Settings settings;
    settings.eoGapThreshold = 1s;
    cRC_LinkQuality quality(settings);
    EXPECT_FALSE(quality.Snapshot(kStart).bEoReports);

    Clock::time_point t = kStart;
    auto report = [&](Clock::duration gap) { quality.EoReportReceived(t += gap); };
    for (int i = 0; i < 10; ++i)
        report(100ms);
    report(1500ms);  // one long gap
    for (int i = 0; i < 10; ++i)
        report(100ms);
    report(1200ms);  // and another

    cRC_LinkQuality::Figures figures = quality.Snapshot(t + 50ms);
    EXPECT_TRUE(figures.bEoReports);
    EXPECT_EQ(figures.longestEoGap, 1500ms);
    EXPECT_EQ(figures.nEoGapsOver, 2u);

    // The open silence grows like a gap.
    figures = quality.Snapshot(t + 3s);
    EXPECT_EQ(figures.longestEoGap, 3s);
    EXPECT_EQ(figures.nEoGapsOver, 3u);

    // Reports flowing again for over 10 s: the old gaps slide out.
    for (int i = 0; i < 120; ++i)
        report(100ms);
    figures = quality.Snapshot(t);
    EXPECT_EQ(figures.longestEoGap, 100ms);
    EXPECT_EQ(figures.nEoGapsOver, 0u);

    // Silent past the window: no reports, and the restart is not a gap.
    EXPECT_FALSE(quality.Snapshot(t + 11s).bEoReports);
    report(30s);
    figures = quality.Snapshot(t + 10ms);
    EXPECT_TRUE(figures.bEoReports);
    EXPECT_EQ(figures.longestEoGap, 10ms);

    // Switched off on purpose: nothing is reported, no gap grows.
    quality.EoStreamStopped();
    EXPECT_FALSE(quality.Snapshot(t + 5s).bEoReports);
}

// A frame byte-identical to one received on the same link within the window
// is a duplicate; the same frame at the periodic rate, the other link's copy,
// or a frame differing in one byte is not.
TEST(LinkQuality, DuplicatesAreIdenticalFramesCloseTogether)
{
    cRC_LinkQuality::Settings settings;
    settings.duplicateWindow = 20ms;
    cRC_LinkQuality quality(settings);
    const Bytes frame = {0x99, 5, 0, 0x40, 0, 9, 70, 0, 0, 0, 1, 0x5C};
    Bytes other = frame;
    other[10] = 2;
    using Link = cRC_LinkQuality::Link;

    EXPECT_FALSE(quality.FrameReceived(Link::kPages, frame.data(), frame.size(), kStart));
    EXPECT_FALSE(quality.FrameReceived(Link::kEo, frame.data(), frame.size(), kStart + 1ms));
    EXPECT_FALSE(quality.FrameReceived(Link::kPages, other.data(), other.size(), kStart + 2ms));
    EXPECT_FALSE(quality.FrameReceived(Link::kPages, frame.data(), frame.size() - 1, kStart + 3ms));
    EXPECT_TRUE(quality.FrameReceived(Link::kPages, frame.data(), frame.size(), kStart + 5ms));
    EXPECT_TRUE(quality.FrameReceived(Link::kPages, frame.data(), frame.size(), kStart + 15ms));
    // Unchanged values at the fastest periodic rate.
    for (int i = 1; i <= 5; ++i)
        EXPECT_FALSE(quality.FrameReceived(Link::kPages, frame.data(), frame.size(), kStart + i * 100ms)) << i;

    cRC_LinkQuality::Figures figures = quality.Snapshot(kStart + 1s);
    EXPECT_EQ(figures.duplicates[0], 2u);
    EXPECT_EQ(figures.duplicates[1], 0u);
    EXPECT_EQ(figures.Duplicates(), 2u);

    // A window of 0 switches the count off.
    settings.duplicateWindow = 0ms;
    quality.Configure(settings);
    EXPECT_FALSE(quality.FrameReceived(Link::kPages, frame.data(), frame.size(), kStart + 2s));
    EXPECT_FALSE(quality.FrameReceived(Link::kPages, frame.data(), frame.size(), kStart + 2s));
}

// The remote's heartbeats missed: of its 1 s periods due in the window since
// its first heartbeat, those that passed (by half a period) without one; the
// silence since the last one counts too, and a copy counts once. Nothing is
// shown before our own heartbeat went out: without the heartbeat the figure
// is absent.
TEST(LinkQuality, HeartbeatsMissedFromTheRemoteOverTheWindow)
{
    cRC_LinkQuality quality;
    quality.HeartbeatReceived(0, 0, kStart);
    EXPECT_FALSE(quality.Snapshot(kStart + 5s).bHeartbeats);
    quality.HeartbeatSent();

    // With jitter; the beats due at 3 and 4 s are lost; one datagram comes twice.
    for (const auto when : {0ms, 1100ms, 1950ms, 5200ms, 5205ms, 6000ms, 7050ms, 8000ms, 9000ms})
        quality.HeartbeatReceived(0, 0, kStart + when);
    cRC_LinkQuality::Figures figures = quality.Snapshot(kStart + 9500ms);
    EXPECT_TRUE(figures.bHeartbeats);
    EXPECT_EQ(figures.nHeartbeatsMissed, 2u);
    EXPECT_EQ(figures.nHeartbeatsDue, 10u);
    EXPECT_DOUBLE_EQ(figures.HeartbeatsMissedShare(), 0.2);

    // The silence since the last: 1.4 s is jitter, 1.5 s a missed beat.
    figures = quality.Snapshot(kStart + 10400ms);
    EXPECT_EQ(figures.nHeartbeatsMissed, 2u);
    EXPECT_EQ(figures.nHeartbeatsDue, 9u) << "the first, at 0 s, has left the window";
    figures = quality.Snapshot(kStart + 10500ms);
    EXPECT_EQ(figures.nHeartbeatsMissed, 3u);

    // At 14.5 s the window starts at 4.5 s: the lost pair has left it, and
    // the silence since 9 s has missed the beats due at 10 to 14 s.
    figures = quality.Snapshot(kStart + 14500ms);
    EXPECT_EQ(figures.nHeartbeatsMissed, 5u);
    EXPECT_EQ(figures.nHeartbeatsDue, 10u);
    EXPECT_DOUBLE_EQ(figures.HeartbeatsMissedShare(), 0.5);

    // Long after: a window of silence only.
    figures = quality.Snapshot(kStart + 60s);
    EXPECT_EQ(figures.nHeartbeatsMissed, 10u);
    EXPECT_EQ(figures.nHeartbeatsDue, 10u);

    // A remote heard only once, a moment ago: nothing due yet, nothing missed.
    cRC_LinkQuality fresh;
    fresh.HeartbeatSent();
    EXPECT_EQ(fresh.Snapshot(kStart).nHeartbeatsDue, 0u);
    fresh.HeartbeatReceived(0, 0, kStart);
    figures = fresh.Snapshot(kStart + 500ms);
    EXPECT_EQ(figures.nHeartbeatsDue, 1u);
    EXPECT_DOUBLE_EQ(figures.HeartbeatsMissedShare(), 0.0);
}

// Ours, as the remote reports them: the share of its heartbeats within the
// window that report any of ours missed, counted from its first report of
// being active (before that its count says only that it has just started).
TEST(LinkQuality, HeartbeatsMissedByTheRemoteAsItReportsThem)
{
    cRC_LinkQuality quality;
    quality.HeartbeatSent();
    quality.HeartbeatReceived(3, 1, kStart);        // its start: not counted
    quality.HeartbeatReceived(3, 1, kStart + 1s);
    quality.HeartbeatReceived(0, 0, kStart + 2s);   // active: counted from here
    quality.HeartbeatReceived(1, 0, kStart + 3s);
    quality.HeartbeatReceived(0, 0, kStart + 4s);
    quality.HeartbeatReceived(2, 0, kStart + 5s);
    quality.HeartbeatReceived(3, 1, kStart + 6s);   // inactive again: three of ours missed
    cRC_LinkQuality::Figures figures = quality.Snapshot(kStart + 6500ms);
    EXPECT_EQ(figures.nRemoteReports, 5u);
    EXPECT_EQ(figures.nRemoteReportsMissed, 3u);
    EXPECT_DOUBLE_EQ(figures.RemoteMissedShare(), 0.6);
    EXPECT_EQ(figures.nHeartbeatsMissed, 0u) << "each of its heartbeats came";

    // The window slides past the first reports: those at 3 s and earlier have gone.
    figures = quality.Snapshot(kStart + 13500ms);
    EXPECT_EQ(figures.nRemoteReports, 3u);
    EXPECT_EQ(figures.nRemoteReportsMissed, 2u);
    figures = quality.Snapshot(kStart + 17s);
    EXPECT_EQ(figures.nRemoteReports, 0u);
    EXPECT_DOUBLE_EQ(figures.RemoteMissedShare(), 0.0);
}

// A flood of requests, replies, reports and frames far past every ring's
// capacity: the figures stay within the capacities and still make sense.
TEST(LinkQuality, MemoryStaysBoundedUnderAFlood)
{
    cRC_LinkQuality quality;
    Clock::time_point t = kStart;
    for (uint32_t i = 0; i < 200000; ++i)
    {
        t += 10us;
        const uint8_t nItem = static_cast<uint8_t>(i % 200);
        quality.RequestSent(1, 0, nItem, t);
        if (i % 2 == 0)
            quality.StatusReceived(1, 0, ItemsOf({nItem}), t + 1us);
        quality.EoReportReceived(t);
        const uint8_t bytes[4] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i >> 16), 1};
        quality.FrameReceived(cRC_LinkQuality::Link::kPages, bytes, sizeof(bytes), t);
    }
    const cRC_LinkQuality::Figures figures = quality.Snapshot(t + 2s);
    EXPECT_LE(figures.nAnswered + figures.nUnanswered, cRC_LinkQuality::kMaxOutcomes);
    EXPECT_GT(figures.nAnswered, 0u);
    EXPECT_EQ(figures.worstRoundTrip, 1us);
    EXPECT_TRUE(figures.bEoReports);
    EXPECT_EQ(figures.longestEoGap, 2s);  // the open silence; the flood's intervals are 10 us
    EXPECT_EQ(figures.Duplicates(), 0u);
}

// Through real sockets: a query and a periodic request go to a peer on
// 127.0.0.1, whose status replies are measured as round trips; a query the
// peer never answers turns unanswered after the timeout.
TEST(LinkQuality, PageProtocolMeasuresRoundTripsOverUdp)
{
    UdpPeer peer;
    CommsSettings settings;
    settings.nCommsMethod = CommsSettings::kUdp;
    settings.nTxPort = peer.Port();
    settings.nRxPort = FreeUdpPort();
    cRC_LinkQuality quality;
    cPageList list;
    std::vector<PageItem> items;
    items.push_back(PageItem::Make(5, 0, 70, RC_DataType::U32, PageItem::kReadOnly, "Track ID"));
    list.AppendPage(std::move(items), "A", false, -1);
    cRC_IO_Pages pages(RC_Variant::LongFrames, false);
    pages.SetLinkQuality(&quality);
    ASSERT_TRUE(pages.initialise(settings, "Kestrum"));
    pages.m_pPageDefinitions = &list;
    pages.RegisterItems();

    auto reply = [&](uint8_t nStatus) {
        RC_Payload payload;
        payload.AddU32(70, 42);
        RC_Frame frame;
        ASSERT_TRUE(frame.BuildStatus(RC_Variant::LongFrames, 5, 0, nStatus, payload.Data(), payload.Size()));
        peer.SendTo(static_cast<uint16_t>(settings.nRxPort), {frame.Data(), frame.Data() + frame.Size()});
    };
    ASSERT_TRUE(pages.SendQuery(5, 0, 70));
    ASSERT_FALSE(peer.Receive().empty());
    reply(0x00);
    ASSERT_TRUE(WaitFor([&] { return quality.Snapshot(Clock::now()).nAnswered == 1; }, 10s));

    // The link active again: the periodic request goes out once more.
    pages.m_bLinkActive = true;
    pages.RegisterItems();
    ASSERT_FALSE(peer.Receive().empty());
    reply(0x40);
    ASSERT_TRUE(WaitFor([&] { return quality.Snapshot(Clock::now()).nAnswered == 2; }, 10s));

    ASSERT_TRUE(pages.SendQuery(5, 0, 71));
    const cRC_LinkQuality::Figures figures = quality.Snapshot(Clock::now() + 2s);
    EXPECT_EQ(figures.nAnswered, 2u);
    EXPECT_EQ(figures.nUnanswered, 1u);
    EXPECT_GT(figures.worstRoundTrip, 0ns);
    EXPECT_LT(figures.worstRoundTrip, 10s);
    EXPECT_LE(figures.medianRoundTrip, figures.worstRoundTrip);
}
