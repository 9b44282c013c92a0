#pragma once
#include <QObject>
#include <memory>
#include <string>

class KestrumDlg;
class QSocketNotifier;

// Starts the console: sets up the application (cAppIdentity), takes the settings
// path from the command line and runs the main window until it shuts down.
// SIGINT and SIGTERM reach the event loop through a pipe and run the same
// shutdown as File, Exit; the handler itself only writes one byte. The
// handlers are in place before anything can wait (reading the settings, a
// start-up error box).
//
// A stop may come while a box or modal dialog runs its own event loop, with
// the window that opened it (and the box) still on the stack: destroying that
// window there would free what the stack still uses. So a stop first ends
// every open box (and no new box is shown after it), then the shutdown runs
// from the main loop once those loops have unwound; before the main loop
// runs, the start-up code shuts down itself as soon as it returns.
class cKestrumApp : public QObject
{
    Q_OBJECT

public:
    static constexpr const char* kDefaultSettingsPath = "config/Kestrum.xml";

    cKestrumApp();
    ~cKestrumApp() override;

    int Run(int argc, char* argv[]);

    // The parts of Run after the application object exists, for a test that
    // runs the console inside its own application.
    bool InstallStopHandlers();
    // The main window, shown and initialised unless a stop came first.
    void Open(const std::string& sSettingsPath);
    // The main loop, until the main window has shut down.
    void Exec();
    // Shuts down if that has not happened, and gives the stop signals back.
    void Close();
    KestrumDlg* MainWindow() const { return m_pDlg.get(); }

    // What a stop signal does, from the event loop.
    void RequestStop();

    // The first argument up to its first space; the default when there is none.
    static std::string SettingsPath(int argc, char* argv[]);
    // What --help prints.
    static const char* Usage();

private:
    // The named file, else config/Kestrum.xml here, else the user's own (see cUserSettingsFile).
    static std::string ChooseSettingsPath(int argc, char* argv[]);
    static void OnSignal(int nSignal);
    static void RestoreSignalHandlers();
    void OnStopSignal();
    // Shuts the window down now if the main loop is the innermost one; else
    // ends the boxes again and tries once their loops have returned.
    void ShutdownWhenUnwound();
    // Ends every modal box (innermost first); each exec() returns once the
    // stack unwinds back to it.
    static void CloseModalBoxes();

    static int s_SignalPipe[2];
    QSocketNotifier* m_pSignalNotifier = nullptr;
    std::unique_ptr<KestrumDlg> m_pDlg;  // UI thread only
    int m_nMainLoopLevel = 0;  // the event loop depth of the main loop while it runs; 0 before
    bool m_bStopRequested = false;
};
