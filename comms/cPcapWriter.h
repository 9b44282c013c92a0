#pragma once
#include "PcapDatagram.h"

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <vector>

// Writes UDP datagrams as a classic pcap file of raw IPv4 packets
// (microsecond stamps, this machine's byte order, as libpcap writes them),
// each with correct IPv4 and UDP checksums, so that any capture tool reads it.
class cPcapWriter
{
public:
    static constexpr size_t kMaxPayload = 65507;  // the most one IPv4 UDP datagram carries

    // Writes the file header at once.
    explicit cPcapWriter(std::ostream& out);

    // False when the payload is too big for one datagram (nothing written) or
    // the stream failed.
    bool Write(const PcapDatagram& datagram);
    size_t Written() const { return m_nWritten; }

    // The IPv4 packet that carries the datagram.
    static std::vector<uint8_t> Packet(const PcapDatagram& datagram, uint16_t nIdentification = 0);

private:
    std::ostream& m_Out;
    size_t m_nWritten = 0;
};
