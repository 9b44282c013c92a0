#include "UdpPeer.h"
#include "WaitFor.h"
#include "cRC_IO_Pages.h"
#include "cTrafficTap.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

struct Taken
{
    cTrafficTap::Link eLink;
    cTrafficTap::Direction eDirection;
    bool bChecksumGood;
    Bytes bytes;
};

std::vector<Taken> DrainAll(cTrafficTap& tap)
{
    std::vector<Taken> frames;
    tap.Drain([&](const cTrafficTap::Frame& frame) {
        frames.push_back({frame.eLink, frame.eDirection, frame.bChecksumGood,
                          Bytes(frame.bytes.begin(), frame.bytes.begin() + static_cast<std::ptrdiff_t>(frame.Kept()))});
    });
    return frames;
}

Bytes Framed(Bytes bytes)
{
    uint8_t nSum = 0;
    for (uint8_t b : bytes)
        nSum = static_cast<uint8_t>(nSum + b);
    bytes.push_back(nSum);
    return bytes;
}
} // namespace

// A reader that does not keep up never holds the links up: once every slot
// is taken the frames are counted as not shown and dropped, and the tap takes
// frames again as soon as the reader has drained it, in the order they came.
TEST(TrafficTap, FullPoolCountsFramesNotShownAndNeverWaits)
{
    cTrafficTap tap;
    for (uint32_t n = 0; n < cTrafficTap::kSlots + 100; ++n)
    {
        const uint8_t bytes[4] = {0x10, static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), 0};
        tap.Record(cTrafficTap::Link::kPages, cTrafficTap::Direction::kRx, bytes, 4, true);
    }
    EXPECT_EQ(tap.Recorded(), cTrafficTap::kSlots);
    EXPECT_EQ(tap.NotShown(), 100u);

    // The reader may take a part at a time.
    EXPECT_EQ(tap.Drain([](const cTrafficTap::Frame&) {}, 10), 10u);
    std::vector<Taken> frames = DrainAll(tap);
    ASSERT_EQ(frames.size(), cTrafficTap::kSlots - 10);
    EXPECT_EQ(frames.front().bytes, (Bytes{0x10, 10, 0, 0}));
    EXPECT_EQ(frames.back().bytes, (Bytes{0x10, 0xFF, 0x07, 0}));

    // Nothing, a null frame and an oversized one: the last is kept up to the framer's limit.
    tap.Record(cTrafficTap::Link::kEo, cTrafficTap::Direction::kTx, nullptr, 5, true);
    tap.Record(cTrafficTap::Link::kEo, cTrafficTap::Direction::kTx, frames[0].bytes.data(), 0, true);
    const Bytes huge(5000, 0x77);
    tap.Record(cTrafficTap::Link::kEo, cTrafficTap::Direction::kTx, huge.data(), 5000, false);
    uint32_t nLength = 0;
    size_t nKept = 0;
    EXPECT_EQ(tap.Drain([&](const cTrafficTap::Frame& frame) {
        nLength = frame.nLength;
        nKept = frame.Kept();
    }),
              1u);
    EXPECT_EQ(nLength, 5000u);
    EXPECT_EQ(nKept, cTrafficTap::kMaxBytes);
    EXPECT_EQ(tap.NotShown(), 100u);
}

// Several threads record at once while the reader drains: every frame is
// either read whole or counted as not shown, never torn or lost unnoticed.
TEST(TrafficTap, ConcurrentWritersAndOneReader)
{
    cTrafficTap tap;
    constexpr int kThreads = 3;
    constexpr uint32_t kPerThread = 20000;
    std::atomic<int> nRunning{kThreads};
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t)
    {
        writers.emplace_back([&, t] {
            for (uint32_t n = 0; n < kPerThread; ++n)
            {
                // Length and content follow from the first bytes, so a torn frame shows.
                uint8_t bytes[64];
                const uint8_t nLength = static_cast<uint8_t>(4 + n % 60);
                bytes[0] = static_cast<uint8_t>(t);
                bytes[1] = nLength;
                for (uint8_t i = 2; i < nLength; ++i)
                    bytes[i] = static_cast<uint8_t>(t + i + n);
                bytes[2] = static_cast<uint8_t>(n);
                tap.Record(cTrafficTap::Link::kPages, t == 0 ? cTrafficTap::Direction::kRx : cTrafficTap::Direction::kTx,
                           bytes, nLength, true);
            }
            --nRunning;
        });
    }
    uint64_t nRead = 0;
    uint64_t nTorn = 0;
    auto check = [&](const cTrafficTap::Frame& frame) {
        ++nRead;
        const uint8_t nLength = frame.bytes[1];
        if (frame.nLength != nLength)
            ++nTorn;
        for (uint8_t i = 3; i < nLength; ++i)
            if (frame.bytes[i] != static_cast<uint8_t>(frame.bytes[0] + i + frame.bytes[2]))
                ++nTorn;
    };
    while (nRunning > 0)
        tap.Drain(check);
    for (std::thread& writer : writers)
        writer.join();
    tap.Drain(check);
    EXPECT_EQ(nTorn, 0u);
    EXPECT_EQ(nRead, tap.Recorded());
    EXPECT_EQ(tap.Recorded() + tap.NotShown(), static_cast<uint64_t>(kThreads) * kPerThread);
}

// Attached to the page protocol, the tap sees every whole frame received,
// with its checksum's verdict (a bad one never reaches the decoding but is
// shown), and every frame sent; detached, it sees nothing.
TEST(TrafficTap, PageProtocolFeedsItBothWays)
{
    UdpPeer peer;
    CommsSettings settings;
    settings.nCommsMethod = CommsSettings::kUdp;
    settings.nTxPort = peer.Port();
    settings.nRxPort = FreeUdpPort();
    cRC_IO_Pages pages(RC_Variant::ShortFrames, false);
    ASSERT_TRUE(pages.initialise(settings, "Kestrum"));
    cTrafficTap tap;
    pages.SetTrafficTap(&tap);

    ASSERT_TRUE(pages.SendByte(5, 0, 3, 7));
    peer.Receive();
    const Bytes good = Framed({0x10, 0x05, 0x40, 0x03, 0x03, 0x00, 0x2A});
    Bytes bad = good;
    bad.back() ^= 0xFF;
    peer.SendTo(static_cast<uint16_t>(settings.nRxPort), good);
    peer.SendTo(static_cast<uint16_t>(settings.nRxPort), bad);
    ASSERT_TRUE(WaitFor([&] { return tap.Recorded() == 3; }));
    ASSERT_TRUE(WaitFor([&] { return pages.ChecksumFailures() == 1; }));

    const std::vector<Taken> frames = DrainAll(tap);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].eDirection, cTrafficTap::Direction::kTx);
    EXPECT_EQ(frames[0].bytes, Framed({0x10, 0x05, 0x00, 0x02, 0x03, 0x07}));
    EXPECT_EQ(frames[1].eDirection, cTrafficTap::Direction::kRx);
    EXPECT_EQ(frames[1].eLink, cTrafficTap::Link::kPages);
    EXPECT_TRUE(frames[1].bChecksumGood);
    EXPECT_EQ(frames[1].bytes, good);
    EXPECT_FALSE(frames[2].bChecksumGood);
    EXPECT_EQ(frames[2].bytes, bad);

    pages.SetTrafficTap(nullptr);
    ASSERT_TRUE(pages.SendByte(5, 0, 3, 8));
    peer.Receive();
    const int32_t nBefore = pages.m_nRxCount;
    peer.SendTo(static_cast<uint16_t>(settings.nRxPort), good);
    ASSERT_TRUE(WaitFor([&] { return pages.m_nRxCount > nBefore; }));
    EXPECT_EQ(tap.Recorded(), 3u);
}
