#include "DbgLog.h"

#include "cDebugLog.h"

#include <cstdarg>
#include <cstdio>
#include <new>

void DbgLog(int32_t nLevel, const char* szFunction, int32_t nLine, const char* szText, uint32_t nCategory)
{
    cDebugLog& log = cDebugLog::Instance();
    if (cDebugLog::HeldLines* pHeld = cDebugLog::ThreadHolder())
    {
        if (!log.Passes(nLevel, nCategory))
            return;
        // Held lines may be logged from destructors: out of memory, the line
        // is written as it stands rather than thrown.
        try
        {
            pHeld->push_back({nLevel, szFunction ? szFunction : "", nLine, szText ? szText : "", nCategory});
            return;
        }
        catch (const std::bad_alloc&)
        {
        }
    }
    log.Log(nLevel, szFunction, nLine, szText, nCategory);
}

const char* DbgLogFormat(const char* szFormat, ...)
{
    // One buffer per thread: the text stays intact until the same thread formats again.
    thread_local char szBuffer[4096];
    va_list args;
    va_start(args, szFormat);
    std::vsnprintf(szBuffer, sizeof(szBuffer), szFormat, args);
    va_end(args);
    return szBuffer;
}

void DbgLogSetLevel(int32_t nLevel)
{
    cDebugLog::Instance().SetLevel(nLevel);
}

int32_t DbgLogGetLevel()
{
    return cDebugLog::Instance().Level();
}

void DbgLogClose()
{
    cDebugLog::Instance().Close();
}

void DbgLogInitLibrary(const char* szFileName)
{
    cDebugLog::Instance().InitLibrary(szFileName);
}

void DbgLogReleaseLibrary()
{
    DbgLogClose();
    delete &cDebugLog::Instance();  // Instance() allocates it once and never frees it
}

void DbgLogSetObserver(std::function<void(int32_t, const std::string&)> fnObserver)
{
    cDebugLog::Instance().SetObserver(std::move(fnObserver));
}
