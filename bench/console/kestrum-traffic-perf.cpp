// Measures what the traffic inspector costs: the console's main window takes
// status frames at a fixed rate (default 5 000 a second, each of 24 items of
// mixed types, as the remote system sends a page) for a while with the
// inspector closed, then as long again with it open, in the same run. Prints
// for each half the CPU of the user-interface thread and of the process, the
// frames sent and received (the receive path must lose none), and with the
// inspector open what it counted, kept and could not show.
#include "KestrumDlg.h"
#include "PerfSupport.h"
#include "ProcessFigures.h"
#include "RC_Frame.h"
#include "RC_ItemValue.h"
#include "RC_Payload.h"
#include "cAppIdentity.h"
#include "cMessageBox.h"
#include "cRC_IO_Pages.h"
#include "cTrafficInspectorDlg.h"
#include "cTrafficModel.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <boost/asio/ip/udp.hpp>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace
{
using Clock = std::chrono::steady_clock;
const RC_DataType kTypes[] = {RC_DataType::U16, RC_DataType::S16, RC_DataType::U32,   RC_DataType::S32,
                              RC_DataType::Fixed, RC_DataType::Float, RC_DataType::Byte, RC_DataType::String};
constexpr int kItems = 24;

using PerfSupport::Spin;

struct Half
{
    double dUiCpu = 0.0;
    double dAllCpu = 0.0;
    uint64_t nSent = 0;
    int64_t nReceived = 0;
    double dSeconds = 0.0;
};
} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    cAppIdentity::SetUp(app);
    int nSeconds = 20;
    int nRate = 5000;
    std::string sFolder = "/tmp";
    for (int n = 1; n + 1 < argc; n += 2)
    {
        if (!std::strcmp(argv[n], "--seconds"))
            nSeconds = std::atoi(argv[n + 1]);
        else if (!std::strcmp(argv[n], "--rate"))
            nRate = std::atoi(argv[n + 1]);
        else if (!std::strcmp(argv[n], "--work"))
            sFolder = argv[n + 1];
    }
    cMessageBox::SetSink([](const QString& sText) { std::fprintf(stderr, "message: %s\n", qPrintable(sText)); });

    boost::asio::io_context io;
    boost::asio::ip::udp::socket remote(io, boost::asio::ip::udp::endpoint(boost::asio::ip::make_address("127.0.0.1"), 0));
    uint16_t nConsolePort = 0;
    {
        boost::asio::ip::udp::socket probe(io, boost::asio::ip::udp::endpoint(boost::asio::ip::make_address("127.0.0.1"), 0));
        nConsolePort = probe.local_endpoint().port();
    }
    {
        std::ofstream pages(sFolder + "/traffic-pages.xml");
        pages << "<PageDefinitions>\n  <Page Title=\"Traffic\">\n";
        for (int n = 0; n < kItems; ++n)
            pages << "    <Item SubSystem=\"10\" Item=\"" << n + 1 << "\" Access=\"RO\" Label=\"Value " << n + 1
                  << "\" Type=\"" << RC_DataTypeText(kTypes[n % 8]) << "\"/>\n";
        pages << "  </Page>\n</PageDefinitions>\n";
        std::ofstream settings(sFolder + "/traffic-settings.xml");
        settings << "<VMS_Cfg><Kestrum nControllerType=\"0\" nCommsMethod=\"2\" sIpAddress=\"127.0.0.1\" nTxPort=\""
                 << remote.local_endpoint().port() << "\" nRxPort=\"" << nConsolePort << "\" sPageDefinitionsFile=\""
                 << sFolder << "/traffic-pages.xml\" bDisplayLandingDialog=\"false\"/><EoTrackData/></VMS_Cfg>\n";
    }

    const pid_t nUiThread = static_cast<pid_t>(syscall(SYS_gettid));
    KestrumDlg dlg(sFolder + "/traffic-settings.xml");
    dlg.show();
    dlg.OnInitDialog();
    cRC_IO_Pages* pPages = dlg.Session().RC_IO_Pages();
    if (!pPages)
        return 1;
    Spin(500);

    std::atomic<bool> bStop{false};
    std::atomic<uint64_t> nSent{0};
    std::thread sender([&] {
        const boost::asio::ip::udp::endpoint console(boost::asio::ip::make_address("127.0.0.1"), nConsolePort);
        // Every millisecond its share, so that the rate holds however the sleeps fall.
        const auto start = Clock::now();
        for (uint32_t nCycle = 0; !bStop; ++nCycle)
        {
            const auto now = Clock::now();
            const uint64_t nDue =
                static_cast<uint64_t>(std::chrono::duration<double>(now - start).count() * nRate);
            while (nSent < nDue)
            {
                RC_Payload payload;
                const uint32_t nValue = static_cast<uint32_t>(nSent.load());
                for (int n = 0; n < kItems; ++n)
                {
                    auto pValue = RC_ItemValue::Create(kTypes[n % 8]);
                    switch (kTypes[n % 8])
                    {
                    case RC_DataType::U16: static_cast<RC_U16Value&>(*pValue).Set(static_cast<uint16_t>(nValue)); break;
                    case RC_DataType::S16: static_cast<RC_S16Value&>(*pValue).Set(static_cast<int16_t>(nValue)); break;
                    case RC_DataType::U32: static_cast<RC_U32Value&>(*pValue).Set(nValue); break;
                    case RC_DataType::S32: static_cast<RC_S32Value&>(*pValue).Set(static_cast<int32_t>(nValue)); break;
                    case RC_DataType::Fixed: static_cast<RC_FixedValue&>(*pValue).SetRaw(static_cast<int32_t>(nValue)); break;
                    case RC_DataType::Float: static_cast<RC_FloatValue&>(*pValue).Set(static_cast<float>(nValue)); break;
                    case RC_DataType::Byte: static_cast<RC_ByteValue&>(*pValue).Set(static_cast<uint8_t>(nValue)); break;
                    default: static_cast<RC_StringValue&>(*pValue).Set("v" + std::to_string(nValue % 1000)); break;
                    }
                    payload.AddReported(static_cast<uint8_t>(n + 1), *pValue);
                }
                RC_Frame frame;
                frame.BuildStatus(RC_Variant::ShortFrames, 10, 0, 0x40, payload.Data(), payload.Size());
                remote.send_to(boost::asio::buffer(frame.Data(), frame.Size()), console);
                ++nSent;
            }
            std::this_thread::sleep_until(now + std::chrono::milliseconds(1));
        }
    });
    Spin(1000);

    const std::string sUiStat = "/proc/self/task/" + std::to_string(nUiThread) + "/stat";
    const double dTick = static_cast<double>(sysconf(_SC_CLK_TCK));
    auto measure = [&] {
        Half half;
        const long long nUi = ProcessFigures::CpuTicks(sUiStat);
        const long long nAll = ProcessFigures::CpuTicks("/proc/self/stat");
        const uint64_t nSentAtStart = nSent;
        const int64_t nReceivedAtStart = pPages->m_nRxCount;
        const auto start = Clock::now();
        Spin(nSeconds * 1000);
        half.dSeconds = std::chrono::duration<double>(Clock::now() - start).count();
        half.dUiCpu = (ProcessFigures::CpuTicks(sUiStat) - nUi) / dTick / half.dSeconds * 100.0;
        half.dAllCpu = (ProcessFigures::CpuTicks("/proc/self/stat") - nAll) / dTick / half.dSeconds * 100.0;
        half.nSent = nSent - nSentAtStart;
        half.nReceived = pPages->m_nRxCount - nReceivedAtStart;
        return half;
    };
    const Half closed = measure();
    dlg.OnTrafficInspector();
    Spin(1000);
    cTrafficInspectorDlg* pInspector = dlg.TrafficInspector();
    const uint64_t nCountedAtStart = pInspector->History().FramesCounted();
    const uint64_t nNotShownAtStart = pInspector->NotShown();
    const Half open = measure();
    const uint64_t nCounted = pInspector->History().FramesCounted() - nCountedAtStart;
    const uint64_t nNotShown = pInspector->NotShown() - nNotShownAtStart;
    bStop = true;
    sender.join();
    Spin(500);
    const uint64_t nTotalSent = nSent;
    const int64_t nTotalReceived = pPages->m_nRxCount;

    std::printf("status frames of %d items at %d a second, %d s with the traffic inspector closed, then %d s open\n", kItems,
                nRate, nSeconds, nSeconds);
    for (const auto& [szName, half] : {std::pair<const char*, const Half&>{"closed", closed}, {"open", open}})
        std::printf("inspector %-6s: user-interface thread %5.2f %% of a core, process %5.2f %%, frames sent %llu, "
                    "received %lld (%.0f/s)\n",
                    szName, half.dUiCpu, half.dAllCpu, static_cast<unsigned long long>(half.nSent),
                    static_cast<long long>(half.nReceived), half.nReceived / half.dSeconds);
    std::printf("inspector counted %llu frames, %llu not shown (the view could not keep up), %d rows in the table\n",
                static_cast<unsigned long long>(nCounted), static_cast<unsigned long long>(nNotShown),
                pInspector->Model()->rowCount());
    std::printf("receive path: %llu frames sent, %lld received, %lld lost\n", static_cast<unsigned long long>(nTotalSent),
                static_cast<long long>(nTotalReceived), static_cast<long long>(nTotalSent) - nTotalReceived);
    dlg.Shutdown();
    return 0;
}
