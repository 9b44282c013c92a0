#include "cEoTrackPictureView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace
{
constexpr int kMargin = 6;

QColor ToQColor(const cEoTrackPicture::Colour& colour, int nAlpha = 255)
{
    return QColor(colour.r, colour.g, colour.b, nAlpha);
}
} // namespace

cEoTrackPictureView::cEoTrackPictureView(int32_t nPictureWidth, int32_t nPictureHeight, QWidget* pParent)
    : QWidget(pParent), m_Picture(nPictureWidth, nPictureHeight)
{
    setMinimumSize(240, 180);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    // Every pixel is painted each time: nothing behind needs drawing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QSize cEoTrackPictureView::sizeHint() const
{
    // Half the picture, or 480 wide for a large one, keeping its aspect.
    const double dScale = std::min(0.75, 480.0 / m_Picture.Width());
    return {static_cast<int>(m_Picture.Width() * dScale) + 2 * kMargin,
            static_cast<int>(m_Picture.Height() * dScale) + 2 * kMargin};
}

void cEoTrackPictureView::ShowReport(const EoReport& report)
{
    m_Picture.Update(report);
    update();
}

void cEoTrackPictureView::Clear()
{
    m_Picture.Clear();
    update();
}

QRectF cEoTrackPictureView::PictureRect() const
{
    const QRectF area = QRectF(rect()).adjusted(kMargin, kMargin, -kMargin, -kMargin);
    const double dScale = std::min(area.width() / m_Picture.Width(), area.height() / m_Picture.Height());
    const QSizeF size(m_Picture.Width() * dScale, m_Picture.Height() * dScale);
    return QRectF(area.center() - QPointF(size.width() / 2, size.height() / 2), size);
}

QPointF cEoTrackPictureView::ToWidget(const cEoTrackPicture::Point& point) const
{
    const QRectF picture = PictureRect();
    const double dScale = picture.width() / m_Picture.Width();
    return picture.topLeft() + QPointF(point.nX * dScale, point.nY * dScale);
}

std::optional<QPointF> cEoTrackPictureView::ToPicture(const QPointF& widgetPoint) const
{
    const QRectF picture = PictureRect();
    if (picture.width() <= 0 || !picture.contains(widgetPoint))
        return std::nullopt;
    const double dScale = picture.width() / m_Picture.Width();
    return (widgetPoint - picture.topLeft()) / dScale;
}

void cEoTrackPictureView::mousePressEvent(QMouseEvent* pEvent)
{
    if (m_fnClick)
        m_fnClick(ToPicture(pEvent->position()), pEvent->button(), pEvent->globalPosition().toPoint());
    pEvent->accept();
}

QRectF cEoTrackPictureView::ToWidget(const cEoTrackPicture::Box& box) const
{
    const QPointF topLeft = ToWidget(cEoTrackPicture::Point{box.nLeft, box.nTop});
    const double dScale = PictureRect().width() / m_Picture.Width();
    return {topLeft, QSizeF(box.nWidth * dScale, box.nHeight * dScale)};
}

void cEoTrackPictureView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(38, 42, 48));
    const QRectF picture = PictureRect();
    painter.fillRect(picture, QColor(14, 17, 22));

    // A faint eighths grid and the boresight cross give positions a scale.
    painter.setPen(QPen(QColor(50, 58, 68), 0));
    for (int n = 1; n < 8; ++n)
    {
        const double dX = picture.left() + picture.width() * n / 8;
        const double dY = picture.top() + picture.height() * n / 8;
        painter.drawLine(QPointF(dX, picture.top()), QPointF(dX, picture.bottom()));
        painter.drawLine(QPointF(picture.left(), dY), QPointF(picture.right(), dY));
    }
    painter.setPen(QPen(QColor(95, 105, 120), 0));
    const QPointF centre = picture.center();
    painter.drawLine(centre - QPointF(12, 0), centre + QPointF(12, 0));
    painter.drawLine(centre - QPointF(0, 12), centre + QPointF(0, 12));
    painter.drawRect(picture);

    painter.save();
    painter.setClipRect(picture);
    for (const cEoTrackPicture::Box& box : m_Picture.Boxes())
    {
        if (box.trail.size() > 1)
        {
            QPolygonF trail;
            for (const cEoTrackPicture::Point& point : box.trail)
                trail << ToWidget(point);
            painter.setRenderHint(QPainter::Antialiasing, true);
            painter.setPen(QPen(ToQColor(box.colour, 110), 1.5));
            painter.drawPolyline(trail);
            painter.setRenderHint(QPainter::Antialiasing, false);
        }
        // Whole-pixel outline without smoothing, so its colour is exact.
        const QRectF outline = ToWidget(box);
        painter.fillRect(outline, ToQColor(box.colour, 40));
        painter.setPen(QPen(ToQColor(box.colour), 2));
        painter.drawRect(outline);
        painter.drawText(QPointF(outline.left(), outline.top() - 4), QString::fromStdString(box.sLabel));
    }
    painter.restore();

    // Legend along the bottom of the field of view.
    const QFontMetrics metrics(font());
    double dX = picture.left() + 8;
    const double dY = picture.bottom() - 8;
    for (const auto eKind : {cEoTrackPicture::eStatus::Acquire, cEoTrackPicture::eStatus::Track,
                             cEoTrackPicture::eStatus::Coast})
    {
        const QString sText = QString::fromLatin1(cEoTrackPicture::StatusText(eKind));
        painter.fillRect(QRectF(dX, dY - 9, 10, 10), ToQColor(cEoTrackPicture::ColourOf(eKind)));
        painter.setPen(QColor(200, 205, 212));
        painter.drawText(QPointF(dX + 14, dY), sText);
        dX += 24 + metrics.horizontalAdvance(sText);
    }
    painter.drawText(QRectF(picture.left(), picture.top() + 4, picture.width() - 8, 20), Qt::AlignRight | Qt::AlignTop,
                     QStringLiteral("%1 x %2  tracks: %3")
                         .arg(m_Picture.Width())
                         .arg(m_Picture.Height())
                         .arg(m_Picture.Boxes().size()));
}
