#include "RC_Checksum.h"
#include "RC_Codec.h"
#include "RC_DataType.h"
#include "RC_Frame.h"
#include "RC_ItemValue.h"
#include "RC_Payload.h"

#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace
{
std::vector<uint8_t> Bytes(const RC_Frame& frame)
{
    return {frame.Data(), frame.Data() + frame.Size()};
}
} // namespace

TEST(Checksum, SumsModulo256)
{
    const uint8_t query[] = {0x10, 0x05, 0x00, 0x01, 0x85};
    EXPECT_EQ(RC_Checksum(query, sizeof(query)), 0x9B);
    const uint8_t wraps[] = {0xFF, 0x02};
    EXPECT_EQ(RC_Checksum(wraps, 2), 0x01);
    EXPECT_EQ(RC_Checksum(nullptr, 0), 0x00);
}

// Command frames as they must appear on the wire, in both variants.
TEST(CommandFrame, ShortAndLongFramesAreByteExact)
{
    RC_Payload query;
    ASSERT_TRUE(query.AddQuery(5));
    RC_Frame frame;
    ASSERT_TRUE(frame.BuildCommand(RC_Variant::ShortFrames, 5, 0, query));
    EXPECT_EQ(Bytes(frame), (std::vector<uint8_t>{0x10, 0x05, 0x00, 0x01, 0x85, 0x9B}));

    RC_Payload setByte;
    ASSERT_TRUE(setByte.AddByte(3, 7));
    ASSERT_TRUE(frame.BuildCommand(RC_Variant::ShortFrames, 5, 9, setByte));  // the short frame has no index
    EXPECT_EQ(Bytes(frame), (std::vector<uint8_t>{0x10, 0x05, 0x00, 0x02, 0x03, 0x07, 0x21}));

    RC_Payload longQuery;
    ASSERT_TRUE(longQuery.AddQuery(3));
    ASSERT_TRUE(frame.BuildCommand(RC_Variant::LongFrames, 5, 2, longQuery));
    EXPECT_EQ(Bytes(frame), (std::vector<uint8_t>{0x99, 0x05, 0x02, 0x00, 0x01, 0x83, 0x24}));

    EXPECT_FALSE(frame.BuildCommand(static_cast<RC_Variant>(2), 5, 2, longQuery));
    EXPECT_EQ(frame.Size(), 0u);
}

// Status frames carry the status byte, and the long one its whole length.
TEST(StatusFrame, LayoutMatchesWhatTheConsoleReceives)
{
    const uint8_t payload[] = {0x03, 0x00, 0x2A};
    RC_Frame frame;
    ASSERT_TRUE(frame.BuildStatus(RC_Variant::ShortFrames, 5, 0, 0x00, payload, 3));
    EXPECT_EQ(Bytes(frame), (std::vector<uint8_t>{0x10, 0x05, 0x00, 0x03, 0x03, 0x00, 0x2A, 0x45}));
    ASSERT_TRUE(frame.BuildStatus(RC_Variant::ShortFrames, 5, 0, 0x08, payload, 3));
    EXPECT_EQ(frame.Data()[7], 0x4D);

    ASSERT_TRUE(frame.BuildStatus(RC_Variant::LongFrames, 0, 1, 0, payload, 2));
    EXPECT_EQ(Bytes(frame), (std::vector<uint8_t>{0x99, 0x00, 0x01, 0x00, 0x00, 0x09, 0x03, 0x00, 0xA6}));

    std::vector<uint8_t> big(1016, 0);
    EXPECT_FALSE(frame.BuildStatus(RC_Variant::LongFrames, 0, 1, 0, big.data(), big.size()));
    EXPECT_TRUE(frame.BuildStatus(RC_Variant::LongFrames, 0, 1, 0, big.data(), 1015));
    EXPECT_EQ(frame.Size(), 1022u);
    EXPECT_FALSE(frame.BuildStatus(RC_Variant::ShortFrames, 0, 1, 0, big.data(), 256));
}

TEST(Payload, ValueEncodings)
{
    RC_Payload payload;
    ASSERT_TRUE(payload.AddFloat(1, 1.0f));
    ASSERT_TRUE(payload.AddS16(2, -2));
    ASSERT_TRUE(payload.AddFixed(3, 1.5f));
    ASSERT_TRUE(payload.AddFixed(4, -1.9999f));  // truncated toward zero: -8191
    ASSERT_TRUE(payload.AddU32(5, 0x01020304));
    const std::vector<uint8_t> expected = {1, 0x00, 0x00, 0x80, 0x3F, 2, 0xFF, 0xFE, 3, 0x00, 0x00, 0x18, 0x00,
                                           4, 0xFF, 0xFF, 0xE0, 0x01, 5, 0x01, 0x02, 0x03, 0x04};
    EXPECT_EQ(std::vector<uint8_t>(payload.Data(), payload.Data() + payload.Size()), expected);
}

// The string travels as n + 1, n characters and a NUL; n is cut at 254, and an
// entry that cannot fit the one-byte payload length is refused whole.
TEST(Payload, StringsAreCutAndOverflowIsRefused)
{
    RC_Payload payload;
    ASSERT_TRUE(payload.AddString(7, "ab"));
    EXPECT_EQ(std::vector<uint8_t>(payload.Data(), payload.Data() + payload.Size()),
              (std::vector<uint8_t>{7, 3, 'a', 'b', 0}));

    // As the remote system reports a text, the NUL is not added.
    RC_Payload reported;
    ASSERT_TRUE(reported.AddReported(7, RC_StringValue("ab")));
    EXPECT_EQ(std::vector<uint8_t>(reported.Data(), reported.Data() + reported.Size()),
              (std::vector<uint8_t>{7, 2, 'a', 'b'}));

    RC_Payload longest;
    ASSERT_TRUE(longest.AddString(7, std::string(252, 'x')));
    EXPECT_EQ(longest.Size(), 255u);

    RC_Payload tooLong;
    EXPECT_FALSE(tooLong.AddString(7, std::string(253, 'x')));
    EXPECT_FALSE(tooLong.AddString(7, std::string(1000, 'x')));
    EXPECT_EQ(tooLong.Size(), 0u);

    RC_Payload full;
    const std::vector<uint8_t> filler(251, 0);
    ASSERT_TRUE(full.AddRaw(filler.data(), filler.size()));
    EXPECT_FALSE(full.AddU32(1, 5));
    EXPECT_TRUE(full.AddU16(1, 5));
    EXPECT_FALSE(full.AddQuery(1) && full.AddQuery(2));
    EXPECT_EQ(full.Size(), 255u);
}

TEST(Codec, FixedPointConversions)
{
    EXPECT_FLOAT_EQ(RC_Codec::FixedToFloat(-4096), -1.0f);
    EXPECT_FLOAT_EQ(RC_Codec::FixedToFloat(6144), 1.5f);
    EXPECT_EQ(RC_Codec::FixedToInt(-6144), -1);
    EXPECT_EQ(RC_Codec::FixedToInt(6144), 1);
    EXPECT_EQ(RC_Codec::FloatToFixed(1.5), 6144);
    // Out of range saturates instead of overflowing; NaN gives 0.
    EXPECT_EQ(RC_Codec::FloatToFixed(1e12), INT32_MAX);
    EXPECT_EQ(RC_Codec::FloatToFixed(-1e12), INT32_MIN);
    EXPECT_EQ(RC_Codec::FloatToFixed(std::nan("")), 0);
}

TEST(DataTypes, LookupByNameIsExactAndComplete)
{
    for (size_t i = 0; i < RC_DataTypesLookup.size(); ++i)
    {
        RC_DataType eType{};
        ASSERT_TRUE(RC_FindDataType(RC_DataTypesLookup[i].szName, eType));
        EXPECT_EQ(static_cast<size_t>(eType), i);
        auto pHolder = RC_ItemValue::Create(eType);
        ASSERT_NE(pHolder, nullptr);
        EXPECT_EQ(pHolder->Type(), eType);
    }
    RC_DataType eType{};
    EXPECT_FALSE(RC_FindDataType("u16", eType));
    EXPECT_FALSE(RC_FindDataType("Int", eType));
    EXPECT_FALSE(RC_FindDataType(nullptr, eType));
}
