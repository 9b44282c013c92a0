#pragma once
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Writes a received transport stream to folder/Video-YYYY-MM-DD_HH-MM-SS.ts
// as it arrives: no re-encoding, every stream (video and metadata) as sent,
// so the file plays in any player and can be a video source itself. Bytes
// come on a streaming thread and only queue; a thread of the recorder's own
// writes them, so a slow disk never holds up the picture. What a stalled
// disk leaves waiting beyond kMostWaiting is dropped and counted.
class cVideoRecorder
{
public:
    static constexpr size_t kMostWaiting = 32 * 1024 * 1024;  // about a minute of a 4 Mbit/s stream

    cVideoRecorder() = default;
    ~cVideoRecorder();
    cVideoRecorder(const cVideoRecorder&) = delete;
    cVideoRecorder& operator=(const cVideoRecorder&) = delete;

    // Owner's thread: makes the folder, opens the file and starts writing;
    // false (nothing started, logged) when the file cannot be opened.
    bool Start(const std::string& sFolder);
    // Owner's thread: writes what waits, closes the file and ends the writer.
    void Stop();
    // Any thread: queues bytes for the file; dropped while not recording.
    void Write(const uint8_t* pData, size_t nSize);

    bool IsRunning() const { return m_bRunning.load(std::memory_order_acquire); }
    const std::string& Path() const { return m_sPath; }  // owner's thread
    uint64_t BytesWritten() const { return m_nWritten.load(std::memory_order_relaxed); }
    uint64_t BytesLost() const { return m_nLost.load(std::memory_order_relaxed); }

    static std::string FileName(const std::tm& tLocal);

private:
    void WriterLoop();

    std::string m_sPath;
    std::FILE* m_pFile = nullptr;  // the writer thread's while it runs
    std::thread m_Writer;
    std::mutex m_Mutex;  // guards the three below
    std::condition_variable m_Wake;
    std::vector<uint8_t> m_Waiting;
    bool m_bStopping = false;
    std::atomic<bool> m_bRunning{false};  // written by the owner under m_Mutex
    std::atomic<uint64_t> m_nWritten{0};  // written by the writer thread
    std::atomic<uint64_t> m_nLost{0};     // written by the thread that queues
};
