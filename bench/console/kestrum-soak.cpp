// A long run of the console as an operator leaves it open: every page of the
// settings' page definitions, the landing, the EO target and tag windows, the
// sensor video, the traffic inspector and a few plots, against a remote system (bench/soak --windows runs vms-sim on a
// spoilt link). Every --report seconds it prints the resident memory, open
// descriptors, CPU and what the link did; at the end, the start and end
// figures, so that growth shows. It exits 0 after --seconds and 1 when a
// window could not be opened.
#include "KestrumDlg.h"
#include "PerfSupport.h"
#include "ProcessFigures.h"
#include "cAppIdentity.h"
#include "cLandingDlg.h"
#include "cMessageBox.h"
#include "cPlotManager.h"
#include "cPlotWindow.h"
#include "cRC_EoDataOutputDlg.h"
#include "cRC_IO_EoData.h"
#include "cRC_IO_Pages.h"
#include "cRC_SystemDlg.h"
#include "cTrafficInspectorDlg.h"
#include "cVideoWindow.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace
{
using ProcessFigures::CpuTicks;
using ProcessFigures::OpenDescriptors;
using ProcessFigures::ResidentKb;
using Clock = std::chrono::steady_clock;

using PerfSupport::Spin;

const char* Arg(int argc, char* argv[], const char* szName, const char* szDefault)
{
    for (int n = 1; n + 1 < argc; n += 2)
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
    int nBoxes = 0;
    cMessageBox::SetSink([&nBoxes](const QString& sText) {
        ++nBoxes;
        std::fprintf(stderr, "message: %s\n", qPrintable(sText));
    });

    const std::string sSettings = Arg(argc, argv, "--settings", "config/Kestrum.xml");
    const int nSeconds = std::atoi(Arg(argc, argv, "--seconds", "3600"));
    const int nReport = std::max(1, std::atoi(Arg(argc, argv, "--report", "60")));
    const int nPlots = std::atoi(Arg(argc, argv, "--plots", "3"));

    KestrumDlg dlg(sSettings);
    dlg.show();
    dlg.OnInitDialog();
    const size_t nPages = dlg.Session().Pages().PageCount();
    for (size_t nPage = 0; nPage < nPages; ++nPage)
        dlg.OnPageCommand(nPage);
    dlg.OnEoDataOutput(false);
    dlg.OnEoDataOutput(true);
    dlg.OnSensorVideo();
    dlg.OnTrafficInspector();
    int nPlotsOpen = 0;
    for (size_t nPage = 0; nPage < nPages && nPlotsOpen < nPlots; ++nPage)
    {
        const std::vector<PageItem>& items = dlg.Session().Pages().Items(nPage);
        if (items.empty())
            continue;
        cPlotWindow* pPlot = dlg.Plots()->NewPlot(items.front());
        for (size_t n = 1; n < std::min<size_t>(items.size(), 4); ++n)
            pPlot->AddItem(items[n]);
        ++nPlotsOpen;
    }
    if (!dlg.Session().RC_IO_Pages() || !dlg.EoOutputDialog(false) || !dlg.EoOutputDialog(true) ||
        !dlg.LandingDialog() || !dlg.VideoWindow() || !dlg.TrafficInspector())
    {
        std::fprintf(stderr, "kestrum-soak: not every window opened (settings %s)\n", sSettings.c_str());
        dlg.Shutdown();
        return 1;
    }
    std::printf("open: %zu pages, the landing, the EO target and tag windows, the video (%s), the traffic "
                "inspector, %d plots\n",
                nPages, dlg.VideoWindow()->Receiver().SourceText().c_str(), nPlotsOpen);

    // The link's verdicts, sampled as often as the status bar repaints.
    const cRC_IO_Pages& pages = *dlg.Session().RC_IO_Pages();
    bool bWasActive = false;
    int nLost = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const bool bActive = pages.GetLinkStatusText().rfind("Active", 0) == 0;
        if (bWasActive && !bActive)
            ++nLost;
        bWasActive = bActive;
    });
    watch.start(200);
    Spin(10000);  // past start-up: the figures to compare against

    const double dTick = static_cast<double>(sysconf(_SC_CLK_TCK));
    const long nResidentStart = ResidentKb();
    const int nDescriptorsStart = OpenDescriptors();
    const long long nCpuStart = CpuTicks();
    const auto start = Clock::now();
    std::printf("%8s %12s %6s %8s %10s %10s %10s %6s %10s\n", "seconds", "resident MB", "fds", "CPU %", "rx frames",
                "EO age s", "checksum", "lost", "video fr");
    long long nCpuLast = nCpuStart;
    auto last = start;
    for (int nElapsed = 0; nElapsed < nSeconds;)
    {
        const int nStep = std::min(nReport, nSeconds - nElapsed);
        Spin(nStep * 1000);
        nElapsed += nStep;
        const auto now = Clock::now();
        const long long nCpu = CpuTicks();
        const cRC_IO_EoData* pEo = dlg.Session().RC_IO_EoData();
        Clock::time_point eoLast;
        const double dEoAge = pEo && pEo->LastFrameTime(eoLast) ? std::chrono::duration<double>(now - eoLast).count() : -1.0;
        std::printf("%8d %12.1f %6d %8.1f %10d %10.1f %10u %6d %10llu\n", nElapsed, ResidentKb() / 1024.0,
                    OpenDescriptors(), (nCpu - nCpuLast) / dTick / std::chrono::duration<double>(now - last).count() * 100.0,
                    pages.m_nRxCount.load(), dEoAge, pages.ChecksumFailures(), nLost,
                    static_cast<unsigned long long>(dlg.VideoWindow() ? dlg.VideoWindow()->FramesPainted() : 0));
        std::fflush(stdout);
        nCpuLast = nCpu;
        last = now;
    }
    const double dRun = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("end: %.0f s, resident %.1f -> %.1f MB, descriptors %d -> %d, CPU %.1f %% of a core, link lost %d "
                "times, %d message boxes\n",
                dRun, nResidentStart / 1024.0, ResidentKb() / 1024.0, nDescriptorsStart, OpenDescriptors(),
                (CpuTicks() - nCpuStart) / dTick / dRun * 100.0, nLost, nBoxes);
    std::fflush(stdout);
    dlg.Shutdown();
    return 0;
}
