#pragma once
#include "CommsSettings.h"
#include "RC_Variant.h"
#include "cSimImpairment.h"
#include "cToolOptions.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

class cKestrumSettings;

// What vms-sim was asked to be: variant, transport, ports, EO stream and the
// faults to inject. The link's defaults are the console's settings seen from
// the other end (the console's target port is our listening port): Parse
// takes the command line, then TakeDefaults fills in what it left open from
// the console's settings file. The built-in values below mirror the console's
// own defaults, for when there is no settings file to read.
class cSimOptions : public cToolOptions
{
public:
    eParse Parse(int argc, char* argv[]);
    // sSettingsFile: the file the defaults would come from, named in the text.
    static std::string Usage(const std::string& sSettingsFile);

    // Every link value that the command line did not give, from the console's
    // settings (the per-user comms settings already over them). A value that
    // no option could take is named in problems and the built-in one stays.
    void TakeDefaults(const cKestrumSettings& settings, std::vector<std::string>& problems);
    // "variant 1 with heartbeat, UDP 9876 -> 127.0.0.1:9879, EO 9886 -> 9186",
    // and which of them the command line gave.
    std::string LinkSummary() const;

    std::string m_sSettingsFile;  // --settings; empty: the file the console chooses
    int32_t m_nVariant = 0;  // as given: checked to name a known variant
    RC_Variant Variant() const { return static_cast<RC_Variant>(m_nVariant); }
    bool m_bHeartbeat = true;  // in variant 1: send heartbeats and follow the console's
    bool HeartbeatOn() const { return m_bHeartbeat && Variant() == RC_Variant::LongFrames; }
    std::string m_sPagesFile = "config/PageDefinitions.xml";

    std::string m_sSerialDevice;  // the page protocol over this device instead of UDP
    bool SerialFromSettings() const;  // the device is the console's, from its settings
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
    bool m_bEoLifecycle = false;   // tracks appear, change status and disappear each minute
    double m_dEoCycleFormats = 0.0;  // seconds per format of a cycle through them all; 0: one format

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

    // A bad network on the UDP links (cSimImpairment), per direction: tx what
    // we send to the console, rx what it sends us. Options only, never the
    // settings file.
    cSimImpairment::Settings m_ImpairTx;
    cSimImpairment::Settings m_ImpairRx;
    uint32_t m_nSeed = 0;  // from the clock unless --seed gives it
    bool Impaired() const { return m_ImpairTx.On() || m_ImpairRx.On(); }
    // "network: to the console loss 0.1; from the console none; seed 42 ...".
    std::string ImpairmentSummary() const;

    // Sensor video (cSimVideo): off unless --video names where it goes.
    std::string m_sVideoHost;
    int32_t m_nVideoPort = 0;
    bool m_bVideoRtp = false;  // RTP/H.264 rather than a transport stream with KLV
    int32_t m_nVideoWidth = 640;
    int32_t m_nVideoHeight = 480;
    int32_t m_nVideoFps = 30;
    double m_dVideoLoss = 0.0;  // lost on top of what --loss loses, video alone
    bool VideoOn() const { return m_nVideoPort != 0; }
    // "udp://127.0.0.1:5600" (or rtp://) as it goes.
    std::string VideoDestination() const;
    // The EO picture the targets' positions refer to: nPictureWidth x
    // nPictureHeight of the console's settings.
    int32_t m_nPictureWidth = 640;
    int32_t m_nPictureHeight = 480;
    // Where the console designates a point of the EO picture (two U16 items
    // of one subsystem and index): nDesignate... of the settings' Video section.
    int32_t m_nDesignateSubSystem = 5;
    int32_t m_nDesignateIndex = 0;
    int32_t m_nDesignateItemX = 20;
    int32_t m_nDesignateItemY = 21;

    bool m_bQuiet = false;

    // Replay of recorded traffic logs instead of the simulation (cSimReplay).
    std::vector<std::string> m_ReplayFiles;
    double m_dReplaySpeed = 1.0;  // 2: twice as fast
    bool m_bReplayLoop = false;
    bool m_bReplayNow = false;  // start at once rather than on the console's first frame
    bool Replaying() const { return !m_ReplayFiles.empty(); }

    // The page definitions, unless the command line named them: the sample
    // installed with the program when the file is not there.
    void ResolvePagesFile();

private:
    bool Check();
    bool Given(int nOption) const { return m_Given.count(nOption) != 0; }

    std::set<int> m_Given;  // the options on the command line, by code
};
