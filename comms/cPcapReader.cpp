#include "cPcapReader.h"

#include <fstream>
#include <iterator>

namespace
{
constexpr size_t kFileHeader = 24;
constexpr size_t kRecordHeader = 16;
constexpr uint32_t kMicroMagic = 0xa1b2c3d4;
constexpr uint32_t kNanoMagic = 0xa1b23c4d;
constexpr uint32_t kPcapNgMagic = 0x0a0d0d0a;
constexpr uint16_t kEtherIpv4 = 0x0800;
constexpr uint16_t kEtherVlan = 0x8100;
constexpr uint16_t kEtherQinQ = 0x88a8;
constexpr uint8_t kUdp = 17;

uint16_t Big16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

uint32_t Little32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

uint32_t Swap32(uint32_t n)
{
    return (n >> 24) | ((n >> 8) & 0xff00) | ((n << 8) & 0xff0000) | (n << 24);
}

// The file's byte order and stamp resolution, from its first four bytes.
struct Magic
{
    bool bKnown = false;
    bool bSwapped = false;
    bool bNano = false;
};

Magic ReadMagic(const uint8_t* p)
{
    const uint32_t nMagic = Little32(p);
    if (nMagic == kMicroMagic || nMagic == kNanoMagic)
        return {true, false, nMagic == kNanoMagic};
    if (Swap32(nMagic) == kMicroMagic || Swap32(nMagic) == kNanoMagic)
        return {true, true, Swap32(nMagic) == kNanoMagic};
    return {};
}
} // namespace

bool cPcapReader::IsPcap(const uint8_t* pData, size_t nSize)
{
    return pData && nSize >= 4 && (ReadMagic(pData).bKnown || Little32(pData) == kPcapNgMagic);
}

bool cPcapReader::IsPcapFile(const std::string& sPath)
{
    std::ifstream in(sPath, std::ios::binary);
    uint8_t magic[4] = {};
    return in.read(reinterpret_cast<char*>(magic), sizeof(magic)) && IsPcap(magic, sizeof(magic));
}

bool cPcapReader::Read(const std::string& sPath)
{
    std::ifstream in(sPath, std::ios::binary);
    if (!in)
    {
        m_Datagrams.clear();
        m_Warnings.clear();
        return Fail(sPath, "cannot open the file");
    }
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return Parse(bytes.data(), bytes.size(), sPath);
}

bool cPcapReader::Fail(const std::string& sName, const std::string& sWhat)
{
    m_sError = sName + ": " + sWhat;
    return false;
}

bool cPcapReader::Parse(const uint8_t* pData, size_t nSize, const std::string& sName)
{
    m_nLinkType = 0;
    m_Datagrams.clear();
    m_nRecords = 0;
    m_nSkipped = 0;
    m_Warnings.clear();
    m_sError.clear();

    if (!pData || nSize < kFileHeader)
        return Fail(sName, "too short for a pcap file header (" + std::to_string(nSize) + " of 24 bytes)");
    const Magic magic = ReadMagic(pData);
    if (!magic.bKnown)
    {
        if (Little32(pData) == kPcapNgMagic)
            return Fail(sName, "a pcapng file; save it as classic pcap (editcap -F pcap IN OUT)");
        return Fail(sName, "not a pcap file (no pcap magic number at its start)");
    }
    auto read32 = [&magic](const uint8_t* p) { return magic.bSwapped ? Swap32(Little32(p)) : Little32(p); };
    // The top bits may carry the frame check sequence's length.
    m_nLinkType = read32(pData + 20) & 0xffff;
    if (m_nLinkType != kEthernet && m_nLinkType != kRawIp && m_nLinkType != kLinuxCooked && m_nLinkType != kIpv4)
        return Fail(sName, "link type " + std::to_string(m_nLinkType) +
                               " is not one this reader knows (Ethernet 1, raw IPv4 101 or 228, Linux cooked 113)");

    size_t nPos = kFileHeader;
    while (nPos < nSize)
    {
        const size_t nRecord = m_nRecords + 1;
        if (nSize - nPos < kRecordHeader)
        {
            m_Warnings.push_back(sName + ": record " + std::to_string(nRecord) + " is cut short: its header has " +
                                 std::to_string(nSize - nPos) + " of 16 bytes");
            break;
        }
        const uint8_t* pHeader = pData + nPos;
        const double dSeconds = static_cast<double>(read32(pHeader)) +
                                static_cast<double>(read32(pHeader + 4)) * (magic.bNano ? 1e-9 : 1e-6);
        const uint32_t nCaptured = read32(pHeader + 8);
        nPos += kRecordHeader;
        if (nCaptured > nSize - nPos)
        {
            m_Warnings.push_back(sName + ": record " + std::to_string(nRecord) + " is cut short: " +
                                 std::to_string(nSize - nPos) + " of its " + std::to_string(nCaptured) + " bytes");
            break;
        }
        ++m_nRecords;
        size_t nOffset = 0;
        if (!FindIpv4(pData + nPos, nCaptured, nOffset) ||
            !TakeUdp(pData + nPos + nOffset, nCaptured - nOffset, dSeconds, nRecord))
            ++m_nSkipped;
        nPos += nCaptured;
    }
    if (m_nSkipped > 0)
        m_Warnings.push_back(sName + ": " + std::to_string(m_nSkipped) + " of " + std::to_string(m_nRecords) +
                             " packets skipped: not UDP over IPv4, or a fragment of a datagram");
    return true;
}

bool cPcapReader::FindIpv4(const uint8_t* pData, size_t nSize, size_t& nOffset) const
{
    switch (m_nLinkType)
    {
    case kEthernet:
    {
        // Destination, source, then the type, after any VLAN tags.
        size_t nType = 12;
        for (int nTags = 0; nTags < 2 && nSize >= nType + 2; ++nTags)
        {
            const uint16_t nEtherType = Big16(pData + nType);
            if (nEtherType != kEtherVlan && nEtherType != kEtherQinQ)
                break;
            nType += 4;
        }
        if (nSize < nType + 2 || Big16(pData + nType) != kEtherIpv4)
            return false;
        nOffset = nType + 2;
        return true;
    }
    case kLinuxCooked:
        // Packet type, address type, address length, eight address bytes, protocol.
        if (nSize < 16 || Big16(pData + 14) != kEtherIpv4)
            return false;
        nOffset = 16;
        return true;
    case kRawIp:
    case kIpv4:
        nOffset = 0;
        return nSize >= 1 && (pData[0] >> 4) == 4;
    }
    return false;
}

bool cPcapReader::TakeUdp(const uint8_t* pPacket, size_t nSize, double dSeconds, size_t nRecord)
{
    if (nSize < 20 || (pPacket[0] >> 4) != 4)
        return false;
    const size_t nHeader = static_cast<size_t>(pPacket[0] & 0x0f) * 4;
    const size_t nTotal = Big16(pPacket + 2);
    // More fragments, or an offset: a part of a datagram, which no frame can be read from alone.
    const bool bFragment = (Big16(pPacket + 6) & 0x3fff) != 0;
    if (nHeader < 20 || nTotal < nHeader + 8 || pPacket[9] != kUdp || bFragment || nSize < nHeader + 8)
        return false;
    // Ethernet pads short packets; the IPv4 length says where the packet ends.
    const size_t nPacket = nTotal < nSize ? nTotal : nSize;
    const uint8_t* pUdp = pPacket + nHeader;
    const size_t nUdpLength = Big16(pUdp + 4);
    if (nUdpLength < 8)
        return false;
    const size_t nHeld = nPacket - nHeader - 8;
    const size_t nPayload = nUdpLength - 8;

    PcapDatagram datagram;
    datagram.dSeconds = dSeconds;
    datagram.nSrcAddress = static_cast<uint32_t>(Big16(pPacket + 12)) << 16 | Big16(pPacket + 14);
    datagram.nDstAddress = static_cast<uint32_t>(Big16(pPacket + 16)) << 16 | Big16(pPacket + 18);
    datagram.nSrcPort = Big16(pUdp);
    datagram.nDstPort = Big16(pUdp + 2);
    datagram.nRecord = nRecord;
    datagram.bPartial = nPayload > nHeld;
    const size_t nTaken = nPayload < nHeld ? nPayload : nHeld;
    datagram.bytes.assign(pUdp + 8, pUdp + 8 + nTaken);
    if (datagram.bPartial)
        m_Warnings.push_back("record " + std::to_string(nRecord) + " holds " + std::to_string(nTaken) + " of its " +
                             std::to_string(nPayload) + " datagram bytes (captured in part)");
    m_Datagrams.push_back(std::move(datagram));
    return true;
}
