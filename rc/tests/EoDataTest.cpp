#include "LogCapture.h"
#include "RC_Checksum.h"
#include "UdpPeer.h"
#include "cRC_IO_EoData.h"

#include <gtest/gtest.h>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

void Put32(Bytes& bytes, uint32_t nValue)
{
    for (int i = 3; i >= 0; --i)
        bytes.push_back(static_cast<uint8_t>(nValue >> (8 * i)));
}

// A whole EO frame: header, the records given, checksum.
Bytes Report(uint8_t nId, uint8_t nFormat, uint8_t nTracks, const Bytes& records)
{
    Bytes frame = {0x77, nId, 0, 0, nFormat, 0, 0, 0, 0, 0, 0, 0x12, 0x34, nTracks};
    frame.insert(frame.end(), records.begin(), records.end());
    const size_t nTotal = frame.size() + 1;
    frame[2] = static_cast<uint8_t>(nTotal >> 8);
    frame[3] = static_cast<uint8_t>(nTotal);
    frame.push_back(RC_Checksum(frame.data(), frame.size()));
    return frame;
}

// One record: id, four position values, then the format's tail.
Bytes Record(uint8_t nFormat, uint32_t nId, uint32_t nPosition)
{
    Bytes record;
    Put32(record, nId);
    for (int i = 0; i < 4; ++i)
        Put32(record, nPosition + i);
    if (nFormat == 1 || nFormat == 9)
        Put32(record, 4096 * 250);  // range 250
    if (nFormat == 33)
    {
        Put32(record, 6144);  // extra 1.5
        Put32(record, static_cast<uint32_t>(-4096));
    }
    record.push_back(3);     // status
    record.push_back(90);    // confidence
    Put32(record, 4096 * 2); // lifetime 2.0
    record.push_back(0x01);  // priority 0x0102
    record.push_back(0x02);
    if (nFormat == 33)
        record.resize(record.size() + 14, 0xEE);
    return record;
}

void Feed(cRC_IO_EoData& eo, const Bytes& frame)
{
    eo.handleMessage(frame.data(), static_cast<int32_t>(frame.size()), 0);
}
} // namespace

TEST(EoData, TagReportWithRangeFillsOnlyTheTagBuffer)
{
    cRC_IO_EoData eo;
    Bytes records = Record(1, 11, 4096 * 10);
    const Bytes second = Record(1, 12, 4096 * 20);
    records.insert(records.end(), second.begin(), second.end());
    Feed(eo, Report(8, 1, 2, records));
    const EoReport tags = eo.CopyTagData();
    EXPECT_EQ(tags.format.Get(), 1);
    EXPECT_EQ(tags.timestamp.Get(), 0x1234u);
    EXPECT_EQ(tags.numTracks.Get(), 2);
    EXPECT_EQ(tags.tracks[0].nId, 11u);
    EXPECT_EQ(tags.tracks[0].xPosn.nValue, 10);
    EXPECT_EQ(tags.tracks[1].nId, 12u);
    EXPECT_TRUE(tags.tracks[1].bRangePresent);
    EXPECT_EQ(tags.tracks[1].range.nValue, 250);
    EXPECT_EQ(tags.tracks[1].status.Get(), 3);
    EXPECT_EQ(tags.tracks[1].confidence.Get(), 90);
    EXPECT_FLOAT_EQ(tags.tracks[1].lifetime.Value(), 2.0f);
    EXPECT_EQ(tags.tracks[1].priority.Get(), 0x0102);
    EXPECT_FALSE(tags.tracks[2].bIdValid);
    EXPECT_FALSE(eo.CopyTrackData().numTracks.IsValid());
}

// Positions are Fixed (raw / 4096) except in formats 30 to 32, where they are
// plain integers; format 0 has no range.
TEST(EoData, PositionEncodingsFollowTheFormat)
{
    cRC_IO_EoData eo;
    Feed(eo, Report(7, 30, 1, Record(30, 1, 100)));
    EXPECT_EQ(eo.CopyTrackData().tracks[0].xPosn.nValue, 100);
    Feed(eo, Report(9, 0, 1, Record(0, 1, 409600)));
    const EoReport tracks = eo.CopyTrackData();
    EXPECT_EQ(tracks.tracks[0].xPosn.nValue, 100);
    EXPECT_FALSE(tracks.tracks[0].bRangePresent);
    EXPECT_EQ(tracks.tracks[0].range.nValue, -1);
}

// Format 33 records take 50 bytes; the second starts 50 bytes after the first.
TEST(EoData, Format33RecordsAreFiftyBytes)
{
    cRC_IO_EoData eo;
    Bytes records = Record(33, 1, 4096);
    const Bytes second = Record(33, 2, 8192);
    ASSERT_EQ(records.size(), 50u);
    records.insert(records.end(), second.begin(), second.end());
    Feed(eo, Report(7, 33, 2, records));
    const EoReport tracks = eo.CopyTrackData();
    EXPECT_EQ(tracks.tracks[1].nId, 2u);
    EXPECT_EQ(tracks.tracks[1].xPosn.nValue, 2);
    EXPECT_TRUE(tracks.tracks[1].bExtraPresent);
    EXPECT_FLOAT_EQ(tracks.tracks[1].extra1.Value(), 1.5f);
    EXPECT_FLOAT_EQ(tracks.tracks[1].extra2.Value(), -1.0f);
    EXPECT_EQ(tracks.tracks[1].priority.Get(), 0x0102);
}

// The count is limited to 32 and to the whole records present in the frame.
TEST(EoData, TrackCountIsLimitedByCapacityAndFrame)
{
    cRC_IO_EoData eo;
    Bytes records;
    for (uint32_t i = 0; i < 40; ++i)
    {
        const Bytes record = Record(0, i + 1, 4096);
        records.insert(records.end(), record.begin(), record.end());
    }
    Feed(eo, Report(7, 0, 40, records));
    EoReport tracks = eo.CopyTrackData();
    EXPECT_EQ(tracks.tracks[31].nId, 32u);

    // Claims 5 tracks but carries two and a half.
    records.resize(28 * 2 + 14);
    Feed(eo, Report(7, 0, 5, records));
    tracks = eo.CopyTrackData();
    EXPECT_EQ(tracks.tracks[1].nId, 2u);
    EXPECT_FALSE(tracks.tracks[2].bIdValid);
}

// Unknown formats leave the buffer zero (unless no record was to be read);
// unknown identifiers and truncated headers change nothing.
TEST(EoData, RejectedReports)
{
    LogCapture log;
    cRC_IO_EoData eo;
    Feed(eo, Report(7, 0, 1, Record(0, 5, 4096)));
    Feed(eo, Report(7, 2, 1, Record(0, 5, 4096)));
    EXPECT_TRUE(log.Contains("cRC_IO_EoData::handleMessage (242): Received unexpected track data format", DBG_WRN));
    EXPECT_FALSE(eo.CopyTrackData().format.IsValid());

    Feed(eo, Report(7, 2, 0, {}));
    EXPECT_EQ(eo.CopyTrackData().format.Get(), 2);

    Feed(eo, Report(8, 0, 1, Record(0, 5, 4096)));
    Feed(eo, Report(6, 0, 1, Record(0, 6, 4096)));
    EXPECT_TRUE(log.Contains("(142): Received unexpected message ID", DBG_WRN));
    EXPECT_EQ(eo.CopyTagData().tracks[0].nId, 5u);

    // Too short for a header: a known identifier is reported as a short
    // report, anything else (or nothing) as an unexpected identifier.
    const Bytes truncated = {0x77, 0x08, 0x00, 0x06, 0x01, 0x80};
    Feed(eo, truncated);
    EXPECT_TRUE(log.Contains("Track report of 6 bytes is too short", DBG_WRN));
    EXPECT_EQ(eo.CopyTagData().tracks[0].nId, 5u);
    const int nUnexpected = log.Count("Received unexpected message ID", DBG_WRN);
    Feed(eo, {0x77});
    Feed(eo, {0x77, 0x06, 0x00});
    EXPECT_EQ(log.Count("Received unexpected message ID", DBG_WRN), nUnexpected + 2);
}

// Over UDP the receiver announces itself with one empty datagram to the EO port.
TEST(EoData, InitialiseOverUdpSendsEmptyDatagram)
{
    UdpPeer peer;
    cRC_IO_EoData eo;
    CommsSettings settings;
    settings.nCommsMethod = CommsSettings::kUdp;
    settings.nEoTxPort = peer.Port();
    settings.nEoRxPort = 0;
    ASSERT_TRUE(eo.initialise(settings, "EoTrackData"));
    bool bTimedOut = true;
    EXPECT_TRUE(peer.Receive(&bTimedOut).empty());
    EXPECT_FALSE(bTimedOut);
}
