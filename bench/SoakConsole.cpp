// The console's side of the soak (bench/soak): the page protocol with the
// heartbeat and the EO track receiver, as the main window makes them, on the
// ports given, until SIGINT or SIGTERM. Every --report seconds, and once at
// the end, one line with what arrived and what the process costs: frames
// handled, EO reports, checksum failures, datagrams the kernel dropped,
// resident memory, open descriptors and CPU; and what the operator would see
// of the link: how often it was declared lost after it first came up, how
// long it was down, the share of the time since then that the link figures
// called it degraded (with the default thresholds), and the link figures of
// the last 10 s.
#include "DbgLog.h"
#include "ProcessFigures.h"
#include "cLinkQualityState.h"
#include "cPageDefinitionsReader.h"
#include "cPageList.h"
#include "cEoStreamWatch.h"
#include <optional>
#include "cRC_IO_EoData.h"
#include "cRC_IO_Pages.h"
#include "cRC_LinkQuality.h"
#include "cToolOptions.h"
#include "cUdpIF.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>

namespace
{
using ProcessFigures::OpenDescriptors;
using ProcessFigures::ResidentKb;
using Clock = std::chrono::steady_clock;

std::atomic<bool> s_bStop{false};

void OnSignal(int)
{
    s_bStop = true;
}

// An EO receiver that counts the reports it decodes.
class cCountingEoData : public cRC_IO_EoData
{
public:
    void handleMessage(const uint8_t* pFrame, int32_t nLength, int64_t nTime) override
    {
        m_nReports.fetch_add(1, std::memory_order_relaxed);
        cRC_IO_EoData::handleMessage(pFrame, nLength, nTime);
    }
    std::atomic<uint32_t> m_nReports{0};
};

double CpuSeconds()
{
    std::ifstream in("/proc/self/stat");
    std::string sLine;
    std::getline(in, sLine);
    std::istringstream fields(sLine.substr(sLine.rfind(')') + 2));
    std::string sField;
    long long nUser = 0;
    long long nSystem = 0;
    for (int n = 3; fields >> sField && n <= 15; ++n)
    {
        if (n == 14)
            nUser = std::stoll(sField);
        if (n == 15)
            nSystem = std::stoll(sField);
    }
    return static_cast<double>(nUser + nSystem) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

uint32_t KernelDrops(cRC_IO& protocol)
{
    const auto* pUdp = dynamic_cast<const nx::http::cUdpIF*>(protocol.getCommsIF());
    return pUdp ? pUdp->DatagramsDropped() : 0;
}

long Number(const char* szText, long nMinimum, long nMaximum)
{
    long nValue = -1;
    if (!cToolOptions::ParseInteger(szText, nMinimum, nMaximum, 10, nValue))
    {
        std::fprintf(stderr, "soak-console: bad number '%s'\n", szText);
        std::exit(64);
    }
    return nValue;
}
} // namespace

int main(int argc, char* argv[])
{
    long nSimPort = 9876;
    long nPort = 9879;
    long nSimEoPort = 9886;
    long nEoPort = 9186;
    long nReportSeconds = 60;
    std::string sPages = "config/PageDefinitions.xml";
    for (int n = 1; n + 1 < argc; n += 2)
    {
        if (!std::strcmp(argv[n], "--sim-port"))
            nSimPort = Number(argv[n + 1], 1, 65535);
        else if (!std::strcmp(argv[n], "--port"))
            nPort = Number(argv[n + 1], 1, 65535);
        else if (!std::strcmp(argv[n], "--sim-eo-port"))
            nSimEoPort = Number(argv[n + 1], 1, 65535);
        else if (!std::strcmp(argv[n], "--eo-port"))
            nEoPort = Number(argv[n + 1], 1, 65535);
        else if (!std::strcmp(argv[n], "--report"))
            nReportSeconds = Number(argv[n + 1], 1, 86400);
        else if (!std::strcmp(argv[n], "--pages"))
            sPages = argv[n + 1];
        else
        {
            std::fprintf(stderr, "soak-console: unknown option %s\n", argv[n]);
            return 64;
        }
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    DbgLogInitLibrary("SoakConsoleDebugLog.txt");

    cPageList pages;
    if (cPageDefinitionsReader(RC_Variant::LongFrames).Read(sPages, pages) != cPageDefinitionsReader::Result::kRead)
    {
        std::fprintf(stderr, "soak-console: cannot read %s\n", sPages.c_str());
        return 1;
    }
    CommsSettings settings;
    settings.nCommsMethod = CommsSettings::kUdp;
    settings.nTxPort = static_cast<int32_t>(nSimPort);
    settings.nRxPort = static_cast<int32_t>(nPort);
    settings.nEoTxPort = static_cast<int32_t>(nSimEoPort);
    settings.nEoRxPort = static_cast<int32_t>(nEoPort);
    cRC_LinkQuality quality;  // before the protocol objects: their receive threads use it
    cRC_IO_Pages protocol(RC_Variant::LongFrames);
    cCountingEoData eo;
    if (!protocol.initialise(settings, "Kestrum") || !eo.initialise(settings, "EoTrackData"))
    {
        std::fprintf(stderr, "soak-console: cannot open the UDP ports %ld and %ld\n", nPort, nEoPort);
        return 1;
    }
    protocol.SetLinkQuality(&quality);
    eo.SetLinkQuality(&quality);
    protocol.m_pPageDefinitions = &pages;
    protocol.RegisterItems();
    protocol.m_bUseHeartbeat = true;

    const Clock::time_point start = Clock::now();
    const double dCpuStart = CpuSeconds();
    // The link as the heartbeat rules decide it, watched every 10 ms: a loss
    // counts once it had been up, the time down from the first time it was up.
    bool bEverActive = false;
    bool bWasActive = false;
    uint32_t nLinkLost = 0;
    Clock::duration downTime{};
    Clock::time_point downSince;
    auto watchLink = [&](Clock::time_point now) {
        const bool bActive = protocol.m_bLinkActive;
        if (bActive && !bWasActive && bEverActive)
            downTime += now - downSince;
        if (!bActive && bWasActive)
        {
            ++nLinkLost;
            downSince = now;
        }
        bEverActive = bEverActive || bActive;
        bWasActive = bActive;
    };
    // The degraded state as the status bar keeps it, sampled as often; the
    // share counts from the link's first coming up.
    cLinkQualityState degraded;
    Clock::duration degradedTime{};
    Clock::duration sampledTime{};
    Clock::time_point lastSample = start;
    auto watchQuality = [&](Clock::time_point now) {
        if (now - lastSample < std::chrono::milliseconds(200))
            return;
        if (bEverActive)
        {
            sampledTime += now - lastSample;
            if (degraded.IsDegraded())
                degradedTime += now - lastSample;
        }
        lastSample = now;
        degraded.Update(quality.Snapshot(now), !protocol.m_bLinkActive, now);
    };
    auto report = [&](const char* szWhen) {
        const Clock::time_point now = Clock::now();
        const double dSeconds = std::chrono::duration<double>(now - start).count();
        const Clock::duration down = downTime + (bEverActive && !bWasActive ? now - downSince : Clock::duration{});
        const cRC_LinkQuality::Figures figures = quality.Snapshot(now);
        using std::chrono::duration_cast;
        using std::chrono::milliseconds;
        std::printf("%s %.0f s: frames %d, EO reports %u, checksum failures %u, kernel drops %u + %u, "
                    "rss %ld kB, fds %d, cpu %.1f %%; link lost %u times, down %.1f s, degraded %.1f %% of the time; "
                    "last 10 s: requests %u answered, %u unanswered, round trip median %lld ms, worst %lld ms, "
                    "longest EO gap %lld ms, heartbeats missed %u of %u, reported missed %u of %u, duplicates %llu\n",
                    szWhen, dSeconds, protocol.m_nRxCount.load(), eo.m_nReports.load(),
                    protocol.ChecksumFailures() + eo.ChecksumFailures(), KernelDrops(protocol), KernelDrops(eo),
                    ResidentKb(), OpenDescriptors(), dSeconds > 0 ? 100.0 * (CpuSeconds() - dCpuStart) / dSeconds : 0.0,
                    nLinkLost, std::chrono::duration<double>(down).count(),
                    sampledTime.count() > 0 ? 100.0 * std::chrono::duration<double>(degradedTime).count() /
                                                  std::chrono::duration<double>(sampledTime).count()
                                            : 0.0,
                    figures.nAnswered, figures.nUnanswered,
                    static_cast<long long>(duration_cast<milliseconds>(figures.medianRoundTrip).count()),
                    static_cast<long long>(duration_cast<milliseconds>(figures.worstRoundTrip).count()),
                    static_cast<long long>(duration_cast<milliseconds>(figures.longestEoGap).count()),
                    figures.nHeartbeatsMissed, figures.nHeartbeatsDue, figures.nRemoteReportsMissed,
                    figures.nRemoteReports, static_cast<unsigned long long>(figures.Duplicates()));
        std::fflush(stdout);
    };
    report("start");
    bool bEoRequested = false;
    cEoStreamWatch eoWatch;
    Clock::time_point nextReport = start + std::chrono::seconds(nReportSeconds);
    while (!s_bStop)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        watchLink(Clock::now());
        watchQuality(Clock::now());
        // The stream is switched on once the simulator answers, as an operator
        // would, and asked for again as the console does when the ask is lost.
        if (!bEoRequested && protocol.m_bLinkActive)
        {
            bEoRequested = protocol.EnableEoDataOutput(true);
            eoWatch.Wanted(true, Clock::now());
        }
        std::chrono::steady_clock::time_point lastReport;
        const bool bAnyReport = eo.LastFrameTime(lastReport);
        if (bEoRequested && eoWatch.AskAgain(protocol.m_bLinkActive.load(), bAnyReport ? std::optional(lastReport) : std::nullopt,
                                             Clock::now()))
            protocol.EnableEoDataOutput(true);
        if (Clock::now() >= nextReport)
        {
            report("at");
            nextReport += std::chrono::seconds(nReportSeconds);
        }
    }
    report("end");
    protocol.EnableEoDataOutput(false);
    eo.close();
    return 0;
}
