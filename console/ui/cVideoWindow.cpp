#include "cVideoWindow.h"

#include "cAccessibleNames.h"

#include "DbgLog.h"
#include "cMessageBox.h"
#include "cReadoutLabel.h"
#include "cAppIdentity.h"
#include "cDesignationMenu.h"
#include "cVideoOverlayPainter.h"
#include "cVideoView.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QToolBar>
#include <QVBoxLayout>

cVideoWindow::cVideoWindow(const cVideoSettings& settings, const std::string& sLoggingDirectory, QWidget* pParent,
                           int32_t nPictureWidth, int32_t nPictureHeight, RC_Variant eVariant)
    : QDialog(pParent), m_Settings(settings), m_sRecordFolder(settings.RecordFolder(sLoggingDirectory)),
      m_Monitor(settings.sVideoSource), m_nPictureWidth(nPictureWidth >= 1 ? nPictureWidth : cEoTrackPicture::kDefaultWidth),
      m_nPictureHeight(nPictureHeight >= 1 ? nPictureHeight : cEoTrackPicture::kDefaultHeight),
      m_Overlay(m_nPictureWidth, m_nPictureHeight), m_Acquisition(m_nPictureWidth, m_nPictureHeight),
      m_Designation(settings, eVariant), m_Timer([this] { OnRefresh(); }, 200)
{
    setWindowTitle(QString::fromLatin1(kTitle));
    auto* pToolBar = new QToolBar(this);
    pToolBar->setAccessibleName(QStringLiteral("Overlay Layers"));
    m_pView = new cVideoView(this);
    m_pView->setAccessibleName(QStringLiteral("Video Picture"));
    m_pView->AddLayer([this](QPainter& painter, const cVideoViewport& viewport) {
        m_Painter.Paint(painter, viewport, m_Overlay, m_Acquisition, m_Layers, Clock::now());
    });
    m_pView->SetClickHook([this](const QPointF& point, Qt::MouseButton eButton, const QPoint& global) {
        OnClick(point, eButton, global);
    });
    m_pView->SetKeyHook([this](int nKey, Qt::KeyboardModifiers modifiers) { return OnKey(nKey, modifiers); });
    m_pView->SetNoVideo(true, QString::fromStdString(m_Settings.sVideoSource));
    m_pView->SetPaintedHook([this](const cVideoFrame& frame, cVideoFrame::WallClock::time_point paintedAt) {
        OnPainted(frame, paintedAt);
    });
    m_pFigures = new QLabel(this);
    m_pMetadata = new QLabel(this);
    m_pMessage = new QLabel(this);
    m_pMessage->setStyleSheet(QStringLiteral("color: #c0392b;"));
    m_pMessage->setWordWrap(true);
    m_pMessage->hide();
    m_pRecording = new QLabel(this);
    m_pDesignated = new QLabel(this);
    m_pDesignated->setAccessibleName(QStringLiteral("Designation"));
    // Read-outs without a caption: named for screen readers and UI automation.
    m_pFigures->setAccessibleName(QStringLiteral("Video Figures"));
    m_pMetadata->setAccessibleName(QStringLiteral("Video Metadata"));
    m_pMessage->setAccessibleName(QStringLiteral("Video Problem"));
    m_pRecording->setAccessibleName(QStringLiteral("Recording"));
    m_pRecordButton = new QPushButton(QStringLiteral("Start Recording"), this);
    connect(m_pRecordButton, &QPushButton::clicked, this, [this] { OnStartStopRecording(); });

    auto* pFooter = new QHBoxLayout;
    auto* pText = new QVBoxLayout;
    pText->addWidget(m_pFigures);
    pText->addWidget(m_pMetadata);
    pText->addWidget(m_pDesignated);
    pText->addWidget(m_pRecording);
    pFooter->addLayout(pText, 1);
    pFooter->addWidget(m_pRecordButton, 0, Qt::AlignBottom);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pToolBar);
    pLayout->addWidget(m_pView, 1);
    pLayout->addWidget(m_pMessage);
    pLayout->addLayout(pFooter);

    // Runs on a streaming thread: only the slot and a queued wake-up.
    m_Receiver.SetFrameSink([this](cVideoFrame&& frame) {
        if (m_Newest.Put(std::move(frame)))
            QMetaObject::invokeMethod(this, [this] { OnFrameReady(); }, Qt::QueuedConnection);
    });
    m_Receiver.SetStreamSink([this](const uint8_t* pData, size_t nSize) { m_Recorder.Write(pData, nSize); });

    // The operator's choice of layers, kept per user.
    const std::unique_ptr<QSettings> pStore = cAppIdentity::UserSettings();
    pStore->beginGroup(QLatin1String(kLayersGroup));
    const auto add = [&](const QString& sText, const char* szKey, bool cVideoOverlay::Layers::*pFlag) {
        m_Layers.*pFlag = pStore->value(QLatin1String(szKey), m_Layers.*pFlag).toBool();
        QAction* pAction = pToolBar->addAction(sText);
        pAction->setCheckable(true);
        pAction->setChecked(m_Layers.*pFlag);
        const QString sKey = QLatin1String(szKey);
        connect(pAction, &QAction::toggled, this, [this, sKey, pFlag](bool bOn) {
            m_Layers.*pFlag = bOn;
            const std::unique_ptr<QSettings> pSave = cAppIdentity::UserSettings();
            pSave->setValue(QLatin1String(kLayersGroup) + QLatin1Char('/') + sKey, bOn);
            m_pView->update();
        });
        m_LayerActions.push_back(pAction);
    };
    add(QStringLiteral("Tracks"), "bTracks", &cVideoOverlay::Layers::bTracks);
    add(QStringLiteral("Trails"), "bTrails", &cVideoOverlay::Layers::bTrails);
    add(QStringLiteral("Tags"), "bTags", &cVideoOverlay::Layers::bTags);
    add(QStringLiteral("Acquisition Window"), "bAcquisition", &cVideoOverlay::Layers::bAcquisition);
    add(QStringLiteral("Cross-hair"), "bCrossHair", &cVideoOverlay::Layers::bCrossHair);
    pStore->endGroup();
    OnRefresh();
    resize(sizeHint());
    cAccessibleNames::Apply(this);
}

cVideoWindow::~cVideoWindow()
{
    StopVideo();
}

void cVideoWindow::StartVideo()
{
    m_Receiver.Start(m_Settings.sVideoSource, m_Settings.nVideoLatencyMs);
    m_LastFrameOrRebuild = std::chrono::steady_clock::now();
    m_nBytesAtLastFrame = m_Receiver.Counts().nBytes;
    m_pRecordButton->setEnabled(m_Receiver.Source().IsTransportStream());
    m_Timer.Start();
    OnRefresh();
}

void cVideoWindow::StopVideo()
{
    if (m_pContextMenu)
        m_pContextMenu->close();
    m_Timer.Stop();
    if (m_Recorder.IsRunning())
        OnStartStopRecording();
    m_Receiver.Stop();
    m_Newest.Clear();
}

void cVideoWindow::OnFrameReady()
{
    std::optional<cVideoFrame> frame = m_Newest.Take();
    if (!frame)
        return;
    const auto now = std::chrono::steady_clock::now();
    m_Monitor.OnFrame(frame->nWidth, frame->nHeight, now);
    m_LastFrameOrRebuild = now;
    m_nBytesAtLastFrame = m_Receiver.Counts().nBytes;
    m_Klv = frame->klv;
    // The overlay painted with this frame is the newest the console has.
    TakeReports();
    m_pView->SetFrame(std::move(*frame));
    // At once rather than at the next refresh: the picture comes back with its first frame.
    m_pView->SetNoVideo(false, QString::fromStdString(m_Settings.sVideoSource));
}

void cVideoWindow::OnPainted(const cVideoFrame& frame, cVideoFrame::WallClock::time_point paintedAt)
{
    ++m_nPainted;
    m_Monitor.OnPainted(frame.nKlvTimeUs, std::chrono::steady_clock::now(), paintedAt);
    if (m_fnLatencyObserver)
    {
        if (const std::optional<int64_t> nLatencyUs = cVideoMonitor::LatencyUs(frame.nKlvTimeUs, paintedAt))
            m_fnLatencyObserver(*nLatencyUs);
    }
}

void cVideoWindow::OnRefresh()
{
    const auto now = std::chrono::steady_clock::now();
    m_Monitor.Update(now);
    const std::string sMessage = m_Receiver.Message();
    const QString sSource = QString::fromStdString(m_Settings.sVideoSource);
    m_pView->SetNoVideo(!m_Monitor.IsPresent(), sSource, QString::fromStdString(sMessage));
    if (sMessage != m_sShownMessage)
    {
        // The receiver has logged it; this shows it for as long as it holds.
        m_sShownMessage = sMessage;
        m_pMessage->setText(QString::fromStdString(sMessage));
        m_pMessage->setVisible(!sMessage.empty());
    }

    const cVideoReceiver::Figures figures = m_Receiver.Counts();
    const uint64_t nDropped = figures.nDropped + m_Newest.Replaced();
    QString sFigures = m_Monitor.Width() > 0 ? QStringLiteral("%1 x %2  %3 fps")
                                                   .arg(m_Monitor.Width())
                                                   .arg(m_Monitor.Height())
                                                   .arg(m_Monitor.FramesPerSecond(now), 0, 'f', 1)
                                             : QStringLiteral("no frame yet");
    sFigures += QStringLiteral("   decoded %1  dropped %2").arg(figures.nDecoded).arg(nDropped);
    cReadoutLabel::Show(m_pFigures, sFigures);
    cReadoutLabel::Show(m_pMetadata, MetadataText(m_Klv, figures.nKlvRejected));

    TakeReports();
    if (m_fnAoi)
    {
        const std::pair<int32_t, int32_t> aoi = m_fnAoi();
        m_Acquisition.SetSize(aoi.first, aoi.second);
    }
    // The video's latency and, beside it, how old the drawn tracks are.
    const cVideoMonitor::Latency latency = m_Monitor.LatencyOverLastSecond(now);
    QString sBadge = latency.nSamples == 0 ? QString()
                                           : QStringLiteral("latency %1 / %2 ms")
                                                 .arg(latency.median.count() / 1000.0, 0, 'f', 0)
                                                 .arg(latency.worst.count() / 1000.0, 0, 'f', 0);
    if (const auto age = m_Overlay.TrackAge(now))
        sBadge += (sBadge.isEmpty() ? QString() : QStringLiteral("   ")) +
                  QStringLiteral("EO %1 ms").arg(std::chrono::duration_cast<std::chrono::milliseconds>(*age).count());
    m_pView->SetBadge(sBadge);
    cReadoutLabel::Show(m_pRecording, m_Recorder.IsRunning()
                                          ? QStringLiteral("Recording to %1 (%2 kB)")
                                                .arg(QString::fromStdString(m_Recorder.Path()))
                                                .arg(m_Recorder.BytesWritten() / 1024)
                                          : QString());
    RebuildIfStuck(now);
}

QString cVideoWindow::MetadataText(const std::optional<KlvMetadata>& klv, uint64_t nRejected)
{
    const auto degrees = [](const std::optional<double>& dValue) {
        return dValue ? QStringLiteral("%1\u00B0").arg(*dValue, 0, 'f', 2) : QStringLiteral("----");
    };
    const std::optional<double> none;
    return QStringLiteral("Az %1  El %2  FOV %3 x %4")
               .arg(degrees(klv ? klv->dRelativeAzimuthDeg : none), degrees(klv ? klv->dRelativeElevationDeg : none),
                    degrees(klv ? klv->dHorizontalFovDeg : none), degrees(klv ? klv->dVerticalFovDeg : none)) +
           QStringLiteral("   KLV rejected %1").arg(nRejected);
}

void cVideoWindow::RebuildIfStuck(std::chrono::steady_clock::time_point now)
{
    // The demuxer and decoder find their feet again after a sender restarts;
    // should they not, bytes arrive and no frame comes: a new pipeline,
    // quietly. An error met while streaming has stopped the pipeline: a new
    // one is tried as often (the receiver says a repeated failure once). A
    // source that cannot work, or a stream of the wrong kind, has its message
    // and is left alone.
    const std::string sMessage = m_Receiver.Message();
    const bool bStreamError = m_Receiver.HasStreamError();
    if (m_Monitor.IsPresent() || now - m_LastFrameOrRebuild < kRebuildAfter || m_Receiver.MessageLasts())
        return;
    if (!bStreamError && (!m_Receiver.IsRunning() || !sMessage.empty() || m_Receiver.Counts().nBytes == m_nBytesAtLastFrame))
        return;
    ++m_nRebuilds;
    DbgLog(DBG_DBG, "cVideoWindow::RebuildIfStuck", __LINE__, bStreamError ? "Stream error: a new video pipeline" : "Bytes but no frames: a new video pipeline");
    m_Newest.Clear();
    m_Receiver.Restart();
    m_LastFrameOrRebuild = now;
    m_nBytesAtLastFrame = m_Receiver.Counts().nBytes;
}

void cVideoWindow::OnStartStopRecording()
{
    if (m_Recorder.IsRunning())
    {
        m_Recorder.Stop();
        m_pRecordButton->setText(QStringLiteral("Start Recording"));
        cReadoutLabel::Show(m_pRecording, QString());
        return;
    }
    if (!m_Recorder.Start(m_sRecordFolder))
    {
        // The button keeps saying "Start Recording": nothing is being recorded.
        DbgLog(DBG_ERR, "cVideoWindow::OnStartStopRecording", __LINE__,
               DbgLogFormat("Cannot open a video recording in %s", m_sRecordFolder.c_str()));
        cMessageBox::Show(this, QStringLiteral("Error opening video file in %1").arg(QString::fromStdString(m_sRecordFolder)));
        return;
    }
    m_pRecordButton->setText(QStringLiteral("Stop Recording"));
}

void cVideoWindow::closeEvent(QCloseEvent* pEvent)
{
    StopVideo();
    pEvent->accept();
}

void cVideoWindow::TakeReports()
{
    if (!m_fnTracks)
        return;
    EoReport tracks;
    EoReport tags;
    Clock::time_point tracksAt;
    Clock::time_point tagsAt;
    if (!m_fnTracks(tracks, tracksAt, tags, tagsAt))
        return;
    m_Overlay.UpdateTracks(tracks, tracksAt);
    m_Overlay.UpdateTags(tags, tagsAt);
}

QAction* cVideoWindow::LayerAction(const QString& sText) const
{
    for (QAction* pAction : m_LayerActions)
    {
        if (pAction->text() == sText)
            return pAction;
    }
    return nullptr;
}

void cVideoWindow::OnClick(const QPointF& widgetPoint, Qt::MouseButton eButton, const QPoint& globalPoint)
{
    if (eButton == Qt::LeftButton)
    {
        DesignateAt(widgetPoint);
        return;
    }
    if (eButton != Qt::RightButton)
        return;
    if (m_pContextMenu)
        m_pContextMenu->close();
    const bool bCanDesignate =
        !m_pView->IsShowingNoVideo() && m_pView->ToPicture(widgetPoint, m_nPictureWidth, m_nPictureHeight).has_value();
    m_pContextMenu = cDesignationMenu::Popup(
        this, globalPoint, bCanDesignate, [this, widgetPoint] { DesignateAt(widgetPoint); }, [this] { CancelTrack(); });
}

bool cVideoWindow::OnKey(int nKey, Qt::KeyboardModifiers modifiers)
{
    const bool bWindowShown = m_Layers.bAcquisition && m_Acquisition.HasSize();
    const int32_t nStep = (modifiers & Qt::ShiftModifier) ? 16 : 4;
    switch (nKey)
    {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (!bWindowShown)
            return false;
        m_Acquisition.Nudge(nKey == Qt::Key_Left ? -nStep : nKey == Qt::Key_Right ? nStep : 0,
                            nKey == Qt::Key_Up ? -nStep : nKey == Qt::Key_Down ? nStep : 0);
        m_pView->update();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!bWindowShown || m_pView->IsShowingNoVideo())
            return false;
        Designate(m_Acquisition.CentreX(), m_Acquisition.CentreY());
        return true;
    case Qt::Key_Escape:
        CancelTrack();
        m_Acquisition.Recentre();
        m_pView->update();
        return true;
    default: return false;
    }
}

void cVideoWindow::DesignateAt(const QPointF& widgetPoint)
{
    // Only on a picture the operator can see: not on "NO VIDEO", not on the bars.
    if (m_pView->IsShowingNoVideo())
        return;
    const std::optional<QPointF> point = m_pView->ToPicture(widgetPoint, m_nPictureWidth, m_nPictureHeight);
    if (!point)
        return;
    Designate(point->x(), point->y());
}

void cVideoWindow::Designate(double dX, double dY)
{
    const cEoTrackPicture::Box* pTrack = m_Overlay.TrackAt(dX, dY, Clock::now());
    const std::vector<cDesignation::Command> commands = m_Designation.At(dX, dY, m_nPictureWidth, m_nPictureHeight, pTrack);
    if (commands.empty())
        return;
    const cDesignation::Command& point = commands.front();
    const QString sTrack = pTrack ? QStringLiteral(" (track %1)").arg(pTrack->nId) : QString();
    DbgLog(DBG_INF, "cVideoWindow::Designate", __LINE__,
           DbgLogFormat("Designation at %u, %u%s", point.nX, point.nY, sTrack.toStdString().c_str()));
    cReadoutLabel::Show(m_pDesignated, QStringLiteral("Designated %1, %2%3").arg(point.nX).arg(point.nY).arg(sTrack));
    if (m_fnDesignate)
        m_fnDesignate(commands);
}

void cVideoWindow::CancelTrack()
{
    const std::vector<cDesignation::Command> commands = m_Designation.Cancel();
    if (commands.empty())
        return;
    DbgLog(DBG_INF, "cVideoWindow::CancelTrack", __LINE__, "Track cancelled");
    cReadoutLabel::Show(m_pDesignated, QStringLiteral("Track cancelled"));
    if (m_fnDesignate)
        m_fnDesignate(commands);
}
