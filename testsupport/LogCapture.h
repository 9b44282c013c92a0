#pragma once
#include "DbgLog.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// Records every debug-log line while it lives, with the threshold raised to
// DBG so that INF lines are seen too; restores the threshold afterwards.
class LogCapture
{
public:
    struct Line
    {
        int32_t nLevel;
        std::string sText;  // "function (line): text"
    };

    explicit LogCapture(int32_t nLevel = 5);
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<Line> Lines() const;
    // Lines containing the fragment (at the given level, or any level with -1).
    int Count(const std::string& sFragment, int32_t nLevel = -1) const;
    bool Contains(const std::string& sFragment, int32_t nLevel = -1) const { return Count(sFragment, nLevel) > 0; }
    void Clear();
    std::string Dump() const;

private:
    mutable std::mutex m_Mutex;
    std::vector<Line> m_Lines;
    int32_t m_nSavedLevel;
};
