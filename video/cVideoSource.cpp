#include "cVideoSource.h"

#include <charconv>

namespace
{
// "host:port" after the scheme; false (with sWhy) when either part is wrong.
bool ParseHostPort(const std::string& sRest, cVideoSource& source)
{
    const size_t nColon = sRest.rfind(':');
    if (nColon == std::string::npos)
    {
        source.sWhy = "no port (udp://host:port)";
        return false;
    }
    source.sHost = sRest.substr(0, nColon);
    if (source.sHost.empty())
        source.sHost = "0.0.0.0";
    const std::string sPort = sRest.substr(nColon + 1);
    unsigned nPort = 0;
    const auto [pEnd, eError] = std::from_chars(sPort.data(), sPort.data() + sPort.size(), nPort);
    if (sPort.empty() || eError != std::errc() || pEnd != sPort.data() + sPort.size() || nPort == 0 || nPort > 65535)
    {
        source.sWhy = "port \"" + sPort + "\" is not 1 to 65535";
        return false;
    }
    source.nPort = static_cast<uint16_t>(nPort);
    return true;
}
} // namespace

cVideoSource cVideoSource::Parse(const std::string& sText)
{
    cVideoSource source;
    const auto startsWith = [&sText](const char* szPrefix) { return sText.rfind(szPrefix, 0) == 0; };
    if (sText.empty())
    {
        source.sWhy = "no source set";
        return source;
    }
    if (startsWith("udp://") || startsWith("rtp://"))
    {
        if (ParseHostPort(sText.substr(6), source))
            source.eSourceKind = startsWith("udp://") ? eKind::UdpTransportStream : eKind::Rtp;
        return source;
    }
    if (startsWith("rtsp://") || startsWith("rtsps://"))
    {
        source.eSourceKind = eKind::Rtsp;
        source.sLocation = sText;
        return source;
    }
    if (sText.find("://") != std::string::npos)
    {
        source.sWhy = "unknown scheme (udp://, rtp://, rtsp:// or a file)";
        return source;
    }
    source.eSourceKind = eKind::File;
    source.sLocation = sText;
    return source;
}
