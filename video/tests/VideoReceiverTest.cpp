#include "LogCapture.h"
#include "TempDir.h"
#include "UdpPeer.h"
#include "VideoSender.h"
#include "WaitFor.h"
#include "cStreamShape.h"
#include "cVideoReceiver.h"
#include "cVideoRecorder.h"

#include <atomic>
#include <dirent.h>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>
#include <random>

namespace
{
using namespace std::chrono_literals;

int DescriptorCount()
{
    int nCount = 0;
    if (DIR* pDir = opendir("/proc/self/fd"))
    {
        while (const dirent* pEntry = readdir(pDir))
            nCount += pEntry->d_name[0] != '.' ? 1 : 0;
        closedir(pDir);
    }
    return nCount;
}

int ThreadCount()
{
    int nCount = 0;
    if (DIR* pDir = opendir("/proc/self/task"))
    {
        while (const dirent* pEntry = readdir(pDir))
            nCount += pEntry->d_name[0] != '.' ? 1 : 0;
        closedir(pDir);
    }
    return nCount;
}

// A receiver whose frames are counted and the last one kept.
struct CountingReceiver
{
    cVideoReceiver receiver;
    std::atomic<int> nFrames{0};
    std::mutex mutex;
    cVideoFrame last;

    CountingReceiver()
    {
        receiver.SetFrameSink([this](cVideoFrame&& frame) {
            const std::lock_guard<std::mutex> lock(mutex);
            last = std::move(frame);
            ++nFrames;
        });
    }
    bool FramesCome(int nMore, std::chrono::milliseconds limit = 15s)
    {
        const int nTarget = nFrames.load() + nMore;
        return WaitFor([&] { return nFrames.load() >= nTarget; }, limit);
    }
};

std::string Udp(uint16_t nPort)
{
    return "udp://127.0.0.1:" + std::to_string(nPort);
}
} // namespace

// Sources the settings may name, and what a wrong one is told.
TEST(VideoSource, ParsesEachKindAndSaysWhatIsWrong)
{
    const cVideoSource udp = cVideoSource::Parse("udp://127.0.0.1:5600");
    EXPECT_EQ(udp.eSourceKind, cVideoSource::eKind::UdpTransportStream);
    EXPECT_EQ(udp.sHost, "127.0.0.1");
    EXPECT_EQ(udp.nPort, 5600);
    EXPECT_TRUE(udp.IsTransportStream());
    const cVideoSource anyHost = cVideoSource::Parse("rtp://:5004");
    EXPECT_EQ(anyHost.eSourceKind, cVideoSource::eKind::Rtp);
    EXPECT_EQ(anyHost.sHost, "0.0.0.0");
    EXPECT_FALSE(anyHost.IsTransportStream());
    EXPECT_EQ(cVideoSource::Parse("rtsp://camera/stream").eSourceKind, cVideoSource::eKind::Rtsp);
    const cVideoSource file = cVideoSource::Parse("/data/Video-2024-01-01_10-00-00.ts");
    EXPECT_EQ(file.eSourceKind, cVideoSource::eKind::File);
    EXPECT_FALSE(file.IsLive());

    for (const char* szBad : {"", "udp://127.0.0.1", "udp://127.0.0.1:0", "udp://127.0.0.1:65536", "udp://h:12x", "http://x:1"})
    {
        const cVideoSource bad = cVideoSource::Parse(szBad);
        EXPECT_EQ(bad.eSourceKind, cVideoSource::eKind::Invalid) << szBad;
        EXPECT_FALSE(bad.sWhy.empty()) << szBad;
    }
}

// Datagrams that are not transport stream packets are a lasting condition:
// it begins after a run of them, not with one spoilt datagram, and ends with
// the first good one. A file is judged across its blocks.
TEST(VideoSource, StreamShapeFindsAWrongStreamOnceAndItsEnd)
{
    std::vector<uint8_t> ts(1316, 0);
    for (size_t n = 0; n < ts.size(); n += 188)
        ts[n] = 0x47;
    std::vector<uint8_t> text(1316, 'x');

    cStreamShape shape(cStreamShape::eExpect::TransportStream);
    EXPECT_FALSE(shape.Feed(ts.data(), ts.size(), false));
    EXPECT_FALSE(shape.Feed(text.data(), text.size(), false));  // loss, not a wrong stream
    EXPECT_FALSE(shape.Feed(ts.data(), ts.size(), false));
    int nChanges = 0;
    for (int n = 0; n < 3 * cStreamShape::kMisfitsToBegin; ++n)
        nChanges += shape.Feed(text.data(), text.size(), false) ? 1 : 0;
    EXPECT_EQ(nChanges, 1);
    EXPECT_TRUE(shape.IsMisfit());
    EXPECT_TRUE(shape.Feed(ts.data(), ts.size(), false));
    EXPECT_FALSE(shape.IsMisfit());

    // A file read in blocks that do not end on packet boundaries.
    std::vector<uint8_t> file(188 * 10, 0);
    for (size_t n = 0; n < file.size(); n += 188)
        file[n] = 0x47;
    cStreamShape blocks(cStreamShape::eExpect::TransportStream);
    for (size_t nAt = 0; nAt < file.size(); nAt += 300)
        EXPECT_FALSE(blocks.Feed(file.data() + nAt, std::min<size_t>(300, file.size() - nAt), true)) << nAt;
    EXPECT_FALSE(blocks.IsMisfit());
    // Pulled where the demuxer likes: the last blocks first, then from the start.
    cStreamShape pulled(cStreamShape::eExpect::TransportStream);
    for (const size_t nAt : {size_t{1580}, size_t{1000}, size_t{0}, size_t{300}, size_t{600}})
        EXPECT_FALSE(pulled.Feed(file.data() + nAt, std::min<size_t>(300, file.size() - nAt), true, nAt)) << nAt;
    EXPECT_FALSE(pulled.IsMisfit());

    cStreamShape rtp(cStreamShape::eExpect::Rtp);
    const uint8_t rtpHeader[12] = {0x80, 96};
    for (int n = 0; n < cStreamShape::kMisfitsToBegin; ++n)
        rtp.Feed(ts.data(), ts.size(), false);  // 0x47: version 1
    EXPECT_TRUE(rtp.IsMisfit());
    EXPECT_TRUE(rtp.Feed(rtpHeader, sizeof(rtpHeader), false));
}

// A live transport stream is decoded at the rate sent, each frame whole and
// time-stamped; the sender's restart after a silence needs no help.
TEST(VideoReceiver, DecodesALiveTransportStreamAtItsRateAndAfterARestart)
{
    const uint16_t nPort = FreeUdpPort();
    CountingReceiver counting;
    ASSERT_TRUE(counting.receiver.Start(Udp(nPort), 0)) << counting.receiver.Message();
    auto pSender = StartVideoSender(nPort);
    ASSERT_TRUE(counting.FramesCome(5));
    {
        const std::lock_guard<std::mutex> lock(counting.mutex);
        EXPECT_EQ(counting.last.nWidth, 320);
        EXPECT_EQ(counting.last.nHeight, 240);
        EXPECT_GE(counting.last.nStride, 320 * 4);
        ASSERT_TRUE(counting.last.pPixels);
        EXPECT_GE(counting.last.nPtsNs, 0);
    }
    // About 30 a second, timed over 45 frames: generous for a loaded machine.
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(counting.FramesCome(45));
    const double dRate = 45 / std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GT(dRate, 20.0);
    EXPECT_LT(dRate, 40.0);
    const cVideoReceiver::Figures figures = counting.receiver.Counts();
    EXPECT_GE(figures.nDecoded, static_cast<uint64_t>(counting.nFrames.load()));
    EXPECT_GT(figures.nBytes, 0u);
    EXPECT_EQ(counting.receiver.Message(), "");

    pSender.reset();
    pSender = StartVideoSender(nPort);
    EXPECT_TRUE(counting.FramesCome(10));
}

TEST(VideoReceiver, DecodesRtp)
{
    const uint16_t nPort = FreeUdpPort();
    CountingReceiver counting;
    ASSERT_TRUE(counting.receiver.Start("rtp://127.0.0.1:" + std::to_string(nPort), 20)) << counting.receiver.Message();
    auto pSender = StartVideoSender(nPort, true);
    EXPECT_TRUE(counting.FramesCome(10));
    EXPECT_EQ(counting.receiver.Message(), "");
}

// What is not a video source gets one clear message, logged once, and no crash.
TEST(VideoReceiver, WhatIsNotVideoGetsOneClearMessage)
{
    TempDir dir;
    {
        LogCapture log;
        const uint16_t nPort = FreeUdpPort();
        cVideoReceiver receiver;
        ASSERT_TRUE(receiver.Start(Udp(nPort), 0));
        UdpPeer peer;
        std::mt19937 random(7);
        std::vector<uint8_t> noise(1000);
        size_t nSent = 0;
        const auto sendNoise = [&] {
            ++nSent;
            for (uint8_t& byte : noise)
                byte = static_cast<uint8_t>(random() % 0x47);  // never a sync byte
            peer.SendTo(nPort, noise);
            return receiver.Message().find("not an MPEG transport stream") != std::string::npos;
        };
        EXPECT_TRUE(WaitFor(sendNoise, 10s)) << receiver.Message();
        for (int n = 0; n < 50; ++n)
            sendNoise();
        EXPECT_TRUE(WaitFor([&] { return receiver.Counts().nBytes >= nSent * noise.size(); }));
        EXPECT_EQ(log.Count("not an MPEG transport stream"), 1) << log.Dump();
        EXPECT_EQ(receiver.Counts().nDecoded, 0u);
    }
    {
        LogCapture log;
        dir.Write("notes.txt", std::string(5000, 'a'));
        cVideoReceiver receiver;
        receiver.Start(dir.File("notes.txt"), 0);
        EXPECT_TRUE(WaitFor([&] { return receiver.Message().find("not an MPEG transport stream") != std::string::npos; }))
            << receiver.Message();
        receiver.Stop();
        EXPECT_EQ(log.Count("not an MPEG transport stream"), 1) << log.Dump();
    }
    {
        cVideoReceiver receiver;
        EXPECT_FALSE(receiver.Start(dir.File("missing.ts"), 0));
        EXPECT_NE(receiver.Message().find("cannot read the file"), std::string::npos) << receiver.Message();
        EXPECT_FALSE(receiver.Start("udp://127.0.0.1", 0));
        EXPECT_NE(receiver.Message().find("not a video source"), std::string::npos) << receiver.Message();
    }
    EXPECT_STREQ(cVideoReceiver::PackageOf("avdec_h264"), "gstreamer1.0-libav");
    EXPECT_STREQ(cVideoReceiver::PackageOf("x264enc"), "gstreamer1.0-plugins-ugly");
}

// Stop returns promptly while frames flow, and leaves no thread behind:
// start and stop again and again, and the count stays where it was.
TEST(VideoReceiver, StopLeavesNoThreadAndDoesNotHang)
{
    const uint16_t nPort = FreeUdpPort();
    auto pSender = StartVideoSender(nPort);
    CountingReceiver counting;
    // Once, for what GStreamer keeps for the process.
    ASSERT_TRUE(counting.receiver.Start(Udp(nPort), 0));
    ASSERT_TRUE(counting.FramesCome(3));
    counting.receiver.Stop();
    const int nBaseline = ThreadCount();
    const int nDescriptors = DescriptorCount();
    for (int nRound = 0; nRound < 3; ++nRound)
    {
        ASSERT_TRUE(counting.receiver.Start(Udp(nPort), 0));
        ASSERT_TRUE(counting.FramesCome(3));
        // As a window rebuilds a stuck pipeline: the new one takes the port again.
        ASSERT_TRUE(counting.receiver.Restart()) << counting.receiver.Message();
        ASSERT_TRUE(counting.FramesCome(3)) << counting.receiver.Message();
        const auto start = std::chrono::steady_clock::now();
        counting.receiver.Stop();
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
        const int nAfterStop = counting.nFrames.load();
        EXPECT_TRUE(WaitFor([&] { return ThreadCount() <= nBaseline; }, 5s)) << ThreadCount() << " threads, " << nBaseline << " before";
        EXPECT_EQ(counting.nFrames.load(), nAfterStop);
        EXPECT_EQ(DescriptorCount(), nDescriptors) << "round " << nRound;
    }
}

// Recorded as received, the file is a video source of its own.
TEST(VideoRecorder, RecordingPlaysBackAsASource)
{
    TempDir dir;
    const uint16_t nPort = FreeUdpPort();
    CountingReceiver live;
    cVideoRecorder recorder;
    live.receiver.SetStreamSink([&recorder](const uint8_t* pData, size_t nSize) { recorder.Write(pData, nSize); });
    ASSERT_TRUE(live.receiver.Start(Udp(nPort), 0));
    auto pSender = StartVideoSender(nPort);
    ASSERT_TRUE(live.FramesCome(2));
    ASSERT_TRUE(recorder.Start(dir.File("recordings")));
    EXPECT_NE(recorder.Path().find("/recordings/Video-"), std::string::npos);
    EXPECT_EQ(recorder.Path().substr(recorder.Path().size() - 3), ".ts");
    // Two and a half seconds: the recording starts anywhere between two
    // I-frames (one a second), and only from the first on can it be shown.
    ASSERT_TRUE(live.FramesCome(75));
    recorder.Stop();
    live.receiver.Stop();
    EXPECT_GT(recorder.BytesWritten(), 10000u);
    EXPECT_EQ(recorder.BytesLost(), 0u);
    std::ifstream file(recorder.Path(), std::ios::binary | std::ios::ate);
    EXPECT_EQ(static_cast<uint64_t>(file.tellg()), recorder.BytesWritten());

    CountingReceiver playback;
    ASSERT_TRUE(playback.receiver.Start(recorder.Path(), 0)) << playback.receiver.Message();
    EXPECT_TRUE(playback.FramesCome(20)) << playback.receiver.Message();
    EXPECT_EQ(playback.receiver.Message(), "");

    // A folder that cannot be made: nothing starts, nothing is written.
    dir.Write("plainfile", "x");
    cVideoRecorder blocked;
    EXPECT_FALSE(blocked.Start(dir.File("plainfile/sub")));
    EXPECT_FALSE(blocked.IsRunning());
    const uint8_t byte = 0x47;
    blocked.Write(&byte, 1);
}
