#include "RC_EoFrameView.h"

#include "RC_Codec.h"

RC_EoFrameView::RC_EoFrameView(const uint8_t* pFrame, int32_t nLength)
{
    if (!pFrame || nLength < 0 || static_cast<size_t>(nLength) < kHeader + 1)
        return;
    m_pFrame = pFrame;
    m_nSize = static_cast<size_t>(nLength);
}

uint8_t RC_EoFrameView::IdOf(const uint8_t* pFrame, int32_t nLength)
{
    return pFrame && nLength >= 2 ? pFrame[1] : 0;
}

uint64_t RC_EoFrameView::Timestamp() const
{
    uint64_t nTimestamp = 0;
    if (m_pFrame)
        RC_Codec::ReadU64(m_pFrame, 5, kHeader, nTimestamp);
    return nTimestamp;
}

size_t RC_EoFrameView::WholeRecords(size_t nRecordSize) const
{
    if (!m_pFrame || nRecordSize == 0)
        return 0;
    return (m_nSize - kHeader - 1) / nRecordSize;
}

const uint8_t* RC_EoFrameView::Record(size_t nRecord, size_t nRecordSize) const
{
    if (nRecord >= WholeRecords(nRecordSize))
        return nullptr;
    return m_pFrame + kHeader + nRecord * nRecordSize;
}
