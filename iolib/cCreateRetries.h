#pragma once
#include "CXLoadLibrary.h"
#include "cRetryLog.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

// Creates that a client repeats until they work: a controller asked for every
// few seconds until one is attached. Each create is an attempt of its family,
// plug-in, device and configuration (cRetryLog): a failure is written once,
// and attempts that fail the same way again only at DBG. The plug-in of a
// failed create stays loaded until the next create of that plug-in ends, so
// that the plug-in sees the retries as repeats too (and keeps its own log)
// instead of being loaded afresh for each. Any thread.
class cCreateRetries
{
public:
    static constexpr size_t kMostKept = 8;  // plug-ins kept loaded at most; then the oldest goes

    static cCreateRetries& Instance();
    static std::string Key(const char* szExport, const char* szPath, int32_t nDevice, const char* szConfig);

    cRetryLog& Log() { return m_Log; }
    // Lets go of what was kept of the plug-in at szPath; with bKeep (it is
    // loaded now), keeps it loaded until the next create of it ends.
    void KeepLoaded(const char* szPath, bool bKeep);

private:
    cRetryLog m_Log;
    std::mutex m_Mutex;  // guards m_Kept
    std::vector<std::pair<std::string, std::unique_ptr<CXLoadLibrary>>> m_Kept;  // by path, most recent last
};
