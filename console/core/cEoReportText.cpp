#include "cEoReportText.h"

#include <cstdio>

const std::array<const char*, cEoReportText::kRows> cEoReportText::kRowLabels = {
    "Position X", "Position Y", "Size X", "Size Y",   "Range",
    "Status",     "Confidence", "Lifetime", "Track ID", "Priority",
};

namespace
{
std::string Decimal(int64_t nValue)
{
    return std::to_string(nValue);
}

std::string Real(double dValue)
{
    char szText[64];
    std::snprintf(szText, sizeof(szText), "%lf", dValue);
    return szText;
}
} // namespace

cEoReportText cEoReportText::Make(const EoReport& report, bool bTagData)
{
    cEoReportText text;
    text.sFormat = Decimal(report.format.Get());
    // The timestamp counts microseconds; the window shows whole seconds.
    text.sTime = Decimal(static_cast<int64_t>(static_cast<double>(report.timestamp.Get()) * 1e-6));
    text.sNumTargets = Decimal(report.numTracks.Get());
    text.bRangeEnabled = HasRange(report.format.Get());

    for (size_t c = 0; c < kColumns; ++c)
    {
        const EoTrack& track = report.tracks[c];
        text.cells[kPositionX][c] = Decimal(track.xPosn.nValue);
        text.cells[kPositionY][c] = Decimal(track.yPosn.nValue);
        text.cells[kSizeX][c] = Decimal(track.xSize.nValue);
        text.cells[kSizeY][c] = Decimal(track.ySize.nValue);
        text.cells[kRange][c] = text.bRangeEnabled ? Decimal(track.range.nValue) : kNotAvailable;
        text.cells[kStatus][c] = Decimal(track.status.Get());
        text.cells[kConfidence][c] = Decimal(track.confidence.Get());
        text.cells[kLifetime][c] = Real(track.lifetime.Value());
        // The grid column is narrow: the low byte tells the tracks on screen apart.
        text.cells[kTrackId][c] = Decimal(track.nId & 0xFFu);
        // A tag's ID carries its priority in the top byte, as a signed number.
        text.cells[kPriority][c] = bTagData ? Decimal(static_cast<int8_t>(track.nId >> 24))
                                            : Decimal(track.priority.Get());
    }
    return text;
}
