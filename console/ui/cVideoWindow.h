#pragma once
#include "cNewestFrame.h"
#include "cRefreshTimer.h"
#include "cVideoFrame.h"
#include "cVideoMonitor.h"
#include "cVideoReceiver.h"
#include "cVideoRecorder.h"
#include "cVideoSettings.h"

#include <QDialog>
#include <chrono>
#include <functional>
#include <optional>
#include <string>

class QLabel;
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
class cVideoWindow : public QDialog
{
    Q_OBJECT

public:
    static constexpr const char* kTitle = "Sensor Video";
    // A stream that does not come back by itself after this long without a
    // frame, while bytes still arrive, gets a new pipeline.
    static constexpr std::chrono::milliseconds kRebuildAfter{2500};

    cVideoWindow(const cVideoSettings& settings, const std::string& sLoggingDirectory, QWidget* pParent = nullptr);
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

protected:
    void closeEvent(QCloseEvent* pEvent) override;

private:
    void OnFrameReady();
    void OnPainted(const cVideoFrame& frame, cVideoFrame::WallClock::time_point paintedAt);
    void RebuildIfStuck(std::chrono::steady_clock::time_point now);

    const cVideoSettings m_Settings;
    const std::string m_sRecordFolder;
    cVideoMonitor m_Monitor;           // UI thread only
    cNewestFrame<cVideoFrame> m_Newest;
    cVideoRecorder m_Recorder;
    // Last: it is stopped first, so no sink runs into the members above while they go.
    cVideoReceiver m_Receiver;

    cVideoView* m_pView = nullptr;
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
