#include "TempDir.h"
#include "cPcapReader.h"
#include "cPcapWriter.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace
{
using Bytes = std::vector<uint8_t>;

// A capture file built by hand, for the link types and damage the writer never makes.
class CaptureBuilder
{
public:
    CaptureBuilder(uint32_t nLinkType, bool bBigEndian = false, bool bNano = false) : m_bBig(bBigEndian)
    {
        Put32(bNano ? 0xa1b23c4d : 0xa1b2c3d4);
        Put16(2);
        Put16(4);
        Put32(0);
        Put32(0);
        Put32(65535);
        Put32(nLinkType);
    }
    CaptureBuilder& Record(const Bytes& packet, uint32_t nSeconds = 1, uint32_t nFraction = 0, size_t nCaptured = SIZE_MAX)
    {
        const size_t nHeld = std::min(nCaptured, packet.size());
        Put32(nSeconds);
        Put32(nFraction);
        Put32(static_cast<uint32_t>(nHeld));
        Put32(static_cast<uint32_t>(packet.size()));
        m_Bytes.insert(m_Bytes.end(), packet.begin(), packet.begin() + static_cast<ptrdiff_t>(nHeld));
        return *this;
    }
    Bytes& Data() { return m_Bytes; }

private:
    void Put16(uint16_t n)
    {
        const uint8_t b[2] = {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8)};
        Put(b, 2);
    }
    void Put32(uint32_t n)
    {
        const uint8_t b[4] = {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n >> 16),
                              static_cast<uint8_t>(n >> 24)};
        Put(b, 4);
    }
    void Put(const uint8_t* p, size_t n)
    {
        for (size_t i = 0; i < n; ++i)
            m_Bytes.push_back(m_bBig ? p[n - 1 - i] : p[i]);
    }

    bool m_bBig;
    Bytes m_Bytes;
};

PcapDatagram Datagram(uint16_t nSrcPort, uint16_t nDstPort, Bytes bytes, double dSeconds = 1700000000.25)
{
    PcapDatagram datagram;
    datagram.nSrcPort = nSrcPort;
    datagram.nDstPort = nDstPort;
    datagram.bytes = std::move(bytes);
    datagram.dSeconds = dSeconds;
    return datagram;
}

Bytes Ipv4Udp(uint16_t nDstPort, const Bytes& payload)
{
    return cPcapWriter::Packet(Datagram(4000, nDstPort, payload));
}

Bytes Concat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Bytes kFrame = {0x99, 0x05, 0x02, 0x00, 0x01, 0x83, 0x24};
} // namespace

// What the writer writes, the reader gives back: addresses, ports, bytes
// (an empty datagram and a big one too) and stamps to the microsecond; the
// headers carry checksums a capture tool accepts.
TEST(Pcap, WrittenDatagramsReadBack)
{
    std::vector<PcapDatagram> written = {Datagram(9876, 9879, kFrame, 1700000000.000001),
                                         Datagram(9186, 9886, {}, 1700000000.5),
                                         Datagram(9879, 9876, Bytes(1022, 0xa5), 1700000012.999999)};
    written[1].nSrcAddress = 0x0a000001;
    std::ostringstream out;
    cPcapWriter writer(out);
    for (const PcapDatagram& datagram : written)
        ASSERT_TRUE(writer.Write(datagram));
    EXPECT_FALSE(writer.Write(Datagram(1, 2, Bytes(cPcapWriter::kMaxPayload + 1))));
    EXPECT_EQ(writer.Written(), 3u);

    const std::string sFile = out.str();
    cPcapReader reader;
    ASSERT_TRUE(reader.Parse(reinterpret_cast<const uint8_t*>(sFile.data()), sFile.size(), "mem")) << reader.Error();
    EXPECT_EQ(reader.LinkType(), cPcapReader::kRawIp);
    EXPECT_TRUE(reader.Warnings().empty());
    ASSERT_EQ(reader.Datagrams().size(), 3u);
    for (size_t i = 0; i < written.size(); ++i)
    {
        const PcapDatagram& got = reader.Datagrams()[i];
        EXPECT_EQ(got.bytes, written[i].bytes) << i;
        EXPECT_EQ(got.nSrcAddress, written[i].nSrcAddress) << i;
        EXPECT_EQ(got.nDstAddress, PcapDatagram::kLoopback) << i;
        EXPECT_EQ(got.nSrcPort, written[i].nSrcPort) << i;
        EXPECT_EQ(got.nDstPort, written[i].nDstPort) << i;
        EXPECT_NEAR(got.dSeconds, written[i].dSeconds, 1e-6) << i;
        EXPECT_EQ(got.nRecord, i + 1);
        EXPECT_FALSE(got.bPartial);
    }

    // Both checksums sum to all ones over what they cover.
    const Bytes packet = cPcapWriter::Packet(written[0]);
    uint32_t nSum = 0;
    for (size_t i = 0; i < 20; i += 2)
        nSum += static_cast<uint32_t>(packet[i] << 8 | packet[i + 1]);
    uint32_t nUdp = 17 + static_cast<uint32_t>(packet.size() - 20);
    for (size_t i = 12; i < packet.size(); i += 2)
        nUdp += static_cast<uint32_t>(packet[i] << 8 | (i + 1 < packet.size() ? packet[i + 1] : 0));
    for (uint32_t* p : {&nSum, &nUdp})
        while (*p >> 16)
            *p = (*p & 0xffff) + (*p >> 16);
    EXPECT_EQ(nSum, 0xffffu);
    EXPECT_EQ(nUdp, 0xffffu);

    TempDir dir;
    {
        std::ofstream file(dir.File("s.pcap"), std::ios::binary);
        file << sFile;
    }
    EXPECT_TRUE(cPcapReader::IsPcapFile(dir.File("s.pcap")));
    dir.Write("log.txt", "Time, [Comment], Count, Data\n");
    EXPECT_FALSE(cPcapReader::IsPcapFile(dir.File("log.txt")));
    EXPECT_FALSE(cPcapReader::IsPcapFile(dir.File("missing")));
    // Wireshark's own format is taken for a capture, so that reading it says what to do.
    {
        std::ofstream file(dir.File("s.pcapng"), std::ios::binary);
        file << std::string("\x0a\x0d\x0d\x0a", 4) << std::string(60, '\0');
    }
    EXPECT_TRUE(cPcapReader::IsPcapFile(dir.File("s.pcapng")));
    cPcapReader pcapng;
    EXPECT_FALSE(pcapng.Read(dir.File("s.pcapng")));
    EXPECT_NE(pcapng.Error().find("save it as classic pcap (editcap -F pcap IN OUT)"), std::string::npos) << pcapng.Error();
}

// Captures of the other link types: Ethernet with a VLAN tag and padding,
// Linux cooked, and a big-endian file with nanosecond stamps.
TEST(Pcap, ReadsEthernetCookedAndSwappedCaptures)
{
    const Bytes ip = Ipv4Udp(9879, kFrame);
    const Bytes ethernet = Concat(Concat({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0x81, 0x00, 0x00, 0x05, 0x08, 0x00}, ip),
                                  Bytes(12, 0));  // padding to the least Ethernet frame
    const Bytes cooked = Concat({0, 0, 0, 1, 0, 6, 1, 2, 3, 4, 5, 6, 0, 0, 0x08, 0x00}, ip);
    struct Case
    {
        uint32_t nLinkType;
        Bytes packet;
        bool bBig;
        bool bNano;
    };
    for (const Case& c : {Case{cPcapReader::kEthernet, ethernet, false, false},
                          Case{cPcapReader::kLinuxCooked, cooked, false, false},
                          Case{cPcapReader::kIpv4, ip, true, true}})
    {
        CaptureBuilder file(c.nLinkType, c.bBig, c.bNano);
        file.Record(c.packet, 1700000000, c.bNano ? 250000000 : 250000);
        cPcapReader reader;
        ASSERT_TRUE(reader.Parse(file.Data().data(), file.Data().size(), "mem")) << reader.Error();
        ASSERT_EQ(reader.Datagrams().size(), 1u) << c.nLinkType;
        EXPECT_EQ(reader.Datagrams()[0].bytes, kFrame) << c.nLinkType;
        EXPECT_EQ(reader.Datagrams()[0].nDstPort, 9879) << c.nLinkType;
        EXPECT_DOUBLE_EQ(reader.Datagrams()[0].dSeconds, 1700000000.25) << c.nLinkType;
    }
}

// What no replay can use is skipped and counted, the datagrams around it kept:
// ARP, TCP, IPv6, a fragment; a datagram the capture cut is kept and named.
TEST(Pcap, SkipsPacketsThatAreNoWholeUdpDatagram)
{
    const Bytes mac = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    Bytes tcp = Ipv4Udp(80, kFrame);
    tcp[9] = 6;
    Bytes fragment = Ipv4Udp(9879, kFrame);
    fragment[6] = 0x20;  // more fragments follow
    const Bytes ipv6 = {0x60, 0, 0, 0, 0, 8, 17, 64};

    CaptureBuilder file(cPcapReader::kEthernet);
    file.Record(Concat(Concat(mac, {0x08, 0x06}), Bytes(28, 0)))  // ARP
        .Record(Concat(Concat(mac, {0x08, 0x00}), Ipv4Udp(9879, kFrame)))
        .Record(Concat(Concat(mac, {0x08, 0x00}), tcp))
        .Record(Concat(Concat(mac, {0x86, 0xdd}), ipv6))
        .Record(Concat(Concat(mac, {0x08, 0x00}), fragment))
        .Record(Concat(Concat(mac, {0x08, 0x00}), Bytes{0x45, 0}))  // too short for its header
        .Record(Concat(Concat(mac, {0x08, 0x00}), Ipv4Udp(9886, kFrame)), 2, 0, 14 + 28 + 3);
    cPcapReader reader;
    ASSERT_TRUE(reader.Parse(file.Data().data(), file.Data().size(), "cap.pcap")) << reader.Error();
    EXPECT_EQ(reader.Records(), 7u);
    EXPECT_EQ(reader.Skipped(), 5u);
    ASSERT_EQ(reader.Datagrams().size(), 2u);
    EXPECT_EQ(reader.Datagrams()[0].nRecord, 2u);
    EXPECT_FALSE(reader.Datagrams()[0].bPartial);
    EXPECT_EQ(reader.Datagrams()[1].nRecord, 7u);
    EXPECT_TRUE(reader.Datagrams()[1].bPartial);
    EXPECT_EQ(reader.Datagrams()[1].bytes, (Bytes{0x99, 0x05, 0x02}));
    ASSERT_EQ(reader.Warnings().size(), 2u);
    EXPECT_EQ(reader.Warnings()[0], "record 7 holds 3 of its 7 datagram bytes (captured in part)");
    EXPECT_EQ(reader.Warnings()[1], "cap.pcap: 5 of 7 packets skipped: not UDP over IPv4, or a fragment of a datagram");
}

// A cut file header or a foreign file is an error; a cut record ends the
// reading with a warning and keeps every record before it.
TEST(Pcap, DamagedAndForeignFilesAreReported)
{
    CaptureBuilder whole(cPcapReader::kRawIp);
    whole.Record(Ipv4Udp(9879, kFrame)).Record(Ipv4Udp(9879, kFrame));
    const Bytes& bytes = whole.Data();
    const size_t nFirstRecordEnd = 24 + 16 + 35;
    ASSERT_EQ(bytes.size(), nFirstRecordEnd + 16 + 35);

    cPcapReader reader;
    EXPECT_FALSE(reader.Parse(bytes.data(), 23, "a.pcap"));
    EXPECT_EQ(reader.Error(), "a.pcap: too short for a pcap file header (23 of 24 bytes)");

    ASSERT_TRUE(reader.Parse(bytes.data(), nFirstRecordEnd + 10, "a.pcap"));
    EXPECT_EQ(reader.Datagrams().size(), 1u);
    ASSERT_EQ(reader.Warnings().size(), 1u);
    EXPECT_EQ(reader.Warnings()[0], "a.pcap: record 2 is cut short: its header has 10 of 16 bytes");

    ASSERT_TRUE(reader.Parse(bytes.data(), bytes.size() - 1, "a.pcap"));
    EXPECT_EQ(reader.Datagrams().size(), 1u);
    ASSERT_EQ(reader.Warnings().size(), 1u);
    EXPECT_EQ(reader.Warnings()[0], "a.pcap: record 2 is cut short: 34 of its 35 bytes");

    CaptureBuilder token(147);  // a user-defined link type
    token.Record(Ipv4Udp(9879, kFrame));
    EXPECT_FALSE(reader.Parse(token.Data().data(), token.Data().size(), "b.pcap"));
    EXPECT_EQ(reader.Error(),
              "b.pcap: link type 147 is not one this reader knows (Ethernet 1, raw IPv4 101 or 228, Linux cooked 113)");
    EXPECT_TRUE(reader.Datagrams().empty());

    Bytes pcapng = {0x0a, 0x0d, 0x0d, 0x0a};
    pcapng.resize(64, 0);
    EXPECT_FALSE(reader.Parse(pcapng.data(), pcapng.size(), "c.pcapng"));
    EXPECT_EQ(reader.Error(), "c.pcapng: a pcapng file; save it as classic pcap (editcap -F pcap IN OUT)");

    EXPECT_FALSE(reader.Read("/nonexistent/d.pcap"));
    EXPECT_EQ(reader.Error(), "/nonexistent/d.pcap: cannot open the file");
}
