#include "RC_DataType.h"
#include "RC_ItemValue.h"

#include <gtest/gtest.h>
#include <vector>

// Decoding each type from wire bytes gives the documented value and consumption.
TEST(ItemValueDecode, EveryTypeFromWireBytes)
{
    const struct
    {
        RC_DataType eType;
        std::vector<uint8_t> bytes;
        std::string sText;
    } cases[] = {
        {RC_DataType::Byte, {0xFE}, "254"},
        {RC_DataType::U16, {0x01, 0x2C}, "300"},
        {RC_DataType::S16, {0xFF, 0xFE}, "-2"},
        {RC_DataType::U32, {0xFF, 0xFF, 0xFF, 0xFF}, "4294967295"},
        {RC_DataType::S32, {0xFF, 0xFF, 0xFF, 0xFE}, "-2"},
        {RC_DataType::U64, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, "18446744073709551615"},
        {RC_DataType::S64, {0x80, 0, 0, 0, 0, 0, 0, 0}, "-9223372036854775808"},
        {RC_DataType::U128, {0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 2}, ""},
        {RC_DataType::Fixed, {0xFF, 0xFF, 0xF0, 0x00}, "-1.000000"},
        {RC_DataType::String, {3, 'a', 'b', 0}, std::string("ab\0", 3)},
        {RC_DataType::Float, {0x00, 0x00, 0x80, 0x3F}, "1.000000"},
        {RC_DataType::Double, {0x3F, 0xF8, 0, 0, 0, 0, 0, 0}, "1.500000"},
    };
    for (const auto& c : cases)
    {
        auto pValue = RC_ItemValue::Create(c.eType);
        size_t nConsumed = 0;
        ASSERT_TRUE(pValue->Decode(c.bytes.data(), 0, c.bytes.size(), nConsumed)) << RC_DataTypeText(c.eType);
        EXPECT_EQ(nConsumed, c.bytes.size()) << RC_DataTypeText(c.eType);
        EXPECT_TRUE(pValue->IsValid());
        EXPECT_EQ(pValue->ToText(), c.sText) << RC_DataTypeText(c.eType);

        // Encoding gives the same bytes back.
        std::vector<uint8_t> out(32, 0);
        EXPECT_EQ(pValue->Encode(out.data(), out.size()), c.bytes.size());
        out.resize(c.bytes.size());
        EXPECT_EQ(out, c.bytes) << RC_DataTypeText(c.eType);
    }
}

// A value that would reach past the end of the available bytes is refused:
// nothing is read beyond the end, the holder keeps its state, nothing is consumed.
TEST(ItemValueDecode, ValueReachingPastEndIsRefused)
{
    const std::vector<uint8_t> frame(20, 0x11);
    for (const auto& entry : RC_DataTypesLookup)
    {
        auto pValue = RC_ItemValue::Create(entry.eType);
        const size_t nSize = entry.eType == RC_DataType::String ? 0x12 : RC_WireSize(entry.eType);
        const size_t nEnd = 2 + nSize - 1;  // one byte short
        size_t nConsumed = 99;
        EXPECT_FALSE(pValue->Decode(frame.data(), 2, nEnd, nConsumed)) << entry.szName;
        EXPECT_EQ(nConsumed, 99u);
        EXPECT_FALSE(pValue->IsValid()) << entry.szName;
        EXPECT_FALSE(pValue->Decode(frame.data(), 25, 20, nConsumed)) << entry.szName;  // position past the end
        EXPECT_TRUE(pValue->Decode(frame.data(), 2, nEnd + 1, nConsumed)) << entry.szName;
        EXPECT_EQ(nConsumed, nSize);
    }
}

TEST(ItemValueDecode, StringEdgeCases)
{
    RC_StringValue value;
    const uint8_t empty[] = {0x00};
    size_t nConsumed = 0;
    ASSERT_TRUE(value.Decode(empty, 0, 1, nConsumed));
    EXPECT_EQ(nConsumed, 1u);
    EXPECT_EQ(value.Get(), "");
    EXPECT_TRUE(value.IsValid());
}

TEST(ItemValueDecode, FixedKeepsRawAndReal)
{
    RC_FixedValue value;
    const uint8_t raw[] = {0x00, 0x00, 0x18, 0x00};
    size_t nConsumed = 0;
    ASSERT_TRUE(value.Decode(raw, 0, 4, nConsumed));
    EXPECT_EQ(value.Raw(), 6144);
    EXPECT_FLOAT_EQ(value.Value(), 1.5f);
    RC_FixedValue copy(value);
    EXPECT_EQ(copy.Raw(), 6144);
    EXPECT_TRUE(copy.IsValid());
    value.ClearValid();
    EXPECT_FALSE(value.IsValid());
}
