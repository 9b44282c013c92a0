#include "RC_Payload.h"

#include "RC_Codec.h"
#include "RC_ItemValue.h"

#include <cstring>

bool RC_Payload::AddQuery(uint8_t nItem)
{
    if (!Room(1))
        return false;
    m_Bytes[m_nSize++] = static_cast<uint8_t>(nItem | 0x80);
    return true;
}

bool RC_Payload::AddByte(uint8_t nItem, uint8_t nValue)
{
    const uint8_t bytes[2] = {nItem, nValue};
    return AddRaw(bytes, 2);
}

bool RC_Payload::AddU16(uint8_t nItem, uint16_t nValue)
{
    uint8_t bytes[3] = {nItem};
    RC_Codec::PutU16(bytes + 1, nValue);
    return AddRaw(bytes, 3);
}

bool RC_Payload::AddS16(uint8_t nItem, int16_t nValue)
{
    return AddU16(nItem, static_cast<uint16_t>(nValue));
}

bool RC_Payload::AddU32(uint8_t nItem, uint32_t nValue)
{
    uint8_t bytes[5] = {nItem};
    RC_Codec::PutU32(bytes + 1, nValue);
    return AddRaw(bytes, 5);
}

bool RC_Payload::AddS32(uint8_t nItem, int32_t nValue)
{
    return AddU32(nItem, static_cast<uint32_t>(nValue));
}

bool RC_Payload::AddFloat(uint8_t nItem, float fValue)
{
    uint8_t bytes[5] = {nItem};
    RC_Codec::PutFloat(bytes + 1, fValue);
    return AddRaw(bytes, 5);
}

bool RC_Payload::AddFixed(uint8_t nItem, float fValue)
{
    return AddS32(nItem, RC_Codec::FloatToFixed(fValue));
}

bool RC_Payload::AddString(uint8_t nItem, const std::string& sText)
{
    const size_t nLength = sText.size() > 254 ? 254 : sText.size();
    if (!Room(nLength + 3))
        return false;
    m_Bytes[m_nSize++] = nItem;
    m_Bytes[m_nSize++] = static_cast<uint8_t>(nLength + 1);
    std::memcpy(m_Bytes.data() + m_nSize, sText.data(), nLength);
    m_nSize += nLength;
    m_Bytes[m_nSize++] = 0;
    return true;
}

bool RC_Payload::AddValue(uint8_t nItem, const RC_ItemValue& value)
{
    if (!Room(1))
        return false;
    const size_t nWritten = value.Encode(m_Bytes.data() + m_nSize + 1, kCapacity - m_nSize - 1);
    if (nWritten == 0)
        return false;
    m_Bytes[m_nSize] = nItem;
    m_nSize += nWritten + 1;
    return true;
}

bool RC_Payload::AddRaw(const uint8_t* pData, size_t nCount)
{
    if (!Room(nCount))
        return false;
    std::memcpy(m_Bytes.data() + m_nSize, pData, nCount);
    m_nSize += nCount;
    return true;
}
