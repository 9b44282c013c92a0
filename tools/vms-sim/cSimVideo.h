#pragma once
#include "cSimImpairment.h"
#include "cSimScene.h"
#include "cVideoSender.h"

#include <atomic>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/udp.hpp>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class cSimEventLog;
class cSimOptions;
class cSimWorld;

// The sensor's video. A thread of its own draws the scene at the frame rate
// (on the steady clock: a late frame is skipped, never made up in a burst),
// from the platform's pointing and the EO targets it sees at that moment
// (cSimWorld, as the EO reports have them), and hands
// each picture with its KLV packet to the encoder. The encoder's datagrams
// leave from a UDP socket of this object's, through the same bad network as
// the other links (its own decisions from the one seed) with the video's own
// extra loss on top.
class cSimVideo
{
public:
    using Clock = std::chrono::steady_clock;

    // The world is read (from the render thread) until Stop; start is the
    // simulator's time zero, which the EO reports count from.
    cSimVideo(const cSimOptions& options, const cSimWorld& world, Clock::time_point start, cSimEventLog& log);
    ~cSimVideo();
    cSimVideo(const cSimVideo&) = delete;
    cSimVideo& operator=(const cSimVideo&) = delete;

    // False with the reason when the destination or the encoder cannot be used.
    bool Start(std::string& sError);
    void Stop();

    // "udp://127.0.0.1:5600 (MPEG-TS, H.264 and KLV, 640 x 480 at 30 frames/s)".
    std::string Describe() const;
    uint64_t Frames() const { return m_nFrames; }
    uint64_t DatagramsSent() const { return m_nDatagramsSent; }
    uint64_t DatagramsEncoded() const { return m_pSender->DatagramsOut(); }  // before the network's losses
    uint64_t FramesSkipped() const { return m_nSkipped; }

    // The KLV packet of one frame (UAS Datalink Local Set).
    static std::vector<uint8_t> KlvPacket(uint64_t nTimeUs, const cSimScene::View& view, double dVerticalFovDeg);

private:
    void Run();
    void RenderFrame();
    void Send(const uint8_t* pData, size_t nSize);

    const std::string m_sDestination;
    const bool m_bRtp;
    const double m_dLoss;
    const cSimImpairment::Settings m_Network;
    const uint64_t m_nSeed;
    const cSimWorld& m_World;
    const Clock::time_point m_Start;
    cSimEventLog& m_Log;
    const Clock::duration m_Period;
    const std::string m_sHost;
    const uint16_t m_nPort;

    boost::asio::io_context m_SocketIo;  // the socket's; nothing runs on it
    boost::asio::ip::udp::socket m_Socket{m_SocketIo};
    boost::asio::ip::udp::endpoint m_Destination;
    std::mutex m_SendMutex;  // guards the socket and m_bSendFailing: the encoder's and the network's threads send
    bool m_bSendFailing = false;

    // Held datagrams (delay, jitter) leave from this thread.
    std::unique_ptr<boost::asio::io_context> m_pNetworkIo;
    std::unique_ptr<cSimImpairment> m_pNetwork;
    std::thread m_NetworkThread;

    // Render thread only.
    cSimScene m_Scene;
    std::vector<uint8_t> m_Picture;
    bool m_bFailed = false;

    std::atomic<uint64_t> m_nFrames{0};          // written by the render thread
    std::atomic<uint64_t> m_nSkipped{0};         // likewise
    std::atomic<uint64_t> m_nDatagramsSent{0};   // written under m_SendMutex
    std::mutex m_StopMutex;  // guards m_bStopping for the render thread's wait
    std::condition_variable m_StopCondition;
    bool m_bStopping = false;
    std::thread m_RenderThread;
    std::unique_ptr<cVideoSender> m_pSender;  // its threads call Send
};
