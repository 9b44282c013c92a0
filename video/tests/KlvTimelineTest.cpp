#include "cKlvTimeline.h"

#include <gtest/gtest.h>

namespace
{
constexpr int64_t kFrameNs = 33333333;

KlvMetadata Packet(uint64_t nTimeUs)
{
    KlvMetadata metadata;
    metadata.nTimeUs = nTimeUs;
    return metadata;
}

uint64_t TimeOfMatch(const cKlvTimeline& timeline, int64_t nPtsNs)
{
    const std::optional<KlvMetadata> metadata = timeline.Match(nPtsNs);
    return metadata ? metadata->nTimeUs : 0;
}
} // namespace

TEST(KlvTimeline, AFrameTakesThePacketOfItsTimeOrTheLatestBefore)
{
    cKlvTimeline timeline;
    EXPECT_FALSE(timeline.Match(0).has_value());
    // Added out of order, as a multiplexer's jitter may hand them over.
    timeline.Add(2 * kFrameNs, Packet(3));
    timeline.Add(kFrameNs, Packet(2));
    timeline.Add(3 * kFrameNs, Packet(4));
    EXPECT_EQ(TimeOfMatch(timeline, kFrameNs - 1), 0u);  // before any metadata
    EXPECT_EQ(TimeOfMatch(timeline, kFrameNs), 2u);
    EXPECT_EQ(TimeOfMatch(timeline, 2 * kFrameNs), 3u);
    EXPECT_EQ(TimeOfMatch(timeline, 2 * kFrameNs + kFrameNs / 2), 3u);
    EXPECT_EQ(TimeOfMatch(timeline, 3 * kFrameNs + kFrameNs / 2), 4u);
    // Metadata that stopped a while ago describes no frame.
    EXPECT_EQ(TimeOfMatch(timeline, 3 * kFrameNs + cKlvTimeline::kMostBehindNs + 1), 0u);
    // A frame without a time takes the newest.
    EXPECT_EQ(TimeOfMatch(timeline, -1), 4u);
}

TEST(KlvTimeline, UntimedPacketsGoWithTheFramesAfterThem)
{
    cKlvTimeline timeline;
    timeline.Add(-1, Packet(1));
    EXPECT_EQ(TimeOfMatch(timeline, 0), 1u);
    timeline.Add(kFrameNs, Packet(2));
    timeline.Add(-1, Packet(3));
    EXPECT_EQ(TimeOfMatch(timeline, kFrameNs), 3u);
    EXPECT_EQ(TimeOfMatch(timeline, -1), 3u);
}

TEST(KlvTimeline, ARestartedStreamForgetsTheOldAndTheHeldAreBounded)
{
    cKlvTimeline timeline;
    for (uint64_t n = 0; n < cKlvTimeline::kMostKept + 10; ++n)
        timeline.Add(static_cast<int64_t>(n + 100) * kFrameNs, Packet(n + 1));
    // The oldest went; the newest stay.
    EXPECT_EQ(TimeOfMatch(timeline, 105 * kFrameNs), 0u);
    EXPECT_EQ(TimeOfMatch(timeline, (100 + cKlvTimeline::kMostKept + 9) * kFrameNs), cKlvTimeline::kMostKept + 10);
    // The sender restarts: its times begin again near zero.
    timeline.Add(kFrameNs, Packet(500));
    EXPECT_EQ(TimeOfMatch(timeline, kFrameNs), 500u);
    EXPECT_EQ(TimeOfMatch(timeline, 150 * kFrameNs), 0u);  // the old packets are gone, the new one too old for this frame
    timeline.Clear();
    EXPECT_FALSE(timeline.Match(kFrameNs).has_value());
}
