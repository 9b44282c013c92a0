#include "LogCapture.h"

#include "DbgLog.h"

LogCapture::LogCapture(int32_t nLevel) : m_nSavedLevel(DbgLogGetLevel())
{
    DbgLogSetLevel(nLevel);
    DbgLogSetObserver([this](int32_t nLineLevel, const std::string& sLine) {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Lines.push_back({nLineLevel, sLine});
    });
}

LogCapture::~LogCapture()
{
    DbgLogSetObserver(nullptr);
    DbgLogSetLevel(m_nSavedLevel);
}

std::vector<LogCapture::Line> LogCapture::Lines() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_Lines;
}

int LogCapture::Count(const std::string& sFragment, int32_t nLevel) const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    int nCount = 0;
    for (const Line& line : m_Lines)
        if ((nLevel < 0 || line.nLevel == nLevel) && line.sText.find(sFragment) != std::string::npos)
            ++nCount;
    return nCount;
}

void LogCapture::Clear()
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Lines.clear();
}

std::string LogCapture::Dump() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    std::string sAll;
    for (const Line& line : m_Lines)
        sAll += "L" + std::to_string(line.nLevel) + ":" + line.sText + "\n";
    return sAll;
}
