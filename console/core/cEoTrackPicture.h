#pragma once
#include "EoReport.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What the picture of the tracks shows, kept apart from the painting so that
// it can be checked without a display: the sensor's field of view in picture
// pixels, and one box per valid track of the latest report, centred on the
// track's position with its size, labelled with its ID, coloured by status,
// with a trail of its last positions. Positions and sizes are used as the
// receiver stores them (whole pixels for every format).
class cEoTrackPicture
{
public:
    static constexpr int32_t kDefaultWidth = 640;
    static constexpr int32_t kDefaultHeight = 480;
    static constexpr size_t kDefaultTrail = 16;  // 1.6 s of reports at 10 a second

    // The track states the remote system reports in the status byte.
    enum class eStatus
    {
        Acquire,  // 0
        Track,    // 1
        Coast,    // 2
        Other,
    };
    struct Colour
    {
        uint8_t r, g, b;
        bool operator==(const Colour&) const = default;
    };
    struct Point
    {
        int32_t nX, nY;
        bool operator==(const Point&) const = default;
    };
    struct Box
    {
        uint32_t nId;
        Point centre;
        int32_t nLeft, nTop, nWidth, nHeight;  // picture pixels; sizes never negative
        uint8_t nStatus;
        eStatus eKind;
        Colour colour;
        std::string sLabel;
        std::vector<Point> trail;  // oldest first, ending at the centre
    };

    // A size below 1 pixel takes the default.
    explicit cEoTrackPicture(int32_t nWidth = kDefaultWidth, int32_t nHeight = kDefaultHeight,
                             size_t nTrailLength = kDefaultTrail);

    // Takes the latest report. Trails grow only when the report is a new one
    // (another timestamp), so refreshing faster than reports arrive adds no
    // points; a track that leaves the report loses its trail.
    void Update(const EoReport& report);
    void Clear();

    const std::vector<Box>& Boxes() const { return m_Boxes; }
    // The box that holds the picture point, or is within nMargin pixels of
    // it when smaller than that (the smallest, when boxes overlap); null
    // when none does.
    const Box* BoxAt(double dX, double dY, int32_t nMargin) const;
    int32_t Width() const { return m_nWidth; }
    int32_t Height() const { return m_nHeight; }

    static eStatus StatusKind(uint8_t nStatus);
    static Colour ColourOf(eStatus eKind);
    static const char* StatusText(eStatus eKind);

private:
    const int32_t m_nWidth;
    const int32_t m_nHeight;
    const size_t m_nTrailLength;
    std::vector<Box> m_Boxes;
    bool m_bHaveReport = false;
    uint64_t m_nLastTimestamp = 0;
};
