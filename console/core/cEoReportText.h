#pragma once
#include "EoReport.h"

#include <array>
#include <string>

// The texts an EO output window shows for one report: the three header
// fields and a grid of ten rows by five tracks. The grid always shows the
// first five entries, whatever the report's count: an entry the report did
// not fill reads as zeros.
class cEoReportText
{
public:
    static constexpr int kColumns = 5;
    enum Row
    {
        kPositionX,
        kPositionY,
        kSizeX,
        kSizeY,
        kRange,
        kStatus,
        kConfidence,
        kLifetime,
        kTrackId,
        kPriority,
        kRows
    };
    static const std::array<const char*, kRows> kRowLabels;
    static constexpr const char* kNotAvailable = "N/A";

    // bTagData: the tag window, whose Priority row shows the ID's top byte.
    static cEoReportText Make(const EoReport& report, bool bTagData);
    // Formats 1 and 9 carry a range; the range fields are enabled for them only.
    static bool HasRange(uint8_t nFormat) { return nFormat == 1 || nFormat == 9; }

    std::string sFormat;
    std::string sTime;  // whole seconds of a microsecond timestamp
    std::string sNumTargets;
    std::array<std::array<std::string, kColumns>, kRows> cells;
    bool bRangeEnabled = false;
};
