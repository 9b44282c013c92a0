#include "PageItem.h"
#include "RC_ItemValue.h"
#include "cPlotSampler.h"
#include "cPlotStore.h"

#include <chrono>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

// A series keeps its samples in time order, drops the oldest past its limit
// and anything older than the prune time; a sample from the past is refused.
TEST(PlotStore, SeriesKeepASlidingWindowOfBoundedSize)
{
    cPlotStore store(4);
    const uint32_t nA = store.AddSeries("A");
    const uint32_t nB = store.AddSeries("B");
    EXPECT_NE(nA, nB);
    for (int n = 0; n < 6; ++n)
        store.Add(nA, n, n * 10.0);
    store.Add(nA, 2.5, -1.0);  // from the past
    store.Add(nB, 1.0, 7.0);
    store.Add(99, 1.0, 7.0);   // no such series
    const cPlotStore::Series* pA = store.Find(nA);
    ASSERT_TRUE(pA);
    ASSERT_EQ(pA->samples.size(), 4u);
    EXPECT_EQ(pA->samples.front().dTime, 2.0);
    EXPECT_EQ(pA->samples.back().dValue, 50.0);

    store.Prune(3.5);
    EXPECT_EQ(store.Find(nA)->samples.size(), 2u);
    EXPECT_TRUE(store.Find(nB)->samples.empty());
    double dLow = 0.0;
    double dHigh = 0.0;
    ASSERT_TRUE(store.ValueRange(0.0, 10.0, dLow, dHigh));
    EXPECT_EQ(dLow, 40.0);
    EXPECT_EQ(dHigh, 50.0);
    EXPECT_FALSE(store.ValueRange(6.0, 10.0, dLow, dHigh));

    store.RemoveSeries(nA);
    EXPECT_EQ(store.Find(nA), nullptr);
    EXPECT_EQ(store.AddSeries("C"), nB + 1) << "ids are not reused";
}

// Many samples reduce to one column per pixel holding first, lowest, highest
// and last; samples outside the span and empty columns are left out.
TEST(PlotStore, DecimationKeepsTheEnvelopeOfEachColumn)
{
    std::deque<cPlotStore::Sample> samples;
    for (int n = 0; n < 1000; ++n)
        samples.push_back({n * 0.01, static_cast<double>(n % 7)});  // 0..9.99 s
    const auto columns = cPlotStore::Decimate(samples, 2.0, 6.0, 4);
    ASSERT_EQ(columns.size(), 4u);
    for (const cPlotStore::Column& column : columns)
    {
        EXPECT_TRUE(column.bAny);
        EXPECT_EQ(column.dMin, 0.0);
        EXPECT_EQ(column.dMax, 6.0);
    }
    EXPECT_EQ(columns[0].dFirst, 200 % 7);
    EXPECT_EQ(columns[3].dLast, 600 % 7);  // the sample at the span's end counts

    const auto sparse = cPlotStore::Decimate({{1.0, 5.0}, {9.0, 6.0}}, 0.0, 10.0, 10);
    EXPECT_TRUE(sparse[1].bAny);
    EXPECT_FALSE(sparse[5].bAny);
    EXPECT_EQ(sparse[9].dFirst, 6.0);
    EXPECT_TRUE(cPlotStore::Decimate(samples, 5.0, 5.0, 10)[0].bAny == false);
}

// The CSV has a row per distinct time with each series in its column, empty
// where a series has no sample then; labels that need it are quoted and
// large integers are written whole.
TEST(PlotStore, CsvMergesSeriesByTime)
{
    cPlotStore store;
    const uint32_t nA = store.AddSeries("Gate width");
    const uint32_t nB = store.AddSeries("Az, \"rate\"");
    store.Add(nA, 1.0, 300.0);
    store.Add(nB, 1.0, 1.5);
    store.Add(nA, 2.0, 4000000000.0);
    store.Add(nB, 3.0, -0.25);
    std::ostringstream out;
    store.WriteCsv(out, [](double dTime) { return "t" + std::to_string(static_cast<int>(dTime)); });
    EXPECT_EQ(out.str(), "Time,Gate width,\"Az, \"\"rate\"\"\"\n"
                         "t1,300,1.5\n"
                         "t2,4000000000,\n"
                         "t3,,-0.25\n");
}

// Every number type reads as a number; text and U128 are not plotted.
TEST(PlotSampler, NumbersOfEveryTypeAndNothingElse)
{
    const std::pair<std::unique_ptr<RC_ItemValue>, double> kValues[] = {
        {std::make_unique<RC_ByteValue>(200), 200.0},
        {std::make_unique<RC_U16Value>(65000), 65000.0},
        {std::make_unique<RC_S16Value>(-1234), -1234.0},
        {std::make_unique<RC_U32Value>(4000000000u), 4000000000.0},
        {std::make_unique<RC_S32Value>(-7), -7.0},
        {std::make_unique<RC_U64Value>(1ull << 40), 1099511627776.0},
        {std::make_unique<RC_S64Value>(-(1ll << 40)), -1099511627776.0},
        {std::make_unique<RC_FloatValue>(2.5f), 2.5},
        {std::make_unique<RC_DoubleValue>(-0.125), -0.125},
        {std::make_unique<RC_FixedValue>(-4096 / 4), -0.25},
    };
    for (const auto& [pValue, dExpected] : kValues)
    {
        double dValue = 0.0;
        EXPECT_TRUE(cPlotSampler::IsPlottable(pValue->Type()));
        ASSERT_TRUE(cPlotSampler::NumericValue(*pValue, dValue));
        EXPECT_DOUBLE_EQ(dValue, dExpected);
    }
    double dValue = 0.0;
    EXPECT_FALSE(cPlotSampler::IsPlottable(RC_DataType::String));
    EXPECT_FALSE(cPlotSampler::IsPlottable(RC_DataType::U128));
    EXPECT_FALSE(cPlotSampler::NumericValue(RC_StringValue("12"), dValue));
    EXPECT_FALSE(cPlotSampler::NumericValue(RC_U128Value(), dValue));
}

// An update of the item's subsystem takes a sample once its holder has held a
// value; the holder's new-value flag is left for the page dialogs. Other
// subsystems, text items and removed series take none.
TEST(PlotSampler, SamplesOnUpdatesOfTheItemsSubsystem)
{
    PageItem gate = PageItem::Make(3, 0, 2, RC_DataType::U16, PageItem::kReadWrite, "Gate");
    PageItem name = PageItem::Make(3, 0, 9, RC_DataType::String, PageItem::kReadWrite, "Name");
    cPlotSampler sampler;
    sampler.Add(1, 3, gate.pValue.get());
    sampler.Add(2, 3, name.pValue.get());
    std::vector<cPlotSampler::Pending> pending;

    sampler.OnSubsystemUpdated(3, 1.0);
    sampler.Drain(pending);
    EXPECT_TRUE(pending.empty()) << "no value received yet";

    static_cast<RC_U16Value&>(*gate.pValue).Set(300);
    sampler.OnSubsystemUpdated(4, 2.0);
    sampler.OnSubsystemUpdated(3, 3.0);
    EXPECT_TRUE(gate.pValue->IsValid());
    gate.pValue->ClearValid();  // a page dialog showed it
    sampler.OnSubsystemUpdated(3, 4.0);
    sampler.Drain(pending);
    ASSERT_EQ(pending.size(), 2u);
    EXPECT_EQ(pending[0].nSeries, 1u);
    EXPECT_EQ(pending[0].dTime, 3.0);
    EXPECT_EQ(pending[0].dValue, 300.0);
    EXPECT_EQ(pending[1].dTime, 4.0);

    sampler.Remove(1);
    sampler.OnSubsystemUpdated(3, 5.0);
    sampler.Drain(pending);
    EXPECT_TRUE(pending.empty());
}

// The receive thread samples while the window's thread drains: every sample
// arrives once, in order; a window that stops draining costs a bounded queue.
TEST(PlotSampler, ReceiveThreadAndWindowThreadMeetThroughTheQueue)
{
    PageItem gate = PageItem::Make(3, 0, 2, RC_DataType::U32, PageItem::kReadOnly, "Gate");
    cPlotSampler sampler;
    sampler.Add(1, 3, gate.pValue.get());
    constexpr uint32_t kCount = 20000;
    std::thread receiver([&] {
        for (uint32_t n = 1; n <= kCount; ++n)
        {
            static_cast<RC_U32Value&>(*gate.pValue).Set(n);
            sampler.OnSubsystemUpdated(3, n);
        }
    });
    std::vector<cPlotSampler::Pending> pending;
    std::vector<double> seen;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (seen.size() < kCount && std::chrono::steady_clock::now() < deadline)
    {
        sampler.Drain(pending);
        for (const auto& sample : pending)
            seen.push_back(sample.dValue);
    }
    receiver.join();
    ASSERT_EQ(seen.size(), kCount);
    for (uint32_t n = 0; n < kCount; ++n)
        ASSERT_EQ(seen[n], n + 1.0);

    for (size_t n = 0; n < cPlotSampler::kMostPending + 10; ++n)
        sampler.OnSubsystemUpdated(3, 1e6 + n);
    EXPECT_EQ(sampler.Dropped(), 10u);
    sampler.Drain(pending);
    EXPECT_EQ(pending.size(), cPlotSampler::kMostPending);
}
