#include "RC_DatagramKind.h"

#include "RC_FrameSync.h"

namespace
{
// Bytes looked at to call a datagram text.
constexpr int32_t kTextProbe = 8;

bool IsTextByte(uint8_t nByte)
{
    return (nByte >= 0x20 && nByte <= 0x7E) || nByte == '\t' || nByte == '\r' || nByte == '\n';
}
} // namespace

RC_DatagramKind RC_ClassifyDatagram(const uint8_t* pData, int32_t nCount)
{
    if (!pData || nCount <= 0)
        return RC_DatagramKind::Other;
    const int32_t nProbe = nCount < kTextProbe ? nCount : kTextProbe;
    bool bText = true;
    for (int32_t i = 0; i < nProbe && bText; ++i)
        bText = IsTextByte(pData[i]);
    if (bText)
        return RC_DatagramKind::Text;
    switch (pData[0])
    {
    case RC_ShortSync: return RC_DatagramKind::Short;
    case RC_LongSync: return RC_DatagramKind::Long;
    case RC_EoSync: return RC_DatagramKind::Eo;
    default: return RC_DatagramKind::Other;
    }
}

const char* RC_DatagramKindText(RC_DatagramKind eKind)
{
    switch (eKind)
    {
    case RC_DatagramKind::Short: return "short frames (0x10)";
    case RC_DatagramKind::Long: return "long frames (0x99)";
    case RC_DatagramKind::Eo: return "EO frames (0x77)";
    case RC_DatagramKind::Text: return "text";
    case RC_DatagramKind::Other: break;
    }
    return "datagrams that are not frames";
}
