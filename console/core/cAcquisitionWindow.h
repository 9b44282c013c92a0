#pragma once
#include <cstdint>

// The tracker's acquisition window as the video shows it: the detection
// AOI size (picture pixels, as the remote system reports it) about a centre
// that starts at the picture's centre and that the operator nudges. The
// centre never leaves the picture.
class cAcquisitionWindow
{
public:
    struct Rect
    {
        int32_t nLeft, nTop, nWidth, nHeight;
        bool operator==(const Rect&) const = default;
    };

    cAcquisitionWindow(int32_t nPictureWidth, int32_t nPictureHeight);

    // The AOI size; 0 on either axis: not known, nothing to show.
    void SetSize(int32_t nSizeX, int32_t nSizeY);
    bool HasSize() const { return m_nSizeX > 0 && m_nSizeY > 0; }
    void Nudge(int32_t nDx, int32_t nDy);
    void Recentre();

    int32_t CentreX() const { return m_nCentreX; }
    int32_t CentreY() const { return m_nCentreY; }
    Rect Bounds() const;

private:
    const int32_t m_nWidth;
    const int32_t m_nHeight;
    int32_t m_nSizeX = 0;
    int32_t m_nSizeY = 0;
    int32_t m_nCentreX;
    int32_t m_nCentreY;
};
