#include "LogCapture.h"
#include "TempDir.h"
#include "cCommsLogger.h"
#include "cRxProtocol.h"

#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

// Collects the frames a framer delivers through a handler of its own.
struct Sink
{
    std::vector<Bytes> frames;
};

MsgDescriptor Descriptor(uint8_t nSync, int32_t nMode, int32_t nLengthPos, int32_t nAdjust, Sink* pSink)
{
    MsgDescriptor descriptor;
    descriptor.nSync = nSync;
    descriptor.nMode = nMode;
    descriptor.nLengthPos = nLengthPos;
    descriptor.nLengthAdjust = nAdjust;
    if (pSink)
        descriptor.fnHandler = [pSink](const uint8_t* pFrame, int32_t nLength, int64_t) {
            pSink->frames.emplace_back(pFrame, pFrame + nLength);
        };
    return descriptor;
}

// The three frame kinds of the system, as the protocol objects load them.
void LoadSystemDescriptors(cRxProtocol& framer, Sink& sink)
{
    ASSERT_EQ(framer.LoadMsgDescriptor(Descriptor(0x10, MsgDescriptor::kOneByteLength, 3, 5, &sink)), 0);
    ASSERT_EQ(framer.LoadMsgDescriptor(Descriptor(0x99, MsgDescriptor::kTwoByteLength, 5, 0, &sink)), 0);
    ASSERT_EQ(framer.LoadMsgDescriptor(Descriptor(0x77, MsgDescriptor::kTwoByteLength, 3, 0, &sink)), 0);
}

std::vector<bool> Feed(cRxProtocol& framer, const Bytes& bytes)
{
    std::vector<bool> results;
    for (uint8_t b : bytes)
        results.push_back(framer.ProcessByte(b));
    return results;
}
} // namespace

// Junk before a sync byte is discarded byte by byte; the frame after it is
// delivered whole after its last byte, and every byte of it is kept.
TEST(RxFramer, DiscardsJunkThenDeliversShortFrame)
{
    cRxProtocol framer;
    Sink sink;
    LoadSystemDescriptors(framer, sink);
    const std::vector<bool> results = Feed(framer, {0x00, 0xFF, 0x10, 0x05, 0x00, 0x01, 0x85, 0x9B});
    EXPECT_EQ(results, (std::vector<bool>{false, false, true, true, true, true, true, true}));
    ASSERT_EQ(sink.frames.size(), 1u);
    EXPECT_EQ(sink.frames[0], (Bytes{0x10, 0x05, 0x00, 0x01, 0x85, 0x9B}));
}

// Back-to-back frames of all three kinds in one block all arrive; the byte
// after each delivered frame is examined as a new first byte.
TEST(RxFramer, DeliversBackToBackFramesOfEveryKind)
{
    cRxProtocol framer;
    Sink sink;
    LoadSystemDescriptors(framer, sink);
    const Bytes shortFrame = {0x10, 0x05, 0x00, 0x03, 0x03, 0x00, 0x2A, 0x45};
    const Bytes longFrame = {0x99, 0x00, 0x01, 0x00, 0x00, 0x09, 0x03, 0x00, 0xA6};
    const Bytes eoFrame = {0x77, 0x01, 0x00, 0x06, 0xAB, 0x23};
    Bytes stream = shortFrame;
    stream.insert(stream.end(), longFrame.begin(), longFrame.end());
    stream.insert(stream.end(), eoFrame.begin(), eoFrame.end());
    stream.insert(stream.end(), shortFrame.begin(), shortFrame.end());
    Feed(framer, stream);
    ASSERT_EQ(sink.frames.size(), 4u);
    EXPECT_EQ(sink.frames[0], shortFrame);
    EXPECT_EQ(sink.frames[1], longFrame);
    EXPECT_EQ(sink.frames[2], eoFrame);
    EXPECT_EQ(sink.frames[3], shortFrame);
}

// A long frame claiming 1023 bytes is dropped when its low length byte arrives
// and the next byte may start a new frame.
TEST(RxFramer, OversizedLengthIsDroppedAndHuntingResumes)
{
    cRxProtocol framer;
    Sink sink;
    LoadSystemDescriptors(framer, sink);
    Feed(framer, {0x99, 0x05, 0x02, 0x00, 0x03, 0xFF});
    EXPECT_EQ(framer.State(), cRxProtocol::kHunting);
    Feed(framer, {0x10, 0x05, 0x00, 0x01, 0x85, 0x9B});
    ASSERT_EQ(sink.frames.size(), 1u);
    EXPECT_EQ(sink.frames[0].size(), 6u);

    // 1022 is the largest frame accepted.
    Bytes big = {0x99, 0x05, 0x02, 0x00, 0x03, 0xFE};
    big.resize(1022, 0x00);
    Feed(framer, big);
    ASSERT_EQ(sink.frames.size(), 2u);
    EXPECT_EQ(sink.frames[1].size(), 1022u);
}

// A length field shorter than the frame's own header is never handed on: the
// frame is logged as a skip and the framer hunts again, reading nothing beyond
// what it collected.
TEST(RxFramer, LengthShorterThanHeaderIsSkipped)
{
    TempDir dir;
    auto pLogger = std::make_shared<cCommsLogger>(dir.File("skip_CommsLog.DEBUG.txt"));
    pLogger->LogStart();
    cRxProtocol framer;
    framer.SetLogger(pLogger.get());
    Sink sink;
    LoadSystemDescriptors(framer, sink);

    for (uint16_t nLength : {0, 1, 3, 6})  // long frame: header of six bytes plus the checksum
    {
        Feed(framer, {0x99, 0x05, 0x02, 0x00, static_cast<uint8_t>(nLength >> 8), static_cast<uint8_t>(nLength)});
        EXPECT_EQ(framer.State(), cRxProtocol::kHunting) << nLength;
    }
    for (uint8_t nLength : {0, 3, 4})  // EO frame: four header bytes plus the checksum
    {
        Feed(framer, {0x77, 0x01, 0x00, nLength});
        EXPECT_EQ(framer.State(), cRxProtocol::kHunting) << int(nLength);
    }
    Feed(framer, {0x99, 0x00, 0x01, 0x00, 0x00, 0x07, 0xA1});  // the shortest real long frame
    ASSERT_EQ(sink.frames.size(), 1u);
    EXPECT_EQ(sink.frames[0].size(), 7u);
    pLogger->LogStop();
    const std::string sLog = dir.Read("skip_CommsLog.DEBUG.txt");
    size_t nSkips = 0;
    for (size_t nPos = 0; (nPos = sLog.find(",Rx Skip,", nPos)) != std::string::npos; ++nPos)
        ++nSkips;
    EXPECT_EQ(nSkips, 7u) << sLog;
    EXPECT_EQ(framer.FramesSkipped(), 7u);
    EXPECT_NE(sLog.find(",Rx Msg,007,0x99,0x00,0x01,0x00,0x00,0x07,0xa1\n"), std::string::npos) << sLog;
}

// A sync byte in place of an expected second byte restarts the frame there.
TEST(RxFramer, SyncInsideUnmatchedFrameRestartsIt)
{
    cRxProtocol framer;
    Sink sink;
    MsgDescriptor checked = Descriptor(0x10, MsgDescriptor::kOneByteLength, 3, 5, &sink);
    checked.bCheckSecondByte = true;
    checked.nSecondByte = 0x05;
    ASSERT_EQ(framer.LoadMsgDescriptor(checked), 0);
    const std::vector<bool> results = Feed(framer, {0x10, 0x10, 0x05, 0x00, 0x01, 0x85, 0x9B, 0x10, 0x33});
    ASSERT_EQ(sink.frames.size(), 1u);
    EXPECT_EQ(sink.frames[0], (Bytes{0x10, 0x05, 0x00, 0x01, 0x85, 0x9B}));
    EXPECT_TRUE(results[1]);   // restart
    EXPECT_FALSE(results[8]);  // 0x33 is no second byte and no sync: dropped
    EXPECT_EQ(framer.FramesSkipped(), 1u);  // the restart; a lone sync byte dropped is no frame
}

// Each frame goes to the handler of the descriptor that matched it, chosen by
// first and second byte; a descriptor loaded while a frame is being collected
// leaves that frame with the descriptor it started with.
TEST(RxFramer, FramesReachTheHandlerOfTheirOwnDescriptor)
{
    cRxProtocol framer;
    Sink subsystem5;
    Sink subsystem6;
    Sink longFrames;
    MsgDescriptor five = Descriptor(0x10, MsgDescriptor::kOneByteLength, 3, 5, &subsystem5);
    five.bCheckSecondByte = true;
    five.nSecondByte = 0x05;
    MsgDescriptor six = five;
    six.nSecondByte = 0x06;
    six.fnHandler = [&subsystem6](const uint8_t* pFrame, int32_t nLength, int64_t) {
        subsystem6.frames.emplace_back(pFrame, pFrame + nLength);
    };
    ASSERT_EQ(framer.LoadMsgDescriptor(five), 0);
    ASSERT_EQ(framer.LoadMsgDescriptor(six), 0);

    const Bytes toSix = {0x10, 0x06, 0x00, 0x01, 0x85, 0x9C};
    const Bytes toFive = {0x10, 0x05, 0x00, 0x01, 0x85, 0x9B};
    Feed(framer, toSix);
    Feed(framer, {toFive.begin(), toFive.begin() + 3});
    ASSERT_EQ(framer.LoadMsgDescriptor(Descriptor(0x99, MsgDescriptor::kTwoByteLength, 5, 0, &longFrames)), 0);
    Feed(framer, {toFive.begin() + 3, toFive.end()});
    const Bytes longFrame = {0x99, 0x00, 0x01, 0x00, 0x00, 0x07, 0xA1};
    Feed(framer, longFrame);

    EXPECT_EQ(subsystem6.frames, std::vector<Bytes>{toSix});
    EXPECT_EQ(subsystem5.frames, std::vector<Bytes>{toFive});
    EXPECT_EQ(longFrames.frames, std::vector<Bytes>{longFrame});
}

// The modes without a length field: a fixed length is the adjustment; a
// terminated first descriptor makes every byte start a frame that ends with
// its terminator.
TEST(RxFramer, FixedLengthAndTerminatedFrames)
{
    cRxProtocol fixed;
    Sink sink;
    ASSERT_EQ(fixed.LoadMsgDescriptor(Descriptor(0x42, MsgDescriptor::kFixedLength, 0, 4, &sink)), 0);
    Feed(fixed, {0x01, 0x42, 0x0A, 0x0B, 0x0C, 0x42, 0x0D});
    ASSERT_EQ(sink.frames.size(), 1u);
    EXPECT_EQ(sink.frames[0], (Bytes{0x42, 0x0A, 0x0B, 0x0C}));
    EXPECT_EQ(fixed.Collected(), 2);

    cRxProtocol terminated;
    Sink lines;
    MsgDescriptor line = Descriptor(0x00, MsgDescriptor::kTerminated, 0, 0, &lines);
    line.nSecondByte = '\r';
    ASSERT_EQ(terminated.LoadMsgDescriptor(line), 0);
    Feed(terminated, {'O', 'K', '\r', 'E', '\r', 'x'});
    EXPECT_EQ(lines.frames, (std::vector<Bytes>{{'O', 'K', '\r'}, {'E', '\r'}}));
}

TEST(RxFramer, FrameWithoutCallbackIsLoggedUnknownAndDropped)
{
    TempDir dir;
    cCommsLogger logger(dir.File("u_CommsLog.DEBUG.txt"));
    logger.LogStart();
    cRxProtocol framer;
    framer.SetLogger(&logger);
    ASSERT_EQ(framer.LoadMsgDescriptor(Descriptor(0x10, MsgDescriptor::kOneByteLength, 3, 5, nullptr)), 0);
    Feed(framer, {0x10, 0x05, 0x00, 0x01, 0x85, 0x9B});
    logger.LogStop();
    EXPECT_NE(dir.Read("u_CommsLog.DEBUG.txt").find(",Rx Unknown,006,0x10,0x05"), std::string::npos);
}

TEST(RxFramer, DescriptorTableLimits)
{
    LogCapture log;
    cRxProtocol framer;
    EXPECT_EQ(framer.LoadMsgDescriptor(Descriptor(0x10, MsgDescriptor::kOneByteLength, 3, 1024, nullptr)), 1);
    EXPECT_TRUE(log.Contains("cRxProtocol::LoadMsgDescriptor (78): Msg format is too long", DBG_ERR));
    for (int i = 0; i < 10; ++i)
    {
        const uint8_t nSync = static_cast<uint8_t>(i);
        ASSERT_EQ(framer.LoadMsgDescriptor(Descriptor(nSync, MsgDescriptor::kOneByteLength, 3, 5, nullptr)), 0);
    }
    EXPECT_EQ(framer.LoadMsgDescriptor(Descriptor(0x55, MsgDescriptor::kOneByteLength, 3, 5, nullptr)), 3);
    EXPECT_TRUE(log.Contains("cRxProtocol::LoadMsgDescriptor (102): Message table is full", DBG_ERR));
    EXPECT_EQ(framer.DescriptorCount(), 10);
}

// Flush hands on a partial frame only where the descriptor allows it.
TEST(RxFramer, FlushDeliversPartialFrameOnlyWhenAllowed)
{
    cRxProtocol strict;
    Sink sink;
    LoadSystemDescriptors(strict, sink);
    Feed(strict, {0x10, 0x05, 0x00});
    strict.Flush();
    EXPECT_TRUE(sink.frames.empty());

    cRxProtocol lenient;
    MsgDescriptor flushable = Descriptor(0x10, MsgDescriptor::kOneByteLength, 3, 5, &sink);
    flushable.bFlushAllowed = true;
    ASSERT_EQ(lenient.LoadMsgDescriptor(flushable), 0);
    Feed(lenient, {0x10, 0x05, 0x00});
    lenient.Flush();
    ASSERT_EQ(sink.frames.size(), 1u);
    EXPECT_EQ(sink.frames[0], (Bytes{0x10, 0x05, 0x00}));
}

// The block path copies frame bodies in one step; on any stream it must agree
// with feeding the same bytes one at a time: same frames, same discards.
TEST(RxFramer, BlockPathMatchesByteByByte)
{
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> byteDist(0, 255);
    std::uniform_int_distribution<int> chunkDist(1, 700);
    for (int round = 0; round < 50; ++round)
    {
        Bytes stream;
        while (stream.size() < 20000)
        {
            // Real frames among noise and sync bytes with wild lengths.
            const int nKind = byteDist(random) % 4;
            if (nKind == 0)
            {
                const int nPayload = byteDist(random);
                stream.insert(stream.end(), {0x10, 0x05, 0x00, static_cast<uint8_t>(nPayload)});
                for (int i = 0; i <= nPayload; ++i)
                    stream.push_back(static_cast<uint8_t>(byteDist(random)));
            }
            else if (nKind == 1)
            {
                const int nTotal = 7 + byteDist(random) * 4;
                stream.insert(stream.end(), {0x99, 0x01, 0x02, 0x00, static_cast<uint8_t>(nTotal >> 8), static_cast<uint8_t>(nTotal)});
                for (int i = 6; i < nTotal; ++i)
                    stream.push_back(static_cast<uint8_t>(byteDist(random)));
            }
            else
            {
                for (int i = 0; i < 30; ++i)
                    stream.push_back(static_cast<uint8_t>(byteDist(random)));
            }
        }

        cRxProtocol byteFramer;
        cRxProtocol blockFramer;
        Sink byteSink;
        Sink blockSink;
        LoadSystemDescriptors(byteFramer, byteSink);
        LoadSystemDescriptors(blockFramer, blockSink);

        int32_t nByteDiscards = 0;
        for (uint8_t b : stream)
            nByteDiscards += byteFramer.ProcessByte(b) ? 0 : 1;
        int32_t nBlockDiscards = 0;
        for (size_t nPos = 0; nPos < stream.size();)
        {
            const size_t nChunk = std::min<size_t>(chunkDist(random), stream.size() - nPos);
            bool bLast = false;
            nBlockDiscards += blockFramer.ProcessBlock(stream.data() + nPos, static_cast<int32_t>(nChunk), bLast);
            nPos += nChunk;
        }
        ASSERT_EQ(byteSink.frames, blockSink.frames) << "round " << round;
        ASSERT_EQ(nByteDiscards, nBlockDiscards) << "round " << round;
        ASSERT_GT(byteSink.frames.size(), 0u);
    }
}
