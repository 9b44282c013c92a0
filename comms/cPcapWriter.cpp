#include "cPcapWriter.h"

#include "cPcapReader.h"

#include <cmath>
#include <cstring>

namespace
{
constexpr size_t kIpHeader = 20;
constexpr size_t kUdpHeader = 8;

void Put16(uint8_t* p, uint16_t n)
{
    p[0] = static_cast<uint8_t>(n >> 8);
    p[1] = static_cast<uint8_t>(n);
}

void Put32(uint8_t* p, uint32_t n)
{
    Put16(p, static_cast<uint16_t>(n >> 16));
    Put16(p + 2, static_cast<uint16_t>(n));
}

// The ones' complement sum of 16-bit words that IPv4 and UDP checksums use, not yet folded.
uint32_t Sum16(const uint8_t* p, size_t nCount, uint32_t nSum = 0)
{
    for (size_t i = 0; i + 1 < nCount; i += 2)
        nSum += static_cast<uint32_t>(p[i] << 8 | p[i + 1]);
    if (nCount % 2 != 0)
        nSum += static_cast<uint32_t>(p[nCount - 1] << 8);
    return nSum;
}

uint16_t Fold(uint32_t nSum)
{
    while (nSum >> 16)
        nSum = (nSum & 0xffff) + (nSum >> 16);
    return static_cast<uint16_t>(~nSum);
}

template <typename T>
void WriteNative(std::ostream& out, T value)
{
    out.write(reinterpret_cast<const char*>(&value), sizeof(value));
}
} // namespace

cPcapWriter::cPcapWriter(std::ostream& out) : m_Out(out)
{
    WriteNative<uint32_t>(m_Out, 0xa1b2c3d4);
    WriteNative<uint16_t>(m_Out, 2);
    WriteNative<uint16_t>(m_Out, 4);
    WriteNative<int32_t>(m_Out, 0);       // stamps are UTC
    WriteNative<uint32_t>(m_Out, 0);      // accuracy not stated
    WriteNative<uint32_t>(m_Out, 65535);  // every packet written whole
    WriteNative<uint32_t>(m_Out, cPcapReader::kRawIp);
}

std::vector<uint8_t> cPcapWriter::Packet(const PcapDatagram& datagram, uint16_t nIdentification)
{
    const size_t nUdp = kUdpHeader + datagram.bytes.size();
    std::vector<uint8_t> packet(kIpHeader + nUdp);
    uint8_t* pIp = packet.data();
    pIp[0] = 0x45;  // version 4, five words of header
    Put16(pIp + 2, static_cast<uint16_t>(packet.size()));
    Put16(pIp + 4, nIdentification);
    Put16(pIp + 6, 0x4000);  // don't fragment
    pIp[8] = 64;
    pIp[9] = 17;
    Put32(pIp + 12, datagram.nSrcAddress);
    Put32(pIp + 16, datagram.nDstAddress);
    Put16(pIp + 10, Fold(Sum16(pIp, kIpHeader)));

    uint8_t* pUdp = pIp + kIpHeader;
    Put16(pUdp, datagram.nSrcPort);
    Put16(pUdp + 2, datagram.nDstPort);
    Put16(pUdp + 4, static_cast<uint16_t>(nUdp));
    if (!datagram.bytes.empty())
        std::memcpy(pUdp + kUdpHeader, datagram.bytes.data(), datagram.bytes.size());
    // Over the pseudo-header (addresses, protocol, length) and the datagram;
    // a sum of zero travels as all ones, since zero means "none".
    const uint32_t nSum = Sum16(pIp + 12, 8) + 17 + static_cast<uint32_t>(nUdp);
    const uint16_t nChecksum = Fold(Sum16(pUdp, nUdp, nSum));
    Put16(pUdp + 6, nChecksum == 0 ? 0xffff : nChecksum);
    return packet;
}

bool cPcapWriter::Write(const PcapDatagram& datagram)
{
    if (datagram.bytes.size() > kMaxPayload)
        return false;
    const std::vector<uint8_t> packet = Packet(datagram, static_cast<uint16_t>(m_nWritten + 1));
    const double dWhole = std::floor(datagram.dSeconds);
    uint32_t nSeconds = dWhole <= 0 ? 0 : static_cast<uint32_t>(dWhole);
    uint32_t nMicro = dWhole <= 0 ? 0 : static_cast<uint32_t>(std::llround((datagram.dSeconds - dWhole) * 1e6));
    if (nMicro >= 1000000)
    {
        ++nSeconds;
        nMicro -= 1000000;
    }
    WriteNative<uint32_t>(m_Out, nSeconds);
    WriteNative<uint32_t>(m_Out, nMicro);
    WriteNative<uint32_t>(m_Out, static_cast<uint32_t>(packet.size()));
    WriteNative<uint32_t>(m_Out, static_cast<uint32_t>(packet.size()));
    m_Out.write(reinterpret_cast<const char*>(packet.data()), static_cast<std::streamsize>(packet.size()));
    if (!m_Out)
        return false;
    ++m_nWritten;
    return true;
}
