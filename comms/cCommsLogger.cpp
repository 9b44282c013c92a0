#include "cCommsLogger.h"

#include "HexLine.h"

#include <atomic>
#include <boost/chrono/system_clocks.hpp>

namespace
{
// Seconds; 0 until the first traffic log of the process starts or writes.
std::atomic<double> g_dCommsLogZero{0.0};

void SetZeroIfUnset(double dSeconds)
{
    double dUnset = 0.0;
    g_dCommsLogZero.compare_exchange_strong(dUnset, dSeconds);
}
} // namespace

double cCommsLogger::CommsLogZero()
{
    return g_dCommsLogZero.load();
}

cCommsLogger::cCommsLogger(const std::string& sFileName)
{
    m_pFile = std::fopen(sFileName.c_str(), "w");
}

cCommsLogger::~cCommsLogger()
{
    LogStop();
}

void cCommsLogger::SetClock(const cCommsClock* pClock)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_pOwnClock.reset();
    if (pClock)
    {
        m_pClock = pClock;
    }
    else
    {
        m_pOwnClock = std::make_unique<cCommsClock>(cCommsClock::ProcessEpoch());
        m_pClock = m_pOwnClock.get();
    }
}

int64_t cCommsLogger::ClockMicroseconds() const
{
    return m_pClock ? m_pClock->Now() : 0;
}

void cCommsLogger::LogStart()
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (m_pFile)
        std::fprintf(m_pFile, "%s\n", m_szHeader);
    if (!m_pClock)
    {
        m_pOwnClock = std::make_unique<cCommsClock>(cCommsClock::ProcessEpoch());
        m_pClock = m_pOwnClock.get();
    }
    if (m_pFile)
        std::fputs("Log started \n", m_pFile);
    SetZeroIfUnset(static_cast<double>(ClockMicroseconds()) * 1e-6);
}

void cCommsLogger::LogData(const uint8_t* pData, int32_t nCount, int64_t nTimeUs, const char* szComment)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (!m_pFile)
        return;
    if (nTimeUs == 0)
        nTimeUs = ClockMicroseconds();
    const double dSeconds = static_cast<double>(nTimeUs) * 1e-6;
    SetZeroIfUnset(dSeconds);

    char szTime[48];
    std::snprintf(szTime, sizeof(szTime), "%.6f", dSeconds - g_dCommsLogZero.load());
    std::string sLine;
    sLine.reserve(64 + static_cast<size_t>(nCount > 0 ? nCount : 0) * 5);
    sLine += szTime;
    if (szComment && *szComment)
    {
        sLine += ',';
        sLine += szComment;
    }
    AppendCountAndBytes(sLine, pData, nCount);
    sLine += '\n';
    std::fwrite(sLine.data(), 1, sLine.size(), m_pFile);
}

void cCommsLogger::LogComment(const char* szText)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (!m_pFile)
        return;
    const auto nTicks = boost::chrono::system_clock::now().time_since_epoch().count();
    std::fprintf(m_pFile, "%lld nanoseconds since Jan 1, 1970 %s\n", static_cast<long long>(nTicks),
                 szText ? szText : "");
}

void cCommsLogger::LogStop()
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (!m_pFile)
        return;
    const unsigned long long nMs = m_pClock ? static_cast<unsigned long long>(m_pClock->ElapsedMicroseconds() / 1000) : 0;
    std::fprintf(m_pFile, "%llu, Log stopped \n", nMs);
    std::fclose(m_pFile);
    m_pFile = nullptr;
}
