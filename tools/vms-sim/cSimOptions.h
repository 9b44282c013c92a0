#pragma once
#include "CommsSettings.h"
#include "RC_Variant.h"
#include "cToolOptions.h"

#include <cstdint>
#include <string>
#include <vector>

// What vms-sim was asked to be: variant, transport, ports, EO stream and the
// faults to inject. Defaults mirror the console's own defaults, seen from the
// other end of the link (the console's target port is our listening port).
class cSimOptions : public cToolOptions
{
public:
    eParse Parse(int argc, char* argv[]);
    static const char* Usage();

    int32_t m_nVariant = 0;  // as given: checked to name a known variant
    RC_Variant Variant() const { return static_cast<RC_Variant>(m_nVariant); }
    std::string m_sPagesFile = "config/PageDefinitions.xml";

    std::string m_sSerialDevice;  // the page protocol over this device instead of UDP
    int32_t m_nBaudRate = CommsSettings::kDefaultBaudRate;
    std::string m_sAddress = CommsSettings::kDefaultIpAddress;  // where the console is
    std::string m_sBindAddress = "0.0.0.0";
    int32_t m_nPort = CommsSettings::kDefaultTxPort;       // we listen for commands here
    int32_t m_nReplyPort = CommsSettings::kDefaultRxPort;  // the console listens here
    int32_t m_nEoPort = CommsSettings::kDefaultEoRxPort;   // the console's EO receiver listens here
    int32_t m_nEoListenPort = CommsSettings::kDefaultEoTxPort;

    int32_t m_nEoFormat = 0;
    int32_t m_nEoTargets = 4;
    int32_t m_nEoTags = 1;
    int32_t m_nEoPeriodMs = 100;
    bool m_bEoOn = false;  // stream from the start, without waiting for the console

    // Faults; 0 (or an empty window) is off.
    int32_t m_nBadChecksumEvery = 0;
    int32_t m_nBadStatus = 0;
    int32_t m_nBadStatusEvery = 1;
    int32_t m_nUnknownItemEvery = 0;
    double m_dSilenceAfter = 0.0;
    double m_dSilenceFor = 0.0;
    double m_dNoHeartbeatAfter = 0.0;
    double m_dNoHeartbeatFor = 0.0;
    bool m_bShortFrames = false;

    int32_t m_nFlood = 0;  // frames sent back to back on the first periodic request
    double m_dFloodRate = 0.0;  // frames per second; 0: as fast as the link takes them

    bool m_bQuiet = false;

    // Replay of recorded traffic logs instead of the simulation (cSimReplay).
    std::vector<std::string> m_ReplayFiles;
    double m_dReplaySpeed = 1.0;  // 2: twice as fast
    bool m_bReplayLoop = false;
    bool m_bReplayNow = false;  // start at once rather than on the console's first frame
    bool Replaying() const { return !m_ReplayFiles.empty(); }

    // The page definitions: the sample installed with the program when the
    // default file is not in the working folder.
    void ResolvePagesFile();

private:
    bool Check();
};
