#pragma once
#include "cSimOptions.h"
#include "cSimTransport.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class cSimEventLog;

// Plays a recorded session back to a console: the frames its traffic logs
// recorded as received, or the datagrams a capture file holds to its ports,
// each sent as one message at its recorded time (scaled by the speed), EO
// track frames over the EO link and everything else over the page protocol
// link, exactly as recorded, cut or spoilt ones included. One playback
// thread, started by Start and joined by Stop; the console's own frames only
// tell that it is there.
class cSimReplay
{
public:
    struct Frame
    {
        double dSeconds = 0.0;  // as the log counts them
        std::vector<uint8_t> bytes;
        bool bEo = false;
    };

    cSimReplay(const cSimOptions& options, cSimEventLog& log);
    ~cSimReplay();
    cSimReplay(const cSimReplay&) = delete;
    cSimReplay& operator=(const cSimReplay&) = delete;

    // Reads every log of the options; false with the reason.
    bool Load(std::string& sError);
    // Called on the playback thread once the last frame is out (never with --loop).
    void SetOnFinished(std::function<void()> fnFinished) { m_fnFinished = std::move(fnFinished); }
    bool Start(std::string& sError);
    void Stop();

    const std::vector<Frame>& Frames() const { return m_Frames; }
    uint16_t PagesPort() const;
    uint16_t EoPort() const;
    uint32_t FramesSent() const { return m_nFramesSent; }
    bool Finished() const { return m_bFinished; }

private:
    // Adds the datagrams a capture file holds to the console's page and EO
    // ports; false with the reason when it cannot be read or holds none.
    bool LoadCapture(const std::string& sFile, size_t& nWarnings, std::string& sError);
    void Run();
    // Waits until the time or a stop; false when stopped.
    bool WaitUntil(std::chrono::steady_clock::time_point when);
    void OnConsoleFrame();

    const cSimOptions m_Options;
    cSimEventLog& m_Log;
    std::vector<Frame> m_Frames;
    std::function<void()> m_fnFinished;
    std::unique_ptr<cSimTransport> m_pPages;
    std::unique_ptr<cSimTransport> m_pEo;

    std::mutex m_Mutex;  // guards the two flags below, with m_Wake
    std::condition_variable m_Wake;
    bool m_bStopping = false;
    bool m_bConsoleSeen = false;  // written by the receive thread
    std::atomic<uint32_t> m_nFramesSent{0};
    std::atomic<bool> m_bFinished{false};
    std::thread m_Thread;
};
