#pragma once
#include "RC_Codec.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class RC_ItemValue;

// The item run of one command: item byte (| 0x80 for a query) and value, repeated.
// It holds at most 255 bytes, the most a one-byte payload length can state; an
// entry that would not fit is refused whole and leaves the payload as it was.
class RC_Payload
{
public:
    static constexpr size_t kCapacity = 255;

    bool AddQuery(uint8_t nItem);
    // The holder's value as a command carries it (any of the twelve types).
    bool AddValue(uint8_t nItem, const RC_ItemValue& value);
    // The holder's value as the remote system reports it (a String without the
    // NUL a command adds): for building status frames as a peer would.
    bool AddReported(uint8_t nItem, const RC_ItemValue& value);
    bool AddRaw(const uint8_t* pData, size_t nCount);

    // Shorthands for the values the console sends.
    bool AddByte(uint8_t nItem, uint8_t nValue) { return AddNumber(nItem, nValue); }
    bool AddU16(uint8_t nItem, uint16_t nValue) { return AddNumber(nItem, nValue); }
    bool AddS16(uint8_t nItem, int16_t nValue) { return AddNumber(nItem, nValue); }
    bool AddU32(uint8_t nItem, uint32_t nValue) { return AddNumber(nItem, nValue); }
    bool AddS32(uint8_t nItem, int32_t nValue) { return AddNumber(nItem, nValue); }
    bool AddFloat(uint8_t nItem, float fValue) { return AddNumber(nItem, fValue); }
    bool AddFixed(uint8_t nItem, float fValue) { return AddNumber(nItem, RC_Codec::FloatToFixed(fValue)); }  // f x 4096
    // Length byte n + 1, the first n characters (n at most 254) and a NUL.
    bool AddString(uint8_t nItem, const std::string& sText);

    const uint8_t* Data() const { return m_Bytes.data(); }
    size_t Size() const { return m_nSize; }
    void Clear() { m_nSize = 0; }

private:
    bool Room(size_t nCount) const { return kCapacity - m_nSize >= nCount; }
    bool AddEncoded(uint8_t nItem, const RC_ItemValue& value, bool bCommand);

    template <typename T>
    bool AddNumber(uint8_t nItem, T value)
    {
        if (!Room(1 + sizeof(T)))
            return false;
        m_Bytes[m_nSize] = nItem;
        RC_Codec::Put(m_Bytes.data() + m_nSize + 1, value);
        m_nSize += 1 + sizeof(T);
        return true;
    }

    std::array<uint8_t, kCapacity> m_Bytes{};
    size_t m_nSize = 0;
};
