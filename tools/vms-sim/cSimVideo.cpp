#include "cSimVideo.h"

#include "cSimEoStream.h"
#include "cSimEventLog.h"
#include "cSimLanding.h"
#include "cSimOptions.h"

#include <algorithm>
#include <boost/asio/executor_work_guard.hpp>
#include <cmath>
#include <cstdio>

namespace
{
constexpr uint8_t kKlvVersion = 16;
// The links' numbers for their own decisions from the one seed: pages 0, EO 1.
constexpr uint32_t kVideoLink = 2;
constexpr uint8_t kUasKey[16] = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x0B, 0x01, 0x01,
                                 0x0E, 0x01, 0x03, 0x01, 0x01, 0x00, 0x00, 0x00};

void PutItem(std::vector<uint8_t>& items, uint8_t nTag, uint64_t nValue, int nBytes)
{
    items.push_back(nTag);
    items.push_back(static_cast<uint8_t>(nBytes));
    for (int i = nBytes - 1; i >= 0; --i)
        items.push_back(static_cast<uint8_t>(nValue >> (8 * i)));
}

// An angle mapped onto the whole range of an unsigned integer of nBits.
uint64_t Unsigned(double dValue, double dRange, int nBits)
{
    const double dMost = std::ldexp(1.0, nBits) - 1.0;
    return static_cast<uint64_t>(std::llround(std::clamp(dValue / dRange, 0.0, 1.0) * dMost));
}

cSimImpairment::Settings VideoNetwork(const cSimOptions& options)
{
    // The video's own loss on top of the link's: a datagram survives both.
    cSimImpairment::Settings settings = options.m_ImpairTx;
    settings.dLoss = 1.0 - (1.0 - settings.dLoss) * (1.0 - options.m_dVideoLoss);
    return settings;
}
} // namespace

cSimVideo::cSimVideo(const cSimOptions& options, const cSimLanding& landing, const cSimEoStream& eo,
                     Clock::time_point start, cSimEventLog& log)
    : m_sDestination(options.VideoDestination()), m_bRtp(options.m_bVideoRtp), m_dLoss(options.m_dVideoLoss),
      m_Network(VideoNetwork(options)), m_nSeed(options.m_nSeed), m_Landing(landing), m_Eo(eo), m_Start(start),
      m_Log(log),
      m_Period(std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / options.m_nVideoFps))),
      m_sHost(options.m_sVideoHost), m_nPort(static_cast<uint16_t>(options.m_nVideoPort)),
      m_Scene(options.m_nVideoWidth, options.m_nVideoHeight, options.m_nPictureWidth, options.m_nPictureHeight)
{
    cVideoSender::Settings settings;
    settings.form = m_bRtp ? cVideoSender::eForm::Rtp : cVideoSender::eForm::TransportStream;
    settings.nWidth = options.m_nVideoWidth;
    settings.nHeight = options.m_nVideoHeight;
    settings.nFps = options.m_nVideoFps;
    m_pSender = std::make_unique<cVideoSender>(settings, [this](const uint8_t* pData, size_t nSize) {
        if (m_pNetwork)
            m_pNetwork->Pass(pData, nSize);
        else
            Send(pData, nSize);
    });
}

cSimVideo::~cSimVideo()
{
    Stop();
}

std::string cSimVideo::Describe() const
{
    const cVideoSender::Settings& settings = m_pSender->Get();
    std::string sText = m_sDestination + (m_bRtp ? " (RTP/H.264, " : " (MPEG-TS, H.264 and KLV, ") +
                        std::to_string(settings.nWidth) + " x " + std::to_string(settings.nHeight) + " at " +
                        std::to_string(settings.nFps) + " frames/s";
    if (m_dLoss > 0.0)
    {
        char szLoss[48];
        std::snprintf(szLoss, sizeof szLoss, ", video loss %g", m_dLoss);
        sText += szLoss;
    }
    return sText + ")";
}

bool cSimVideo::Start(std::string& sError)
{
    boost::system::error_code ec;
    boost::asio::ip::udp::resolver resolver(m_SocketIo);
    const auto endpoints = resolver.resolve(boost::asio::ip::udp::v4(), m_sHost, std::to_string(m_nPort), ec);
    if (ec || endpoints.empty())
    {
        sError = "video: cannot resolve " + m_sHost + ": " + (ec ? ec.message() : "no IPv4 address");
        return false;
    }
    m_Destination = endpoints.begin()->endpoint();
    m_Socket.open(boost::asio::ip::udp::v4(), ec);
    if (ec)
    {
        sError = "video: cannot open a UDP socket: " + ec.message();
        return false;
    }
    // A burst of an I-frame's datagrams must not be refused by a full send buffer.
    m_Socket.set_option(boost::asio::socket_base::send_buffer_size(1 << 20), ec);

    if (m_Network.On())
    {
        m_pNetworkIo = std::make_unique<boost::asio::io_context>();
        m_pNetwork = std::make_unique<cSimImpairment>(
            m_Network, cSimImpairment::SeedFor(m_nSeed, kVideoLink, 0), *m_pNetworkIo,
            [this](const cSimImpairment::Bytes& datagram) { Send(datagram.data(), datagram.size()); });
        m_NetworkThread = std::thread([this] {
            auto work = boost::asio::make_work_guard(*m_pNetworkIo);
            m_pNetworkIo->run();
        });
    }
    if (!m_pSender->Start(sError))
    {
        Stop();
        return false;
    }
    m_bStopping = false;
    m_RenderThread = std::thread([this] { Run(); });
    return true;
}

void cSimVideo::Stop()
{
    {
        std::lock_guard<std::mutex> lock(m_StopMutex);
        m_bStopping = true;
    }
    m_StopCondition.notify_all();
    if (m_RenderThread.joinable())
        m_RenderThread.join();
    // No datagram comes from the encoder after this; then none from the network.
    m_pSender->Stop();
    if (m_pNetwork)
        m_pNetwork->Close();
    if (m_pNetworkIo)
        m_pNetworkIo->stop();
    if (m_NetworkThread.joinable())
        m_NetworkThread.join();
    m_pNetwork.reset();
    m_pNetworkIo.reset();
    boost::system::error_code ec;
    m_Socket.close(ec);
}

void cSimVideo::Run()
{
    const Clock::time_point first = Clock::now();
    uint64_t nSlot = 0;
    std::unique_lock<std::mutex> lock(m_StopMutex);
    while (!m_StopCondition.wait_until(lock, first + nSlot * m_Period, [this] { return m_bStopping; }))
    {
        lock.unlock();
        if (!m_bFailed)
            RenderFrame();
        lock.lock();
        // Behind by a frame or more (a loaded machine): on to the next slot
        // still ahead, so the rate holds and no burst makes up for it.
        ++nSlot;
        const uint64_t nDue = static_cast<uint64_t>((Clock::now() - first) / m_Period);
        if (nDue >= nSlot)
        {
            m_nSkipped += nDue + 1 - nSlot;
            nSlot = nDue + 1;
        }
    }
}

void cSimVideo::RenderFrame()
{
    const Clock::time_point rendered = Clock::now();
    const auto nWallUs = std::chrono::duration_cast<std::chrono::microseconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
    const double dSeconds = std::chrono::duration<double>(rendered - m_Start).count();

    const cSimLanding::Pointing pointing = m_Landing.PointingAt(dSeconds);
    cSimScene::View view;
    view.dAzDeg = pointing.dAzDeg;
    view.dElDeg = pointing.dElDeg;
    view.dHorizontalFovDeg = cSimScene::HorizontalFovAtZoom(pointing.dZoom);
    std::vector<cSimScene::Object> objects;
    for (const cSimEoStream::Target& target : m_Eo.TargetsAt(cSimEoStream::kTrackReport, dSeconds))
        objects.push_back({target.dX, target.dY, target.dSizeX, target.dSizeY});
    m_Scene.Render(view, objects, m_Picture);

    const std::vector<uint8_t> klv =
        m_bRtp ? std::vector<uint8_t>{}
               : KlvPacket(static_cast<uint64_t>(nWallUs), view, m_Scene.VerticalFov(view.dHorizontalFovDeg));
    if (!m_pSender->Push(m_Picture.data(), klv, rendered))
    {
        // Said once; the picture stops and the rest of the simulator works on.
        m_bFailed = true;
        const std::string sError = m_pSender->Error();
        m_Log.Event("video stopped: %s", sError.empty() ? "the encoder takes no more pictures" : sError.c_str());
        return;
    }
    ++m_nFrames;
}

void cSimVideo::Send(const uint8_t* pData, size_t nSize)
{
    std::lock_guard<std::mutex> lock(m_SendMutex);
    boost::system::error_code ec;
    m_Socket.send_to(boost::asio::buffer(pData, nSize), m_Destination, 0, ec);
    if (!ec)
        ++m_nDatagramsSent;
    // A failure that lasts is reported when it begins and when it ends.
    if (ec && !m_bSendFailing)
        m_Log.Event("video: cannot send to %s: %s", m_sDestination.c_str(), ec.message().c_str());
    else if (!ec && m_bSendFailing)
        m_Log.Event("video: sending to %s again", m_sDestination.c_str());
    m_bSendFailing = static_cast<bool>(ec);
}

std::vector<uint8_t> cSimVideo::KlvPacket(uint64_t nTimeUs, const cSimScene::View& view, double dVerticalFovDeg)
{
    std::vector<uint8_t> items;
    PutItem(items, 2, nTimeUs, 8);
    PutItem(items, 16, Unsigned(view.dHorizontalFovDeg, 180.0, 16), 2);
    PutItem(items, 17, Unsigned(dVerticalFovDeg, 180.0, 16), 2);
    // Azimuth 0 to 360 clockwise, elevation -180 to 180 on a signed 32-bit range.
    const double dAz = std::fmod(std::fmod(view.dAzDeg, 360.0) + 360.0, 360.0);
    PutItem(items, 18, Unsigned(dAz, 360.0, 32), 4);
    const double dEl = std::clamp(view.dElDeg, -180.0, 180.0);
    PutItem(items, 19, static_cast<uint32_t>(static_cast<int32_t>(std::llround(dEl / 180.0 * 2147483647.0))), 4);
    PutItem(items, 65, kKlvVersion, 1);

    std::vector<uint8_t> packet(std::begin(kUasKey), std::end(kUasKey));
    packet.push_back(static_cast<uint8_t>(items.size() + 4));  // short-form BER: under 128 bytes
    packet.insert(packet.end(), items.begin(), items.end());
    packet.push_back(1);
    packet.push_back(2);
    // Sum of big-endian 16-bit words over the packet up to the checksum's length byte.
    uint16_t nSum = 0;
    for (size_t i = 0; i < packet.size(); ++i)
        nSum = static_cast<uint16_t>(nSum + (i % 2 == 0 ? packet[i] << 8 : packet[i]));
    packet.push_back(static_cast<uint8_t>(nSum >> 8));
    packet.push_back(static_cast<uint8_t>(nSum));
    return packet;
}
