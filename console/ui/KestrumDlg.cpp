#include "KestrumDlg.h"

#include "DbgLog.h"
#include "KestrumVersion.h"
#include "cAccessibleNames.h"
#include "cAppIdentity.h"
#include "cCommsSetupDlg.h"
#include "cDesignationMenu.h"
#include "cEoTrackPictureView.h"
#include "cJoystickMonitorDlg.h"
#include "cLandingItemList.h"
#include "cLinkStatusBar.h"
#include "cMessageBox.h"
#include "cPlotManager.h"
#include "cRC_EoDataOutputDlg.h"
#include "cRC_IO_EoData.h"
#include "cRC_IO_Pages.h"
#include "cRC_SystemDlg.h"
#include "cRC_SystemTestDlg.h"
#include "cReadoutLabel.h"
#include "cThimbrelLandingDlg.h"
#include "cTitleBuilder.h"
#include "cTrafficInspectorDlg.h"
#include "cVideoWindow.h"
#include "cVmsLandingDlg.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <new>

namespace
{
constexpr int kCompactHeight = 100;

// A title used as menu text: '&' would otherwise mark a shortcut letter.
QString MenuText(const std::string& sTitle, size_t nPage)
{
    if (sTitle.empty())
        return QStringLiteral("Page %1").arg(nPage + 1);
    return QString::fromStdString(sTitle).replace(QLatin1Char('&'), QLatin1String("&&"));
}

// A U16 item's latest value, from the first holder of it in the pages (0
// while none has come).
int32_t U16ItemValue(const cPageList& pages, const cLandingItemList::Address& address)
{
    const uint32_t nKey = static_cast<uint32_t>(address.nSubSystem) << 16 | static_cast<uint32_t>(address.nIndex) << 8 |
                          address.nItem;
    for (size_t nPage = 0; nPage < pages.PageCount(); ++nPage)
    {
        for (const PageItem& item : pages.Items(nPage))
        {
            if (item.Key() == nKey && item.eType == RC_DataType::U16 && item.pValue)
                return static_cast<const RC_U16Value&>(*item.pValue).Get();
        }
    }
    return 0;
}
} // namespace

KestrumDlg::KestrumDlg(const std::string& sSettingsPath, QWidget* pParent)
    : QMainWindow(pParent), m_Session(sSettingsPath)
{
    setWindowTitle(QStringLiteral("Kestrum"));
    m_pFrame = new QFrame(this);
    m_pFrame->setFrameShape(QFrame::StyledPanel);
    setCentralWidget(m_pFrame);
    m_pLinkStatusBar = new cLinkStatusBar(this);
    setStatusBar(m_pLinkStatusBar);
    resize(420, 320);

    // A settings file read in part leaves the defaults for the rest, as always.
    if (!m_Session.Load().bPagesRead)
        cMessageBox::Show(nullptr, QStringLiteral("Error opening page definition file"));
    const cKestrumSettings& settings = m_Session.Settings();
    m_Joystick.ReadDefinitions(settings.sJoystickDefinitionsFile, settings.ControllerType());
    m_PageDlgs.resize(m_Session.Pages().PageCount());
    m_pPlots = new cPlotManager(this, [this] { return m_Session.RC_IO_Pages(); }, settings.sLoggingDirectory);
}

KestrumDlg::~KestrumDlg()
{
    Shutdown();
}

void KestrumDlg::OnInitDialog()
{
    setWindowIcon(cAppIdentity::Icon());
    BuildMenus();
    const cKestrumSettings& settings = m_Session.Settings();
    if (!m_Joystick.Start(settings.sJoystickPlugin, static_cast<NxValue>(effectiveWinId()), m_Session.SettingsPath(),
                          static_cast<uint32_t>(settings.nJoystickRetryPeriodMs)))
        DbgLog(DBG_ERR, "KestrumDlg::InitialiseJoystick", 1036, "m_Controller.init failed");
    m_pJoystickStatus = m_pLinkStatusBar->AddSection(QStringLiteral("joystick"));
    UpdateJoystickStatus();
    m_JoystickStatusTimer.Start();
    m_EoWatchTimer.Start();
    StartComms();
    if (m_Session.Settings().m_VideoSettings.bShowVideo)
        OnSensorVideo();
    cAccessibleNames::Apply(this);
}

void KestrumDlg::BuildMenus()
{
    // The shortcuts show in the menus; the README lists them.
    QMenu* pFile = menuBar()->addMenu(QStringLiteral("File"));
    pFile->addAction(QStringLiteral("About"), this, [this] { OnAbout(); });
    pFile->addSeparator();
    pFile->addAction(QStringLiteral("Exit"), this, [this] { Shutdown(); })->setShortcut(QKeySequence::Quit);

    m_pViewMenu = menuBar()->addMenu(QStringLiteral("View"));
    if (m_Session.Settings().bShowEoTrackPage)
        m_pViewMenu->addAction(QStringLiteral("EO Target Data Output"), this, [this] { OnEoDataOutput(false); })
            ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    if (m_Session.Settings().bShowEoTagPage)
        m_pViewMenu->addAction(QStringLiteral("EO Tag Data Output"), this, [this] { OnEoDataOutput(true); })
            ->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
    if (m_Session.Settings().bShowTestPage)
        m_pViewMenu->addAction(QStringLiteral("Test Data Dialog"), this, [this] { OnTestDataDialog(); })
            ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    m_pViewMenu->addAction(QStringLiteral("Joystick"), this, [this] { OnJoystickMonitor(); })
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_J));
    m_pViewMenu->addAction(QStringLiteral("Traffic Inspector"), this, [this] { OnTrafficInspector(); })
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    m_pViewMenu->addAction(QStringLiteral("Sensor Video"), this, [this] { OnSensorVideo(); })
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V));

    QMenu* pComms = menuBar()->addMenu(QStringLiteral("Comms"));
    m_pCommsSetupAction = pComms->addAction(QStringLiteral("Comms Setup"), this, [this] { OnCommsSetup(); });
    m_pCommsSetupAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));

    BuildPagesMenu();
}

void KestrumDlg::BuildPagesMenu()
{
    m_pPagesMenu = menuBar()->addMenu(QStringLiteral("Pages"));
    // Every page gets a working item, however many the file defines.
    // The first nine pages open with Ctrl+1 to Ctrl+9.
    for (size_t nPage = 0; nPage < m_Session.Pages().PageCount(); ++nPage)
    {
        QAction* pAction =
            m_pPagesMenu->addAction(MenuText(m_Session.Pages().Title(nPage), nPage), this, [this, nPage] { OnPageCommand(nPage); });
        if (nPage < 9)
            pAction->setShortcut(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_1 + nPage)));
    }
}

bool KestrumDlg::InitialiseRC_IO_Pages()
{
    const bool bWasRunning = m_Session.RC_IO_Pages() != nullptr;
    if (m_Session.StartPages() != cConsoleSession::Result::kStarted)
        return false;
    if (!bWasRunning)
        m_Joystick.SetPageProtocol(m_Session.RC_IO_Pages());
    return true;
}

bool KestrumDlg::StartComms()
{
    if (m_bShutDown)
        return false;
    if (!InitialiseRC_IO_Pages())
    {
        OnCommsSetup();
        return false;
    }
    setWindowTitle(QString::fromStdString(cTitleBuilder::Title(m_Session.Settings().m_CommsSettings, windowTitle().toStdString())));
    m_pLinkStatusBar->SetQualityThresholds(m_Session.Settings().DegradedThresholds());
    m_pLinkStatusBar->SetSource(m_Session.RC_IO_Pages());

    if (m_Session.Settings().bDisplayLandingDialog)
    {
        ShowLandingDialog();
        return true;
    }
    m_pFrame->hide();
    const QRect geometry = this->geometry();
    setMinimumHeight(0);
    resize(geometry.width(), kCompactHeight);
    return true;
}

void KestrumDlg::ShowLandingDialog()
{
    if (m_pLandingDlg)
        return;
    cLandingDlg* pLanding = nullptr;
    if (m_Session.Settings().ControllerType() == RC_Variant::ShortFrames)
        pLanding = new (std::nothrow) cThimbrelLandingDlg(m_Session.RC_IO_Pages(), m_Session.SettingsPath(), m_pFrame);
    else if (m_Session.Settings().ControllerType() == RC_Variant::LongFrames)
        pLanding = new (std::nothrow) cVmsLandingDlg(m_Session.RC_IO_Pages(), m_Session.SettingsPath(), m_pFrame);
    // Other controller types have no landing dialog.
    if (!pLanding)
        return;
    m_pLandingDlg = pLanding;
    pLanding->SetLinkQuality(&m_pLinkStatusBar->Quality());
    auto* pLayout = new QVBoxLayout(m_pFrame);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->addWidget(pLanding);
    pLanding->show();
    m_pCommsSetupAction->setEnabled(false);
    // The window grows to hold the dialog, keeping its place.
    const QSize hint = sizeHint();
    resize(std::max(width(), hint.width()), std::max(height(), hint.height()));
}

cLandingDlg* KestrumDlg::LandingDialog() const
{
    return m_pLandingDlg.data();
}

cRC_SystemDlg* KestrumDlg::PageDialog(size_t nPage) const
{
    return nPage < m_PageDlgs.size() ? m_PageDlgs[nPage].data() : nullptr;
}

cCommsSetupDlg* KestrumDlg::CommsSetupDialog() const
{
    return m_pCommsSetupDlg.data();
}

cJoystickMonitorDlg* KestrumDlg::JoystickMonitorDialog() const
{
    return m_pJoystickMonitorDlg.data();
}

void KestrumDlg::OnJoystickMonitor()
{
    if (m_bShutDown)
        return;
    if (!m_pJoystickMonitorDlg)
    {
        const cKestrumSettings& settings = m_Session.Settings();
        auto* pDlg = new (std::nothrow) cJoystickMonitorDlg(m_Joystick.Controller(), m_Joystick.Mapping(),
                                                            settings.sJoystickPlugin, settings.sJoystickDefinitionsFile, this);
        if (!pDlg)
        {
            cMessageBox::Show(this, QStringLiteral("Error creating Joystick Dialog object"));
            return;
        }
        m_pJoystickMonitorDlg = pDlg;
    }
    m_pJoystickMonitorDlg->show();
    m_pJoystickMonitorDlg->raise();
}

cTrafficInspectorDlg* KestrumDlg::TrafficInspector() const
{
    return m_pTrafficDlg.data();
}

void KestrumDlg::OnTrafficInspector()
{
    if (m_bShutDown)
        return;
    if (!m_pTrafficDlg)
    {
        auto* pDlg = new (std::nothrow) cTrafficInspectorDlg(m_Session, this);
        if (!pDlg)
        {
            cMessageBox::Show(this, QStringLiteral("Error creating Traffic Inspector object"));
            return;
        }
        m_pTrafficDlg = pDlg;
    }
    m_pTrafficDlg->show();
    m_pTrafficDlg->raise();
    m_pTrafficDlg->activateWindow();
}

cVideoWindow* KestrumDlg::VideoWindow() const
{
    return m_pVideoWindow.data();
}

void KestrumDlg::OnSensorVideo()
{
    if (m_bShutDown)
        return;
    if (!m_pVideoWindow)
    {
        const cKestrumSettings& settings = m_Session.Settings();
        auto* pWindow = new (std::nothrow) cVideoWindow(settings.m_VideoSettings, settings.sLoggingDirectory, this,
                                                        settings.nPictureWidth, settings.nPictureHeight,
                                                        settings.ControllerType());
        if (!pWindow)
        {
            cMessageBox::Show(this, QStringLiteral("Error creating Sensor Video window"));
            return;
        }
        // The overlay reads the EO receiver's newest reports and the tracker's
        // AOI size; designations go out on the page link.
        pWindow->SetTrackSource([this](EoReport& tracks, cVideoWindow::Clock::time_point& tracksAt, EoReport& tags,
                                       cVideoWindow::Clock::time_point& tagsAt) {
            const cRC_IO_EoData* pEoData = m_Session.RC_IO_EoData();
            if (!pEoData)
                return false;
            tracks = pEoData->CopyTrackData(tracksAt);
            tags = pEoData->CopyTagData(tagsAt);
            return true;
        });
        pWindow->SetAoiSource([this] {
            const cLandingItemList::Common& items = cLandingItemList::For(m_Session.Settings().ControllerType());
            return std::make_pair(U16ItemValue(m_Session.Pages(), items.aoiSizeX),
                                  U16ItemValue(m_Session.Pages(), items.aoiSizeY));
        });
        pWindow->SetDesignationSink([this](const std::vector<cDesignation::Command>& commands) { SendDesignation(commands); });
        m_pVideoWindow = pWindow;
    }
    else if (m_pVideoWindow->isVisible())
    {
        m_pVideoWindow->raise();
        m_pVideoWindow->activateWindow();
        return;
    }
    m_pVideoWindow->show();
    m_pVideoWindow->StartVideo();
    // The tracks drawn over the video come on the EO link; without it the video shows alone.
    if (m_Session.StartEoData() == cConsoleSession::Result::kStarted)
        m_Session.EnableEoDataOutput(true);
}

void KestrumDlg::OnTrackPictureClick(cEoTrackPictureView& picture, std::optional<QPointF> point, Qt::MouseButton eButton,
                                     const QPoint& globalPoint)
{
    const cDesignation designation(m_Session.Settings().m_VideoSettings, m_Session.Settings().ControllerType());
    const auto designate = [this, &picture, designation, point] {
        if (!point)
            return;
        const cEoTrackPicture& model = picture.Model();
        SendDesignation(designation.At(point->x(), point->y(), model.Width(), model.Height(),
                                       model.BoxAt(point->x(), point->y(), cVideoOverlay::kHitMargin)));
    };
    if (eButton == Qt::LeftButton)
        designate();
    else if (eButton == Qt::RightButton)
        cDesignationMenu::Popup(&picture, globalPoint, point.has_value(), designate,
                                [this, designation] { SendDesignation(designation.Cancel()); });
}

void KestrumDlg::SendDesignation(const std::vector<cDesignation::Command>& commands)
{
    cRC_IO_Pages* pPages = m_Session.RC_IO_Pages();
    if (!pPages)
    {
        DbgLog(DBG_WRN, "KestrumDlg::SendDesignation", __LINE__, "No page protocol: designation not sent");
        return;
    }
    if (!cDesignation::Send(*pPages, commands))
        DbgLog(DBG_WRN, "KestrumDlg::SendDesignation", __LINE__, "Designation not sent in full");
}

void KestrumDlg::UpdateJoystickStatus()
{
    if (m_pJoystickStatus)
        cReadoutLabel::Show(m_pJoystickStatus, QLatin1String(m_Joystick.StatusText()));
}

void KestrumDlg::OnPageCommand(size_t nPage)
{
    // Pages appended after start (the landing dialog's items) have no dialog of their own.
    if (m_bShutDown || nPage >= m_PageDlgs.size())
        return;
    if (!InitialiseRC_IO_Pages())
    {
        cMessageBox::Show(this, QStringLiteral("Error connecting to comms"));
        return;
    }
    if (cRC_SystemDlg* pExisting = m_PageDlgs[nPage])
    {
        pExisting->raise();
        pExisting->activateWindow();
        return;
    }
    auto* pDlg = new (std::nothrow)
        cRC_SystemDlg(m_Session.RC_IO_Pages(), m_Session.Pages().Items(nPage), m_Session.Pages().Logging(nPage),
                      m_Session.Pages().LoggingSubsystem(nPage), static_cast<int32_t>(nPage), m_Session.Settings().sLoggingDirectory, this);
    if (!pDlg)
    {
        cMessageBox::Show(this, QStringLiteral("Error creating Page Dialog object"));
        return;
    }
    pDlg->setWindowTitle(QString::fromStdString(m_Session.Pages().Title(nPage)));
    connect(pDlg, &cRC_SystemDlg::sigClosed, this, &KestrumDlg::OnPageClosed);
    pDlg->SetItemMenuHook([this](QMenu& menu, const PageItem& item) { m_pPlots->AddMenuActions(menu, item); });
    m_PageDlgs[nPage] = pDlg;
}

void KestrumDlg::OnPageClosed(int nPage)
{
    if (nPage >= 0 && static_cast<size_t>(nPage) < m_PageDlgs.size())
        m_PageDlgs[static_cast<size_t>(nPage)] = nullptr;
}

void KestrumDlg::OnCommsSetup()
{
    if (m_bShutDown)
        return;
    if (!m_pCommsSetupDlg)
    {
        auto* pDlg = new (std::nothrow) cCommsSetupDlg(&m_Session.Comms(), this);
        if (!pDlg)
        {
            cMessageBox::Show(this, QStringLiteral("Error creating Comms Setup Dialog object"));
            return;
        }
        pDlg->setWindowFlag(Qt::WindowStaysOnTopHint);
        connect(pDlg, &cCommsSetupDlg::sigSettingsApplied, this, [this] { StartComms(); });
        m_pCommsSetupDlg = pDlg;
        pDlg->show();
        return;
    }
    if (m_pCommsSetupDlg->isHidden())
        m_pCommsSetupDlg->show();
    m_pCommsSetupDlg->raise();
}

cRC_EoDataOutputDlg* KestrumDlg::EoOutputDialog(bool bTagData) const
{
    return bTagData ? m_pEoTagDlg.data() : m_pEoTargetDlg.data();
}

void KestrumDlg::OnEoDataOutput(bool bTagData)
{
    if (m_bShutDown)
        return;
    if (m_Session.StartEoData() != cConsoleSession::Result::kStarted)
    {
        cMessageBox::Show(this, QStringLiteral("Error creating EO Data IO object"));
        return;
    }
    QPointer<cRC_EoDataOutputDlg>& pSlot = bTagData ? m_pEoTagDlg : m_pEoTargetDlg;
    if (!pSlot)
    {
        auto* pDlg = new (std::nothrow)
            cRC_EoDataOutputDlg(m_Session.RC_IO_EoData(), m_Session.Settings().bAllowLogging, m_Session.Settings().sLoggingDirectory,
                                m_Session.Settings().nMaxTracksToLog, this, m_Session.Settings().nPictureWidth, m_Session.Settings().nPictureHeight);
        if (!pDlg)
        {
            cMessageBox::Show(this, bTagData ? QStringLiteral("Error creating EO Tag Output Dialog object")
                                             : QStringLiteral("Error creating EO Data Output Dialog object"));
            return;
        }
        pDlg->SetTagData(bTagData);
        if (cEoTrackPictureView* pPicture = pDlg->Picture())
        {
            // The track picture designates as the video does.
            pPicture->SetClickHook([this, pPicture](std::optional<QPointF> point, Qt::MouseButton eButton, const QPoint& global) {
                OnTrackPictureClick(*pPicture, point, eButton, global);
            });
        }
        pSlot = pDlg;
    }
    else if (pSlot->isVisible())
    {
        // Already showing, and the stream was switched on when it was shown.
        pSlot->raise();
        pSlot->activateWindow();
        return;
    }
    pSlot->show();
    pSlot->OnInitDialog();
    m_Session.EnableEoDataOutput(true);
}

cRC_SystemTestDlg* KestrumDlg::TestDialog() const
{
    return m_pTestDlg.data();
}

void KestrumDlg::OnTestDataDialog()
{
    if (m_bShutDown)
        return;
    if (!InitialiseRC_IO_Pages())
    {
        cMessageBox::Show(this, QStringLiteral("Error creating Test Data Dialog object"));
        return;
    }
    if (m_pTestDlg)
    {
        // Restored when hidden or minimised, left alone when visible.
        if (m_pTestDlg->isHidden() || m_pTestDlg->isMinimized())
        {
            m_pTestDlg->showNormal();
            m_pTestDlg->raise();
        }
        return;
    }
    auto* pDlg = new (std::nothrow) cRC_SystemTestDlg(m_Session.RC_IO_Pages(), m_Session.Settings().sTestScenarioFile, this);
    if (!pDlg)
    {
        cMessageBox::Show(this, QStringLiteral("Error creating Page Dialog object"));
        return;
    }
    pDlg->setWindowTitle(QStringLiteral("Test Scenario Active"));
    m_pTestDlg = pDlg;
    pDlg->show();
}

void KestrumDlg::OnAbout()
{
    QMessageBox box(this);
    box.setWindowTitle(QStringLiteral("About Kestrum"));
    box.setIconPixmap(cAppIdentity::Icon().pixmap(48, 48));
    box.setText(QStringLiteral("Kestrum, Version " KESTRUM_VERSION "\nOperator console for remote video-tracking sensor systems"));
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.exec();
}

void KestrumDlg::Shutdown()
{
    if (m_bShutDown)
        return;
    m_bShutDown = true;

    // The joystick first: its polling thread sends through the page protocol.
    // Stop returns once that thread has stopped.
    m_JoystickStatusTimer.Stop();
    m_EoWatchTimer.Stop();
    delete m_pJoystickMonitorDlg.data();
    // The inspector takes its tap off the links as it goes.
    delete m_pTrafficDlg.data();
    m_Joystick.Stop();

    // The video stands alone: its pipeline stops here, with every GStreamer thread.
    delete m_pVideoWindow.data();
    delete m_pLandingDlg.data();
    for (QPointer<cRC_SystemDlg>& pDlg : m_PageDlgs)
    {
        if (pDlg)
        {
            disconnect(pDlg, &cRC_SystemDlg::sigClosed, this, nullptr);
            delete pDlg.data();
        }
        pDlg = nullptr;
    }
    // The plots listen to the page protocol: they go before it does.
    m_pPlots->CloseAll();
    m_pLinkStatusBar->Stop();
    m_pLinkStatusBar->SetSource(nullptr);
    // The EO receiver, then the page protocol, which tells the remote system
    // to stop every periodic request before its transport closes.
    m_Session.Stop();
    // Their refresh runs on this thread, so none runs between the EO data object going and here.
    delete m_pEoTargetDlg.data();
    delete m_pEoTagDlg.data();
    delete m_pTestDlg.data();
    if (m_pCommsSetupDlg)
    {
        disconnect(m_pCommsSetupDlg, &cCommsSetupDlg::sigSettingsApplied, this, nullptr);
        delete m_pCommsSetupDlg.data();
    }
    if (m_pPagesMenu)
    {
        menuBar()->removeAction(m_pPagesMenu->menuAction());
        delete m_pPagesMenu;
        m_pPagesMenu = nullptr;
    }
    hide();
    emit sigShutdownComplete();
}

void KestrumDlg::closeEvent(QCloseEvent* pEvent)
{
    Shutdown();
    pEvent->accept();
}
