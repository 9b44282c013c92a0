#pragma once
#include "EoReport.h"
#include "cEoTrackPicture.h"

#include <chrono>
#include <cstdint>
#include <optional>

// What the video window draws over the picture, kept apart from the
// painting: the tracks of the newest EO target report (boxes, IDs, trails)
// and of the newest tag report, in EO picture pixels, and how old each report
// is. A report more than a second old fades (the tracks stopped coming while
// the video goes on), so that a stale box is never taken for a live one.
// UI thread only; the owner hands it copies of the receiver's reports.
class cVideoOverlay
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kFreshFor{1000};
    static constexpr std::chrono::milliseconds kFadeOver{1000};
    static constexpr double kStaleOpacity = 0.3;
    // Around a box too small to hit, the pixels a click may miss it by.
    static constexpr int32_t kHitMargin = 6;

    // The layers the operator chose to see (kept per user by the window).
    struct Layers
    {
        bool bTracks = true;
        bool bTrails = true;
        bool bTags = true;
        bool bAcquisition = true;
        bool bCrossHair = true;
    };

    // A picture size below 1 pixel takes the track picture's default.
    cVideoOverlay(int32_t nPictureWidth, int32_t nPictureHeight);

    // The newest report and when it arrived (the clock's epoch: none yet).
    void UpdateTracks(const EoReport& report, Clock::time_point receivedAt);
    void UpdateTags(const EoReport& report, Clock::time_point receivedAt);
    void Clear();

    const cEoTrackPicture& Tracks() const { return m_Tracks; }
    const cEoTrackPicture& Tags() const { return m_Tags; }
    int32_t Width() const { return m_Tracks.Width(); }
    int32_t Height() const { return m_Tracks.Height(); }

    // How old the boxes' report is; none while no report has come.
    std::optional<Clock::duration> TrackAge(Clock::time_point now) const;
    std::optional<Clock::duration> TagAge(Clock::time_point now) const;
    // 1 while a report is at most kFreshFor old, then down to kStaleOpacity over
    // kFadeOver.
    static double Opacity(std::optional<Clock::duration> age);
    static bool IsStale(std::optional<Clock::duration> age) { return !age || *age > kFreshFor; }

    // The fresh track whose box holds the picture point (cEoTrackPicture::BoxAt);
    // null when none is there or the report is stale.
    const cEoTrackPicture::Box* TrackAt(double dX, double dY, Clock::time_point now) const;

private:
    cEoTrackPicture m_Tracks;
    cEoTrackPicture m_Tags;
    Clock::time_point m_TracksAt{};
    Clock::time_point m_TagsAt{};
};
