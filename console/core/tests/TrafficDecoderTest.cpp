#include "RC_Frame.h"
#include "RC_ItemValue.h"
#include "RC_Payload.h"
#include "cPageList.h"
#include "cTrafficDecoder.h"
#include "cTrafficRows.h"

#include <gtest/gtest.h>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;
using Kind = cTrafficDecoder::Kind;
constexpr auto kRx = cTrafficTap::Direction::kRx;
constexpr auto kTx = cTrafficTap::Direction::kTx;

// Items 1 to 12 of subsystem 5: one of each type, labelled with its type's name.
cPageList EveryType()
{
    std::vector<PageItem> items;
    for (const auto& entry : RC_DataTypesLookup)
        items.push_back(PageItem::Make(5, 0, static_cast<uint8_t>(static_cast<int>(entry.eType) + 1), entry.eType,
                                       PageItem::kReadWrite, std::string("Item ") + entry.szName));
    items.push_back(PageItem::Make(4, 2, 9, RC_DataType::Fixed, PageItem::kReadOnly, "Azimuth"));
    cPageList pages;
    pages.AppendPage(std::move(items), "All", false, -1);
    return pages;
}

Bytes Status(RC_Variant eVariant, uint8_t nSubSystem, uint8_t nIndex, uint8_t nStatus, const RC_Payload& payload)
{
    RC_Frame frame;
    frame.BuildStatus(eVariant, nSubSystem, nIndex, nStatus, payload.Data(), payload.Size());
    return {frame.Data(), frame.Data() + frame.Size()};
}

Bytes Command(RC_Variant eVariant, uint8_t nSubSystem, uint8_t nIndex, const RC_Payload& payload)
{
    RC_Frame frame;
    frame.BuildCommand(eVariant, nSubSystem, nIndex, payload);
    return {frame.Data(), frame.Data() + frame.Size()};
}

class TrafficDecoderTest : public ::testing::Test
{
protected:
    void SetUp() override { m_Decoder.SetPages(m_Pages); }

    cTrafficDecoder::Decoded Decode(const Bytes& bytes, cTrafficTap::Direction eDirection = kRx) const
    {
        return m_Decoder.Decode(bytes.data(), bytes.size(), eDirection);
    }

    cPageList m_Pages = EveryType();
    cTrafficDecoder m_Decoder;
};
} // namespace

// A status frame carrying every type is decoded item by item, each with its
// label, type and the value as a page dialog shows it.
TEST_F(TrafficDecoderTest, StatusValuesOfEveryTypeWithTheirLabels)
{
    RC_Payload payload;
    payload.AddByte(1, 200);
    payload.AddU16(2, 65535);
    payload.AddS16(3, -2);
    payload.AddU32(4, 4000000000u);
    payload.AddS32(5, -7);
    payload.AddReported(6, RC_U64Value(1ULL << 40));
    payload.AddReported(7, RC_S64Value(-5));
    payload.AddFixed(9, 1.5f);
    payload.AddReported(10, RC_StringValue(std::string("ok\0", 3)));
    payload.AddFloat(11, 2.5f);
    payload.AddReported(12, RC_DoubleValue(-0.25));
    const Bytes frame = Status(RC_Variant::ShortFrames, 5, 0, 0x40, payload);

    const cTrafficDecoder::Decoded decoded = Decode(frame);
    EXPECT_EQ(decoded.eKind, Kind::kShort);
    EXPECT_TRUE(decoded.bWhole);
    EXPECT_EQ(cTrafficDecoder::AddressText(decoded), "5");
    EXPECT_EQ(cTrafficDecoder::StatusText(decoded.nStatus), "0x40 periodic");
    EXPECT_TRUE(decoded.sNote.empty()) << decoded.sNote;
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Byte", "200"},          {"U16", "65535"},     {"S16", "-2"},          {"U32", "4000000000"},
        {"S32", "-7"},            {"U64", "1099511627776"}, {"S64", "-5"},      {"Fixed", "1.500000"},
        {"String", "\"ok\""},     {"Float", "2.500000"}, {"Double", "-0.250000"}};
    ASSERT_EQ(decoded.items.size(), expected.size());
    for (size_t n = 0; n < expected.size(); ++n)
    {
        EXPECT_EQ(decoded.items[n].sLabel, "Item " + expected[n].first);
        EXPECT_EQ(decoded.items[n].sType, expected[n].first);
        EXPECT_EQ(decoded.items[n].sValue, expected[n].second) << expected[n].first;
    }
    EXPECT_EQ(cTrafficDecoder::ItemsText(decoded).substr(0, 34), "Item Byte = 200; Item U16 = 65535;");

    // A 128-bit value, which the dialogs leave empty, in hex; a long frame has an index.
    RC_Payload wide;
    const uint8_t nItem = 8;
    const uint8_t value[16] = {0x01, 0x23, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xAB, 0xCD};
    wide.AddRaw(&nItem, 1);
    wide.AddRaw(value, 16);
    const cTrafficDecoder::Decoded u128 = Decode(Status(RC_Variant::ShortFrames, 5, 0, 0, wide));
    ASSERT_EQ(u128.items.size(), 1u);
    EXPECT_EQ(u128.items[0].sValue, "0x0123000000000000000000000000ABCD");
    RC_Payload azimuth;
    azimuth.AddFixed(9, -3.0f);
    const cTrafficDecoder::Decoded longFrame = Decode(Status(RC_Variant::LongFrames, 4, 2, 0x08, azimuth));
    EXPECT_EQ(longFrame.eKind, Kind::kLong);
    EXPECT_EQ(cTrafficDecoder::AddressText(longFrame), "4/2");
    EXPECT_EQ(cTrafficDecoder::StatusText(longFrame.nStatus), "0x08 error 2");
    EXPECT_EQ(cTrafficDecoder::ItemsText(longFrame), "Azimuth = -3.000000");
}

// An item the definitions do not know ends the decoding there, as it ends
// the console's; a value cut short by the frame's end and a frame too short
// for its header are said so; nothing past the bytes given is read.
TEST_F(TrafficDecoderTest, UnknownItemsAndShortFrames)
{
    RC_Payload payload;
    payload.AddU16(2, 7);
    payload.AddByte(99, 1);
    payload.AddByte(1, 5);
    const cTrafficDecoder::Decoded unknown = Decode(Status(RC_Variant::ShortFrames, 5, 0, 0, payload));
    ASSERT_EQ(unknown.items.size(), 2u);
    EXPECT_FALSE(unknown.items[1].bKnown);
    EXPECT_EQ(unknown.items[1].sLabel, "unknown item");
    EXPECT_EQ(cTrafficDecoder::ItemsText(unknown), "Item U16 = 7; unknown item 99");
    EXPECT_NE(unknown.sNote.find("unknown item 99"), std::string::npos);

    // The same item on a subsystem the pages do not define is unknown too.
    EXPECT_FALSE(Decode(Status(RC_Variant::ShortFrames, 6, 0, 0, payload)).items[0].bKnown);

    RC_Payload cut;
    const uint8_t bytes[3] = {4, 0x01, 0x02};  // a U32 of which two bytes came
    cut.AddRaw(bytes, 3);
    const cTrafficDecoder::Decoded shortValue = Decode(Status(RC_Variant::ShortFrames, 5, 0, 0, cut));
    EXPECT_EQ(shortValue.sNote, "value cut short");

    for (const Bytes& frame : {Bytes{0x10, 0x05, 0x00}, Bytes{0x99, 0x00}, Bytes{0x77, 0x07, 0x00}, Bytes{}})
    {
        const cTrafficDecoder::Decoded decoded = Decode(frame);
        EXPECT_FALSE(decoded.bWhole);
        EXPECT_TRUE(decoded.items.empty());
        EXPECT_FALSE(decoded.sNote.empty());
    }
    const cTrafficDecoder::Decoded text = Decode(Bytes{'h', 'e', 'l', 'l', 'o'});
    EXPECT_EQ(text.eKind, Kind::kOther);
    EXPECT_EQ(cTrafficDecoder::ItemsText(text), "(not a frame of the protocol)");
}

// What the console sends: values, queries, periodic requests and the EO
// stream's switch, which no page needs to define.
TEST_F(TrafficDecoderTest, CommandsWithQueriesAndPeriodicRequests)
{
    RC_Payload payload;
    payload.AddString(10, "abc");
    payload.AddQuery(2);
    payload.AddQuery(50);
    const cTrafficDecoder::Decoded command = Decode(Command(RC_Variant::ShortFrames, 5, 0, payload), kTx);
    EXPECT_FALSE(command.bHasStatus);
    EXPECT_EQ(cTrafficDecoder::ItemsText(command), "Item String = \"abc\"; Item U16 ?; unknown item 50");

    RC_Payload periodic;
    const uint8_t request[3] = {0x70, 1, 0x71};
    uint8_t mask[16] = {};
    mask[0] = 0x06;
    periodic.AddRaw(request, 3);
    periodic.AddRaw(mask, 16);
    const cTrafficDecoder::Decoded rate = Decode(Command(RC_Variant::LongFrames, 4, 2, periodic), kTx);
    ASSERT_EQ(rate.items.size(), 2u);
    EXPECT_EQ(rate.items[0].sLabel, "periodic rate");
    EXPECT_EQ(rate.items[0].sValue, "1");
    EXPECT_EQ(rate.items[1].sValue, "0x06000000000000000000000000000000");

    RC_Payload eo;
    eo.AddByte(0x28, 1);
    EXPECT_EQ(cTrafficDecoder::ItemsText(Decode(Command(RC_Variant::LongFrames, 6, 0, eo), kTx)), "EO data output = 1");
}

// Heartbeats both ways and EO reports with their tracks.
TEST_F(TrafficDecoderTest, HeartbeatsAndEoReports)
{
    const uint8_t heartbeat[2] = {3, 1};
    RC_Frame sent;
    sent.BuildCommand(RC_Variant::LongFrames, 0, 1, heartbeat, 2);
    const cTrafficDecoder::Decoded out = Decode(Bytes(sent.Data(), sent.Data() + sent.Size()), kTx);
    EXPECT_EQ(out.eKind, Kind::kHeartbeat);
    EXPECT_EQ(cTrafficDecoder::ItemsText(out), "missed heartbeats = 3; interface state = 1");
    RC_Frame received;
    received.BuildStatus(RC_Variant::LongFrames, 0, 1, 0, heartbeat, 1);
    const cTrafficDecoder::Decoded in = Decode(Bytes(received.Data(), received.Data() + received.Size()));
    EXPECT_EQ(in.eKind, Kind::kHeartbeat);
    EXPECT_EQ(in.items.size(), 1u);
    EXPECT_EQ(in.sNote, "heartbeat too short");

    // 77 id L(2) format timestamp(8) count, then format 30 records of 28 bytes (plain integers).
    Bytes eo = {0x77, 7, 0, 0, 30, 0, 0, 0, 0, 0, 0, 0x01, 0x00, 2};
    Bytes record(28, 0);
    record[3] = 42;   // id
    record[7] = 100;  // x
    record[11] = 50;  // y
    record[15] = 8;   // width
    record[19] = 6;   // height
    eo.insert(eo.end(), record.begin(), record.end());
    eo.push_back(0);  // checksum; the second track is missing
    eo[3] = static_cast<uint8_t>(eo.size());
    const cTrafficDecoder::Decoded report = Decode(eo);
    EXPECT_EQ(report.eKind, Kind::kEo);
    EXPECT_EQ(cTrafficDecoder::AddressText(report), "EO 7");
    ASSERT_EQ(report.items.size(), 5u);
    EXPECT_EQ(report.items[0].sValue, "7 (target report)");
    EXPECT_EQ(report.items[2].sValue, "256");
    EXPECT_EQ(report.items[4].sValue, "id 42 at 100,50 size 8x6");
    EXPECT_EQ(report.sNote, "the frame holds 1 whole tracks of 2");
    eo[4] = 77;  // a format nobody knows
    EXPECT_EQ(Decode(eo).sNote, "track format 77 not known");
}

// The table's rows: what passes the filter, oldest first; rows go from the
// front when the history lets their frames go, and a new filter applies to
// every frame kept.
TEST_F(TrafficDecoderTest, FilteredRowsFollowTheHistory)
{
    cTrafficHistory history(6);
    auto add = [&](const Bytes& bytes, cTrafficTap::Direction eDirection) {
        cTrafficTap::Frame frame;
        frame.steady = cTrafficHistory::Clock::now();
        frame.eDirection = eDirection;
        frame.nLength = static_cast<uint32_t>(bytes.size());
        std::copy(bytes.begin(), bytes.end(), frame.bytes.begin());
        history.Add(frame);
    };
    RC_Payload u16;
    u16.AddU16(2, 300);
    RC_Payload azimuth;
    azimuth.AddFixed(9, 1.0f);
    add(Status(RC_Variant::ShortFrames, 5, 0, 0x40, u16), kRx);                // 0
    add(Status(RC_Variant::LongFrames, 4, 2, 0x40, azimuth), kRx);             // 1
    add(Command(RC_Variant::ShortFrames, 5, 0, u16), kTx);                     // 2

    cTrafficRows rows;
    rows.m_Filter.sText = "AZIM";
    rows.Rebuild(history, m_Decoder);
    ASSERT_EQ(rows.Size(), 1u);
    EXPECT_EQ(rows.NumberAt(0), 1u);

    rows.m_Filter = {};
    rows.m_Filter.direction = kRx;
    rows.m_Filter.subSystem = 5;
    rows.Rebuild(history, m_Decoder);
    ASSERT_EQ(rows.Size(), 1u);
    EXPECT_EQ(rows.NumberAt(0), 0u);

    // Six more: the history keeps 6, so frames 0 to 2 go, and with them row 0.
    for (int n = 0; n < 6; ++n)
        add(Status(RC_Variant::ShortFrames, 5, 0, 0x40, u16), n % 2 ? kRx : kTx);
    EXPECT_EQ(rows.CountExpired(history), 1u);
    rows.DropExpired(history);
    EXPECT_EQ(rows.CollectNew(history, m_Decoder), 3u);
    rows.AppendCollected();
    ASSERT_EQ(rows.Size(), 3u);
    EXPECT_EQ(rows.NumberAt(0), 4u);
    EXPECT_EQ(rows.NumberAt(2), 8u);
    EXPECT_EQ(rows.CollectNew(history, m_Decoder), 0u);

    rows.m_Filter = {};
    rows.m_Filter.kind = Kind::kLong;
    rows.Rebuild(history, m_Decoder);
    EXPECT_EQ(rows.Size(), 0u);
}
