#include "cRetryLog.h"

#include "DbgLog.h"

#include <algorithm>
#include <iterator>

cRetryLog::cAttempt::cAttempt(cRetryLog& log, std::string sKey)
    : m_Log(log), m_sKey(std::move(sKey)), m_pOuter(cDebugLog::HoldThreadLines(&m_Lines))
{
}

cRetryLog::cAttempt::~cAttempt()
{
    // Out of memory here, the held lines are lost rather than the program.
    try
    {
        End(false);
    }
    catch (...)
    {
    }
}

void cRetryLog::cAttempt::End(bool bSucceeded)
{
    if (m_bEnded)
        return;
    m_bEnded = true;
    cDebugLog::HoldThreadLines(m_pOuter);
    bool bRepeat = false;
    if (bSucceeded)
        m_Log.Forget(m_sKey);
    else
        bRepeat = m_Log.Repeats(m_sKey, m_Lines);
    for (const cDebugLog::cHeldLine& line : m_Lines)
        DbgLog(bRepeat ? DBG_DBG : line.nLevel, line.sFunction.c_str(), line.nLine, line.sText.c_str(), line.nCategory);
}

bool cRetryLog::Repeats(const std::string& sKey, const cDebugLog::HeldLines& lines)
{
    cDebugLog::HeldLines failure;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(failure),
                 [](const cDebugLog::cHeldLine& line) { return line.nLevel <= DBG_WRN; });
    std::lock_guard<std::mutex> lock(m_Mutex);
    auto it = std::find_if(m_LastFailures.begin(), m_LastFailures.end(),
                           [&](const auto& last) { return last.first == sKey; });
    bool bRepeat = false;
    if (it != m_LastFailures.end())
    {
        bRepeat = it->second == failure;
        m_LastFailures.erase(it);
    }
    else if (m_LastFailures.size() == kMostKeys)
    {
        m_LastFailures.erase(m_LastFailures.begin());
    }
    m_LastFailures.emplace_back(sKey, std::move(failure));
    return bRepeat;
}

void cRetryLog::Forget(const std::string& sKey)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    std::erase_if(m_LastFailures, [&](const auto& last) { return last.first == sKey; });
}
