#include "cBufferLog.h"

#include "HexLine.h"

cBufferLog::cBufferLog(const std::string& sFileName) : m_sFileName(sFileName)
{
}

cBufferLog::~cBufferLog()
{
    LogStop();
}

int64_t cBufferLog::NowMicroseconds() const
{
    return m_pClock ? m_pClock->Now() : 0;
}

uint64_t cBufferLog::ClockMilliseconds() const
{
    return static_cast<uint64_t>(NowMicroseconds() / 1000);
}

void cBufferLog::LogStart()
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (m_pFile)
        std::fclose(m_pFile);
    m_pFile = std::fopen(m_sFileName.c_str(), "w");
    if (!m_pClock)
        m_pClock = std::make_unique<cCommsClock>();
    m_nStartMs = ClockMilliseconds();
    m_nPreviousMs = 0;
    m_bFirstLine = true;
    if (!m_pFile)
        return;
    std::fprintf(m_pFile, "%s\n%llu, Log started \n", m_szHeader, static_cast<unsigned long long>(m_nStartMs));
    std::fflush(m_pFile);
}

bool cBufferLog::IsOpen()
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_pFile != nullptr;
}

void cBufferLog::LogData(const uint8_t* pData, int32_t nCount, const char* szComment)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (!m_pFile)
        return;
    const uint64_t nElapsed = ClockMilliseconds() - m_nStartMs;
    const uint64_t nGap = nElapsed - m_nPreviousMs;
    m_nPreviousMs = nElapsed;

    char szHead[64];
    std::snprintf(szHead, sizeof(szHead), m_bFirstLine ? "%llu%s%3llu" : "%llu%s%03llu",
                  static_cast<unsigned long long>(nElapsed), nGap >= 200 ? "**" : ":",
                  static_cast<unsigned long long>(nGap));
    m_bFirstLine = false;
    std::string sLine(szHead);
    if (szComment)
    {
        sLine += ',';
        sLine += szComment;
    }
    AppendCountAndBytes(sLine, pData, nCount);
    sLine += '\n';
    std::fwrite(sLine.data(), 1, sLine.size(), m_pFile);
    std::fflush(m_pFile);
}

void cBufferLog::LogStop()
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (!m_pFile)
        return;
    std::fprintf(m_pFile, "%llu, Log stopped \n", static_cast<unsigned long long>(ClockMilliseconds() - m_nStartMs));
    std::fclose(m_pFile);
    m_pFile = nullptr;
}
