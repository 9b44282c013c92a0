#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// One UDP datagram of a capture file, as cPcapReader finds it and cPcapWriter
// writes it. Addresses are IPv4 in host order (127.0.0.1 is 0x7f000001).
struct PcapDatagram
{
    static constexpr uint32_t kLoopback = 0x7f000001;

    double dSeconds = 0.0;  // since 1970, as the capture stamps it
    uint32_t nSrcAddress = kLoopback;
    uint16_t nSrcPort = 0;
    uint32_t nDstAddress = kLoopback;
    uint16_t nDstPort = 0;
    std::vector<uint8_t> bytes;  // the UDP payload
    size_t nRecord = 0;          // 1 for the file's first record
    bool bPartial = false;       // the capture holds less than the datagram carried
};
