#include "cKestrumApp.h"

#include "DbgLog.h"
#include "KestrumDlg.h"
#include "cAppIdentity.h"

#include <QApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

int cKestrumApp::s_SignalPipe[2] = {-1, -1};

std::string cKestrumApp::SettingsPath(int argc, char* argv[])
{
    std::string sPath = argc > 1 && argv[1] ? argv[1] : "";
    const size_t nSpace = sPath.find(' ');
    if (nSpace != std::string::npos)
        sPath.resize(nSpace);
    return sPath.empty() ? kDefaultSettingsPath : sPath;
}

void cKestrumApp::OnSignal(int nSignal)
{
    const int nSaved = errno;
    const char cSignal = static_cast<char>(nSignal);
    [[maybe_unused]] const ssize_t nWritten = write(s_SignalPipe[1], &cSignal, 1);
    errno = nSaved;
}

bool cKestrumApp::InstallSignalHandlers()
{
    if (pipe2(s_SignalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action = {};
    action.sa_handler = &cKestrumApp::OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return sigaction(SIGINT, &action, nullptr) == 0 && sigaction(SIGTERM, &action, nullptr) == 0;
}

int cKestrumApp::Run(int argc, char* argv[])
{
    QApplication app(argc, argv);
    cAppIdentity::SetUp(app);

    KestrumDlg dlg(SettingsPath(argc, argv));
    if (InstallSignalHandlers())
    {
        m_pSignalNotifier = new QSocketNotifier(s_SignalPipe[0], QSocketNotifier::Read, this);
        connect(m_pSignalNotifier, &QSocketNotifier::activated, this, [&dlg] {
            char cSignal = 0;
            while (read(s_SignalPipe[0], &cSignal, 1) > 0)
            {
            }
            DbgLog(DBG_WRN, "cKestrumApp::Run", __LINE__, "Stop signal received, shutting down");
            dlg.Shutdown();
        });
    }
    else
    {
        DbgLog(DBG_ERR, "cKestrumApp::Run", __LINE__, "Failed to install the stop signal handlers");
    }
    connect(&dlg, &KestrumDlg::sigShutdownComplete, &app, &QCoreApplication::quit, Qt::QueuedConnection);

    dlg.show();
    dlg.OnInitDialog();
    app.exec();
    dlg.Shutdown();
    delete m_pSignalNotifier;
    m_pSignalNotifier = nullptr;
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    return 0;
}
