#include "RC_FrameView.h"

RC_FrameView::RC_FrameView(const uint8_t* pFrame, int32_t nLength, size_t nHeader, bool bLong)
    : m_nHeader(nHeader), m_bLong(bLong)
{
    if (!pFrame || nLength < 0 || static_cast<size_t>(nLength) < nHeader + 1)
        return;
    m_pFrame = pFrame;
    m_nSize = static_cast<size_t>(nLength);
}

RC_FrameView RC_FrameView::Command(RC_Variant eVariant, const uint8_t* pFrame, int32_t nLength)
{
    switch (eVariant)
    {
    case RC_Variant::ShortFrames: return RC_FrameView(pFrame, nLength, 4, false);
    case RC_Variant::LongFrames: return RC_FrameView(pFrame, nLength, 5, true);
    }
    return RC_FrameView(nullptr, 0, 0, false);
}

RC_FrameView RC_FrameView::Status(RC_Variant eVariant, const uint8_t* pFrame, int32_t nLength)
{
    switch (eVariant)
    {
    case RC_Variant::ShortFrames: return RC_FrameView(pFrame, nLength, 4, false);
    case RC_Variant::LongFrames: return RC_FrameView(pFrame, nLength, 6, true);
    }
    return RC_FrameView(nullptr, 0, 0, false);
}

uint16_t RC_FrameView::LengthField() const
{
    // Only a long status header has six bytes; its length is the last two.
    if (m_nHeader == 6)
        return static_cast<uint16_t>(Byte(4) << 8 | Byte(5));
    return m_nHeader > 0 ? Byte(m_nHeader - 1) : 0;
}

bool RC_FrameView::IsHeartbeat() const
{
    return IsValid() && m_bLong && SubSystem() == kHeartbeatSubSystem && Index() == kHeartbeatIndex;
}

bool RC_FrameView::ReadHeartbeat(uint8_t& nMissed, uint8_t& nState) const
{
    if (!IsHeartbeat() || PayloadSize() < 2)
        return false;
    nMissed = Payload()[0];
    nState = Payload()[1];
    return true;
}
