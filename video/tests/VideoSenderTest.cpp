// The sender's real pipelines: what leaves it is what a receiver of a
// transport stream or of RTP/H.264 expects, picture after picture.
#include "TsInspector.h"
#include "WaitFor.h"
#include "cVideoSender.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

namespace
{
const Bytes kUasKey = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x0B, 0x01, 0x01,
                       0x0E, 0x01, 0x03, 0x01, 0x01, 0x00, 0x00, 0x00};

// A sender whose datagrams are kept with the time each left.
class Rig
{
public:
    explicit Rig(const cVideoSender::Settings& settings)
        : m_Sender(settings, [this](const uint8_t* pData, size_t nSize) {
              std::lock_guard<std::mutex> lock(m_Mutex);
              m_Datagrams.emplace_back(pData, pData + nSize);
              m_Times.push_back(Clock::now());
          })
    {
    }
    cVideoSender& Sender() { return m_Sender; }
    std::vector<Bytes> Datagrams()
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return m_Datagrams;
    }
    std::vector<Clock::time_point> Times()
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return m_Times;
    }
    // nPictures moving pictures at the sender's rate, each with a KLV packet
    // that carries its number; returns when each was pushed.
    std::vector<Clock::time_point> Play(int nPictures)
    {
        const cVideoSender::Settings& settings = m_Sender.Get();
        Bytes picture(m_Sender.FrameBytes(), 128);
        std::vector<Clock::time_point> pushed;
        const Clock::time_point start = Clock::now();
        for (int n = 0; n < nPictures; ++n)
        {
            std::this_thread::sleep_until(start + n * std::chrono::microseconds(1000000 / settings.nFps));
            for (int32_t y = 0; y < settings.nHeight; ++y)
                for (int32_t x = 0; x < settings.nWidth; ++x)
                    picture[static_cast<size_t>(y * settings.nWidth + x)] = static_cast<uint8_t>(x + y + 8 * n);
            Bytes klv = kUasKey;
            klv.insert(klv.end(), {0x03, 0x41, 0x01, static_cast<uint8_t>(n)});
            pushed.push_back(Clock::now());
            EXPECT_TRUE(m_Sender.Push(picture.data(), klv, pushed.back())) << m_Sender.Error();
        }
        return pushed;
    }

private:
    std::mutex m_Mutex;
    std::vector<Bytes> m_Datagrams;
    std::vector<Clock::time_point> m_Times;
    cVideoSender m_Sender;  // last: its threads write the fields above
};

bool Contains(const Bytes& haystack, const Bytes& needle)
{
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}
} // namespace

// Every datagram is seven whole transport packets; the programme holds an
// H.264 stream and a KLV stream, each picture's KLV packet stamped with the
// picture's own presentation time; and a picture's last datagram leaves with
// it (filled up with null packets), never holding the next picture's start.
TEST(VideoSender, TransportStreamCarriesEachPictureWithItsKlvInWholeDatagrams)
{
    Rig rig(cVideoSender::Settings{});
    std::string sError;
    ASSERT_TRUE(rig.Sender().Start(sError)) << sError;
    constexpr size_t kPictures = 20;
    rig.Play(kPictures);
    // A loaded machine may drop a picture the encoder has no time for.
    const size_t nPushed = rig.Sender().PicturesPushed();
    ASSERT_GE(nPushed, kPictures / 2);

    // Read as they come: every PES start counted per datagram.
    TsInspector ts;
    std::vector<std::pair<size_t, size_t>> starts;  // video and KLV PES begun up to each datagram
    size_t nSeen = 0;
    ASSERT_TRUE(WaitFor(
        [&] {
            const std::vector<Bytes> datagrams = rig.Datagrams();
            for (; nSeen < datagrams.size(); ++nSeen)
            {
                EXPECT_EQ(datagrams[nSeen].size(), cVideoSender::kTsDatagram);
                ts.Datagram(datagrams[nSeen].data(), datagrams[nSeen].size());
                const TsInspector::Stream* pVideo = ts.OfType(TsInspector::kStreamTypeH264);
                const TsInspector::Stream* pKlv = ts.Other(TsInspector::kStreamTypeH264);
                starts.emplace_back(pVideo ? pVideo->nPesStarts : 0, pKlv ? pKlv->nPesStarts : 0);
            }
            // The last KLV packet waits in the muxer for a picture that never comes.
            return !starts.empty() && starts.back().first == nPushed && starts.back().second + 1 >= nPushed;
        },
        10s));
    rig.Sender().Stop();

    EXPECT_EQ(ts.BadSync(), 0u);
    ASSERT_TRUE(ts.PmtPid());
    EXPECT_EQ(ts.Streams().size(), 2u);
    const TsInspector::Stream* pVideo = ts.OfType(TsInspector::kStreamTypeH264);
    const TsInspector::Stream* pKlv = ts.Other(TsInspector::kStreamTypeH264);
    ASSERT_TRUE(pVideo && pKlv);
    EXPECT_EQ(pVideo->nPesStarts, nPushed);
    EXPECT_EQ(pKlv->nRegistration, 0x4B4C5641u);  // "KLVA"
    for (const Bytes& payload : pKlv->payloads)
        EXPECT_TRUE(Contains(payload, kUasKey));
    ASSERT_GE(pKlv->pts.size(), nPushed - 1);
    EXPECT_EQ(pKlv->pts, std::vector<uint64_t>(pVideo->pts.begin(), pVideo->pts.begin() + pKlv->pts.size()));

    // No datagram holds the end of one picture's video and the start of the next's.
    const uint16_t nVideoPid = ts.Streams().begin()->second.nType == TsInspector::kStreamTypeH264
                                   ? ts.Streams().begin()->first
                                   : ts.Streams().rbegin()->first;
    // Padding ends each picture only: at most one datagram's worth a picture
    // (a stream padded packet by packet would lose whole pictures to any loss).
    size_t nNullPackets = 0;
    for (const Bytes& datagram : rig.Datagrams())
    {
        bool bVideoBefore = false;
        for (size_t n = 0; n + TsInspector::kPacket <= datagram.size(); n += TsInspector::kPacket)
        {
            const uint8_t* p = &datagram[n];
            nNullPackets += ((p[1] & 0x1F) << 8 | p[2]) == 0x1FFF ? 1 : 0;
            if (((p[1] & 0x1F) << 8 | p[2]) != nVideoPid)
                continue;
            EXPECT_FALSE(bVideoBefore && (p[1] & 0x40)) << "a picture began in the datagram of the one before";
            bVideoBefore = true;
        }
    }
    EXPECT_LE(nNullPackets, 6 * nPushed);
}

// RTP/H.264: version 2, payload type 96, consecutive sequence numbers, each
// picture's last packet marked, and SPS/PPS ahead of the I-frames.
TEST(VideoSender, RtpCarriesH264WithItsParameterSets)
{
    cVideoSender::Settings settings;
    settings.form = cVideoSender::eForm::Rtp;
    settings.nWidth = 320;
    settings.nHeight = 240;
    Rig rig(settings);
    std::string sError;
    ASSERT_TRUE(rig.Sender().Start(sError)) << sError;
    rig.Play(15);
    ASSERT_TRUE(WaitFor([&] { return rig.Sender().DatagramsOut() >= 15; }, 10s));
    rig.Sender().Stop();

    const std::vector<Bytes> datagrams = rig.Datagrams();
    size_t nMarked = 0;
    bool bSps = false;
    for (size_t i = 0; i < datagrams.size(); ++i)
    {
        const Bytes& d = datagrams[i];
        ASSERT_GT(d.size(), 12u);
        EXPECT_EQ(d[0] >> 6, 2);
        EXPECT_EQ(d[1] & 0x7F, cVideoSender::kRtpPayloadType);
        if (i > 0)
        {
            EXPECT_EQ(static_cast<uint16_t>(d[2] << 8 | d[3]),
                      static_cast<uint16_t>((datagrams[i - 1][2] << 8 | datagrams[i - 1][3]) + 1));
        }
        nMarked += (d[1] & 0x80) ? 1 : 0;
        bSps = bSps || (d[12] & 0x1F) == 7 || ((d[12] & 0x1F) == 24 && d.size() > 15 && (d[15] & 0x1F) == 7);
    }
    EXPECT_GE(nMarked, 13u);
    EXPECT_TRUE(bSps);
}
