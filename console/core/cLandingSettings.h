#pragma once
#include <string>

// The landing dialog's section "LandingDlg" of the settings file. Absent keys
// (or a missing section) keep the defaults below. The zoom speed is read only
// for the VMS dialog, the one with a camera, and always ends up in 0 to 1.
class cLandingSettings
{
public:
    static constexpr const char* kSection = "LandingDlg";

    // False (logged) when the section cannot be found; the defaults then stand.
    bool Read(const std::string& sPath, bool bWithZoomSpeed);

    int nAcqSliderMinX = 32;
    int nAcqSliderMaxX = 320;
    int nAcqSliderMinY = 24;
    int nAcqSliderMaxY = 240;
    int nNumberOfVideoChannels = 4;
    bool bShowClassifierOptions = false;
    double fZoomSpeed = 1.0;
};
