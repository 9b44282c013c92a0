#include "cEoTrackPicture.h"

#include <algorithm>
#include <cstdlib>

cEoTrackPicture::cEoTrackPicture(int32_t nWidth, int32_t nHeight, size_t nTrailLength)
    : m_nWidth(nWidth >= 1 ? nWidth : kDefaultWidth), m_nHeight(nHeight >= 1 ? nHeight : kDefaultHeight),
      m_nTrailLength(std::max<size_t>(nTrailLength, 1))
{
}

cEoTrackPicture::eStatus cEoTrackPicture::StatusKind(uint8_t nStatus)
{
    switch (nStatus)
    {
    case 0: return eStatus::Acquire;
    case 1: return eStatus::Track;
    case 2: return eStatus::Coast;
    default: return eStatus::Other;
    }
}

cEoTrackPicture::Colour cEoTrackPicture::ColourOf(eStatus eKind)
{
    switch (eKind)
    {
    case eStatus::Acquire: return {255, 200, 0};  // amber: not yet locked on
    case eStatus::Track: return {40, 220, 80};    // green: locked on
    case eStatus::Coast: return {255, 70, 60};    // red: predicted, not seen
    case eStatus::Other: break;
    }
    return {170, 170, 170};
}

const char* cEoTrackPicture::StatusText(eStatus eKind)
{
    switch (eKind)
    {
    case eStatus::Acquire: return "Acquire";
    case eStatus::Track: return "Track";
    case eStatus::Coast: return "Coast";
    case eStatus::Other: break;
    }
    return "Other";
}

void cEoTrackPicture::Clear()
{
    m_Boxes.clear();
    m_bHaveReport = false;
    m_nLastTimestamp = 0;
}

void cEoTrackPicture::Update(const EoReport& report)
{
    const uint64_t nTimestamp = report.timestamp.Get();
    const bool bNewReport = !m_bHaveReport || nTimestamp != m_nLastTimestamp;
    m_bHaveReport = true;
    m_nLastTimestamp = nTimestamp;

    std::vector<Box> boxes;
    const size_t nCount = std::min<size_t>(report.numTracks.Get(), EoReport::kMaxTracks);
    for (size_t n = 0; n < nCount; ++n)
    {
        const EoTrack& track = report.tracks[n];
        // Entries past the records the frame held stay all zero, without a valid ID.
        if (!track.bIdValid)
            continue;
        Box box;
        box.nId = track.nId;
        box.centre = {track.xPosn.nValue, track.yPosn.nValue};
        box.nWidth = std::abs(track.xSize.nValue);
        box.nHeight = std::abs(track.ySize.nValue);
        box.nLeft = box.centre.nX - box.nWidth / 2;
        box.nTop = box.centre.nY - box.nHeight / 2;
        box.nStatus = track.status.Get();
        box.eKind = StatusKind(box.nStatus);
        box.colour = ColourOf(box.eKind);
        box.sLabel = std::to_string(track.nId);

        const auto previous =
            std::find_if(m_Boxes.begin(), m_Boxes.end(), [&](const Box& b) { return b.nId == box.nId; });
        if (previous != m_Boxes.end())
            box.trail = std::move(previous->trail);
        if (bNewReport || box.trail.empty())
            box.trail.push_back(box.centre);
        else
            box.trail.back() = box.centre;
        if (box.trail.size() > m_nTrailLength)
            box.trail.erase(box.trail.begin(), box.trail.end() - static_cast<std::ptrdiff_t>(m_nTrailLength));
        boxes.push_back(std::move(box));
    }
    m_Boxes = std::move(boxes);
}

const cEoTrackPicture::Box* cEoTrackPicture::BoxAt(double dX, double dY, int32_t nMargin) const
{
    const Box* pBest = nullptr;
    for (const Box& box : m_Boxes)
    {
        // A small box is hit a few pixels around it, as an operator aims at it.
        const double dHalfX = std::max(box.nWidth / 2.0, static_cast<double>(nMargin));
        const double dHalfY = std::max(box.nHeight / 2.0, static_cast<double>(nMargin));
        if (dX < box.centre.nX - dHalfX || dX > box.centre.nX + dHalfX || dY < box.centre.nY - dHalfY ||
            dY > box.centre.nY + dHalfY)
            continue;
        if (!pBest || int64_t{box.nWidth} * box.nHeight < int64_t{pBest->nWidth} * pBest->nHeight)
            pBest = &box;
    }
    return pBest;
}
