#include "cVideoOverlay.h"

#include <algorithm>

cVideoOverlay::cVideoOverlay(int32_t nPictureWidth, int32_t nPictureHeight)
    : m_Tracks(nPictureWidth, nPictureHeight), m_Tags(nPictureWidth, nPictureHeight)
{
}

void cVideoOverlay::UpdateTracks(const EoReport& report, Clock::time_point receivedAt)
{
    if (receivedAt == Clock::time_point{})
        return;
    m_Tracks.Update(report);
    m_TracksAt = receivedAt;
}

void cVideoOverlay::UpdateTags(const EoReport& report, Clock::time_point receivedAt)
{
    if (receivedAt == Clock::time_point{})
        return;
    m_Tags.Update(report);
    m_TagsAt = receivedAt;
}

void cVideoOverlay::Clear()
{
    m_Tracks.Clear();
    m_Tags.Clear();
    m_TracksAt = {};
    m_TagsAt = {};
}

std::optional<cVideoOverlay::Clock::duration> cVideoOverlay::TrackAge(Clock::time_point now) const
{
    if (m_TracksAt == Clock::time_point{})
        return std::nullopt;
    return std::max(Clock::duration::zero(), now - m_TracksAt);
}

std::optional<cVideoOverlay::Clock::duration> cVideoOverlay::TagAge(Clock::time_point now) const
{
    if (m_TagsAt == Clock::time_point{})
        return std::nullopt;
    return std::max(Clock::duration::zero(), now - m_TagsAt);
}

double cVideoOverlay::Opacity(std::optional<Clock::duration> age)
{
    if (!age || *age <= kFreshFor)
        return age ? 1.0 : 0.0;
    const double dInto = std::chrono::duration<double>(*age - kFreshFor) / kFadeOver;
    return std::max(kStaleOpacity, 1.0 - (1.0 - kStaleOpacity) * dInto);
}

const cEoTrackPicture::Box* cVideoOverlay::TrackAt(double dX, double dY, Clock::time_point now) const
{
    return IsStale(TrackAge(now)) ? nullptr : m_Tracks.BoxAt(dX, dY, kHitMargin);
}
