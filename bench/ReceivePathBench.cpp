// Receive path: bytes per second from processRxData through the framer (and
// the checksum check) to a handler that touches the frame, against a bare
// loop that only sums the same bytes.
#include "RC_Frame.h"
#include "RC_Payload.h"
#include "NullTransport.h"
#include "cCommsIF.h"
#include "cRC_IO.h"
#include "cRxProtocol.h"

#include <benchmark/benchmark.h>
#include <random>
#include <vector>

namespace
{
// Short and long status frames and EO track frames of realistic sizes, as one
// stream of 1400-byte datagrams.
std::vector<uint8_t> RealisticStream()
{
    std::mt19937 random(7);
    std::vector<uint8_t> stream;
    RC_Frame frame;
    std::vector<uint8_t> payload;
    while (stream.size() < (1u << 20))
    {
        payload.resize(8 + random() % 40);
        for (uint8_t& b : payload)
            b = static_cast<uint8_t>(random());
        switch (random() % 3)
        {
        case 0: frame.BuildStatus(RC_Variant::ShortFrames, 5, 0, 0, payload.data(), payload.size()); break;
        case 1: frame.BuildStatus(RC_Variant::LongFrames, 5, 2, 0, payload.data(), payload.size()); break;
        default:
        {
            // An EO track frame with 5 tracks of about 30 bytes.
            std::vector<uint8_t> eo = {0x77, 0x1E, 0, 0};
            eo.resize(4 + 10 + 150, 0x5A);
            const size_t nTotal = eo.size() + 1;
            eo[2] = static_cast<uint8_t>(nTotal >> 8);
            eo[3] = static_cast<uint8_t>(nTotal);
            uint8_t nSum = 0;
            for (uint8_t b : eo)
                nSum = static_cast<uint8_t>(nSum + b);
            eo.push_back(nSum);
            stream.insert(stream.end(), eo.begin(), eo.end());
            continue;
        }
        }
        stream.insert(stream.end(), frame.Data(), frame.Data() + frame.Size());
    }
    return stream;
}

const std::vector<uint8_t>& Stream()
{
    static const std::vector<uint8_t> stream = RealisticStream();
    return stream;
}

bool LoadAllKinds(cRxProtocol& framer, cCommsIO* pOwner)
{
    framer.m_nDefaultSync = 0x10;
    framer.LoadMsgDescriptor(MsgDescriptor::kOneByteLength, 3, 5, pOwner);
    framer.m_nDefaultSync = 0x99;
    framer.LoadMsgDescriptor(MsgDescriptor::kTwoByteLength, 5, 0, pOwner);
    framer.m_nDefaultSync = 0x77;
    return framer.LoadMsgDescriptor(MsgDescriptor::kTwoByteLength, 3, 0, pOwner) == 0;
}

// Without the checksum check: the frame goes straight to a handler.
class FramerOnly : public cRC_IO
{
public:
    FramerOnly() : cRC_IO("Bench") {}
    ~FramerOnly() override { clearCommsIF(); }
    bool loadRxMsgDescriptors() override
    {
        return getCommsIF()->loadProtocol(nullptr) && LoadAllKinds(*getCommsIF()->getProtocol(), this);
    }
    void VerifyChecksum(const uint8_t* pFrame, int32_t nLength, int64_t nTime) override { handleMessage(pFrame, nLength, nTime); }
    void handleMessage(const uint8_t* pFrame, int32_t nLength, int64_t) override
    {
        // Touch the frame as a handler would: its address and its last byte.
        m_nTouched += pFrame[1] + pFrame[nLength - 1];
        ++m_nFrames;
    }
    uint64_t m_nTouched = 0;
    uint64_t m_nFrames = 0;
};

// With the real checksum check in front of the handler.
class WithChecksum : public FramerOnly
{
public:
    void VerifyChecksum(const uint8_t* pFrame, int32_t nLength, int64_t nTime) override
    {
        cRC_IO::VerifyChecksum(pFrame, nLength, nTime);
    }
};

template <typename Protocol>
void RunReceivePath(benchmark::State& state)
{
    const std::vector<uint8_t>& stream = Stream();
    NullTransport transport;
    Protocol protocol;
    protocol.setCommsIF(&transport);
    protocol.initialise(1000);
    for (auto _ : state)
    {
        for (size_t nPos = 0; nPos < stream.size(); nPos += 1400)
        {
            const size_t nCount = std::min<size_t>(1400, stream.size() - nPos);
            transport.processRxDataDefault(stream.data() + nPos, static_cast<int32_t>(nCount));
        }
    }
    benchmark::DoNotOptimize(protocol.m_nTouched);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
    state.counters["frames"] = static_cast<double>(protocol.m_nFrames) / static_cast<double>(state.iterations());
}
} // namespace

static void BM_Baseline_SumBytes(benchmark::State& state)
{
    const std::vector<uint8_t>& stream = Stream();
    for (auto _ : state)
    {
        uint32_t nSum = 0;
        for (uint8_t b : stream)
            nSum += b;
        benchmark::DoNotOptimize(nSum);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
}
BENCHMARK(BM_Baseline_SumBytes);

static void BM_Framer(benchmark::State& state)
{
    RunReceivePath<FramerOnly>(state);
}
BENCHMARK(BM_Framer);

static void BM_FramerAndVerifyChecksum(benchmark::State& state)
{
    RunReceivePath<WithChecksum>(state);
}
BENCHMARK(BM_FramerAndVerifyChecksum);

// The same stream fed one byte at a time through ProcessByte, for comparison.
static void BM_FramerByteAtATime(benchmark::State& state)
{
    const std::vector<uint8_t>& stream = Stream();
    NullTransport transport;
    FramerOnly protocol;
    protocol.setCommsIF(&transport);
    protocol.initialise(1000);
    cRxProtocol* pFramer = transport.getProtocol();
    for (auto _ : state)
        for (uint8_t b : stream)
            pFramer->ProcessByte(b);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
}
BENCHMARK(BM_FramerByteAtATime);
