#include "cDebugLog.h"

#include "DbgLog.h"

#include <cstring>
#include <ctime>

namespace
{
constexpr uint32_t kSinkDebugger = 1u;
constexpr uint32_t kSinkFile = 2u;
constexpr const char* kDefaultFileName = "CorvaneDebugLog.txt";
constexpr const char* kLevelFileName = "CorvaneConfig.txt";

// A plain pointer: a thread-local with a destructor would keep a plug-in that
// links this file from being unloaded.
thread_local cDebugLog::HeldLines* t_pHeld = nullptr;

const char* LevelTag(int32_t nLevel)
{
    static const char* const tags[] = {"NUL:", "FAT:", "ERR:", "WRN:", "INF:", "DBG:", "END:"};
    if (nLevel < 0 || nLevel > 6)
        return "END:";
    return tags[nLevel];
}

bool UtcNow(std::tm& tmNow)
{
    std::time_t now = std::time(nullptr);
    return gmtime_r(&now, &tmNow) != nullptr;
}
} // namespace

cDebugLog::cDebugLog()
{
    std::snprintf(m_szFileName, sizeof(m_szFileName), "%s", kDefaultFileName);
}

cDebugLog::~cDebugLog()
{
    if (m_pFile)
        std::fclose(m_pFile);
}

cDebugLog& cDebugLog::Instance()
{
    static cDebugLog* pInstance = new cDebugLog();
    return *pInstance;
}

void cDebugLog::EnsureInitialised()
{
    if (m_bInitialised.load(std::memory_order_acquire))
        return;
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (!m_bInitialised.load(std::memory_order_relaxed))
        InitLocked();
}

void cDebugLog::InitLocked()
{
    m_nSinks |= kSinkDebugger | kSinkFile;
    SetLevelLocked(DBG_WRN);

    // The level file can only make the log more verbose.
    if (FILE* pLevelFile = std::fopen(kLevelFileName, "r"))
    {
        int nLevel = 0;
        if (std::fscanf(pLevelFile, "%d", &nLevel) == 1 && nLevel >= 1 && nLevel <= 5 &&
            nLevel > m_nThreshold.load(std::memory_order_relaxed))
            SetLevelLocked(nLevel);
        std::fclose(pLevelFile);
    }

    m_nCategories.store(0xFFFFFFFFu, std::memory_order_relaxed);
    m_nSinks &= kSinkDebugger | kSinkFile;
    std::snprintf(m_szFileName, sizeof(m_szFileName), "%s", kDefaultFileName);
    m_bInitialised.store(true, std::memory_order_release);
}

void cDebugLog::Log(int32_t nLevel, const char* szFunction, int32_t nLine, const char* szText, uint32_t nCategory)
{
    EnsureInitialised();
    if (nLevel > m_nThreshold.load(std::memory_order_relaxed))
        return;
    if ((nCategory & m_nCategories.load(std::memory_order_relaxed)) == 0)
        return;

    std::lock_guard<std::mutex> lock(m_Mutex);
    char szLine[kLineSize];
    std::snprintf(szLine, sizeof(szLine), "%s (%li): %s", szFunction ? szFunction : "", static_cast<long>(nLine),
                  szText ? szText : "");

    if (m_nSinks & kSinkDebugger)
    {
        char szDebug[kLineSize + 8];
        std::snprintf(szDebug, sizeof(szDebug), "%s:%s\n", LevelTag(nLevel), szLine);
        std::fputs(szDebug, stderr);
    }
    if (m_nSinks & kSinkFile)
    {
        if (!m_pFile)
            OpenFileLocked();
        if (m_pFile)
        {
            std::fprintf(m_pFile, "L%d:%s\n", nLevel, szLine);
            // Warnings and worse are few and are what a reader (or a crash)
            // must not lose: on disk at once. Debug lines stay buffered.
            if (nLevel <= DBG_WRN)
                std::fflush(m_pFile);
        }
    }
    if (m_fnObserver)
        m_fnObserver(nLevel, szLine);
}

bool cDebugLog::Passes(int32_t nLevel, uint32_t nCategory)
{
    EnsureInitialised();
    return nLevel <= m_nThreshold.load(std::memory_order_relaxed) &&
           (nCategory & m_nCategories.load(std::memory_order_relaxed)) != 0;
}

cDebugLog::HeldLines* cDebugLog::HoldThreadLines(HeldLines* pHeld)
{
    HeldLines* pPrevious = t_pHeld;
    t_pHeld = pHeld;
    return pPrevious;
}

cDebugLog::HeldLines* cDebugLog::ThreadHolder()
{
    return t_pHeld;
}

void cDebugLog::OpenFileLocked()
{
    m_pFile = std::fopen(m_szFileName, "w");
    if (!m_pFile)
        return;  // retried at the next message
    std::tm tmNow{};
    if (UtcNow(tmNow))
        std::fprintf(m_pFile, "Opening Log File %02d/%02d/%04d %02d:%02d:%02d\n---\n", tmNow.tm_mday, tmNow.tm_mon + 1,
                     tmNow.tm_year + 1900, tmNow.tm_hour, tmNow.tm_min, tmNow.tm_sec);
}

void cDebugLog::SetLevel(int32_t nLevel)
{
    EnsureInitialised();
    std::lock_guard<std::mutex> lock(m_Mutex);
    SetLevelLocked(nLevel);
}

void cDebugLog::SetLevelLocked(int32_t nLevel)
{
    if (nLevel >= DBG_END || nLevel == m_nThreshold.load(std::memory_order_relaxed))
        return;
    m_nThreshold.store(nLevel, std::memory_order_relaxed);
    if (m_pFile)
        std::fprintf(m_pFile, "DbgLogSetLevel( %d )\n", nLevel);
}

void cDebugLog::Close()
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    CloseLocked();
}

void cDebugLog::CloseLocked()
{
    if (!m_pFile)
        return;
    std::tm tmNow{};
    if (UtcNow(tmNow))
        std::fprintf(m_pFile, "---\nDbgLogClose() %02d/%02d/%04d %02d:%02d:%02d\n", tmNow.tm_mday, tmNow.tm_mon + 1,
                     tmNow.tm_year + 1900, tmNow.tm_hour, tmNow.tm_min, tmNow.tm_sec);
    else
        std::fputs("---\nDbgLogClose()\n", m_pFile);
    std::fclose(m_pFile);
    m_pFile = nullptr;
}

void cDebugLog::InitLibrary(const char* szFileName)
{
    EnsureInitialised();
    std::lock_guard<std::mutex> lock(m_Mutex);
    std::snprintf(m_szFileName, sizeof(m_szFileName), "%s", szFileName ? szFileName : kDefaultFileName);
    SetLevelLocked(DBG_WRN);
}

void cDebugLog::SetObserver(Observer fnObserver)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_fnObserver = std::move(fnObserver);
}
