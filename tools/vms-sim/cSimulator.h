#pragma once
#include "cSimDesignation.h"
#include "cSimEoStream.h"
#include "cSimFaults.h"
#include "cSimHeartbeat.h"
#include "cSimItemStore.h"
#include "cSimLanding.h"
#include "cSimOptions.h"
#include "cSimPeriodic.h"
#include "cSimWorld.h"
#include "cRC_MismatchMonitor.h"

#include <atomic>
#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class cSimEventLog;
class cSimProtocol;
class cSimTransport;
class cSimVideo;

// The whole simulated remote system: the page protocol link, the EO link and
// one timer thread that ticks every 100 ms (live values, periodic groups,
// heartbeat, fault windows) and sends the EO stream; with --video, the sensor
// video on its own render thread (cSimVideo). The EO reports and the video
// show the targets where the platform sees them (cSimWorld), and a point the
// console designates becomes a track (cSimDesignation). Start and Stop belong
// to the owner's thread; everything else runs on the receive and timer threads.
class cSimulator
{
public:
    cSimulator(const cSimOptions& options, cSimEventLog& log);
    ~cSimulator();
    cSimulator(const cSimulator&) = delete;
    cSimulator& operator=(const cSimulator&) = delete;

    bool Start(std::string& sError);
    void Stop();

    uint16_t PagesPort() const;  // UDP only: where commands are taken
    uint16_t EoPort() const;
    cSimItemStore& Items() { return m_Items; }
    const cSimWorld& World() const { return m_World; }
    bool EoStreaming() const { return m_EoStream.Enabled(); }
    uint32_t FramesSent() const;  // page protocol frames that went out
    uint32_t EoFramesSent() const;
    const cSimVideo* Video() const { return m_pVideo.get(); }  // nullptr without video
    double Seconds() const;

    // Sends the group's items nFrames times at dRate frames per second (0: as
    // fast as the link takes them), on the calling thread: its requested mask
    // if it has one, otherwise every item defined for it. Returns the frames
    // handed to the link.
    uint32_t Flood(uint8_t nSubSystem, uint8_t nIndex, uint32_t nFrames, double dRate);

private:
    bool Send(std::vector<uint8_t>& frame);
    void SwitchEo(bool bOn);
    void OnPeriodicChanged(const cSimPeriodic::Group& group);
    void ScheduleTick();
    void Tick();
    // Reports, once each way, commands of a kind this simulator is not set
    // for and replies that nobody takes.
    void WatchLink();
    std::string DescribeMismatch(RC_DatagramKind eKind, uint64_t nSample) const;
    void ScheduleEo();
    void SendEo();
    uint32_t FloodGroup(const cSimPeriodic::Group& group, uint32_t nFrames, double dRate);

    const cSimOptions m_Options;
    cSimEventLog& m_Log;
    cSimItemStore m_Items;
    cSimLanding m_Landing;
    cSimPeriodic m_Periodic;
    cSimHeartbeat m_Heartbeat;
    cSimFaults m_Faults;
    cSimEoStream m_EoStream;
    const cSimWorld m_World;        // reads m_Landing and m_EoStream
    cSimDesignation m_Designation;  // designated on the receive thread, asked on the timer thread
    std::unique_ptr<cSimProtocol> m_pProtocol;
    std::unique_ptr<cSimTransport> m_pPages;
    std::unique_ptr<cSimTransport> m_pEo;
    std::unique_ptr<cSimVideo> m_pVideo;  // reads m_World on its render thread

    std::chrono::steady_clock::time_point m_Start;
    boost::asio::io_context m_Io;
    boost::asio::steady_timer m_TickTimer{m_Io};
    boost::asio::steady_timer m_EoTimer{m_Io};
    std::thread m_TimerThread;
    // Timer thread only:
    uint32_t m_nTicks = 0;
    bool m_bWasSilent = false;
    bool m_bWasHeld = false;
    cRC_MismatchMonitor m_LinkWatch;
    std::string m_sRefusedAt;

    std::atomic<bool> m_bStopping{false};
    std::atomic<bool> m_bFloodStarted{false};
    std::mutex m_FloodMutex;  // guards m_FloodThread against Stop
    std::thread m_FloodThread;
    bool m_bStarted = false;
};
