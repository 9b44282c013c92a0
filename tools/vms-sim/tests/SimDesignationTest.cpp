// A point the console designates becomes a track, as a tracker would take
// it: on the nearest object within the acquisition window (followed wherever
// the picture shows it, coasting while it is out of the picture), or on the
// point itself when nothing is there. Read back from the EO track reports and
// the landing's target items, in-process on the simulator's own classes with
// the time stepped as the 100 ms tick steps it, and once over the link.
#include "RC_Codec.h"
#include "SimTestSupport.h"
#include "WaitFor.h"
#include "cLandingItemList.h"
#include "cSimDesignation.h"
#include "cSimItemStore.h"
#include "cSimWorld.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <optional>
#include <regex>

using namespace simtest;
using namespace std::chrono_literals;

namespace
{
constexpr double kMilliradiansPerDegree = 1000.0 / 57.29577951308232;
constexpr uint32_t kFirstId = cSimDesignation::kFirstTrackId;

uint32_t Key(const cLandingItemList::Address& address)
{
    return cSimItemStore::Key(address.nSubSystem, address.nIndex, address.nItem);
}

Bytes U16Bytes(uint16_t nValue)
{
    return {uint8_t(nValue >> 8), uint8_t(nValue)};
}

Bytes FixedBytes(double dValue)
{
    const auto n = static_cast<uint32_t>(RC_Codec::FloatToFixed(dValue));
    return {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)};
}

// One record of a format 0 track report.
struct Record
{
    uint32_t nId;
    double dX, dY, dSizeX, dSizeY;
    uint8_t nStatus;
};

std::vector<Record> Records(const Bytes& frame)
{
    std::vector<Record> records;
    auto fixed = [&frame](size_t nAt) {
        int32_t nRaw = 0;
        EXPECT_TRUE(RC_Codec::ReadFixed(frame.data(), nAt, frame.size(), nRaw));
        return static_cast<double>(RC_Codec::FixedToFloat(nRaw));
    };
    if (frame.size() < 15 || frame[4] != 0)
        return records;
    for (size_t n = 0; n < frame[13]; ++n)
    {
        const size_t r = 14 + 28 * n;
        uint32_t nId = 0;
        EXPECT_TRUE(RC_Codec::ReadU32(frame.data(), r, frame.size(), nId));
        records.push_back({nId, fixed(r + 4), fixed(r + 8), fixed(r + 12), fixed(r + 16), frame[r + 20]});
    }
    return records;
}

bool HasId(const std::vector<Record>& records, uint32_t nId)
{
    return std::any_of(records.begin(), records.end(), [nId](const Record& record) { return record.nId == nId; });
}

// The tracker of a simulator, four targets, its clock the test's.
struct Tracker
{
    explicit Tracker(RC_Variant eVariant = RC_Variant::LongFrames) : eVariant(eVariant)
    {
        log.SetObserver([this](const std::string& sEvent) { events.push_back(sEvent); });
        items.Add(5, 0, 70, RC_DataType::U32, PageItem::kReadOnly, "Track ID");
        landing.Install(items, &designation);
        designation.Install(items, {5, 0, 20}, {5, 0, 21});
    }
    ~Tracker() { log.SetObserver(nullptr); }

    // The 100 ms tick at dSeconds.
    void Tick(double dSeconds)
    {
        dNow = dSeconds;
        landing.Advance(dSeconds);
    }
    void Set(uint32_t nKey, const Bytes& value)
    {
        size_t nConsumed = 0;
        ASSERT_EQ(items.Set(nKey, value.data(), 0, value.size(), nConsumed), cSimItemStore::eSet::Set);
    }
    // As the console's designation frame carries the point: X, then Y.
    void Designate(uint16_t nX, uint16_t nY)
    {
        Set(cSimItemStore::Key(5, 0, 20), U16Bytes(nX));
        Set(cSimItemStore::Key(5, 0, 21), U16Bytes(nY));
    }
    void DemandAz(double dDeg) { Set(Key(cLandingItemList::kVmsAzDeckPos), FixedBytes(dDeg * kMilliradiansPerDegree)); }
    // The track report the EO timer would send now.
    std::vector<Record> Report()
    {
        const auto nTimestamp = static_cast<uint64_t>(dNow * 1e6);
        const double dAt = nTimestamp / 1e6;
        return Records(eo.BuildFrame(cSimEoStream::kTrackReport, nTimestamp,
                                     designation.Report(world.SeenAt(cSimEoStream::kTrackReport, dAt).targets, dAt)));
    }
    std::optional<cSimEoStream::Target> Object(int32_t nIndex) const
    {
        for (const cSimEoStream::Target& target : world.SeenAt(cSimEoStream::kTrackReport, dNow).targets)
            if (target.nIndex == nIndex)
                return target;
        return std::nullopt;
    }
    std::string Item(const cLandingItemList::Address& address) const { return items.Text(Key(address)); }
    double Real(const cLandingItemList::Address& address) const { return std::stod(Item(address)); }
    bool Logged(const std::string& sEvent) const
    {
        return std::find(events.begin(), events.end(), sEvent) != events.end();
    }

    const RC_Variant eVariant;
    double dNow = 0.0;
    std::vector<std::string> events;
    cSimEventLog log{true};
    cSimItemStore items;
    cSimLanding landing{eVariant, log};
    cSimEoStream eo{0, 4, 1};
    cSimWorld world{eo, landing, 640, 480, 640, 480};
    cSimDesignation designation{eVariant, world, log, [this] { return dNow; }};
};

const cLandingItemList::Common& kVms = cLandingItemList::kVms;
constexpr cLandingItemList::Address kTrackId{5, 0, 70};
} // namespace

// The object nearest the point is acquired, then tracked: the track comes
// first in the reports in the object's place and follows it as it moves and
// as the platform turns, and the landing's target items follow the track. A
// new designation replaces the track; Manual cancels it, and the landing's
// cycle and the object's own track come back.
TEST(SimDesignation, ObjectInTheWindowIsTrackedWhereverThePictureShowsIt)
{
    Tracker tracker;
    tracker.Tick(10.0);
    const std::optional<cSimEoStream::Target> object = tracker.Object(2);
    ASSERT_TRUE(object);
    const auto nX = static_cast<uint16_t>(object->dX + 6.0);
    const auto nY = static_cast<uint16_t>(object->dY - 5.0);
    tracker.Designate(nX, nY);
    EXPECT_TRUE(tracker.Logged("designation at " + std::to_string(nX) + ", " + std::to_string(nY) +
                               ": object 3 (track 100001)"));

    for (int n = 0; n < 30; ++n)
    {
        const double dSeconds = 10.0 + 0.1 * n;
        if (n == 15)
            tracker.DemandAz(3.0);  // 48 pixels, reached within 0.2 s
        tracker.Tick(dSeconds);
        SCOPED_TRACE(dSeconds);
        const std::vector<Record> report = tracker.Report();
        const std::optional<cSimEoStream::Target> now = tracker.Object(2);
        ASSERT_TRUE(now);
        ASSERT_EQ(report.size(), 4u);  // one box per object
        EXPECT_EQ(report[0].nId, kFirstId);
        EXPECT_FALSE(HasId(report, 3));
        const uint8_t nStatus = dSeconds - 10.0 < cSimDesignation::kAcquireSeconds ? 0 : 1;
        EXPECT_EQ(report[0].nStatus, nStatus);
        EXPECT_NEAR(report[0].dX, now->dX, 0.01);
        EXPECT_NEAR(report[0].dY, now->dY, 0.01);
        EXPECT_NEAR(report[0].dSizeX, now->dSizeX, 0.01);
        EXPECT_EQ(tracker.Item(kVms.targetMode), "1");
        EXPECT_EQ(tracker.Item(kVms.trackingMode), std::to_string(nStatus));
        EXPECT_NEAR(tracker.Real(kVms.positionX), now->dX, 0.01);
        EXPECT_NEAR(tracker.Real(kVms.positionY), now->dY, 0.01);
        EXPECT_EQ(tracker.Item(kTrackId), "100001");
    }
    // It was followed across the turn, not left where the home picture has it.
    EXPECT_NEAR(tracker.Object(2)->dX, cSimEoStream::TargetAt(2, tracker.dNow).dX - 48.0, 0.05);

    tracker.Designate(static_cast<uint16_t>(tracker.Object(0)->dX), static_cast<uint16_t>(tracker.Object(0)->dY));
    tracker.Tick(13.1);
    std::vector<Record> report = tracker.Report();
    ASSERT_FALSE(report.empty());
    EXPECT_EQ(report[0].nId, kFirstId + 1);
    EXPECT_TRUE(HasId(report, 3));
    EXPECT_FALSE(HasId(report, 1));
    const std::string& sReplaced = tracker.events.back();
    EXPECT_TRUE(sReplaced.ends_with(": object 1 (track 100002), replacing track 100001")) << sReplaced;

    tracker.Set(Key(cLandingItemList::kVmsSystemMode), {1});
    EXPECT_TRUE(tracker.Logged("designated track 100002 cancelled: system mode 1 (manual)"));
    tracker.Tick(13.2);
    report = tracker.Report();
    ASSERT_EQ(report.size(), 4u);
    for (uint32_t nId = 1; nId <= 4; ++nId)
        EXPECT_TRUE(HasId(report, nId)) << nId;
    EXPECT_EQ(tracker.Item(kTrackId), "0");
    EXPECT_EQ(tracker.Item(kVms.targetMode), std::to_string(cSimLanding::TargetModeAt(13.2)));
}

// With nothing within the window the track sits on the point, acquiring for
// half a second, then coasting, and is dropped 2 s after the designation.
TEST(SimDesignation, NothingInTheWindowGivesATrackOnThePointThatCoastsAndDrops)
{
    Tracker tracker;
    tracker.Set(Key(kVms.aoiSizeX), U16Bytes(40));
    tracker.Set(Key(kVms.aoiSizeY), U16Bytes(30));
    tracker.Tick(20.0);
    for (const cSimEoStream::Target& target : tracker.world.SeenAt(cSimEoStream::kTrackReport, 20.0).targets)
        ASSERT_FALSE(std::abs(target.dX - 600.0) <= 20.0 && std::abs(target.dY - 20.0) <= 15.0);
    tracker.Designate(600, 20);
    EXPECT_TRUE(tracker.Logged("designation at 600, 20: nothing there: track 100001 on the point"));

    for (int n = 0; n <= 25; ++n)
    {
        const double dSeconds = 20.0 + 0.1 * n;
        tracker.Tick(dSeconds);
        SCOPED_TRACE(dSeconds);
        const std::vector<Record> report = tracker.Report();
        if (dSeconds - 20.0 >= cSimDesignation::kDropSeconds)
        {
            EXPECT_FALSE(HasId(report, kFirstId));
            EXPECT_EQ(report.size(), 4u);
            EXPECT_EQ(tracker.Item(kTrackId), "0");
            continue;
        }
        ASSERT_EQ(report.size(), 5u);
        const bool bAcquiring = dSeconds - 20.0 < cSimDesignation::kSearchSeconds;
        EXPECT_EQ(report[0].nId, kFirstId);
        EXPECT_EQ(report[0].nStatus, bAcquiring ? 0 : 2);
        EXPECT_NEAR(report[0].dX, 600.0, 0.01);
        EXPECT_NEAR(report[0].dY, 20.0, 0.01);
        EXPECT_NEAR(report[0].dSizeX, cSimDesignation::kPointSizeX, 0.01);
        EXPECT_EQ(tracker.Item(kVms.targetMode), bAcquiring ? "1" : "2");
        EXPECT_EQ(tracker.Item(kVms.trackingMode), bAcquiring ? "0" : "2");
        EXPECT_NEAR(tracker.Real(kVms.positionX), 600.0, 0.01);
        EXPECT_EQ(tracker.Item(kTrackId), "100001");
    }
    EXPECT_TRUE(tracker.Logged("designated track 100001 dropped: nothing found at 600, 20"));
}

// A tracked object the platform turns away from coasts at its last position;
// back in the picture within 2 s it is tracked again under the same ID, out
// for 2 s it is dropped.
TEST(SimDesignation, ObjectLeavingThePictureCoastsThenIsPickedUpOrDropped)
{
    Tracker tracker;
    tracker.Tick(5.0);
    tracker.Designate(static_cast<uint16_t>(tracker.Object(1)->dX), static_cast<uint16_t>(tracker.Object(1)->dY));
    int n = 50;
    auto tick = [&tracker, &n] { tracker.Tick(0.1 * ++n); };
    for (int i = 0; i < 5; ++i)
        tick();

    // Away: out of the picture within two seconds at 20 deg/s.
    tracker.DemandAz(45.0);
    Record last{};
    while (tracker.Object(1) && n < 80)
    {
        last = tracker.Report()[0];
        tick();
    }
    ASSERT_FALSE(tracker.Object(1));
    std::vector<Record> report = tracker.Report();
    ASSERT_FALSE(report.empty());
    EXPECT_EQ(last.nStatus, 1);
    EXPECT_EQ(report[0].nId, kFirstId);
    EXPECT_EQ(report[0].nStatus, 2);
    EXPECT_EQ(report[0].dX, last.dX);  // held where it was last seen
    EXPECT_EQ(report[0].dY, last.dY);
    tick();
    EXPECT_EQ(tracker.Item(kVms.targetMode), "2");
    EXPECT_EQ(tracker.Item(kVms.trackingMode), "2");
    EXPECT_NEAR(tracker.Real(kVms.positionX), last.dX, 0.01);

    // And back before it is given up.
    const int nLeft = n;
    tracker.DemandAz(0.0);
    while (!tracker.Object(1) && n < nLeft + 20)
        tick();
    ASSERT_TRUE(tracker.Object(1));
    EXPECT_LT(n - nLeft, 10);
    report = tracker.Report();
    EXPECT_EQ(report[0].nId, kFirstId);
    EXPECT_EQ(report[0].nStatus, 1);
    EXPECT_NEAR(report[0].dX, tracker.Object(1)->dX, 0.01);
    EXPECT_EQ(report.size(), 4u);

    // Away for good.
    tracker.DemandAz(45.0);
    while (tracker.Object(1) && n < nLeft + 60)
    {
        tracker.Report();
        tick();
    }
    ASSERT_FALSE(tracker.Object(1));
    const double dLost = tracker.dNow;
    while (HasId(tracker.Report(), kFirstId) && n < nLeft + 100)
        tick();
    EXPECT_GE(tracker.dNow - dLost, cSimDesignation::kDropSeconds - 1e-9);
    EXPECT_LE(tracker.dNow - dLost, cSimDesignation::kDropSeconds + 0.15);
    EXPECT_TRUE(tracker.Logged("designated track 100001 dropped: object 2 out of the picture for 2 s"));
    EXPECT_EQ(tracker.Item(kTrackId), "0");
}

// The Thimbrel's target items follow the track at its own addresses, and its
// tracking mode stays the console's.
TEST(SimDesignation, ThimbrelTargetItemsFollowTheTrack)
{
    Tracker tracker(RC_Variant::ShortFrames);
    const cLandingItemList::Common& at = cLandingItemList::kThimbrel;
    tracker.Tick(1.0);  // the target cycle: invalid
    tracker.Set(Key(at.trackingMode), {1});
    tracker.Designate(static_cast<uint16_t>(tracker.Object(3)->dX), static_cast<uint16_t>(tracker.Object(3)->dY));
    tracker.Tick(1.5);
    EXPECT_EQ(tracker.Item(at.targetMode), "1");
    EXPECT_NEAR(tracker.Real(at.positionX), tracker.Object(3)->dX, 0.01);
    EXPECT_NEAR(tracker.Real(at.positionY), tracker.Object(3)->dY, 0.01);
    EXPECT_EQ(tracker.Item(at.trackingMode), "1");
    EXPECT_EQ(tracker.Report()[0].nId, kFirstId);
}

// Over the link: the console's designation frame (X and Y in one frame) and
// its Track mode start a track in the EO stream on the object it names;
// Standby ends it.
TEST(SimDesignation, ConsolesDesignationStartsATrackInTheStream)
{
    SimWithPeers sim(1);
    sim.Options().m_bEoOn = true;
    ASSERT_TRUE(sim.Start());
    std::optional<Bytes> frame = sim.EoConsole().ReceiveWithin(10s);
    ASSERT_TRUE(frame);
    const std::vector<Record> before = Records(*frame);
    ASSERT_EQ(before.size(), 4u);
    const auto nX = static_cast<uint16_t>(before[1].dX);
    const auto nY = static_cast<uint16_t>(before[1].dY);
    Bytes designation = {0x99, 5, 0, 0x00, 6, 20};
    designation.insert(designation.end(), {uint8_t(nX >> 8), uint8_t(nX), 21, uint8_t(nY >> 8), uint8_t(nY)});
    sim.Send(WithChecksum(designation));
    sim.Send(WithChecksum({0x99, 1, 0, 0x00, 2, 3, 3}));

    // The object it took, as the event names it (the nearest at that moment).
    std::string sObject;
    ASSERT_TRUE(WaitFor([&] {
        const std::regex taken("designation at " + std::to_string(nX) + ", " + std::to_string(nY) +
                               ": object ([0-9]+) \\(track 100001\\)");
        std::smatch match;
        for (const std::string& sEvent : sim.Events())
            if (std::regex_match(sEvent, match, taken))
                sObject = match[1];
        return !sObject.empty();
    }));
    std::vector<Record> tracked;
    ASSERT_TRUE(WaitFor([&] {
        std::optional<Bytes> next = sim.EoConsole().ReceiveWithin(1s);
        tracked = next ? Records(*next) : std::vector<Record>{};
        return !tracked.empty() && tracked[0].nId == kFirstId && tracked[0].nStatus == 1;
    }));
    EXPECT_EQ(tracked.size(), 4u);
    EXPECT_FALSE(HasId(tracked, static_cast<uint32_t>(std::stoi(sObject))));
    EXPECT_EQ(sim.Sim().Items().Text(Key(kVms.targetMode)), "1");

    sim.Send(WithChecksum({0x99, 1, 0, 0x00, 2, 3, 0}));
    ASSERT_TRUE(WaitFor([&] { return sim.SawEvent("designated track 100001 cancelled: system mode 0 (standby)"); }));
    ASSERT_TRUE(WaitFor([&] {
        std::optional<Bytes> next = sim.EoConsole().ReceiveWithin(1s);
        return next && Records(*next).size() == 4u && !HasId(Records(*next), kFirstId);
    }));
}
