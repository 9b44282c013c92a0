// The bad network driven directly, with fixed seeds: what it lets through,
// in which order and when.
#include "SimTestSupport.h"
#include "WaitFor.h"
#include "cSimImpairment.h"

#include <algorithm>
#include <bitset>
#include <numeric>
#include <set>
#include <boost/asio/executor_work_guard.hpp>
#include <gtest/gtest.h>
#include <thread>

using namespace std::chrono_literals;
using Bytes = cSimImpairment::Bytes;
using Clock = std::chrono::steady_clock;

namespace
{
// An impairment on a running io_context, recording what it sends (with the
// time) and stopped in the order its owner must keep.
class Rig
{
public:
    explicit Rig(const cSimImpairment::Settings& settings, uint64_t nSeed = 1, size_t nKeepBytes = 0)
        : m_Guard(m_Io.get_executor()),
          m_pImpairment(std::make_unique<cSimImpairment>(
              settings, nSeed, m_Io,
              [this](const Bytes& datagram) {
                  std::lock_guard<std::mutex> lock(m_Mutex);
                  m_Sent.push_back(datagram);
                  m_Times.push_back(Clock::now());
              },
              nKeepBytes)),
          m_Thread([this] { m_Io.run(); })
    {
    }
    ~Rig()
    {
        m_pImpairment->Close();
        m_Guard.reset();
        m_Io.stop();
        m_Thread.join();
        m_pImpairment.reset();
    }

    cSimImpairment& Impairment() { return *m_pImpairment; }
    void PassNumbers(uint32_t nFrom, uint32_t nCount)
    {
        for (uint32_t n = nFrom; n < nFrom + nCount; ++n)
            m_pImpairment->Pass(Numbered(n));
    }
    std::vector<Bytes> Sent()
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return m_Sent;
    }
    std::vector<Clock::time_point> Times()
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return m_Times;
    }
    bool WaitForSent(size_t nCount) { return WaitFor([&] { return Sent().size() >= nCount; }, 20s); }

    static Bytes Numbered(uint32_t n)
    {
        return {static_cast<uint8_t>(n >> 24), static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 8),
                static_cast<uint8_t>(n), 0x55, 0xAA};
    }
    static uint32_t Number(const Bytes& datagram)
    {
        return static_cast<uint32_t>(datagram[0]) << 24 | static_cast<uint32_t>(datagram[1]) << 16 |
               static_cast<uint32_t>(datagram[2]) << 8 | datagram[3];
    }
    std::vector<uint32_t> Numbers()
    {
        std::vector<uint32_t> numbers;
        for (const Bytes& datagram : Sent())
            numbers.push_back(Number(datagram));
        return numbers;
    }

private:
    boost::asio::io_context m_Io;
    boost::asio::executor_work_guard<boost::asio::io_context::executor_type> m_Guard;
    std::mutex m_Mutex;
    std::vector<Bytes> m_Sent;
    std::vector<Clock::time_point> m_Times;
    std::unique_ptr<cSimImpairment> m_pImpairment;
    std::thread m_Thread;
};

cSimImpairment::Settings Loss(double dLoss, int32_t nBurst)
{
    cSimImpairment::Settings settings;
    settings.dLoss = dLoss;
    settings.nBurst = nBurst;
    return settings;
}
} // namespace

// --loss keeps its share with bursts too, and every gap is whole bursts.
TEST(SimImpairment, LossKeepsItsShareAndComesInBurstsOfN)
{
    constexpr uint32_t kCount = 10000;
    for (int32_t nBurst : {1, 4})
    {
        Rig rig(Loss(0.2, nBurst), 11);
        rig.PassNumbers(0, kCount);
        const std::vector<uint32_t> numbers = rig.Numbers();
        const double dLost = 1.0 - static_cast<double>(numbers.size()) / kCount;
        EXPECT_GT(dLost, 0.16) << "bursts of " << nBurst;
        EXPECT_LT(dLost, 0.24) << "bursts of " << nBurst;
        uint32_t nExpected = 0;
        for (uint32_t n : numbers)
        {
            EXPECT_EQ((n - nExpected) % static_cast<uint32_t>(nBurst), 0u) << "gap before " << n;
            nExpected = n + 1;
        }
        EXPECT_EQ(rig.Impairment().Get().nLost, kCount - numbers.size());
    }
    Rig all(Loss(1.0, 3));
    all.PassNumbers(0, 100);
    EXPECT_TRUE(all.Sent().empty());
}

// Duplicates follow their original; a corrupted datagram keeps its length and
// differs by one bit, never in the bytes kept, on every other byte in time.
TEST(SimImpairment, DuplicatesGoTwiceAndCorruptionFlipsOneBit)
{
    cSimImpairment::Settings twice;
    twice.dDuplicate = 1.0;
    Rig duplicated(twice);
    duplicated.PassNumbers(0, 50);
    std::vector<uint32_t> expected;
    for (uint32_t n = 0; n < 50; ++n)
        expected.insert(expected.end(), {n, n});
    EXPECT_EQ(duplicated.Numbers(), expected);

    cSimImpairment::Settings flip;
    flip.dCorrupt = 1.0;
    Rig corrupted(flip, 5, 2);
    const Bytes original{0x99, 0x07, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60};
    std::set<size_t> hit;
    for (int i = 0; i < 500; ++i)
        corrupted.Impairment().Pass(original);
    corrupted.Impairment().Pass(Bytes{0x42});  // shorter than the bytes kept: its only byte
    const std::vector<Bytes> sent = corrupted.Sent();
    ASSERT_EQ(sent.size(), 501u);
    for (size_t i = 0; i < 500; ++i)
    {
        ASSERT_EQ(sent[i].size(), original.size());
        int nBits = 0;
        for (size_t nByte = 0; nByte < original.size(); ++nByte)
            if (const int nFlipped = static_cast<int>(std::bitset<8>(sent[i][nByte] ^ original[nByte]).count()))
            {
                nBits += nFlipped;
                hit.insert(nByte);
            }
        EXPECT_EQ(nBits, 1) << "datagram " << i;
    }
    EXPECT_EQ(hit, (std::set<size_t>{2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(std::bitset<8>(sent[500][0] ^ 0x42).count(), 1u);
}

// A reordered datagram changes places with the one after it; the last one,
// with none after it, still leaves after the hold limit.
TEST(SimImpairment, ReorderSwapsNeighbours)
{
    cSimImpairment::Settings settings;
    settings.dReorder = 0.3;
    Rig rig(settings, 3);
    constexpr uint32_t kCount = 2000;
    rig.PassNumbers(0, kCount);
    ASSERT_TRUE(rig.WaitForSent(kCount));
    const std::vector<uint32_t> numbers = rig.Numbers();
    ASSERT_EQ(numbers.size(), kCount);
    uint32_t nSwaps = 0;
    for (size_t i = 0; i < numbers.size(); ++i)
    {
        if (numbers[i] == i)
            continue;
        ASSERT_TRUE(i + 1 < numbers.size() && numbers[i] == i + 1 && numbers[i + 1] == i) << "at " << i;
        ++nSwaps;
        ++i;
    }
    EXPECT_GT(nSwaps, kCount / 8);

    // Nothing follows the held one: it goes on its own.
    cSimImpairment::Settings always;
    always.dReorder = 1.0;
    Rig lone(always);
    lone.PassNumbers(7, 1);
    ASSERT_TRUE(lone.WaitForSent(1));
    EXPECT_EQ(lone.Numbers(), std::vector<uint32_t>{7});
}

// A delayed datagram is not sent before its time; with jitter they leave by
// due time, so two batches further apart than the jitter never mix.
TEST(SimImpairment, DelayAndJitterSendByDueTime)
{
    cSimImpairment::Settings delay;
    delay.nDelayMs = 40;
    Rig delayed(delay);
    const Clock::time_point passed = Clock::now();
    delayed.PassNumbers(0, 100);
    ASSERT_TRUE(delayed.WaitForSent(100));
    std::vector<uint32_t> inOrder(100);
    std::iota(inOrder.begin(), inOrder.end(), 0u);
    EXPECT_EQ(delayed.Numbers(), inOrder);
    EXPECT_GE(delayed.Times().front() - passed, 40ms);

    cSimImpairment::Settings jitter;
    jitter.nJitterMs = 30;
    Rig jittered(jitter, 9);
    jittered.PassNumbers(0, 200);
    std::this_thread::sleep_for(40ms);  // sets the batches apart, waits for nothing
    jittered.PassNumbers(200, 200);
    ASSERT_TRUE(jittered.WaitForSent(400));
    const std::vector<uint32_t> numbers = jittered.Numbers();
    EXPECT_TRUE(std::all_of(numbers.begin(), numbers.begin() + 200, [](uint32_t n) { return n < 200; }));
    EXPECT_FALSE(std::is_sorted(numbers.begin(), numbers.begin() + 200)) << "jitter reorders";

    // The video's way: delayed as much, but never overtaken.
    jitter.bJitterKeepsOrder = true;
    Rig queued(jitter, 9);
    const Clock::time_point queuedAt = Clock::now();
    queued.PassNumbers(0, 200);
    ASSERT_TRUE(queued.WaitForSent(200));
    std::vector<uint32_t> first(200);
    std::iota(first.begin(), first.end(), 0u);
    EXPECT_EQ(queued.Numbers(), first);
    EXPECT_GT(queued.Times().back() - queuedAt, 5ms) << "the jitter still delays";
}

// One seed, one run: every decision repeats; another seed, or another link or
// direction of the same seed, decides otherwise.
TEST(SimImpairment, TheSameSeedRepeatsTheDecisions)
{
    cSimImpairment::Settings settings = Loss(0.2, 2);
    settings.dDuplicate = 0.2;
    settings.dCorrupt = 0.2;
    settings.dReorder = 0.2;
    auto run = [&](uint64_t nSeed) {
        Rig rig(settings, nSeed);
        rig.PassNumbers(0, 2000);
        rig.Impairment().Close();  // the last one may be held
        return rig.Sent();
    };
    const std::vector<Bytes> first = run(cSimImpairment::SeedFor(42, 0, 0));
    EXPECT_EQ(run(cSimImpairment::SeedFor(42, 0, 0)), first);
    EXPECT_NE(run(cSimImpairment::SeedFor(43, 0, 0)), first);
    EXPECT_NE(run(cSimImpairment::SeedFor(42, 0, 1)), first);
    EXPECT_NE(run(cSimImpairment::SeedFor(42, 1, 0)), first);
}

// Close drops what is held and sends nothing afterwards, while its timer is
// still armed on the running io_context.
TEST(SimImpairment, CloseDropsWhatIsHeld)
{
    cSimImpairment::Settings settings;
    settings.nDelayMs = 100;
    settings.dReorder = 0.5;
    Rig rig(settings);
    rig.PassNumbers(0, 20);
    rig.Impairment().Close();
    rig.PassNumbers(20, 20);
    // Past every due time, had they stayed.
    ASSERT_FALSE(WaitFor([&] { return !rig.Sent().empty(); }, 400ms));
    EXPECT_EQ(rig.Impairment().Get().nSent, 0u);
    EXPECT_EQ(rig.Impairment().Get().nPassed, 20u);
}

// In the simulator, both ways delayed: a command is answered after both
// delays, its answer twice; stopped with datagrams held both ways, it sends
// nothing more.
TEST(SimImpairment, TheSimulatorAnswersThroughItAndStopsWithDatagramsHeld)
{
    simtest::SimWithPeers sim(1);
    sim.Options().m_bHeartbeat = false;
    sim.Options().m_ImpairRx.nDelayMs = 50;
    sim.Options().m_ImpairTx.nDelayMs = 2000;  // long enough to stop the simulator within it
    sim.Options().m_ImpairTx.dDuplicate = 1.0;
    ASSERT_TRUE(sim.Start());
    const Bytes query = simtest::WithChecksum({0x99, 0x05, 0x02, 0x00, 0x01, 0x8B});
    const Bytes answer = simtest::WithChecksum({0x99, 0x05, 0x02, 0x00, 0x00, 0x09, 0x0B, 0x00});
    const Clock::time_point sent = Clock::now();
    sim.Send(query);
    EXPECT_EQ(sim.Receive(), answer);
    EXPECT_GE(Clock::now() - sent, 2050ms);
    EXPECT_EQ(sim.Receive(), answer);

    auto queries = [&sim] {
        const std::vector<std::string> events = sim.Events();
        return std::count_if(events.begin(), events.end(),
                             [](const std::string& sEvent) { return sEvent.find("query 5/2/11") != std::string::npos; });
    };
    sim.Send(query);
    ASSERT_TRUE(WaitFor([&] { return queries() == 2; }));
    sim.Send(query);  // held on the way in while the last answer is held on the way out
    sim.Stop();
    EXPECT_FALSE(sim.Receive(300ms)) << "nothing after the stop";
}
