#pragma once
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// The state behind the DbgLog functions: threshold, sinks and the lazily opened
// file. Initialisation runs inside the first Log call and reads the level file
// from the working directory, so the working directory at that moment matters.
class cDebugLog
{
public:
    using Observer = std::function<void(int32_t, const std::string&)>;

    // A line kept back instead of written (see HoldThreadLines).
    struct cHeldLine
    {
        int32_t nLevel;
        std::string sFunction;
        int32_t nLine;
        std::string sText;
        uint32_t nCategory;

        bool operator==(const cHeldLine&) const = default;
    };
    using HeldLines = std::vector<cHeldLine>;

    static constexpr int kLineSize = 512;
    static constexpr int kFileNameSize = 256;

    cDebugLog();
    ~cDebugLog();
    cDebugLog(const cDebugLog&) = delete;
    cDebugLog& operator=(const cDebugLog&) = delete;

    // The instance of this deliverable; never destroyed, so logging stays safe
    // during static destruction. The C library flushes the file at exit.
    static cDebugLog& Instance();

    void Log(int32_t nLevel, const char* szFunction, int32_t nLine, const char* szText, uint32_t nCategory);
    void SetLevel(int32_t nLevel);
    int32_t Level() const { return m_nThreshold.load(std::memory_order_relaxed); }
    void Close();
    void InitLibrary(const char* szFileName);
    void SetObserver(Observer fnObserver);
    // Whether a line of this level and category would be written.
    bool Passes(int32_t nLevel, uint32_t nCategory);

    // From now on, lines this thread logs through DbgLog that would be written
    // are appended to *pHeld instead (null: written again). Returns the holder
    // it replaces, for the caller to put back.
    static HeldLines* HoldThreadLines(HeldLines* pHeld);
    static HeldLines* ThreadHolder();

private:
    void EnsureInitialised();
    void InitLocked();
    void SetLevelLocked(int32_t nLevel);
    void OpenFileLocked();
    void CloseLocked();

    std::mutex m_Mutex;
    std::atomic<bool> m_bInitialised{false};
    std::atomic<int32_t> m_nThreshold{3};
    std::atomic<uint32_t> m_nCategories{0};
    uint32_t m_nSinks = 3;  // bit 0: debugger output (standard error), bit 1: file
    char m_szFileName[kFileNameSize];
    FILE* m_pFile = nullptr;
    Observer m_fnObserver;
};
