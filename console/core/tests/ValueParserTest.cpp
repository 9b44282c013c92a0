#include "cEditValueParser.h"
#include "cTitleBuilder.h"

#include <climits>
#include <gtest/gtest.h>
#include <utility>

namespace
{
bool Parses(RC_DataType eType, const std::string& sText)
{
    const auto pValue = cEditValueParser::ParseItem(eType, sText);
    EXPECT_TRUE(!pValue || (pValue->Type() == eType && pValue->IsValid())) << RC_DataTypeText(eType);
    return pValue != nullptr;
}

// The value parsed into a holder of the type, read back.
template <typename Holder>
auto Parsed(RC_DataType eType, const std::string& sText)
{
    using Value = decltype(std::declval<const Holder&>().Get());
    const auto pValue = cEditValueParser::ParseItem(eType, sText);
    EXPECT_NE(pValue, nullptr) << sText;
    return pValue ? static_cast<const Holder&>(*pValue).Get() : Value{};
}
} // namespace

// Each integer type takes exactly its range, and only text that parses whole.
TEST(EditValueParser, IntegerTypesTakeTheirRangeOnly)
{
    EXPECT_EQ(Parsed<RC_ByteValue>(RC_DataType::Byte, "255"), 255);
    EXPECT_FALSE(Parses(RC_DataType::Byte, "256"));
    EXPECT_FALSE(Parses(RC_DataType::Byte, "-1"));
    EXPECT_EQ(Parsed<RC_U16Value>(RC_DataType::U16, "65535"), 65535);
    EXPECT_FALSE(Parses(RC_DataType::U16, "65536"));
    EXPECT_FALSE(Parses(RC_DataType::U16, "12a"));
    EXPECT_FALSE(Parses(RC_DataType::U16, ""));
    EXPECT_FALSE(Parses(RC_DataType::U16, "   "));
    EXPECT_FALSE(Parses(RC_DataType::U16, "0x10"));
    EXPECT_EQ(Parsed<RC_S16Value>(RC_DataType::S16, "-32768"), -32768);
    EXPECT_FALSE(Parses(RC_DataType::S16, "32768"));
    EXPECT_EQ(Parsed<RC_U32Value>(RC_DataType::U32, "4294967295"), 4294967295u);
    EXPECT_FALSE(Parses(RC_DataType::U32, "-1"));
    EXPECT_FALSE(Parses(RC_DataType::U32, "99999999999999999999999"));
    EXPECT_EQ(Parsed<RC_S32Value>(RC_DataType::S32, "-2147483648"), INT32_MIN);
    EXPECT_FALSE(Parses(RC_DataType::S32, "2147483648"));
}

// Fixed goes out as value x 4096 truncated; reals must be finite and fit.
TEST(EditValueParser, RealTypes)
{
    EXPECT_EQ(Parsed<RC_FixedValue>(RC_DataType::Fixed, "1.5"), 6144);
    EXPECT_EQ(Parsed<RC_FixedValue>(RC_DataType::Fixed, "-0.0003"), -1);
    EXPECT_FALSE(Parses(RC_DataType::Fixed, "1e10"));
    EXPECT_FALSE(Parses(RC_DataType::Fixed, "nan"));
    EXPECT_FALSE(Parses(RC_DataType::Fixed, "1.5x"));

    EXPECT_FLOAT_EQ(Parsed<RC_FloatValue>(RC_DataType::Float, "2.25"), 2.25f);
    EXPECT_FALSE(Parses(RC_DataType::Float, "1e40"));
    EXPECT_FALSE(Parses(RC_DataType::Float, "inf"));

    EXPECT_EQ(Parsed<RC_StringValue>(RC_DataType::String, ""), "");
    for (RC_DataType eType : {RC_DataType::U64, RC_DataType::S64, RC_DataType::U128, RC_DataType::Double})
        EXPECT_FALSE(Parses(eType, "1")) << RC_DataTypeText(eType);
}

// The comms boxes: whole decimal integers; addresses split into four shown octets.
TEST(EditValueParser, CommsBoxesAndAddressOctets)
{
    int32_t nValue = 0;
    EXPECT_TRUE(cEditValueParser::ParseWholeDecimal(" +12", nValue));
    EXPECT_EQ(nValue, 12);
    EXPECT_FALSE(cEditValueParser::ParseWholeDecimal("12 ", nValue));
    EXPECT_FALSE(cEditValueParser::ParseWholeDecimal("abc", nValue));
    EXPECT_FALSE(cEditValueParser::ParseWholeDecimal("", nValue));
    EXPECT_EQ(nValue, 12);

    EXPECT_EQ(cEditValueParser::SplitAddress("10.0.0.7"), (std::array<int32_t, 4>{10, 0, 0, 7}));
    EXPECT_EQ(cEditValueParser::SplitAddress("300.1"), (std::array<int32_t, 4>{44, 1, 0, 0}));
    EXPECT_EQ(cEditValueParser::SplitAddress("host.5x..9.8"), (std::array<int32_t, 4>{0, 5, 0, 9}));
}

TEST(TitleBuilder, TitleFollowsTheCommsMethod)
{
    CommsSettings settings;
    settings.nComPort = 3;
    EXPECT_EQ(cTitleBuilder::Title(settings, "Kestrum"), "Kestrum - COM3");
    settings.sSerialDevice = "/dev/ttyUSB0";
    EXPECT_EQ(cTitleBuilder::Title(settings, "Kestrum"), "Kestrum - /dev/ttyUSB0");
    settings.nCommsMethod = CommsSettings::kUdp;
    settings.nRxPort = 7000;
    EXPECT_EQ(cTitleBuilder::Title(settings, "Kestrum"), "Kestrum - 127.0.0.1:7000");
    settings.nCommsMethod = 1;
    EXPECT_EQ(cTitleBuilder::Title(settings, "Kestrum - COM3"), "Kestrum - COM3");
}
