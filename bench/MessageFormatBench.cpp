#include "RC_Checksum.h"
#include "RC_Frame.h"
#include "RC_ItemValue.h"
#include "RC_Payload.h"

#include <benchmark/benchmark.h>
#include <cstring>

// Baseline: copying the bytes of a typical short command frame.
static void BM_Baseline_CopyFrame(benchmark::State& state)
{
    const uint8_t source[7] = {0x10, 0x05, 0x00, 0x02, 0x03, 0x07, 0x21};
    uint8_t target[7];
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(source);
        std::memcpy(target, source, sizeof(target));
        benchmark::DoNotOptimize(target);
    }
}
BENCHMARK(BM_Baseline_CopyFrame);

// Building a one-item U16 command: payload, header and checksum.
static void BM_BuildU16Command(benchmark::State& state)
{
    RC_Frame frame;
    uint16_t nValue = 0;
    for (auto _ : state)
    {
        RC_Payload payload;
        payload.AddU16(3, nValue++);
        frame.BuildCommand(RC_Variant::LongFrames, 5, 2, payload);
        benchmark::DoNotOptimize(frame.Data());
    }
}
BENCHMARK(BM_BuildU16Command);

// Decoding a status payload of ten U32 values into their holders.
static void BM_DecodeTenU32(benchmark::State& state)
{
    uint8_t payload[40];
    for (size_t i = 0; i < sizeof(payload); ++i)
        payload[i] = static_cast<uint8_t>(i);
    RC_U32Value holders[10];
    for (auto _ : state)
    {
        size_t nPos = 0;
        for (RC_U32Value& holder : holders)
        {
            size_t nConsumed = 0;
            holder.Decode(payload, nPos, sizeof(payload), nConsumed);
            nPos += nConsumed;
        }
        benchmark::DoNotOptimize(holders[9].Get());
    }
}
BENCHMARK(BM_DecodeTenU32);
