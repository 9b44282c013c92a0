#pragma once
#include "EoReport.h"
#include "RC_Variant.h"
#include "cAcquisitionWindow.h"
#include "cDesignation.h"
#include "cNewestFrame.h"
#include "cRefreshTimer.h"
#include "cVideoFrame.h"
#include "cVideoMonitor.h"
#include "cVideoReceiver.h"
#include "cVideoRecorder.h"
#include "cVideoOverlay.h"
#include "cVideoOverlayPainter.h"
#include "cVideoSettings.h"

#include <QDialog>
#include <QPointer>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class cVideoView;

// "Sensor Video": the sensor's live video with what an operator needs around
// it (frame size and rate, decoded and dropped frames, the metadata's
// azimuth, elevation and field of view, the glass-to-glass latency as a
// badge on the picture), "NO VIDEO" and the source while there is no
// picture, the receiver's fault in words, and recording.
//
// Frames are decoded on GStreamer's threads and wait in a newest-only slot;
// a queued call wakes this window when the slot fills, and the window takes
// the frame on the UI thread. No widget is touched on another thread. Showing
// starts the receiver, closing stops it (and a recording).
//
// Over the picture: the newest EO track and tag reports (taken with each
// frame, so a box is as new as the report the frame is painted with), the
// acquisition window and a cross-hair, each layer switched on the toolbar and
// kept per user. A click designates the point (or the track under it), the
// context menu offers "Designate here" and "Cancel track"; with the picture
// focused the arrow keys nudge the acquisition window, Return designates its
// centre and Escape cancels the track.
class cVideoWindow : public QDialog
{
    Q_OBJECT

public:
    static constexpr const char* kTitle = "Sensor Video";
    // A stream that does not come back by itself after this long without a
    // frame, while bytes still arrive, gets a new pipeline.
    static constexpr std::chrono::milliseconds kRebuildAfter{1500};

    using Clock = cVideoOverlay::Clock;
    // Copies the newest track and tag reports with when each arrived; false
    // while there is no EO receiver.
    using TrackSource = std::function<bool(EoReport& tracks, Clock::time_point& tracksAt, EoReport& tags,
                                           Clock::time_point& tagsAt)>;
    // The detection AOI size X and Y the remote system reports (0: not known).
    using AoiSource = std::function<std::pair<int32_t, int32_t>()>;
    // Sends a designation's commands to the remote system.
    using DesignationSink = std::function<void(const std::vector<cDesignation::Command>& commands)>;
    // The user settings' group of the layer choices.
    static constexpr const char* kLayersGroup = "Video Overlay";

    // nPictureWidth x nPictureHeight: the EO picture the tracks and designations refer to.
    cVideoWindow(const cVideoSettings& settings, const std::string& sLoggingDirectory, QWidget* pParent = nullptr,
                 int32_t nPictureWidth = cEoTrackPicture::kDefaultWidth,
                 int32_t nPictureHeight = cEoTrackPicture::kDefaultHeight, RC_Variant eVariant = RC_Variant::LongFrames);
    ~cVideoWindow() override;

    // Starts the receiver (again) and the refresh; called each time the window is shown.
    void StartVideo();
    // Stops the recording, the receiver and the refresh; nothing runs on its behalf afterwards.
    void StopVideo();
    void OnStartStopRecording();
    void OnRefresh();
    // "Az 12.34°  El -5.00°  FOV 20.00° x 15.00°  KLV rejected 0", each value
    // "----" while none has come.
    static QString MetadataText(const std::optional<KlvMetadata>& klv, uint64_t nRejected);

    cVideoView* View() const { return m_pView; }
    QPushButton* RecordButton() const { return m_pRecordButton; }
    QLabel* FiguresLabel() const { return m_pFigures; }
    QLabel* MetadataLabel() const { return m_pMetadata; }
    QLabel* MessageLabel() const { return m_pMessage; }
    const cVideoReceiver& Receiver() const { return m_Receiver; }
    const cVideoRecorder& Recorder() const { return m_Recorder; }
    bool IsRecording() const { return m_Recorder.IsRunning(); }
    uint64_t FramesPainted() const { return m_nPainted; }
    // Called on the UI thread with each painted frame's glass-to-glass
    // latency (frames without metadata have none): for measuring tools.
    void SetLatencyObserver(std::function<void(int64_t nLatencyUs)> fnObserver) { m_fnLatencyObserver = std::move(fnObserver); }
    uint64_t Rebuilds() const { return m_nRebuilds; }

    void SetTrackSource(TrackSource fnSource) { m_fnTracks = std::move(fnSource); }
    void SetAoiSource(AoiSource fnSource) { m_fnAoi = std::move(fnSource); }
    void SetDesignationSink(DesignationSink fnSink) { m_fnDesignate = std::move(fnSink); }
    // A widget point of the picture: designates it (nothing outside the picture).
    void DesignateAt(const QPointF& widgetPoint);
    void CancelTrack();
    const cVideoOverlay& Overlay() const { return m_Overlay; }
    const cAcquisitionWindow& Acquisition() const { return m_Acquisition; }
    const cVideoOverlay::Layers& Layers() const { return m_Layers; }
    // The toolbar's layer switches: "Tracks", "Trails", "Tags", "Acquisition Window", "Cross-hair".
    QAction* LayerAction(const QString& sText) const;
    QLabel* DesignationLabel() const { return m_pDesignated; }
    QMenu* ContextMenu() const { return m_pContextMenu.data(); }

protected:
    void closeEvent(QCloseEvent* pEvent) override;

private:
    void OnFrameReady();
    void OnPainted(const cVideoFrame& frame, cVideoFrame::WallClock::time_point paintedAt);
    void RebuildIfStuck(std::chrono::steady_clock::time_point now);
    void TakeReports();
    void OnClick(const QPointF& widgetPoint, Qt::MouseButton eButton, const QPoint& globalPoint);
    bool OnKey(int nKey, Qt::KeyboardModifiers modifiers);
    void Designate(double dX, double dY);

    const cVideoSettings m_Settings;
    const std::string m_sRecordFolder;
    cVideoMonitor m_Monitor;           // UI thread only
    cNewestFrame<cVideoFrame> m_Newest;
    cVideoRecorder m_Recorder;
    // Last: it is stopped first, so no sink runs into the members above while they go.
    cVideoReceiver m_Receiver;

    const int32_t m_nPictureWidth;
    const int32_t m_nPictureHeight;
    cVideoOverlay m_Overlay;  // UI thread only, like the three below
    cAcquisitionWindow m_Acquisition;
    cVideoOverlay::Layers m_Layers;
    cVideoOverlayPainter m_Painter;
    const cDesignation m_Designation;
    TrackSource m_fnTracks;
    AoiSource m_fnAoi;
    DesignationSink m_fnDesignate;

    cVideoView* m_pView = nullptr;
    QLabel* m_pDesignated = nullptr;
    QPointer<QMenu> m_pContextMenu;  // the open one, if any; it deletes itself when closed
    std::vector<QAction*> m_LayerActions;
    QLabel* m_pFigures = nullptr;
    QLabel* m_pMetadata = nullptr;
    QLabel* m_pMessage = nullptr;
    QLabel* m_pRecording = nullptr;
    QPushButton* m_pRecordButton = nullptr;
    cRefreshTimer m_Timer;

    std::optional<KlvMetadata> m_Klv;  // the newest frame's metadata; UI thread only
    std::function<void(int64_t)> m_fnLatencyObserver;
    uint64_t m_nPainted = 0;
    uint64_t m_nRebuilds = 0;
    uint64_t m_nBytesAtLastFrame = 0;
    std::chrono::steady_clock::time_point m_LastFrameOrRebuild;
    std::string m_sShownMessage;
};
