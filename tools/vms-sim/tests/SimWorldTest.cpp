// Targets on the ground: seen where the platform's picture shows them as it
// pans and zooms (the ground's own map of angles), exactly where the stream
// puts them at the home pointing, and not at all once outside the picture.
#include "RC_Codec.h"
#include "SimTestSupport.h"
#include "cSimItemStore.h"
#include "cSimWorld.h"

#include <gtest/gtest.h>

using namespace simtest;

namespace
{
constexpr double kMilliradiansPerDegree = 1000.0 / 57.29577951308232;

Bytes FixedBytes(double dValue)
{
    const auto n = static_cast<uint32_t>(RC_Codec::FloatToFixed(dValue));
    return {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)};
}

// A VMS platform that has not moved, and 32 targets.
struct World
{
    World() { landing.Install(items); }
    // An Az demand, as the console's set of the deck position carries it.
    void DemandAz(double dDeg)
    {
        const Bytes value = FixedBytes(dDeg * kMilliradiansPerDegree);
        size_t nConsumed = 0;
        ASSERT_EQ(items.Set(cSimItemStore::Key(2, 0, 1), value.data(), 0, value.size(), nConsumed),
                  cSimItemStore::eSet::Set);
    }
    cSimEventLog log{true};
    cSimItemStore items;
    cSimLanding landing{RC_Variant::LongFrames, log};
    cSimEoStream eo{0, 32, 4};
    cSimWorld world{eo, landing, 640, 480, 640, 480};
};

cSimEoStream::Target TargetAt(double dX, double dY, double dSizeX, double dSizeY)
{
    cSimEoStream::Target target{};
    target.dX = dX;
    target.dY = dY;
    target.dSizeX = dSizeX;
    target.dSizeY = dSizeY;
    return target;
}
} // namespace

// Left alone, the platform sees every target exactly where the stream puts
// it, so that its reports are the home pointing's, byte for byte.
TEST(SimWorld, HomePointingSeesTheStreamsTargetsUnchanged)
{
    World w;
    for (const double dSeconds : {0.0, 7.3, 61.25, 300.0})
    {
        w.landing.Advance(dSeconds);
        for (const uint8_t nIdentifier : {cSimEoStream::kTrackReport, cSimEoStream::kTagReport})
        {
            const std::vector<cSimEoStream::Target> expected = w.eo.TargetsAt(nIdentifier, dSeconds);
            const cSimWorld::Seen seen = w.world.SeenAt(nIdentifier, dSeconds);
            ASSERT_EQ(seen.targets.size(), expected.size()) << dSeconds;
            for (size_t n = 0; n < expected.size(); ++n)
            {
                EXPECT_EQ(seen.targets[n].dX, expected[n].dX);
                EXPECT_EQ(seen.targets[n].dY, expected[n].dY);
                EXPECT_EQ(seen.targets[n].dSizeX, expected[n].dSizeX);
                EXPECT_EQ(seen.targets[n].dSizeY, expected[n].dSizeY);
            }
            const auto nTimestamp = static_cast<uint64_t>(dSeconds * 1e6);
            EXPECT_EQ(w.eo.BuildFrame(nIdentifier, nTimestamp),
                      w.eo.BuildFrame(nIdentifier, nTimestamp, w.world.SeenAt(nIdentifier, nTimestamp / 1e6).targets));
        }
    }
    EXPECT_EQ(w.world.Home().dHorizontalFovDeg, 40.0);
}

// A turn moves a target by the turn's pixels at the picture's degrees per
// pixel, the way the ground moves (to the right moves it left, up moves it
// down); its size stays.
TEST(SimWorld, PanMovesTargetsByTheTurnInPixels)
{
    World w;
    const double dDegPerColumn = 40.0 / 640;
    const double dDegPerRow = cSimScene::VerticalFovOf(40.0, 640, 480) / 480;
    cSimScene::View view = w.world.Home();
    view.dAzDeg = 2.0;
    view.dElDeg = -1.5;
    cSimEoStream::Target target = TargetAt(300.0, 200.0, 20.0, 16.0);
    ASSERT_TRUE(w.world.Place(view, target));
    EXPECT_NEAR(target.dX, 300.0 - 2.0 / dDegPerColumn, 1e-9);  // 32 pixels to the left
    EXPECT_NEAR(target.dY, 200.0 - 1.5 / dDegPerRow, 1e-9);
    EXPECT_NEAR(target.dSizeX, 20.0, 1e-12);
    EXPECT_NEAR(target.dSizeY, 16.0, 1e-12);
}

// Zooming in magnifies about the picture's centre by the ratio of the fields
// of view (the vertical one as the video's shape gives it, as the ground is
// drawn); a turn at that zoom counts the narrower pixels.
TEST(SimWorld, ZoomScalesAboutThePictureCentre)
{
    World w;
    const double dVerticalRatio = cSimScene::VerticalFovOf(40.0, 640, 480) / cSimScene::VerticalFovOf(20.0, 640, 480);
    cSimScene::View view = w.world.Home();
    view.dHorizontalFovDeg = 20.0;
    cSimEoStream::Target target = TargetAt(400.0, 150.0, 20.0, 16.0);
    ASSERT_TRUE(w.world.Place(view, target));
    EXPECT_NEAR(target.dX, 320.0 + 2.0 * 80.0, 1e-9);
    EXPECT_NEAR(target.dY, 240.0 - dVerticalRatio * 90.0, 1e-9);
    EXPECT_NEAR(target.dSizeX, 40.0, 1e-9);
    EXPECT_NEAR(target.dSizeY, 16.0 * dVerticalRatio, 1e-9);

    view.dHorizontalFovDeg = 10.0;
    view.dAzDeg = 1.0;
    cSimEoStream::Target turned = TargetAt(330.0, 240.0, 10.0, 10.0);
    ASSERT_TRUE(w.world.Place(view, turned));
    EXPECT_NEAR(turned.dX, 320.0 + 4.0 * 10.0 - 1.0 / (10.0 / 640), 1e-9);

    // An EO picture of another shape than the video's: the video's shape rules.
    const cSimWorld wide(w.eo, w.landing, 640, 480, 1280, 720);
    EXPECT_DOUBLE_EQ(wide.VerticalFov(40.0), cSimScene(1280, 720, 640, 480).VerticalFov(40.0));
}

// Targets whose centres leave the picture are not seen; as the platform slews
// away they go, those still inside moved by the turn.
TEST(SimWorld, TargetsOutsideThePictureAreNotSeen)
{
    World w;
    cSimEoStream::Target target = TargetAt(0.0, 0.0, 10.0, 10.0);
    EXPECT_TRUE(w.world.Place(w.world.Home(), target));
    target = TargetAt(640.0, 480.0, 10.0, 10.0);
    EXPECT_TRUE(w.world.Place(w.world.Home(), target));
    for (const auto& [dX, dY] : {std::pair{-0.5, 100.0}, {640.5, 100.0}, {100.0, -0.5}, {100.0, 480.5}})
    {
        target = TargetAt(dX, dY, 10.0, 10.0);
        EXPECT_FALSE(w.world.Place(w.world.Home(), target)) << dX << ", " << dY;
    }

    // Ten degrees to the right: 160 pixels, at 20 degrees a second.
    w.DemandAz(10.0);
    double dSeconds = 0.0;
    for (int n = 1; n <= 6; ++n)
        w.landing.Advance(dSeconds = 0.1 * n);
    const std::vector<cSimEoStream::Target> home = w.eo.TargetsAt(cSimEoStream::kTrackReport, dSeconds);
    std::vector<cSimEoStream::Target> expected;
    for (cSimEoStream::Target moved : home)
    {
        moved.dX -= 160.0;
        if (moved.dX >= 0.0)
            expected.push_back(moved);
    }
    ASSERT_LT(expected.size(), home.size());  // some have gone
    ASSERT_FALSE(expected.empty());
    const cSimWorld::Seen seen = w.world.SeenAt(cSimEoStream::kTrackReport, dSeconds);
    EXPECT_NEAR(seen.view.dAzDeg, 10.0, 1e-3);
    ASSERT_EQ(seen.targets.size(), expected.size());
    for (size_t n = 0; n < expected.size(); ++n)
    {
        EXPECT_EQ(seen.targets[n].nIndex, expected[n].nIndex);
        EXPECT_NEAR(seen.targets[n].dX, expected[n].dX, 0.05);
        EXPECT_NEAR(seen.targets[n].dY, expected[n].dY, 1e-9);
    }

    // Far enough and nothing is left.
    w.DemandAz(45.0);
    for (int n = 7; n <= 30; ++n)
        w.landing.Advance(dSeconds = 0.1 * n);
    EXPECT_TRUE(w.world.SeenAt(cSimEoStream::kTrackReport, dSeconds).targets.empty());
    EXPECT_TRUE(w.world.SeenAt(cSimEoStream::kTagReport, dSeconds).targets.empty());
}
