#pragma once
#include "cSimEoStream.h"
#include "cSimLanding.h"
#include "cSimScene.h"

#include <cstdint>
#include <vector>

// Where the simulated targets are seen. They live on the ground: the position
// cSimEoStream gives a target is where the platform sees it from its home
// pointing (cSimLanding::Home, the lens wide), which fixes the target's
// azimuth and elevation; the picture of any other pointing shows it where the
// ground at those angles is drawn, by cSimScene's linear map of angles, so
// that it pans with the ground and its offset from the centre and its size
// grow as the lens zooms. A target whose centre falls outside the EO picture
// is not seen at all. The EO reports and the video both take what they show
// from here, so that a box and its vehicle agree.
//
// At the home pointing every position comes back exactly as given (the
// shifts are zero and the scale one, not merely close to them), so that a
// simulator left alone reports what TargetAt says.
class cSimWorld
{
public:
    struct Seen
    {
        cSimScene::View view;
        std::vector<cSimEoStream::Target> targets;  // in the EO picture, in report order
    };

    // The EO picture the positions are in, and the video picture whose shape
    // gives the vertical field of view (as cSimScene draws it).
    cSimWorld(const cSimEoStream& eo, const cSimLanding& landing, int32_t nEoWidth, int32_t nEoHeight,
              int32_t nVideoWidth, int32_t nVideoHeight);

    static cSimScene::View ViewOf(const cSimLanding::Pointing& pointing);
    const cSimScene::View& Home() const { return m_Home; }
    double VerticalFov(double dHorizontalFovDeg) const;

    // Moves a target from where the home view sees it to where view sees it:
    // false when its centre is then outside the picture.
    bool Place(const cSimScene::View& view, cSimEoStream::Target& target) const;
    bool InPicture(double dX, double dY) const;

    // Any thread: the view and the targets of a report of the kind as the
    // platform sees them at dSeconds after start.
    Seen SeenAt(uint8_t nIdentifier, double dSeconds) const;

    int32_t PictureWidth() const { return m_nEoWidth; }
    int32_t PictureHeight() const { return m_nEoHeight; }

private:
    const cSimEoStream& m_Eo;
    const cSimLanding& m_Landing;
    const int32_t m_nEoWidth;
    const int32_t m_nEoHeight;
    const int32_t m_nVideoWidth;
    const int32_t m_nVideoHeight;
    const cSimScene::View m_Home;
    const double m_dHomeVerticalFov;
};
