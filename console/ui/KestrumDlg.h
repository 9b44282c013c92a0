#pragma once
#include "cConsoleJoystick.h"
#include "cConsoleSession.h"
#include "cDesignation.h"
#include "cRefreshTimer.h"

#include <QMainWindow>
#include <QPoint>
#include <QPointF>
#include <QPointer>
#include <optional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class cCommsSetupDlg;
class cEoTrackPictureView;
class cRC_EoDataOutputDlg;
class cJoystickMonitorDlg;
class cLandingDlg;
class cLinkStatusBar;
class cPlotManager;
class cRC_SystemDlg;
class cRC_SystemTestDlg;
class cTrafficInspectorDlg;
class cVideoWindow;

// The console's main window: runs the console session (settings, page
// definitions, protocol objects) and the joystick, owns every secondary
// dialog and routes the menu commands that open them. Shutdown closes the
// joystick and the dialogs that use the protocol objects before the session
// stops them, so the stop of the periodic requests goes out while nothing
// else sends.
class KestrumDlg : public QMainWindow
{
    Q_OBJECT

public:
    explicit KestrumDlg(const std::string& sSettingsPath, QWidget* pParent = nullptr);
    ~KestrumDlg() override;

    // Once the window exists: menus, joystick, comms.
    void OnInitDialog();
    // False when the page protocol could not be started (the comms setup is then open).
    bool StartComms();
    void Shutdown();

    void OnPageCommand(size_t nPage);
    void OnCommsSetup();
    void OnAbout();
    // "EO Target Data Output" (false) and "EO Tag Data Output" (true).
    void OnEoDataOutput(bool bTagData);
    void OnTestDataDialog();
    void OnJoystickMonitor();
    void OnTrafficInspector();
    // "Sensor Video": shows the video window, starting its receiver.
    void OnSensorVideo();
    // The status bar's word on the joystick; refreshed by a timer.
    void UpdateJoystickStatus();

    const cConsoleSession& Session() const { return m_Session; }
    const cConsoleJoystick& Joystick() const { return m_Joystick; }
    cRC_SystemDlg* PageDialog(size_t nPage) const;
    cCommsSetupDlg* CommsSetupDialog() const;
    cRC_EoDataOutputDlg* EoOutputDialog(bool bTagData) const;
    cRC_SystemTestDlg* TestDialog() const;
    cJoystickMonitorDlg* JoystickMonitorDialog() const;
    cTrafficInspectorDlg* TrafficInspector() const;
    cVideoWindow* VideoWindow() const;
    QLabel* JoystickStatusLabel() const { return m_pJoystickStatus; }
    QMenu* PagesMenu() const { return m_pPagesMenu; }
    QMenu* ViewMenu() const { return m_pViewMenu; }
    QAction* CommsSetupAction() const { return m_pCommsSetupAction; }
    cPlotManager* Plots() const { return m_pPlots; }
    bool IsShutDown() const { return m_bShutDown; }
    cLandingDlg* LandingDialog() const;
    cLinkStatusBar* LinkStatusBar() const { return m_pLinkStatusBar; }

signals:
    // Everything is closed; the application may end.
    void sigShutdownComplete();

protected:
    void closeEvent(QCloseEvent* pEvent) override;

private:
    // The page protocol, started when it is not running; false when it cannot be.
    bool InitialiseRC_IO_Pages();
    // A designation from the video or the track picture, out on the page link.
    void SendDesignation(const std::vector<cDesignation::Command>& commands);
    void OnTrackPictureClick(cEoTrackPictureView& picture, std::optional<QPointF> point, Qt::MouseButton eButton,
                             const QPoint& globalPoint);
    void BuildMenus();
    void BuildPagesMenu();
    void OnPageClosed(int nPage);
    void ShowLandingDialog();

    cConsoleSession m_Session;
    // After the session: it is stopped (and gone) before the session's page protocol.
    cConsoleJoystick m_Joystick;
    QPointer<cJoystickMonitorDlg> m_pJoystickMonitorDlg;
    QLabel* m_pJoystickStatus = nullptr;
    cRefreshTimer m_JoystickStatusTimer{[this] { UpdateJoystickStatus(); }, 200};
    // Asks for the EO stream again when its ask was lost (cConsoleSession::WatchEoStream).
    cRefreshTimer m_EoWatchTimer{[this] { m_Session.WatchEoStream(std::chrono::steady_clock::now()); }, 500};

    std::vector<QPointer<cRC_SystemDlg>> m_PageDlgs;  // one slot per page
    QPointer<cCommsSetupDlg> m_pCommsSetupDlg;
    QPointer<cRC_EoDataOutputDlg> m_pEoTargetDlg;
    QPointer<cRC_EoDataOutputDlg> m_pEoTagDlg;
    QPointer<cRC_SystemTestDlg> m_pTestDlg;
    QPointer<cTrafficInspectorDlg> m_pTrafficDlg;
    QPointer<cVideoWindow> m_pVideoWindow;
    cPlotManager* m_pPlots = nullptr;  // a child: the plot windows of the pages' items
    QFrame* m_pFrame = nullptr;  // where a landing dialog goes
    QMenu* m_pViewMenu = nullptr;
    QMenu* m_pPagesMenu = nullptr;
    QAction* m_pCommsSetupAction = nullptr;
    bool m_bShutDown = false;
    QPointer<cLandingDlg> m_pLandingDlg;  // at most one, on m_pFrame
    cLinkStatusBar* m_pLinkStatusBar = nullptr;
};
