// Status frames with 20 items of mixed types, through the framer, the
// checksum check, the page protocol's decoding and into the items' holders,
// against a bare checksum pass over the same bytes.
#include "NullTransport.h"
#include "RC_Checksum.h"
#include "RC_Frame.h"
#include "RC_Payload.h"
#include "cPageList.h"
#include "cRC_IO_Pages.h"

#include <benchmark/benchmark.h>
#include <vector>

namespace
{
// Twenty items of subsystem 5, cycling through the types a remote
// system reports most.
const RC_DataType kTypes[] = {RC_DataType::Byte, RC_DataType::U16, RC_DataType::S16, RC_DataType::U32,
                              RC_DataType::S32, RC_DataType::Fixed, RC_DataType::Float, RC_DataType::U64,
                              RC_DataType::Double, RC_DataType::String};

// Short frames carry no index, so their items sit at index 0.
cPageList MakePage(RC_Variant eVariant)
{
    cPageList list;
    std::vector<PageItem> items;
    const uint8_t nIndex = eVariant == RC_Variant::ShortFrames ? 0 : 2;
    for (uint8_t i = 0; i < 20; ++i)
        items.push_back(PageItem::Make(5, nIndex, static_cast<uint8_t>(i + 1), kTypes[i % 10], PageItem::kReadOnly, "x"));
    list.AppendPage(std::move(items), "bench", false, -1);
    return list;
}

std::vector<uint8_t> MakeStream(cPageList& list, RC_Variant eVariant)
{
    RC_Payload payload;
    for (PageItem& item : list.Items(0))
    {
        if (item.eType == RC_DataType::String)
            static_cast<RC_StringValue&>(*item.pValue).Set("tracking");
        payload.AddReported(item.nItem, *item.pValue);
    }
    RC_Frame frame;
    frame.BuildStatus(eVariant, 5, list.Items(0)[0].nIndex, 0, payload.Data(), payload.Size());
    std::vector<uint8_t> stream;
    while (stream.size() < (1u << 20))
        stream.insert(stream.end(), frame.Data(), frame.Data() + frame.Size());
    return stream;
}
} // namespace

static void BM_Baseline_ChecksumPass(benchmark::State& state)
{
    cPageList list = MakePage(RC_Variant::LongFrames);
    const std::vector<uint8_t> stream = MakeStream(list, RC_Variant::LongFrames);
    for (auto _ : state)
        benchmark::DoNotOptimize(RC_Checksum(stream.data(), stream.size()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
}
BENCHMARK(BM_Baseline_ChecksumPass);

static void BM_StatusFramesIntoHolders(benchmark::State& state)
{
    const auto eVariant = static_cast<RC_Variant>(state.range(0));
    cPageList list = MakePage(eVariant);
    const std::vector<uint8_t> stream = MakeStream(list, eVariant);
    NullTransport transport;
    cRC_IO_Pages pages(eVariant, false);
    pages.setCommsIF(&transport);
    pages.cCommsIO::initialise(1000);
    pages.m_pPageDefinitions = &list;
    pages.RegisterItems();
    for (auto _ : state)
    {
        for (size_t nPos = 0; nPos < stream.size(); nPos += 1400)
        {
            const size_t nCount = std::min<size_t>(1400, stream.size() - nPos);
            transport.processRxDataDefault(stream.data() + nPos, static_cast<int32_t>(nCount));
        }
    }
    benchmark::DoNotOptimize(list.Items(0)[3].pValue->IsValid());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
    state.SetItemsProcessed(static_cast<int64_t>(pages.m_nRxCount.load()));
    pages.clearCommsIF();
}
BENCHMARK(BM_StatusFramesIntoHolders)->Arg(0)->Arg(1);
