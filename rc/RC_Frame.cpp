#include "RC_Frame.h"

#include "RC_Checksum.h"
#include "RC_Payload.h"

#include <cstring>

bool RC_Frame::BuildCommand(RC_Variant eVariant, uint8_t nSubSystem, uint8_t nIndex, const RC_Payload& payload)
{
    return BuildCommand(eVariant, nSubSystem, nIndex, payload.Data(), payload.Size());
}

bool RC_Frame::BuildCommand(RC_Variant eVariant, uint8_t nSubSystem, uint8_t nIndex, const uint8_t* pPayload,
                            size_t nCount)
{
    m_nSize = 0;
    if (nCount > 255)
        return false;
    if (eVariant == RC_Variant::ShortFrames)
    {
        m_Bytes[0] = kShortSync;
        m_Bytes[1] = nSubSystem;
        m_Bytes[2] = 0;
        m_Bytes[3] = static_cast<uint8_t>(nCount);
        return Finish(4, pPayload, nCount);
    }
    if (eVariant == RC_Variant::LongFrames)
    {
        m_Bytes[0] = kLongSync;
        m_Bytes[1] = nSubSystem;
        m_Bytes[2] = nIndex;
        m_Bytes[3] = 0;
        m_Bytes[4] = static_cast<uint8_t>(nCount);
        return Finish(5, pPayload, nCount);
    }
    return false;
}

bool RC_Frame::BuildStatus(RC_Variant eVariant, uint8_t nSubSystem, uint8_t nIndex, uint8_t nStatus,
                           const uint8_t* pPayload, size_t nCount)
{
    m_nSize = 0;
    if (eVariant == RC_Variant::ShortFrames)
    {
        if (nCount > 255)
            return false;
        m_Bytes[0] = kShortSync;
        m_Bytes[1] = nSubSystem;
        m_Bytes[2] = nStatus;
        m_Bytes[3] = static_cast<uint8_t>(nCount);
        return Finish(4, pPayload, nCount);
    }
    if (eVariant == RC_Variant::LongFrames)
    {
        const size_t nTotal = nCount + 7;
        if (nTotal > kMaxFrame)
            return false;
        m_Bytes[0] = kLongSync;
        m_Bytes[1] = nSubSystem;
        m_Bytes[2] = nIndex;
        m_Bytes[3] = nStatus;
        m_Bytes[4] = static_cast<uint8_t>(nTotal >> 8);
        m_Bytes[5] = static_cast<uint8_t>(nTotal);
        return Finish(6, pPayload, nCount);
    }
    return false;
}

bool RC_Frame::Finish(size_t nHeader, const uint8_t* pPayload, size_t nCount)
{
    if (nCount > 0)
        std::memcpy(m_Bytes.data() + nHeader, pPayload, nCount);
    m_Bytes[nHeader + nCount] = RC_Checksum(m_Bytes.data(), nHeader + nCount);
    m_nSize = nHeader + nCount + 1;
    return true;
}
