#include "cKestrumApp.h"

#include "DbgLog.h"
#include "KestrumDlg.h"
#include "KestrumVersion.h"
#include "cAppIdentity.h"
#include "cMessageBox.h"
#include "cToolOptions.h"
#include "cUserSettingsFile.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
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

const char* cKestrumApp::Usage()
{
    return "Usage: kestrum [options] [SETTINGS-FILE]\n"
           "\n"
           "Operator console for remote video-tracking sensor systems.\n"
           "\n"
           "Reads SETTINGS-FILE; without one, config/Kestrum.xml in the working folder, or\n"
           "when there is none the user's own settings file, $XDG_CONFIG_HOME/kestrum/Kestrum.xml\n"
           "(~/.config/kestrum/Kestrum.xml), made from the installed samples on first start.\n"
           "Comms settings stored with Comms, Comms Setup override the file's.\n"
           "Logs are written to the working folder.\n"
           "\n"
           "  -h, --help            show this text\n"
           "  -V, --version         show the version\n"
           "Qt's own options (-platform NAME, ...) are taken as well.\n"
           "\n"
           "Exit status: 0 when the window was closed or a stop signal (SIGINT, SIGTERM) ended\n"
           "the program.\n";
}

std::string cKestrumApp::ChooseSettingsPath(int argc, char* argv[])
{
    const bool bNamed = argc > 1 && argv[1] && argv[1][0] != '\0' && argv[1][0] != ' ';
    const cUserSettingsFile::Choice choice = cUserSettingsFile::ForCommandLine(bNamed ? SettingsPath(argc, argv) : "");
    if (!choice.sError.empty())
    {
        DbgLog(DBG_ERR, "cKestrumApp::Run", __LINE__,
               DbgLogFormat("No %s here and no user settings file: %s", cUserSettingsFile::kWorkingFolderFile,
                            choice.sError.c_str()));
        cMessageBox::Show(nullptr, QStringLiteral("No settings file: %1").arg(QString::fromStdString(choice.sError)));
    }
    else if (choice.bCreated)
    {
        DbgLog(DBG_WRN, "cKestrumApp::Run", __LINE__,
               DbgLogFormat("Made the user settings file %s from the samples", choice.sPath.c_str()));
    }
    return choice.sPath;
}

cKestrumApp::cKestrumApp() = default;

cKestrumApp::~cKestrumApp()
{
    Close();
}

void cKestrumApp::OnSignal(int nSignal)
{
    const int nSaved = errno;
    const char cSignal = static_cast<char>(nSignal);
    [[maybe_unused]] const ssize_t nWritten = write(s_SignalPipe[1], &cSignal, 1);
    errno = nSaved;
}

bool cKestrumApp::InstallStopHandlers()
{
    if (s_SignalPipe[0] < 0 && pipe2(s_SignalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action = {};
    action.sa_handler = &cKestrumApp::OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (sigaction(SIGINT, &action, nullptr) != 0 || sigaction(SIGTERM, &action, nullptr) != 0)
        return false;
    if (!m_pSignalNotifier && QCoreApplication::instance())
    {
        m_pSignalNotifier = new QSocketNotifier(s_SignalPipe[0], QSocketNotifier::Read, this);
        connect(m_pSignalNotifier, &QSocketNotifier::activated, this, [this] { OnStopSignal(); });
    }
    // A starter that blocked them (so that a stop cannot come too early) hands
    // them over now: one already pending is delivered to the handler.
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    return pthread_sigmask(SIG_UNBLOCK, &stops, nullptr) == 0;
}

void cKestrumApp::RestoreSignalHandlers()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

void cKestrumApp::CloseModalBoxes()
{
    while (QWidget* pModal = QApplication::activeModalWidget())
    {
        if (auto* pDialog = qobject_cast<QDialog*>(pModal))
            pDialog->done(QDialog::Rejected);
        else
            pModal->close();
        if (QApplication::activeModalWidget() == pModal)
            break;  // it would not close; nothing more to do here
    }
}

void cKestrumApp::OnStopSignal()
{
    char cSignal = 0;
    while (read(s_SignalPipe[0], &cSignal, 1) > 0)
    {
    }
    DbgLog(DBG_WRN, "cKestrumApp::Run", __LINE__,
           DbgLogFormat("Stop signal received (%s), shutting down", cSignal == SIGINT ? "SIGINT" : "SIGTERM"));
    RequestStop();
}

void cKestrumApp::RequestStop()
{
    m_bStopRequested = true;
    // A box opened from here on would wait for a click while the console ends.
    cMessageBox::SetStopping(true);
    CloseModalBoxes();
    ShutdownWhenUnwound();
}

void cKestrumApp::ShutdownWhenUnwound()
{
    // Before the main loop runs, Open and Run shut down once their code returns.
    if (!m_pDlg || m_nMainLoopLevel == 0 || m_pDlg->IsShutDown())
        return;
    if (QThread::currentThread()->loopLevel() > m_nMainLoopLevel)
    {
        CloseModalBoxes();
        QTimer::singleShot(10, this, [this] { ShutdownWhenUnwound(); });
        return;
    }
    m_pDlg->Shutdown();
}

void cKestrumApp::Open(const std::string& sSettingsPath)
{
    if (m_bStopRequested)
        return;
    // Built before it is known to the stop: a box shown while it is built
    // (the page definitions) is ended by a stop, and the window then goes here.
    auto pDlg = std::make_unique<KestrumDlg>(sSettingsPath);
    m_pDlg = std::move(pDlg);
    if (!m_bStopRequested)
    {
        m_pDlg->show();
        m_pDlg->OnInitDialog();
    }
    if (m_bStopRequested)
        m_pDlg->Shutdown();
}

void cKestrumApp::Exec()
{
    if (!m_pDlg || m_bStopRequested || m_pDlg->IsShutDown())
        return;
    QEventLoop loop;
    connect(m_pDlg.get(), &KestrumDlg::sigShutdownComplete, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    m_nMainLoopLevel = QThread::currentThread()->loopLevel() + 1;
    loop.exec();
    m_nMainLoopLevel = 0;
}

void cKestrumApp::Close()
{
    if (m_pDlg)
    {
        m_pDlg->Shutdown();
        m_pDlg.reset();
    }
    if (m_pSignalNotifier)
    {
        delete m_pSignalNotifier;
        m_pSignalNotifier = nullptr;
        RestoreSignalHandlers();
    }
    cMessageBox::SetStopping(false);
}

int cKestrumApp::Run(int argc, char* argv[])
{
    // Answered before Qt starts: they need no display.
    if (argc > 1 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")))
    {
        std::fputs(Usage(), stdout);
        return 0;
    }
    if (argc > 1 && (!std::strcmp(argv[1], "--version") || !std::strcmp(argv[1], "-V")))
    {
        std::fputs(cToolOptions::VersionText("kestrum").c_str(), stdout);
        return 0;
    }
    // Before anything can wait (a settings box, the window), so that no stop
    // signal finds the default action (which ends the process without a
    // shutdown and loses the debug log). The notifier comes once the
    // application exists; a signal in between waits in the pipe.
    const bool bHandlers = InstallStopHandlers();
    QApplication app(argc, argv);
    cAppIdentity::SetUp(app);
    if (!bHandlers || !InstallStopHandlers())
        DbgLog(DBG_ERR, "cKestrumApp::Run", __LINE__, "Failed to install the stop signal handlers");

    // Choosing may show a box; a stop while it is open ends here, before
    // anything was started.
    const std::string sSettingsPath = ChooseSettingsPath(argc, argv);
    Open(sSettingsPath);
    Exec();
    Close();
    return 0;
}
