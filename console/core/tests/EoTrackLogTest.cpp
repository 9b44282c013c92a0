// The CSV track log of the EO output windows.
#include "TempDir.h"
#include "cEoTrackLog.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <regex>
#include <sstream>
#include <vector>

namespace
{
EoReport ThreeTracks(uint8_t nFormat)
{
    EoReport report;
    report.format.Set(nFormat);
    report.timestamp.Set(2500000);
    report.numTracks.Set(3);
    for (uint32_t n = 0; n < 3; ++n)
    {
        EoTrack& track = report.tracks[n];
        track.bIdValid = true;
        track.nId = n == 0 ? 300 : n + 1;
        track.xPosn = {true, 100 + static_cast<int32_t>(n)};
        track.yPosn = {true, -50};
        track.xSize = {true, 16};
        track.ySize = {true, 12};
        track.range = {nFormat == 9, nFormat == 9 ? 1500 : -1};
        track.status.Set(1);
        track.confidence.Set(99);
        track.lifetime.SetRaw(n == 0 ? 6144 : 4096 * 1000 + 1);
        track.priority.Set(65535);
    }
    return report;
}

std::vector<std::string> Split(const std::string& sLine)
{
    std::vector<std::string> fields;
    std::stringstream in(sLine);
    for (std::string sField; std::getline(in, sField, ',');)
        fields.push_back(sField);
    return fields;
}
} // namespace

// 40 is clamped to 32 groups, a negative value to none; the names are exact,
// including the space after "ID" only.
TEST(EoTrackLog, HeaderHasNineColumnsPerTrackUpToThirtyTwo)
{
    EXPECT_EQ(cEoTrackLog::Header(0), "\nTimestamp,Target Time,Format,Number of Tracks,\n");
    EXPECT_EQ(cEoTrackLog::Header(-3), cEoTrackLog::Header(0));
    EXPECT_EQ(cEoTrackLog::Header(1), "\nTimestamp,Target Time,Format,Number of Tracks,"
                                      "ID 1,X Posn1,Y Posn1,X Size1,Y Size1,Range1,Status1,Lifetime1,Priority1,\n");

    const std::string sHeader = cEoTrackLog::Header(40);
    EXPECT_EQ(std::count(sHeader.begin(), sHeader.end(), ','), 4 + 32 * 9);
    EXPECT_NE(sHeader.find(",Priority32,\n"), std::string::npos);
    EXPECT_EQ(sHeader.find("ID 33"), std::string::npos);
    EXPECT_EQ(cEoTrackLog(40).MaxTracks(), 32);
}

// A 3-track report under a 5-track header logs three groups: IDs in full,
// Lifetime with six significant digits, Range -1 without a range, no Confidence.
TEST(EoTrackLog, RowHoldsTheTracksTheReportHas)
{
    const std::string sRow = cEoTrackLog::Row(ThreeTracks(0), 5, "10:24:08.123");
    ASSERT_EQ(sRow.back(), '\n');
    EXPECT_EQ(sRow.substr(sRow.size() - 2), ",\n");
    const std::vector<std::string> fields = Split(sRow.substr(0, sRow.size() - 1));
    ASSERT_EQ(fields.size(), 4u + 3 * 9);
    EXPECT_EQ(std::vector<std::string>(fields.begin(), fields.begin() + 4),
              (std::vector<std::string>{"10:24:08.123", "2500000", "0", "3"}));
    EXPECT_EQ(std::vector<std::string>(fields.begin() + 4, fields.begin() + 13),
              (std::vector<std::string>{"300", "100", "-50", "16", "12", "-1", "1", "1.5", "65535"}));
    EXPECT_EQ(fields[4 + 9 + 7], "1000");  // 1000 + 1/4096 in single precision, six digits

    const std::vector<std::string> ranged = Split(cEoTrackLog::Row(ThreeTracks(9), 5, "t"));
    EXPECT_EQ(ranged[4 + 5], "1500");
    EXPECT_EQ(Split(cEoTrackLog::Row(ThreeTracks(9), 0, "t")).size(), 4u + 1);  // the line end
    EXPECT_EQ(Split(cEoTrackLog::Row(ThreeTracks(9), 2, "t")).size(), 4u + 2 * 9 + 1);

    // A timestamp beyond the signed range is written as the signed 64-bit number it is.
    EoReport big = ThreeTracks(0);
    big.timestamp.Set(0xFFFFFFFFFFFFFFFFull);
    EXPECT_EQ(Split(cEoTrackLog::Row(big, 0, "t"))[1], "-1");
}

// The file: start line, empty line, header, rows, finish line. Rows only while running.
TEST(EoTrackLog, FileHoldsHeaderAndRowsBetweenStartAndStop)
{
    TempDir dir;
    cEoTrackLog log(5);
    log.WriteRow(ThreeTracks(0));  // not running: nothing
    ASSERT_TRUE(log.Start(dir.File("logs"), "EO Target Output"));
    EXPECT_TRUE(log.IsRunning());
    log.WriteRow(ThreeTracks(0));
    log.WriteRow(ThreeTracks(1));
    log.Stop();
    EXPECT_FALSE(log.IsRunning());
    log.WriteRow(ThreeTracks(0));

    std::ifstream in(log.Path());
    const std::string sText((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::regex pattern(R"(Log started at: [0-9:.]{12}\n\n)"
                             R"(Timestamp,Target Time,Format,Number of Tracks,ID 1,[^\n]*Priority5,\n)"
                             R"([0-9:.]{12},2500000,0,3,300,[^\n]*\n)"
                             R"([0-9:.]{12},2500000,1,3,[^\n]*\n)"
                             R"(\nLog finished at: [0-9:.]{12})");
    EXPECT_TRUE(std::regex_match(sText, pattern)) << sText;
    EXPECT_NE(log.Path().find("/logs/EO Target Output-"), std::string::npos);
}

// A folder that cannot be made leaves the log stopped; a later try can still succeed.
TEST(EoTrackLog, LogThatCannotBeOpenedStaysStopped)
{
    TempDir dir;
    dir.Write("file", "x");
    cEoTrackLog log(5);
    EXPECT_FALSE(log.Start(dir.File("file/sub"), "EO Tag Data"));
    EXPECT_FALSE(log.IsRunning());
    EXPECT_TRUE(log.Start(dir.File("ok"), "EO Tag Data"));
    EXPECT_TRUE(log.IsRunning());
}
