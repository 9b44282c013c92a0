#include "cSimWorld.h"

cSimWorld::cSimWorld(const cSimEoStream& eo, const cSimLanding& landing, int32_t nEoWidth, int32_t nEoHeight,
                     int32_t nVideoWidth, int32_t nVideoHeight)
    : m_Eo(eo), m_Landing(landing), m_nEoWidth(nEoWidth > 0 ? nEoWidth : 640),
      m_nEoHeight(nEoHeight > 0 ? nEoHeight : 480), m_nVideoWidth(nVideoWidth > 0 ? nVideoWidth : 640),
      m_nVideoHeight(nVideoHeight > 0 ? nVideoHeight : 480), m_Home(ViewOf(cSimLanding::Home())),
      m_dHomeVerticalFov(VerticalFov(m_Home.dHorizontalFovDeg))
{
}

cSimScene::View cSimWorld::ViewOf(const cSimLanding::Pointing& pointing)
{
    cSimScene::View view;
    view.dAzDeg = pointing.dAzDeg;
    view.dElDeg = pointing.dElDeg;
    view.dHorizontalFovDeg = cSimScene::HorizontalFovAtZoom(pointing.dZoom);
    return view;
}

double cSimWorld::VerticalFov(double dHorizontalFovDeg) const
{
    return cSimScene::VerticalFovOf(dHorizontalFovDeg, m_nVideoWidth, m_nVideoHeight);
}

bool cSimWorld::InPicture(double dX, double dY) const
{
    return dX >= 0.0 && dX <= m_nEoWidth && dY >= 0.0 && dY <= m_nEoHeight;
}

bool cSimWorld::Place(const cSimScene::View& view, cSimEoStream::Target& target) const
{
    // The home picture's pixel seen in this one: magnified about the centre by
    // the ratio of the fields of view, shifted by the turn in this picture's
    // pixels (azimuth to the right moves the ground left, elevation up moves
    // it down). Written as offsets from the home position so that the home
    // view adds exact zeros.
    const double dScaleX = m_Home.dHorizontalFovDeg / view.dHorizontalFovDeg;
    const double dVerticalFov = VerticalFov(view.dHorizontalFovDeg);
    const double dScaleY = m_dHomeVerticalFov / dVerticalFov;
    const double dPanX = (view.dAzDeg - m_Home.dAzDeg) * m_nEoWidth / view.dHorizontalFovDeg;
    const double dPanY = (view.dElDeg - m_Home.dElDeg) * m_nEoHeight / dVerticalFov;
    target.dX += (target.dX - m_nEoWidth / 2.0) * (dScaleX - 1.0) - dPanX;
    target.dY += (target.dY - m_nEoHeight / 2.0) * (dScaleY - 1.0) + dPanY;
    target.dSizeX *= dScaleX;
    target.dSizeY *= dScaleY;
    return InPicture(target.dX, target.dY);
}

cSimWorld::Seen cSimWorld::SeenAt(uint8_t nIdentifier, double dSeconds) const
{
    Seen seen;
    seen.view = ViewOf(m_Landing.PointingAt(dSeconds));
    for (cSimEoStream::Target& target : m_Eo.TargetsAt(nIdentifier, dSeconds))
        if (Place(seen.view, target))
            seen.targets.push_back(target);
    return seen;
}
