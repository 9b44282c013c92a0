#pragma once
#include "cJoystickMapping.h"
#include "cKestrumSettings.h"
#include "cPageList.h"
#include "cRefreshTimer.h"
#include "cUserControls.h"

#include <QMainWindow>
#include <QPointer>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class cCommsSetupDlg;
class cRC_EoDataOutputDlg;
class cJoystickMonitorDlg;
class cLandingDlg;
class cLinkStatusBar;
class cPlotManager;
class cRC_IO_EoData;
class cRC_IO_Pages;
class cRC_SystemDlg;
class cRC_SystemTestDlg;

// The console's main window: reads the settings and the page definitions,
// owns the protocol objects and every secondary dialog, and routes the menu
// commands that open them. Shutdown tears everything down in a fixed order so
// that the stop of the periodic requests goes out before the transport closes.
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
    // The status bar's word on the joystick; refreshed by a timer.
    void UpdateJoystickStatus();

    const cKestrumSettings& Settings() const { return m_Settings; }
    const cPageList& Pages() const { return m_Pages; }
    cRC_IO_Pages* RC_IO_Pages() const { return m_pRC_IO_Pages.get(); }
    cRC_SystemDlg* PageDialog(size_t nPage) const;
    cCommsSetupDlg* CommsSetupDialog() const;
    cRC_IO_EoData* RC_IO_EoData() const { return m_pRC_IO_EoData.get(); }
    cRC_EoDataOutputDlg* EoOutputDialog(bool bTagData) const;
    cRC_SystemTestDlg* TestDialog() const;
    cJoystickMonitorDlg* JoystickMonitorDialog() const;
    const cUserControls& Controller() const { return m_Controller; }
    const cJoystickMapping& JoystickMapping() const { return m_JoystickMapping; }
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
    void ReadRegistrySettings();
    void ReadPageDefinitions();
    void ReadJoystickDefinitions();
    bool InitialiseJoystick();
    bool InitialiseRC_IO_Pages();
    bool InitialiseRC_IO_EoData();
    void BuildMenus();
    void BuildPagesMenu();
    void OnPageClosed(int nPage);
    void ShowLandingDialog();

    const std::string m_sSettingsPath;
    cKestrumSettings m_Settings;
    // Before the protocol objects: the holders must outlive their receive threads.
    cPageList m_Pages;
    std::unique_ptr<cRC_IO_Pages> m_pRC_IO_Pages;
    std::unique_ptr<cRC_IO_EoData> m_pRC_IO_EoData;
    // The mapping before the controller: the controller's polling thread calls
    // into the mapping until the controller is released.
    cJoystickMapping m_JoystickMapping;
    cUserControls m_Controller;
    QPointer<cJoystickMonitorDlg> m_pJoystickMonitorDlg;
    QLabel* m_pJoystickStatus = nullptr;
    cRefreshTimer m_JoystickStatusTimer{[this] { UpdateJoystickStatus(); }, 200};

    std::vector<QPointer<cRC_SystemDlg>> m_PageDlgs;  // one slot per page
    QPointer<cCommsSetupDlg> m_pCommsSetupDlg;
    QPointer<cRC_EoDataOutputDlg> m_pEoTargetDlg;
    QPointer<cRC_EoDataOutputDlg> m_pEoTagDlg;
    QPointer<cRC_SystemTestDlg> m_pTestDlg;
    cPlotManager* m_pPlots = nullptr;  // a child: the plot windows of the pages' items
    QFrame* m_pFrame = nullptr;  // where a landing dialog goes
    QMenu* m_pViewMenu = nullptr;
    QMenu* m_pPagesMenu = nullptr;
    QAction* m_pCommsSetupAction = nullptr;
    bool m_bShutDown = false;
    QPointer<cLandingDlg> m_pLandingDlg;  // at most one, on m_pFrame
    cLinkStatusBar* m_pLinkStatusBar = nullptr;
};
