// What the views show beyond the greys: the edge letters, the display
// window's table, the automatic window, and measurements.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "core/display/display_window.h"
#include "core/display/measure.h"
#include "core/display/orientation.h"
#include "core/volume/volume.h"

namespace {

using zx::Direction;

QString Edges(int view, bool neurological) {
    const zx::EdgeDirections e = zx::ViewEdges(view, neurological);
    return zx::Letter(e.left) + zx::Letter(e.right) + zx::Letter(e.top) + zx::Letter(e.bottom);
}

TEST(Orientation, LettersOfTheConversionPipelinesOrientation) {
    // x runs from the patient's right to the left, y from anterior to
    // posterior, z from superior to inferior; columns left to right, rows
    // top to bottom. Radiological: the patient's right on the screen's left.
    EXPECT_EQ(Edges(1, false), QStringLiteral("APSI"));
    EXPECT_EQ(Edges(2, false), QStringLiteral("RLSI"));
    EXPECT_EQ(Edges(3, false), QStringLiteral("RLAP"));
    // Neurological: coronal and transversal mirrored, the sagittal view not.
    EXPECT_EQ(Edges(1, true), QStringLiteral("APSI"));
    EXPECT_EQ(Edges(2, true), QStringLiteral("LRSI"));
    EXPECT_EQ(Edges(3, true), QStringLiteral("LRAP"));
    EXPECT_EQ(zx::AxisDescription(0), QString::fromUtf8("rechts → links"));
    EXPECT_EQ(zx::GermanName(Direction::I), QStringLiteral("inferior (kaudal)"));
}

TEST(DisplayWindow, TableFollowsTheLinearWindow) {
    const zx::WindowTable identity = zx::MakeWindowTable({});
    for (int g = 0; g < 256; ++g) EXPECT_EQ(identity[std::size_t(g)], qRgb(g, g, g)) << g;
    // Centre 100, width 51: black up to 74.5, white above 124.5.
    const zx::WindowTable t = zx::MakeWindowTable({100, 51, zx::ColourMap::Grey});
    EXPECT_EQ(t[74], qRgb(0, 0, 0));
    EXPECT_EQ(t[75], qRgb(3, 3, 3));         // (75 − 99.5)/50 + 0.5 = 0.01
    EXPECT_EQ(t[100], qRgb(130, 130, 130));  // 0.51
    EXPECT_EQ(t[124], qRgb(252, 252, 252));  // 0.99
    EXPECT_EQ(t[125], qRgb(255, 255, 255));
    const zx::WindowTable hot = zx::MakeWindowTable({128, 256, zx::ColourMap::Hot});
    EXPECT_EQ(hot[0], qRgb(0, 0, 0));
    EXPECT_EQ(hot[85], qRgb(255, 0, 0));
    EXPECT_EQ(hot[255], qRgb(255, 255, 255));
    // The other maps at thirds of the range, worked out by hand.
    const auto map = [](zx::ColourMap m, int g) { return zx::MakeWindowTable({128, 256, m})[g]; };
    const std::array<std::array<QRgb, 4>, 3> expected = {{
        {qRgb(0, 0, 0), qRgb(0, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)},  // Kalt
        {qRgb(0, 0, 0), qRgb(0, 255, 170), qRgb(170, 255, 0),
         qRgb(255, 0, 0)},  // hue 160°, 80°, 0°
        {qRgb(0, 0, 0), qRgb(74, 74, 106), qRgb(149, 181, 181),
         qRgb(255, 255, 255)},  // (7t + 3t − k)/8
    }};
    for (int m = 0; m < 3; ++m)
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(map(zx::ColourMap(m + 2), 85 * i), expected[std::size_t(m)][std::size_t(i)])
                << zx::ColourMapNames()[std::size_t(m + 2)].toStdString() << " " << 85 * i;
}

TEST(DisplayWindow, AutoSpansThePercentilesOfTheVoxelsAboveZero) {
    std::vector<std::uint8_t> volume(zx::kVolumeBytes, 0);
    // Plane 0: 655 voxels of each grey 1…100; the rest background. Plane 1
    // lies past the slice count and must not count.
    for (int g = 1; g <= 100; ++g)
        for (int i = 0; i < 655; ++i) volume[std::size_t((g - 1) * 655 + i)] = std::uint8_t(g);
    std::fill_n(volume.begin() + zx::kPlaneBytes, zx::kPlaneBytes, std::uint8_t(250));
    const zx::DisplayWindow w = zx::AutoWindow(volume.data(), 1);
    EXPECT_EQ(w.centre, 50);  // 1st percentile 1, 99th percentile 99
    EXPECT_EQ(w.width, 99);
    EXPECT_TRUE(zx::AutoWindow(volume.data(), 0).IsIdentity());
}

TEST(Measure, DistancesAndAnglesInGermanNotation) {
    zx::Measurement line{2, 40, {{10, 20}, {13, 24}}};  // 3-4-5
    EXPECT_EQ(zx::MeasurementText(line, 0.5), QStringLiteral("2,5 mm"));
    EXPECT_EQ(zx::MeasurementText(line, 0), QStringLiteral("5,0 Voxel"));
    EXPECT_EQ(zx::MeasurementEntry(line, 1), QStringLiteral("COR y=40: Strecke 5,0 mm"));
    zx::Measurement angle{3, 7, {{20, 10}, {10, 10}, {10, 0}}};
    EXPECT_EQ(zx::MeasurementText(angle, 1), QString::fromUtf8("90,0°"));
    EXPECT_DOUBLE_EQ(zx::AngleDegrees({1, 0}, {0, 0}, {1, 0}), 0.0);
    EXPECT_DOUBLE_EQ(zx::AngleDegrees({1, 0}, {0, 0}, {0, 0}), 0.0);  // no ray: no angle
}

}  // namespace
