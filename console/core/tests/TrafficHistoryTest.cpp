#include "TempDir.h"
#include "cTrafficHistory.h"
#include "cTrafficLogReader.h"

#include <gtest/gtest.h>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;
using Clock = cTrafficHistory::Clock;
using namespace std::chrono_literals;

cTrafficTap::Frame Frame(const Bytes& bytes, Clock::time_point when, cTrafficTap::Direction eDirection = cTrafficTap::Direction::kRx,
                         cTrafficTap::Link eLink = cTrafficTap::Link::kPages)
{
    cTrafficTap::Frame frame;
    frame.steady = when;
    frame.wall = std::chrono::system_clock::now();
    frame.eLink = eLink;
    frame.eDirection = eDirection;
    frame.nLength = static_cast<uint32_t>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), frame.bytes.begin());
    return frame;
}

const cTrafficHistory::Figure* Find(const std::vector<cTrafficHistory::Figure>& figures, cTrafficTap::Direction eDirection,
                                    uint8_t nSync, uint8_t nSubSystem)
{
    for (const cTrafficHistory::Figure& figure : figures)
        if (figure.eDirection == eDirection && figure.nSync == nSync && figure.nSubSystem == nSubSystem)
            return &figure;
    return nullptr;
}
} // namespace

// The history keeps the last 10 000 frames, numbered in order, whatever
// comes; once full its memory stays as it was.
TEST(TrafficHistory, KeepsTheLastTenThousandWithFlatMemory)
{
    cTrafficHistory history;
    const Clock::time_point start = Clock::now();
    auto bytesHeld = [&] {
        size_t nBytes = 0;
        for (size_t n = 0; n < history.Size(); ++n)
            nBytes += history.At(n).bytes.capacity();
        return nBytes;
    };
    for (uint32_t n = 0; n < 10050; ++n)
        history.Add(Frame({0x10, static_cast<uint8_t>(n % 7), 0x40, static_cast<uint8_t>(n), 0}, start));
    ASSERT_EQ(history.Size(), cTrafficHistory::kCapacity);
    EXPECT_EQ(history.FirstNumber(), 50u);
    EXPECT_EQ(history.EndNumber(), 10050u);
    EXPECT_EQ(history.At(0).nNumber, 50u);
    EXPECT_EQ(history.At(0).bytes[3], 50);
    EXPECT_EQ(history.Find(49), nullptr);
    EXPECT_EQ(history.Find(10049)->bytes[3], static_cast<uint8_t>(10049));
    EXPECT_EQ(history.Find(10050), nullptr);

    const size_t nHeld = bytesHeld();
    for (uint32_t n = 0; n < 30000; ++n)
        history.Add(Frame({0x10, 1, 0x40, 3, 0}, start));
    EXPECT_EQ(history.Size(), cTrafficHistory::kCapacity);
    EXPECT_EQ(bytesHeld(), nHeld);

    // Cleared, nothing is kept but the numbering and the figures go on.
    history.Clear();
    EXPECT_EQ(history.Size(), 0u);
    EXPECT_EQ(history.FirstNumber(), history.EndNumber());
    EXPECT_EQ(history.FramesCounted(), 40050u);
}

// Per link, direction and subsystem: frames, bytes, the rate over the last
// whole second and when the last came. Frames that pass while the table is
// held count but are not kept.
TEST(TrafficHistory, FiguresPerSubsystemAndDirection)
{
    cTrafficHistory history;
    const Clock::time_point second = Clock::time_point(std::chrono::duration_cast<Clock::duration>(1000s));
    for (int n = 0; n < 50; ++n)
        history.Add(Frame({0x10, 5, 0x40, 0, 0, 0, 0, 0, 0, 0}, second + n * 10ms));
    for (int n = 0; n < 20; ++n)
        history.Add(Frame({0x10, 5, 0x00, 0, 0}, second + n * 40ms, cTrafficTap::Direction::kTx));
    history.Add(Frame({0x77, 7, 0, 20}, second + 990ms, cTrafficTap::Direction::kRx, cTrafficTap::Link::kEo), false);

    // During the second the rate is not known yet; one second on it is that second's count.
    std::vector<cTrafficHistory::Figure> figures = history.Figures(second + 500ms);
    ASSERT_EQ(figures.size(), 3u);
    const cTrafficHistory::Figure* pRx = Find(figures, cTrafficTap::Direction::kRx, 0x10, 5);
    ASSERT_NE(pRx, nullptr);
    EXPECT_EQ(pRx->nFrames, 50u);
    EXPECT_EQ(pRx->nBytes, 500u);
    EXPECT_EQ(pRx->dFramesPerSecond, 0.0);
    EXPECT_EQ(pRx->lastSeen, second + 490ms);

    figures = history.Figures(second + 1500ms);
    pRx = Find(figures, cTrafficTap::Direction::kRx, 0x10, 5);
    EXPECT_EQ(pRx->dFramesPerSecond, 50.0);
    EXPECT_EQ(pRx->dBytesPerSecond, 500.0);
    const cTrafficHistory::Figure* pTx = Find(figures, cTrafficTap::Direction::kTx, 0x10, 5);
    ASSERT_NE(pTx, nullptr);
    EXPECT_EQ(pTx->dFramesPerSecond, 20.0);
    const cTrafficHistory::Figure* pEo = Find(figures, cTrafficTap::Direction::kRx, 0x77, 7);
    ASSERT_NE(pEo, nullptr);
    EXPECT_EQ(pEo->eLink, cTrafficTap::Link::kEo);
    EXPECT_EQ(pEo->nFrames, 1u);

    // A second later with nothing new, and a gap of several seconds, give no rate.
    EXPECT_EQ(Find(history.Figures(second + 2500ms), cTrafficTap::Direction::kRx, 0x10, 5)->dFramesPerSecond, 0.0);
    history.Add(Frame({0x10, 5, 0x40, 0, 0}, second + 5s));
    EXPECT_EQ(Find(history.Figures(second + 5500ms), cTrafficTap::Direction::kRx, 0x10, 5)->dFramesPerSecond, 0.0);
    EXPECT_EQ(Find(history.Figures(second + 6100ms), cTrafficTap::Direction::kRx, 0x10, 5)->dFramesPerSecond, 1.0);

    EXPECT_EQ(history.FramesCounted(), 72u);
    EXPECT_EQ(history.NotKept(), 1u);
    EXPECT_EQ(history.Size(), 71u);
}

// Saved, the frames kept read back with the traffic log reader, in order,
// with their directions, bytes and times from the first frame; an unwritable
// path is an error that names it.
TEST(TrafficHistory, SavedLogReadsBack)
{
    TempDir dir;
    cTrafficHistory history;
    const Clock::time_point start = Clock::now();
    const Bytes status = {0x10, 5, 0x40, 3, 2, 0, 42, 0x9B};
    const Bytes command = {0x10, 5, 0x00, 2, 0x82, 0x99};
    const Bytes eo = {0x77, 7, 0, 15, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x85};
    history.Add(Frame(status, start));
    history.Add(Frame(command, start + 250ms, cTrafficTap::Direction::kTx));
    // Taken on another thread a moment earlier: the log's time does not go back.
    history.Add(Frame(eo, start + 240ms, cTrafficTap::Direction::kRx, cTrafficTap::Link::kEo));
    history.Add(Frame(status, start + 1300ms));

    std::string sError;
    const std::string sPath = dir.File("saved.txt");
    ASSERT_TRUE(history.Save(sPath, sError)) << sError;
    cTrafficLogReader reader;
    ASSERT_TRUE(reader.Read(sPath)) << reader.Error();
    EXPECT_EQ(reader.Format(), cTrafficLogReader::eFormat::BufferLog);
    const std::vector<cTrafficLogReader::Record>& records = reader.Records();
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].sComment, "Rx Msg");
    EXPECT_EQ(records[0].bytes, status);
    EXPECT_DOUBLE_EQ(records[0].dSeconds, 0.0);
    EXPECT_EQ(records[1].sComment, "Tx Msg");
    EXPECT_EQ(records[1].bytes, command);
    EXPECT_DOUBLE_EQ(records[1].dSeconds, 0.25);
    EXPECT_EQ(records[2].bytes, eo);
    EXPECT_DOUBLE_EQ(records[2].dSeconds, 0.25);
    EXPECT_DOUBLE_EQ(records[3].dSeconds, 1.3);
    EXPECT_EQ(reader.Received().size(), 3u);
    EXPECT_TRUE(reader.Warnings().empty());

    EXPECT_FALSE(history.Save(dir.File("no-such-folder/saved.txt"), sError));
    EXPECT_NE(sError.find("no-such-folder/saved.txt"), std::string::npos);
}
