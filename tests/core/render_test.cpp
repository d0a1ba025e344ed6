// Section rendering against a plain per-pixel reference, the margins of the
// coronal and transversal views, and the red-channel overlay.
#include <gtest/gtest.h>

#include "core/render/sections.h"
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
