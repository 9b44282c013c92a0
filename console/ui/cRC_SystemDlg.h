#pragma once
#include "PageItem.h"
#include "cPageLog.h"
#include "cRefreshTimer.h"

#include <QDialog>
#include <array>
#include <functional>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class cEditCommit;
class cRC_IO_Pages;

// One page of items: a labelled field per item (the first 24), refreshed from
// the items' holders every 100 ms, sending a value the operator typed on
// Return or on leaving the field (cEditCommit), and logging the page to CSV on each update of its logging subsystem.
// The refresh runs on the dialog's own thread and writes the log's rows; the
// receive thread never touches a widget or the file, it only takes the rows
// (cPageLog).
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

    // The timer calls it when there is something to show; callable at any time.
    void Refresh();
    void OnStartStopLogging();
    // Escape closes the page like the close box.
    void reject() override;

    int32_t PageIndex() const { return m_nPageIndex; }
    QLineEdit* Field(int nRow) const { return m_Edits.at(static_cast<size_t>(nRow)); }
    QLabel* Label(int nRow) const { return m_Labels.at(static_cast<size_t>(nRow)); }
    QAction* LoggingAction() const { return m_pLoggingAction; }
    bool IsLogging() const { return m_Log.IsRunning(); }
    const std::string& LogPath() const { return m_Log.Path(); }
    bool IsLaidOut() const { return !m_bLayoutPending; }

    // Entries the owner adds to an item's context menu (the plots' "Plot").
    using ItemMenuHook = std::function<void(QMenu&, const PageItem&)>;
    void SetItemMenuHook(ItemMenuHook fnHook) { m_fnItemMenu = std::move(fnHook); }
    // The context menu of a row: the field's own entries, then the owner's.
    // The caller owns it; it is also a child of the field, so it goes with
    // the dialog if the caller has not deleted it by then.
    QMenu* ItemMenu(int nRow);

signals:
    void sigClosed(int nPageIndex);

protected:
    void closeEvent(QCloseEvent* pEvent) override;

private:
    void Layout();
    bool AnyNewValue() const;
    bool SendRow(size_t nRow, const QString& sText);
    void StopUpdates();

    cRC_IO_Pages* m_pRC_IO_Pages;
    std::vector<const PageItem*> m_Rows;  // the first kRows items
    const bool m_bLogging;
    const int32_t m_nPageIndex;
    const std::string m_sLoggingDirectory;
    bool m_bLayoutPending = true;
    bool m_bClosed = false;

    std::array<QLabel*, kRows> m_Labels{};
    std::array<QLineEdit*, kRows> m_Edits{};
    std::array<cEditCommit*, kRows> m_Commits{};  // children of their fields
    QAction* m_pLoggingAction = nullptr;

    ItemMenuHook m_fnItemMenu;
    cPageLog m_Log;
    cRefreshTimer m_Timer;
};
