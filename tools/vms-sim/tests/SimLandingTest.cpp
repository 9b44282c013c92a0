#include "RC_Codec.h"
#include "SimTestSupport.h"
#include "cLandingItemList.h"
#include "cSimItemStore.h"
#include "cSimLanding.h"

#include <cmath>
#include <gtest/gtest.h>
#include <set>

using namespace simtest;

namespace
{
uint32_t Key(const cLandingItemList::Address& address)
{
    return cSimItemStore::Key(address.nSubSystem, address.nIndex, address.nItem);
}

// A set of the item as the console's command carries it.
cSimItemStore::eSet Set(cSimItemStore& items, uint32_t nKey, const Bytes& value)
{
    size_t nConsumed = 0;
    return items.Set(nKey, value.data(), 0, value.size(), nConsumed);
}

Bytes Fixed(double dValue)
{
    const auto n = static_cast<uint32_t>(RC_Codec::FloatToFixed(dValue));
    return {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)};
}

double Real(cSimItemStore& items, uint32_t nKey)
{
    return std::stod(items.Text(nKey));
}

// A VMS store with the landing items and the platform page's rate item.
struct Vms
{
    Vms()
    {
        items.Add(2, 0, 3, RC_DataType::Fixed, PageItem::kReadOnly, "Az Rate (mrad/s)");
        landing.Install(items);
    }
    cSimEventLog log{true};
    cSimItemStore items;
    cSimLanding landing{RC_Variant::LongFrames, log};
};
} // namespace

// The target cycles invalid, valid, coasting, and moves only while valid.
TEST(SimLanding, TargetCyclesAndMovesOnlyWhileValid)
{
    cSimEventLog log(true);
    cSimItemStore items;
    cSimLanding landing(RC_Variant::ShortFrames, log);
    landing.Install(items);
    EXPECT_EQ(items.Count(), 13u);  // the Thimbrel list
    const cLandingItemList::Common& at = cLandingItemList::kThimbrel;

    std::vector<double> validX;
    std::set<std::string> coastingX;
    for (double dSeconds = 0.0; dSeconds < 2 * cSimLanding::kTargetCycleSeconds; dSeconds += 0.1)
    {
        landing.Advance(dSeconds);
        items.Advance(dSeconds);  // the generic patterns leave these items alone
        const uint8_t nMode = cSimLanding::TargetModeAt(dSeconds);
        ASSERT_EQ(items.Text(Key(at.targetMode)), std::to_string(nMode)) << dSeconds;
        if (nMode == 1)
            validX.push_back(Real(items, Key(at.positionX)));
        else if (nMode == 2 && dSeconds < cSimLanding::kTargetCycleSeconds)
            coastingX.insert(items.Text(Key(at.positionX)));
    }
    EXPECT_EQ(cSimLanding::TargetModeAt(1.0), 0);
    EXPECT_EQ(cSimLanding::TargetModeAt(4.0), 1);
    EXPECT_EQ(cSimLanding::TargetModeAt(10.0), 2);
    ASSERT_GT(validX.size(), 50u);
    EXPECT_NE(validX.front(), validX[10]);
    for (double dX : validX)
        EXPECT_TRUE(dX >= 160.0 && dX <= 480.0) << dX;
    EXPECT_EQ(coastingX.size(), 1u);  // held where it was last seen

    // The Thimbrel's tracking mode is the console's to set.
    EXPECT_EQ(Set(items, Key(at.trackingMode), {1}), cSimItemStore::eSet::Set);
    landing.Advance(50.0);
    EXPECT_EQ(items.Text(Key(at.trackingMode)), "1");
}

// Only the VMS's own system modes are taken; the tracking status follows the
// mode and the target.
TEST(SimLanding, SystemModeIsCheckedAndDrivesTheTrackingStatus)
{
    Vms vms;
    const uint32_t nMode = Key(cLandingItemList::kVmsSystemMode);
    for (uint8_t nValue : {5, 7, 9, 11, 255})
        EXPECT_EQ(Set(vms.items, nMode, {nValue}), cSimItemStore::eSet::Refused) << int(nValue);
    EXPECT_EQ(vms.items.Text(nMode), "0");
    const uint32_t nTracking = Key(cLandingItemList::kVms.trackingMode);
    vms.landing.Advance(4.0);  // target valid
    EXPECT_EQ(vms.items.Text(nTracking), "0");  // standing by: acquiring
    ASSERT_EQ(Set(vms.items, nMode, {3}), cSimItemStore::eSet::Set);
    vms.landing.Advance(4.1);
    EXPECT_EQ(vms.items.Text(nTracking), "1");
    vms.landing.Advance(10.0);  // target coasting
    EXPECT_EQ(vms.items.Text(nTracking), "2");
    ASSERT_EQ(Set(vms.items, nMode, {10}), cSimItemStore::eSet::Set);
    vms.landing.Advance(10.1);
    EXPECT_EQ(vms.items.Text(nTracking), "0");
}

// A deck position set is a demand: the position slews towards it at the
// platform's rate, and the rate item says how fast it moves.
TEST(SimLanding, DeckPositionsSlewTowardsTheDemand)
{
    Vms vms;
    const uint32_t nAz = Key(cLandingItemList::kVmsAzDeckPos);
    const uint32_t nRate = cSimItemStore::Key(2, 0, 3);
    const double dMrad90 = 90.0 * 1000.0 / 57.29577951308232;
    ASSERT_EQ(Set(vms.items, nAz, Fixed(dMrad90)), cSimItemStore::eSet::Set);
    EXPECT_EQ(Real(vms.items, nAz), 0.0);  // nothing moved yet

    const double dMostStep = cSimLanding::kSlewDegreesPerSecond * 0.1 * 1000.0 / 57.29577951308232;
    double dLast = 0.0;
    double dSeconds = 0.0;
    const auto* pAz = static_cast<const RC_FixedValue*>(vms.items.Holder(nAz, RC_DataType::Fixed));
    ASSERT_NE(pAz, nullptr);
    while (pAz->Raw() != RC_Codec::FloatToFixed(dMrad90) && dSeconds < 20.0)
    {
        dSeconds += 0.1;
        vms.landing.Advance(dSeconds);
        const double dNow = Real(vms.items, nAz);
        EXPECT_LE(dNow - dLast, dMostStep + 0.01);
        EXPECT_GT(dNow, dLast);
        dLast = dNow;
    }
    EXPECT_NEAR(dSeconds, 90.0 / cSimLanding::kSlewDegreesPerSecond, 0.15);  // 2 degrees a tick
    EXPECT_NEAR(Real(vms.items, nAz), dMrad90, 0.01);
    vms.landing.Advance(dSeconds + 0.1);
    EXPECT_EQ(Real(vms.items, nRate), 0.0);

    // Back the other way, the rate read-out shows the slew.
    ASSERT_EQ(Set(vms.items, nAz, Fixed(0.0)), cSimItemStore::eSet::Set);
    vms.landing.Advance(dSeconds + 0.2);
    EXPECT_NEAR(Real(vms.items, nRate), -cSimLanding::kSlewDegreesPerSecond * 1000.0 / 57.29577951308232, 0.5);
}

// A zoom speed moves the selected camera's zoom position until the stop.
TEST(SimLanding, ZoomCommandsMoveTheZoomPosition)
{
    Vms vms;
    const uint32_t nSpeed = cSimItemStore::Key(3, 2, 6);
    const uint32_t nStop = cSimItemStore::Key(3, 2, 22);
    const uint32_t nZoom = cSimItemStore::Key(3, 2, 7);
    ASSERT_EQ(Set(vms.items, nSpeed, {0x40, 0x00}), cSimItemStore::eSet::Set);  // half speed in
    vms.landing.Advance(1.0);
    const int nAfterOne = std::stoi(vms.items.Text(nZoom));
    EXPECT_NEAR(nAfterOne, cSimLanding::kZoomPerSecond / 2, 2);
    EXPECT_EQ(vms.items.Text(cSimItemStore::Key(3, 0, 7)), "0");  // another camera
    ASSERT_EQ(Set(vms.items, nStop, {1}), cSimItemStore::eSet::Set);
    vms.landing.Advance(2.0);
    EXPECT_EQ(std::stoi(vms.items.Text(nZoom)), nAfterOne);
    ASSERT_EQ(Set(vms.items, nSpeed, {0x00, 0x01}), cSimItemStore::eSet::Set);  // the slowest speed still moves
    for (int n = 1; n <= 100; ++n)
        vms.landing.Advance(2.0 + n * 0.1);
    EXPECT_GT(std::stoi(vms.items.Text(nZoom)), nAfterOne);
}

// Over the link: a mode the VMS does not have is refused with error 3 and the
// item byte; a real one is answered with its value.
TEST(SimLanding, RefusedSystemModeIsAnsweredWithItsError)
{
    SimWithPeers sim(1);
    ASSERT_TRUE(sim.Start());
    EXPECT_EQ(sim.Exchange(WithChecksum({0x99, 0x01, 0x00, 0x00, 0x02, 0x03, 0x05})),
              WithChecksum({0x99, 0x01, 0x00, 0x0C, 0x00, 0x08, 0x03}));
    EXPECT_EQ(sim.Exchange(WithChecksum({0x99, 0x01, 0x00, 0x00, 0x02, 0x03, 0x04})),
              WithChecksum({0x99, 0x01, 0x00, 0x00, 0x00, 0x09, 0x03, 0x04}));
}
