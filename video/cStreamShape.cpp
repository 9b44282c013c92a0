#include "cStreamShape.h"

namespace
{
constexpr size_t kTsPacket = 188;
constexpr uint8_t kTsSync = 0x47;
constexpr size_t kRtpHeader = 12;
} // namespace

bool cStreamShape::FitsTransportStream(const uint8_t* pData, size_t nSize, size_t nFirstPacket)
{
    if (nSize <= nFirstPacket)
        return nSize > 0;  // nothing here starts a packet: the block is the tail of one
    for (size_t n = nFirstPacket; n < nSize; n += kTsPacket)
    {
        if (pData[n] != kTsSync)
            return false;
    }
    return true;
}

bool cStreamShape::FitsRtp(const uint8_t* pData, size_t nSize)
{
    return nSize >= kRtpHeader && (pData[0] >> 6) == 2;
}

bool cStreamShape::Feed(const uint8_t* pData, size_t nSize, bool bContinuous, uint64_t nAt)
{
    bool bFits = false;
    if (m_eExpected == eExpect::Rtp)
    {
        bFits = FitsRtp(pData, nSize);
    }
    else
    {
        if (bContinuous && nAt != kFollows)
            m_nOffset = nAt;
        const size_t nFirst = bContinuous ? static_cast<size_t>((kTsPacket - m_nOffset % kTsPacket) % kTsPacket) : 0;
        bFits = FitsTransportStream(pData, nSize, nFirst);
        if (bContinuous)
            m_nOffset += nSize;
    }
    if (bFits)
    {
        m_nMisfitsInRow = 0;
        if (!m_bMisfit)
            return false;
        m_bMisfit = false;
        return true;
    }
    // A file is judged by its first block: its bytes do not come and go.
    const int nToBegin = bContinuous ? 1 : kMisfitsToBegin;
    if (m_bMisfit || ++m_nMisfitsInRow < nToBegin)
        return false;
    m_bMisfit = true;
    return true;
}

std::string cStreamShape::Describe() const
{
    if (m_eExpected == eExpect::Rtp)
        return "the data received is not RTP (a transport stream is udp://, RTP/H.264 is rtp://)";
    return "the data received is not an MPEG transport stream (RTP/H.264 is rtp://, a transport stream is udp://)";
}
