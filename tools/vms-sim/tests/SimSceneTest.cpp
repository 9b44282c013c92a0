// The scene the simulated sensor sees: ground fixed in Az/El that pans and
// magnifies as a camera's picture does, and each target drawn where its
// track reports it, whatever the picture's size.
#include "cSimScene.h"

#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>

namespace
{
using Picture = std::vector<uint8_t>;

struct Rendered
{
    explicit Rendered(cSimScene& scene, const cSimScene::View& view, const std::vector<cSimScene::Object>& objects = {})
        : nWidth(scene.Width())
    {
        scene.Render(view, objects, picture);
    }
    uint8_t Luma(int32_t x, int32_t y) const { return picture[static_cast<size_t>(y * nWidth + x)]; }
    int32_t nWidth;
    Picture picture;
};

// Share of the luma pixels in [x0, x1) x [y0, y1) for which the test holds.
template <typename Test>
double Share(int32_t x0, int32_t x1, int32_t y0, int32_t y1, Test test)
{
    size_t nHeld = 0;
    for (int32_t y = y0; y < y1; ++y)
        for (int32_t x = x0; x < x1; ++x)
            nHeld += test(x, y) ? 1 : 0;
    return static_cast<double>(nHeld) / ((x1 - x0) * (y1 - y0));
}
} // namespace

// Turning one degree to the right moves the ground one degree's worth of
// pixels (16 at 40 degrees across 640) to the left; raising the sensor moves
// it down. Nothing else changes.
TEST(SimScene, GroundPansByThePixelsOfTheTurn)
{
    cSimScene scene(640, 480, 640, 480);
    const cSimScene::View view{12.0, -3.0, 40.0};
    const Rendered before(scene, view);
    const Rendered right(scene, {view.dAzDeg + 1.0, view.dElDeg, 40.0});
    EXPECT_GT(Share(0, 624, 0, 480, [&](int x, int y) { return right.Luma(x, y) == before.Luma(x + 16, y); }), 0.995);
    // The ground has detail enough for that to mean something.
    EXPECT_LT(Share(0, 624, 0, 480, [&](int x, int y) { return right.Luma(x, y) == before.Luma(x, y); }), 0.9);

    const double dDegPerRow = scene.VerticalFov(40.0) / 480;
    const Rendered up(scene, {view.dAzDeg, view.dElDeg + 10 * dDegPerRow, 40.0});
    EXPECT_GT(Share(0, 640, 10, 480, [&](int x, int y) { return up.Luma(x, y) == before.Luma(x, y - 10); }), 0.99);
}

// Zooming in to half the field of view shows the middle of the wide picture
// twice as large; the lens goes from 40 to 2 degrees with the same factor for
// every step of the zoom.
TEST(SimScene, GroundMagnifiesAsTheFieldOfViewNarrows)
{
    EXPECT_DOUBLE_EQ(cSimScene::HorizontalFovAtZoom(0.0), 40.0);
    EXPECT_NEAR(cSimScene::HorizontalFovAtZoom(1.0), 2.0, 1e-9);
    EXPECT_NEAR(cSimScene::HorizontalFovAtZoom(0.25) / cSimScene::HorizontalFovAtZoom(0.0),
                cSimScene::HorizontalFovAtZoom(1.0) / cSimScene::HorizontalFovAtZoom(0.75), 1e-9);

    cSimScene scene(640, 480, 640, 480);
    const Rendered wide(scene, {3.0, 2.0, 40.0});
    const Rendered narrow(scene, {3.0, 2.0, 20.0});
    EXPECT_NEAR(scene.VerticalFov(20.0), 15.07, 0.02);  // the picture's shape
    // Each narrow pixel against the wide pixel nearest the same ground point,
    // and against the wide pixel at the same place in the picture.
    auto nearest = [](int n, int nSize) {
        return static_cast<int>(std::floor(nSize / 2.0 + (n + 0.5 - nSize / 2.0) / 2.0));
    };
    const double dSameGround = Share(0, 640, 0, 480, [&](int x, int y) {
        return std::abs(narrow.Luma(x, y) - wide.Luma(nearest(x, 640), nearest(y, 480))) <= 2;
    });
    const double dSamePlace =
        Share(0, 640, 0, 480, [&](int x, int y) { return std::abs(narrow.Luma(x, y) - wide.Luma(x, y)) <= 2; });
    EXPECT_GT(dSameGround, 0.9);
    EXPECT_LT(dSamePlace, 0.6);
}

// A target is a filled dark shape with a bright roof, centred where its
// track's position maps to in a picture of another size than the EO
// picture's, its size scaled the same way; one partly outside is clipped.
TEST(SimScene, TargetIsDrawnCentredAtItsMappedPosition)
{
    cSimScene scene(1280, 720, 640, 480);
    const cSimScene::View view{0.0, 0.0, 30.0};
    const Rendered ground(scene, view);
    const Rendered withTarget(scene, view, {{100.0, 200.0, 20.0, 16.0}, {-4.0, 478.0, 20.0, 16.0}});

    int32_t x0 = 1280, x1 = -1, y0 = 720, y1 = -1;
    size_t nDark = 0, nBright = 0, nChanged = 0;
    for (int32_t y = 0; y < 600; ++y)
        for (int32_t x = 0; x < 1280; ++x)
        {
            if (withTarget.Luma(x, y) == ground.Luma(x, y) && withTarget.Luma(x, y) != cSimScene::kBodyLuma)
                continue;
            ++nChanged;
            x0 = std::min(x0, x);
            x1 = std::max(x1, x + 1);
            y0 = std::min(y0, y);
            y1 = std::max(y1, y + 1);
            nDark += withTarget.Luma(x, y) == cSimScene::kBodyLuma;
            nBright += withTarget.Luma(x, y) == cSimScene::kRoofLuma;
        }
    // (100, 200) of 640 x 480 is (200, 300) of 1280 x 720; 20 x 16 is 40 x 24.
    EXPECT_NEAR((x0 + x1) / 2.0, 200.0, 1.0);
    EXPECT_NEAR((y0 + y1) / 2.0, 300.0, 1.0);
    EXPECT_NEAR(x1 - x0, 40, 1);
    EXPECT_NEAR(y1 - y0, 24, 1);
    EXPECT_EQ(nChanged, static_cast<size_t>((x1 - x0) * (y1 - y0)));  // filled, not an outline
    EXPECT_GT(nDark, nChanged / 4);
    EXPECT_GT(nBright, nChanged / 4);

    // The clipped one: its visible part at the bottom-left corner.
    EXPECT_EQ(withTarget.Luma(8, 719), cSimScene::kBodyLuma);
}
