#pragma once
#include "EoReport.h"
#include "cEoReportText.h"
#include "cEoTrackLog.h"
#include "cRefreshTimer.h"

#include <QDialog>
#include <array>
#include <string>

class QAction;
class QLabel;
class QLineEdit;
class cEoTrackPictureView;
class cRC_IO_EoData;

// An EO output window: the latest track report (or, in the tag window, tag
// report) as three header fields and a grid of its first five tracks, a
// picture of the tracks in the target window, and a CSV track log. Everything
// runs on the UI thread: the refresh copies the report under the receiver's
// lock every 100 ms, so log rows and starting or stopping the log never meet.
// Closing only hides the window; the main window shows it again and calls
// OnInitDialog, and a running log carries on then.
class cRC_EoDataOutputDlg : public QDialog
{
    Q_OBJECT

public:
    enum HeaderField
    {
        kFormat,
        kTime,
        kNumTargets,
        kHeaderFields
    };
    static constexpr const char* kTargetTitle = "EO Target Output";
    static constexpr const char* kTagTitle = "EO Tag Data";

    cRC_EoDataOutputDlg(cRC_IO_EoData* pRC_IO_EoData, bool bAllowLogging, const std::string& sLoggingDirectory,
                        int32_t nMaxTracksToLog, QWidget* pParent = nullptr, int32_t nPictureWidth = 640,
                        int32_t nPictureHeight = 480);
    ~cRC_EoDataOutputDlg() override;

    // The tag window shows the tag report, without a picture. Set once, before showing.
    void SetTagData(bool bTagData);
    bool IsTagData() const { return m_bTagData; }

    // Each showing: restarts the refresh and greys logging when it is not allowed.
    void OnInitDialog();
    void OnRefresh();
    void ShowReport(const EoReport& report, bool bTagData);
    void OnStartStopLogging();
    // Escape hides the window like the close box.
    void reject() override;

    QLineEdit* Header(HeaderField eField) const { return m_HeaderEdits.at(eField); }
    QLineEdit* Cell(cEoReportText::Row eRow, int nColumn) const;
    QLabel* RowLabel(cEoReportText::Row eRow) const { return m_RowLabels.at(eRow); }
    QAction* LoggingAction() const { return m_pLoggingAction; }
    cEoTrackPictureView* Picture() const { return m_pPicture; }  // null in the tag window
    bool IsLogging() const { return m_Log.IsRunning(); }
    const std::string& LogPath() const { return m_Log.Path(); }
    bool IsRefreshing() const { return m_Timer.IsRunning(); }
    int32_t MaxTracksToLog() const { return m_Log.MaxTracks(); }

protected:
    void closeEvent(QCloseEvent* pEvent) override;

private:
    static void SetText(QLineEdit* pEdit, const std::string& sText);

    cRC_IO_EoData* m_pRC_IO_EoData;
    const bool m_bAllowLogging;
    bool m_bTagData = false;
    const std::string m_sLoggingDirectory;
    cEoTrackLog m_Log;

    std::array<QLineEdit*, kHeaderFields> m_HeaderEdits{};
    std::array<QLabel*, cEoReportText::kRows> m_RowLabels{};
    std::array<std::array<QLineEdit*, cEoReportText::kColumns>, cEoReportText::kRows> m_Cells{};
    QAction* m_pLoggingAction = nullptr;
    cEoTrackPictureView* m_pPicture = nullptr;
    cRefreshTimer m_Timer;
};
