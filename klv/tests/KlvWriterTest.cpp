#include "KlvFormat.h"
#include "KlvTestPackets.h"
#include "TestPaths.h"
#include "cKlvReader.h"
#include "cKlvWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

using eResult = cKlvReader::eResult;

namespace
{
KlvMetadata ReadBack(const std::vector<uint8_t>& packet)
{
    cKlvReader reader;
    KlvMetadata metadata;
    EXPECT_EQ(reader.Read(packet.data(), packet.size(), metadata), eResult::Ok);
    EXPECT_EQ(reader.LastPacketSize(), packet.size());
    return metadata;
}

// The tags of a packet's items in order, walked by their lengths.
std::vector<uint32_t> TagsOf(const std::vector<uint8_t>& packet)
{
    std::vector<uint32_t> tags;
    size_t nPos = kKlvUasLocalSetKey.size();
    uint64_t nLength = 0;
    EXPECT_EQ(KlvReadBerLength(packet.data(), nPos, packet.size(), nLength), eKlvField::Ok);
    EXPECT_EQ(nPos + nLength, packet.size());
    while (nPos < packet.size())
    {
        uint32_t nTag = 0;
        uint64_t nItemLength = 0;
        if (KlvReadTag(packet.data(), nPos, packet.size(), nTag) != eKlvField::Ok ||
            KlvReadBerLength(packet.data(), nPos, packet.size(), nItemLength) != eKlvField::Ok)
            break;
        tags.push_back(nTag);
        nPos += static_cast<size_t>(nItemLength);
    }
    return tags;
}
} // namespace

TEST(KlvWriter, EveryTagComesBackWithinHalfAStep)
{
    for (const KlvMappedTag& tag : KlvMappedTags())
    {
        const double dTypical = tag.dMin + (tag.dMax - tag.dMin) * 0.3183;
        for (double dValue : {tag.dMin, tag.dMax, dTypical, std::nextafter(tag.dMax, tag.dMin)})
        {
            KlvMetadata metadata;
            metadata.*tag.pField = dValue;
            const std::optional<double> dBack = ReadBack(cKlvWriter::Write(metadata)).*tag.pField;
            ASSERT_TRUE(dBack) << "tag " << tag.nTag << " value " << dValue;
            EXPECT_NEAR(*dBack, dValue, tag.HalfStep() * 1.000001) << "tag " << tag.nTag;
        }
    }
    for (uint64_t nTime : {uint64_t{0}, KlvTestPackets::kTimeUs, std::numeric_limits<uint64_t>::max()})
    {
        KlvMetadata metadata;
        metadata.nTimeUs = nTime;
        metadata.nVersion = 255;
        const KlvMetadata back = ReadBack(cKlvWriter::Write(metadata));
        EXPECT_EQ(back.nTimeUs, nTime);
        EXPECT_EQ(back.nVersion, 255);
    }
}

TEST(KlvWriter, TagsAscendWithTheChecksumLast)
{
    KlvMetadata metadata;
    metadata.nTimeUs = KlvTestPackets::kTimeUs;
    EXPECT_EQ(TagsOf(cKlvWriter::Write(metadata)), (std::vector<uint32_t>{2, 65, 1}));
    EXPECT_EQ(ReadBack(cKlvWriter::Write(metadata)).nVersion, kKlvVersion);

    metadata.dRelativeElevationDeg = -10.0;
    metadata.dHorizontalFovDeg = 20.0;
    metadata.dSensorLatitudeDeg = 51.5;
    metadata.dPlatformHeadingDeg = 270.0;
    metadata.dRelativeAzimuthDeg = 45.0;
    const std::vector<uint8_t> packet = cKlvWriter::Write(metadata);
    EXPECT_TRUE(std::equal(kKlvUasLocalSetKey.begin(), kKlvUasLocalSetKey.end(), packet.begin()));
    EXPECT_EQ(TagsOf(packet), (std::vector<uint32_t>{2, 5, 13, 16, 18, 19, 65, 1}));
    EXPECT_EQ(KlvTestPackets::SumOfWords(std::vector<uint8_t>(packet.begin(), packet.end() - 2)),
              packet[packet.size() - 2] << 8 | packet.back());
}

TEST(KlvWriter, ValuesBeyondTheRangeAreWrappedClampedOrMarked)
{
    KlvMetadata metadata;
    metadata.dRelativeAzimuthDeg = -30.0;      // wraps to 330
    metadata.dRelativeElevationDeg = 190.0;    // wraps to -170
    metadata.dPlatformHeadingDeg = 725.0;      // wraps to 5
    metadata.dHorizontalFovDeg = 200.0;        // clamped to 180
    metadata.dVerticalFovDeg = -1.0;           // clamped to 0
    metadata.dSensorAltitudeM = 25000.0;       // clamped to 19000
    metadata.dPlatformPitchDeg = 30.0;         // sent as "out of range"
    metadata.dSensorLatitudeDeg = -91.0;       // sent as "error"
    metadata.dPlatformRollDeg = std::nan("");  // left out
    const std::vector<uint8_t> packet = cKlvWriter::Write(metadata);
    const KlvMetadata back = ReadBack(packet);
    EXPECT_NEAR(back.dRelativeAzimuthDeg.value(), 330.0, 1e-6);
    EXPECT_NEAR(back.dRelativeElevationDeg.value(), -170.0, 1e-6);
    EXPECT_NEAR(back.dPlatformHeadingDeg.value(), 5.0, 0.003);
    EXPECT_DOUBLE_EQ(back.dHorizontalFovDeg.value(), 180.0);
    EXPECT_DOUBLE_EQ(back.dVerticalFovDeg.value(), 0.0);
    EXPECT_DOUBLE_EQ(back.dSensorAltitudeM.value(), 19000.0);
    EXPECT_FALSE(back.dPlatformPitchDeg);
    EXPECT_FALSE(back.dSensorLatitudeDeg);
    EXPECT_FALSE(back.dPlatformRollDeg);
    EXPECT_EQ(TagsOf(packet), (std::vector<uint32_t>{2, 5, 6, 13, 15, 16, 17, 18, 19, 65, 1}));
}

// The fuzzer starts from these files: they must stay packets it takes.
TEST(KlvWriter, FuzzSeedsAreGoodPackets)
{
    const std::filesystem::path corpus = TestPaths::SourceDir() + "/klv/tests/fuzz/corpus";
    int nSeeds = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus))
    {
        std::ifstream file(entry.path(), std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        cKlvReader reader;
        KlvMetadata metadata;
        EXPECT_EQ(reader.Read(bytes.data(), bytes.size(), metadata), eResult::Ok) << entry.path();
        ++nSeeds;
    }
    EXPECT_GE(nSeeds, 3);
}
