// Crosshair geometry: arms, gap, thickness, the centre square and clamping.
#include "core/render/crosshair.h"

#include <gtest/gtest.h>

#include <set>

#include "core/render/sections.h"

namespace {

using Pixels = std::set<std::pair<int, int>>;

/// The red pixels of a black 256 × 256 picture after one crosshair.
Pixels Draw(int px, int py, zx::CrossParams p, int viewW = 256, int viewH = 256) {
    QImage img = zx::NewSectionBitmap();
    zx::DrawCross(img, px, py, viewW, viewH, p);
    Pixels red;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            if (img.pixel(x, y) == zx::kCrossColor) red.insert({x, y});
        }
    }
    return red;
}

TEST(Crosshair, NothingAtAllForThicknessOrLengthZero) {
    EXPECT_TRUE(Draw(100, 100, {256, 0, 10}).empty());
    EXPECT_TRUE(Draw(100, 100, {0, 1, 10}).empty());
}

TEST(Crosshair, DefaultsGiveThinArmsToTheEdgesAndACentrePixel) {
    const Pixels red = Draw(128, 100, {256, 1, 10});
    EXPECT_TRUE(red.count({128, 100}));
    for (int d = 1; d < 10; ++d) {  // the gap around the centre stays clear
        EXPECT_FALSE(red.count({128 + d, 100}));
        EXPECT_FALSE(red.count({128 - d, 100}));
        EXPECT_FALSE(red.count({128, 100 + d}));
        EXPECT_FALSE(red.count({128, 100 - d}));
    }
    EXPECT_TRUE(red.count({138, 100}));
    EXPECT_TRUE(red.count({118, 100}));
    EXPECT_TRUE(red.count({0, 100}));
    EXPECT_TRUE(red.count({255, 100}));
    EXPECT_TRUE(red.count({128, 0}));
    EXPECT_TRUE(red.count({128, 255}));
    // 1 centre + 4 arms: left 128−10+1, right 255−138+1, up 100−10+1, down 255−110+1.
    EXPECT_EQ(red.size(), 1u + 119 + 118 + 91 + 146);
}

TEST(Crosshair, GapZeroArmsMeetAtTheCentre) {
    const Pixels red = Draw(50, 60, {256, 1, 0});
    for (int x = 0; x < 256; ++x) EXPECT_TRUE(red.count({x, 60})) << x;
    for (int y = 0; y < 256; ++y) EXPECT_TRUE(red.count({50, y})) << y;
    EXPECT_EQ(red.size(), 256u + 255u);
}

TEST(Crosshair, ThicknessThreeGivesWideArmsAndATwoByTwoSquare) {
    const Pixels red = Draw(100, 100, {30, 3, 10});
    for (const auto& p : Pixels{{99, 99}, {100, 99}, {99, 100}, {100, 100}})
        EXPECT_TRUE(red.count(p));
    EXPECT_FALSE(red.count({101, 101}));
    EXPECT_FALSE(red.count({98, 98}));
    // Upper arm: three columns wide, from distance 10 up to 29.
    for (int x : {99, 100, 101}) {
        EXPECT_TRUE(red.count({x, 90})) << x;
        EXPECT_TRUE(red.count({x, 71})) << x;
        EXPECT_FALSE(red.count({x, 70})) << x;
        EXPECT_FALSE(red.count({x, 91})) << x;
    }
    EXPECT_FALSE(red.count({98, 80}));
    EXPECT_FALSE(red.count({102, 80}));
}

TEST(Crosshair, GapEqualToLengthLeavesOnlyTheCentre) {
    EXPECT_EQ(Draw(100, 100, {10, 1, 10}), (Pixels{{100, 100}}));
    EXPECT_EQ(Draw(100, 100, {10, 3, 10}).size(), 4u);
}

TEST(Crosshair, GapBeyondLengthDrawsBetweenThem) {
    const Pixels red = Draw(100, 100, {5, 1, 20});
    // Each arm runs from distance 20 towards the centre and stops before 5.
    EXPECT_TRUE(red.count({100, 80}));
    EXPECT_TRUE(red.count({100, 94}));
    EXPECT_FALSE(red.count({100, 95}));
    EXPECT_FALSE(red.count({100, 79}));
    EXPECT_TRUE(red.count({120, 100}));
    EXPECT_TRUE(red.count({106, 100}));
    EXPECT_FALSE(red.count({105, 100}));
    EXPECT_EQ(red.size(), 1u + 4 * 15);
}

TEST(Crosshair, CentreIsClampedIntoTheView) {
    const Pixels red = Draw(-5, 300, {256, 1, 10});
    EXPECT_TRUE(red.count({0, 255}));
    EXPECT_TRUE(red.count({0, 0}));      // the upper arm in column 0
    EXPECT_TRUE(red.count({255, 255}));  // the right arm in row 255
    // In a stretched 328-pixel view the clamped centre lies beyond the picture.
    EXPECT_TRUE(Draw(400, 400, {256, 1, 10}, 328, 328).empty());
}

TEST(PixelAt, OutsideThePictureReadsWhite) {
    QImage img = zx::NewSectionBitmap();
    EXPECT_EQ(zx::PixelAt(img, -1, 0), 0xffffffffu);
    EXPECT_EQ(zx::PixelAt(img, 0, 256), 0xffffffffu);
    EXPECT_EQ(zx::PixelAt(img, 5, 5) & 0xffffffu, 0u);
}

}  // namespace
