#include "cVideoOverlayPainter.h"

#include <QPainter>
#include <QPolygonF>
#include <chrono>

namespace
{
QPointF ToWidget(const cVideoViewport& viewport, const cVideoOverlay& overlay, double dX, double dY)
{
    const cVideoViewport::Point point = viewport.ToWidget({dX, dY}, overlay.Width(), overlay.Height());
    return {point.dX, point.dY};
}

double Scale(const cVideoViewport& viewport, const cVideoOverlay& overlay)
{
    return viewport.PictureRect().dWidth / overlay.Width();
}

// The status colour, or grey for a stale report, at the report's opacity.
QColor Colour(const cEoTrackPicture::Colour& colour, bool bStale, double dOpacity, int nAlpha = 255)
{
    const QColor base = bStale ? QColor(160, 160, 160) : QColor(colour.r, colour.g, colour.b);
    return QColor(base.red(), base.green(), base.blue(), static_cast<int>(nAlpha * dOpacity));
}

QString AgeText(std::optional<cVideoOverlay::Clock::duration> age)
{
    return QStringLiteral("%1 s old").arg(std::chrono::duration<double>(*age).count(), 0, 'f', 1);
}
}  // namespace

void cVideoOverlayPainter::Paint(QPainter& painter, const cVideoViewport& viewport, const cVideoOverlay& overlay,
                                 const cAcquisitionWindow& acquisition, const cVideoOverlay::Layers& layers,
                                 cVideoOverlay::Clock::time_point now)
{
    const cVideoViewport::Rect& shown = viewport.PictureRect();
    if (shown.dWidth <= 0 || shown.dHeight <= 0)
        return;
    painter.setClipRect(QRectF(shown.dX, shown.dY, shown.dWidth, shown.dHeight));
    if (layers.bCrossHair)
        PaintCrossHair(painter, viewport, overlay);
    if (layers.bAcquisition && acquisition.HasSize())
        PaintAcquisition(painter, viewport, overlay, acquisition);
    if (layers.bTags)
        PaintTags(painter, viewport, overlay, now);
    if (layers.bTracks)
        PaintTracks(painter, viewport, overlay, layers.bTrails, now);
}

void cVideoOverlayPainter::PaintCrossHair(QPainter& painter, const cVideoViewport& viewport,
                                          const cVideoOverlay& overlay)
{
    // Open in the middle, so that it never hides what it points at.
    const QPointF centre = ToWidget(viewport, overlay, overlay.Width() / 2.0, overlay.Height() / 2.0);
    painter.setPen(QPen(QColor(255, 255, 255, 200), 1.5));
    constexpr double kGap = 6;
    constexpr double kArm = 18;
    painter.drawLine(centre - QPointF(kGap + kArm, 0), centre - QPointF(kGap, 0));
    painter.drawLine(centre + QPointF(kGap, 0), centre + QPointF(kGap + kArm, 0));
    painter.drawLine(centre - QPointF(0, kGap + kArm), centre - QPointF(0, kGap));
    painter.drawLine(centre + QPointF(0, kGap), centre + QPointF(0, kGap + kArm));
}

void cVideoOverlayPainter::PaintAcquisition(QPainter& painter, const cVideoViewport& viewport,
                                            const cVideoOverlay& overlay, const cAcquisitionWindow& acquisition)
{
    const cAcquisitionWindow::Rect bounds = acquisition.Bounds();
    const QPointF topLeft = ToWidget(viewport, overlay, bounds.nLeft, bounds.nTop);
    const double dScale = Scale(viewport, overlay);
    QPen pen(QColor(80, 200, 255, 220), 1.5, Qt::DashLine);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(topLeft, QSizeF(bounds.nWidth * dScale, bounds.nHeight * dScale)));
}

void cVideoOverlayPainter::PaintTracks(QPainter& painter, const cVideoViewport& viewport, const cVideoOverlay& overlay,
                                       bool bTrails, cVideoOverlay::Clock::time_point now)
{
    const auto age = overlay.TrackAge(now);
    if (!age)
        return;
    const bool bStale = cVideoOverlay::IsStale(age);
    const double dOpacity = cVideoOverlay::Opacity(age);
    const double dScale = Scale(viewport, overlay);
    for (const cEoTrackPicture::Box& box : overlay.Tracks().Boxes())
    {
        if (bTrails && box.trail.size() > 1)
        {
            // One pixel wide and not smoothed: 32 trails at every frame cost little so.
            QPolygonF trail;
            trail.reserve(static_cast<qsizetype>(box.trail.size()));
            for (const cEoTrackPicture::Point& point : box.trail)
                trail << ToWidget(viewport, overlay, point.nX, point.nY);
            painter.setPen(QPen(Colour(box.colour, bStale, dOpacity, 160), 0));
            painter.drawPolyline(trail);
        }
        const QRectF outline(ToWidget(viewport, overlay, box.nLeft, box.nTop),
                             QSizeF(box.nWidth * dScale, box.nHeight * dScale));
        painter.setPen(QPen(Colour(box.colour, bStale, dOpacity), 2, bStale ? Qt::DotLine : Qt::SolidLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(outline);
        const QStaticText& label = Label(box.nId, box.sLabel);
        painter.drawStaticText(QPointF(outline.left(), outline.top() - 4 - label.size().height()), label);
    }
    if (bStale && !overlay.Tracks().Boxes().empty())
    {
        // Said in words too: the boxes are where the tracks were.
        const cVideoViewport::Rect& shown = viewport.PictureRect();
        const QString sText = QStringLiteral("TRACKS ") + AgeText(age);
        const QFontMetrics metrics(painter.font());
        const QRectF label(shown.dX + 8, shown.dY + shown.dHeight - metrics.height() - 14,
                           metrics.horizontalAdvance(sText) + 12, metrics.height() + 6);
        painter.fillRect(label, QColor(0, 0, 0, 160));
        painter.setPen(QColor(240, 160, 40));
        painter.drawText(label, Qt::AlignCenter, sText);
    }
}

const QStaticText& cVideoOverlayPainter::Label(uint32_t nId, const std::string& sText)
{
    if (m_Labels.size() >= kMostLabels)
        m_Labels.clear();
    auto [it, bNew] = m_Labels.try_emplace(nId);
    if (bNew)
    {
        it->second.setText(QString::fromStdString(sText));
        it->second.setTextFormat(Qt::PlainText);
    }
    return it->second;
}

void cVideoOverlayPainter::PaintTags(QPainter& painter, const cVideoViewport& viewport, const cVideoOverlay& overlay,
                                     cVideoOverlay::Clock::time_point now)
{
    const auto age = overlay.TagAge(now);
    if (!age)
        return;
    const bool bStale = cVideoOverlay::IsStale(age);
    const double dOpacity = cVideoOverlay::Opacity(age);
    const double dScale = Scale(viewport, overlay);
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (const cEoTrackPicture::Box& tag : overlay.Tags().Boxes())
    {
        // Corner brackets, so that a tag and a track on one object both show.
        const QRectF outline(ToWidget(viewport, overlay, tag.nLeft, tag.nTop),
                             QSizeF(tag.nWidth * dScale, tag.nHeight * dScale));
        const QRectF around = outline.adjusted(-4, -4, 4, 4);
        const double dArm = std::max(4.0, std::min(around.width(), around.height()) / 4);
        painter.setPen(
            QPen(bStale ? QColor(160, 160, 160, static_cast<int>(255 * dOpacity)) : QColor(230, 90, 230), 1.5));
        const QPointF corners[4] = {around.topLeft(), around.topRight(), around.bottomRight(), around.bottomLeft()};
        const double dx[4] = {dArm, -dArm, -dArm, dArm};
        const double dy[4] = {dArm, dArm, -dArm, -dArm};
        for (int n = 0; n < 4; ++n)
        {
            painter.drawLine(corners[n], corners[n] + QPointF(dx[n], 0));
            painter.drawLine(corners[n], corners[n] + QPointF(0, dy[n]));
        }
        // The tag's priority is the top byte of its ID.
        painter.drawText(QPointF(around.left(), around.bottom() + 12),
                         QStringLiteral("tag %1 p%2").arg(tag.nId & 0xFFFFFFu).arg(tag.nId >> 24));
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
}
