#include "cSimVideo.h"

#include "cSimEventLog.h"
#include "cSimOptions.h"
#include "cSimWorld.h"

#include "cKlvWriter.h"

#include <algorithm>
#include <boost/asio/executor_work_guard.hpp>
#include <cmath>
#include <cstdio>

namespace
{
// The links' numbers for their own decisions from the one seed: pages 0, EO 1.
constexpr uint32_t kVideoLink = 2;

cSimImpairment::Settings VideoNetwork(const cSimOptions& options)
{
    // The video's own loss on top of the link's: a datagram survives both.
    cSimImpairment::Settings settings = options.m_ImpairTx;
    settings.dLoss = 1.0 - (1.0 - settings.dLoss) * (1.0 - options.m_dVideoLoss);
    // A picture's datagrams keep their order through the jitter, as one
    // stream's do on a real path; --reorder still reorders them.
    settings.bJitterKeepsOrder = true;
    return settings;
}
} // namespace

cSimVideo::cSimVideo(const cSimOptions& options, const cSimWorld& world, Clock::time_point start, cSimEventLog& log)
    : m_sDestination(options.VideoDestination()), m_bRtp(options.m_bVideoRtp), m_dLoss(options.m_dVideoLoss),
      m_Network(VideoNetwork(options)), m_nSeed(options.m_nSeed), m_World(world), m_Start(start),
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

    const cSimWorld::Seen seen = m_World.SeenAt(cSimEoStream::kTrackReport, dSeconds);
    const cSimScene::View& view = seen.view;
    std::vector<cSimScene::Object> objects;
    for (const cSimEoStream::Target& target : seen.targets)
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
    KlvMetadata metadata;
    metadata.nTimeUs = nTimeUs;
    metadata.dHorizontalFovDeg = view.dHorizontalFovDeg;
    metadata.dVerticalFovDeg = dVerticalFovDeg;
    metadata.dRelativeAzimuthDeg = view.dAzDeg;  // the writer wraps it into 0..360
    metadata.dRelativeElevationDeg = view.dElDeg;
    return cKlvWriter::Write(metadata);
}
