#pragma once
#include "cEoTrackPicture.h"

#include <QPointF>
#include <QRectF>
#include <QWidget>
#include <functional>
#include <optional>

// Paints a cEoTrackPicture: the field of view scaled to fit the widget with
// its aspect kept, each track's trail, box and ID label in the colour of its
// status, and a legend of the colours. It only paints what the model holds;
// the owner feeds it reports.
class cEoTrackPictureView : public QWidget
{
    Q_OBJECT

public:
    cEoTrackPictureView(int32_t nPictureWidth, int32_t nPictureHeight, QWidget* pParent = nullptr);

    void ShowReport(const EoReport& report);
    void Clear();
    const cEoTrackPicture& Model() const { return m_Picture; }

    // Where the field of view lies in the widget, and where a picture point lands.
    QRectF PictureRect() const;
    QPointF ToWidget(const cEoTrackPicture::Point& point) const;
    QRectF ToWidget(const cEoTrackPicture::Box& box) const;

    // A widget point in picture pixels; none outside the field of view.
    std::optional<QPointF> ToPicture(const QPointF& widgetPoint) const;
    // A mouse press: the picture point (none outside it), the button, and
    // the global point that places a context menu.
    using ClickHook = std::function<void(std::optional<QPointF> picturePoint, Qt::MouseButton eButton, const QPoint& globalPoint)>;
    void SetClickHook(ClickHook fnHook) { m_fnClick = std::move(fnHook); }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;

private:
    cEoTrackPicture m_Picture;
    ClickHook m_fnClick;
};
