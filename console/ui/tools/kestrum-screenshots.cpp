// Renders the console's windows to PNG files for the README: the main window
// with its Pages menu open, one page dialog with the values the remote system
// (normally vms-sim) sends, the comms setup dialog, the EO target and tag
// windows with the tracks the remote system streams, the test dialog running
// the first test of the sample scenario, the joystick monitor, the traffic
// inspector, the sensor video and a plot; with
// --landing FILE also the main window as the operator sees it (landing dialog
// and status bar), and with --landing-only FILE nothing else. Runs the real
// dialogs on whatever Qt platform is in use (offscreen needs no display).
#include "KestrumDlg.h"
#include "cAppIdentity.h"
#include "cCommsSetupDlg.h"
#include "cJoystickMonitorDlg.h"
#include "cMessageBox.h"
#include "cPlotManager.h"
#include "cPlotWindow.h"
#include "cRC_EoDataOutputDlg.h"
#include "cRC_SystemDlg.h"
#include "cRC_SystemTestDlg.h"
#include "cTrafficInspectorDlg.h"
#include "cTrafficModel.h"
#include "cVideoView.h"
#include "cVideoWindow.h"

#include <QApplication>
#include <QEventLoop>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QTableView>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <string>

namespace
{
void Spin(int nMs)
{
    // A real event loop that sleeps between events, as the program's own does.
    QEventLoop loop;
    QTimer::singleShot(nMs, &loop, &QEventLoop::quit);
    loop.exec();
}

// A window as a desktop would frame it: a title bar above the client area.
QPixmap Framed(QWidget* pWindow, const QPixmap& content)
{
    constexpr int kTitle = 26;
    QPixmap framed(content.width() + 2, content.height() + kTitle + 1);
    framed.fill(QColor(60, 64, 72));
    QPainter painter(&framed);
    painter.drawPixmap(1, kTitle, content);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setBold(true);
    painter.setFont(font);
    painter.drawPixmap(6, 5, pWindow->windowIcon().pixmap(16, 16));
    painter.drawText(QRect(28, 0, framed.width() - 30, kTitle), Qt::AlignVCenter | Qt::AlignLeft, pWindow->windowTitle());
    return framed;
}

bool Save(const QPixmap& pixmap, const std::string& sPath)
{
    if (!pixmap.save(QString::fromStdString(sPath), "PNG"))
    {
        std::fprintf(stderr, "cannot write %s\n", sPath.c_str());
        return false;
    }
    std::printf("wrote %s (%dx%d)\n", sPath.c_str(), pixmap.width(), pixmap.height());
    return true;
}
// The sensor video once the picture has run for a second or so, with the
// tracks drawn over it and one of them designated.
bool ShootVideo(KestrumDlg& dlg, const std::string& sFolder)
{
    bool bOk = true;
    dlg.OnSensorVideo();
    if (cVideoWindow* pVideo = dlg.VideoWindow())
    {
        pVideo->resize(680, 620);
        for (int nWait = 0; nWait < 200 && pVideo->FramesPainted() < 40; ++nWait)
            Spin(50);
        // The tracks drawn over it, and one of them designated as an operator would: a click on its box.
        for (int nWait = 0; nWait < 100 && pVideo->Overlay().Tracks().Boxes().empty(); ++nWait)
            Spin(50);
        if (!pVideo->Overlay().Tracks().Boxes().empty())
        {
            const cEoTrackPicture::Box& box = pVideo->Overlay().Tracks().Boxes().front();
            pVideo->DesignateAt(pVideo->View()->ToWidget(QPointF(box.centre.nX, box.centre.nY), pVideo->Overlay().Width(),
                                                         pVideo->Overlay().Height()));
            Spin(1500);
        }
        Spin(300);
        if (pVideo->FramesPainted() > 0)
            bOk = Save(Framed(pVideo, pVideo->grab()), sFolder + "/kestrum-video.png");
        else
        {
            std::fprintf(stderr, "no video from %s\n", pVideo->Receiver().SourceText().c_str());
            bOk = false;
        }
    }
    else
        bOk = false;

    return bOk;
}
} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    cAppIdentity::SetUp(app);

    std::string sSettings = "config/Kestrum.xml";
    std::string sPage = "Tracker";
    std::string sFolder = "docs";
    int nWaitMs = 2500;
    std::string sPlotPage = "Tracker";
    int nPlotMs = 12000;
    std::string sLanding;
    bool bLandingOnly = false;
    bool bVideoOnly = false;
    for (int n = 1; n + 1 < argc; n += 2)
    {
        if (!std::strcmp(argv[n], "--settings"))
            sSettings = argv[n + 1];
        else if (!std::strcmp(argv[n], "--page"))
            sPage = argv[n + 1];
        else if (!std::strcmp(argv[n], "--out"))
            sFolder = argv[n + 1];
        else if (!std::strcmp(argv[n], "--wait-ms"))
            nWaitMs = std::atoi(argv[n + 1]);
        else if (!std::strcmp(argv[n], "--plot-page"))
            sPlotPage = argv[n + 1];
        else if (!std::strcmp(argv[n], "--plot-ms"))
            nPlotMs = std::atoi(argv[n + 1]);
        else if (!std::strcmp(argv[n], "--video-only"))
            bVideoOnly = !std::strcmp(argv[n + 1], "yes");
        else if (!std::strcmp(argv[n], "--landing") || !std::strcmp(argv[n], "--landing-only"))
        {
            sLanding = argv[n + 1];
            bLandingOnly = !std::strcmp(argv[n], "--landing-only");
        }
    }
    cMessageBox::SetSink([](const QString& sText) { std::fprintf(stderr, "message: %s\n", qPrintable(sText)); });

    KestrumDlg dlg(sSettings);
    dlg.show();
    dlg.OnInitDialog();
    Spin(300);
    if (bVideoOnly)
    {
        const bool bSaved = ShootVideo(dlg, sFolder);
        dlg.Shutdown();
        return bSaved ? 0 : 1;
    }
    if (!sLanding.empty())
    {
        Spin(nWaitMs);
        const bool bSaved = Save(Framed(&dlg, dlg.grab()), sFolder + "/" + sLanding);
        if (bLandingOnly)
        {
            dlg.Shutdown();
            return bSaved ? 0 : 1;
        }
    }

    size_t nPage = 0;
    while (nPage < dlg.Session().Pages().PageCount() && dlg.Session().Pages().Title(nPage) != sPage)
        ++nPage;
    if (nPage == dlg.Session().Pages().PageCount())
    {
        std::fprintf(stderr, "no page titled %s\n", sPage.c_str());
        return 1;
    }
    dlg.OnPageCommand(nPage);
    Spin(nWaitMs);
    bool bOk = true;

    // Main window, with the Pages menu dropped down below its menu-bar entry.
    QMenu* pMenu = dlg.PagesMenu();
    const QRect entry = dlg.menuBar()->actionGeometry(pMenu->menuAction());
    pMenu->popup(dlg.mapToGlobal(entry.bottomLeft()));
    Spin(200);
    const QPixmap window = Framed(&dlg, dlg.grab());
    const QPixmap menu = pMenu->grab();
    pMenu->hide();
    const int nMenuTop = 26 + entry.bottom() + 1;
    QPixmap main(std::max(window.width(), entry.left() + 1 + menu.width()), std::max(window.height(), nMenuTop + menu.height()));
    main.fill(Qt::transparent);
    {
        QPainter painter(&main);
        painter.drawPixmap(0, 0, window);
        painter.drawPixmap(entry.left() + 1, nMenuTop, menu);
    }
    bOk &= Save(main, sFolder + "/kestrum-main.png");

    if (cRC_SystemDlg* pPage = dlg.PageDialog(nPage))
        bOk &= Save(Framed(pPage, pPage->grab()), sFolder + "/kestrum-page.png");
    else
        bOk = false;

    dlg.OnCommsSetup();
    Spin(400);
    if (cCommsSetupDlg* pSetup = dlg.CommsSetupDialog())
        bOk &= Save(Framed(pSetup, pSetup->grab()), sFolder + "/kestrum-comms-setup.png");
    else
        bOk = false;

    // Both EO windows, after enough reports for the trails to show where tracks went.
    if (dlg.Session().Settings().bShowEoTrackPage && dlg.Session().Settings().bShowEoTagPage)
    {
        dlg.OnEoDataOutput(false);
        dlg.OnEoDataOutput(true);
        Spin(nWaitMs);
        for (const bool bTag : {false, true})
        {
            cRC_EoDataOutputDlg* pEo = dlg.EoOutputDialog(bTag);
            const std::string sName = bTag ? "/kestrum-eo-tag.png" : "/kestrum-eo-target.png";
            if (pEo)
                bOk &= Save(Framed(pEo, pEo->grab()), sFolder + sName);
            else
                bOk = false;
        }
    }
    dlg.OnTestDataDialog();
    if (cRC_SystemTestDlg* pTest = dlg.TestDialog())
    {
        pTest->OnStartTest();
        Spin(600);
        bOk &= Save(Framed(pTest, pTest->grab()), sFolder + "/kestrum-test.png");
        pTest->OnStopTest();
    }
    else
        bOk = false;

    dlg.OnJoystickMonitor();
    Spin(400);
    if (cJoystickMonitorDlg* pMonitor = dlg.JoystickMonitorDialog())
        bOk &= Save(Framed(pMonitor, pMonitor->grab()), sFolder + "/kestrum-joystick.png");
    else
        bOk = false;

    // The traffic inspector after a second and a half of the simulator's
    // frames, a received status frame picked out in the details.
    dlg.OnTrafficInspector();
    Spin(1500);
    if (cTrafficInspectorDlg* pTraffic = dlg.TrafficInspector())
    {
        pTraffic->SetPaused(true);
        cTrafficModel* pModel = pTraffic->Model();
        for (int nRow = pModel->rowCount() - 1; nRow >= 0; --nRow)
        {
            if (pModel->index(nRow, cTrafficModel::kDirection).data().toString() == QLatin1String("Rx") &&
                pModel->index(nRow, cTrafficModel::kKind).data().toString() == QLatin1String("long"))
            {
                pTraffic->Table()->selectRow(nRow);
                break;
            }
        }
        Spin(200);
        bOk &= Save(Framed(pTraffic, pTraffic->grab()), sFolder + "/kestrum-traffic.png");
        pTraffic->SetPaused(false);
    }
    else
        bOk = false;

    // A plot of the moving numbers of one page, over the last 30 s.
    cPlotWindow* pPlot = nullptr;
    for (size_t nPlotPage = 0; nPlotPage < dlg.Session().Pages().PageCount(); ++nPlotPage)
    {
        if (dlg.Session().Pages().Title(nPlotPage) != sPlotPage)
            continue;
        for (const PageItem& item : dlg.Session().Pages().Items(nPlotPage))
        {
            if (item.nAccess != PageItem::kReadOnly || item.eType != RC_DataType::Fixed)
                continue;
            if (!pPlot)
                pPlot = dlg.Plots()->NewPlot(item);
            else
                pPlot->AddItem(item);
        }
    }
    if (pPlot)
    {
        pPlot->SetRange(30.0);
        Spin(nPlotMs);
        bOk &= Save(Framed(pPlot, pPlot->grab()), sFolder + "/kestrum-plot.png");
    }
    else
    {
        std::fprintf(stderr, "no fixed-point items to plot on page %s\n", sPlotPage.c_str());
        bOk = false;
    }

    dlg.Shutdown();
    return bOk ? 0 : 1;
}
