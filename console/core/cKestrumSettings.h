#pragma once
#include "CommsSettings.h"
#include "RC_Variant.h"
#include "cLinkQualityState.h"
#include "cRC_LinkQuality.h"
#include "cVideoSettings.h"

#include <cstdint>
#include <string>

// The console's settings file: the main section ("Kestrum", or "VMS_Control"
// in older files), the "EoTrackData" section and the optional "Video" section. Absent keys keep what is
// already held, so a failed read still leaves the values read before it.
class cKestrumSettings
{
public:
    cKestrumSettings();

    // Reads sSection then "EoTrackData"; false when either is missing.
    bool ReadConfigFile(const std::string& sPath, const char* szSection);
    // "Kestrum", falling back to "VMS_Control" when that read fails.
    bool Read(const std::string& sPath);
    // The same for a caller that tells the user itself: nothing is logged, and
    // sWhy says why the file cannot be read (missing, not XML, no section).
    bool Read(const std::string& sPath, std::string& sWhy);

    // Halvorn/Logs under the home folder.
    static std::string DefaultLoggingDirectory();
    RC_Variant ControllerType() const { return static_cast<RC_Variant>(nControllerType); }

    CommsSettings m_CommsSettings;
    // The section "Video", optional.
    cVideoSettings m_VideoSettings;
    bool bShowEoTrackPage = false;
    bool bShowEoTagPage = false;
    bool bShowTestPage = false;
    bool bDisplayLandingDialog = false;
    bool bAllowLogging = false;
    bool bUseVMS_HeartBeat = false;
    int32_t nControllerType = 0;
    int32_t nMaxTracksToLog = 5;
    // Size of the sensor picture the EO track positions refer to, in pixels.
    int32_t nPictureWidth = 640;
    int32_t nPictureHeight = 480;
    std::string sPageDefinitionsFile = "config/PageDefinitions.xml";
    std::string sJoystickDefinitionsFile;
    std::string sLoggingDirectory;
    std::string sTestScenarioFile = "config/TestScenario.xml";
    // The controller plug-in: a bare name is looked for beside the program first.
    std::string sJoystickPlugin = kDefaultJoystickPlugin;
    // 0: one attempt at start; otherwise a joystick plugged in later is taken up within this period.
    int32_t nJoystickRetryPeriodMs = 0;

    // Link figures and the "LINK DEGRADED" state. Degraded is entered when
    // requests go unanswered (no reply within nReplyTimeoutMs) above the
    // degraded share, or the worst round trip, the longest EO report gap or
    // (with the heartbeat) the share of heartbeats missed either way of the
    // last 10 s passes its limit; it is left once all are at or below the
    // recovered limits for nRecoveredHoldMs.
    int32_t nReplyTimeoutMs = 1000;
    int32_t nDuplicateWindowMs = 20;  // identical frames this close count as duplicates
    int32_t nEoGapMs = 1000;          // EO gaps counted, and degraded above
    int32_t nRecoveredEoGapMs = 500;
    int32_t nDegradedUnansweredPercent = 20;
    int32_t nRecoveredUnansweredPercent = 5;
    int32_t nDegradedRoundTripMs = 500;
    int32_t nRecoveredRoundTripMs = 250;
    int32_t nDegradedMissedHeartbeatsPercent = 20;
    int32_t nRecoveredMissedHeartbeatsPercent = 5;
    int32_t nRecoveredHoldMs = 5000;

    // The keys above, as the recorder and the degraded state take them: no
    // negative values, and no lower limit above its upper one.
    cRC_LinkQuality::Settings LinkQualitySettings() const;
    cLinkQualityState::Thresholds DegradedThresholds() const;

    static constexpr const char* kDefaultJoystickPlugin = "libJoyvane.so";
};
