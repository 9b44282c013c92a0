#include "cEoTrackLog.h"

#include <algorithm>
#include <sstream>

cEoTrackLog::cEoTrackLog(int32_t nMaxTracksToLog) : m_nMaxTracks(ClampTracks(nMaxTracksToLog))
{
}

int32_t cEoTrackLog::ClampTracks(int32_t nMaxTracksToLog)
{
    return std::clamp(nMaxTracksToLog, 0, kMostTracks);
}

std::string cEoTrackLog::Header(int32_t nMaxTracks)
{
    std::string sHeader = "\nTimestamp,Target Time,Format,Number of Tracks,";
    for (int32_t n = 1; n <= ClampTracks(nMaxTracks); ++n)
    {
        const std::string s = std::to_string(n);
        sHeader += "ID " + s + ",X Posn" + s + ",Y Posn" + s + ",X Size" + s + ",Y Size" + s + ",Range" + s +
                   ",Status" + s + ",Lifetime" + s + ",Priority" + s + ",";
    }
    return sHeader + "\n";
}

std::string cEoTrackLog::Row(const EoReport& report, int32_t nMaxTracks, const std::string& sTimeOfDay)
{
    std::ostringstream row;
    row << sTimeOfDay << ',' << static_cast<int64_t>(report.timestamp.Get()) << ','
        << static_cast<int>(report.format.Get()) << ',' << static_cast<int>(report.numTracks.Get()) << ',';
    const int32_t nTracks = std::min<int32_t>(report.numTracks.Get(), ClampTracks(nMaxTracks));
    for (int32_t n = 0; n < nTracks; ++n)
    {
        const EoTrack& track = report.tracks[static_cast<size_t>(n)];
        // Lifetime in single precision, written with the stream's six significant digits.
        const float fLifetime = static_cast<float>(track.lifetime.Raw()) * (1.0f / 4096.0f);
        row << track.nId << ',' << track.xPosn.nValue << ',' << track.yPosn.nValue << ',' << track.xSize.nValue << ','
            << track.ySize.nValue << ',' << track.range.nValue << ',' << static_cast<int>(track.status.Get()) << ','
            << fLifetime << ',' << track.priority.Get() << ',';
    }
    row << '\n';
    return row.str();
}

bool cEoTrackLog::Start(const std::string& sFolder, const std::string& sName)
{
    return m_Log.Start(sFolder, sName, Header(m_nMaxTracks));
}

void cEoTrackLog::WriteRow(const EoReport& report)
{
    if (!m_Log.IsRunning())
        return;
    m_Log.Add(Row(report, m_nMaxTracks, cCsvLogFile::TimeOfDay()));
    m_Log.WritePending();
}

void cEoTrackLog::Stop()
{
    m_Log.Stop();
}
