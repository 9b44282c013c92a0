#pragma once
#include "cDebugLog.h"

#include <cstddef>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

// The debug-log lines of something a caller tries again and again until it
// works, such as opening a controller that is not attached yet. A failure is
// written as it stands the first time; an attempt that fails with the same
// warnings and errors (level, function, line number, text) as the last failure
// of its key writes all its lines at DBG, so retrying adds nothing at the
// usual threshold, while a failure that changes is written in full again.
// Lines below WRN do not count: they may differ from one attempt to the next
// (a raised level, a count) without making it another failure. A success
// forgets the key's failure, so the next one is news again. Any thread.
class cRetryLog
{
public:
    static constexpr size_t kMostKeys = 16;  // then the least recently failed key is forgotten

    // One attempt of one key: from construction to End, the lines this thread
    // logs are held back. Attempts nest; an inner one's lines go to the outer.
    class cAttempt
    {
    public:
        cAttempt(cRetryLog& log, std::string sKey);
        ~cAttempt();  // a failure, unless End came first
        cAttempt(const cAttempt&) = delete;
        cAttempt& operator=(const cAttempt&) = delete;

        // Writes the held lines: at DBG when the attempt failed as the key's
        // last failure did, at their own levels otherwise.
        void End(bool bSucceeded);

    private:
        cRetryLog& m_Log;
        std::string m_sKey;
        cDebugLog::HeldLines m_Lines;
        cDebugLog::HeldLines* m_pOuter;
        bool m_bEnded = false;
    };

private:
    // True when the warnings and errors among lines are the key's last
    // failure's; otherwise they become it.
    bool Repeats(const std::string& sKey, const cDebugLog::HeldLines& lines);
    void Forget(const std::string& sKey);

    std::mutex m_Mutex;  // guards m_LastFailures
    std::vector<std::pair<std::string, cDebugLog::HeldLines>> m_LastFailures;  // most recent last
};
