#pragma once
#include <cstdint>
#include <string>

// Where the console's video comes from, as the settings name it:
// "udp://host:port" (an MPEG transport stream, one or more 188-byte packets
// per datagram), "rtp://host:port" (RTP/H.264), "rtsp://..." (a camera or
// server), or the path of a recorded ".ts" file. A host of "0.0.0.0" or none
// listens on every address; any other host is the address to listen on.
struct cVideoSource
{
    enum class eKind
    {
        Invalid,
        UdpTransportStream,
        Rtp,
        Rtsp,
        File
    };

    eKind eSourceKind = eKind::Invalid;
    std::string sHost;      // UDP and RTP
    uint16_t nPort = 0;     // UDP and RTP
    std::string sLocation;  // the RTSP address or the file's path
    std::string sWhy;       // why it is Invalid

    static cVideoSource Parse(const std::string& sText);
    // Carries an MPEG transport stream, which can be recorded as it arrives.
    bool IsTransportStream() const { return eSourceKind == eKind::UdpTransportStream || eSourceKind == eKind::File; }
    bool IsLive() const { return eSourceKind != eKind::File && eSourceKind != eKind::Invalid; }
};
