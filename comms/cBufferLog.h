#pragma once
#include "cCommsClock.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

// Log of whole protocol messages, sent and received, with milliseconds since
// the file was opened and the gap to the previous line ("**" from 200 ms on).
// Every line is flushed.
class cBufferLog
{
public:
    explicit cBufferLog(const std::string& sFileName);
    virtual ~cBufferLog();
    cBufferLog(const cBufferLog&) = delete;
    cBufferLog& operator=(const cBufferLog&) = delete;

    void LogStart();
    void LogData(const uint8_t* pData, int32_t nCount, const char* szComment);
    void LogStop();

    const std::string& FileName() const { return m_sFileName; }
    // Between a LogStart that could open the file and LogStop.
    bool IsOpen();

protected:
    // Microseconds of the logger's clock; tests replace it to control time.
    virtual int64_t NowMicroseconds() const;

private:
    uint64_t ClockMilliseconds() const;

    std::FILE* m_pFile = nullptr;
    std::string m_sFileName;
    const char* m_szHeader = "Time, [Comment], Count, Data";
    std::mutex m_Mutex;
    std::unique_ptr<cCommsClock> m_pClock;
    uint64_t m_nStartMs = 0;
    uint64_t m_nPreviousMs = 0;
    bool m_bFirstLine = true;
};
