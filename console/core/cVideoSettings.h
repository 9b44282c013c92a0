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

    // Designation by clicking the video: the point (EO picture pixels) goes
    // to two U16 items of one subsystem and index, in one frame, then the
    // system mode nDesignateMode (-1: none). "Cancel track" sends
    // nDesignateCancelMode (-1: nothing).
    int32_t nDesignateSubSystem = 5;
    int32_t nDesignateIndex = 0;
    int32_t nDesignateItemX = 20;
    int32_t nDesignateItemY = 21;
    int32_t nDesignateMode = 3;        // Track
    int32_t nDesignateCancelMode = 1;  // Manual
};
