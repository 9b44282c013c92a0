#include "LogCapture.h"
#include "RC_Frame.h"
#include "UdpPeer.h"
#include "cPageList.h"
#include "cRC_IO_Pages.h"

#include <chrono>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

CommsSettings UdpTo(uint16_t nPort)
{
    CommsSettings settings;
    settings.nCommsMethod = CommsSettings::kUdp;
    settings.nTxPort = nPort;
    settings.nRxPort = 0;
    return settings;
}

// A page protocol talking to a bare socket, with its timer left to the test.
struct Fixture
{
    explicit Fixture(RC_Variant eVariant) : pages(eVariant, false)
    {
        EXPECT_TRUE(pages.initialise(UdpTo(peer.Port()), "Kestrum"));
        pages.m_pPageDefinitions = &list;
    }
    Bytes Sent() { return peer.Receive(); }

    UdpPeer peer;
    cPageList list;
    cRC_IO_Pages pages;
};

// The bytes given, followed by their checksum.
Bytes Framed(Bytes bytes)
{
    uint8_t nSum = 0;
    for (uint8_t b : bytes)
        nSum = static_cast<uint8_t>(nSum + b);
    bytes.push_back(nSum);
    return bytes;
}

std::vector<PageItem> Items(std::initializer_list<std::tuple<uint8_t, uint8_t, uint8_t, RC_DataType, PageItem::Access>> specs)
{
    std::vector<PageItem> items;
    for (const auto& [nSub, nIndex, nItem, eType, nAccess] : specs)
        items.push_back(PageItem::Make(nSub, nIndex, nItem, eType, nAccess, "label"));
    return items;
}
} // namespace

// Every send operation, byte for byte, in both frame variants.
TEST(PageProtocolSend, FramesAreByteExact)
{
    Fixture shortFrames(RC_Variant::ShortFrames);
    ASSERT_TRUE(shortFrames.pages.SendByte(5, 9, 3, 7));
    EXPECT_EQ(shortFrames.Sent(), (Bytes{0x10, 0x05, 0x00, 0x02, 0x03, 0x07, 0x21}));
    ASSERT_TRUE(shortFrames.pages.SendU16(5, 0, 3, 300));
    EXPECT_EQ(shortFrames.Sent(), Framed({0x10, 0x05, 0x00, 0x03, 0x03, 0x01, 0x2C}));
    ASSERT_TRUE(shortFrames.pages.SendFixedPair(1, 0, 2, 1.5f, 3, -1.0f));
    EXPECT_EQ(shortFrames.Sent(), Framed({0x10, 0x01, 0x00, 0x0A, 0x02, 0x00, 0x00, 0x18, 0x00, 0x03, 0xFF, 0xFF, 0xF0, 0x00}));
    ASSERT_TRUE(shortFrames.pages.SendString(2, 0, 4, "ok"));
    EXPECT_EQ(shortFrames.Sent(), Framed({0x10, 0x02, 0x00, 0x05, 0x04, 0x03, 'o', 'k', 0x00}));
    EXPECT_EQ(shortFrames.pages.m_nTxCount, 4);

    Fixture longFrames(RC_Variant::LongFrames);
    ASSERT_TRUE(longFrames.pages.SendQuery(5, 2, 3));
    EXPECT_EQ(longFrames.Sent(), (Bytes{0x99, 0x05, 0x02, 0x00, 0x01, 0x83, 0x24}));
    ASSERT_TRUE(longFrames.pages.SendS16Pair(4, 1, 1, -2, 2, 3));
    EXPECT_EQ(longFrames.Sent(), Framed({0x99, 0x04, 0x01, 0x00, 0x06, 0x01, 0xFF, 0xFE, 0x02, 0x00, 0x03}));
    ASSERT_TRUE(longFrames.pages.SendFloat(4, 1, 9, 1.0f));
    EXPECT_EQ(longFrames.Sent(), Framed({0x99, 0x04, 0x01, 0x00, 0x05, 0x09, 0x00, 0x00, 0x80, 0x3F}));
    ASSERT_TRUE(longFrames.pages.SendS32(4, 1, 9, -2));
    EXPECT_EQ(longFrames.Sent(), Framed({0x99, 0x04, 0x01, 0x00, 0x05, 0x09, 0xFF, 0xFF, 0xFF, 0xFE}));
    ASSERT_TRUE(longFrames.pages.SendS16(4, 1, 9, -2));
    EXPECT_EQ(longFrames.Sent(), Framed({0x99, 0x04, 0x01, 0x00, 0x03, 0x09, 0xFF, 0xFE}));
    ASSERT_TRUE(longFrames.pages.SendU32(4, 1, 9, 0x01020304));
    EXPECT_EQ(longFrames.Sent(), Framed({0x99, 0x04, 0x01, 0x00, 0x05, 0x09, 0x01, 0x02, 0x03, 0x04}));
    ASSERT_TRUE(longFrames.pages.EnableEoDataOutput(true));
    EXPECT_EQ(longFrames.Sent(), Framed({0x99, 0x06, 0x00, 0x00, 0x02, 0x28, 0x01}));
}

// A text that cannot fit a one-byte payload length is refused, not cut into a
// corrupt frame; an unknown frame variant sends nothing at all.
TEST(PageProtocolSend, RefusesWhatCannotBeFramed)
{
    LogCapture log;
    Fixture fixture(RC_Variant::ShortFrames);
    EXPECT_TRUE(fixture.pages.SendString(1, 0, 1, std::string(252, 'x')));
    EXPECT_EQ(fixture.Sent().size(), 260u);
    EXPECT_FALSE(fixture.pages.SendString(1, 0, 1, std::string(253, 'x')));
    EXPECT_TRUE(log.Contains("too long to send", DBG_WRN));

    UdpPeer peer;
    cRC_IO_Pages unknown(static_cast<RC_Variant>(2), false);
    EXPECT_FALSE(unknown.initialise(UdpTo(peer.Port()), "Kestrum"));
    EXPECT_FALSE(unknown.SendByte(1, 0, 1, 1));
    EXPECT_EQ(unknown.m_nTxCount, 0);
}

// A status frame updates the holders registered under its item and announces
// the subsystem; both holders of one address get the value.
TEST(PageProtocolReceive, StatusFrameFillsEveryHolderOfItsItem)
{
    LogCapture log;
    Fixture fixture(RC_Variant::ShortFrames);
    fixture.list.AppendPage(Items({{5, 0, 3, RC_DataType::U16, PageItem::kReadOnly}}), "A", false, -1);
    fixture.list.AppendPage(Items({{5, 0, 3, RC_DataType::U16, PageItem::kReadWrite}}), "B", false, -1);
    fixture.pages.RegisterItems();
    std::vector<int> updates;
    fixture.pages.m_sigSubsystemUpdated.connect([&](unsigned char nSub) { updates.push_back(nSub); });

    const Bytes status = {0x10, 0x05, 0x00, 0x03, 0x03, 0x00, 0x2A, 0x45};
    fixture.pages.handleMessage(status.data(), 8, 0);
    for (size_t nPage : {0u, 1u})
    {
        const auto& holder = static_cast<const RC_U16Value&>(*fixture.list.Items(nPage)[0].pValue);
        EXPECT_TRUE(holder.IsValid());
        EXPECT_EQ(holder.Get(), 42);
    }
    EXPECT_EQ(updates, std::vector<int>{5});
    EXPECT_EQ(fixture.pages.m_nRxCount, 1);
    EXPECT_TRUE(fixture.pages.m_bLinkActive);

    // Status byte with error code 2: reported, nothing decoded, still counted.
    fixture.list.Items(0)[0].pValue->ClearValid();
    const Bytes bad = {0x10, 0x05, 0x08, 0x03, 0x03, 0x00, 0x2B, 0x4D};
    fixture.pages.handleMessage(bad.data(), 8, 0);
    EXPECT_TRUE(log.Contains("cRC_IO_Pages::ProcessStatusByte (585): Bad status - Unknown item", DBG_WRN));
    EXPECT_FALSE(fixture.list.Items(0)[0].pValue->IsValid());
    EXPECT_EQ(fixture.pages.m_nRxCount, 2);
    EXPECT_EQ(updates.size(), 1u);

    // Transmission triggers 2 and 3 are refused.
    const Bytes trigger = {0x10, 0x05, 0x80, 0x03, 0x03, 0x00, 0x2B, 0xC6};
    fixture.pages.handleMessage(trigger.data(), 8, 0);
    EXPECT_TRUE(log.Contains("(624): Unknown Transmission Trigger - 2", DBG_WRN));

    // Four bytes hold no checksum after the header: refused before any decoding.
    fixture.pages.handleMessage(status.data(), 4, 0);
    EXPECT_TRUE(log.Contains("Frame of 4 bytes is too short", DBG_WRN));
    EXPECT_EQ(updates.size(), 1u);
}

// An unregistered item stops the decoding with its full key and announces
// nothing; a value running past the payload is not decoded; a frame too short
// for its own header is refused before any decoding.
TEST(PageProtocolReceive, UntrustedPayloadsAreStoppedSafely)
{
    LogCapture log;
    Fixture fixture(RC_Variant::LongFrames);
    fixture.list.AppendPage(Items({{5, 2, 1, RC_DataType::Byte, PageItem::kReadOnly},
                                   {5, 2, 4, RC_DataType::U32, PageItem::kReadOnly}}),
                            "A", false, -1);
    fixture.pages.RegisterItems();
    int nUpdates = 0;
    fixture.pages.m_sigSubsystemUpdated.connect([&](unsigned char) { ++nUpdates; });

    const Bytes unknown = {0x99, 0x05, 0x02, 0x00, 0x00, 0x0B, 0x01, 0x07, 0x09, 0x01, 0xB6};
    fixture.pages.handleMessage(unknown.data(), 11, 0);
    EXPECT_TRUE(log.Contains("unknown item: 328201", DBG_WRN)) << log.Dump();  // 5 << 16 | 2 << 8 | 9
    EXPECT_EQ(nUpdates, 0);
    EXPECT_EQ(static_cast<const RC_ByteValue&>(*fixture.list.Items(0)[0].pValue).Get(), 7);

    const Bytes truncated = {0x99, 0x05, 0x02, 0x00, 0x00, 0x0A, 0x04, 0x00, 0x01, 0x00};
    fixture.pages.handleMessage(truncated.data(), 10, 0);
    EXPECT_FALSE(fixture.list.Items(0)[1].pValue->IsValid());
    EXPECT_EQ(nUpdates, 1);

    const Bytes tooShortHeartbeat = {0x99, 0x00, 0x01, 0x00, 0x00, 0x08, 0x00, 0xA2};
    fixture.pages.handleMessage(tooShortHeartbeat.data(), 8, 0);
    EXPECT_TRUE(log.Contains("Heartbeat of 8 bytes is too short", DBG_WRN));
    EXPECT_EQ(fixture.pages.m_nMissedHB, 3);

    // No header and checksum: refused, and still counted as received.
    const int32_t nReceived = fixture.pages.m_nRxCount;
    fixture.pages.handleMessage(tooShortHeartbeat.data(), 6, 0);
    EXPECT_TRUE(log.Contains("Frame of 6 bytes is too short", DBG_WRN));
    EXPECT_EQ(fixture.pages.m_nRxCount, nReceived + 1);
}

// Registration: write-only items are decoded but never requested; a repeated
// registration adds no holder twice; periodic requests carry the mask.
TEST(PageProtocolPeriodic, RegistrationAndRequestBytes)
{
    Fixture fixture(RC_Variant::ShortFrames);
    fixture.list.AppendPage(Items({{5, 0, 3, RC_DataType::U16, PageItem::kReadOnly},
                                   {5, 0, 9, RC_DataType::Byte, PageItem::kReadWrite},
                                   {5, 0, 10, RC_DataType::Byte, PageItem::kWriteOnly}}),
                            "A", false, -1);
    fixture.pages.RegisterItems();
    fixture.pages.RegisterItems();
    EXPECT_EQ(fixture.pages.HoldersRegistered(5 << 16 | 3), 1u);
    EXPECT_EQ(fixture.pages.HoldersRegistered(5 << 16 | 10), 1u);
    const auto requests = fixture.pages.PeriodicRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].mask[0], 0x08);
    EXPECT_EQ(requests[0].mask[1], 0x02);

    // Twelve silent ticks send the requests again (rate 1 over UDP) and drop the link.
    fixture.pages.m_bLinkActive = true;
    for (int i = 0; i < 11; ++i)
        fixture.pages.MM_TimerHB_Handling();
    fixture.peer.SetTimeout(1);
    bool bTimedOut = false;
    fixture.peer.Receive(&bTimedOut);
    EXPECT_TRUE(bTimedOut) << "nothing is sent before the twelfth tick";
    fixture.peer.SetTimeout(10);
    fixture.pages.MM_TimerHB_Handling();
    Bytes expected = {0x10, 0x05, 0x00, 0x13, 0x70, 0x01, 0x71, 0x08, 0x02};
    expected.resize(4 + 19, 0x00);
    EXPECT_EQ(fixture.Sent(), Framed(expected));
    EXPECT_FALSE(fixture.pages.m_bLinkActive);
}

// Destroying the protocol object stops every periodic request: rate 0, empty mask.
TEST(PageProtocolPeriodic, DestructionStopsRequests)
{
    UdpPeer peer;
    cPageList list;
    list.AppendPage(Items({{7, 0, 1, RC_DataType::Byte, PageItem::kReadOnly}}), "A", false, -1);
    {
        cRC_IO_Pages pages(RC_Variant::ShortFrames, false);
        ASSERT_TRUE(pages.initialise(UdpTo(peer.Port()), "Kestrum"));
        pages.m_pPageDefinitions = &list;
        pages.RegisterItems();
    }
    Bytes expected = {0x10, 0x07, 0x00, 0x13, 0x70, 0x00, 0x71};
    expected.resize(4 + 19, 0x00);
    EXPECT_EQ(peer.Receive(), Framed(expected));
}

// With heartbeats keeping the link up, a group whose periodic status does not
// come is asked for again after 1.2 s, then 2.4 s later, alone: the group that
// answers is not asked again, and the heartbeat goes on as before.
TEST(PageProtocolPeriodic, SilentGroupIsAskedAgainWhileHeartbeatsKeepTheLinkUp)
{
    Fixture fixture(RC_Variant::LongFrames);
    fixture.list.AppendPage(Items({{5, 0, 3, RC_DataType::U16, PageItem::kReadOnly},
                                   {6, 1, 2, RC_DataType::Byte, PageItem::kReadOnly}}),
                            "A", false, -1);
    fixture.pages.RegisterItems();
    fixture.pages.m_bUseHeartbeat = true;
    auto deliver = [&](uint8_t nSubSystem, uint8_t nIndex, Bytes payload) {
        RC_Frame frame;
        ASSERT_TRUE(frame.BuildStatus(RC_Variant::LongFrames, nSubSystem, nIndex, 0x40, payload.data(), payload.size()));
        fixture.pages.handleMessage(frame.Data(), static_cast<int32_t>(frame.Size()), 0);
    };
    // What the console sent since the last look: periodic requests (item 0x70
    // first) by group, and its heartbeats.
    std::map<int, int> requests;
    int nHeartbeats = 0;
    auto collect = [&] {
        while (std::optional<Bytes> sent = fixture.peer.ReceiveWithin(std::chrono::milliseconds(500)))
        {
            if (sent->size() > 5 && (*sent)[5] == 0x70)
                ++requests[(*sent)[1] << 8 | (*sent)[2]];
            else if (sent->size() > 2 && (*sent)[1] == 0 && (*sent)[2] == 1)
                ++nHeartbeats;
        }
    };

    deliver(0, 1, {0, 0});
    fixture.pages.MM_TimerHB_Handling();
    ASSERT_TRUE(fixture.pages.m_bLinkActive);
    collect();
    EXPECT_EQ(requests, (std::map<int, int>{{0x500, 1}, {0x601, 1}})) << "the link came up: every group asked for";
    requests.clear();
    nHeartbeats = 0;
    // Four seconds: 6/1 answers every tick, 5/0 never; heartbeats each second.
    for (int nTick = 1; nTick <= 40; ++nTick)
    {
        deliver(6, 1, {2, 9});
        if (nTick % 10 == 0)
            deliver(0, 1, {0, 0});
        fixture.pages.MM_TimerHB_Handling();
    }
    collect();
    EXPECT_EQ(requests, (std::map<int, int>{{0x500, 2}})) << "at 1.2 s and 3.6 s, only the silent group";
    EXPECT_EQ(nHeartbeats, 4);
    EXPECT_TRUE(fixture.pages.m_bLinkActive);
    EXPECT_TRUE(fixture.pages.IsPeriodicSilent(5, 0));
    EXPECT_FALSE(fixture.pages.IsPeriodicSilent(6, 1));

    deliver(5, 0, {3, 0, 1});
    EXPECT_FALSE(fixture.pages.IsPeriodicSilent(5, 0));
}

// The heartbeat: the link starts inactive without a warning; a heartbeat
// reporting state 0 makes it active at the next tick; three silent seconds
// make it inactive again with one warning.
TEST(PageProtocolHeartbeat, LinkFollowsTheRemoteHeartbeat)
{
    LogCapture log;
    Fixture fixture(RC_Variant::LongFrames);
    fixture.pages.m_bUseHeartbeat = true;
    for (int i = 0; i < 30; ++i)
        fixture.pages.MM_TimerHB_Handling();
    EXPECT_FALSE(log.Contains("Now missed"));
    // Each second the console's own heartbeat goes out: missed 3, inactive.
    EXPECT_EQ(fixture.Sent(), Framed({0x99, 0x00, 0x01, 0x00, 0x02, 0x03, 0x01}));
    EXPECT_EQ(fixture.pages.GetLinkStatusText(), "Inactive - 3");

    const Bytes heartbeat = {0x99, 0x00, 0x01, 0x00, 0x00, 0x09, 0x02, 0x00, 0xA5};
    fixture.pages.handleMessage(heartbeat.data(), 9, 0);
    EXPECT_TRUE(log.Contains("(569): Received VMS HB reporting 2 missed messages", DBG_WRN));
    fixture.pages.m_bLinkActive = false;
    fixture.pages.MM_TimerHB_Handling();
    EXPECT_TRUE(log.Contains("(462): Setting interface state to 0", DBG_INF));
    EXPECT_TRUE(log.Contains("(468): HB interface state is now active, resending periodic requests", DBG_INF));
    EXPECT_TRUE(fixture.pages.m_bLinkActive);
    EXPECT_EQ(fixture.pages.GetLinkStatusText(), "Active - 0");

    for (int i = 0; i < 40; ++i)
        fixture.pages.MM_TimerHB_Handling();
    EXPECT_EQ(log.Count("Now missed 3 HB messages from the VMS, setting link inactive", DBG_WRN), 1);
    EXPECT_FALSE(fixture.pages.m_bLinkActive);
    EXPECT_EQ(fixture.pages.GetLinkStatusText(), "Inactive - 3");

    // Status frames still arriving do not bring the link back: only heartbeats do.
    const Bytes status = {0x99, 0x05, 0x02, 0x00, 0x00, 0x07, 0xA5};
    fixture.pages.handleMessage(status.data(), 7, 0);
    EXPECT_FALSE(fixture.pages.m_bLinkActive);
}
