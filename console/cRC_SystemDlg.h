#pragma once
#include "PageItem.h"
#include "cMM_TimerSignal.h"

#include <QDialog>
#include <array>
#include <atomic>
#include <boost/signals2/connection.hpp>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QLineEdit;
class cRC_IO_Pages;

// One page of items: a labelled field per item (the first 24), refreshed from
// the items' holders every 100 ms, sending a value when the operator leaves a
// field, and logging the page to CSV on each update of its logging subsystem.
// The timer and the receive thread never touch a widget: the refresh is
// posted to this dialog's thread, and the CSV rows are written under a lock
// by a state object that outlives the dialog if a row is being written as it
// closes.
class cRC_SystemDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kRows = 24;

    // pItems belong to the page list, which outlives every page dialog.
    cRC_SystemDlg(cRC_IO_Pages* pRC_IO_Pages, const std::vector<PageItem>& items, bool bLogging,
                  int32_t nLoggingSubsystem, int32_t nPageIndex, const std::string& sLoggingDirectory,
                  QWidget* pParent = nullptr);
    ~cRC_SystemDlg() override;

    // Runs on this dialog's thread; the timer posts it.
    void Refresh();
    void OnStartStopLogging();
    // Escape closes the page like the close box.
    void reject() override;

    int32_t PageIndex() const { return m_nPageIndex; }
    QLineEdit* Field(int nRow) const { return m_Edits.at(static_cast<size_t>(nRow)); }
    QLabel* Label(int nRow) const { return m_Labels.at(static_cast<size_t>(nRow)); }
    QAction* LoggingAction() const { return m_pLoggingAction; }
    bool IsLogging() const;
    std::string LogPath() const;
    bool IsLaidOut() const { return !m_bLayoutPending; }

signals:
    void sigClosed(int nPageIndex);

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;

private:
    struct LogState;

    void Layout();
    bool AnyNewValue() const;  // any timer thread may ask
    void CommitRow(size_t nRow);
    void StopUpdates();

    cRC_IO_Pages* m_pRC_IO_Pages;
    std::vector<const PageItem*> m_Rows;  // the first kRows items
    const bool m_bLogging;
    const int32_t m_nPageIndex;
    const std::string m_sLoggingDirectory;
    bool m_bLayoutPending = true;
    bool m_bClosed = false;
    bool m_bCommitting = false;

    std::array<QLabel*, kRows> m_Labels{};
    std::array<QLineEdit*, kRows> m_Edits{};
    std::array<bool, kRows> m_Editing{};
    QAction* m_pLoggingAction = nullptr;

    std::shared_ptr<LogState> m_pLog;
    boost::signals2::connection m_SubsystemConnection;
    std::atomic<bool> m_bRefreshPosted{false};
    std::atomic<bool> m_bLayoutPendingShared{true};  // m_bLayoutPending as the timer thread sees it
    cMM_TimerSignal m_Timer;
};
