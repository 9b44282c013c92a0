// joyvane-probe: reads a joystick through Portelle and Joyvane exactly as the
// console does, and prints every record it delivers.
#include "Portelle.h"
#include "StateText.h"
#include "cProbeOptions.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <mutex>

namespace
{
constexpr int kExitFailure = 1;
constexpr int kExitNoJoystick = 2;
constexpr int kExitUsage = 64;

// Lives on main's stack; the callback sees it through the user pointer.
struct Probe
{
    long nLimit = 0;
    bool bChangesOnly = false;
    std::atomic<unsigned long> nRecords{0};
    std::atomic<bool> bDone{false};
    ControllerState previous{};  // touched by the polling thread only
};

void NX_CALL OnState(void* pUserData, const ControllerState* pState)
{
    Probe& probe = *static_cast<Probe*>(pUserData);
    if (probe.bDone)
        return;
    const unsigned long nRecord = ++probe.nRecords;
    if (!probe.bChangesOnly || nRecord == 1 || !SameReading(*pState, probe.previous))
    {
        std::printf("%s\n", StateText(nRecord, *pState).c_str());
        std::fflush(stdout);
    }
    probe.previous = *pState;
    if (probe.nLimit > 0 && nRecord >= static_cast<unsigned long>(probe.nLimit))
        probe.bDone = true;
}

const char* Explain(NxResult nResult)
{
    switch (nResult)
    {
    case Nx_InvalidFile:
        return "the plug-in could not be loaded";
    case Nx_INVALIDSRC:
        return "that library is not a controller plug-in";
    case Nx_INVALIDPARAM:
        return "the plug-in has no free controller slot";
    case Nx_BADVERSION:
        return "the plug-in does not speak this interface version";
    case Nx_OUTOFMEMORY:
        return "out of memory";
    default:
        return "the plug-in could not start";
    }
}

// Ctrl-C and termination arrive here, not asynchronously: the polling thread
// is started with them blocked and main collects them.
int WaitUntilDone(Probe& probe, const sigset_t& stopSignals)
{
    const timespec pause = {0, 100 * 1000 * 1000};
    while (!probe.bDone)
    {
        if (sigtimedwait(&stopSignals, nullptr, &pause) > 0)
            break;
    }
    return 0;
}
} // namespace

int main(int argc, char* argv[])
{
    cProbeOptions options;
    switch (options.Parse(argc, argv))
    {
    case cProbeOptions::eParse::Help:
        std::fputs(cProbeOptions::Usage(), stdout);
        return 0;
    case cProbeOptions::eParse::Version:
        std::fputs(cProbeOptions::VersionText("joyvane-probe").c_str(), stdout);
        return 0;
    case cProbeOptions::eParse::Error:
        std::fprintf(stderr, "joyvane-probe: %s\n\n%s", options.Error().c_str(), cProbeOptions::Usage());
        return kExitUsage;
    case cProbeOptions::eParse::Run:
        break;
    }

    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    NxHandle hController = nullptr;
    const NxResult nCreate = Nx_ConCreate(&hController, options.m_sPlugin.c_str(), 0, options.m_nDevice,
                                          options.m_sSettings.c_str());
    if (nCreate == Nx_ERR)
    {
        std::fprintf(stderr, "joyvane-probe: no joystick at index %d\n", options.m_nDevice);
        return kExitNoJoystick;
    }
    if (nCreate != Nx_OK)
    {
        std::fprintf(stderr, "joyvane-probe: %s: %s (code %d)\n", options.m_sPlugin.c_str(), Explain(nCreate), nCreate);
        return kExitFailure;
    }

    Probe probe;
    probe.nLimit = options.m_nCount;
    probe.bChangesOnly = options.m_bChangesOnly;
    const NxResult nCallback = Nx_ConSetCallback(hController, OnState, &probe);
    int nExit = 0;
    if (nCallback != Nx_OK)
    {
        std::fprintf(stderr, "joyvane-probe: the plug-in did not start polling (code %d)\n", nCallback);
        nExit = kExitFailure;
    }
    else
    {
        std::fprintf(stderr, "joyvane-probe: reading joystick %d, Ctrl-C to stop\n", options.m_nDevice);
        nExit = WaitUntilDone(probe, stopSignals);
    }
    // As the console tears down: stop (where the plug-in can), then destroy.
    Nx_ConStopCallback(hController, OnState);
    Nx_ConDestroy(hController);
    std::fprintf(stderr, "joyvane-probe: %lu records\n", probe.nRecords.load());
    return nExit;
}
