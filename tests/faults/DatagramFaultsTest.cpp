// The console's page protocol on a link that floods and lies: random
// datagrams and frames with wrong checksums at full rate between good frames,
// datagrams of 0 and 65 507 bytes, and frames with every length byte value.
#include "DbgLog.h"
#include "LogCapture.h"
#include "ProcessFigures.h"
#include "RC_Checksum.h"
#include "RC_Frame.h"
#include "RC_Payload.h"
#include "UdpPeer.h"
#include "WaitFor.h"
#include "cPageList.h"
#include "cRC_IO_Pages.h"
#include "cUdpIF.h"

#include <atomic>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <string>

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

namespace
{
using ProcessFigures::ResidentKb;
// GCC names AddressSanitizer with a macro, clang as a feature.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
constexpr bool kAddressSanitizer = __has_feature(address_sanitizer);
#else
constexpr bool kAddressSanitizer = false;
#endif

constexpr uint8_t kSubSystem = 5;
constexpr uint8_t kIndex = 2;
constexpr uint8_t kItem = 3;

// A page protocol bound to a bare socket that plays the remote system.
class Console
{
public:
    explicit Console(RC_Variant eVariant) : m_Pages(eVariant, false)
    {
        std::vector<PageItem> items;
        items.push_back(PageItem::Make(kSubSystem, eVariant == RC_Variant::ShortFrames ? 0 : kIndex, kItem,
                                       RC_DataType::U16, PageItem::kReadOnly, "Counter"));
        m_List.AppendPage(std::move(items), "Live", false, -1);
        CommsSettings settings;
        settings.nCommsMethod = CommsSettings::kUdp;
        settings.nTxPort = m_Peer.Port();
        settings.nRxPort = 0;
        EXPECT_TRUE(m_Pages.initialise(settings, "Kestrum"));
        m_Pages.m_pPageDefinitions = &m_List;
        m_Pages.RegisterItems();
        m_Updates = m_Pages.m_sigSubsystemUpdated.connect([this](unsigned char nSubSystem) {
            if (nSubSystem == kSubSystem)
                m_nUpdates.fetch_add(1);
        });
    }
    ~Console() { m_Updates.disconnect(); }

    nx::http::cUdpIF& Udp() { return *dynamic_cast<nx::http::cUdpIF*>(m_Pages.getCommsIF()); }
    uint16_t Port() { return Udp().LocalPort(); }
    void Send(const Bytes& datagram) { m_Peer.SendTo(Port(), datagram); }
    uint16_t Counter() const { return static_cast<const RC_U16Value&>(*m_List.Items(0).at(0).pValue).Get(); }
    int32_t Updates() const { return m_nUpdates.load(); }
    cRC_IO_Pages& Pages() { return m_Pages; }

    Bytes Status(uint16_t nValue, bool bSpoilChecksum = false) const
    {
        RC_Payload payload;
        payload.AddU16(kItem, nValue);
        RC_Frame frame;
        frame.BuildStatus(m_Pages.ControllerType(), kSubSystem, kIndex, 0, payload.Data(), payload.Size());
        Bytes bytes(frame.Data(), frame.Data() + frame.Size());
        if (bSpoilChecksum)
            bytes.back() = static_cast<uint8_t>(bytes.back() + 1);
        return bytes;
    }

private:
    UdpPeer m_Peer;
    cPageList m_List;
    cRC_IO_Pages m_Pages;
    std::atomic<int32_t> m_nUpdates{0};
    boost::signals2::scoped_connection m_Updates;
};

Bytes Junk(std::mt19937& random)
{
    Bytes bytes(random() % 300);
    for (uint8_t& b : bytes)
        b = static_cast<uint8_t>(random());
    // Often starting like a frame, so that the framer really has to give up.
    if (!bytes.empty() && random() % 2 == 0)
        bytes[0] = random() % 2 ? RC_Frame::kShortSync : RC_Frame::kLongSync;
    return bytes;
}
} // namespace

// For three seconds a sender pushes, as fast as the console takes them, good
// status frames with a counting value, each followed by random datagrams
// (mostly starting with a sync byte), a good frame with a spoilt checksum and
// now and then an empty or an oversized datagram. Every good frame is decoded
// in order, every spoilt one is counted, bytes and datagrams add up, the
// kernel dropped nothing and resident memory stays flat.
TEST(DatagramFaults, FloodOfJunkAndBadChecksumsLosesNoGoodFrame)
{
    for (const RC_Variant eVariant : {RC_Variant::ShortFrames, RC_Variant::LongFrames})
    {
        Console console(eVariant);
        nx::http::cUdpIF& udp = console.Udp();
        // Every spoilt frame is a warning line; keep them out of the test's output.
        const int32_t nLevel = DbgLogGetLevel();
        DbgLogSetLevel(DBG_ERR);
        std::mt19937 random(42 + static_cast<int>(eVariant));
        uint32_t nDatagrams = 0;
        uint32_t nGood = 0;
        uint32_t nSpoilt = 0;
        int64_t nBytes = 0;
        long nResidentAfterWarmUp = 0;
        auto send = [&](const Bytes& datagram) {
            // Never more than 256 datagrams ahead of the console: full rate
            // for the receiver, and no loss in the kernel to blur the counts.
            while (nDatagrams - udp.DatagramsReceived() > 256)
                std::this_thread::yield();
            console.Send(datagram);
            ++nDatagrams;
            nBytes += static_cast<int64_t>(std::min(datagram.size(), nx::http::cUdpIF::kReceiveBufferSize));
        };
        const auto start = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() - start < 3s)
        {
            send(console.Status(static_cast<uint16_t>(++nGood)));
            for (int i = 0; i < 4; ++i)
                send(Junk(random));
            send(console.Status(static_cast<uint16_t>(nGood + 1000), true));
            ++nSpoilt;
            if (nGood % 500 == 0)
                send(Bytes{});
            if (nGood % 2000 == 0)
                send(Bytes(65507, RC_Frame::kLongSync));
            if (nGood == 2000)
                nResidentAfterWarmUp = ResidentKb();
        }
        ASSERT_TRUE(WaitFor([&] { return udp.DatagramsReceived() == nDatagrams; }));
        ASSERT_TRUE(WaitFor([&] { return console.Updates() == static_cast<int32_t>(nGood); }))
            << console.Updates() << " of " << nGood;
        DbgLogSetLevel(nLevel);

        EXPECT_EQ(console.Counter(), static_cast<uint16_t>(nGood));
        EXPECT_GE(console.Pages().ChecksumFailures(), nSpoilt);
        EXPECT_GE(console.Pages().m_nRxCount.load(), static_cast<int32_t>(nGood));
        EXPECT_EQ(udp.DatagramsDropped(), 0u);
        EXPECT_EQ(udp.DatagramsTruncated(), nGood / 2000);
        EXPECT_EQ(udp.BytesReceived(), nBytes);
        EXPECT_EQ(udp.PeerRejects(), 0u);
        EXPECT_GT(nGood, 5000u) << "the flood was too slow to mean much";
        // Receive buffers are made once; nothing grows with the traffic.
        // AddressSanitizer keeps freed blocks in quarantine (up to 256 MB),
        // so memory is only meaningful without it.
        if (!kAddressSanitizer)
        {
            EXPECT_LT(ResidentKb() - nResidentAfterWarmUp, 4096) << nGood << " good frames";
        }
    }
}

// An empty datagram changes nothing. A 65 507-byte datagram full of good
// frames is cut to the 8192-byte buffer: the frames in the first 8192 bytes
// are decoded, the cut is reported and counted, and the next datagram is
// framed afresh.
TEST(DatagramFaults, EmptyAndLargestDatagrams)
{
    LogCapture log(DBG_WRN);
    Console console(RC_Variant::ShortFrames);
    console.Send(Bytes{});
    const Bytes frame = console.Status(1);
    Bytes largest;
    while (largest.size() + frame.size() <= 65507)
        largest.insert(largest.end(), frame.begin(), frame.end());
    largest.resize(65507, 0xEE);
    console.Send(largest);
    console.Send(console.Status(2));
    const int32_t nInBuffer = static_cast<int32_t>(8192 / frame.size());
    ASSERT_TRUE(WaitFor([&] { return console.Updates() == nInBuffer + 1; })) << console.Updates();
    EXPECT_EQ(console.Counter(), 2);
    EXPECT_EQ(console.Udp().DatagramsReceived(), 3u);
    EXPECT_EQ(console.Udp().DatagramsTruncated(), 1u);
    EXPECT_EQ(console.Udp().BytesReceived(), 8192 + static_cast<int32_t>(frame.size()));
    EXPECT_EQ(log.Count("longer than 8192 bytes, cut (1 so far)", DBG_WRN), 1);
}

// Every value of the length byte of a short frame, and every value of each
// byte of a long frame's length, each in a datagram as long as it claims (up
// to the largest datagram) with the right checksum, each followed by a good
// frame. Lengths a frame can have are decoded, the others dropped; every good
// frame arrives. (A status frame whose payload is too short to name an item
// still reports its subsystem as updated.)
TEST(DatagramFaults, FramesWithEveryLengthByteValue)
{
    for (const RC_Variant eVariant : {RC_Variant::ShortFrames, RC_Variant::LongFrames})
    {
        LogCapture log(DBG_ERR);  // the zero payloads name unknown items: warnings
        Console console(eVariant);
        std::vector<int32_t> lengths;
        if (eVariant == RC_Variant::ShortFrames)
        {
            for (int32_t nByte = 0; nByte < 256; ++nByte)
                lengths.push_back(nByte + 5);
        }
        else
        {
            for (int32_t nByte = 0; nByte < 256; ++nByte)
            {
                lengths.push_back(nByte * 256 + 0x20);  // high byte
                for (int32_t nHigh : {0, 3, 4})
                    lengths.push_back(nHigh * 256 + nByte);  // low byte, around the largest frame
            }
        }
        int32_t nFramable = 0;
        int32_t nNoItem = 0;
        uint16_t nGood = 0;
        for (const int32_t nLength : lengths)
        {
            const bool bLong = eVariant == RC_Variant::LongFrames;
            const int32_t nHeader = bLong ? 7 : 5;
            const bool bFramable = nLength >= nHeader && nLength <= 1022;
            Bytes frame(static_cast<size_t>(std::clamp(nLength, nHeader, 65507)), 0);
            frame[0] = bLong ? RC_Frame::kLongSync : RC_Frame::kShortSync;
            frame[1] = kSubSystem;
            if (bLong)
            {
                frame[2] = kIndex;
                frame[4] = static_cast<uint8_t>(nLength >> 8);
                frame[5] = static_cast<uint8_t>(nLength);
            }
            else
            {
                frame[3] = static_cast<uint8_t>(nLength - 5);
            }
            frame.back() = RC_Checksum(frame.data(), frame.size() - 1);
            console.Send(frame);
            console.Send(console.Status(++nGood));
            // One pair at a time: frames of up to 64 kB would outrun the
            // socket's receive buffer on a loaded machine, and a kernel drop
            // is not what this test is about.
            ASSERT_TRUE(WaitFor([&] { return console.Counter() == nGood; })) << "length " << nLength;
            nFramable += bFramable ? 1 : 0;
            nNoItem += bFramable && nLength - nHeader < 2 ? 1 : 0;
        }
        ASSERT_TRUE(WaitFor([&] { return console.Updates() == nGood + nNoItem; })) << console.Updates() << " of " << nGood;
        EXPECT_EQ(console.Counter(), nGood);
        EXPECT_EQ(console.Pages().m_nRxCount.load(), nFramable + nGood);
        EXPECT_EQ(console.Pages().ChecksumFailures(), 0u);
    }
}
