#include "cSimEventLog.h"

#include <cstdarg>

cSimEventLog::cSimEventLog(bool bQuiet, std::FILE* pOut) : m_bQuiet(bQuiet), m_pOut(pOut)
{
}

void cSimEventLog::Event(const char* szFormat, ...)
{
    char szText[512];
    va_list args;
    va_start(args, szFormat);
    std::vsnprintf(szText, sizeof(szText), szFormat, args);
    va_end(args);

    std::lock_guard<std::mutex> lock(m_Mutex);
    if (m_fnObserver)
        m_fnObserver(szText);
    if (m_bQuiet || !m_pOut)
        return;
    std::fprintf(m_pOut, "[%9.3f] %s\n", Seconds(), szText);
    std::fflush(m_pOut);
}

void cSimEventLog::SetObserver(std::function<void(const std::string&)> fnObserver)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_fnObserver = std::move(fnObserver);
}

double cSimEventLog::Seconds() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_Start).count();
}
