// Measures the console with both EO windows open (the target window with its
// picture) and both logging, while the remote system (vms-sim, started by
// measure-performance) streams track and tag reports: CPU of the
// user-interface thread and of the whole process, resident memory and the
// size of the logs, sampled through the run so that a trend shows.
#include "KestrumDlg.h"
#include "ProcessFigures.h"
#include "cAppIdentity.h"
#include "cEoTrackPictureView.h"
#include "cMessageBox.h"
#include "cRC_EoDataOutputDlg.h"
#include "cRC_IO_EoData.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace
{
using ProcessFigures::CpuTicks;
using ProcessFigures::ResidentKb;
using Clock = std::chrono::steady_clock;

long long FileBytes(const std::string& sPath)
{
    struct stat info{};
    return stat(sPath.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : 0;
}

void Spin(int nMs)
{
    QEventLoop loop;
    QTimer::singleShot(nMs, &loop, &QEventLoop::quit);
    loop.exec();
}

int IntArg(int argc, char* argv[], const char* szName, int nDefault)
{
    for (int n = 1; n + 1 < argc; ++n)
    {
        if (!std::strcmp(argv[n], szName))
            return std::atoi(argv[n + 1]);
    }
    return nDefault;
}

std::string TextArg(int argc, char* argv[], const char* szName, const char* szDefault)
{
    for (int n = 1; n + 1 < argc; ++n)
    {
        if (!std::strcmp(argv[n], szName))
            return argv[n + 1];
    }
    return szDefault;
}
} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    cAppIdentity::SetUp(app);
    cMessageBox::SetSink([](const QString& sText) { std::fprintf(stderr, "message: %s\n", qPrintable(sText)); });

    const int nSeconds = IntArg(argc, argv, "--seconds", 60);
    const int nSampleSeconds = IntArg(argc, argv, "--sample", 10);
    const std::string sFolder = TextArg(argc, argv, "--work", "/tmp");
    {
        std::ofstream settings(sFolder + "/eo-perf-settings.xml");
        settings << "<VMS_Cfg><Kestrum nControllerType=\"1\" bUseVMS_HeartBeat=\"yes\" nCommsMethod=\"2\""
                 << " sIpAddress=\"127.0.0.1\" nTxPort=\""
                 << IntArg(argc, argv, "--port", 9876) << "\" nRxPort=\"" << IntArg(argc, argv, "--reply-port", 9879)
                 << "\" bShowEoTrackPage=\"yes\" bShowEoTagPage=\"yes\" sPageDefinitionsFile=\""
                 << TextArg(argc, argv, "--pages", "config/PageDefinitions.xml") << "\" sLoggingDirectory=\"" << sFolder
                 << "/logs\"/><EoTrackData nTxPort=\"" << IntArg(argc, argv, "--eo-listen-port", 9886)
                 << "\" nRxPort=\"" << IntArg(argc, argv, "--eo-port", 9186)
                 << "\" bAllowLogging=\"yes\" nMaxTracksToLog=\"32\"/></VMS_Cfg>\n";
    }

    const pid_t nUiThread = static_cast<pid_t>(syscall(SYS_gettid));
    KestrumDlg dlg(sFolder + "/eo-perf-settings.xml");
    dlg.show();
    dlg.OnInitDialog();
    dlg.OnEoDataOutput(false);
    dlg.OnEoDataOutput(true);
    cRC_EoDataOutputDlg* pTarget = dlg.EoOutputDialog(false);
    cRC_EoDataOutputDlg* pTag = dlg.EoOutputDialog(true);
    if (!pTarget || !pTag || !dlg.Session().RC_IO_EoData())
    {
        std::fprintf(stderr, "the EO windows did not open\n");
        return 1;
    }
    Spin(2000);
    const int nTracks = dlg.Session().RC_IO_EoData()->CopyTrackData().numTracks.Get();
    pTarget->OnStartStopLogging();
    pTag->OnStartStopLogging();
    Spin(1000);

    const std::string sUiStat = "/proc/self/task/" + std::to_string(nUiThread) + "/stat";
    const double dTick = static_cast<double>(sysconf(_SC_CLK_TCK));
    const long long nUiStart = CpuTicks(sUiStat);
    const long long nAllStart = CpuTicks("/proc/self/stat");
    const auto start = Clock::now();
    long long nUiLast = nUiStart;
    long long nAllLast = nAllStart;
    auto last = start;
    const long nResidentStart = ResidentKb();
    std::printf("tracks per report: %d; logging both windows to %s/logs\n", nTracks, sFolder.c_str());
    std::printf("%8s %10s %12s %12s %14s %8s\n", "seconds", "UI CPU %", "process CPU %", "resident MB", "log bytes",
                "boxes");
    for (int nElapsed = 0; nElapsed < nSeconds;)
    {
        const int nStep = std::min(nSampleSeconds, nSeconds - nElapsed);
        Spin(nStep * 1000);
        nElapsed += nStep;
        const auto now = Clock::now();
        const double dSpan = std::chrono::duration<double>(now - last).count();
        const long long nUi = CpuTicks(sUiStat);
        const long long nAll = CpuTicks("/proc/self/stat");
        std::printf("%8d %10.2f %12.2f %12.1f %14lld %8zu\n", nElapsed, (nUi - nUiLast) / dTick / dSpan * 100.0,
                    (nAll - nAllLast) / dTick / dSpan * 100.0, ResidentKb() / 1024.0,
                    FileBytes(pTarget->LogPath()) + FileBytes(pTag->LogPath()),
                    pTarget->Picture() ? pTarget->Picture()->Model().Boxes().size() : 0);
        std::fflush(stdout);
        nUiLast = nUi;
        nAllLast = nAll;
        last = now;
    }
    const double dSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("whole run %.0f s: UI thread %.2f %% of a core, process %.2f %%, resident %.1f MB -> %.1f MB\n",
                dSeconds,
                (CpuTicks(sUiStat) - nUiStart) / dTick / dSeconds * 100.0,
                (CpuTicks("/proc/self/stat") - nAllStart) / dTick / dSeconds * 100.0, nResidentStart / 1024.0,
                ResidentKb() / 1024.0);
    pTarget->OnStartStopLogging();
    pTag->OnStartStopLogging();
    dlg.Shutdown();
    return 0;
}
