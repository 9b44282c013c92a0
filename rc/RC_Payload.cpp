#include "RC_Payload.h"

#include "RC_ItemValue.h"

#include <cstring>

bool RC_Payload::AddQuery(uint8_t nItem)
{
    if (!Room(1))
        return false;
    m_Bytes[m_nSize++] = static_cast<uint8_t>(nItem | 0x80);
    return true;
}

bool RC_Payload::AddValue(uint8_t nItem, const RC_ItemValue& value)
{
    if (!Room(1))
        return false;
    const size_t nWritten = value.EncodeCommand(m_Bytes.data() + m_nSize + 1, kCapacity - m_nSize - 1);
    if (nWritten == 0)
        return false;
    m_Bytes[m_nSize] = nItem;
    m_nSize += nWritten + 1;
    return true;
}

bool RC_Payload::AddString(uint8_t nItem, const std::string& sText)
{
    return AddValue(nItem, RC_StringValue(sText));
}

bool RC_Payload::AddRaw(const uint8_t* pData, size_t nCount)
{
    if (!Room(nCount))
        return false;
    std::memcpy(m_Bytes.data() + m_nSize, pData, nCount);
    m_nSize += nCount;
    return true;
}
