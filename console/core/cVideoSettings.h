#pragma once
#include <cstdint>
#include <string>

// The section "Video" of the settings file: the sensor video window. A
// missing section or key keeps the defaults, which suit the simulator on
// this machine.
class cVideoSettings
{
public:
    static constexpr const char* kSection = "Video";

    // False (logged at DBG only: the section is optional) when there is no section.
    bool Read(const std::string& sPath);
    // sVideoRecordFolder, or the logging folder when it is empty.
    std::string RecordFolder(const std::string& sLoggingDirectory) const;

    bool bShowVideo = false;                        // open the video window at start
    std::string sVideoSource = "udp://127.0.0.1:5600";
    int32_t nVideoLatencyMs = 0;                    // jitter allowance of RTP and RTSP sources, and of the demuxer
    std::string sVideoRecordFolder;                 // empty: the logging folder
};
