#include "RC_Checksum.h"
#include "RC_EoFrameView.h"
#include "RC_Frame.h"
#include "RC_FrameView.h"

#include <gtest/gtest.h>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

// Each view below reads a vector holding exactly its bytes, so that the
// address-sanitised build catches any read past them. A view keeps no copy:
// the vector outlives it.
RC_FrameView Read(bool bStatus, RC_Variant eVariant, const Bytes& bytes)
{
    const int32_t nLength = static_cast<int32_t>(bytes.size());
    return bStatus ? RC_FrameView::Status(eVariant, bytes.data(), nLength)
                   : RC_FrameView::Command(eVariant, bytes.data(), nLength);
}

Bytes PayloadOf(const RC_FrameView& view)
{
    return view.IsValid() ? Bytes(view.Payload(), view.Payload() + view.PayloadSize()) : Bytes{};
}

Bytes Prefix(const Bytes& bytes, size_t nSize)
{
    return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(nSize));
}
} // namespace

// What RC_Frame writes, the view reads back, for the four page frame kinds.
TEST(FrameView, ReadsBackEveryPageFrameKind)
{
    struct Case
    {
        bool bStatus;
        RC_Variant eVariant;
        uint8_t nIndex;   // short frames carry none
        uint8_t nStatus;  // commands send 0
        uint16_t nLengthField;  // payload, but the whole frame in a long status frame
    };
    const Case cases[] = {{true, RC_Variant::ShortFrames, 0, 0x08, 3},
                          {true, RC_Variant::LongFrames, 2, 0x08, 10},
                          {false, RC_Variant::ShortFrames, 0, 0, 3},
                          {false, RC_Variant::LongFrames, 2, 0, 3}};
    const Bytes payload = {0x03, 0x00, 0x2A};
    for (const Case& c : cases)
    {
        RC_Frame frame;
        ASSERT_TRUE(c.bStatus ? frame.BuildStatus(c.eVariant, 5, 2, 0x08, payload.data(), payload.size())
                              : frame.BuildCommand(c.eVariant, 5, 2, payload.data(), payload.size()));
        const Bytes bytes(frame.Data(), frame.Data() + frame.Size());
        const RC_FrameView view = Read(c.bStatus, c.eVariant, bytes);
        ASSERT_TRUE(view.IsValid()) << bytes.size();
        EXPECT_EQ(view.SubSystem(), 5);
        EXPECT_EQ(view.Index(), c.nIndex);
        EXPECT_EQ(view.Status(), c.nStatus);
        EXPECT_EQ(view.LengthField(), c.nLengthField);
        EXPECT_EQ(PayloadOf(view), payload);
    }
}

// Bytes too few for a kind's header and checksum give no fields; the first
// length that covers them gives an empty payload. Nothing, a negative length
// and an unknown variant are refused alike.
TEST(FrameView, TooShortInputHasNoFields)
{
    const Bytes bytes = {0x99, 0x05, 0x02, 0x04, 0x00, 0x07, 0xA5};
    const struct
    {
        bool bStatus;
        RC_Variant eVariant;
        size_t nLeast;
    } cases[] = {{true, RC_Variant::ShortFrames, 5},
                 {true, RC_Variant::LongFrames, 7},
                 {false, RC_Variant::ShortFrames, 5},
                 {false, RC_Variant::LongFrames, 6}};
    for (const auto& c : cases)
    {
        for (size_t nSize = 1; nSize < c.nLeast; ++nSize)
        {
            const Bytes cut = Prefix(bytes, nSize);
            const RC_FrameView view = Read(c.bStatus, c.eVariant, cut);
            EXPECT_FALSE(view.IsValid()) << nSize;
            EXPECT_EQ(view.SubSystem() | view.Index() | view.Status() | view.LengthField(), 0) << nSize;
            EXPECT_EQ(view.Payload(), nullptr);
            EXPECT_EQ(view.PayloadSize(), 0u);
        }
        const Bytes leastBytes = Prefix(bytes, c.nLeast);
        const RC_FrameView least = Read(c.bStatus, c.eVariant, leastBytes);
        ASSERT_TRUE(least.IsValid()) << c.nLeast;
        EXPECT_EQ(least.SubSystem(), 0x05);
        EXPECT_EQ(least.PayloadSize(), 0u);
    }
    EXPECT_FALSE(RC_FrameView::Status(RC_Variant::ShortFrames, nullptr, 8).IsValid());
    EXPECT_FALSE(RC_FrameView::Status(RC_Variant::ShortFrames, bytes.data(), -1).IsValid());
    EXPECT_FALSE(RC_FrameView::Status(static_cast<RC_Variant>(2), bytes.data(), 7).IsValid());
}

// The payload ends at the checksum, whatever the length field claims.
TEST(FrameView, PayloadIsBoundedByTheBytesGiven)
{
    const Bytes overclaiming = {0x10, 0x05, 0x00, 0xC8, 0x03, 0x00, 0x2A, 0x00};
    RC_FrameView view = Read(true, RC_Variant::ShortFrames, overclaiming);
    EXPECT_EQ(view.LengthField(), 200);
    EXPECT_EQ(PayloadOf(view), (Bytes{0x03, 0x00, 0x2A}));

    const Bytes underclaiming = {0x99, 0x05, 0x02, 0x00, 0x00, 0x07, 0x01, 0x02, 0x00};
    view = Read(true, RC_Variant::LongFrames, underclaiming);
    EXPECT_EQ(view.LengthField(), 7);
    EXPECT_EQ(PayloadOf(view), (Bytes{0x01, 0x02}));
}

// A heartbeat is a long frame from subsystem 0, index 1, in either direction;
// its missed count and state are read only when both are there.
TEST(FrameView, Heartbeat)
{
    uint8_t nMissed = 0xEE;
    uint8_t nState = 0xEE;
    const Bytes status = {0x99, 0x00, 0x01, 0x00, 0x00, 0x09, 0x02, 0x00, 0xA5};
    ASSERT_TRUE(Read(true, RC_Variant::LongFrames, status).ReadHeartbeat(nMissed, nState));
    EXPECT_EQ(nMissed, 2);
    EXPECT_EQ(nState, 0);

    const Bytes command = {0x99, 0x00, 0x01, 0x00, 0x02, 0x03, 0x01, 0xA0};
    ASSERT_TRUE(Read(false, RC_Variant::LongFrames, command).ReadHeartbeat(nMissed, nState));
    EXPECT_EQ(nMissed, 3);
    EXPECT_EQ(nState, 1);

    const Bytes cutBytes = Prefix(status, 7);
    const RC_FrameView cut = Read(true, RC_Variant::LongFrames, cutBytes);
    EXPECT_TRUE(cut.IsHeartbeat());
    nMissed = nState = 0xEE;
    EXPECT_FALSE(cut.ReadHeartbeat(nMissed, nState));
    EXPECT_EQ(nMissed, 0xEE);
    EXPECT_EQ(nState, 0xEE);

    const Bytes otherIndex = {0x99, 0x00, 0x02, 0x00, 0x00, 0x09, 0x02, 0x00, 0xA6};
    EXPECT_FALSE(Read(true, RC_Variant::LongFrames, otherIndex).IsHeartbeat());
    const Bytes shortFromZero = {0x10, 0x00, 0x01, 0x02, 0x02, 0x00, 0x15};
    EXPECT_FALSE(Read(true, RC_Variant::ShortFrames, shortFromZero).IsHeartbeat());
}

// Header fields of an EO report and its whole records before the checksum,
// however many the count claims. Too short for the header, a report has no
// fields, but its identifier still says what it was meant to be.
TEST(EoFrameView, HeaderRecordsAndShortReports)
{
    Bytes frame = {0x77, 0x09, 0x00, 0x55, 30, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 5};
    frame.resize(14 + 28 * 2 + 14 + 1, 0xEE);  // two and a half records of 28 bytes, checksum
    const RC_EoFrameView view(frame.data(), static_cast<int32_t>(frame.size()));
    ASSERT_TRUE(view.IsValid());
    EXPECT_EQ(view.Id(), 9);
    EXPECT_EQ(view.LengthField(), 85);
    EXPECT_EQ(view.Format(), 30);
    EXPECT_EQ(view.Timestamp(), 0x0102030405060708u);
    EXPECT_EQ(view.TrackCount(), 5);
    EXPECT_EQ(view.WholeRecords(28), 2u);
    EXPECT_EQ(view.Record(1, 28), frame.data() + 42);
    EXPECT_EQ(view.Record(2, 28), nullptr);
    EXPECT_EQ(view.WholeRecords(0), 0u);
    EXPECT_EQ(view.Record(0, 0), nullptr);

    for (size_t nSize = 0; nSize <= RC_EoFrameView::kHeader; ++nSize)
    {
        const Bytes cut = Prefix(frame, nSize);
        const RC_EoFrameView shortView(cut.data(), static_cast<int32_t>(nSize));
        EXPECT_FALSE(shortView.IsValid()) << nSize;
        EXPECT_EQ(shortView.Id() | shortView.Format() | shortView.TrackCount() | shortView.Timestamp(), 0u);
        EXPECT_EQ(shortView.Record(0, 1), nullptr);
        EXPECT_EQ(RC_EoFrameView::IdOf(cut.data(), static_cast<int32_t>(nSize)), nSize >= 2 ? 9 : 0) << nSize;
    }
    const Bytes least = Prefix(frame, RC_EoFrameView::kHeader + 1);
    EXPECT_EQ(RC_EoFrameView(least.data(), 15).WholeRecords(1), 0u);
}
