#include "cDataLog.h"

bool cDataLog::Start(const std::string& sFolder, const std::string& sName, const std::string& sHeader)
{
    Stop();
    if (!m_File.Open(sFolder, sName))
        return false;
    m_File.Write(sHeader);
    m_File.Flush();
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Waiting.clear();
    m_nLostUnreported = 0;
    m_nLost = 0;
    m_bRunning.store(true, std::memory_order_release);
    return true;
}

void cDataLog::Stop()
{
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        if (!m_bRunning.load(std::memory_order_relaxed))
            return;
        m_bRunning.store(false, std::memory_order_release);
    }
    WritePending();
    m_File.Close();
}

void cDataLog::Add(std::string sRow)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (!m_bRunning.load(std::memory_order_relaxed))
        return;
    if (m_Waiting.size() >= m_nMostWaiting)
    {
        ++m_nLostUnreported;
        ++m_nLost;
        return;
    }
    m_Waiting.push_back(std::move(sRow));
    m_bAnyWaiting.store(true, std::memory_order_release);
}

void cDataLog::WritePending()
{
    if (!m_bAnyWaiting.load(std::memory_order_acquire))
        return;
    uint64_t nLost = 0;
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Writing.swap(m_Waiting);
        m_bAnyWaiting.store(false, std::memory_order_relaxed);
        nLost = m_nLostUnreported;
        m_nLostUnreported = 0;
    }
    WriteRows(m_Writing, nLost);
}

void cDataLog::WriteRows(std::vector<std::string>& rows, uint64_t nLost)
{
    for (const std::string& sRow : rows)
        m_File.Write(sRow);
    // Rows lost come after the ones that fitted, which were added before them.
    if (nLost > 0)
        m_File.Write("Rows lost (the log was not written in time): " + std::to_string(nLost) + "\n");
    m_File.Flush();
    rows.clear();  // keeps its capacity for the next round
}

uint64_t cDataLog::RowsLost() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_nLost;
}
