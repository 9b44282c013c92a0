#pragma once
#include <chrono>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

// A program run by a test: its standard output and error on one pipe, or on
// two, in a working folder of the test's choosing, with environment entries
// of its own. A program named without a folder is looked for on PATH. The
// stop signals can be held back until the program unblocks them itself, so
// that a signal sent at once waits for the program's handlers instead of
// ending it before they exist. Killed and reaped when the object goes.
class ChildProcess
{
public:
    struct Options
    {
        std::string sWorkDir;
        // Added to the test's own environment, replacing entries of the same name.
        std::vector<std::pair<std::string, std::string>> environment;
        bool bBlockStopSignals = false;
        // Standard error on a pipe of its own (Errors()) rather than in Output().
        bool bSeparateErrors = false;

        // HOME and XDG_CONFIG_HOME inside sFolder, so that the program neither
        // reads nor makes the user's own settings.
        Options& OwnHome(const std::string& sFolder)
        {
            environment.emplace_back("HOME", sFolder);
            environment.emplace_back("XDG_CONFIG_HOME", sFolder + "/config");
            return *this;
        }
    };

    ChildProcess(const std::string& sProgram, const std::vector<std::string>& args, const Options& options);
    ChildProcess(const std::string& sProgram, const std::vector<std::string>& args);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_Pid > 0; }
    pid_t Pid() const { return m_Pid; }
    void Signal(int nSignal) const;
    // Output up to the end of the first line holding the fragment, "" if none
    // comes within the limit. The next call goes on from there; the output
    // read stays available to Output().
    std::string UpTo(const std::string& sFragment, std::chrono::milliseconds limit = std::chrono::seconds(10));
    // True once a whole line of the output so far equals sLine; false if none
    // does within the limit.
    bool WaitForLine(const std::string& sLine, std::chrono::milliseconds limit = std::chrono::seconds(10));
    const std::string& Output() const { return m_sAll; }
    const std::string& Errors() const { return m_sErrors; }
    // Exit status once it has ended, with all its output read; -1 when still
    // running after the limit or ended by a signal.
    int Wait(std::chrono::milliseconds limit = std::chrono::seconds(10));

private:
    // Reads what comes within the time; false if nothing did or both pipes have ended.
    bool ReadSome(int nTimeoutMs);
    bool HasLine(const std::string& sLine) const;

    pid_t m_Pid = -1;
    bool m_bReaped = false;
    int m_nOut = -1;  // -1 once ended
    int m_nErr = -1;
    std::string m_sPending;  // read but not yet returned by UpTo
    std::string m_sAll;
    std::string m_sErrors;
};
