#pragma once
#include <cstdint>
#include <string>

// The numbers behind the landing dialogs' controls and read-outs, kept apart
// from the widgets. Deck positions travel as Fixed milliradians (x 4096).
class cLandingValues
{
public:
    static constexpr double kDegreesToRadians = 0.017453292519943295;
    static constexpr double kRadiansToDegrees = 57.29577951308232;

    // "Acquire", "Track", "Coast"; a value the table lacks shows as its number.
    static std::string TrackStatusText(uint8_t nStatus);
    // "Invalid", "Valid", "Coasting"; likewise.
    static std::string TargetModeText(uint8_t nMode);

    // The S32 a typed position in degrees is sent as: radians (single
    // precision) x 1000 x 4096, truncated toward zero. False for text that is
    // not wholly a number and for positions whose result does not fit 32 bits:
    // nothing is to be sent then.
    static bool DegreesToDeckPosition(const std::string& sText, int32_t& nValue);
    // A received deck position (milliradians) in degrees.
    static double DeckPositionToDegrees(double dMilliradians) { return dMilliradians * kRadiansToDegrees / 1000.0; }

    // The zoom speeds a speed setting of 0 to 1 sends: at least 1 and -1, so
    // that a zoom button always moves the lens.
    static int16_t ZoomInSpeed(double fZoomSpeed);
    static int16_t ZoomOutSpeed(double fZoomSpeed);

    // The AOI height that keeps the window's shape: nYMax x (nX / nXMax), truncated.
    static uint16_t ScaledAoiY(int nX, int nXMax, int nYMax);
    // A slider position as the U16 it is sent as (clamped to 0 to 65535).
    static uint16_t AoiSize(int nPosition);

    // A real value as the read-outs show it ("%lf").
    static std::string Real(double dValue);
};
