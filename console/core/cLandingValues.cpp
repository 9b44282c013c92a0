#include "cLandingValues.h"

#include "RC_Codec.h"
#include "cEditValueParser.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace
{
std::string FromTable(const char* const (&table)[3], uint8_t nValue)
{
    return nValue < 3 ? table[nValue] : std::to_string(nValue);
}
} // namespace

std::string cLandingValues::TrackStatusText(uint8_t nStatus)
{
    static const char* const kTexts[3] = {"Acquire", "Track", "Coast"};
    return FromTable(kTexts, nStatus);
}

std::string cLandingValues::TargetModeText(uint8_t nMode)
{
    static const char* const kTexts[3] = {"Invalid", "Valid", "Coasting"};
    return FromTable(kTexts, nMode);
}

bool cLandingValues::DegreesToDeckPosition(const std::string& sText, int32_t& nValue)
{
    double dDegrees = 0.0;
    if (!cEditValueParser::ParseWholeReal(sText, dDegrees))
        return false;
    const float fMilliradians = static_cast<float>(dDegrees * kDegreesToRadians) * 1000.0f;
    const double dRaw = std::trunc(static_cast<double>(fMilliradians) * 4096.0);
    if (!std::isfinite(dRaw) || dRaw < std::numeric_limits<int32_t>::min() ||
        dRaw > std::numeric_limits<int32_t>::max())
        return false;
    nValue = static_cast<int32_t>(dRaw);
    return true;
}

int16_t cLandingValues::ZoomInSpeed(double fZoomSpeed)
{
    return static_cast<int16_t>(std::clamp(fZoomSpeed * 32767.0 + 0.5, 1.0, 32767.0));
}

int16_t cLandingValues::ZoomOutSpeed(double fZoomSpeed)
{
    return static_cast<int16_t>(std::clamp(-(fZoomSpeed * 32768.0 + 0.5), -32768.0, -1.0));
}

uint16_t cLandingValues::ScaledAoiY(int nX, int nXMax, int nYMax)
{
    // A slider without a range has nothing to scale by: the window keeps its full height.
    if (nXMax == 0)
        return AoiSize(nYMax);
    const double dY = std::trunc(static_cast<double>(nYMax) * (static_cast<double>(nX) / nXMax));
    return static_cast<uint16_t>(std::clamp(dY, 0.0, 65535.0));
}

uint16_t cLandingValues::AoiSize(int nPosition)
{
    return static_cast<uint16_t>(std::clamp(nPosition, 0, 65535));
}

std::string cLandingValues::Real(double dValue)
{
    char szText[64];
    std::snprintf(szText, sizeof(szText), "%lf", dValue);
    return szText;
}
