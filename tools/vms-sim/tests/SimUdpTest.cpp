// The simulator in-process over real UDP sockets on 127.0.0.1: what it answers,
// byte for byte, and what it sends of its own accord.
#include "RC_Codec.h"
#include "SimTestSupport.h"
#include "WaitFor.h"
#include "cSimEoStream.h"

#include <gtest/gtest.h>
#include <thread>

using namespace simtest;

namespace
{
bool IsHeartbeat(const Bytes& frame)
{
    return frame.size() >= 3 && frame[0] == 0x99 && frame[1] == 0 && frame[2] == 1;
}

// Mask bytes with the given items set.
Bytes MaskOf(std::initializer_list<int> items)
{
    Bytes mask(16, 0);
    for (int nItem : items)
        mask[nItem / 8] |= static_cast<uint8_t>(1 << (nItem % 8));
    return mask;
}

Bytes PeriodicRequest(int32_t nVariant, uint8_t nRate, const Bytes& mask)
{
    Bytes frame = nVariant == 0 ? Bytes{0x10, 0x05, 0x00, 0x13} : Bytes{0x99, 0x05, 0x02, 0x00, 0x13};
    frame.insert(frame.end(), {0x70, nRate, 0x71});
    frame.insert(frame.end(), mask.begin(), mask.end());
    return WithChecksum(frame);
}
} // namespace

// Sets answer with the new value and queries with the held one, for every
// type the console sends; the answer to a set is the command's own bytes with
// the status byte in place.
TEST(SimUdp, ShortFrameSetsAndQueriesAreAnsweredByteForByte)
{
    SimWithPeers sim(0);
    ASSERT_TRUE(sim.Start());

    const std::vector<Bytes> sets = {
        WithChecksum({0x10, 0x05, 0x00, 0x03, 0x03, 0x01, 0x2C}),                          // U16 300
        WithChecksum({0x10, 0x05, 0x00, 0x03, 0x04, 0xFF, 0xFE}),                          // S16 -2
        WithChecksum({0x10, 0x05, 0x00, 0x05, 0x05, 0x00, 0x01, 0x00, 0x02}),              // U32 65538
        WithChecksum({0x10, 0x05, 0x00, 0x05, 0x08, 0x00, 0x00, 0x80, 0x3F}),              // Float 1.0
        WithChecksum({0x10, 0x05, 0x00, 0x06, 0x0A, 0x04, 'a', 'b', 'c', 0x00}),           // String "abc"
        WithChecksum({0x10, 0x05, 0x00, 0x02, 0x0B, 0x07}),                                // Byte 7
        WithChecksum({0x10, 0x05, 0x00, 0x0A, 0x09, 0x00, 0x00, 0x18, 0x00,                // Fixed 1.5 and
                      0x07, 0xFF, 0xFF, 0xFF, 0xFE}),                                      // S32 -2 in one
    };
    for (const Bytes& command : sets)
    {
        std::optional<Bytes> answer = sim.Exchange(command);
        ASSERT_TRUE(answer);
        EXPECT_EQ(*answer, command);
    }
    EXPECT_EQ(sim.Exchange(WithChecksum({0x10, 0x05, 0x00, 0x01, 0x83})),
              WithChecksum({0x10, 0x05, 0x00, 0x03, 0x03, 0x01, 0x2C}));
    EXPECT_EQ(sim.Exchange(WithChecksum({0x10, 0x05, 0x00, 0x02, 0x8A, 0x8B})),
              WithChecksum({0x10, 0x05, 0x00, 0x08, 0x0A, 0x04, 'a', 'b', 'c', 0x00, 0x0B, 0x07}));
    // Index has no place in short frames: the same item under another Index is the same item.
    EXPECT_EQ(sim.Sim().Items().Text(cSimItemStore::Key(5, 0, 3)), "300");
}

TEST(SimUdp, LongFrameSetsAndQueriesAreAnsweredByteForByte)
{
    SimWithPeers sim(1);
    ASSERT_TRUE(sim.Start());

    // Commands carry a one-byte payload length, answers the whole frame's length in two.
    EXPECT_EQ(sim.Exchange(WithChecksum({0x99, 0x05, 0x02, 0x00, 0x03, 0x03, 0x01, 0x2C})),
              WithChecksum({0x99, 0x05, 0x02, 0x00, 0x00, 0x0A, 0x03, 0x01, 0x2C}));
    EXPECT_EQ(sim.Exchange(WithChecksum({0x99, 0x05, 0x02, 0x00, 0x05, 0x08, 0x00, 0x00, 0x80, 0x3F})),
              WithChecksum({0x99, 0x05, 0x02, 0x00, 0x00, 0x0C, 0x08, 0x00, 0x00, 0x80, 0x3F}));
    EXPECT_EQ(sim.Exchange(WithChecksum({0x99, 0x05, 0x02, 0x00, 0x06, 0x0A, 0x04, 'x', 'y', 'z', 0x00})),
              WithChecksum({0x99, 0x05, 0x02, 0x00, 0x00, 0x0D, 0x0A, 0x04, 'x', 'y', 'z', 0x00}));
    EXPECT_EQ(sim.Exchange(WithChecksum({0x99, 0x05, 0x02, 0x00, 0x03, 0x83, 0x88, 0x8A})),
              WithChecksum({0x99, 0x05, 0x02, 0x00, 0x00, 0x15, 0x03, 0x01, 0x2C, 0x08, 0x00, 0x00, 0x80, 0x3F,
                            0x0A, 0x04, 'x', 'y', 'z', 0x00}));
    // The item lives at Index 2 only.
    EXPECT_EQ(sim.Exchange(WithChecksum({0x99, 0x05, 0x00, 0x00, 0x01, 0x83})),
              WithChecksum({0x99, 0x05, 0x00, 0x08, 0x00, 0x08, 0x83}));
}

// Refusals carry their error code in bits 2 to 5 and the item byte; entries
// before a refusal are answered first. A refused read-only set lets the
// entries after it through; an unknown item or a value cut short ends the
// command, since where the next entry starts cannot be known.
TEST(SimUdp, RefusedCommandsCarryTheirErrorCode)
{
    SimWithPeers sim(0);
    ASSERT_TRUE(sim.Start());
    EXPECT_EQ(sim.Exchange(WithChecksum({0x10, 0x05, 0x00, 0x01, 0xE3})), WithChecksum({0x10, 0x05, 0x08, 0x01, 0xE3}));

    const std::vector<std::pair<Bytes, std::vector<Bytes>>> cases = {
        {{0x0B, 0x01, 0x63, 0x05, 0x0B, 0x02}, {{0x00, 0x02, 0x0B, 0x01}, {0x08, 0x01, 0x63}}},
        {{0x0C, 0x09, 0x0B, 0x04}, {{0x14, 0x01, 0x0C}, {0x00, 0x02, 0x0B, 0x04}}},
        {{0x0B, 0x06, 0x05, 0x00, 0x01}, {{0x00, 0x02, 0x0B, 0x06}, {0x18, 0x01, 0x05}}},
        {{0x70, 0x01, 0x71, 0x00}, {{0x18, 0x01, 0x71}}},
    };
    for (const auto& [payload, answers] : cases)
    {
        Bytes command = {0x10, 0x05, 0x00, static_cast<uint8_t>(payload.size())};
        command.insert(command.end(), payload.begin(), payload.end());
        sim.Send(WithChecksum(command));
        for (const Bytes& answer : answers)
        {
            Bytes expected = {0x10, 0x05};
            expected.insert(expected.end(), answer.begin(), answer.end());
            EXPECT_EQ(sim.Receive(), WithChecksum(expected));
        }
    }
    EXPECT_EQ(sim.Sim().Items().Text(cSimItemStore::Key(5, 0, 11)), "6");

    Bytes spoilt = WithChecksum({0x10, 0x05, 0x00, 0x02, 0x0B, 0x09});
    ++spoilt.back();
    EXPECT_EQ(sim.Exchange(spoilt), WithChecksum({0x10, 0x05, 0x04, 0x00}));
    EXPECT_EQ(sim.Sim().Items().Text(cSimItemStore::Key(5, 0, 11)), "6");
}

// A periodic request brings the masked items every 100 ms at rate 1, marked
// with trigger 1; the console's stop (rate 0, empty mask) ends them.
TEST(SimUdp, PeriodicRequestsSendTheMaskedItemsUntilStopped)
{
    SimWithPeers sim(1);
    ASSERT_TRUE(sim.Start());
    ASSERT_TRUE(sim.Exchange(WithChecksum({0x99, 0x05, 0x02, 0x00, 0x03, 0x03, 0x01, 0x2C})));

    const Clock::time_point start = Clock::now();
    sim.Send(PeriodicRequest(1, 1, MaskOf({3, 12, 99})));
    std::vector<Bytes> frames;
    while (frames.size() < 5)
    {
        std::optional<Bytes> frame = sim.ReceiveStatus();
        ASSERT_TRUE(frame);
        frames.push_back(*frame);
    }
    const double dTaken = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_GE(dTaken, 0.3);  // five frames take at least four periods
    uint8_t nPreviousRamp = 0;
    for (size_t i = 0; i < frames.size(); ++i)
    {
        const Bytes& frame = frames[i];
        ASSERT_EQ(frame.size(), 12u);
        EXPECT_TRUE(ChecksumGood(frame));
        const Bytes header(frame.begin(), frame.begin() + 6);
        EXPECT_EQ(header, (Bytes{0x99, 0x05, 0x02, 0x40, 0x00, 0x0C}));
        EXPECT_EQ(Bytes(frame.begin() + 6, frame.begin() + 10), (Bytes{0x03, 0x01, 0x2C, 0x0C}));
        if (i > 0)
        {
            EXPECT_GE(frame[10], nPreviousRamp);  // the read-only ramp only climbs (for 25 s)
        }
        nPreviousRamp = frame[10];
    }

    sim.Send(PeriodicRequest(1, 0, Bytes(16, 0)));
    EXPECT_TRUE(sim.WaitForQuiet(std::chrono::milliseconds(1000), 5));
}

// Variant 1: a heartbeat every second to 0/1 with the periods missed and the
// interface state; active while the console's heartbeats arrive, missed counts
// rising to 3 (inactive) once they stop.
TEST(SimUdp, HeartbeatFollowsTheConsolesHeartbeats)
{
    SimWithPeers sim(1);
    ASSERT_TRUE(sim.Start());
    auto nextHeartbeat = [&sim]() -> Bytes {
        for (int i = 0; i < 50; ++i)
        {
            std::optional<Bytes> frame = sim.Receive();
            if (!frame)
                break;
            if (IsHeartbeat(*frame))
                return *frame;
        }
        return {};
    };
    EXPECT_EQ(nextHeartbeat(), WithChecksum({0x99, 0x00, 0x01, 0x00, 0x00, 0x09, 0x03, 0x01}));

    // The console beats twice a second here; our report turns active.
    const Bytes consoleBeat = WithChecksum({0x99, 0x00, 0x01, 0x00, 0x02, 0x03, 0x01});
    const Bytes active = WithChecksum({0x99, 0x00, 0x01, 0x00, 0x00, 0x09, 0x00, 0x00});
    bool bActive = false;
    for (int i = 0; i < 20 && !bActive; ++i)
    {
        sim.Send(consoleBeat);
        std::optional<Bytes> frame = sim.Receive(std::chrono::milliseconds(500));
        bActive = frame && *frame == active;
    }
    ASSERT_TRUE(bActive);

    std::vector<uint8_t> missed;
    while (missed.empty() || missed.back() < 3)
    {
        const Bytes beat = nextHeartbeat();
        ASSERT_EQ(beat.size(), 9u);
        ASSERT_TRUE(ChecksumGood(beat));
        missed.push_back(beat[6]);
        EXPECT_EQ(beat[7], beat[6] == 3 ? 1 : 0);
        ASSERT_LT(missed.size(), 10u);
    }
    EXPECT_TRUE(std::is_sorted(missed.begin(), missed.end()));
    // Counted up period by period; a heartbeat of ours that a loaded machine
    // sends late may find two periods gone, so one step may be skipped.
    EXPECT_TRUE(std::find(missed.begin(), missed.end(), 1) != missed.end() ||
                std::find(missed.begin(), missed.end(), 2) != missed.end());
}

// A console set without the heartbeat (bUseVMS_HeartBeat false) gets none:
// over 15 periodic frames (1.5 s of ticks, where the heartbeat would have
// come twice) not one.
TEST(SimUdp, HeartbeatOffSendsNone)
{
    SimWithPeers sim(1);
    sim.Options().m_bHeartbeat = false;
    ASSERT_TRUE(sim.Start());
    sim.Send(PeriodicRequest(1, 1, MaskOf({12})));
    int nPeriodic = 0;
    int nHeartbeats = 0;
    while (nPeriodic < 15)
    {
        std::optional<Bytes> frame = sim.Receive();
        ASSERT_TRUE(frame) << nPeriodic << " periodic frames";
        if (IsHeartbeat(*frame))
            ++nHeartbeats;
        else
            ++nPeriodic;
    }
    EXPECT_EQ(nHeartbeats, 0);
    EXPECT_FALSE(sim.SawEvent("interface"));
}

// Item 0x28 at the variant's address starts and stops the EO stream; its
// track and tag reports decode to the targets of their timestamp.
TEST(SimUdp, EoSwitchStartsAndStopsTheTrackStream)
{
    for (const int32_t nVariant : {0, 1})
    {
        SimWithPeers sim(nVariant);
        sim.Options().m_nEoFormat = nVariant == 0 ? 1 : 33;
        sim.Options().m_nEoTargets = 3;
        sim.Options().m_nEoTags = 2;
        ASSERT_TRUE(sim.Start());
        const Bytes on = nVariant == 0 ? WithChecksum({0x10, 0x00, 0x00, 0x02, 0x28, 0x01})
                                       : WithChecksum({0x99, 0x06, 0x00, 0x00, 0x02, 0x28, 0x01});
        const Bytes off = nVariant == 0 ? WithChecksum({0x10, 0x00, 0x00, 0x02, 0x28, 0x00})
                                        : WithChecksum({0x99, 0x06, 0x00, 0x00, 0x02, 0x28, 0x00});
        sim.Send(on);
        ASSERT_TRUE(WaitFor([&sim] { return sim.Sim().EoStreaming(); }));

        const size_t nRecord = nVariant == 0 ? 32 : 50;
        bool bTrack = false;
        bool bTag = false;
        for (int i = 0; i < 20 && !(bTrack && bTag); ++i)
        {
            std::optional<Bytes> frame = sim.EoConsole().ReceiveWithin(std::chrono::seconds(10));
            ASSERT_TRUE(frame);
            ASSERT_TRUE(ChecksumGood(*frame));
            const Bytes& f = *frame;
            ASSERT_EQ(f[0], 0x77);
            const size_t nTracks = f[1] == 7 ? 3 : 2;
            (f[1] == 7 ? bTrack : bTag) = true;
            ASSERT_EQ(f.size(), 15 + nTracks * nRecord);
            EXPECT_EQ(f[2] << 8 | f[3], static_cast<int>(f.size()));
            EXPECT_EQ(f[4], nVariant == 0 ? 1 : 33);
            EXPECT_EQ(f[13], nTracks);
            // The first record holds the first target at the report's time.
            uint64_t nTimestamp = 0;
            uint32_t nId = 0;
            int32_t nX = 0;
            ASSERT_TRUE(RC_Codec::ReadU64(f.data(), 5, f.size(), nTimestamp));
            ASSERT_TRUE(RC_Codec::ReadU32(f.data(), 14, f.size(), nId));
            ASSERT_TRUE(RC_Codec::ReadFixed(f.data(), 18, f.size(), nX));
            EXPECT_EQ(nId, 1u);
            EXPECT_EQ(RC_Codec::FixedToInt(nX), static_cast<int32_t>(cSimEoStream::TargetAt(0, nTimestamp / 1e6).dX));
        }
        EXPECT_TRUE(bTrack && bTag);

        sim.Send(off);
        ASSERT_TRUE(WaitFor([&sim] { return !sim.Sim().EoStreaming(); }));
        int nLate = 0;
        while (sim.EoConsole().ReceiveWithin(std::chrono::milliseconds(300)) && nLate < 10)
            ++nLate;
        EXPECT_LT(nLate, 10);
        EXPECT_FALSE(sim.EoConsole().ReceiveWithin(std::chrono::milliseconds(500)));
    }
}

// Every Nth frame of the link has a wrong checksum; every Nth status frame a
// bad status code or a leading unknown item; short frames lose their last
// payload byte with length and checksum mended.
TEST(SimUdp, FaultsSpoilTheFramesTheyAreAskedTo)
{
    struct Case
    {
        const char* szName;
        void (*fnSet)(cSimOptions&);
        void (*fnCheck)(size_t nFrame, const Bytes& frame, const Bytes& normal);
    };
    // Periodic frames of two read-write items: the same bytes every time.
    const Bytes normal = WithChecksum({0x10, 0x05, 0x40, 0x05, 0x03, 0x00, 0x00, 0x0B, 0x00});
    const Case cases[] = {
        {"bad checksum every 3", [](cSimOptions& o) { o.m_nBadChecksumEvery = 3; },
         [](size_t n, const Bytes& f, const Bytes& normal) {
             EXPECT_EQ(ChecksumGood(f), n % 3 != 2) << n;
             EXPECT_EQ(Bytes(f.begin(), f.end() - 1), Bytes(normal.begin(), normal.end() - 1));
         }},
        {"bad status 4 every 2", [](cSimOptions& o) { o.m_nBadStatus = 4, o.m_nBadStatusEvery = 2; },
         [](size_t n, const Bytes& f, const Bytes&) {
             EXPECT_TRUE(ChecksumGood(f));
             EXPECT_EQ(f[2], n % 2 == 1 ? 0x50 : 0x40) << n;
         }},
        {"unknown item every 2", [](cSimOptions& o) { o.m_nUnknownItemEvery = 2; },
         [](size_t n, const Bytes& f, const Bytes& normal) {
             EXPECT_TRUE(ChecksumGood(f));
             const Bytes led = WithChecksum({0x10, 0x05, 0x40, 0x07, 0x7F, 0x00, 0x03, 0x00, 0x00, 0x0B, 0x00});
             EXPECT_EQ(f, n % 2 == 0 ? normal : led) << n;
         }},
        {"short frames", [](cSimOptions& o) { o.m_bShortFrames = true; },
         [](size_t, const Bytes& f, const Bytes&) {
             EXPECT_EQ(f, WithChecksum({0x10, 0x05, 0x40, 0x04, 0x03, 0x00, 0x00, 0x0B}));
         }},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.szName);
        SimWithPeers sim(0);
        c.fnSet(sim.Options());
        ASSERT_TRUE(sim.Start());
        sim.Send(PeriodicRequest(0, 1, MaskOf({3, 11})));
        for (size_t n = 0; n < 6; ++n)
        {
            std::optional<Bytes> frame = sim.Receive();
            ASSERT_TRUE(frame);
            c.fnCheck(n, *frame, normal);
        }
    }
}

// A group too big for one short frame arrives in several, each item once.
TEST(SimUdp, LargeGroupsAreSplitAcrossFrames)
{
    std::string sPages = "<PageDefinitions><Page>";
    for (int nItem = 20; nItem < 80; ++nItem)
        sPages += "<Item SubSystem='7' Item='" + std::to_string(nItem) + "' Access='RO' Label='x' Type='U32'/>";
    SimWithPeers sim(0, sPages + "</Page></PageDefinitions>");
    ASSERT_TRUE(sim.Start());
    EXPECT_EQ(sim.Sim().Flood(7, 0, 1, 0.0), 2u);
    std::vector<int> items;
    for (int nFrame = 0; nFrame < 2; ++nFrame)
    {
        std::optional<Bytes> frame = sim.Receive();
        ASSERT_TRUE(frame && ChecksumGood(*frame));
        EXPECT_EQ((*frame)[3] + 5u, frame->size());
        EXPECT_LE((*frame)[3], 253);  // two bytes spare for the unknown-item fault
        for (size_t i = 4; i + 1 < frame->size(); i += 5)
            items.push_back((*frame)[i]);
    }
    ASSERT_EQ(items.size(), 60u);
    for (int i = 0; i < 60; ++i)
        EXPECT_EQ(items[i], 20 + i);
}

// Silence stops every frame for its window, heartbeats included; held-back
// heartbeats stop only those. Times are the simulator's own, since its start.
TEST(SimUdp, SilenceAndHeldHeartbeatsLeaveAGap)
{
    for (const bool bSilence : {true, false})
    {
        SCOPED_TRACE(bSilence ? "silence" : "no heartbeat");
        SimWithPeers sim(1);
        if (bSilence)
            sim.Options().m_dSilenceAfter = 1.5, sim.Options().m_dSilenceFor = 2.0;
        else
            sim.Options().m_dNoHeartbeatAfter = 1.5, sim.Options().m_dNoHeartbeatFor = 2.0;
        ASSERT_TRUE(sim.Start());
        sim.Send(PeriodicRequest(1, 1, MaskOf({3})));

        int nInside = 0;
        int nHeartbeatsInside = 0;
        bool bAfter = false;
        bool bHeartbeatAfter = false;
        while (!bAfter || !bHeartbeatAfter)
        {
            std::optional<Bytes> frame = sim.Receive();
            ASSERT_TRUE(frame);
            const double dAt = sim.Sim().Seconds();
            // Frames sent just before the window may still be on their way.
            const bool bInside = dAt > 2.0 && dAt < 3.5;
            if (IsHeartbeat(*frame))
            {
                nHeartbeatsInside += bInside ? 1 : 0;
                bHeartbeatAfter = bHeartbeatAfter || dAt >= 3.5;
            }
            else
            {
                nInside += bInside ? 1 : 0;
            }
            bAfter = bAfter || dAt >= 3.5;
            ASSERT_LT(dAt, 30.0);
        }
        EXPECT_EQ(nHeartbeatsInside, 0);
        if (bSilence)
            EXPECT_EQ(nInside, 0);
        else
            EXPECT_GT(nInside, 5);
    }
}

// With --flood the first periodic request sets off a flood of its group,
// every frame counted out (the benchmark's path).
TEST(SimUdp, FloodSendsTheGroupAsOftenAsAsked)
{
    SimWithPeers sim(0);
    sim.Options().m_nFlood = 40;
    sim.Options().m_dFloodRate = 400.0;
    ASSERT_TRUE(sim.Start());
    sim.Send(PeriodicRequest(0, 50, MaskOf({3, 11})));
    int nReceived = 0;
    while (nReceived < 40 && sim.Receive(std::chrono::seconds(5)))
        ++nReceived;
    EXPECT_EQ(nReceived, 40);  // and one more as the group's periodic sending starts
    ASSERT_TRUE(WaitFor([&sim] {
        const std::vector<std::string> events = sim.Events();
        return !events.empty() && events.back().rfind("flood 5/0: ", 0) == 0;
    }));
    EXPECT_EQ(sim.Events().back().substr(0, 21), "flood 5/0: 40 frames ");
}
