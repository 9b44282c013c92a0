#include "cVideoView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

cVideoView::cVideoView(QWidget* pParent) : QWidget(pParent)
{
    setMinimumSize(320, 240);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    // Every pixel is painted each time: nothing behind needs drawing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    // A click gives it the focus, so that the keys reach the acquisition window.
    setFocusPolicy(Qt::StrongFocus);
}

void cVideoView::mousePressEvent(QMouseEvent* pEvent)
{
    setFocus(Qt::MouseFocusReason);
    if (m_fnClick)
        m_fnClick(pEvent->position(), pEvent->button(), pEvent->globalPosition().toPoint());
    pEvent->accept();
}

void cVideoView::keyPressEvent(QKeyEvent* pEvent)
{
    if (m_fnKey && m_fnKey(pEvent->key(), pEvent->modifiers()))
    {
        pEvent->accept();
        return;
    }
    QWidget::keyPressEvent(pEvent);
}

void cVideoView::SetFrame(cVideoFrame frame)
{
    m_Frame = std::move(frame);
    // Over the decoder's bytes, read-only: no copy. BGRx in memory is Qt's 0xffRRGGBB.
    m_Image = m_Frame.pPixels ? QImage(m_Frame.pPixels.get(), m_Frame.nWidth, m_Frame.nHeight, m_Frame.nStride,
                                       QImage::Format_RGB32)
                              : QImage();
    m_bFramePainted = false;
    update();
}

void cVideoView::SetNoVideo(bool bNoVideo, const QString& sSource, const QString& sReason)
{
    if (bNoVideo == m_bNoVideo && sSource == m_sSource && sReason == m_sReason)
        return;
    m_bNoVideo = bNoVideo;
    m_sSource = sSource;
    m_sReason = sReason;
    update();
}

void cVideoView::SetBadge(const QString& sText)
{
    if (sText == m_sBadge)
        return;
    m_sBadge = sText;
    update();
}

void cVideoView::AddLayer(Layer fnLayer)
{
    m_Layers.push_back(std::move(fnLayer));
    update();
}

cVideoViewport cVideoView::Viewport() const
{
    return cVideoViewport(width(), height(), m_Image.width(), m_Image.height());
}

std::optional<QPointF> cVideoView::ToPicture(const QPointF& widgetPoint, double dPictureWidth, double dPictureHeight) const
{
    const auto point = Viewport().ToPicture({widgetPoint.x(), widgetPoint.y()}, dPictureWidth, dPictureHeight);
    if (!point)
        return std::nullopt;
    return QPointF(point->dX, point->dY);
}

QPointF cVideoView::ToWidget(const QPointF& picturePoint, double dPictureWidth, double dPictureHeight) const
{
    const cVideoViewport::Point point = Viewport().ToWidget({picturePoint.x(), picturePoint.y()}, dPictureWidth, dPictureHeight);
    return {point.dX, point.dY};
}

void cVideoView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const bool bPicture = !m_bNoVideo && !m_Image.isNull();
    if (bPicture)
    {
        const cVideoViewport viewport = Viewport();
        const cVideoViewport::Rect& shown = viewport.PictureRect();
        if (viewport.IsOneToOne())
            painter.drawImage(QPointF(shown.dX, shown.dY), m_Image);
        else
            painter.drawImage(QRectF(shown.dX, shown.dY, shown.dWidth, shown.dHeight), m_Image);
        if (!m_bFramePainted)
        {
            m_bFramePainted = true;
            if (m_fnPainted)
                m_fnPainted(m_Frame, cVideoFrame::WallClock::now());
        }
        for (const Layer& fnLayer : m_Layers)
        {
            painter.save();
            fnLayer(painter, viewport);
            painter.restore();
        }
        if (!m_sBadge.isEmpty())
        {
            const QFontMetrics metrics(font());
            const QRect text = metrics.boundingRect(m_sBadge).adjusted(-6, -3, 6, 3);
            const QRect badge(static_cast<int>(shown.dX) + 8, static_cast<int>(shown.dY) + 8, text.width(), text.height());
            painter.fillRect(badge, QColor(0, 0, 0, 160));
            painter.setPen(QColor(230, 235, 240));
            painter.drawText(badge, Qt::AlignCenter, m_sBadge);
        }
        return;
    }
    QFont big = font();
    big.setPointSizeF(big.pointSizeF() * 2.5);
    big.setBold(true);
    painter.setFont(big);
    painter.setPen(QColor(220, 60, 50));
    const QRect upper(0, 0, width(), height() / 2);
    painter.drawText(upper, Qt::AlignHCenter | Qt::AlignBottom, QStringLiteral("NO VIDEO"));
    painter.setFont(font());
    painter.setPen(QColor(200, 205, 212));
    QString sLines = m_sSource;
    if (!m_sReason.isEmpty())
        sLines += QLatin1Char('\n') + m_sReason;
    painter.drawText(QRect(20, height() / 2 + 8, width() - 40, height() / 2 - 16), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                     sLines);
}
