// Section rendering against a plain per-pixel reference, the margins of the
// coronal and transversal views, and the red-channel overlay.
#include <gtest/gtest.h>

#include <array>

#include "core/display/display_window.h"
#include "core/render/sections.h"
#include "core/render/simd_path.h"
#include "core/volume/volume.h"
#include "support/temp_dir.h"

namespace {

using zx::GreyToColor;
using zx::VoxelIndex;

const std::vector<std::uint8_t>& TestVolume() {
    static const std::vector<std::uint8_t> v = zxtest::Pattern(zx::kVolumeBytes, 11);
    return v;
}

const std::vector<std::uint8_t>& CoronalCopy() {
    static const std::vector<std::uint8_t> c = [] {
        std::vector<std::uint8_t> b(zx::kVolumeBytes);
        zx::MakeCoronalCopy(TestVolume().data(), b.data());
        return b;
    }();
    return c;
}

/// Both copies made in one pass; the coronal one must equal CoronalCopy().
const std::vector<std::uint8_t>& TransversalCopy() {
    static const std::vector<std::uint8_t> t = [] {
        std::vector<std::uint8_t> cor(zx::kVolumeBytes), tra(zx::kVolumeBytes);
        zx::MakeSectionCopies(TestVolume().data(), cor.data(), tra.data());
        EXPECT_EQ(cor, CoronalCopy());
        return tra;
    }();
    return t;
}

constexpr QRgb kMarker = 0xff123456u;  // background that must stay untouched

QImage Marked() {
    QImage img = zx::NewSectionBitmap();
    img.fill(kMarker);
    return img;
}

TEST(GreyToColor, EqualColourBytes) {
    EXPECT_EQ(qRed(GreyToColor(200)), 200);
    EXPECT_EQ(qGreen(GreyToColor(200)), 200);
    EXPECT_EQ(qBlue(GreyToColor(200)), 200);
    EXPECT_EQ(GreyToColor(0) & 0xffffffu, 0u);
}

TEST(RenderSagittal, EveryPixelIsItsVoxel) {
    const auto& vol = TestVolume();
    QImage bmp = Marked();
    for (int x : {0, 1, 90, 255}) {
        zx::RenderSagittal(vol.data(), x, bmp);
        for (int r = 0; r < 256; ++r) {
            for (int c = 0; c < 256; ++c) {
                ASSERT_EQ(bmp.pixel(c, r), GreyToColor(vol[VoxelIndex(x, c, r)]))
                    << "x " << x << " c " << c << " r " << r;
            }
        }
    }
}

TEST(RenderSagittal, OverlayXorsTheRedByteOnly) {
    std::vector<std::uint8_t> vol(zx::kVolumeBytes, 0), over(zx::kVolumeBytes, 0);
    over[VoxelIndex(5, 10, 20)] = 255;
    vol[VoxelIndex(5, 11, 20)] = 200;
    over[VoxelIndex(5, 11, 20)] = 0x0f;
    QImage bmp = zx::NewSectionBitmap();
    zx::RenderSagittal(vol.data(), 5, bmp, over.data());
    EXPECT_EQ(bmp.pixel(10, 20) & 0xffffffu, 0xff0000u);
    EXPECT_EQ(qRed(bmp.pixel(11, 20)), 200 ^ 0x0f);
    EXPECT_EQ(qGreen(bmp.pixel(11, 20)), 200);
    EXPECT_EQ(qBlue(bmp.pixel(11, 20)), 200);
    zx::RenderSagittal(vol.data(), 5, bmp);  // no overlay: plain grey
    EXPECT_EQ(bmp.pixel(10, 20), GreyToColor(0));
}

struct Margins {
    int count;
    int offset;
};

class SideSections : public ::testing::TestWithParam<Margins> {};

TEST_P(SideSections, CoronalAndTransversalMatchTheReferenceAndKeepMargins) {
    const auto& vol = TestVolume();
    const Margins m = GetParam();
    for (int plane : {0, 77, 255}) {
        QImage cor = Marked(), tra = Marked();
        zx::RenderCoronal(vol.data(), plane, m.count, m.offset, cor);
        zx::RenderTransversal(vol.data(), plane, m.count, m.offset, tra);
        // The viewer renders coronal sections from its coronal copy.
        QImage fromCopy = Marked();
        zx::RenderCoronalFromCopy(CoronalCopy().data(), plane, m.count, m.offset, fromCopy);
        ASSERT_EQ(fromCopy, cor) << "coronal copy, plane " << plane;
        QImage traFromCopy = Marked();
        zx::RenderTransversalFromCopy(TransversalCopy().data(), plane, m.count, m.offset,
                                      traFromCopy);
        ASSERT_EQ(traFromCopy, tra) << "transversal copy, plane " << plane;
        for (int r = 0; r < 256; ++r) {
            for (int c = 0; c < 256; ++c) {
                const int k = c - m.offset;
                const bool data = k >= 0 && k < m.count;
                ASSERT_EQ(cor.pixel(c, r),
                          data ? GreyToColor(vol[VoxelIndex(k, plane, r)]) : kMarker)
                    << "coronal " << plane << " c " << c << " r " << r;
                ASSERT_EQ(tra.pixel(c, r),
                          data ? GreyToColor(vol[VoxelIndex(k, r, plane)]) : kMarker)
                    << "transversal " << plane << " c " << c << " r " << r;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(SliceCounts, SideSections,
                         ::testing::Values(Margins{256, 0}, Margins{180, 38}, Margins{255, 0},
                                           Margins{17, 119}, Margins{1, 127}, Margins{0, 128},
                                           Margins{6, 125}));

TEST(Sections, OneVoxelAppearsWhereTheViewTableSaysInAllThreeViews) {
    std::vector<std::uint8_t> vol(zx::kVolumeBytes, 0);
    vol[66306] = 250;  // voxel (1, 2, 3)
    const int offset = 38;
    QImage sag = zx::NewSectionBitmap(), cor = zx::NewSectionBitmap(), tra = zx::NewSectionBitmap();
    zx::RenderSagittal(vol.data(), 1, sag);
    zx::RenderCoronal(vol.data(), 2, 180, offset, cor);
    zx::RenderTransversal(vol.data(), 3, 180, offset, tra);
    EXPECT_EQ(sag.pixel(2, 3), GreyToColor(250));
    EXPECT_EQ(cor.pixel(1 + offset, 3), GreyToColor(250));
    EXPECT_EQ(tra.pixel(1 + offset, 2), GreyToColor(250));
}

TEST(CopyPicture, ReusesMemoryAndDetachesFromSharedCopies) {
    QImage src = zx::NewSectionBitmap();
    src.fill(GreyToColor(9));
    QImage dst = zx::NewSectionBitmap();
    const uchar* before = dst.constBits();
    zx::CopyPicture(src, dst);
    EXPECT_EQ(dst.constBits(), before);
    EXPECT_EQ(dst.pixel(3, 3), GreyToColor(9));
    QImage shared = dst;  // a shared copy must not see later changes
    src.fill(GreyToColor(1));
    zx::CopyPicture(src, dst);
    EXPECT_EQ(shared.pixel(3, 3), GreyToColor(9));
    EXPECT_EQ(dst.pixel(3, 3), GreyToColor(1));
}

}  // namespace

namespace {

/// Forces one renderer path while it lives.
class OnPath {
public:
    explicit OnPath(zx::SimdPath p) : before_(zx::ActiveSimdPath()) {
        EXPECT_TRUE(zx::ForceSimdPath(p));
    }
    ~OnPath() { zx::ForceSimdPath(before_); }
    OnPath(const OnPath&) = delete;
    OnPath& operator=(const OnPath&) = delete;

private:
    zx::SimdPath before_;
};

/// A grey window table by formula: flat below 40 and above 200, scrambled
/// between (so that every row of sixteen entries is looked up).
QRgb WindowGrey(int g) {
    const int v = g < 40 ? 7 : g > 200 ? 250 : (g * 37 + 11) & 255;
    return GreyToColor(std::uint8_t(v));
}
/// A colour table by formula.
QRgb WindowColour(int g) {
    return 0xff000000u | QRgb(g) << 16 | QRgb(255 - g) << 8 | ((g * 7) & 255);
}

/// Overlay: zero for about half of the voxels (those pixels are windowed),
/// a colour change for the others (those keep their colour).
const std::vector<std::uint8_t>& Overlay() {
    static const std::vector<std::uint8_t> o = [] {
        auto p = zxtest::Pattern(zx::kVolumeBytes, 23);
        for (auto& b : p) b = b < 128 ? 0 : b;
        return p;
    }();
    return o;
}

/// The first pixel of `bmp` in columns offset … offset + count − 1 that is
/// not want(column, row), and a marker outside them that changed.
template <class Want>
::testing::AssertionResult Shows(const QImage& bmp, int offset, int count, Want want) {
    for (int r = 0; r < 256; ++r)
        for (int c = 0; c < 256; ++c) {
            const bool inside = c >= offset && c < offset + count;
            const QRgb expected = inside ? want(c - offset, r) : kMarker;
            if (bmp.pixel(c, r) != expected)
                return ::testing::AssertionFailure()
                       << "pixel (" << c << ", " << r << ") is " << std::hex << bmp.pixel(c, r)
                       << ", want " << expected;
        }
    return ::testing::AssertionSuccess();
}

}  // namespace

/// Every renderer path this processor runs (the portable one always), with
/// and without the display window in the mirror, against pixels worked
/// out by formula: so every path also equals the portable one, pixel for
/// pixel.
TEST(SimdPaths, EveryPathDrawsEveryPixelByTheFormula) {
    const auto& vol = TestVolume();
    const auto& over = Overlay();
    std::array<QRgb, 256> greyT{}, colourT{};
    for (int g = 0; g < 256; ++g) {
        greyT[std::size_t(g)] = WindowGrey(g);
        colourT[std::size_t(g)] = WindowColour(g);
    }
    // Linear windows, which the vector paths compute rather than look up:
    // the narrowest, a steep one at the top, a typical one, the widest.
    std::vector<zx::WindowTable> linear;
    for (const auto& [centre, width] :
         std::vector<std::pair<int, int>>{{128, 1}, {255, 3}, {110, 140}, {0, 512}})
        linear.push_back(zx::MakeWindowTable({centre, width, zx::ColourMap::Grey}));
    // Falling too, as an inverted window is.
    linear.push_back(linear[2]);
    for (QRgb& c : linear.back()) c = GreyToColor(std::uint8_t(255 - qBlue(c)));
    ASSERT_EQ(zx::RunnableSimdPaths().front(), zx::SimdPath::Scalar);
    for (zx::SimdPath path : zx::RunnableSimdPaths()) {
        SCOPED_TRACE(zx::SimdPathName(path));
        const OnPath on(path);
        // The copies the coronal and transversal views are drawn from.
        std::vector<std::uint8_t> cor(zx::kVolumeBytes), tra(zx::kVolumeBytes);
        zx::MakeSectionCopies(vol.data(), cor.data(), tra.data());
        EXPECT_EQ(cor, CoronalCopy());
        EXPECT_EQ(tra, TransversalCopy());
        const QRgb* const none = nullptr;
        std::vector<const QRgb*> tables = {none, greyT.data(), colourT.data()};
        for (const auto& t : linear) tables.push_back(t.data());
        for (const QRgb* table : tables) {
            const auto shown = [&](std::uint8_t g) { return table ? table[g] : GreyToColor(g); };
            const int x = 77;
            for (const std::uint8_t* o : {static_cast<const std::uint8_t*>(nullptr), over.data()}) {
                QImage bmp = Marked(), mirror = Marked();
                zx::RenderSagittal(vol.data(), x, bmp, o, &mirror, table);
                const auto clean = [&](int c, int r) {
                    const std::size_t i = VoxelIndex(x, c, r);
                    const std::uint8_t red = o ? std::uint8_t(vol[i] ^ o[i]) : vol[i];
                    return 0xff000000u | QRgb(red) << 16 | QRgb(vol[i]) * 0x101u;
                };
                ASSERT_TRUE(Shows(bmp, 0, 256, clean)) << "sagittal, overlay " << bool(o);
                ASSERT_TRUE(Shows(mirror, 0, 256,
                                  [&](int c, int r) {
                                      const std::size_t i = VoxelIndex(x, c, r);
                                      return o && o[i] ? clean(c, r) : shown(vol[i]);
                                  }))
                    << "sagittal mirror, overlay " << bool(o);
            }
            // 181 columns from 37: whole blocks and a ragged end.
            for (int y : {0, 130, 255}) {
                QImage bmp = Marked(), mirror = Marked();
                zx::RenderCoronalFromCopy(cor.data(), y, 181, 37, bmp, &mirror, table);
                const auto voxel = [&](int k, int r) { return vol[VoxelIndex(k, y, r)]; };
                ASSERT_TRUE(
                    Shows(bmp, 37, 181, [&](int k, int r) { return GreyToColor(voxel(k, r)); }));
                ASSERT_TRUE(
                    Shows(mirror, 37, 181, [&](int k, int r) { return shown(voxel(k, r)); }));
            }
            for (int z : {3, 200}) {
                const auto voxel = [&](int k, int r) { return vol[VoxelIndex(k, r, z)]; };
                QImage bmp = Marked(), mirror = Marked();
                zx::RenderTransversalFromCopy(tra.data(), z, 181, 37, bmp, &mirror, table);
                ASSERT_TRUE(
                    Shows(bmp, 37, 181, [&](int k, int r) { return GreyToColor(voxel(k, r)); }));
                ASSERT_TRUE(
                    Shows(mirror, 37, 181, [&](int k, int r) { return shown(voxel(k, r)); }));
                QImage direct = Marked(), directMirror = Marked();
                zx::RenderTransversal(vol.data(), z, 181, 37, direct, &directMirror, table);
                EXPECT_EQ(direct, bmp);
                EXPECT_EQ(directMirror, mirror);
            }
        }
        QImage cbmp = Marked();
        zx::RenderCoronal(vol.data(), 9, 183, 0, cbmp);
        EXPECT_TRUE(Shows(cbmp, 0, 183,
                          [&](int k, int r) { return GreyToColor(vol[VoxelIndex(k, 9, r)]); }));
    }
}
