#pragma once
#include "PcapDatagram.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Reads the UDP datagrams of a classic pcap file (microsecond or nanosecond
// stamps, either byte order) captured on Ethernet, as raw IPv4 or on Linux's
// cooked "any" device. Every read stays inside the file's bytes: a record the
// file ends in the middle of is named in a warning and ends the reading, the
// records before it kept; a packet that is no IPv4 UDP datagram (ARP, TCP,
// IPv6, a fragment) is skipped and counted. A file that is no classic pcap,
// or one whose link type is none of the above, is an error naming it.
class cPcapReader
{
public:
    // Link types as the pcap header numbers them.
    static constexpr uint32_t kEthernet = 1;
    static constexpr uint32_t kRawIp = 101;
    static constexpr uint32_t kLinuxCooked = 113;
    static constexpr uint32_t kIpv4 = 228;

    // Whether the bytes begin as a capture file: classic pcap (either byte
    // order, either resolution), or pcapng, which Read refuses saying how to
    // turn it into pcap, rather than it being taken for another kind of file.
    static bool IsPcap(const uint8_t* pData, size_t nSize);
    // Whether the file named begins as one; false when it cannot be read.
    static bool IsPcapFile(const std::string& sPath);

    // False with Error() saying "file: what" when the file cannot be read,
    // is no classic pcap or has a link type this reader does not know.
    bool Read(const std::string& sPath);
    bool Parse(const uint8_t* pData, size_t nSize, const std::string& sName);

    uint32_t LinkType() const { return m_nLinkType; }
    const std::vector<PcapDatagram>& Datagrams() const { return m_Datagrams; }
    size_t Records() const { return m_nRecords; }
    size_t Skipped() const { return m_nSkipped; }  // records that held no IPv4 UDP datagram
    // The cut record, datagrams captured in part and a count of the skipped
    // packets, one sentence each, for the caller to pass on.
    const std::vector<std::string>& Warnings() const { return m_Warnings; }
    const std::string& Error() const { return m_sError; }

private:
    bool Fail(const std::string& sName, const std::string& sWhat);
    // The IPv4 packet of one record's bytes, by the link type; false when there is none.
    bool FindIpv4(const uint8_t* pData, size_t nSize, size_t& nOffset) const;
    // Adds the record's datagram; false when the packet is no whole-headed IPv4 UDP datagram.
    bool TakeUdp(const uint8_t* pPacket, size_t nSize, double dSeconds, size_t nRecord);

    uint32_t m_nLinkType = 0;
    std::vector<PcapDatagram> m_Datagrams;
    size_t m_nRecords = 0;
    size_t m_nSkipped = 0;
    std::vector<std::string> m_Warnings;
    std::string m_sError;
};
