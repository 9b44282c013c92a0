#include "cKestrumApp.h"

#include "DbgLog.h"
#include "KestrumDlg.h"
#include "KestrumVersion.h"
#include "cAppIdentity.h"
#include "cInstallLayout.h"
#include "cMessageBox.h"
#include "cToolOptions.h"
#include "cUserSettingsFile.h"

#include <QApplication>
#include <QSocketNotifier>
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
    return "Usage: kestrum [SETTINGS-FILE]\n"
           "\n"
           "Operator console for remote video-tracking sensor systems.\n"
           "\n"
           "Reads SETTINGS-FILE; without one, config/Kestrum.xml in the working folder, or\n"
           "when there is none the user's own settings file, $XDG_CONFIG_HOME/kestrum/Kestrum.xml\n"
           "(~/.config/kestrum/Kestrum.xml), made from the installed samples on first start.\n"
           "Comms settings stored with Comms, Comms Setup override the file's.\n"
           "Logs are written to the working folder.\n"
           "\n"
           "  -h, --help      show this text\n"
           "  -V, --version   show the version\n"
           "Qt's own options (-platform NAME, ...) are taken as well.\n";
}

std::string cKestrumApp::ChooseSettingsPath(int argc, char* argv[])
{
    const std::string sPath = SettingsPath(argc, argv);
    const bool bNamed = argc > 1 && argv[1] && argv[1][0] != '\0' && argv[1][0] != ' ';
    if (bNamed)
        return sPath;
    const cUserSettingsFile::Choice choice = cUserSettingsFile::Choose(cInstallLayout::SampleConfigFolder());
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
    QApplication app(argc, argv);
    cAppIdentity::SetUp(app);

    KestrumDlg dlg(ChooseSettingsPath(argc, argv));
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
