#include "cVideoRecorder.h"

#include "DbgLog.h"
#include "cFileHelpers.h"

#include <cerrno>
#include <cstring>

cVideoRecorder::~cVideoRecorder()
{
    Stop();
}

std::string cVideoRecorder::FileName(const std::tm& tLocal)
{
    char szName[64];
    std::snprintf(szName, sizeof(szName), "Video-%04d-%02d-%02d_%02d-%02d-%02d.ts", tLocal.tm_year + 1900,
                  tLocal.tm_mon + 1, tLocal.tm_mday, tLocal.tm_hour, tLocal.tm_min, tLocal.tm_sec);
    return szName;
}

bool cVideoRecorder::Start(const std::string& sFolder)
{
    Stop();
    const std::time_t tNow = std::time(nullptr);
    std::tm tLocal{};
    localtime_r(&tNow, &tLocal);
    m_sPath = sFolder + "/" + FileName(tLocal);
    if (!cFileHelpers::CreateFolder(sFolder) || !(m_pFile = std::fopen(m_sPath.c_str(), "wb")))
    {
        DbgLog(DBG_ERR, "cVideoRecorder::Start", __LINE__, DbgLogFormat("Failed to open %s: %s", m_sPath.c_str(), std::strerror(errno)));
        m_pFile = nullptr;
        return false;
    }
    {
        const std::lock_guard<std::mutex> lock(m_Mutex);
        m_Waiting.clear();
        m_bStopping = false;
        m_bRunning.store(true, std::memory_order_release);
    }
    m_nWritten.store(0);
    m_nLost.store(0);
    m_Writer = std::thread([this] { WriterLoop(); });
    DbgLog(DBG_WRN, "cVideoRecorder::Start", __LINE__, DbgLogFormat("Recording video to %s", m_sPath.c_str()));
    return true;
}

void cVideoRecorder::Stop()
{
    if (!m_Writer.joinable())
        return;
    {
        const std::lock_guard<std::mutex> lock(m_Mutex);
        m_bStopping = true;
        m_bRunning.store(false, std::memory_order_release);
    }
    m_Wake.notify_one();
    m_Writer.join();
    std::fclose(m_pFile);
    m_pFile = nullptr;
    const std::string sLost = BytesLost() ? " (" + std::to_string(BytesLost()) + " bytes lost to a slow disk)" : "";
    DbgLog(DBG_WRN, "cVideoRecorder::Stop", __LINE__,
           DbgLogFormat("Recorded %llu bytes to %s%s", static_cast<unsigned long long>(BytesWritten()), m_sPath.c_str(),
                        sLost.c_str()));
}

void cVideoRecorder::Write(const uint8_t* pData, size_t nSize)
{
    {
        const std::lock_guard<std::mutex> lock(m_Mutex);
        if (!m_bRunning.load(std::memory_order_relaxed))
            return;
        if (m_Waiting.size() + nSize > kMostWaiting)
        {
            m_nLost.fetch_add(nSize, std::memory_order_relaxed);
            return;
        }
        m_Waiting.insert(m_Waiting.end(), pData, pData + nSize);
    }
    m_Wake.notify_one();
}

void cVideoRecorder::WriterLoop()
{
    std::vector<uint8_t> writing;
    bool bFailed = false;
    for (;;)
    {
        bool bStopping = false;
        {
            std::unique_lock<std::mutex> lock(m_Mutex);
            m_Wake.wait(lock, [this] { return m_bStopping || !m_Waiting.empty(); });
            writing.swap(m_Waiting);
            bStopping = m_bStopping;
        }
        if (!writing.empty() && !bFailed)
        {
            const size_t nDone = std::fwrite(writing.data(), 1, writing.size(), m_pFile);
            m_nWritten.fetch_add(nDone, std::memory_order_relaxed);
            // Handed to the file at once: a player may follow it while it grows.
            if (nDone != writing.size() || std::fflush(m_pFile) != 0)
            {
                bFailed = true;
                DbgLog(DBG_ERR, "cVideoRecorder::WriterLoop", __LINE__,
                       DbgLogFormat("Cannot write %s: %s", m_sPath.c_str(), std::strerror(errno)));
            }
        }
        writing.clear();
        if (bStopping)
            return;
    }
}
