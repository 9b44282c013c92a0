#pragma once
#include <chrono>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

// A program run by a test: its standard output and error on one pipe, in a
// working folder of the test's choosing, with extra environment entries. The
// stop signals can be held back until the program unblocks them itself, so
// that a signal sent at once waits for the program's handlers instead of
// ending it before they exist. Killed and reaped when the object goes.
class ChildProcess
{
public:
    struct Options
    {
        std::string sWorkDir;
        std::vector<std::pair<std::string, std::string>> environment;
        bool bBlockStopSignals = false;
    };

    ChildProcess(const std::string& sProgram, const std::vector<std::string>& args, const Options& options);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_Pid > 0; }
    pid_t Pid() const { return m_Pid; }
    void Signal(int nSignal) const;
    // Output up to the end of the first line holding the fragment, "" if none
    // comes within the limit; the output read stays available to Output().
    std::string UpTo(const std::string& sFragment, std::chrono::milliseconds limit = std::chrono::seconds(10));
    const std::string& Output() const { return m_sAll; }
    // Exit status once it has ended; -1 when still running after the limit
    // or ended by a signal.
    int Wait(std::chrono::milliseconds limit = std::chrono::seconds(10));

private:
    bool ReadSome(int nTimeoutMs);

    pid_t m_Pid = -1;
    bool m_bReaped = false;
    int m_nOut = -1;
    std::string m_sPending;  // read but not yet returned by UpTo
    std::string m_sAll;
};
