#pragma once
#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

class cSimOptions;

// The faults injected into what we send. Times are seconds since start;
// frame counts are kept per link, so that the EO stream does not shift the
// page protocol's pattern. Called from the receive and timer threads.
class cSimFaults
{
public:
    enum eLink
    {
        kPages = 0,
        kEo = 1,
    };

    struct Window
    {
        double dFrom = 0.0;
        double dFor = 0.0;
        bool Contains(double dSeconds) const { return dFor > 0.0 && dSeconds >= dFrom && dSeconds < dFrom + dFor; }
    };

    struct Settings
    {
        int32_t nBadChecksumEvery = 0;
        int32_t nBadStatus = 0;
        int32_t nBadStatusEvery = 1;
        int32_t nUnknownItemEvery = 0;
        Window silence;
        Window noHeartbeat;
        bool bShortFrames = false;
    };

    explicit cSimFaults(const Settings& settings) : m_Settings(settings) {}
    static Settings From(const cSimOptions& options);
    const Settings& Get() const { return m_Settings; }

    bool Silent(double dSeconds) const { return m_Settings.silence.Contains(dSeconds); }
    bool HeartbeatHeld(double dSeconds) const { return m_Settings.noHeartbeat.Contains(dSeconds); }

    // For each status frame (not heartbeats) before it is built: the status
    // byte to send, and whether to lead with an unknown item.
    uint8_t StatusFor(uint8_t nStatus);
    bool LeadWithUnknownItem();

    // Last step before a frame goes out: false to drop it (silence); may cut
    // the frame short or spoil its checksum.
    bool Finish(eLink eLink, std::vector<uint8_t>& frame, double dSeconds);
    // Removes the last payload byte and mends the length field and checksum.
    static bool Shorten(std::vector<uint8_t>& frame);

private:
    const Settings m_Settings;
    std::mutex m_Mutex;  // guards the counters
    uint32_t m_nStatusFrames = 0;
    uint32_t m_nUnknownFrames = 0;
    std::array<uint32_t, 2> m_nFramesSent{};
};
