#include "cVideoViewport.h"

#include <algorithm>
#include <cmath>

cVideoViewport::cVideoViewport(double dWidgetWidth, double dWidgetHeight, double dVideoWidth, double dVideoHeight)
    : m_dVideoWidth(dVideoWidth), m_dVideoHeight(dVideoHeight)
{
    if (dWidgetWidth <= 0 || dWidgetHeight <= 0 || dVideoWidth <= 0 || dVideoHeight <= 0)
        return;
    const double dScale = std::min(dWidgetWidth / dVideoWidth, dWidgetHeight / dVideoHeight);
    m_Picture.dWidth = dVideoWidth * dScale;
    m_Picture.dHeight = dVideoHeight * dScale;
    // Whole pixels at the corner, so that a picture of the widget's size lands exactly.
    m_Picture.dX = std::floor((dWidgetWidth - m_Picture.dWidth) / 2);
    m_Picture.dY = std::floor((dWidgetHeight - m_Picture.dHeight) / 2);
}

bool cVideoViewport::IsOneToOne() const
{
    return m_Picture.dWidth == m_dVideoWidth && m_Picture.dHeight == m_dVideoHeight;
}

cVideoViewport::Point cVideoViewport::ToWidget(Point picturePoint, double dPictureWidth, double dPictureHeight) const
{
    const double dWidth = dPictureWidth > 0 ? dPictureWidth : m_dVideoWidth;
    const double dHeight = dPictureHeight > 0 ? dPictureHeight : m_dVideoHeight;
    if (dWidth <= 0 || dHeight <= 0)
        return {};
    return {m_Picture.dX + picturePoint.dX * m_Picture.dWidth / dWidth,
            m_Picture.dY + picturePoint.dY * m_Picture.dHeight / dHeight};
}

std::optional<cVideoViewport::Point> cVideoViewport::ToPicture(Point widgetPoint, double dPictureWidth,
                                                              double dPictureHeight) const
{
    const double dWidth = dPictureWidth > 0 ? dPictureWidth : m_dVideoWidth;
    const double dHeight = dPictureHeight > 0 ? dPictureHeight : m_dVideoHeight;
    if (m_Picture.dWidth <= 0 || m_Picture.dHeight <= 0 || dWidth <= 0 || dHeight <= 0)
        return std::nullopt;
    const double dX = widgetPoint.dX - m_Picture.dX;
    const double dY = widgetPoint.dY - m_Picture.dY;
    if (dX < 0 || dY < 0 || dX >= m_Picture.dWidth || dY >= m_Picture.dHeight)
        return std::nullopt;
    return Point{dX * dWidth / m_Picture.dWidth, dY * dHeight / m_Picture.dHeight};
}
