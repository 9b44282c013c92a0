#include "RC_DatagramKind.h"
#include "cRC_MismatchMonitor.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace
{
using Clock = cRC_MismatchMonitor::Clock;
using Report = cRC_MismatchMonitor::Report;

// A link's running counts, moved on by the test between updates.
struct Link
{
    cRC_MismatchMonitor monitor;
    cRC_MismatchMonitor::Counts counts;
    Clock::time_point now{};

    Report After(Clock::duration elapsed) { return monitor.Update(counts, now += elapsed); }
    void Unframed(RC_DatagramKind eKind, uint32_t nDatagrams = 1) { counts.nUnframed[static_cast<size_t>(eKind)] += nDatagrams; }
};

bool Quiet(const Report& report)
{
    return !report.bMismatchBegins && !report.bMismatchEnds && !report.bRefusalBegins && !report.bRefusalEnds;
}
} // namespace

// What a datagram that held no frame is called, from its first bytes.
TEST(DatagramKind, FirstBytesNameWhatWasSent)
{
    struct Case
    {
        std::vector<uint8_t> bytes;
        RC_DatagramKind eKind;
    };
    const std::vector<Case> cases = {
        {{0x10, 0x05, 0x00, 0x01}, RC_DatagramKind::Short},
        {{0x99, 0x05, 0x02, 0x00, 0x01}, RC_DatagramKind::Long},
        {{0x77, 0x1E, 0x00, 0x20}, RC_DatagramKind::Eo},
        {{'h', 'e', 'l', 'l', 'o', '\r', '\n'}, RC_DatagramKind::Text},
        // 'w' is the EO frame's first byte; text all the same.
        {{'w', 'a', 'k', 'e'}, RC_DatagramKind::Text},
        // Printable for eight bytes is text whatever follows.
        {{'G', 'E', 'T', ' ', '/', ' ', 'H', 'T', 0x00}, RC_DatagramKind::Text},
        {{'A', 0x00}, RC_DatagramKind::Other},
        {{0x00, 0x10}, RC_DatagramKind::Other},
        {{0xFF}, RC_DatagramKind::Other},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RC_ClassifyDatagram(c.bytes.data(), static_cast<int32_t>(c.bytes.size())), c.eKind)
            << static_cast<int>(c.bytes[0]);
    EXPECT_EQ(RC_ClassifyDatagram(nullptr, 0), RC_DatagramKind::Other);

    EXPECT_EQ(cRC_MismatchMonitor::SeenText(RC_DatagramKind::Short, 0x10), "short frames (0x10)");
    EXPECT_EQ(cRC_MismatchMonitor::SeenText(RC_DatagramKind::Eo, 0x77), "EO frames (0x77)");
    // The sample holds the first bytes, first byte lowest; a line end ends the quote.
    EXPECT_EQ(cRC_MismatchMonitor::SeenText(RC_DatagramKind::Text, 0x0A474E4950ull), "text (\"PING\")");
    EXPECT_EQ(cRC_MismatchMonitor::SeenText(RC_DatagramKind::Other, 0x1000ull),
              "datagrams that are not frames (first byte 0x00)");
}

// Frames of another kind, then the right ones: begins at the third datagram
// of a run, says nothing more however many follow, ends when a good frame
// comes; the kind this end is set for never counts.
TEST(MismatchMonitor, BeginsOnceOnARunAndEndsWhenGoodFramesCome)
{
    Link link;
    link.monitor.SetExpected(RC_DatagramKind::Long);
    link.Unframed(RC_DatagramKind::Short, 2);
    EXPECT_TRUE(Quiet(link.After(100ms)));
    // Broken frames of the expected kind are the framer's business.
    link.Unframed(RC_DatagramKind::Long, 50);
    EXPECT_TRUE(Quiet(link.After(100ms)));

    link.Unframed(RC_DatagramKind::Short);
    Report report = link.After(900ms);
    EXPECT_TRUE(report.bMismatchBegins);
    EXPECT_EQ(report.eBegun, RC_DatagramKind::Short);
    EXPECT_TRUE(link.monitor.InMismatch());

    // A flood, for a minute: nothing new to say.
    for (int i = 0; i < 600; ++i)
    {
        link.Unframed(RC_DatagramKind::Short, 1000);
        ASSERT_TRUE(Quiet(link.After(100ms))) << i;
    }

    ++link.counts.nGoodFrames;
    link.Unframed(RC_DatagramKind::Short);
    report = link.After(100ms);
    EXPECT_TRUE(report.bMismatchEnds);
    EXPECT_TRUE(report.bMismatchEndsByFrames);
    EXPECT_EQ(report.eEnded, RC_DatagramKind::Short);
    EXPECT_FALSE(report.bMismatchBegins);
    EXPECT_FALSE(link.monitor.InMismatch());

    // Good frames among the wrong ones: the link works, nothing to say.
    Clock::time_point lastGood;
    for (int i = 0; i < 20; ++i)
    {
        link.Unframed(RC_DatagramKind::Text, 5);
        if (i % 3 == 0)
        {
            ++link.counts.nGoodFrames;
            lastGood = link.now + 100ms;
        }
        ASSERT_FALSE(link.After(100ms).bMismatchBegins) << i;
    }
    // The good frames stop: once they are kGoodFrameHold in the past, it is one.
    while (link.now + 100ms - lastGood < cRC_MismatchMonitor::kGoodFrameHold)
    {
        link.Unframed(RC_DatagramKind::Text);
        ASSERT_FALSE(link.After(100ms).bMismatchBegins);
    }
    link.Unframed(RC_DatagramKind::Text);
    report = link.After(100ms);
    EXPECT_TRUE(report.bMismatchBegins);
    EXPECT_EQ(report.eBegun, RC_DatagramKind::Text);
}

// Runs need their datagrams close together; a kind that stops ends the
// mismatch, and another kind still arriving takes over in the same update.
TEST(MismatchMonitor, RunsAndEndsFollowTheQuietTime)
{
    Link link;
    link.monitor.SetExpected(RC_DatagramKind::Short);
    // One stray datagram every six seconds never makes a run.
    for (int i = 0; i < 10; ++i)
    {
        link.Unframed(RC_DatagramKind::Other);
        ASSERT_TRUE(Quiet(link.After(6s))) << i;
    }

    // The remote system's heartbeats in long frames, once a second.
    for (int i = 0; i < 3; ++i)
    {
        link.Unframed(RC_DatagramKind::Long);
        const Report report = link.After(1s);
        EXPECT_EQ(report.bMismatchBegins, i == 2) << i;
    }
    EXPECT_EQ(link.monitor.MismatchKind(), RC_DatagramKind::Long);

    // They stop; EO frames come instead.
    Report report;
    for (int i = 0; i < 6 && !report.bMismatchEnds; ++i)
    {
        link.Unframed(RC_DatagramKind::Eo);
        report = link.After(1s);
    }
    EXPECT_TRUE(report.bMismatchEnds);
    EXPECT_FALSE(report.bMismatchEndsByFrames);
    EXPECT_EQ(report.eEnded, RC_DatagramKind::Long);
    EXPECT_TRUE(report.bMismatchBegins);
    EXPECT_EQ(report.eBegun, RC_DatagramKind::Eo);

    // Everything stops: the mismatch ends once, and nothing follows.
    report = link.After(cRC_MismatchMonitor::kQuiet + 1ms);
    EXPECT_TRUE(report.bMismatchEnds);
    EXPECT_FALSE(report.bMismatchBegins);
    EXPECT_TRUE(Quiet(link.After(10s)));

    // A new transport counts from nothing again: no wrap into a flood.
    link.counts = {};
    EXPECT_TRUE(Quiet(link.After(100ms)));
    link.Unframed(RC_DatagramKind::Eo, 2);
    EXPECT_TRUE(Quiet(link.After(100ms)));
}

// Refused sends: begins at the first refusal, once; ends when a good frame
// comes, or when a send has gone kAnswerWait without a refusal. A send counted
// with the refusal proves nothing; a refusal during the wait starts it again.
TEST(MismatchMonitor, RefusalLastsUntilTheFarEndTakesOrAnswers)
{
    Link link;
    ++link.counts.nSent;
    EXPECT_TRUE(Quiet(link.After(100ms)));
    ++link.counts.nRefusals;
    ++link.counts.nSent;
    EXPECT_TRUE(link.After(100ms).bRefusalBegins);
    EXPECT_TRUE(link.monitor.Refused());
    for (int i = 0; i < 50; ++i)
    {
        ++link.counts.nSent;
        ++link.counts.nRefusals;
        ASSERT_TRUE(Quiet(link.After(100ms))) << i;
    }

    // A send, then its refusal within the wait: still refused.
    ++link.counts.nSent;
    EXPECT_TRUE(Quiet(link.After(100ms)));
    EXPECT_TRUE(Quiet(link.After(300ms)));
    ++link.counts.nRefusals;
    EXPECT_TRUE(Quiet(link.After(300ms)));
    EXPECT_TRUE(link.monitor.Refused());
    // A host on the network refuses about once a second while we send ten
    // times as often: one refusal all along, not one a second.
    for (int i = 0; i < 300; ++i)
    {
        ++link.counts.nSent;
        if (i % 10 == 9)
            ++link.counts.nRefusals;
        ASSERT_TRUE(Quiet(link.After(100ms))) << i;
    }
    // Nothing sent: nothing learnt, however long.
    EXPECT_TRUE(Quiet(link.After(1min)));

    // A send that is not refused.
    ++link.counts.nSent;
    EXPECT_TRUE(Quiet(link.After(100ms)));
    EXPECT_TRUE(Quiet(link.After(cRC_MismatchMonitor::kAnswerWait - 1ms)));
    Report report = link.After(1ms);
    EXPECT_TRUE(report.bRefusalEnds);
    EXPECT_FALSE(report.bRefusalEndsByFrames);
    EXPECT_FALSE(link.monitor.Refused());

    // Refused again; the far end's first frame ends it at once.
    ++link.counts.nRefusals;
    EXPECT_TRUE(link.After(100ms).bRefusalBegins);
    ++link.counts.nGoodFrames;
    report = link.After(100ms);
    EXPECT_TRUE(report.bRefusalEnds);
    EXPECT_TRUE(report.bRefusalEndsByFrames);
}
