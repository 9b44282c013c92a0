// Measures the console with N page dialogs open (and, with --landing 1, the
// Thimbrel landing dialog): CPU of the user-interface thread and of the whole
// process, resident memory, and (with a sender) how far behind the newest
// value each field and landing read-out is. The sender plays the remote
// system: every item of every open page, one status frame per page, and the
// landing items, at the given rate, each value the cycle number, so a field's
// text says which cycle it shows. With --sim-port (and --port) the remote
// system is another program instead (bench/soak runs vms-sim there): no
// sender, and the figures include the frames received and the resident
// memory and open descriptors at start and end.
#include "KestrumDlg.h"
#include "ProcessFigures.h"
#include "RC_Frame.h"
#include "RC_ItemValue.h"
#include "RC_Payload.h"
#include "cAppIdentity.h"
#include "cLandingDlg.h"
#include "cMessageBox.h"
#include "cPlotManager.h"
#include "cPlotWindow.h"
#include "cRC_IO_Pages.h"
#include "cRC_SystemDlg.h"

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <boost/asio/ip/udp.hpp>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
using ProcessFigures::CpuTicks;
using ProcessFigures::OpenDescriptors;
using ProcessFigures::ResidentKb;
using Clock = std::chrono::steady_clock;
const RC_DataType kTypes[] = {RC_DataType::U16, RC_DataType::S16,   RC_DataType::U32,   RC_DataType::S32,
                              RC_DataType::U64, RC_DataType::S64,   RC_DataType::Fixed, RC_DataType::Float,
                              RC_DataType::Double, RC_DataType::String};
constexpr int kItemsPerPage = 24;

void Spin(int nMs)
{
    // A real event loop that sleeps between events, as the program's own does.
    // A deadline already passed spins once: a negative interval starts no timer.
    QEventLoop loop;
    QTimer::singleShot(std::max(nMs, 0), &loop, &QEventLoop::quit);
    loop.exec();
}

uint16_t FreePort(boost::asio::io_context& io)
{
    boost::asio::ip::udp::socket socket(io, boost::asio::ip::udp::endpoint(boost::asio::ip::make_address("127.0.0.1"), 0));
    return socket.local_endpoint().port();
}

// When each cycle went out, so that a shown cycle can be turned into a lag.
class SendHistory
{
public:
    void Add(Clock::time_point when)
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Times.push_back(when);
    }
    size_t Count() const
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return m_Times.size();
    }
    Clock::time_point At(size_t nCycle) const
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return m_Times.at(nCycle);
    }

private:
    mutable std::mutex m_Mutex;
    std::vector<Clock::time_point> m_Times;
};
} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    cAppIdentity::SetUp(app);

    int nPages = 10;
    int nSeconds = 30;
    int nRateHz = 0;
    int nSimPort = 0;
    int nOwnPort = 0;
    std::string sFolder = "/tmp";
    int nPlots = 0;         // plot windows, each with the first 4 items of one page
    int nOpenPages = -1;    // page dialogs opened (default: every page)
    int nMemoryEvery = 0;   // seconds between resident memory lines (0: none)
    bool bLanding = false;
    for (int n = 1; n + 1 < argc; n += 2)
    {
        if (!std::strcmp(argv[n], "--pages"))
            nPages = std::atoi(argv[n + 1]);
        else if (!std::strcmp(argv[n], "--seconds"))
            nSeconds = std::atoi(argv[n + 1]);
        else if (!std::strcmp(argv[n], "--rate"))
            nRateHz = std::atoi(argv[n + 1]);
        else if (!std::strcmp(argv[n], "--work"))
            sFolder = argv[n + 1];
        else if (!std::strcmp(argv[n], "--sim-port"))
            nSimPort = std::atoi(argv[n + 1]);
        else if (!std::strcmp(argv[n], "--port"))
            nOwnPort = std::atoi(argv[n + 1]);
        else if (!std::strcmp(argv[n], "--plots"))
            nPlots = std::atoi(argv[n + 1]);
        else if (!std::strcmp(argv[n], "--open-pages"))
            nOpenPages = std::atoi(argv[n + 1]);
        else if (!std::strcmp(argv[n], "--memory-every"))
            nMemoryEvery = std::atoi(argv[n + 1]);
        else if (!std::strcmp(argv[n], "--landing"))
            bLanding = std::atoi(argv[n + 1]) != 0;
    }
    if (nOpenPages < 0 || nOpenPages > nPages)
        nOpenPages = nPages;
    cMessageBox::SetSink([](const QString& sText) { std::fprintf(stderr, "message: %s\n", qPrintable(sText)); });

    // Pages on subsystems 10 and up, every type that shows a number.
    boost::asio::io_context io;
    const uint16_t nConsolePort = nOwnPort > 0 ? static_cast<uint16_t>(nOwnPort) : FreePort(io);
    boost::asio::ip::udp::socket remote(io, boost::asio::ip::udp::endpoint(boost::asio::ip::make_address("127.0.0.1"), 0));
    {
        std::ofstream pages(sFolder + "/perf-pages.xml");
        pages << "<PageDefinitions>\n";
        for (int nPage = 0; nPage < nPages; ++nPage)
        {
            pages << "  <Page Title=\"Perf " << nPage + 1 << "\" Logging=\"yes\" LoggingSubsystem=\"" << 10 + nPage << "\">\n";
            for (int n = 0; n < kItemsPerPage; ++n)
                pages << "    <Item SubSystem=\"" << 10 + nPage << "\" Item=\"" << n + 1 << "\" Access=\"RO\" Label=\"Value "
                      << n + 1 << "\" Type=\"" << RC_DataTypeText(kTypes[n % 10]) << "\"/>\n";
            pages << "  </Page>\n";
        }
        pages << "</PageDefinitions>\n";
        std::ofstream settings(sFolder + "/perf-settings.xml");
        settings << "<VMS_Cfg><Kestrum nControllerType=\"0\" nCommsMethod=\"2\" sIpAddress=\"127.0.0.1\" nTxPort=\""
                 << (nSimPort > 0 ? nSimPort : remote.local_endpoint().port()) << "\" nRxPort=\"" << nConsolePort
                 << "\" sPageDefinitionsFile=\"" << sFolder << "/perf-pages.xml\" bDisplayLandingDialog=\""
                 << (bLanding ? "true" : "false") << "\"/><EoTrackData/><LandingDlg/></VMS_Cfg>\n";
    }

    const pid_t nUiThread = static_cast<pid_t>(syscall(SYS_gettid));
    KestrumDlg dlg(sFolder + "/perf-settings.xml");
    dlg.show();
    dlg.OnInitDialog();
    for (int nPage = 0; nPage < nOpenPages; ++nPage)
        dlg.OnPageCommand(static_cast<size_t>(nPage));
    std::vector<cPlotWindow*> plots;
    for (int nPlot = 0; nPlot < nPlots && nPlot < nPages; ++nPlot)
    {
        const std::vector<PageItem>& items = dlg.Session().Pages().Items(static_cast<size_t>(nPlot));
        cPlotWindow* pPlot = dlg.Plots()->NewPlot(items.at(0));
        for (size_t n = 1; n < 4; ++n)
            pPlot->AddItem(items.at(n));
        plots.push_back(pPlot);
    }
    Spin(1000);

    SendHistory history;
    std::atomic<bool> bStop{false};
    std::thread sender;
    if (nSimPort > 0)
        nRateHz = 0;  // the other program sends
    if (nRateHz > 0)
    {
        sender = std::thread([&] {
            const boost::asio::ip::udp::endpoint console(boost::asio::ip::make_address("127.0.0.1"), nConsolePort);
            const auto period = std::chrono::microseconds(1000000 / nRateHz);
            auto next = Clock::now();
            for (uint32_t nCycle = 0; !bStop; ++nCycle)
            {
                for (int nPage = 0; nPage < nPages; ++nPage)
                {
                    RC_Payload payload;
                    for (int n = 0; n < kItemsPerPage; ++n)
                    {
                        auto pValue = RC_ItemValue::Create(kTypes[n % 10]);
                        switch (kTypes[n % 10])
                        {
                        case RC_DataType::U16: static_cast<RC_U16Value&>(*pValue).Set(static_cast<uint16_t>(nCycle)); break;
                        case RC_DataType::S16: static_cast<RC_S16Value&>(*pValue).Set(static_cast<int16_t>(nCycle)); break;
                        case RC_DataType::U32: static_cast<RC_U32Value&>(*pValue).Set(nCycle); break;
                        case RC_DataType::S32: static_cast<RC_S32Value&>(*pValue).Set(static_cast<int32_t>(nCycle)); break;
                        case RC_DataType::U64: static_cast<RC_U64Value&>(*pValue).Set(nCycle); break;
                        case RC_DataType::S64: static_cast<RC_S64Value&>(*pValue).Set(nCycle); break;
                        case RC_DataType::Fixed: static_cast<RC_FixedValue&>(*pValue).SetRaw(static_cast<int32_t>(nCycle) * 4096); break;
                        case RC_DataType::Float: static_cast<RC_FloatValue&>(*pValue).Set(static_cast<float>(nCycle)); break;
                        case RC_DataType::Double: static_cast<RC_DoubleValue&>(*pValue).Set(nCycle); break;
                        default: static_cast<RC_StringValue&>(*pValue).Set(std::to_string(nCycle)); break;
                        }
                        payload.AddReported(static_cast<uint8_t>(n + 1), *pValue);
                    }
                    RC_Frame frame;
                    frame.BuildStatus(RC_Variant::ShortFrames, static_cast<uint8_t>(10 + nPage), 0, 0x40, payload.Data(),
                                      payload.Size());
                    remote.send_to(boost::asio::buffer(frame.Data(), frame.Size()), console);
                }
                if (bLanding)
                {
                    // The Thimbrel landing items: the tracker's (a valid target) and the video channel.
                    const uint8_t nSmall = static_cast<uint8_t>(nCycle % 4);
                    RC_Payload tracker;
                    for (uint8_t nItem : {0, 4, 5, 14, 15})
                        tracker.AddByte(nItem, nItem == 0 ? nSmall % 3 : nSmall);
                    tracker.AddU16(18, static_cast<uint16_t>(nCycle));
                    tracker.AddU16(19, static_cast<uint16_t>(nCycle));
                    tracker.AddByte(64, 1);
                    tracker.AddFixed(66, static_cast<float>(nCycle));
                    tracker.AddFixed(67, static_cast<float>(nCycle));
                    RC_Payload video;
                    video.AddByte(17, nSmall);
                    for (const auto& [nSubSystem, pPayload] : {std::pair{0, &tracker}, std::pair{3, &video}})
                    {
                        RC_Frame frame;
                        frame.BuildStatus(RC_Variant::ShortFrames, static_cast<uint8_t>(nSubSystem), 0, 0x40,
                                          pPayload->Data(), pPayload->Size());
                        remote.send_to(boost::asio::buffer(frame.Data(), frame.Size()), console);
                    }
                }
                history.Add(Clock::now());
                next += period;
                std::this_thread::sleep_until(next);
            }
        });
        Spin(1000);
    }

    // The lag of a field: how long a newer cycle than the one it shows has been out.
    double dWorstLagMs = 0.0;
    long long nLate = 0;
    long long nChecks = 0;
    QTimer sampler;
    if (nRateHz > 0)
    {
        QObject::connect(&sampler, &QTimer::timeout, [&] {
            const auto now = Clock::now();
            const size_t nSent = history.Count();
            auto check = [&](const QString& sShown) {
                const long long nShown = std::atoll(sShown.toLatin1().constData());
                ++nChecks;
                if (nShown + 1 >= static_cast<long long>(nSent))
                    return;
                const double dLagMs =
                    std::chrono::duration<double, std::milli>(now - history.At(static_cast<size_t>(nShown + 1))).count();
                dWorstLagMs = std::max(dWorstLagMs, dLagMs);
                if (dLagMs > 200.0)
                    ++nLate;
            };
            if (cLandingDlg* pLanding = dlg.LandingDialog())
            {
                for (QLabel* pReadout : {pLanding->AoiXReadout(), pLanding->AoiYReadout(), pLanding->PositionXReadout(),
                                         pLanding->PositionYReadout()})
                    check(pReadout->text());
            }
            for (int nPage = 0; nPage < nPages; ++nPage)
            {
                cRC_SystemDlg* pDlg = dlg.PageDialog(static_cast<size_t>(nPage));
                if (!pDlg)
                    continue;
                for (int n = 0; n < kItemsPerPage; ++n)
                    check(pDlg->Field(n)->text());
            }
        });
        sampler.start(50);
    }

    const std::string sUiStat = "/proc/self/task/" + std::to_string(nUiThread) + "/stat";
    const long long nUiStart = CpuTicks(sUiStat);
    const long long nAllStart = CpuTicks("/proc/self/stat");
    const long nResidentStart = ResidentKb();
    const int nDescriptorsStart = OpenDescriptors();
    uint64_t nRedrawsAtStart = 0;
    for (cPlotWindow* pPlot : plots)
        nRedrawsAtStart += pPlot->Redraws();
    const auto start = Clock::now();
    if (nMemoryEvery > 0)
    {
        for (int nAt = nMemoryEvery; nAt <= nSeconds; nAt += nMemoryEvery)
        {
            Spin(static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                      start + std::chrono::seconds(nAt) - Clock::now()).count()));
            size_t nSamples = 0;
            for (cPlotWindow* pPlot : plots)
                nSamples += pPlot->Store().SampleCount();
            std::printf("%4d s: resident memory %.1f MB, plot samples held %zu\n", nAt, ResidentKb() / 1024.0, nSamples);
            std::fflush(stdout);
        }
        Spin(static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                  start + std::chrono::seconds(nSeconds) - Clock::now()).count()));
    }
    else
    {
        Spin(nSeconds * 1000);
    }
    const double dSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double dTick = static_cast<double>(sysconf(_SC_CLK_TCK));
    const double dUiCpu = (CpuTicks(sUiStat) - nUiStart) / dTick / dSeconds * 100.0;
    const double dAllCpu = (CpuTicks("/proc/self/stat") - nAllStart) / dTick / dSeconds * 100.0;
    sampler.stop();
    bStop = true;
    if (sender.joinable())
        sender.join();

    std::printf("pages open: %d of %d, items per page: %d, landing dialog: %s, plots: %d of 4 items, rate: %d Hz, "
                "%.1f s measured\n",
                nOpenPages, nPages, kItemsPerPage, dlg.LandingDialog() ? "yes" : "no", static_cast<int>(plots.size()),
                nRateHz, dSeconds);
    uint64_t nRedraws = 0;
    for (cPlotWindow* pPlot : plots)
        nRedraws += pPlot->Redraws();
    nRedraws -= nRedrawsAtStart;
    if (!plots.empty())
        std::printf("plot redraws: %.1f a second per plot\n", nRedraws / static_cast<double>(plots.size()) / dSeconds);
    std::printf("CPU of one core: user-interface thread %.2f %%, whole process %.2f %%\n", dUiCpu, dAllCpu);
    std::printf("resident memory: %.1f MB\n", ResidentKb() / 1024.0);
    if (nSimPort > 0)
        std::printf("frames received %d, resident %ld -> %ld kB, open descriptors %d -> %d\n",
                    dlg.Session().RC_IO_Pages() ? dlg.Session().RC_IO_Pages()->m_nRxCount.load() : 0, nResidentStart, ResidentKb(),
                    nDescriptorsStart, OpenDescriptors());
    if (nRateHz > 0)
        std::printf("field checks: %lld, later than 200 ms: %lld, worst lag %.0f ms, frames received %d\n", nChecks,
                    nLate, dWorstLagMs, dlg.Session().RC_IO_Pages() ? dlg.Session().RC_IO_Pages()->m_nRxCount.load() : 0);
    dlg.Shutdown();
    return 0;
}
