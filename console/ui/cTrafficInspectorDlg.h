#pragma once
#include "cRefreshTimer.h"
#include "cTrafficDecoder.h"
#include "cTrafficHistory.h"

#include <QDialog>
#include <QString>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTableView;
class QTableWidget;
class cConsoleSession;
class cTrafficModel;
class cTrafficTap;

// "View, Traffic Inspector": the frames on the page and EO links, both ways,
// decoded with the items' labels, above them the frames and bytes per second
// of each link, direction and subsystem. The tap is attached only while the
// window is shown; a refresh a few times a second on the user-interface
// thread drains it into the history and moves the table once. Frames the tap
// could not hold (the view did not keep up) and those that passed while the
// table was paused are counted and said to be so.
class cTrafficInspectorDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kRefreshMs = 200;

    // The session must outlive the window.
    explicit cTrafficInspectorDlg(cConsoleSession& session, QWidget* pParent = nullptr);
    ~cTrafficInspectorDlg() override;

    // One refresh, as the timer runs it.
    void Refresh();
    void SetPaused(bool bPaused);
    bool IsPaused() const { return m_bPaused; }
    void Clear();
    // Writes the frames kept as a traffic log; false (and a message) when it cannot.
    bool SaveTo(const QString& sPath);
    void ApplyFilter();

    cTrafficModel* Model() const { return m_pModel; }
    const cTrafficHistory& History() const { return m_History; }
    QTableView* Table() const { return m_pTable; }
    QTableWidget* FiguresTable() const { return m_pFigures; }
    QLabel* CountsReadout() const { return m_pCounts; }
    QComboBox* DirectionFilter() const { return m_pDirection; }
    QComboBox* KindFilter() const { return m_pKind; }
    QLineEdit* SubsystemFilter() const { return m_pSubSystem; }
    QLineEdit* TextFilter() const { return m_pText; }
    QAction* PauseAction() const { return m_pPauseAction; }
    // Frames the tap dropped for want of room.
    uint64_t NotShown() const;

protected:
    void showEvent(QShowEvent* pEvent) override;
    void hideEvent(QHideEvent* pEvent) override;

private:
    void Attach();
    void Detach();
    void OnSave();
    void ShowFigures();
    void ShowCounts();
    void ShowDetails();

    cConsoleSession& m_Session;
    cTrafficTap* m_pTap = nullptr;  // the session's, once this window has been shown
    bool m_bAttached = false;
    cTrafficHistory m_History;
    cTrafficDecoder m_Decoder;
    size_t m_nPagesSeen = 0;  // page count the decoder's labels were taken from
    size_t m_nItemsSeen = 0;
    bool m_bPaused = false;

    cTrafficModel* m_pModel = nullptr;
    QTableView* m_pTable = nullptr;
    QTableWidget* m_pFigures = nullptr;
    QLabel* m_pCounts = nullptr;
    QComboBox* m_pDirection = nullptr;
    QComboBox* m_pKind = nullptr;
    QLineEdit* m_pSubSystem = nullptr;
    QLineEdit* m_pText = nullptr;
    QPlainTextEdit* m_pDetails = nullptr;
    QAction* m_pPauseAction = nullptr;
    QString m_sCountsShown;
    cRefreshTimer m_Timer;
};
