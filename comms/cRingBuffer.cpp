#include "cRingBuffer.h"

#include <algorithm>
#include <cstring>
#include <new>

cRingBuffer::cRingBuffer(int32_t nCapacity)
{
    if (nCapacity <= 0)
        return;
    m_pStorage.reset(new (std::nothrow) uint8_t[nCapacity]());
    if (m_pStorage)
        m_nCapacity = nCapacity;
}

int32_t cRingBuffer::usedBytes() const
{
    if (!m_pStorage || m_nRead == m_nWrite)
        return 0;
    if (m_nRead < m_nWrite)
        return m_nWrite - m_nRead;
    return m_nWrite - m_nRead + m_nCapacity;
}

int32_t cRingBuffer::freeBytes() const
{
    if (m_nRead == m_nWrite)
        return m_nCapacity;
    return m_nCapacity - usedBytes();
}

bool cRingBuffer::write(const uint8_t* pData, int32_t nCount)
{
    if (!m_pStorage || nCount < 0 || nCount >= freeBytes())
        return false;
    const int32_t nFirst = std::min(nCount, m_nCapacity - m_nWrite);
    std::memcpy(m_pStorage.get() + m_nWrite, pData, nFirst);
    std::memcpy(m_pStorage.get(), pData + nFirst, nCount - nFirst);
    m_nWrite = (m_nWrite + nCount) % m_nCapacity;
    return true;
}

bool cRingBuffer::read(uint8_t* pData, int32_t nCount)
{
    if (!m_pStorage || nCount < 0 || nCount > usedBytes())
        return false;
    const int32_t nFirst = std::min(nCount, m_nCapacity - m_nRead);
    std::memcpy(pData, m_pStorage.get() + m_nRead, nFirst);
    std::memcpy(pData + nFirst, m_pStorage.get(), nCount - nFirst);
    m_nRead = (m_nRead + nCount) % m_nCapacity;
    return true;
}

bool cRingBuffer::discard(int32_t nCount)
{
    if (!m_pStorage || nCount < 0 || nCount > usedBytes())
        return false;
    m_nRead = (m_nRead + nCount) % m_nCapacity;
    return true;
}

void cRingBuffer::clear()
{
    m_nRead = 0;
    m_nWrite = 0;
}
