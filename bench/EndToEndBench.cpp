// End to end: the simulator floods status frames over UDP loopback into the
// console's page protocol; frames handled per second and frames lost, against
// a bare socket pair carrying the same frames in the same run. Rate 0 sends
// as fast as the link takes them.
#include "RC_Frame.h"
#include "RC_Payload.h"
#include "TempDir.h"
#include "WaitQuiet.h"
#include "cPageDefinitionsReader.h"
#include "cPageList.h"
#include "cRC_IO_Pages.h"
#include "cSimEventLog.h"
#include "cSimOptions.h"
#include "cSimulator.h"

#include <arpa/inet.h>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace
{
using Clock = std::chrono::steady_clock;
constexpr uint32_t kFrames = 100000;

const char* const kPages = R"(<PageDefinitions><Page Title="Live">
  <Item SubSystem="4" Item="1" Access="RO" Label="Count" Type="U32"/>
  <Item SubSystem="4" Item="2" Access="RO" Label="Temperature" Type="Float"/>
  <Item SubSystem="4" Item="3" Access="RO" Label="Mode" Type="Byte"/>
  <Item SubSystem="4" Item="4" Access="RO" Label="Range" Type="S32"/>
</Page></PageDefinitions>)";

void Report(benchmark::State& state, uint32_t nSent, uint32_t nHandled, double dSeconds)
{
    state.counters["sent"] = nSent;
    state.counters["handled"] = nHandled;
    state.counters["lost"] = static_cast<double>(nSent) - nHandled;
    state.counters["handled_per_s"] = nHandled / dSeconds;
}

// A frame like those the simulator sends for the group above.
std::vector<uint8_t> StatusFrame()
{
    RC_Payload payload;
    payload.AddU32(1, 12345);
    payload.AddFloat(2, 21.5f);
    payload.AddByte(3, 2);
    payload.AddS32(4, -7);
    RC_Frame frame;
    frame.BuildStatus(RC_Variant::ShortFrames, 4, 0, 0x40, payload.Data(), payload.Size());
    return {frame.Data(), frame.Data() + frame.Size()};
}
} // namespace

static void BM_Baseline_BareSocketPair(benchmark::State& state)
{
    const double dRate = static_cast<double>(state.range(0));
    const std::vector<uint8_t> frame = StatusFrame();
    for (auto _ : state)
    {
        const int nReceiver = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(nReceiver, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        socklen_t nLength = sizeof(address);
        getsockname(nReceiver, reinterpret_cast<sockaddr*>(&address), &nLength);
        timeval timeout{0, 300000};
        setsockopt(nReceiver, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
        std::atomic<uint32_t> nReceived{0};
        std::atomic<int64_t> nLastNs{0};
        std::thread receiver([&] {
            uint8_t buffer[8192];
            while (recv(nReceiver, buffer, sizeof(buffer), 0) > 0)
            {
                nReceived.fetch_add(1, std::memory_order_relaxed);
                nLastNs = Clock::now().time_since_epoch().count();
            }
        });
        const int nSender = socket(AF_INET, SOCK_DGRAM, 0);
        const auto start = Clock::now();
        for (uint32_t i = 0; i < kFrames; ++i)
        {
            if (dRate > 0)
                while (Clock::now() < start + std::chrono::duration<double>(i / dRate))
                {
                }
            sendto(nSender, frame.data(), frame.size(), 0, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        }
        receiver.join();
        // Until the last frame arrived: the receiver's rate, not the sender's.
        const double dSeconds = (nLastNs.load() - start.time_since_epoch().count()) * 1e-9;
        close(nSender);
        close(nReceiver);
        Report(state, kFrames, nReceived.load(), dSeconds);
    }
}

static void BM_SimulatorToPageProtocol(benchmark::State& state)
{
    const double dRate = static_cast<double>(state.range(0));
    for (auto _ : state)
    {
        TempDir dir;
        dir.Write("pages.xml", kPages);
        cSimOptions options;
        options.m_sPagesFile = dir.File("pages.xml");
        options.m_nPort = 0;
        options.m_nEoListenPort = 0;
        options.m_bQuiet = true;
        cSimEventLog log(true);
        cSimulator simulator(options, log);
        std::string sError;
        if (!simulator.Start(sError))
        {
            state.SkipWithError(sError.c_str());
            return;
        }
        cPageList list;
        cPageDefinitionsReader(RC_Variant::ShortFrames).Read(dir.File("pages.xml"), list);
        CommsSettings settings;
        settings.nCommsMethod = CommsSettings::kUdp;
        settings.nTxPort = simulator.PagesPort();
        settings.nRxPort = 0;
        cRC_IO_Pages pages(RC_Variant::ShortFrames, false);
        pages.initialise(settings, "Bench");
        pages.m_pPageDefinitions = &list;
        pages.RegisterItems();
        // One query tells the simulator where the console is.
        pages.SendQuery(4, 0, 1);
        while (pages.m_nRxCount.load() == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const int32_t nBefore = pages.m_nRxCount.load();

        const auto start = Clock::now();
        const uint32_t nSent = simulator.Flood(4, 0, kFrames, dRate);
        // Until the last frame was handled: the receiving side's rate.
        const double dSeconds = std::chrono::duration<double>(WaitQuiet([&] { return pages.m_nRxCount.load(); }) - start).count();
        Report(state, nSent, static_cast<uint32_t>(pages.m_nRxCount.load() - nBefore), dSeconds);
        pages.close();
        simulator.Stop();
    }
}

#define RATES Arg(0)->Arg(25000)->Arg(50000)->Arg(75000)->Arg(100000)
BENCHMARK(BM_Baseline_BareSocketPair)->RATES->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SimulatorToPageProtocol)->RATES->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
