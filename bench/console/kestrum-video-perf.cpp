// Measures the console's sensor video: the real video window (offscreen here)
// shows a stream for a while, and the tool prints the glass-to-glass latency
// of every painted frame (paint time minus the time stamp of the frame's
// metadata: median, 99th percentile and worst over the run, and the median and
// worst of each stretch, which shows any growth), the frames painted per
// second, the process's CPU and its resident memory along the way.
// bench/video runs it against vms-sim beside a bare gst-launch-1.0 pipeline
// decoding the same stream.
#include "PerfSupport.h"
#include "ProcessFigures.h"
#include "cAppIdentity.h"
#include "cMessageBox.h"
#include "cVideoSettings.h"
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
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

using PerfSupport::Spin;

// The value below which the given share of the samples lies, in milliseconds.
double PercentileMs(const std::vector<int64_t>& samples, double dShare)
{
    return static_cast<double>(PerfSupport::Percentile(samples, dShare)) / 1000.0;
}

double WorstMs(const std::vector<int64_t>& samples)
{
    return static_cast<double>(PerfSupport::Worst(samples)) / 1000.0;
}

double Seconds(Clock::duration elapsed)
{
    return std::chrono::duration<double>(elapsed).count();
}
} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    cAppIdentity::SetUp(app);
    std::string sSource = "udp://127.0.0.1:5600";
    int nSeconds = 60;
    int nStretch = 10;
    int nWidth = 800;
    int nHeight = 660;
    for (int n = 1; n + 1 < argc; n += 2)
    {
        if (!std::strcmp(argv[n], "--source"))
            sSource = argv[n + 1];
        else if (!std::strcmp(argv[n], "--seconds"))
            nSeconds = std::max(1, std::atoi(argv[n + 1]));
        else if (!std::strcmp(argv[n], "--stretch"))
            nStretch = std::max(1, std::atoi(argv[n + 1]));
        else if (!std::strcmp(argv[n], "--window") && std::sscanf(argv[n + 1], "%dx%d", &nWidth, &nHeight) != 2)
            nWidth = 800, nHeight = 660;
    }
    cMessageBox::SetSink([](const QString& sText) { std::fprintf(stderr, "message: %s\n", qPrintable(sText)); });

    cVideoSettings settings;
    settings.sVideoSource = sSource;
    cVideoWindow window(settings, "/tmp");
    std::vector<int64_t> run;
    std::vector<int64_t> stretch;
    bool bMeasuring = false;
    window.SetLatencyObserver([&](int64_t nLatencyUs) {
        if (!bMeasuring)
            return;
        run.push_back(nLatencyUs);
        stretch.push_back(nLatencyUs);
    });
    window.resize(nWidth, nHeight);
    window.show();
    window.StartVideo();

    // The first frames, then a moment for the decoder to settle.
    const Clock::time_point waitEnd = Clock::now() + std::chrono::seconds(15);
    while (window.FramesPainted() == 0 && Clock::now() < waitEnd)
        Spin(50);
    if (window.FramesPainted() == 0)
    {
        std::fprintf(stderr, "kestrum-video-perf: no frame from %s within 15 s (%s)\n", sSource.c_str(),
                     window.Receiver().Message().c_str());
        return 1;
    }
    Spin(2000);

    const long nTicksPerSecond = sysconf(_SC_CLK_TCK);
    const long long nCpuStart = ProcessFigures::CpuTicks();
    const long nRssStart = ProcessFigures::ResidentKb();
    const uint64_t nPaintedStart = window.FramesPainted();
    const Clock::time_point start = Clock::now();
    bMeasuring = true;
    std::printf("console: %-8s %10s %10s %8s %10s\n", "seconds", "median ms", "worst ms", "frames/s", "rss kB");
    uint64_t nPaintedBefore = nPaintedStart;
    Clock::time_point stretchStart = start;
    for (int nDone = 0; nDone < nSeconds;)
    {
        const int nStep = std::min(nStretch, nSeconds - nDone);
        Spin(nStep * 1000);
        nDone += nStep;
        const Clock::time_point now = Clock::now();
        std::printf("console: %8d %10.1f %10.1f %8.1f %10ld\n", nDone, PercentileMs(stretch, 0.5), WorstMs(stretch),
                    static_cast<double>(window.FramesPainted() - nPaintedBefore) / Seconds(now - stretchStart),
                    ProcessFigures::ResidentKb());
        std::fflush(stdout);
        stretch.clear();
        nPaintedBefore = window.FramesPainted();
        stretchStart = now;
    }
    bMeasuring = false;
    const double dElapsed = Seconds(Clock::now() - start);
    const double dCpu = static_cast<double>(ProcessFigures::CpuTicks() - nCpuStart) / static_cast<double>(nTicksPerSecond);
    std::printf("console: latency median %.1f ms, p99 %.1f ms, worst %.1f ms over %zu frames\n", PercentileMs(run, 0.5),
                PercentileMs(run, 0.99), WorstMs(run), run.size());
    std::printf("console: %.1f frames/s painted, cpu %.1f%% of a core, rss %ld -> %ld kB\n",
                static_cast<double>(window.FramesPainted() - nPaintedStart) / dElapsed, 100.0 * dCpu / dElapsed, nRssStart,
                ProcessFigures::ResidentKb());
    // Machine-readable, for bench/video.
    std::printf("result cpu_percent=%.2f median_ms=%.2f p99_ms=%.2f worst_ms=%.2f frames=%zu\n", 100.0 * dCpu / dElapsed,
                PercentileMs(run, 0.5), PercentileMs(run, 0.99), WorstMs(run), run.size());
    window.StopVideo();
    return 0;
}
