// The simulator's sensor video taken by the console's receiver, as the video
// window takes it: frames at the rate the simulator renders them, each with
// the metadata of its time; a simulator that stops and starts again on the
// same port is decoded again without anyone touching the receiver.
#include "SimUnderTest.h"
#include "TestPaths.h"
#include "UdpPeer.h"
#include "WaitFor.h"
#include "cSimScene.h"
#include "cSimVideo.h"
#include "cVideoReceiver.h"

#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

using namespace std::chrono_literals;

namespace
{
struct Console
{
    cVideoReceiver receiver;
    std::atomic<uint64_t> nFrames{0};
    std::mutex mutex;
    cVideoFrame last;

    Console()
    {
        receiver.SetFrameSink([this](cVideoFrame&& frame) {
            const std::lock_guard<std::mutex> lock(mutex);
            last = std::move(frame);
            ++nFrames;
        });
    }
    cVideoFrame Last()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return last;
    }
};

std::unique_ptr<SimUnderTest> VideoSim(uint16_t nVideoPort)
{
    auto pSim = std::make_unique<SimUnderTest>(1, TestPaths::SourceDir() + "/config/PageDefinitions.xml");
    pSim->Options().m_sVideoHost = "127.0.0.1";
    pSim->Options().m_nVideoPort = nVideoPort;
    return pSim;
}
} // namespace

TEST(SensorVideo, SimulatorStreamIsDecodedAtItsRateWithItsMetadataAndAfterARestart)
{
    const uint16_t nPort = FreeUdpPort();
    Console console;
    ASSERT_TRUE(console.receiver.Start("udp://127.0.0.1:" + std::to_string(nPort), 0)) << console.receiver.Message();

    std::unique_ptr<SimUnderTest> pSim = VideoSim(nPort);
    ASSERT_TRUE(pSim->Start());
    ASSERT_NE(pSim->Sim().Video(), nullptr);
    ASSERT_TRUE(WaitFor([&] { return console.nFrames.load() >= 10; }, 30s)) << console.receiver.Message();

    // Every rendered picture is decoded: what was sent over a few seconds
    // came out, give or take the ones on their way at either end.
    const uint64_t nSentBefore = pSim->Sim().Video()->Frames();
    const uint64_t nDecodedBefore = console.nFrames.load();
    std::this_thread::sleep_for(4s);
    const uint64_t nSent = pSim->Sim().Video()->Frames() - nSentBefore;
    const uint64_t nDecoded = console.nFrames.load() - nDecodedBefore;
    EXPECT_GE(nSent, 40u) << "the simulator renders about 30 a second";
    EXPECT_GE(nDecoded + 10, nSent);
    EXPECT_LE(nDecoded, nSent + 10);

    const cVideoFrame frame = console.Last();
    EXPECT_EQ(frame.nWidth, 640);
    EXPECT_EQ(frame.nHeight, 480);
    ASSERT_TRUE(frame.klv.has_value());
    EXPECT_NE(frame.nKlvTimeUs, 0u);
    // Metadata of the frame's own time: rendered moments before it was decoded.
    const int64_t nArrivalUs =
        std::chrono::duration_cast<std::chrono::microseconds>(frame.arrival.time_since_epoch()).count();
    EXPECT_LT(std::llabs(nArrivalUs - static_cast<int64_t>(frame.nKlvTimeUs)), 2'000'000);
    ASSERT_TRUE(frame.klv->dHorizontalFovDeg.has_value());
    EXPECT_NEAR(*frame.klv->dHorizontalFovDeg, cSimScene::HorizontalFovAtZoom(0.0), 0.01);

    // The simulator goes, and another comes on the same port.
    pSim.reset();
    std::this_thread::sleep_for(1500ms);
    const uint64_t nBeforeRestart = console.nFrames.load();
    pSim = VideoSim(nPort);
    const auto restarted = std::chrono::steady_clock::now();
    ASSERT_TRUE(pSim->Start());
    ASSERT_TRUE(WaitFor([&] { return console.nFrames.load() > nBeforeRestart; }, 30s)) << console.receiver.Message();
    // How long the picture took to come back, for the record (a loaded machine takes longer).
    RecordProperty("picture_back_after_ms",
                   static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - restarted).count()));
    EXPECT_TRUE(WaitFor([&] { return console.nFrames.load() >= nBeforeRestart + 10; }, 30s))
        << console.receiver.Message();
    console.receiver.Stop();
}
