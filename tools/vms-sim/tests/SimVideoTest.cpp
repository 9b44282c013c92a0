// The simulator's video in-process, received on a socket standing for the
// console's video receiver: the KLV follows the platform and the lens, RTP
// is RTP/H.264, and the video's own loss takes its share.
#include "RC_Codec.h"
#include "SimTestSupport.h"
#include "TsInspector.h"
#include "WaitFor.h"
#include "cSimVideo.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

using namespace simtest;
using namespace std::chrono_literals;

namespace
{
const Bytes kUasKey = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x0B, 0x01, 0x01,
                       0x0E, 0x01, 0x03, 0x01, 0x01, 0x00, 0x00, 0x00};

struct Klv
{
    uint64_t nTimeUs = 0;
    double dHorizontalFov = -1.0;
    double dVerticalFov = -1.0;
    double dAzimuth = -1.0;
    double dElevation = -1.0;
    int nVersion = -1;
};

uint64_t BigEndian(const uint8_t* p, size_t n)
{
    uint64_t nValue = 0;
    for (size_t i = 0; i < n; ++i)
        nValue = nValue << 8 | p[i];
    return nValue;
}

// The local set in a PES payload, read by the definitions (short BER
// lengths, as the simulator writes them), its checksum checked.
std::optional<Klv> ReadKlv(const Bytes& payload)
{
    const auto key = std::search(payload.begin(), payload.end(), kUasKey.begin(), kUasKey.end());
    const Bytes bytes(key, payload.end());
    if (bytes.size() < 17 || !std::equal(kUasKey.begin(), kUasKey.end(), bytes.begin()) || bytes[16] > 127 ||
        bytes.size() < 17u + bytes[16])
        return std::nullopt;
    const size_t nEnd = 17u + bytes[16];
    uint16_t nSum = 0;
    for (size_t i = 0; i + 2 < nEnd; ++i)
        nSum = static_cast<uint16_t>(nSum + (i % 2 == 0 ? bytes[i] << 8 : bytes[i]));
    if (bytes[nEnd - 4] != 1 || BigEndian(&bytes[nEnd - 2], 2) != nSum)
        return std::nullopt;
    Klv klv;
    for (size_t n = 17; n + 2 <= nEnd && n + 2 + bytes[n + 1] <= nEnd; n += 2u + bytes[n + 1])
    {
        const uint8_t* pValue = &bytes[n + 2];
        switch (bytes[n])
        {
        case 2: klv.nTimeUs = BigEndian(pValue, 8); break;
        case 16: klv.dHorizontalFov = BigEndian(pValue, 2) * 180.0 / 65535.0; break;
        case 17: klv.dVerticalFov = BigEndian(pValue, 2) * 180.0 / 65535.0; break;
        case 18: klv.dAzimuth = BigEndian(pValue, 4) * 360.0 / 4294967295.0; break;
        case 19: klv.dElevation = static_cast<int32_t>(BigEndian(pValue, 4)) * 180.0 / 2147483647.0; break;
        case 65: klv.nVersion = pValue[0]; break;
        default: break;
        }
    }
    return klv;
}

// The simulator (variant 1) sending its video to a socket of the test's.
class VideoSim : public SimWithPeers
{
public:
    VideoSim() : SimWithPeers(1)
    {
        Options().m_sVideoHost = "127.0.0.1";
        Options().m_nVideoPort = m_Video.Port();
        Options().m_nSeed = 7;
    }
    UdpPeer& Video() { return m_Video; }
    // The latest KLV packet among the datagrams that arrive within the limit.
    std::optional<Klv> NextKlv(std::chrono::milliseconds limit = 10s)
    {
        const auto deadline = Clock::now() + limit;
        while (Clock::now() < deadline)
        {
            std::optional<Bytes> datagram = m_Video.ReceiveWithin(std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - Clock::now()));
            if (!datagram)
                break;
            m_Ts.Datagram(datagram->data(), datagram->size());
            if (const TsInspector::Stream* pKlv = m_Ts.Other(TsInspector::kStreamTypeH264))
                if (pKlv->payloads.size() > m_nKlvSeen)
                {
                    m_nKlvSeen = pKlv->payloads.size();
                    return ReadKlv(pKlv->payloads.back());
                }
        }
        return std::nullopt;
    }
    // The first KLV packet that passes the test, within the limit.
    template <typename Test>
    std::optional<Klv> KlvWhere(Test test, std::chrono::milliseconds limit = 10s)
    {
        const auto deadline = Clock::now() + limit;
        while (Clock::now() < deadline)
            if (std::optional<Klv> klv = NextKlv(std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - Clock::now())); klv && test(*klv))
                return klv;
        return std::nullopt;
    }

private:
    UdpPeer m_Video;
    TsInspector m_Ts;
    size_t m_nKlvSeen = 0;
};

Bytes FixedBytes(double dValue)
{
    const auto n = static_cast<uint32_t>(RC_Codec::FloatToFixed(dValue));
    return {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)};
}

// A long command frame setting one item of SubSystem/Index.
Bytes SetCommand(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem, const Bytes& value)
{
    Bytes frame = {0x99, nSubSystem, nIndex, 0x00, static_cast<uint8_t>(1 + value.size()), nItem};
    frame.insert(frame.end(), value.begin(), value.end());
    return WithChecksum(frame);
}
} // namespace

// Each frame's KLV says the frame's time, the lens's field of view and where
// the platform points; an Az demand and the zoom buttons move them, as they
// move the picture.
TEST(SimVideo, KlvFollowsThePlatformAndTheLens)
{
    VideoSim sim;
    ASSERT_TRUE(sim.Start());
    std::optional<Klv> klv = sim.NextKlv();
    ASSERT_TRUE(klv);
    const auto nNowUs = std::chrono::duration_cast<std::chrono::microseconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
    EXPECT_NEAR(static_cast<double>(klv->nTimeUs), static_cast<double>(nNowUs), 5e6);
    EXPECT_NEAR(klv->dHorizontalFov, 40.0, 0.01);
    EXPECT_NEAR(klv->dVerticalFov, 30.54, 0.02);  // 640 x 480
    EXPECT_NEAR(klv->dAzimuth, 0.0, 1e-6);
    EXPECT_NEAR(klv->dElevation, 0.0, 1e-6);
    EXPECT_EQ(klv->nVersion, 16);

    // Az 10 degrees (Fixed milliradians), El -5.
    sim.Send(SetCommand(2, 0, 1, FixedBytes(10.0 * 1000.0 / 57.29577951308232)));
    sim.Send(SetCommand(2, 0, 2, FixedBytes(-5.0 * 1000.0 / 57.29577951308232)));
    EXPECT_TRUE(sim.KlvWhere([](const Klv& k) {
        return std::abs(k.dAzimuth - 10.0) < 0.01 && std::abs(k.dElevation + 5.0) < 0.01;
    }));
    // Camera 0 zooms in at full speed until stopped.
    sim.Send(SetCommand(3, 0, 6, {0x7F, 0xFF}));
    std::optional<Klv> zoomed = sim.KlvWhere([](const Klv& k) { return k.dHorizontalFov < 20.0; });
    ASSERT_TRUE(zoomed);
    EXPECT_NEAR(zoomed->dVerticalFov / zoomed->dHorizontalFov, 30.54 / 40.0, 0.03);
    sim.Send(SetCommand(3, 0, 22, {0x01}));
}

// RTP/H.264: RTP version 2, payload type 96, consecutive sequence numbers.
TEST(SimVideo, RtpFormSendsRtpH264)
{
    VideoSim sim;
    sim.Options().m_bVideoRtp = true;
    ASSERT_TRUE(sim.Start());
    std::optional<uint16_t> nLast;
    for (int i = 0; i < 30; ++i)
    {
        std::optional<Bytes> datagram = sim.Video().ReceiveWithin(10s);
        ASSERT_TRUE(datagram);
        ASSERT_GT(datagram->size(), 12u);
        EXPECT_EQ((*datagram)[0] >> 6, 2);
        EXPECT_EQ((*datagram)[1] & 0x7F, 96);
        const auto nSequence = static_cast<uint16_t>(BigEndian(datagram->data() + 2, 2));
        if (nLast)
        {
            EXPECT_EQ(nSequence, static_cast<uint16_t>(*nLast + 1));
        }
        nLast = nSequence;
    }
}

// --video-loss 0.5 loses about half of what the encoder sends, from the seed.
TEST(SimVideo, VideoLossTakesItsShare)
{
    VideoSim sim;
    sim.Options().m_dVideoLoss = 0.5;
    ASSERT_TRUE(sim.Start());
    const cSimVideo* pVideo = sim.Sim().Video();
    ASSERT_NE(pVideo, nullptr);
    // Read as they come: a socket's buffer holds only a second or so of video.
    size_t nReceived = 0;
    ASSERT_TRUE(WaitFor(
        [&] {
            while (sim.Video().ReceiveWithin(0ms))
                ++nReceived;
            return pVideo->DatagramsEncoded() >= 300;
        },
        20s));
    sim.Stop();
    while (sim.Video().ReceiveWithin(200ms))
        ++nReceived;
    const double dShare = static_cast<double>(pVideo->DatagramsSent()) / pVideo->DatagramsEncoded();
    EXPECT_GT(dShare, 0.35);
    EXPECT_LT(dShare, 0.65);
    EXPECT_GE(nReceived, pVideo->DatagramsSent() * 9 / 10);
    EXPECT_TRUE(sim.SawEvent("video udp://127.0.0.1:" + std::to_string(sim.Video().Port()) +
                             " (MPEG-TS, H.264 and KLV, 640 x 480 at 30 frames/s, video loss 0.5)"));
}
