#include "ChildProcess.h"

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

ChildProcess::ChildProcess(const std::string& sProgram, const std::vector<std::string>& args, const Options& options)
{
    std::vector<std::string> environment;
    for (char** pEntry = environ; *pEntry; ++pEntry)
        environment.emplace_back(*pEntry);
    for (const auto& [sName, sValue] : options.environment)
        environment.push_back(sName + "=" + sValue);  // later entries win for getenv
    std::vector<char*> envp;
    // Ours first: getenv takes the first match.
    for (auto it = environment.rbegin(); it != environment.rend(); ++it)
        envp.push_back(it->data());
    envp.push_back(nullptr);

    std::vector<std::string> argvText = args;
    argvText.insert(argvText.begin(), sProgram);
    std::vector<char*> argv;
    for (std::string& sArg : argvText)
        argv.push_back(sArg.data());
    argv.push_back(nullptr);

    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, out[1], 2);
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
    if (posix_spawn(&m_Pid, argv[0], &actions, &attributes, argv.data(), envp.data()) != 0)
        m_Pid = -1;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    m_nOut = out[0];
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
}

void ChildProcess::Signal(int nSignal) const
{
    if (m_Pid > 0 && !m_bReaped)
        kill(m_Pid, nSignal);
}

bool ChildProcess::ReadSome(int nTimeoutMs)
{
    pollfd fd{m_nOut, POLLIN, 0};
    if (poll(&fd, 1, nTimeoutMs) <= 0)
        return false;
    char buffer[4096];
    const ssize_t nRead = ::read(m_nOut, buffer, sizeof(buffer));
    if (nRead <= 0)
        return false;
    m_sPending.append(buffer, static_cast<size_t>(nRead));
    m_sAll.append(buffer, static_cast<size_t>(nRead));
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
        // Keep the pipe drained so the program never blocks on its output.
        ReadSome(10);
    }
}
