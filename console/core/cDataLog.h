#pragma once
#include "cCsvLogFile.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// A CSV log of received data. Rows may be added from any thread (a receive
// thread, as an update arrives); only the owner's thread touches the file: it
// starts and stops the log and writes the rows waiting at each refresh. So the
// thread that receives never waits for the disk, and the owner never waits for
// the receiver longer than a swap of the waiting rows.
//
// Rows wait in a bounded list: if the owner stops writing them (a stalled
// disk), what no longer fits is counted, and the next write says how many
// rows were lost, in the file itself.
class cDataLog
{
public:
    static constexpr size_t kMostWaiting = 65536;  // about ten minutes of a page updated at 100 Hz

    explicit cDataLog(size_t nMostWaiting = kMostWaiting) : m_nMostWaiting(nMostWaiting) {}

    // Owner's thread. Opens folder/name-<date>_<time>.csv and writes the
    // header; false (and not running) when the file cannot be opened.
    bool Start(const std::string& sFolder, const std::string& sName, const std::string& sHeader);
    // Owner's thread: the rows still waiting, then the "Log finished at" line.
    void Stop();
    // Owner's thread: the waiting rows, handed to the file at once so that a
    // reader (or a crash) finds every row written so far.
    void WritePending();
    const std::string& Path() const { return m_File.Path(); }

    // Any thread. A row added while the log is not running is dropped.
    void Add(std::string sRow);
    bool IsRunning() const { return m_bRunning.load(std::memory_order_acquire); }
    uint64_t RowsLost() const;

private:
    void WriteRows(std::vector<std::string>& rows, uint64_t nLost);

    const size_t m_nMostWaiting;
    cCsvLogFile m_File;  // owner's thread only
    std::vector<std::string> m_Writing;  // owner's thread only: the rows being written
    mutable std::mutex m_Mutex;  // guards the three below
    std::vector<std::string> m_Waiting;
    uint64_t m_nLostUnreported = 0;
    uint64_t m_nLost = 0;
    std::atomic<bool> m_bRunning{false};  // written by the owner under m_Mutex
    std::atomic<bool> m_bAnyWaiting{false};  // lets a quiet refresh skip the lock
};
