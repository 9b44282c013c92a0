// What the EO output windows show of a report.
#include "cEoReportText.h"

#include <gtest/gtest.h>

namespace
{
EoReport Report(uint8_t nFormat, uint64_t nTimestamp, uint8_t nTracks)
{
    EoReport report;
    report.format.Set(nFormat);
    report.timestamp.Set(nTimestamp);
    report.numTracks.Set(nTracks);
    return report;
}

void SetTrack(EoTrack& track, uint32_t nId, int32_t nX, int32_t nY, int32_t nRange, int32_t nLifetimeRaw)
{
    track.bIdValid = true;
    track.nId = nId;
    track.xPosn = {true, nX};
    track.yPosn = {true, nY};
    track.xSize = {true, 20};
    track.ySize = {true, -12};
    track.range = {true, nRange};
    track.status.Set(2);
    track.confidence.Set(87);
    track.lifetime.SetRaw(nLifetimeRaw);
    track.priority.Set(513);
}
} // namespace

// A track window: header in whole seconds, the ID's low byte, Lifetime in
// "%lf", the Priority value; columns past the report's tracks read zeros.
TEST(EoReportText, TrackWindowShowsTheFirstFiveEntries)
{
    EoReport report = Report(9, 2500000, 2);
    SetTrack(report.tracks[0], 300, 100, -40, 1234, 6144);
    SetTrack(report.tracks[1], 0xFF00012C, 7, 8, -1, -2048);

    const cEoReportText text = cEoReportText::Make(report, false);
    EXPECT_EQ(text.sFormat, "9");
    EXPECT_EQ(text.sTime, "2");
    EXPECT_EQ(text.sNumTargets, "2");
    EXPECT_TRUE(text.bRangeEnabled);

    EXPECT_EQ(text.cells[cEoReportText::kTrackId][0], "44");
    EXPECT_EQ(text.cells[cEoReportText::kPositionX][0], "100");
    EXPECT_EQ(text.cells[cEoReportText::kPositionY][0], "-40");
    EXPECT_EQ(text.cells[cEoReportText::kSizeX][0], "20");
    EXPECT_EQ(text.cells[cEoReportText::kSizeY][0], "-12");
    EXPECT_EQ(text.cells[cEoReportText::kRange][0], "1234");
    EXPECT_EQ(text.cells[cEoReportText::kStatus][0], "2");
    EXPECT_EQ(text.cells[cEoReportText::kConfidence][0], "87");
    EXPECT_EQ(text.cells[cEoReportText::kLifetime][0], "1.500000");
    EXPECT_EQ(text.cells[cEoReportText::kPriority][0], "513");
    EXPECT_EQ(text.cells[cEoReportText::kLifetime][1], "-0.500000");
    EXPECT_EQ(text.cells[cEoReportText::kRange][1], "-1");

    for (int c = 2; c < cEoReportText::kColumns; ++c)
    {
        EXPECT_EQ(text.cells[cEoReportText::kPositionX][c], "0");
        EXPECT_EQ(text.cells[cEoReportText::kLifetime][c], "0.000000");
        EXPECT_EQ(text.cells[cEoReportText::kRange][c], "0");
    }
}

// The tag window's Priority row is the ID's top byte as a signed number.
TEST(EoReportText, TagWindowShowsTheSignedTopByteAsPriority)
{
    EoReport report = Report(1, 0, 3);
    SetTrack(report.tracks[0], 0xFF00012C, 0, 0, 0, 0);
    SetTrack(report.tracks[1], 0x7F000001, 0, 0, 0, 0);
    SetTrack(report.tracks[2], 0x80000001, 0, 0, 0, 0);
    const cEoReportText text = cEoReportText::Make(report, true);
    EXPECT_EQ(text.cells[cEoReportText::kPriority][0], "-1");
    EXPECT_EQ(text.cells[cEoReportText::kPriority][1], "127");
    EXPECT_EQ(text.cells[cEoReportText::kPriority][2], "-128");
    EXPECT_EQ(text.cells[cEoReportText::kTrackId][0], "44");
}

// Only formats 1 and 9 carry a range: every other one shows "N/A" in all five fields.
TEST(EoReportText, RangeFieldsFollowTheFormat)
{
    for (const uint8_t nFormat : {0, 1, 8, 9, 30, 33, 2})
    {
        EoReport report = Report(nFormat, 0, 1);
        SetTrack(report.tracks[0], 1, 0, 0, 2000, 0);
        const cEoReportText text = cEoReportText::Make(report, false);
        const bool bRange = nFormat == 1 || nFormat == 9;
        EXPECT_EQ(text.bRangeEnabled, bRange) << int(nFormat);
        for (int c = 0; c < cEoReportText::kColumns; ++c)
            EXPECT_EQ(text.cells[cEoReportText::kRange][c], bRange ? (c == 0 ? "2000" : "0") : "N/A") << int(nFormat);
    }
}
