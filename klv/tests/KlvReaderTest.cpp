#include "KlvFormat.h"
#include "KlvTestPackets.h"
#include "LogCapture.h"
#include "cKlvReader.h"

#include <gtest/gtest.h>
#include <memory>

using namespace KlvTestPackets;
using eResult = cKlvReader::eResult;

namespace
{
// Every tag the reader knows, with raw values whose meaning is plain.
const Bytes kAllTags = Cat({kTimeItem,
                            {0x05, 0x02, 0x80, 0x00},                // heading 180
                            {0x06, 0x02, 0xC0, 0x00},                // pitch -10
                            {0x07, 0x02, 0x40, 0x00},                // roll 25
                            {0x0D, 0x04, 0x40, 0x00, 0x00, 0x00},    // latitude 45
                            {0x0E, 0x04, 0xC0, 0x00, 0x00, 0x00},    // longitude -90
                            {0x0F, 0x02, 0x0B, 0x94},                // altitude 0 m
                            {0x10, 0x02, 0x2A, 0xAA},                // horizontal field of view 30
                            {0x11, 0x02, 0x15, 0x55},                // vertical field of view 15
                            {0x12, 0x04, 0x40, 0x00, 0x00, 0x00},    // azimuth 90
                            {0x13, 0x04, 0xF0, 0x00, 0x00, 0x00},    // elevation -22.5
                            {0x41, 0x01, 0x10}});                    // version 16

// Reads from a heap block of exactly the packet's size, so that AddressSanitizer
// sees any byte read past it.
eResult ReadExact(cKlvReader& reader, const Bytes& bytes, KlvMetadata& metadata)
{
    std::unique_ptr<uint8_t[]> pCopy(bytes.empty() ? nullptr : new uint8_t[bytes.size()]);
    std::copy(bytes.begin(), bytes.end(), pCopy.get());
    return reader.Read(pCopy.get(), bytes.size(), metadata);
}

eResult ReadOnce(const Bytes& bytes)
{
    cKlvReader reader;
    KlvMetadata metadata;
    return ReadExact(reader, bytes, metadata);
}
} // namespace

TEST(KlvReader, GoodPacketDecodesEveryKnownTag)
{
    cKlvReader reader;
    KlvMetadata metadata;
    ASSERT_EQ(ReadExact(reader, Packet(kAllTags), metadata), eResult::Ok);
    EXPECT_EQ(metadata.nTimeUs, kTimeUs);
    EXPECT_EQ(metadata.nVersion, 16);
    // Within a step of each tag's mapping.
    EXPECT_NEAR(metadata.dPlatformHeadingDeg.value(), 180.0, 0.006);
    EXPECT_NEAR(metadata.dPlatformPitchDeg.value(), -10.0, 0.001);
    EXPECT_NEAR(metadata.dPlatformRollDeg.value(), 25.0, 0.002);
    EXPECT_NEAR(metadata.dSensorLatitudeDeg.value(), 45.0, 1e-6);
    EXPECT_NEAR(metadata.dSensorLongitudeDeg.value(), -90.0, 1e-6);
    EXPECT_NEAR(metadata.dSensorAltitudeM.value(), 0.0, 0.31);
    EXPECT_NEAR(metadata.dHorizontalFovDeg.value(), 30.0, 0.003);
    EXPECT_NEAR(metadata.dVerticalFovDeg.value(), 15.0, 0.003);
    EXPECT_NEAR(metadata.dRelativeAzimuthDeg.value(), 90.0, 1e-6);
    EXPECT_NEAR(metadata.dRelativeElevationDeg.value(), -22.5, 1e-6);
    EXPECT_EQ(reader.GoodPackets(), 1u);
    EXPECT_EQ(reader.RejectedPackets(), 0u);
    EXPECT_EQ(reader.LastPacketSize(), Packet(kAllTags).size());
}

// The ends of each range, and the "out of range"/"error" values that leave a field empty.
TEST(KlvReader, RangeEndsAndIndicatorValues)
{
    KlvMetadata metadata;
    cKlvReader reader;
    ASSERT_EQ(ReadExact(reader,
                        Packet(Cat({kTimeItem,
                                    {0x06, 0x02, 0x80, 0x00},               // pitch: out of range
                                    {0x07, 0x02, 0x80, 0x01},               // roll -50
                                    {0x0D, 0x04, 0x80, 0x00, 0x00, 0x00},   // latitude: error
                                    {0x0F, 0x02, 0xFF, 0xFF},               // altitude 19000
                                    {0x10, 0x02, 0xFF, 0xFF},               // 180
                                    {0x11, 0x02, 0x00, 0x00},               // 0
                                    {0x12, 0x04, 0xFF, 0xFF, 0xFF, 0xFF},   // 360
                                    {0x13, 0x04, 0x80, 0x00, 0x00, 0x00}})), // elevation: error
                        metadata),
              eResult::Ok);
    EXPECT_FALSE(metadata.dPlatformPitchDeg);
    EXPECT_DOUBLE_EQ(metadata.dPlatformRollDeg.value(), -50.0);
    EXPECT_FALSE(metadata.dSensorLatitudeDeg);
    EXPECT_DOUBLE_EQ(metadata.dSensorAltitudeM.value(), 19000.0);
    EXPECT_DOUBLE_EQ(metadata.dHorizontalFovDeg.value(), 180.0);
    EXPECT_DOUBLE_EQ(metadata.dVerticalFovDeg.value(), 0.0);
    EXPECT_DOUBLE_EQ(metadata.dRelativeAzimuthDeg.value(), 360.0);
    EXPECT_FALSE(metadata.dRelativeElevationDeg);
    // Tags the packet did not carry stay empty; no version tag reads as version 0.
    EXPECT_FALSE(metadata.dPlatformHeadingDeg);
    EXPECT_EQ(metadata.nVersion, 0);

    ASSERT_EQ(ReadExact(reader, Packet(Cat({kTimeItem, {0x13, 0x04, 0x7F, 0xFF, 0xFF, 0xFF}})), metadata),
              eResult::Ok);
    EXPECT_DOUBLE_EQ(metadata.dRelativeElevationDeg.value(), 180.0);
    ASSERT_EQ(ReadExact(reader, Packet(Cat({kTimeItem, {0x13, 0x04, 0x80, 0x00, 0x00, 0x01}})), metadata),
              eResult::Ok);
    EXPECT_DOUBLE_EQ(metadata.dRelativeElevationDeg.value(), -180.0);
}

TEST(KlvReader, ChecksumPairsBytesIntoBigEndianWords)
{
    // The published example: 060E + 2B34 + 0200 + 81BB.
    const Bytes sample = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x00, 0x81, 0xBB};
    EXPECT_EQ(KlvChecksum(sample.data(), sample.size()), 0xB4FD);

    // Key 060E+2B34+020B+0101+0E01+0301+0100+0000 = 4650; length and tag 0E02,
    // item length and first time byte 0800, time 0102+0304+0506, last time
    // byte and checksum tag 0701, checksum length 0200: 6E5F.
    const Bytes packet =
        Cat({kKey, {0x0E, 0x02, 0x08, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x01, 0x02, 0x6E, 0x5F}});
    EXPECT_EQ(KlvChecksum(packet.data(), packet.size() - 2), 0x6E5F);
    EXPECT_EQ(ReadOnce(packet), eResult::Ok);
}

TEST(KlvReader, CorruptedPacketsFailTheChecksum)
{
    const Bytes good = Packet(kAllTags);
    // One flipped bit anywhere after the length field, checksum included.
    for (size_t i = kKey.size() + 1; i < good.size(); ++i)
    {
        if (i == good.size() - 4 || i == good.size() - 3)
            continue;  // the checksum item's own tag and length: see below
        Bytes bad = good;
        bad[i] ^= 0x10;
        EXPECT_EQ(ReadOnce(bad), eResult::BadChecksum) << "byte " << i;
    }
    // A packet whose last item is not the checksum cannot be checked.
    Bytes noChecksum = Cat({kKey, {static_cast<uint8_t>(kAllTags.size())}, kAllTags});
    EXPECT_EQ(ReadOnce(noChecksum), eResult::BadChecksum);
    Bytes wrongChecksumLength = good;
    wrongChecksumLength[good.size() - 3] = 0x03;
    EXPECT_EQ(ReadOnce(wrongChecksumLength), eResult::BadChecksum);
}

TEST(KlvReader, EveryPrefixOfAGoodPacketIsShort)
{
    // Long-form lengths too, so that prefixes end inside them.
    const Bytes packets[] = {Packet(kAllTags), PacketWithLengthField({0x82, 0x00, 0x0E}, kTimeItem)};
    for (const Bytes& good : packets)
        for (size_t n = 0; n < good.size(); ++n)
            EXPECT_EQ(ReadOnce(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n))), eResult::Short)
                << n << " of " << good.size() << " bytes";
}

TEST(KlvReader, OtherKeysAreRejected)
{
    const Bytes good = Packet(kAllTags);
    for (size_t i = 0; i < kKey.size(); ++i)
    {
        Bytes bad = good;
        bad[i] ^= 0x01;
        EXPECT_EQ(ReadOnce(bad), eResult::WrongKey) << "key byte " << i;
    }
}

TEST(KlvReader, LongFormLengths)
{
    const Bytes items = Cat({kTimeItem, {0x10, 0x81, 0x02, 0xFF, 0xFF}});  // an item's length in long form
    for (const Bytes& lengthField : {Bytes{0x81, 0x13}, Bytes{0x82, 0x00, 0x13}, Bytes{0x84, 0x00, 0x00, 0x00, 0x13}})
    {
        cKlvReader reader;
        KlvMetadata metadata;
        ASSERT_EQ(ReadExact(reader, PacketWithLengthField(lengthField, items), metadata), eResult::Ok);
        EXPECT_EQ(metadata.nTimeUs, kTimeUs);
        EXPECT_DOUBLE_EQ(metadata.dHorizontalFovDeg.value(), 180.0);
    }
    // A packet longer than 127 bytes, as its unknown item makes it.
    Bytes longItem = {0x03, 0x81, 0x80};
    longItem.resize(longItem.size() + 0x80, 'M');
    EXPECT_EQ(ReadOnce(PacketWithLengthField({0x81, 0x91}, Cat({kTimeItem, longItem}))), eResult::Ok);

    // The indefinite form and more than eight length bytes are not KLV; nor is a
    // length too small for the checksum item.
    EXPECT_EQ(ReadOnce(PacketWithLengthField({0x80}, kTimeItem)), eResult::BadLength);
    EXPECT_EQ(ReadOnce(PacketWithLengthField({0x89, 0, 0, 0, 0, 0, 0, 0, 0, 0x0E}, kTimeItem)), eResult::BadLength);
    EXPECT_EQ(ReadOnce(Cat({kKey, {0x03, 0x01, 0x02, 0x00}})), eResult::BadLength);
    // A length beyond the bytes given, up to the largest eight bytes hold.
    EXPECT_EQ(ReadOnce(PacketWithLengthField({0x88, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, kTimeItem)),
              eResult::Short);
}

TEST(KlvReader, ItemsThatDoNotFitAreBadItems)
{
    // Runs past the checksum item, and past the end of the packet.
    EXPECT_EQ(ReadOnce(Packet(Cat({kTimeItem, {0x10, 0x03, 0xFF, 0xFF}}))), eResult::BadItem);
    EXPECT_EQ(ReadOnce(Packet(Cat({kTimeItem, {0x10, 0x7F, 0xFF, 0xFF}}))), eResult::BadItem);
    EXPECT_EQ(ReadOnce(Packet(Cat({kTimeItem, {0x03, 0x84, 0xFF, 0xFF, 0xFF, 0xFF}}))), eResult::BadItem);
    // A tag of more than four BER-OID bytes; a tag or length cut off by the checksum.
    EXPECT_EQ(ReadOnce(Packet(Cat({kTimeItem, {0x81, 0x81, 0x81, 0x81, 0x01, 0x00}}))), eResult::BadItem);
    EXPECT_EQ(ReadOnce(Packet(Cat({kTimeItem, {0x81}}))), eResult::BadItem);
    EXPECT_EQ(ReadOnce(Packet(Cat({kTimeItem, {0x03, 0x82, 0x00}}))), eResult::BadItem);
    // Known tags of the wrong size.
    EXPECT_EQ(ReadOnce(Packet(Cat({kTimeItem, {0x12, 0x02, 0x40, 0x00}}))), eResult::BadItem);
    EXPECT_EQ(ReadOnce(Packet({0x02, 0x04, 0x00, 0x00, 0x00, 0x01})), eResult::BadItem);
    EXPECT_EQ(ReadOnce(Packet(Cat({kTimeItem, {0x41, 0x00}}))), eResult::BadItem);
    // No time stamp; a checksum item before the last.
    EXPECT_EQ(ReadOnce(Packet({0x10, 0x02, 0x2A, 0xAA})), eResult::BadItem);
    EXPECT_EQ(ReadOnce(Packet(Cat({{0x01, 0x02, 0x00, 0x00}, kTimeItem}))), eResult::BadItem);
}

TEST(KlvReader, UnknownTagsAreSkipped)
{
    const Bytes unknown = Cat({{0x03, 0x04, 'T', 'E', 'S', 'T'},       // a text tag
                               {0x81, 0x10, 0x01, 0x7F},               // tag 144 in two bytes
                               {0x7F, 0x81, 0x02, 0x12, 0x34},         // long-form length
                               {0x14, 0x00}});                         // empty value
    KlvMetadata metadata;
    cKlvReader reader;
    ASSERT_EQ(ReadExact(reader, Packet(Cat({kTimeItem, unknown, {0x10, 0x02, 0xFF, 0xFF}})), metadata), eResult::Ok);
    EXPECT_EQ(metadata.nTimeUs, kTimeUs);
    EXPECT_DOUBLE_EQ(metadata.dHorizontalFovDeg.value(), 180.0);
}

// Padding or a second packet may follow: only the first packet's bytes count.
TEST(KlvReader, ReadsOnlyAsFarAsThePacketLengthSays)
{
    const Bytes first = Packet(kAllTags);
    const Bytes second = Packet(Cat({{0x02, 0x08, 0, 0, 0, 0, 0, 0, 0, 7}, {0x10, 0x02, 0xFF, 0xFF}}));
    const Bytes both = Cat({first, second, {0x00, 0x00, 0x00}});
    cKlvReader reader;
    KlvMetadata metadata;
    ASSERT_EQ(ReadExact(reader, both, metadata), eResult::Ok);
    EXPECT_EQ(metadata.nTimeUs, kTimeUs);
    ASSERT_EQ(reader.LastPacketSize(), first.size());
    ASSERT_EQ(ReadExact(reader, Bytes(both.begin() + static_cast<std::ptrdiff_t>(first.size()), both.end()), metadata),
              eResult::Ok);
    EXPECT_EQ(metadata.nTimeUs, 7u);
    EXPECT_FALSE(metadata.dRelativeAzimuthDeg);  // nothing kept from the first packet

    // A rejected packet leaves the last good values in place.
    Bytes bad = first;
    bad[20] ^= 0xFF;
    EXPECT_EQ(ReadExact(reader, bad, metadata), eResult::BadChecksum);
    EXPECT_EQ(metadata.nTimeUs, 7u);
}

// A run of bad packets: its first one's reason when it begins, the count when a
// good packet ends it; nothing per packet in between.
TEST(KlvReader, ARunOfBadPacketsIsLoggedWhenItBeginsAndEnds)
{
    const Bytes good = Packet(kAllTags);
    Bytes badChecksum = good;
    badChecksum.back() ^= 0x01;
    const Bytes wrongKey = Cat({{0x06, 0x0E, 0x2B, 0x34, 0x01}, Bytes(good.begin() + 5, good.end())});

    LogCapture log;
    cKlvReader reader("Sensor video");
    KlvMetadata metadata;
    EXPECT_EQ(ReadExact(reader, good, metadata), eResult::Ok);
    EXPECT_EQ(ReadExact(reader, badChecksum, metadata), eResult::BadChecksum);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(ReadExact(reader, wrongKey, metadata), eResult::WrongKey);
    EXPECT_EQ(log.Count("KLV", DBG_WRN), 1) << log.Dump();
    EXPECT_TRUE(log.Contains("(Sensor video) KLV packet rejected, bad checksum: computed 0x", DBG_WRN)) << log.Dump();
    EXPECT_EQ(log.Count("KLV", DBG_INF), 0) << log.Dump();

    EXPECT_EQ(ReadExact(reader, good, metadata), eResult::Ok);
    EXPECT_EQ(ReadExact(reader, good, metadata), eResult::Ok);
    EXPECT_EQ(log.Count("(Sensor video) good KLV packets again after 6 rejected", DBG_INF), 1) << log.Dump();

    EXPECT_EQ(ReadExact(reader, wrongKey, metadata), eResult::WrongKey);
    EXPECT_EQ(log.Count("rejected, wrong key: key starts 06 0E 2B 34 01", DBG_WRN), 1) << log.Dump();
    EXPECT_EQ(log.Lines().size(), 3u) << log.Dump();
    EXPECT_EQ(reader.GoodPackets(), 3u);
    EXPECT_EQ(reader.RejectedPackets(), 7u);
}
