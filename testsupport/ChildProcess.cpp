#include "ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{
// The test's environment with the given entries in place of its own of the same name.
std::vector<std::string> Environment(const std::vector<std::pair<std::string, std::string>>& entries)
{
    std::vector<std::string> environment;
    for (const auto& [sName, sValue] : entries)
        environment.push_back(sName + "=" + sValue);
    for (char** pEntry = environ; *pEntry; ++pEntry)
    {
        const std::string sEntry = *pEntry;
        bool bReplaced = false;
        for (const auto& entry : entries)
            bReplaced = bReplaced || sEntry.rfind(entry.first + "=", 0) == 0;
        if (!bReplaced)
            environment.push_back(sEntry);
    }
    return environment;
}

std::vector<char*> Pointers(std::vector<std::string>& texts)
{
    std::vector<char*> pointers;
    for (std::string& sText : texts)
        pointers.push_back(sText.data());
    pointers.push_back(nullptr);
    return pointers;
}
} // namespace

ChildProcess::ChildProcess(const std::string& sProgram, const std::vector<std::string>& args, const Options& options)
{
    std::vector<std::string> environment = Environment(options.environment);
    std::vector<std::string> argvText = args;
    argvText.insert(argvText.begin(), sProgram);
    std::vector<char*> envp = Pointers(environment);
    std::vector<char*> argv = Pointers(argvText);

    int out[2];
    int err[2] = {-1, -1};
    if (pipe2(out, O_CLOEXEC) != 0)
        return;
    if (options.bSeparateErrors && pipe2(err, O_CLOEXEC) != 0)
    {
        ::close(out[0]);
        ::close(out[1]);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, options.bSeparateErrors ? err[1] : out[1], 2);
    if (!options.sWorkDir.empty())
        posix_spawn_file_actions_addchdir_np(&actions, options.sWorkDir.c_str());
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    if (options.bBlockStopSignals)
    {
        sigset_t stops;
        sigemptyset(&stops);
        sigaddset(&stops, SIGINT);
        sigaddset(&stops, SIGTERM);
        posix_spawnattr_setsigmask(&attributes, &stops);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    }
    // With a folder in the name this is posix_spawn; the C library reports a program it cannot run.
    if (posix_spawnp(&m_Pid, argv[0], &actions, &attributes, argv.data(), envp.data()) != 0)
        m_Pid = -1;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    m_nOut = out[0];
    if (options.bSeparateErrors)
    {
        ::close(err[1]);
        m_nErr = err[0];
    }
}

ChildProcess::ChildProcess(const std::string& sProgram, const std::vector<std::string>& args)
    : ChildProcess(sProgram, args, Options())
{
}

ChildProcess::~ChildProcess()
{
    if (m_Pid > 0 && !m_bReaped)
    {
        kill(m_Pid, SIGKILL);
        waitpid(m_Pid, nullptr, 0);
    }
    if (m_nOut >= 0)
        ::close(m_nOut);
    if (m_nErr >= 0)
        ::close(m_nErr);
}

void ChildProcess::Signal(int nSignal) const
{
    if (m_Pid > 0 && !m_bReaped)
        kill(m_Pid, nSignal);
}

bool ChildProcess::ReadSome(int nTimeoutMs)
{
    if (m_nOut < 0 && m_nErr < 0)
        return false;
    // poll passes over a negative descriptor.
    pollfd fds[2] = {{m_nOut, POLLIN, 0}, {m_nErr, POLLIN, 0}};
    if (poll(fds, 2, nTimeoutMs) <= 0)
        return false;
    char buffer[4096];
    for (pollfd& fd : fds)
    {
        if (fd.fd < 0 || fd.revents == 0)
            continue;
        const bool bOut = fd.fd == m_nOut;
        const ssize_t nRead = ::read(fd.fd, buffer, sizeof(buffer));
        if (nRead < 0 && errno == EINTR)
            continue;
        if (nRead > 0 && bOut)
        {
            m_sPending.append(buffer, static_cast<size_t>(nRead));
            m_sAll.append(buffer, static_cast<size_t>(nRead));
        }
        else if (nRead > 0)
            m_sErrors.append(buffer, static_cast<size_t>(nRead));
        else
        {
            ::close(fd.fd);
            (bOut ? m_nOut : m_nErr) = -1;
        }
    }
    return true;
}

std::string ChildProcess::UpTo(const std::string& sFragment, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;)
    {
        const size_t nAt = m_sPending.find(sFragment);
        const size_t nEnd = nAt == std::string::npos ? nAt : m_sPending.find('\n', nAt);
        if (nEnd != std::string::npos)
        {
            const std::string sText = m_sPending.substr(0, nEnd + 1);
            m_sPending.erase(0, nEnd + 1);
            return sText;
        }
        const auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (remaining.count() <= 0 || !ReadSome(static_cast<int>(remaining.count())))
            return {};
    }
}

bool ChildProcess::HasLine(const std::string& sLine) const
{
    return m_sAll.rfind(sLine + "\n", 0) == 0 || m_sAll.find("\n" + sLine + "\n") != std::string::npos;
}

bool ChildProcess::WaitForLine(const std::string& sLine, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!HasLine(sLine))
    {
        const auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (remaining.count() <= 0 || !ReadSome(static_cast<int>(remaining.count())))
            return HasLine(sLine);
    }
    return true;
}

int ChildProcess::Wait(std::chrono::milliseconds limit)
{
    if (m_Pid <= 0 || m_bReaped)
        return -1;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;)
    {
        int nStatus = 0;
        if (waitpid(m_Pid, &nStatus, WNOHANG) == m_Pid)
        {
            m_bReaped = true;
            while (ReadSome(0))
            {
            }
            return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return -1;
        // Keep the pipes drained so the program never blocks on its output;
        // once they have ended, only its exit is left to wait for.
        if (m_nOut < 0 && m_nErr < 0)
            poll(nullptr, 0, 10);
        else
            ReadSome(10);
    }
}
