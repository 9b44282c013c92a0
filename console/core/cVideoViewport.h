#pragma once
#include <cstdint>
#include <optional>

// Where a picture lies inside a widget when it is shown whole with its
// aspect ratio kept (centred, bars on two sides), and how points map between
// the widget and the picture. Picture coordinates may be of another size
// than the video itself (EO track positions refer to nPictureWidth x
// nPictureHeight): they map onto the same shown area.
class cVideoViewport
{
public:
    struct Rect
    {
        double dX = 0;
        double dY = 0;
        double dWidth = 0;
        double dHeight = 0;
    };
    struct Point
    {
        double dX = 0;
        double dY = 0;
    };

    cVideoViewport(double dWidgetWidth, double dWidgetHeight, double dVideoWidth, double dVideoHeight);

    // The shown picture in widget coordinates; empty when either size is.
    const Rect& PictureRect() const { return m_Picture; }
    // Whole-pixel and the video's own size: painted without scaling.
    bool IsOneToOne() const;

    // A point of a picture of dPictureWidth x dPictureHeight (the video's own
    // size by default) in widget coordinates, and back. A widget point
    // outside the shown picture has no picture point.
    Point ToWidget(Point picturePoint, double dPictureWidth = 0, double dPictureHeight = 0) const;
    std::optional<Point> ToPicture(Point widgetPoint, double dPictureWidth = 0, double dPictureHeight = 0) const;

private:
    double m_dVideoWidth;
    double m_dVideoHeight;
    Rect m_Picture;
};
