#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// The picture the simulated sensor sees, drawn from the simulator's own
// state: ground (fields, furrows, roads, buildings) fixed in Az/El, so that
// the picture pans as the platform moves and magnifies as the lens zooms, and
// the EO targets as dark vehicles with bright roofs, each centred where its EO
// track reports it. Plain C++ (I420 in a byte vector); one thread at a time.
//
// The picture is a linear map of angles: a column is the same azimuth step
// everywhere across it. A real lens is not, but at these fields of view the
// difference is under a pixel at the edges, and a linear map keeps "moved by
// N pixels" exact.
class cSimScene
{
public:
    static constexpr double kWideFovDeg = 40.0;   // zoom position 0
    static constexpr double kNarrowFovDeg = 2.0;  // zoom position at its end

    struct View
    {
        double dAzDeg = 0.0;  // the picture's centre
        double dElDeg = 0.0;
        double dHorizontalFovDeg = kWideFovDeg;
    };
    // An EO target as its track reports it: centre and size, in EO picture pixels.
    struct Object
    {
        double dX = 0.0;
        double dY = 0.0;
        double dSizeX = 0.0;
        double dSizeY = 0.0;
    };

    // nWidth and nHeight even (I420); the EO picture's size maps its
    // coordinates onto this picture.
    cSimScene(int32_t nWidth, int32_t nHeight, int32_t nEoWidth, int32_t nEoHeight);

    // The lens at a zoom position from 0 (wide) to 1 (narrow): every step of
    // the zoom changes the field of view by the same factor, as a zoom lens's
    // focal length does.
    static double HorizontalFovAtZoom(double dZoom);
    double VerticalFov(double dHorizontalFovDeg) const { return VerticalFovOf(dHorizontalFovDeg, m_nWidth, m_nHeight); }
    // The vertical field of view of a picture of that shape.
    static double VerticalFovOf(double dHorizontalFovDeg, int32_t nWidth, int32_t nHeight);

    // Draws the picture (FrameBytes() bytes of I420) for the view.
    void Render(const View& view, const std::vector<Object>& objects, std::vector<uint8_t>& picture);
    size_t FrameBytes() const;

    int32_t Width() const { return m_nWidth; }
    int32_t Height() const { return m_nHeight; }
    // An EO picture position in this picture's pixels.
    double MapX(double dEoX) const { return dEoX * m_nWidth / m_nEoWidth; }
    double MapY(double dEoY) const { return dEoY * m_nHeight / m_nEoHeight; }

    // Luma of the darkest and brightest parts of a target, outside what the ground uses.
    static constexpr uint8_t kBodyLuma = 20;
    static constexpr uint8_t kWindscreenLuma = 40;
    static constexpr uint8_t kRoofLuma = 230;

private:
    // What one column (azimuth) or row (elevation) contributes to the ground.
    struct Axis
    {
        int32_t nField = 0;      // which field along the axis
        float fInField = 0.0f;   // 0 to 1 across it
        bool bFurrow = false;    // on a furrow's dark half (only when furrows are a few pixels wide)
        bool bRoad = false;
        bool bRoadLine = false;  // the road's painted centre line
    };
    static Axis AxisAt(double dDeg, double dFieldDeg, double dRoadSpacingDeg, double dDegPerPixel);
    static uint8_t GroundLuma(const Axis& column, const Axis& row);
    static void GroundChroma(const Axis& column, const Axis& row, uint8_t& nU, uint8_t& nV);
    void DrawObject(const Object& object, std::vector<uint8_t>& picture) const;

    const int32_t m_nWidth;
    const int32_t m_nHeight;
    const int32_t m_nEoWidth;
    const int32_t m_nEoHeight;
    std::vector<Axis> m_Columns;  // scratch of Render, kept to spare an allocation per picture
    std::vector<Axis> m_Rows;
};
