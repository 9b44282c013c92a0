#include "cSimScene.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace
{
// Ground features, in degrees: fields in a grid, roads every few fields,
// furrows across each field (drawn only where they are at least this many
// pixels wide: finer ones would be noise a lens blurs away).
constexpr double kFieldWidthDeg = 1.5;
constexpr double kFieldHeightDeg = 1.0;
constexpr double kRoadSpacingAzDeg = 6.0;
constexpr double kRoadSpacingElDeg = 4.0;
constexpr double kRoadHalfWidthDeg = 0.08;
constexpr double kRoadLineHalfWidthDeg = 0.008;
constexpr double kFurrowDeg = 0.05;
constexpr double kFurrowLeastPixels = 2.0;

uint32_t Hash(int32_t nColumn, int32_t nRow)
{
    uint32_t h = static_cast<uint32_t>(nColumn) * 0x9E3779B1u ^ static_cast<uint32_t>(nRow) * 0x85EBCA77u;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

bool IsBuilding(uint32_t nHash)
{
    return nHash % 5 == 0;
}
} // namespace

cSimScene::cSimScene(int32_t nWidth, int32_t nHeight, int32_t nEoWidth, int32_t nEoHeight)
    : m_nWidth(nWidth), m_nHeight(nHeight), m_nEoWidth(nEoWidth > 0 ? nEoWidth : 640),
      m_nEoHeight(nEoHeight > 0 ? nEoHeight : 480), m_Columns(static_cast<size_t>(nWidth)),
      m_Rows(static_cast<size_t>(nHeight))
{
}

double cSimScene::HorizontalFovAtZoom(double dZoom)
{
    return kWideFovDeg * std::pow(kNarrowFovDeg / kWideFovDeg, std::clamp(dZoom, 0.0, 1.0));
}

double cSimScene::VerticalFovOf(double dHorizontalFovDeg, int32_t nWidth, int32_t nHeight)
{
    const double dHalf = dHorizontalFovDeg / 2.0 * std::numbers::pi / 180.0;
    return 2.0 * std::atan(std::tan(dHalf) * nHeight / nWidth) * 180.0 / std::numbers::pi;
}

size_t cSimScene::FrameBytes() const
{
    const size_t nLuma = static_cast<size_t>(m_nWidth) * static_cast<size_t>(m_nHeight);
    return nLuma + 2 * (nLuma / 4);
}

cSimScene::Axis cSimScene::AxisAt(double dDeg, double dFieldDeg, double dRoadSpacingDeg, double dDegPerPixel)
{
    Axis axis;
    const double dField = dDeg / dFieldDeg;
    const double dWhole = std::floor(dField);
    axis.nField = static_cast<int32_t>(dWhole);
    axis.fInField = static_cast<float>(dField - dWhole);
    if (kFurrowDeg / dDegPerPixel >= kFurrowLeastPixels)
        axis.bFurrow = static_cast<int64_t>(std::floor(dDeg / kFurrowDeg)) % 2 != 0;
    const double dFromRoad = std::abs(dDeg - dRoadSpacingDeg * std::round(dDeg / dRoadSpacingDeg));
    axis.bRoad = dFromRoad < kRoadHalfWidthDeg;
    axis.bRoadLine = dFromRoad < kRoadLineHalfWidthDeg;
    return axis;
}

uint8_t cSimScene::GroundLuma(const Axis& column, const Axis& row)
{
    if (column.bRoad || row.bRoad)
    {
        // The centre line stops where another road crosses.
        const bool bLine = (column.bRoadLine && !row.bRoad) || (row.bRoadLine && !column.bRoad);
        return bLine ? 190 : 55;
    }
    const uint32_t nHash = Hash(column.nField, row.nField);
    if (IsBuilding(nHash) && column.fInField > 0.3f && column.fInField < 0.7f && row.fInField > 0.25f &&
        row.fInField < 0.75f)
    {
        // A roof, its shadow falling to the lower right.
        const bool bShadow = column.fInField > 0.64f || row.fInField > 0.69f;
        return bShadow ? 70 : static_cast<uint8_t>(170 + (nHash >> 8) % 25);
    }
    int32_t nLuma = 70 + static_cast<int32_t>((nHash >> 3) % 70);
    // Furrows run along or across the field, as the field's hash says.
    const bool bFurrow = (nHash >> 11) & 1 ? column.bFurrow : row.bFurrow;
    nLuma += bFurrow ? -12 : 6;
    return static_cast<uint8_t>(nLuma);
}

void cSimScene::GroundChroma(const Axis& column, const Axis& row, uint8_t& nU, uint8_t& nV)
{
    if (column.bRoad || row.bRoad)
    {
        nU = 128;
        nV = 128;
        return;
    }
    // Green, ochre and brown fields; grey roofs.
    static constexpr uint8_t kTints[3][2] = {{100, 112}, {92, 140}, {112, 146}};
    const uint32_t nHash = Hash(column.nField, row.nField);
    const uint8_t* pTint = kTints[(nHash >> 13) % 3];
    const bool bRoof = IsBuilding(nHash) && column.fInField > 0.3f && column.fInField < 0.7f &&
                       row.fInField > 0.25f && row.fInField < 0.75f;
    nU = bRoof ? 124 : pTint[0];
    nV = bRoof ? 130 : pTint[1];
}

void cSimScene::Render(const View& view, const std::vector<Object>& objects, std::vector<uint8_t>& picture)
{
    picture.resize(FrameBytes());
    const double dDegPerColumn = view.dHorizontalFovDeg / m_nWidth;
    const double dDegPerRow = VerticalFov(view.dHorizontalFovDeg) / m_nHeight;
    // Azimuth grows to the right, elevation upwards.
    for (int32_t x = 0; x < m_nWidth; ++x)
        m_Columns[static_cast<size_t>(x)] = AxisAt(view.dAzDeg + (x + 0.5 - m_nWidth / 2.0) * dDegPerColumn,
                                                   kFieldWidthDeg, kRoadSpacingAzDeg, dDegPerColumn);
    for (int32_t y = 0; y < m_nHeight; ++y)
        m_Rows[static_cast<size_t>(y)] = AxisAt(view.dElDeg - (y + 0.5 - m_nHeight / 2.0) * dDegPerRow,
                                                kFieldHeightDeg, kRoadSpacingElDeg, dDegPerRow);

    uint8_t* pLuma = picture.data();
    for (int32_t y = 0; y < m_nHeight; ++y)
    {
        const Axis& row = m_Rows[static_cast<size_t>(y)];
        uint8_t* pLine = pLuma + static_cast<size_t>(y) * static_cast<size_t>(m_nWidth);
        for (int32_t x = 0; x < m_nWidth; ++x)
            pLine[x] = GroundLuma(m_Columns[static_cast<size_t>(x)], row);
    }
    const size_t nChromaWidth = static_cast<size_t>(m_nWidth / 2);
    uint8_t* pU = pLuma + static_cast<size_t>(m_nWidth) * static_cast<size_t>(m_nHeight);
    uint8_t* pV = pU + nChromaWidth * static_cast<size_t>(m_nHeight / 2);
    for (int32_t y = 0; y < m_nHeight / 2; ++y)
        for (size_t x = 0; x < nChromaWidth; ++x)
        {
            const size_t n = static_cast<size_t>(y) * nChromaWidth + x;
            GroundChroma(m_Columns[2 * x], m_Rows[static_cast<size_t>(2 * y)], pU[n], pV[n]);
        }

    for (const Object& object : objects)
        DrawObject(object, picture);
}

void cSimScene::DrawObject(const Object& object, std::vector<uint8_t>& picture) const
{
    const double dX = MapX(object.dX);
    const double dY = MapY(object.dY);
    const double dWidth = std::max(2.0, MapX(object.dSizeX));
    const double dHeight = std::max(2.0, MapY(object.dSizeY));
    // Pixel bounds of a rectangle given as fractions of the vehicle, from its centre.
    auto bounds = [&](double dLeft, double dRight, double dTop, double dBottom, int32_t& x0, int32_t& x1,
                      int32_t& y0, int32_t& y1) {
        x0 = std::clamp(static_cast<int32_t>(std::lround(dX + dLeft * dWidth)), 0, m_nWidth);
        x1 = std::clamp(static_cast<int32_t>(std::lround(dX + dRight * dWidth)), 0, m_nWidth);
        y0 = std::clamp(static_cast<int32_t>(std::lround(dY + dTop * dHeight)), 0, m_nHeight);
        y1 = std::clamp(static_cast<int32_t>(std::lround(dY + dBottom * dHeight)), 0, m_nHeight);
    };
    auto fill = [&](int32_t x0, int32_t x1, int32_t y0, int32_t y1, uint8_t nLuma) {
        for (int32_t y = y0; y < y1; ++y)
            std::fill_n(picture.data() + static_cast<size_t>(y) * static_cast<size_t>(m_nWidth) + x0,
                        std::max(0, x1 - x0), nLuma);
    };
    int32_t x0, x1, y0, y1;
    // A dark body, a bright roof towards its front (the right) and a dark windscreen before it.
    bounds(-0.5, 0.5, -0.5, 0.5, x0, x1, y0, y1);
    fill(x0, x1, y0, y1, kBodyLuma);
    const int32_t nBodyX0 = x0, nBodyX1 = x1, nBodyY0 = y0, nBodyY1 = y1;
    bounds(-0.25, 0.2, -0.32, 0.32, x0, x1, y0, y1);
    fill(x0, x1, y0, y1, kRoofLuma);
    bounds(0.2, 0.3, -0.32, 0.32, x0, x1, y0, y1);
    fill(x0, x1, y0, y1, kWindscreenLuma);

    // A red paint, so that the vehicle stands out in colour too.
    const size_t nChromaWidth = static_cast<size_t>(m_nWidth / 2);
    uint8_t* pU = picture.data() + static_cast<size_t>(m_nWidth) * static_cast<size_t>(m_nHeight);
    uint8_t* pV = pU + nChromaWidth * static_cast<size_t>(m_nHeight / 2);
    for (int32_t y = (nBodyY0 + 1) / 2; y < (nBodyY1 + 1) / 2; ++y)
        for (int32_t x = (nBodyX0 + 1) / 2; x < (nBodyX1 + 1) / 2; ++x)
        {
            const size_t n = static_cast<size_t>(y) * nChromaWidth + static_cast<size_t>(x);
            pU[n] = 100;
            pV[n] = 190;
        }
}
