#pragma once
#include "cCommsClock.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

// Traffic log of one transport: what it sends and what its framer cuts from
// the received stream, one line per message with every byte in hexadecimal.
// Times are seconds since a zero shared by all traffic logs of the process.
class cCommsLogger
{
public:
    explicit cCommsLogger(const std::string& sFileName);
    virtual ~cCommsLogger();
    cCommsLogger(const cCommsLogger&) = delete;
    cCommsLogger& operator=(const cCommsLogger&) = delete;

    void SetClock(const cCommsClock* pClock);
    void LogStart();
    // nTimeUs 0 means "now" by the logger's clock.
    void LogData(const uint8_t* pData, int32_t nCount, int64_t nTimeUs, const char* szComment);
    void LogComment(const char* szText);
    void LogStop();

    static double CommsLogZero();

private:
    int64_t ClockMicroseconds() const;

    std::FILE* m_pFile = nullptr;
    const char* m_szHeader = "Time, [Tx/Rx], [Comment], Count, Data";
    std::mutex m_Mutex;
    std::unique_ptr<cCommsClock> m_pOwnClock;
    const cCommsClock* m_pClock = nullptr;
};
