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
    return AddEncoded(nItem, value, true);
}

bool RC_Payload::AddReported(uint8_t nItem, const RC_ItemValue& value)
{
    return AddEncoded(nItem, value, false);
}

bool RC_Payload::AddEncoded(uint8_t nItem, const RC_ItemValue& value, bool bCommand)
{
    if (!Room(1))
        return false;
    uint8_t* pOut = m_Bytes.data() + m_nSize + 1;
    const size_t nRoom = kCapacity - m_nSize - 1;
    const size_t nWritten = bCommand ? value.EncodeCommand(pOut, nRoom) : value.Encode(pOut, nRoom);
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
