#pragma once
#include <cstdint>
#include <memory>

// Byte ring for queued transmit records. One byte always stays free, so equal
// read and write positions can only mean "empty".
class cRingBuffer
{
public:
    explicit cRingBuffer(int32_t nCapacity);
    virtual ~cRingBuffer() = default;

    bool hasStorage() const { return m_pStorage != nullptr; }
    int32_t capacity() const { return m_nCapacity; }
    int32_t usedBytes() const;
    int32_t freeBytes() const;
    bool write(const uint8_t* pData, int32_t nCount);  // false: would not leave a byte free
    bool read(uint8_t* pData, int32_t nCount);         // false: fewer than nCount bytes held
    bool discard(int32_t nCount);                      // read without keeping the bytes
    void clear();

private:
    std::unique_ptr<uint8_t[]> m_pStorage;
    int32_t m_nCapacity = 0;
    int32_t m_nRead = 0;
    int32_t m_nWrite = 0;
};
