// Track and tag reports read back with the record layouts as the console reads them.
#include "RC_Codec.h"
#include "SimTestSupport.h"
#include "cSimEoStream.h"
#include "cSimTrackLife.h"

#include <map>
#include <set>

#include <gtest/gtest.h>

using namespace simtest;

namespace
{
struct Layout
{
    int32_t nFormat;
    size_t nSize;
    bool bFixedPositions;
    size_t nRange;  // 0: none
    size_t nExtra;  // 0: none
    size_t nStatus;
};

const Layout kLayouts[] = {
    {0, 28, true, 0, 0, 20},
    {1, 32, true, 20, 0, 24},
    {30, 28, false, 0, 0, 20},
    {33, 50, true, 0, 20, 28},
};

int32_t RawAt(const Bytes& f, size_t nAt)
{
    int32_t nRaw = 0;
    EXPECT_TRUE(RC_Codec::ReadFixed(f.data(), nAt, f.size(), nRaw));
    return nRaw;
}

int32_t FixedIntAt(const Bytes& f, size_t nAt)
{
    return RC_Codec::FixedToInt(RawAt(f, nAt));
}

uint32_t U32At(const Bytes& f, size_t nAt)
{
    uint32_t nValue = 0;
    EXPECT_TRUE(RC_Codec::ReadU32(f.data(), nAt, f.size(), nValue));
    return nValue;
}
} // namespace

TEST(SimEoStream, EachFormatDecodesToTheTargetsOfItsTimestamp)
{
    const uint64_t nTimestamp = 12345678;
    const double dSeconds = 12.345678;
    for (const Layout& layout : kLayouts)
    {
        SCOPED_TRACE(layout.nFormat);
        const cSimEoStream stream(layout.nFormat, 3, 2);
        for (const uint8_t nIdentifier : {cSimEoStream::kTrackReport, cSimEoStream::kTagReport})
        {
            const Bytes f = stream.BuildFrame(nIdentifier, nTimestamp);
            const size_t nTracks = nIdentifier == cSimEoStream::kTrackReport ? 3 : 2;
            ASSERT_EQ(f.size(), 15 + nTracks * layout.nSize);
            EXPECT_EQ(Bytes(f.begin(), f.begin() + 5),
                      (Bytes{0x77, nIdentifier, static_cast<uint8_t>(f.size() >> 8), static_cast<uint8_t>(f.size()),
                             static_cast<uint8_t>(layout.nFormat)}));
            EXPECT_EQ(Bytes(f.begin() + 5, f.begin() + 14), (Bytes{0, 0, 0, 0, 0, 0xBC, 0x61, 0x4E, uint8_t(nTracks)}));
            EXPECT_TRUE(ChecksumGood(f));

            for (size_t n = 0; n < nTracks; ++n)
            {
                const cSimEoStream::Target target = cSimEoStream::TargetAt(static_cast<int32_t>(n), dSeconds);
                const size_t r = 14 + n * layout.nSize;
                EXPECT_EQ(U32At(f, r), n + 1);
                const double positions[] = {target.dX, target.dY, target.dSizeX, target.dSizeY};
                for (size_t i = 0; i < 4; ++i)
                {
                    const int32_t nRead = layout.bFixedPositions ? FixedIntAt(f, r + 4 + 4 * i)
                                                                 : static_cast<int32_t>(U32At(f, r + 4 + 4 * i));
                    EXPECT_EQ(nRead, static_cast<int32_t>(positions[i])) << i;
                }
                if (layout.nRange)
                {
                    EXPECT_EQ(FixedIntAt(f, r + layout.nRange), static_cast<int32_t>(target.dRange));
                }
                if (layout.nExtra)
                {
                    EXPECT_EQ(RawAt(f, r + layout.nExtra), RC_Codec::FloatToFixed(target.dExtra1));
                    EXPECT_EQ(RawAt(f, r + layout.nExtra + 4), RC_Codec::FloatToFixed(target.dExtra2));
                    EXPECT_EQ(Bytes(f.begin() + r + 36, f.begin() + r + 50), Bytes(14, 0));
                }
                EXPECT_EQ(f[r + layout.nStatus], target.nStatus);
                EXPECT_EQ(f[r + layout.nStatus + 1], target.nConfidence);
                EXPECT_EQ(RawAt(f, r + layout.nStatus + 2), RC_Codec::FloatToFixed(dSeconds));
                EXPECT_EQ(f[r + layout.nStatus + 6] << 8 | f[r + layout.nStatus + 7], static_cast<int>(n + 1));
            }
        }
        // As many records as the format allows still make a frame the framer takes.
        const int32_t nMost = cSimEoStream::MostTracks(layout.nFormat);
        EXPECT_EQ(nMost, std::min<int32_t>(32, static_cast<int32_t>(1007 / layout.nSize)));
        EXPECT_LE(cSimEoStream(layout.nFormat, nMost, 0).BuildFrame(7, 0).size(), 1022u);
    }
}

// Over a minute of coming and going every target appears, is acquired,
// tracked, coasts and disappears; each life has a new ID, and the reports
// carry exactly the targets alive at their time.
TEST(SimEoStream, TracksComeAndGoOverAMinute)
{
    const int32_t kTargets = 12;
    const cSimEoStream stream(0, kTargets, 3, true);
    std::map<int32_t, std::set<uint8_t>> statuses;  // per target index
    std::map<int32_t, std::set<uint32_t>> ids;
    std::set<size_t> counts;
    bool bAbsentSeen[kTargets] = {};
    for (int nStep = 0; nStep <= 1200; ++nStep)
    {
        const uint64_t nTimestamp = static_cast<uint64_t>(nStep) * 100000;
        const double dSeconds = static_cast<double>(nTimestamp) / 1e6;
        const Bytes f = stream.BuildFrame(cSimEoStream::kTrackReport, nTimestamp);
        ASSERT_TRUE(ChecksumGood(f));
        size_t nRecord = 0;
        for (int32_t i = 0; i < kTargets; ++i)
        {
            const cSimTrackLife::State life = cSimTrackLife::At(i, dSeconds);
            if (!life.bPresent)
            {
                bAbsentSeen[i] = true;
                continue;
            }
            const size_t r = 14 + 28 * nRecord++;
            ASSERT_LT(r + 28, f.size());
            EXPECT_EQ(U32At(f, r), life.nId);
            EXPECT_EQ(f[r + 20], life.nStatus);
            EXPECT_EQ(RawAt(f, r + 22), RC_Codec::FloatToFixed(life.dAge));
            statuses[i].insert(life.nStatus);
            ids[i].insert(life.nId);
        }
        EXPECT_EQ(f[13], nRecord);
        EXPECT_EQ(f.size(), 15 + 28 * nRecord);
        counts.insert(nRecord);
    }
    for (int32_t i = 0; i < kTargets; ++i)
    {
        EXPECT_TRUE(bAbsentSeen[i]) << i;
        EXPECT_EQ(statuses[i], (std::set<uint8_t>{0, 1, 2})) << i;
        EXPECT_GE(ids[i].size(), 2u) << i;  // a new ID after disappearing
    }
    EXPECT_GT(counts.size(), 3u);  // the number of tracks changes

    // Tags are the first targets alive, their priority in the ID's top byte.
    const Bytes tags = stream.BuildFrame(cSimEoStream::kTagReport, 20000000);
    size_t nTag = 0;
    for (int32_t i = 0; i < 3; ++i)
    {
        const cSimTrackLife::State life = cSimTrackLife::At(i, 20.0);
        if (life.bPresent)
        {
            EXPECT_EQ(U32At(tags, 14 + 28 * nTag++), life.nId | static_cast<uint32_t>(i + 1) << 24);
        }
    }
    EXPECT_EQ(tags[13], nTag);
    EXPECT_FALSE(counts.count(0) && counts.size() == 1);
}

// A format cycle walks every format the console reads, from the one given.
TEST(SimEoStream, FormatsCycleThroughEveryLayout)
{
    const cSimEoStream stream(30, 20, 1, false, 2.0);
    std::vector<int32_t> seen;
    for (int n = 0; n < 8; ++n)
    {
        const Bytes f = stream.BuildFrame(cSimEoStream::kTrackReport, static_cast<uint64_t>(n) * 2000000 + 500000);
        seen.push_back(f[4]);
        EXPECT_EQ(f.size(), 15 + 20 * cSimEoStream::RecordSize(f[4]));
    }
    EXPECT_EQ(seen, (std::vector<int32_t>{30, 31, 32, 33, 0, 1, 8, 9}));
    EXPECT_EQ(cSimEoStream::MostTracksOfAnyFormat(), 20);
    EXPECT_EQ(cSimEoStream(9, 4, 1).FormatAt(1000.0), 9);
}
