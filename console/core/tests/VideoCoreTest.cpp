#include "LogCapture.h"
#include "TempDir.h"
#include "WaitFor.h"
#include "cKestrumSettings.h"
#include "cNewestFrame.h"
#include "cVideoMonitor.h"
#include "cVideoViewport.h"

#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <vector>

namespace
{
using namespace std::chrono_literals;
using Steady = cVideoMonitor::SteadyClock;
using Wall = cVideoMonitor::WallClock;

uint64_t WallUs(Wall::time_point time)
{
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(time.time_since_epoch()).count());
}
} // namespace

// The section is optional; when present each key is taken, and an empty
// record folder means the logging folder.
TEST(VideoSettings, SectionIsOptionalAndEachKeyIsRead)
{
    TempDir dir;
    const std::string sMain = R"(<Kestrum nTxPort="1"/><EoTrackData nTxPort="2"/>)";
    dir.Write("without.xml", "<VMS_Cfg>" + sMain + "</VMS_Cfg>");
    dir.Write("with.xml", "<VMS_Cfg>" + sMain +
                              R"(<Video bShowVideo="true" sVideoSource="rtp://0.0.0.0:5004" nVideoLatencyMs="80"
                                        sVideoRecordFolder="/data/video"/></VMS_Cfg>)");
    dir.Write("negative.xml", "<VMS_Cfg>" + sMain + R"(<Video nVideoLatencyMs="-5"/></VMS_Cfg>)");

    LogCapture log(DBG_WRN);
    cKestrumSettings defaults;
    ASSERT_TRUE(defaults.Read(dir.File("without.xml")));
    EXPECT_FALSE(defaults.m_VideoSettings.bShowVideo);
    EXPECT_EQ(defaults.m_VideoSettings.sVideoSource, "udp://127.0.0.1:5600");
    EXPECT_EQ(defaults.m_VideoSettings.nVideoLatencyMs, 0);
    EXPECT_EQ(defaults.m_VideoSettings.RecordFolder(defaults.sLoggingDirectory), defaults.sLoggingDirectory);
    EXPECT_FALSE(log.Contains("Video")) << log.Dump();

    cKestrumSettings settings;
    ASSERT_TRUE(settings.Read(dir.File("with.xml")));
    EXPECT_TRUE(settings.m_VideoSettings.bShowVideo);
    EXPECT_EQ(settings.m_VideoSettings.sVideoSource, "rtp://0.0.0.0:5004");
    EXPECT_EQ(settings.m_VideoSettings.nVideoLatencyMs, 80);
    EXPECT_EQ(settings.m_VideoSettings.RecordFolder("/logs"), "/data/video");

    cKestrumSettings negative;
    ASSERT_TRUE(negative.Read(dir.File("negative.xml")));
    EXPECT_EQ(negative.m_VideoSettings.nVideoLatencyMs, 0);
}

// A painter slower than the decoder: it only ever gets the newest frame, every
// frame made is either painted or counted as replaced, and the producer wakes
// the painter once per frame taken, not once per frame made.
TEST(NewestFrame, SlowPainterGetsTheNewestAndEveryOtherIsCounted)
{
    struct Frame
    {
        int nNumber = 0;
        std::shared_ptr<int> pHeld;  // stands for the decoder's buffer
    };
    cNewestFrame<Frame> slot;
    const int kFrames = 400;
    auto pBuffer = std::make_shared<int>(0);
    std::atomic<int> nWakes{0};
    std::atomic<bool> bDone{false};
    std::thread producer([&] {
        for (int n = 1; n <= kFrames; ++n)
        {
            if (slot.Put(Frame{n, pBuffer}))
                ++nWakes;
            std::this_thread::sleep_for(200us);
        }
        bDone = true;
    });
    int nPainted = 0;
    int nLast = 0;
    bool bInOrder = true;
    while (!bDone || nLast < kFrames)
    {
        if (std::optional<Frame> frame = slot.Take())
        {
            bInOrder = bInOrder && frame->nNumber > nLast;
            nLast = frame->nNumber;
            ++nPainted;
            std::this_thread::sleep_for(2ms);  // the slow painter
        }
        else
        {
            std::this_thread::yield();
        }
    }
    producer.join();
    EXPECT_TRUE(bInOrder);
    EXPECT_EQ(nLast, kFrames);
    EXPECT_LT(nPainted, kFrames / 2);
    EXPECT_EQ(static_cast<uint64_t>(nPainted) + slot.Replaced(), static_cast<uint64_t>(kFrames));
    EXPECT_EQ(nWakes.load(), nPainted);
    // Replaced frames let their buffers go: only the test still holds one.
    EXPECT_EQ(pBuffer.use_count(), 1);
    EXPECT_FALSE(slot.Take());
}

// NO VIDEO before the first frame and a second after the last, back with the
// next frame; the log says when an absence begins and ends, once each.
TEST(VideoMonitor, PresenceFollowsTheFramesAndIsLoggedAtItsChanges)
{
    LogCapture log(DBG_WRN);
    cVideoMonitor monitor("udp://127.0.0.1:5600");
    const Steady::time_point start = Steady::now();
    EXPECT_FALSE(monitor.IsPresent());
    EXPECT_FALSE(monitor.Update(start + 5s));

    for (int n = 0; n < 30; ++n)
        monitor.OnFrame(640, 480, start + n * 33ms);
    EXPECT_TRUE(monitor.IsPresent());
    EXPECT_EQ(monitor.Width(), 640);
    EXPECT_NEAR(monitor.FramesPerSecond(start + 29 * 33ms), 30.3, 0.5);
    const Steady::time_point last = start + 29 * 33ms;
    EXPECT_FALSE(monitor.Update(last + cVideoMonitor::kAbsentAfter - 1ms));
    EXPECT_TRUE(monitor.IsPresent());
    for (int n = 0; n < 5; ++n)
        monitor.Update(last + cVideoMonitor::kAbsentAfter + n * 100ms);
    EXPECT_FALSE(monitor.IsPresent());
    EXPECT_EQ(monitor.FramesPerSecond(last + 1500ms), 0.0);

    monitor.OnFrame(640, 480, last + 3s);
    EXPECT_TRUE(monitor.IsPresent());
    EXPECT_EQ(log.Count("NO VIDEO: no frame from udp://127.0.0.1:5600"), 1) << log.Dump();
    EXPECT_EQ(log.Count("again after 3.0 s"), 1) << log.Dump();
}

// A stream that keeps breaking off (a lossy link that lets only the I-frames
// through) shows NO VIDEO at each gap but is said once as it begins and once
// when it has been steady for a while, with how often it broke off.
TEST(VideoMonitor, AStreamThatKeepsBreakingOffIsSaidOnce)
{
    LogCapture log(DBG_WRN);
    cVideoMonitor monitor("udp://127.0.0.1:5600");
    Steady::time_point now = Steady::now();
    int nShownAbsent = 0;
    // A frame a second for 20 s: each gap long enough for NO VIDEO.
    for (int nSecond = 0; nSecond < 20; ++nSecond)
    {
        monitor.OnFrame(640, 480, now);
        for (int nTick = 0; nTick < 5; ++nTick)
        {
            now += 200ms;
            monitor.Update(now);
            nShownAbsent += monitor.IsPresent() ? 0 : 1;
        }
    }
    EXPECT_GT(nShownAbsent, 19);  // the picture says so each time
    EXPECT_EQ(log.Count("NO VIDEO: no frame"), 1) << log.Dump();
    EXPECT_EQ(log.Count("again after"), 1) << log.Dump();
    EXPECT_EQ(log.Count("steady again"), 0) << log.Dump();

    // Steady for the ten seconds: one line for the rest.
    for (int n = 0; n < 330; ++n)
    {
        now += 33ms;
        monitor.OnFrame(640, 480, now);
        monitor.Update(now);
    }
    EXPECT_EQ(log.Count("steady again after 19 more interruptions of up to 1.0 s"), 1) << log.Dump();
    EXPECT_EQ(log.Count("NO VIDEO: no frame"), 1) << log.Dump();
}

// Median and worst of the frames painted in the last second only; frames
// without a time stamp give no latency.
TEST(VideoMonitor, LatencyIsMedianAndWorstOfTheLastSecond)
{
    cVideoMonitor monitor("x");
    const Steady::time_point start = Steady::now();
    const Wall::time_point wall = Wall::now();
    // An old, large one that must have left the window by the end.
    monitor.OnPainted(WallUs(wall) - 900000, start, wall);
    const int kLatenciesMs[] = {40, 10, 30, 20, 50};
    for (int n = 0; n < 5; ++n)
    {
        const Wall::time_point paintedAt = wall + 1500ms + n * 33ms;
        monitor.OnPainted(WallUs(paintedAt) - kLatenciesMs[n] * 1000, start + 1500ms + n * 33ms, paintedAt);
    }
    monitor.OnPainted(0, start + 1700ms, wall + 1700ms);
    const cVideoMonitor::Latency latency = monitor.LatencyOverLastSecond(start + 1700ms);
    EXPECT_EQ(latency.nSamples, 5u);
    EXPECT_EQ(latency.median, 30ms);
    EXPECT_EQ(latency.worst, 50ms);
    EXPECT_EQ(monitor.LatencyOverLastSecond(start + 5s).nSamples, 0u);
    EXPECT_FALSE(cVideoMonitor::LatencyUs(0, wall));
}

// The picture keeps its aspect inside any widget, centred; points map both
// ways, for the video's own size and for another picture size (the EO track
// picture's); a point on the bars has no picture point.
TEST(VideoViewport, MapsBetweenWidgetAndPictureWithTheAspectKept)
{
    const cVideoViewport same(640, 480, 640, 480);
    EXPECT_TRUE(same.IsOneToOne());
    EXPECT_EQ(same.PictureRect().dX, 0);

    // Wider than the picture: bars left and right; the picture at its own size
    // is still painted without scaling.
    const cVideoViewport unscaled(1000, 480, 640, 480);
    EXPECT_TRUE(unscaled.IsOneToOne());
    EXPECT_EQ(unscaled.PictureRect().dX, 180);
    const cVideoViewport wide(1000, 240, 640, 480);
    EXPECT_FALSE(wide.IsOneToOne());
    EXPECT_EQ(wide.PictureRect().dX, 340);
    EXPECT_EQ(wide.PictureRect().dWidth, 320);
    EXPECT_FALSE(wide.ToPicture({100, 120}));
    EXPECT_FALSE(wide.ToPicture({660, 120}));
    const auto centre = wide.ToPicture({500, 120});
    ASSERT_TRUE(centre);
    EXPECT_DOUBLE_EQ(centre->dX, 320);
    EXPECT_DOUBLE_EQ(centre->dY, 240);

    // Taller and smaller: bars above and below, scaled by a half.
    const cVideoViewport tall(320, 400, 640, 480);
    EXPECT_EQ(tall.PictureRect().dY, 80);
    EXPECT_EQ(tall.PictureRect().dHeight, 240);
    const cVideoViewport::Point corner = tall.ToWidget({640, 480});
    EXPECT_DOUBLE_EQ(corner.dX, 320);
    EXPECT_DOUBLE_EQ(corner.dY, 320);

    // EO picture coordinates (1280 x 960) on a 640 x 480 video, round trip.
    const cVideoViewport::Point shown = tall.ToWidget({960, 240}, 1280, 960);
    EXPECT_DOUBLE_EQ(shown.dX, 240);
    EXPECT_DOUBLE_EQ(shown.dY, 140);
    const auto back = tall.ToPicture(shown, 1280, 960);
    ASSERT_TRUE(back);
    EXPECT_DOUBLE_EQ(back->dX, 960);
    EXPECT_DOUBLE_EQ(back->dY, 240);

    // No picture yet, or no room: nothing maps.
    EXPECT_FALSE(cVideoViewport(640, 480, 0, 0).ToPicture({1, 1}));
    EXPECT_FALSE(cVideoViewport(0, 0, 640, 480).ToPicture({0, 0}));
}
