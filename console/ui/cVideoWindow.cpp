#include "cVideoWindow.h"

#include "cAccessibleNames.h"

#include "DbgLog.h"
#include "cMessageBox.h"
#include "cReadoutLabel.h"
#include "cVideoView.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

cVideoWindow::cVideoWindow(const cVideoSettings& settings, const std::string& sLoggingDirectory, QWidget* pParent)
    : QDialog(pParent), m_Settings(settings), m_sRecordFolder(settings.RecordFolder(sLoggingDirectory)),
      m_Monitor(settings.sVideoSource), m_Timer([this] { OnRefresh(); }, 200)
{
    setWindowTitle(QString::fromLatin1(kTitle));
    m_pView = new cVideoView(this);
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
    pText->addWidget(m_pRecording);
    pFooter->addLayout(pText, 1);
    pFooter->addWidget(m_pRecordButton, 0, Qt::AlignBottom);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pView, 1);
    pLayout->addWidget(m_pMessage);
    pLayout->addLayout(pFooter);

    // Runs on a streaming thread: only the slot and a queued wake-up.
    m_Receiver.SetFrameSink([this](cVideoFrame&& frame) {
        if (m_Newest.Put(std::move(frame)))
            QMetaObject::invokeMethod(this, [this] { OnFrameReady(); }, Qt::QueuedConnection);
    });
    m_Receiver.SetStreamSink([this](const uint8_t* pData, size_t nSize) { m_Recorder.Write(pData, nSize); });
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

    const cVideoMonitor::Latency latency = m_Monitor.LatencyOverLastSecond(now);
    m_pView->SetBadge(latency.nSamples == 0 ? QString()
                                            : QStringLiteral("latency %1 / %2 ms")
                                                  .arg(latency.median.count() / 1000.0, 0, 'f', 0)
                                                  .arg(latency.worst.count() / 1000.0, 0, 'f', 0));
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
    // should they not, bytes arrive and no frame comes: a new pipeline, quietly.
    // A stream of the wrong kind has its message and is left alone.
    if (!m_Receiver.IsRunning() || m_Monitor.IsPresent() || !m_Receiver.Message().empty() ||
        now - m_LastFrameOrRebuild < kRebuildAfter || m_Receiver.Counts().nBytes == m_nBytesAtLastFrame)
        return;
    ++m_nRebuilds;
    DbgLog(DBG_DBG, "cVideoWindow::RebuildIfStuck", __LINE__, "Bytes but no frames: a new video pipeline");
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
