// UDP receive: datagrams per second delivered through cUdpIF into the framer,
// against a bare blocking recvfrom loop on another socket, in the same run.
// Each case paces a sender at a fixed rate (0: as fast as it can) for half a
// second and reports what arrived; the highest rate with no loss is the figure.
#include "cCommsIO.h"
#include "WaitQuiet.h"
#include "cRxProtocol.h"
#include "cUdpIF.h"

#include <algorithm>
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
const uint8_t kFrame[8] = {0x10, 0x05, 0x00, 0x03, 0x03, 0x00, 0x2A, 0x45};

sockaddr_in Loopback(uint16_t nPort)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(nPort);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// Sends nCount datagrams at nRate per second (0: unpaced).
void SendPaced(uint16_t nPort, int64_t nRate, int64_t nCount)
{
    const int nSocket = socket(AF_INET, SOCK_DGRAM, 0);
    const sockaddr_in target = Loopback(nPort);
    const auto start = Clock::now();
    for (int64_t i = 0; i < nCount; ++i)
    {
        if (nRate > 0)
        {
            const auto due = start + std::chrono::nanoseconds(i * 1000000000LL / nRate);
            while (Clock::now() < due)
            {
            }
        }
        sendto(nSocket, kFrame, sizeof(kFrame), 0, reinterpret_cast<const sockaddr*>(&target), sizeof(target));
    }
    close(nSocket);
}

void Report(benchmark::State& state, int64_t nSent, int64_t nDelivered, double dSeconds)
{
    state.counters["sent"] = static_cast<double>(nSent);
    state.counters["delivered"] = static_cast<double>(nDelivered);
    state.counters["loss_pct"] = 100.0 * static_cast<double>(nSent - nDelivered) / static_cast<double>(nSent);
    state.counters["delivered_per_s"] = static_cast<double>(nDelivered) / dSeconds;
}

class CountingProtocol : public cCommsIO
{
public:
    CountingProtocol() : cCommsIO("Bench") {}
    ~CountingProtocol() override { clearCommsIF(); }
    bool loadRxMsgDescriptors() override
    {
        getCommsIF()->loadProtocol(nullptr);
        getCommsIF()->getProtocol()->m_nDefaultSync = 0x10;
        return getCommsIF()->getProtocol()->LoadMsgDescriptor(MsgDescriptor::kOneByteLength, 3, 5, this) == 0;
    }
    void VerifyChecksum(const uint8_t*, int32_t, int64_t) override { m_nFrames.fetch_add(1, std::memory_order_relaxed); }
    std::atomic<int64_t> m_nFrames{0};
};

} // namespace

static void BM_Baseline_BareRecvfrom(benchmark::State& state)
{
    const int64_t nRate = state.range(0);
    const int64_t nCount = nRate > 0 ? nRate / 2 : 100000;
    for (auto _ : state)
    {
        const int nSocket = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in local = Loopback(0);
        bind(nSocket, reinterpret_cast<sockaddr*>(&local), sizeof(local));
        socklen_t nLength = sizeof(local);
        getsockname(nSocket, reinterpret_cast<sockaddr*>(&local), &nLength);
        timeval timeout{0, 300000};
        setsockopt(nSocket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
        std::atomic<int64_t> nDelivered{0};
        std::atomic<int64_t> nLastNs{0};
        std::thread receiver([&] {
            uint8_t buffer[8192];
            while (recvfrom(nSocket, buffer, sizeof(buffer), 0, nullptr, nullptr) > 0)
            {
                nDelivered.fetch_add(1, std::memory_order_relaxed);
                nLastNs = Clock::now().time_since_epoch().count();
            }
        });
        const auto start = Clock::now();
        SendPaced(ntohs(local.sin_port), nRate, nCount);
        receiver.join();
        // Until the last datagram arrived: the receiver's rate.
        const double dSeconds = (nLastNs.load() - start.time_since_epoch().count()) * 1e-9;
        close(nSocket);
        Report(state, nCount, nDelivered.load(), dSeconds);
    }
}

static void RunUdpIF(benchmark::State& state, int nBatch)
{
    const int64_t nRate = state.range(0);
    const int64_t nCount = nRate > 0 ? nRate / 2 : 100000;
    for (auto _ : state)
    {
        nx::http::cUdpIF udp("Bench");
        udp.SetReceiveBatch(nBatch);
        CountingProtocol protocol;
        udp.initialise(9, "127.0.0.1", 0, "127.0.0.1", true, false, 0);
        protocol.setCommsIF(&udp);
        protocol.initialise(1000);
        const auto start = Clock::now();
        SendPaced(udp.LocalPort(), nRate, nCount);
        const double dSeconds =
            std::chrono::duration<double>(WaitQuiet([&] { return protocol.m_nFrames.load(); }) - start).count();
        Report(state, nCount, protocol.m_nFrames.load(), dSeconds);
        state.counters["datagrams_per_call"] =
            static_cast<double>(udp.DatagramsReceived()) / std::max<uint32_t>(udp.ReceiveCalls(), 1);
        protocol.close();
    }
}

// Batches of datagrams per system call, as the transport runs.
static void BM_UdpIF(benchmark::State& state)
{
    RunUdpIF(state, nx::http::cUdpIF::kReceiveBatch);
}

// One datagram per wake-up, for comparison.
static void BM_UdpIF_OnePerWake(benchmark::State& state)
{
    RunUdpIF(state, 1);
}

#define RATES Arg(50000)->Arg(100000)->Arg(150000)->Arg(200000)->Arg(250000)->Arg(0)
BENCHMARK(BM_Baseline_BareRecvfrom)->RATES->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UdpIF)->RATES->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UdpIF_OnePerWake)->RATES->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
