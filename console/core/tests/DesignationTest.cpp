// Designation by clicking the picture, the acquisition window and the rule
// that an overlay from an old report fades: the logic under the video
// window, without a window.
#include "LogCapture.h"
#include "TempDir.h"
#include "cAcquisitionWindow.h"
#include "cDesignation.h"
#include "cKestrumSettings.h"
#include "cVideoOverlay.h"
#include "cVideoSettings.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace
{
using namespace std::chrono_literals;
using Command = cDesignation::Command;
using Clock = cVideoOverlay::Clock;

EoReport Report(uint64_t nTimestamp, std::initializer_list<std::array<int32_t, 5>> tracks)
{
    EoReport report;
    report.timestamp.Set(nTimestamp);
    size_t n = 0;
    for (const auto& t : tracks)
    {
        EoTrack& track = report.tracks[n++];
        track.bIdValid = true;
        track.nId = static_cast<uint32_t>(t[0]);
        track.xPosn = {true, t[1]};
        track.yPosn = {true, t[2]};
        track.xSize = {true, t[3]};
        track.ySize = {true, t[4]};
        track.status.Set(1);
    }
    report.numTracks.Set(static_cast<uint8_t>(n));
    return report;
}

Command Point(uint16_t nX, uint16_t nY)
{
    return {Command::eKind::Point, 5, 0, 20, 21, nX, nY, 0};
}

Command Mode(uint8_t nMode)
{
    return {Command::eKind::Mode, 1, 0, 3, 0, 0, 0, nMode};
}
}  // namespace

// The point goes to the X and Y items in one command, then the mode; a point
// on a track takes the track's centre (the smallest box where two overlap,
// and a small box a few pixels around it); outside the picture nothing goes.
TEST(Designation, PointThenModeAndATrackGivesItsCentre)
{
    const cVideoSettings settings;
    const cDesignation designation(settings, RC_Variant::LongFrames);
    EXPECT_EQ(designation.At(312.7, 240.2, 640, 480), (std::vector<Command>{Point(312, 240), Mode(3)}));
    EXPECT_EQ(designation.At(0, 0, 640, 480), (std::vector<Command>{Point(0, 0), Mode(3)}));
    EXPECT_EQ(designation.At(639.9, 479.9, 640, 480), (std::vector<Command>{Point(639, 479), Mode(3)}));
    for (const auto& [dX, dY] : std::vector<std::pair<double, double>>{
             {-0.1, 10}, {10, -1}, {640, 10}, {10, 480}, {std::numeric_limits<double>::quiet_NaN(), 1}})
        EXPECT_TRUE(designation.At(dX, dY, 640, 480).empty()) << dX << ", " << dY;
    EXPECT_EQ(designation.Cancel(), (std::vector<Command>{Mode(1)}));

    cVideoOverlay overlay(640, 480);
    const Clock::time_point now = Clock::now();
    overlay.UpdateTracks(Report(1, {{7, 100, 100, 60, 40}, {8, 110, 105, 10, 10}, {9, 400, 300, 2, 2}}), now);
    // Inside the large box only: its centre.
    const cEoTrackPicture::Box* pLarge = overlay.TrackAt(75, 85, now);
    ASSERT_NE(pLarge, nullptr);
    EXPECT_EQ(pLarge->nId, 7u);
    EXPECT_EQ(designation.At(75, 85, 640, 480, pLarge).front(), Point(100, 100));
    // Inside both: the small one, which the operator aimed at.
    ASSERT_NE(overlay.TrackAt(112, 107, now), nullptr);
    EXPECT_EQ(overlay.TrackAt(112, 107, now)->nId, 8u);
    // A 2-pixel box is hit within 6 pixels of its centre, not beyond.
    ASSERT_NE(overlay.TrackAt(405, 296, now), nullptr);
    EXPECT_EQ(overlay.TrackAt(407, 300, now), nullptr);
    EXPECT_EQ(overlay.TrackAt(300, 300, now), nullptr);

    // A track centred off the picture's edge designates the edge.
    cEoTrackPicture::Box edge{};
    edge.centre = {-5, 500};
    EXPECT_EQ(designation.At(2, 478, 640, 480, &edge).front(), Point(0, 479));
}

// Other items and modes from the settings file; -1 sends no mode (and no
// cancel); the Thimbrel's mode is its object tracking mode. Out-of-range
// keys keep their defaults and say so.
TEST(Designation, SettingsChooseItemsAndModes)
{
    TempDir dir;
    dir.Write(
        "s.xml",
        R"(<VMS_Cfg><Kestrum nTxPort="1"/><EoTrackData nTxPort="2"/><Video nDesignateSubSystem="0" nDesignateIndex="2"
        nDesignateItemX="30" nDesignateItemY="31" nDesignateMode="-1" nDesignateCancelMode="-1"/></VMS_Cfg>)");
    dir.Write(
        "bad.xml",
        R"(<VMS_Cfg><Kestrum nTxPort="1"/><EoTrackData nTxPort="2"/><Video nDesignateSubSystem="300" nDesignateItemX="200"
        nDesignateMode="-2"/></VMS_Cfg>)");
    cKestrumSettings settings;
    ASSERT_TRUE(settings.Read(dir.File("s.xml")));
    const cDesignation quiet(settings.m_VideoSettings, RC_Variant::ShortFrames);
    EXPECT_EQ(quiet.At(10, 20, 640, 480), (std::vector<Command>{{Command::eKind::Point, 0, 2, 30, 31, 10, 20, 0}}));
    EXPECT_TRUE(quiet.Cancel().empty());

    cVideoSettings thimbrel;
    thimbrel.nDesignateMode = 1;
    EXPECT_EQ(cDesignation(thimbrel, RC_Variant::ShortFrames).At(1, 1, 640, 480).back(),
              (Command{Command::eKind::Mode, 0, 0, 0, 0, 0, 0, 1}));

    LogCapture log(DBG_WRN);
    cKestrumSettings bad;
    ASSERT_TRUE(bad.Read(dir.File("bad.xml")));
    EXPECT_EQ(bad.m_VideoSettings.nDesignateSubSystem, 5);
    EXPECT_EQ(bad.m_VideoSettings.nDesignateItemX, 20);
    EXPECT_EQ(bad.m_VideoSettings.nDesignateMode, 3);
    EXPECT_TRUE(log.Contains("nDesignateSubSystem = 300 is out of range")) << log.Dump();
}

// Fresh for a second, then fading to a floor over the next; a stale report's
// tracks are drawn but no longer designated; no report, nothing.
TEST(VideoOverlay, AnOldReportFadesAndIsNotDesignated)
{
    cVideoOverlay overlay(640, 480);
    const Clock::time_point start = Clock::now();
    EXPECT_FALSE(overlay.TrackAge(start));
    EXPECT_TRUE(cVideoOverlay::IsStale(overlay.TrackAge(start)));
    // A receiver that has had no report yet hands the clock's epoch: nothing
    // taken.
    overlay.UpdateTracks(Report(1, {{7, 100, 100, 20, 20}}), Clock::time_point{});
    EXPECT_TRUE(overlay.Tracks().Boxes().empty());

    overlay.UpdateTracks(Report(1, {{7, 100, 100, 20, 20}}), start);
    EXPECT_EQ(cVideoOverlay::Opacity(overlay.TrackAge(start + 1s)), 1.0);
    EXPECT_FALSE(cVideoOverlay::IsStale(overlay.TrackAge(start + 1s)));
    EXPECT_NE(overlay.TrackAt(100, 100, start + 1s), nullptr);
    EXPECT_NEAR(cVideoOverlay::Opacity(overlay.TrackAge(start + 1500ms)), 0.65, 1e-9);
    EXPECT_TRUE(cVideoOverlay::IsStale(overlay.TrackAge(start + 1001ms)));
    EXPECT_EQ(overlay.TrackAt(100, 100, start + 1001ms), nullptr);
    EXPECT_EQ(cVideoOverlay::Opacity(overlay.TrackAge(start + 10s)), cVideoOverlay::kStaleOpacity);
    EXPECT_EQ(overlay.Tracks().Boxes().size(), 1u);

    // A new report is fresh again; tags keep their own age.
    overlay.UpdateTracks(Report(2, {{7, 110, 100, 20, 20}}), start + 10s);
    EXPECT_EQ(cVideoOverlay::Opacity(overlay.TrackAge(start + 10s)), 1.0);
    EXPECT_EQ(overlay.Tracks().Boxes().front().trail.size(), 2u);
    EXPECT_FALSE(overlay.TagAge(start + 10s));
    overlay.Clear();
    EXPECT_FALSE(overlay.TrackAge(start + 10s));
}

// The acquisition window starts centred, moves by nudges without its centre
// leaving the picture, and shows nothing until its size is known.
TEST(AcquisitionWindow, CentredNudgedAndKeptInThePicture)
{
    cAcquisitionWindow window(640, 480);
    EXPECT_FALSE(window.HasSize());
    window.SetSize(320, 240);
    EXPECT_EQ(window.Bounds(), (cAcquisitionWindow::Rect{160, 120, 320, 240}));
    window.Nudge(-4, 16);
    EXPECT_EQ(window.Bounds(), (cAcquisitionWindow::Rect{156, 136, 320, 240}));
    window.Nudge(-1000, 1000);
    EXPECT_EQ(window.CentreX(), 0);
    EXPECT_EQ(window.CentreY(), 479);
    window.Recentre();
    EXPECT_EQ(window.CentreX(), 320);
    window.SetSize(-3, 10);
    EXPECT_FALSE(window.HasSize());
}
