#pragma once
#include "EoReport.h"
#include "cDataLog.h"

#include <cstdint>
#include <string>

// The track log of an EO output window: a CSV log with a header of up to 32
// track column groups and one row per call of WriteRow. Rows hold only the
// tracks the report has, so a row may be shorter than the header. The window
// takes a copy of the latest report at each refresh and writes its row there
// and then, on its own thread: a cDataLog whose rows never wait.
class cEoTrackLog
{
public:
    static constexpr int32_t kMostTracks = 32;  // a report holds no more

    explicit cEoTrackLog(int32_t nMaxTracksToLog);

    // Opens folder/name-<date>_<time>.csv and writes the header; false (and
    // not running) when the file cannot be opened.
    bool Start(const std::string& sFolder, const std::string& sName);
    void WriteRow(const EoReport& report);
    // Ends the file with its "Log finished at" line.
    void Stop();
    bool IsRunning() const { return m_Log.IsRunning(); }
    const std::string& Path() const { return m_Log.Path(); }
    int32_t MaxTracks() const { return m_nMaxTracks; }

    // nMaxTracksToLog limited to 0..32.
    static int32_t ClampTracks(int32_t nMaxTracksToLog);
    // An empty line, then the column names, each followed by ','.
    static std::string Header(int32_t nMaxTracks);
    static std::string Row(const EoReport& report, int32_t nMaxTracks, const std::string& sTimeOfDay);

private:
    cDataLog m_Log;
    const int32_t m_nMaxTracks;
};
