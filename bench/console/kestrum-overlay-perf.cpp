// Measures the tracks drawn over the sensor video: the real video window
// (offscreen) shows the simulator's stream with its EO reports, in
// alternating stretches without the overlay (no reports taken, no layer
// drawn: the bare video window) and with every layer on. It prints the UI
// thread's CPU in each, how old the report behind the boxes was at each
// painted frame, and how far each box lies from its object in the picture:
// the object is found in the frame's own pixels (the simulator paints its
// vehicles red), and the offset is set beside what the latencies predict
// (the object's speed times the video's latency less the report's age).
#include "PerfSupport.h"
#include "ProcessFigures.h"
#include "cAppIdentity.h"
#include "cMessageBox.h"
#include "cRC_IO_EoData.h"
#include "cVideoSettings.h"
#include "cVideoView.h"
#include "cVideoWindow.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

using PerfSupport::Spin;

using PerfSupport::Percentile;
using PerfSupport::Worst;

long long UiThreadTicks()
{
    return ProcessFigures::CpuTicks("/proc/self/task/" + std::to_string(getpid()) + "/stat");
}

// The centre of the red vehicle around a box, in EO picture pixels: the
// middle of the red pixels' extent within the box and a margin about it.
std::optional<std::pair<double, double>> ObjectCentre(const cVideoFrame& frame, const cEoTrackPicture::Box& box,
                                                      double dScaleX, double dScaleY)
{
    if (!frame.pPixels)
        return std::nullopt;
    constexpr int kMargin = 14;  // video pixels around the box: more than an offset can be
    const int x0 = std::max(0, static_cast<int>((box.nLeft) * dScaleX) - kMargin);
    const int x1 = std::min(frame.nWidth, static_cast<int>((box.nLeft + box.nWidth) * dScaleX) + kMargin);
    const int y0 = std::max(0, static_cast<int>((box.nTop) * dScaleY) - kMargin);
    const int y1 = std::min(frame.nHeight, static_cast<int>((box.nTop + box.nHeight) * dScaleY) + kMargin);
    int nMinX = frame.nWidth, nMaxX = -1, nMinY = frame.nHeight, nMaxY = -1;
    for (int y = y0; y < y1; ++y)
    {
        const uint8_t* pRow = frame.pPixels.get() + static_cast<size_t>(y) * static_cast<size_t>(frame.nStride);
        for (int x = x0; x < x1; ++x)
        {
            const uint8_t* p = pRow + 4 * x;  // B, G, R, x
            if (p[2] > 60 && p[2] - std::max(p[0], p[1]) > 50)
            {
                nMinX = std::min(nMinX, x);
                nMaxX = std::max(nMaxX, x);
                nMinY = std::min(nMinY, y);
                nMaxY = std::max(nMaxY, y);
            }
        }
    }
    // Nothing red, or red at the window's edge (a neighbour, or the vehicle cut off).
    if (nMaxX < 0 || nMinX == x0 || nMaxX == x1 - 1 || nMinY == y0 || nMaxY == y1 - 1)
        return std::nullopt;
    return std::make_pair((nMinX + nMaxX + 1) / 2.0 / dScaleX, (nMinY + nMaxY + 1) / 2.0 / dScaleY);
}

// Positions are whole pixels: a speed is taken over a quarter of a second or more.
constexpr std::chrono::milliseconds kSpeedBase{250};

struct Seen
{
    double dX, dY;
    Clock::time_point at;
};
} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    cAppIdentity::SetUp(app);
    std::string sSource = "udp://127.0.0.1:5600";
    int nEoPort = 0;
    int nSeconds = 30;
    int nRounds = 2;
    for (int n = 1; n + 1 < argc; n += 2)
    {
        if (!std::strcmp(argv[n], "--source"))
            sSource = argv[n + 1];
        else if (!std::strcmp(argv[n], "--eo-listen-port"))
            nEoPort = std::atoi(argv[n + 1]);
        else if (!std::strcmp(argv[n], "--seconds"))
            nSeconds = std::max(1, std::atoi(argv[n + 1]));
        else if (!std::strcmp(argv[n], "--rounds"))
            nRounds = std::max(1, std::atoi(argv[n + 1]));
    }
    if (nEoPort <= 0 || nEoPort > 65535)
    {
        std::fprintf(stderr, "usage: kestrum-overlay-perf --eo-listen-port PORT [--source URI] [--seconds S] [--rounds N]\n");
        return 64;
    }
    cMessageBox::SetSink([](const QString& sText) { std::fprintf(stderr, "message: %s\n", qPrintable(sText)); });

    // The EO receiver as the console makes it: its first datagram tells the simulator where to send.
    CommsSettings comms;
    comms.nCommsMethod = CommsSettings::kUdp;
    comms.nEoTxPort = nEoPort;
    comms.nEoRxPort = 0;
    cRC_IO_EoData eo;
    if (!eo.initialise(comms, "EoTrackData"))
    {
        std::fprintf(stderr, "kestrum-overlay-perf: no EO receiver\n");
        return 1;
    }

    cVideoSettings settings;
    settings.sVideoSource = sSource;
    cVideoWindow window(settings, "/tmp");
    const cVideoWindow::TrackSource fnReports = [&eo](EoReport& tracks, Clock::time_point& tracksAt, EoReport& tags,
                                                      Clock::time_point& tagsAt) {
        tracks = eo.CopyTrackData(tracksAt);
        tags = eo.CopyTagData(tagsAt);
        return true;
    };
    const auto setOverlay = [&](bool bOn) {
        window.SetTrackSource(bOn ? fnReports : cVideoWindow::TrackSource{});
        for (const char* szLayer : {"Tracks", "Trails", "Tags", "Acquisition Window", "Cross-hair"})
            window.LayerAction(QString::fromLatin1(szLayer))->setChecked(bOn);
    };
    window.SetAoiSource([] { return std::make_pair(320, 240); });

    bool bMeasuring = false;
    std::vector<double> ages;       // ms, the report behind the boxes at each paint
    std::vector<double> offsets;    // pixels, box centre to object centre
    std::vector<double> predicted;  // pixels, what the latencies predict for the same box
    std::vector<double> misses;     // pixels, measured less predicted
    std::vector<double> speeds;     // pixels a second
    std::map<uint32_t, Seen> last;
    window.SetLatencyObserver([&](int64_t nLatencyUs) {
        if (!bMeasuring)
            return;
        const Clock::time_point now = Clock::now();
        const cVideoOverlay& overlay = window.Overlay();
        const auto age = overlay.TrackAge(now);
        if (!age || overlay.Tracks().Boxes().empty())
            return;
        const double dAgeMs = std::chrono::duration<double, std::milli>(*age).count();
        ages.push_back(dAgeMs);
        const Clock::time_point reportAt = now - *age;
        const cVideoFrame& frame = window.View()->Frame();
        const double dScaleX = static_cast<double>(frame.nWidth) / overlay.Width();
        const double dScaleY = static_cast<double>(frame.nHeight) / overlay.Height();
        for (const cEoTrackPicture::Box& box : overlay.Tracks().Boxes())
        {
            const auto previous = last.find(box.nId);
            std::optional<std::pair<double, double>> velocity;
            if (previous != last.end() && reportAt - previous->second.at > kSpeedBase)
            {
                const double dDt = std::chrono::duration<double>(reportAt - previous->second.at).count();
                velocity = std::make_pair((box.centre.nX - previous->second.dX) / dDt, (box.centre.nY - previous->second.dY) / dDt);
            }
            if (previous == last.end() || reportAt - previous->second.at > kSpeedBase)
                last[box.nId] = {static_cast<double>(box.centre.nX), static_cast<double>(box.centre.nY), reportAt};
            const auto object = ObjectCentre(frame, box, dScaleX, dScaleY);
            if (!object || !velocity)
                continue;
            // The video shows the object as it was a latency ago; the box, as it was the report's age ago.
            const double dLead = (static_cast<double>(nLatencyUs) / 1e6) - dAgeMs / 1000.0;
            const double dPx = velocity->first * dLead;
            const double dPy = velocity->second * dLead;
            const double dMx = box.centre.nX - object->first;
            const double dMy = box.centre.nY - object->second;
            offsets.push_back(std::hypot(dMx, dMy));
            predicted.push_back(std::hypot(dPx, dPy));
            misses.push_back(std::hypot(dMx - dPx, dMy - dPy));
            speeds.push_back(std::hypot(velocity->first, velocity->second));
        }
    });
    window.resize(800, 660);
    window.show();
    setOverlay(true);
    window.StartVideo();

    const Clock::time_point waitEnd = Clock::now() + std::chrono::seconds(15);
    while ((window.FramesPainted() == 0 || window.Overlay().Tracks().Boxes().empty()) && Clock::now() < waitEnd)
        Spin(50);
    if (window.FramesPainted() == 0 || window.Overlay().Tracks().Boxes().empty())
    {
        std::fprintf(stderr, "kestrum-overlay-perf: no frame or no tracks within 15 s (%s)\n",
                     window.Receiver().Message().c_str());
        return 1;
    }
    Spin(2000);

    const long nHz = sysconf(_SC_CLK_TCK);
    double dBare = 0.0;
    double dOverlay = 0.0;
    size_t nTracks = 0;
    for (int nRound = 1; nRound <= nRounds; ++nRound)
    {
        for (const bool bOn : {false, true})
        {
            setOverlay(bOn);
            Spin(1000);
            bMeasuring = bOn;
            const uint64_t nPainted = window.FramesPainted();
            const long long nTicks = UiThreadTicks();
            const Clock::time_point start = Clock::now();
            Spin(nSeconds * 1000);
            const double dElapsed = std::chrono::duration<double>(Clock::now() - start).count();
            const double dCpu = 100.0 * static_cast<double>(UiThreadTicks() - nTicks) / static_cast<double>(nHz) / dElapsed;
            bMeasuring = false;
            nTracks = std::max(nTracks, window.Overlay().Tracks().Boxes().size());
            std::printf("round %d, %-12s UI thread %.2f%% of a core, %.1f frames/s painted\n", nRound,
                        bOn ? "overlay:" : "bare video:", dCpu, static_cast<double>(window.FramesPainted() - nPainted) / dElapsed);
            (bOn ? dOverlay : dBare) += dCpu / nRounds;
        }
    }
    std::printf("overlay: %zu tracks; UI thread %.2f%% of a core bare, %.2f%% with the overlay: +%.2f points\n", nTracks,
                dBare, dOverlay, dOverlay - dBare);
    std::printf("overlay: report age at paint median %.1f ms, p99 %.1f ms, worst %.1f ms over %zu frames\n",
                Percentile(ages, 0.5), Percentile(ages, 0.99), Worst(ages), ages.size());
    std::printf("overlay: box to object median %.2f px, p95 %.2f px, worst %.2f px over %zu boxes; predicted median %.2f px; "
                "measured less predicted median %.2f px; object speeds median %.0f px/s, worst %.0f px/s\n",
                Percentile(offsets, 0.5), Percentile(offsets, 0.95), Worst(offsets), offsets.size(), Percentile(predicted, 0.5),
                Percentile(misses, 0.5), Percentile(speeds, 0.5), Worst(speeds));
    std::printf("result bare_cpu=%.2f overlay_cpu=%.2f age_worst_ms=%.1f offset_median_px=%.2f predicted_median_px=%.2f "
                "miss_median_px=%.2f\n",
                dBare, dOverlay, Worst(ages), Percentile(offsets, 0.5), Percentile(predicted, 0.5), Percentile(misses, 0.5));
    window.StopVideo();
    eo.close();
    return 0;
}
