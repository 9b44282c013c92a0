// The model behind the picture of the tracks.
#include "cEoTrackPicture.h"

#include <gtest/gtest.h>

namespace
{
using Point = cEoTrackPicture::Point;

struct Track
{
    uint32_t nId;
    int32_t nX, nY, nWidth, nHeight;
    uint8_t nStatus;
};

EoReport Report(uint64_t nTimestamp, std::initializer_list<Track> tracks, uint8_t nClaimed = 0)
{
    EoReport report;
    report.format.Set(0);
    report.timestamp.Set(nTimestamp);
    size_t n = 0;
    for (const Track& t : tracks)
    {
        EoTrack& track = report.tracks[n++];
        track.bIdValid = true;
        track.nId = t.nId;
        track.xPosn = {true, t.nX};
        track.yPosn = {true, t.nY};
        track.xSize = {true, t.nWidth};
        track.ySize = {true, t.nHeight};
        track.status.Set(t.nStatus);
    }
    report.numTracks.Set(nClaimed ? nClaimed : static_cast<uint8_t>(n));
    return report;
}
} // namespace

// One box per valid track, centred on its position, labelled with its full ID
// and coloured by status; entries a short frame left empty are not drawn.
TEST(EoTrackPicture, OneBoxPerValidTrackAtItsPlace)
{
    cEoTrackPicture picture(800, 600);
    // Six claimed, four records: the last two entries stay empty.
    picture.Update(
        Report(1, {{300, 100, 200, 20, 10, 0}, {7, 640, 20, -8, 6, 1}, {9, 0, 0, 4, 4, 2}, {10, 5, 5, 4, 4, 77}}, 6));
    const auto& boxes = picture.Boxes();
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[0].sLabel, "300");
    EXPECT_EQ(boxes[0].centre, (Point{100, 200}));
    EXPECT_EQ(boxes[0].nLeft, 90);
    EXPECT_EQ(boxes[0].nTop, 195);
    EXPECT_EQ(boxes[0].nWidth, 20);
    EXPECT_EQ(boxes[0].nHeight, 10);
    EXPECT_EQ(boxes[1].nWidth, 8);  // a negative size still draws a box
    EXPECT_EQ(boxes[1].nLeft, 636);

    EXPECT_EQ(boxes[0].eKind, cEoTrackPicture::eStatus::Acquire);
    EXPECT_EQ(boxes[1].eKind, cEoTrackPicture::eStatus::Track);
    EXPECT_EQ(boxes[2].eKind, cEoTrackPicture::eStatus::Coast);
    EXPECT_EQ(boxes[3].eKind, cEoTrackPicture::eStatus::Other);
    EXPECT_EQ(boxes[1].colour, cEoTrackPicture::ColourOf(cEoTrackPicture::eStatus::Track));
    EXPECT_NE(boxes[0].colour, boxes[1].colour);
    EXPECT_NE(boxes[1].colour, boxes[2].colour);
    EXPECT_NE(boxes[0].colour, boxes[2].colour);

    // A report with no tracks (or a rejected one, all zero) empties the picture.
    picture.Update(EoReport());
    EXPECT_TRUE(picture.Boxes().empty());
    EXPECT_EQ(cEoTrackPicture(0, -5).Width(), 640);
    EXPECT_EQ(cEoTrackPicture(0, -5).Height(), 480);
}

// Trails grow by one point per new report, not per refresh, stay bounded, and
// belong to the ID: a track that leaves and comes back starts afresh.
TEST(EoTrackPicture, TrailsFollowEachTrackAcrossReports)
{
    cEoTrackPicture picture(640, 480, 3);
    picture.Update(Report(10, {{1, 10, 10, 4, 4, 1}, {2, 50, 50, 4, 4, 1}}));
    picture.Update(Report(10, {{1, 10, 10, 4, 4, 1}, {2, 50, 50, 4, 4, 1}}));  // the same report again
    ASSERT_EQ(picture.Boxes()[0].trail.size(), 1u);

    picture.Update(Report(20, {{2, 52, 51, 4, 4, 1}, {1, 12, 10, 4, 4, 2}}));  // order changed
    picture.Update(Report(30, {{1, 14, 10, 4, 4, 1}, {2, 54, 52, 4, 4, 1}}));
    picture.Update(Report(40, {{1, 16, 10, 4, 4, 1}}));
    ASSERT_EQ(picture.Boxes().size(), 1u);
    EXPECT_EQ(picture.Boxes()[0].trail, (std::vector<Point>{{12, 10}, {14, 10}, {16, 10}}));

    picture.Update(Report(50, {{1, 18, 10, 4, 4, 1}, {2, 60, 60, 4, 4, 0}}));
    ASSERT_EQ(picture.Boxes().size(), 2u);
    EXPECT_EQ(picture.Boxes()[1].trail, (std::vector<Point>{{60, 60}}));

    picture.Clear();
    EXPECT_TRUE(picture.Boxes().empty());
    picture.Update(Report(50, {{1, 18, 10, 4, 4, 1}}));
    EXPECT_EQ(picture.Boxes()[0].trail.size(), 1u);
}
