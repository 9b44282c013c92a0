#include "UdpPeer.h"
#include "WaitFor.h"
#include "cKlvWriter.h"
#include "cVideoReceiver.h"

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <mutex>
#include <vector>

namespace
{
using namespace std::chrono_literals;

// A live H.264 picture with a KLV packet of each frame's own time beside it
// in one transport stream, as a sensor sends it. Frame n's packet carries
// azimuth n mod 360 and a field of view from it; every kBadEvery-th packet
// goes out with a spoilt checksum.
class cKlvVideoSender
{
public:
    static constexpr int kBadEvery = 20;

    explicit cKlvVideoSender(uint16_t nPort)
    {
        gst_init(nullptr, nullptr);
        const std::string sPipeline =
            "videotestsrc name=video is-live=true pattern=ball ! video/x-raw,width=320,height=240,framerate=30/1 ! "
            "x264enc tune=zerolatency speed-preset=ultrafast key-int-max=30 ! h264parse ! mpegtsmux name=mux alignment=7 ! "
            "udpsink host=127.0.0.1 sync=false port=" +
            std::to_string(nPort) + " appsrc name=klv is-live=true format=time caps=meta/x-klv,parsed=true ! mux.";
        m_pPipeline = gst_parse_launch(sPipeline.c_str(), nullptr);
        m_pKlv = gst_bin_get_by_name(GST_BIN(m_pPipeline), "klv");
        GstElement* pVideo = gst_bin_get_by_name(GST_BIN(m_pPipeline), "video");
        GstPad* pPad = gst_element_get_static_pad(pVideo, "src");
        gst_pad_add_probe(pPad, GST_PAD_PROBE_TYPE_BUFFER, &cKlvVideoSender::OnFrame, this, nullptr);
        gst_object_unref(pPad);
        gst_object_unref(pVideo);
        gst_element_set_state(m_pPipeline, GST_STATE_PLAYING);
    }
    ~cKlvVideoSender()
    {
        gst_element_set_state(m_pPipeline, GST_STATE_NULL);
        gst_object_unref(m_pKlv);
        gst_object_unref(m_pPipeline);
    }

    static KlvMetadata MetadataOf(uint64_t nFrame, uint64_t nTimeUs)
    {
        KlvMetadata metadata;
        metadata.nTimeUs = nTimeUs;
        metadata.dRelativeAzimuthDeg = static_cast<double>(nFrame % 360);
        metadata.dRelativeElevationDeg = -10.0;
        metadata.dHorizontalFovDeg = 20.0 + static_cast<double>(nFrame % 10);
        metadata.dVerticalFovDeg = *metadata.dHorizontalFovDeg * 0.75;
        return metadata;
    }
    uint64_t Spoilt() const { return m_nSpoilt.load(); }

private:
    static GstPadProbeReturn OnFrame(GstPad*, GstPadProbeInfo* pInfo, gpointer pUser)
    {
        auto* pSelf = static_cast<cKlvVideoSender*>(pUser);
        const GstBuffer* pFrame = GST_PAD_PROBE_INFO_BUFFER(pInfo);
        const uint64_t nFrame = pSelf->m_nFrames++;
        const uint64_t nNowUs =
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
        std::vector<uint8_t> packet = cKlvWriter::Write(MetadataOf(nFrame, nNowUs));
        if (nFrame % kBadEvery == kBadEvery - 1)
        {
            packet.back() ^= 0x5A;
            ++pSelf->m_nSpoilt;
        }
        GstBuffer* pBuffer = gst_buffer_new_memdup(packet.data(), packet.size());
        GST_BUFFER_PTS(pBuffer) = GST_BUFFER_PTS(pFrame);
        gst_app_src_push_buffer(GST_APP_SRC(pSelf->m_pKlv), pBuffer);
        return GST_PAD_PROBE_OK;
    }

    GstElement* m_pPipeline = nullptr;
    GstElement* m_pKlv = nullptr;
    uint64_t m_nFrames = 0;  // the video's streaming thread only
    std::atomic<uint64_t> m_nSpoilt{0};
};
} // namespace

// The metadata sent beside the picture reaches the frames it was sent with:
// every value of one packet on one frame, the frames' time stamps a whole
// number of frames apart as sent, and the spoilt packets counted, not shown.
TEST(VideoReceiver, FramesCarryTheKlvMetadataSentWithThem)
{
    const uint16_t nPort = FreeUdpPort();
    cVideoReceiver receiver;
    std::mutex mutex;
    std::vector<cVideoFrame> frames;
    receiver.SetFrameSink([&](cVideoFrame&& frame) {
        const std::lock_guard<std::mutex> lock(mutex);
        if (frame.klv && frames.size() < 60)
            frames.push_back(std::move(frame));
    });
    ASSERT_TRUE(receiver.Start("udp://127.0.0.1:" + std::to_string(nPort), 0)) << receiver.Message();
    cKlvVideoSender sender(nPort);
    ASSERT_TRUE(WaitFor(
        [&] {
            const std::lock_guard<std::mutex> lock(mutex);
            return frames.size() >= 60 && sender.Spoilt() >= 2;
        },
        20s));
    ASSERT_TRUE(WaitFor([&] { return receiver.Counts().nKlvRejected >= 1; }));

    const std::lock_guard<std::mutex> lock(mutex);
    const uint64_t nNowUs =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    int nAzimuthChanges = 0;
    for (size_t n = 0; n < frames.size(); ++n)
    {
        const cVideoFrame& frame = frames[n];
        const KlvMetadata& klv = *frame.klv;
        EXPECT_EQ(frame.nKlvTimeUs, klv.nTimeUs);
        EXPECT_LT(nNowUs - klv.nTimeUs, 20000000u);
        ASSERT_TRUE(klv.dRelativeAzimuthDeg && klv.dRelativeElevationDeg && klv.dHorizontalFovDeg && klv.dVerticalFovDeg);
        const double dFrame = std::round(*klv.dRelativeAzimuthDeg);
        const KlvMetadata sent = cKlvVideoSender::MetadataOf(static_cast<uint64_t>(dFrame), klv.nTimeUs);
        EXPECT_NEAR(*klv.dRelativeAzimuthDeg, *sent.dRelativeAzimuthDeg, 0.01);
        EXPECT_NEAR(*klv.dRelativeElevationDeg, -10.0, 0.01);
        EXPECT_NEAR(*klv.dHorizontalFovDeg, *sent.dHorizontalFovDeg, 0.01);
        EXPECT_NEAR(*klv.dVerticalFovDeg, *sent.dVerticalFovDeg, 0.01);
        if (n > 0 && *klv.dRelativeAzimuthDeg != *frames[n - 1].klv->dRelativeAzimuthDeg)
            ++nAzimuthChanges;
    }
    // Each frame its own packet, not one packet held over many frames.
    EXPECT_GE(nAzimuthChanges, 40);
    const cVideoReceiver::Figures figures = receiver.Counts();
    EXPECT_GE(figures.nKlvGood, 50u);
    EXPECT_LE(figures.nKlvRejected, sender.Spoilt());
    EXPECT_EQ(receiver.Message(), "");
}
