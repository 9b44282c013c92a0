#pragma once
#include "ChildProcess.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A live H.264 test picture sent by gst-launch-1.0 to 127.0.0.1: an MPEG
// transport stream in 1316-byte datagrams (udp://) or RTP/H.264 (rtp://), an
// I-frame every second, at the rate given. Small, so that sanitizer builds
// keep up.
inline std::unique_ptr<ChildProcess> StartVideoSender(uint16_t nPort, bool bRtp = false, int nFps = 30)
{
    const std::string sRaw = "video/x-raw,width=320,height=240,framerate=" + std::to_string(nFps) + "/1";
    std::vector<std::string> args = {"-q", "videotestsrc", "is-live=true", "pattern=ball", "!", sRaw, "!", "x264enc",
                                     "tune=zerolatency", "speed-preset=ultrafast", "key-int-max=" + std::to_string(nFps), "!"};
    if (bRtp)
        args.insert(args.end(), {"rtph264pay", "config-interval=-1", "pt=96", "!"});
    else
        args.insert(args.end(), {"h264parse", "!", "mpegtsmux", "alignment=7", "!"});
    args.insert(args.end(), {"udpsink", "host=127.0.0.1", "port=" + std::to_string(nPort), "sync=false"});
    return std::make_unique<ChildProcess>("gst-launch-1.0", args);
}
