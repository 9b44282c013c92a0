#pragma once
#include "cVideoFrame.h"
#include "cVideoViewport.h"

#include <QImage>
#include <QPointF>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

// Paints the newest video frame, scaled into the widget with its aspect kept
// (unscaled when the sizes match), then the layers drawn over it (the track
// overlay, a cross-hair) in the order added, then the latency badge; or
// "NO VIDEO" and the source when there is no picture. It paints the frame it
// was given and only on the UI thread; the owner hands it frames there.
class cVideoView : public QWidget
{
    Q_OBJECT

public:
    // Draws over the picture; the viewport maps picture points into the widget.
    using Layer = std::function<void(QPainter& painter, const cVideoViewport& viewport)>;
    // Told once per frame, when that frame is first painted, with the time it was.
    using PaintedHook = std::function<void(const cVideoFrame& frame, cVideoFrame::WallClock::time_point paintedAt)>;
    // A mouse press at a widget point; the global point places a context menu.
    using ClickHook = std::function<void(const QPointF& widgetPoint, Qt::MouseButton eButton, const QPoint& globalPoint)>;
    // A key pressed while the view has the focus; true when it was taken.
    using KeyHook = std::function<bool(int nKey, Qt::KeyboardModifiers modifiers)>;

    explicit cVideoView(QWidget* pParent = nullptr);

    void SetFrame(cVideoFrame frame);
    // No picture: "NO VIDEO" and the source (and why, when there is a reason).
    void SetNoVideo(bool bNoVideo, const QString& sSource, const QString& sReason = {});
    void SetBadge(const QString& sText);
    void AddLayer(Layer fnLayer);
    void SetPaintedHook(PaintedHook fnHook) { m_fnPainted = std::move(fnHook); }
    void SetClickHook(ClickHook fnHook) { m_fnClick = std::move(fnHook); }
    void SetKeyHook(KeyHook fnHook) { m_fnKey = std::move(fnHook); }

    bool IsShowingNoVideo() const { return m_bNoVideo; }
    const QString& Badge() const { return m_sBadge; }
    bool HasFrame() const { return !m_Image.isNull(); }
    // The frame shown (for measuring tools that look at its pixels).
    const cVideoFrame& Frame() const { return m_Frame; }
    // The picture's place in the widget now; the video's size is that of the last frame.
    cVideoViewport Viewport() const;
    // A widget point as a point of a picture of the given size (the video's
    // own by default); nothing outside the picture or without one.
    std::optional<QPointF> ToPicture(const QPointF& widgetPoint, double dPictureWidth = 0, double dPictureHeight = 0) const;
    QPointF ToWidget(const QPointF& picturePoint, double dPictureWidth = 0, double dPictureHeight = 0) const;

    QSize sizeHint() const override { return {640, 480}; }

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    cVideoFrame m_Frame;  // holds the pixels m_Image shows
    QImage m_Image;
    bool m_bFramePainted = true;
    bool m_bNoVideo = true;
    QString m_sSource;
    QString m_sReason;
    QString m_sBadge;
    std::vector<Layer> m_Layers;
    PaintedHook m_fnPainted;
    ClickHook m_fnClick;
    KeyHook m_fnKey;
};
