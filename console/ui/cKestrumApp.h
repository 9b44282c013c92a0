#pragma once
#include <QObject>
#include <string>

class KestrumDlg;
class QSocketNotifier;

// Starts the console: sets up the application (cAppIdentity), takes the settings
// path from the command line and runs the main window until it shuts down.
// SIGINT and SIGTERM reach the event loop through a pipe and run the same
// shutdown as File, Exit; the handler itself only writes one byte. The
// handlers are in place before anything can wait (reading the settings, a
// start-up error box), and a stop closes any box that is open, so a stop is
// orderly at every moment after the handlers are installed.
class cKestrumApp : public QObject
{
    Q_OBJECT

public:
    static constexpr const char* kDefaultSettingsPath = "config/Kestrum.xml";

    int Run(int argc, char* argv[]);

    // The first argument up to its first space; the default when there is none.
    static std::string SettingsPath(int argc, char* argv[]);
    // What --help prints.
    static const char* Usage();

private:
    // The named file, else config/Kestrum.xml here, else the user's own (see cUserSettingsFile).
    static std::string ChooseSettingsPath(int argc, char* argv[]);
    static void OnSignal(int nSignal);
    static bool InstallSignalHandlers();
    static void RestoreSignalHandlers();
    void OnStopSignal();
    // Ends every modal box (innermost first); each exec() returns once the
    // stack unwinds back to it.
    static void CloseModalBoxes();

    static int s_SignalPipe[2];
    QSocketNotifier* m_pSignalNotifier = nullptr;
    KestrumDlg* m_pDlg = nullptr;  // while the main window exists (UI thread only)
    bool m_bStopRequested = false;
};
