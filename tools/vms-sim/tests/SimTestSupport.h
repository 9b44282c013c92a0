#pragma once
#include "RC_Checksum.h"
#include "SimUnderTest.h"
#include "TempDir.h"
#include "UdpPeer.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace simtest
{
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

// The bytes with their checksum appended.
inline Bytes WithChecksum(Bytes bytes)
{
    bytes.push_back(RC_Checksum(bytes.data(), bytes.size()));
    return bytes;
}

inline bool ChecksumGood(const Bytes& frame)
{
    return !frame.empty() && RC_Checksum(frame.data(), frame.size() - 1) == frame.back();
}

// Items of every type the console sends, plus read-only and write-only ones,
// all at SubSystem 5 (Index 2 where the variant reads it).
inline const char* kPages = R"(<?xml version="1.0"?>
<PageDefinitions>
  <Page Title="Mixed" Logging="false">
    <Item SubSystem="5" Index="2" Item="3" Access="RW" Label="U16 item" Type="U16"/>
    <Item SubSystem="5" Index="2" Item="4" Access="RW" Label="S16 item" Type="S16"/>
    <Item SubSystem="5" Index="2" Item="5" Access="RW" Label="U32 item" Type="U32"/>
    <Item SubSystem="5" Index="2" Item="7" Access="RW" Label="S32 item" Type="S32"/>
    <Item SubSystem="5" Index="2" Item="8" Access="RW" Label="Float item" Type="Float"/>
    <Item SubSystem="5" Index="2" Item="9" Access="RW" Label="Fixed item" Type="Fixed"/>
    <Item SubSystem="5" Index="2" Item="10" Access="RW" Label="String item" Type="String"/>
    <Item SubSystem="5" Index="2" Item="11" Access="RW" Label="Byte item" Type="Byte"/>
    <Item SubSystem="5" Index="2" Item="12" Access="RO" Label="Ramp" Type="Byte"/>
    <Item SubSystem="5" Index="2" Item="13" Access="RO" Label="Sine" Type="U16"/>
    <Item SubSystem="5" Index="2" Item="14" Access="WO" Label="Write only" Type="Byte"/>
  </Page>
</PageDefinitions>
)";

// The simulator with its pages written to a file of its own and two peer
// sockets standing for the console at the ports it sends to.
class SimWithPeers : public SimUnderTest
{
public:
    // Change Options() before Start.
    explicit SimWithPeers(int32_t nVariant, const std::string& sPages = kPages);
    ~SimWithPeers();

    UdpPeer& Console() { return m_Console; }
    UdpPeer& EoConsole() { return m_EoConsole; }

    void Send(const Bytes& frame) { m_Console.SendTo(PagesPort(), frame); }
    std::optional<Bytes> Receive(std::chrono::milliseconds limit = std::chrono::seconds(10))
    {
        return m_Console.ReceiveWithin(limit);
    }
    // The next frame that is not a heartbeat (variant 1 sends them every second).
    std::optional<Bytes> ReceiveStatus(std::chrono::milliseconds limit = std::chrono::seconds(10));
    // Sends and returns the first status frame that comes back.
    std::optional<Bytes> Exchange(const Bytes& frame);
    // Waits until no frame of the group has come for the quiet time (bounded).
    bool WaitForQuiet(std::chrono::milliseconds quiet, int nMostFrames);

private:
    TempDir m_Dir;
    UdpPeer m_Console;
    UdpPeer m_EoConsole;
};
} // namespace simtest
