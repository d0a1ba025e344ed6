// The 3-D view's ray caster: projections along the axes, the cut faces
// against the section pictures, and picking.
#include "core/render3d/render3d.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "core/render/sections.h"
#include "core/volume/volume.h"

namespace {

using zx::VoxelIndex;

/// Random greys; with `sparse`, only one voxel in 64 is not 0, so that the
/// maxima along a line of 256 voxels differ from pixel to pixel.
std::vector<std::uint8_t> RandomVolume(bool sparse) {
    std::vector<std::uint8_t> v(zx::kVolumeBytes);
    std::mt19937 rng(11);
    for (auto& b : v) {
        const unsigned r = rng();
        b = sparse ? ((r & 63) == 0 ? std::uint8_t(1 + (r >> 8) % 255) : 0)
                   : std::uint8_t(1 + r % 255);
    }
    return v;
}

/// Pixels of `pic` in columns [c0, c1) and rows [r0, r1) that differ from `expected`.
int Mismatches(const QImage& pic, const QImage& expected, int c0, int c1, int r0, int r1) {
    int bad = 0;
    for (int r = r0; r < r1; ++r)
        for (int c = c0; c < c1; ++c) bad += pic.pixel(c, r) != expected.pixel(c, r);
    return bad;
}

TEST(Render3D, MipAlongEachAxisIsTheMaximumOfTheGreysExactly) {
    const auto vol = RandomVolume(true);
    for (const int count : {256, 181}) {
        const int off = (256 - count) / 2;
        zx::Renderer3D r;
        r.SetVolume(vol.data(), count);
        zx::Render3DOptions o;
        o.mode = zx::Render3DMode::Mip;
        QImage front(256, 256, QImage::Format_RGB32), side = front, below = front;
        for (int a = 0; a < 256; ++a) {
            for (int b = 0; b < 256; ++b) {
                int f = 0, s = 0, u = 0;  // along y, x and z
                for (int k = 0; k < 256; ++k) {
                    if (a >= off && a < off + count) {
                        f = std::max<int>(f, vol[VoxelIndex(a - off, k, b)]);
                        u = std::max<int>(u, vol[VoxelIndex(a - off, b, k)]);
                    }
                    if (k < count) s = std::max<int>(s, vol[VoxelIndex(k, a, b)]);
                }
                front.setPixel(a, b, zx::GreyToColor(std::uint8_t(f)));
                side.setPixel(a, b, zx::GreyToColor(std::uint8_t(s)));
                below.setPixel(a, b, zx::GreyToColor(std::uint8_t(u)));
            }
        }
        o.camera = {0, 0, 1};
        EXPECT_EQ(Mismatches(r.Render(o, 256), front, 0, 256, 0, 256), 0) << count;
        o.camera = {90, 0, 1};
        EXPECT_EQ(Mismatches(r.Render(o, 256), side, 0, 256, 0, 256), 0) << count;
        o.camera = {0, -90, 1};
        EXPECT_EQ(Mismatches(r.Render(o, 256), below, 0, 256, 0, 256), 0) << count;
    }
}

TEST(Render3D, CutFacesShowTheSectionPictures) {
    const auto vol = RandomVolume(false);
    const int count = 180, off = 38;
    const zx::Voxel cut{70, 100, 140};
    zx::Renderer3D r;
    r.SetVolume(vol.data(), count);
    zx::Render3DOptions o;
    o.ramp = {0, 1};
    o.cut = cut;
    QImage section = zx::NewSectionBitmap();
    // From anterior the octant x < 70, y < 100, z < 140 is open: the face
    // at the back is the coronal section 100.
    zx::RenderCoronal(vol.data(), cut.y, count, off, section);
    o.camera = {0, 0, 1};
    const QImage front = r.Render(o, 256);
    EXPECT_EQ(Mismatches(front, section, off, off + cut.x, 0, cut.z), 0);
    EXPECT_NE(Mismatches(front, section, off + cut.x, off + count, 0, cut.z), 0);  // shaded surface
    // From the left: x > 70, y < 100, z < 140 is open, sagittal section 70.
    zx::RenderSagittal(vol.data(), cut.x, section);
    o.camera = {90, 0, 1};
    EXPECT_EQ(Mismatches(r.Render(o, 256), section, 0, cut.y, 0, cut.z), 0);
    // From below: x < 70, y < 100, z > 140 is open, transversal section 140.
    zx::RenderTransversal(vol.data(), cut.z, count, off, section);
    o.camera = {0, -90, 1};
    EXPECT_EQ(Mismatches(r.Render(o, 256), section, off, off + cut.x, 0, cut.y), 0);
    // Nothing beyond the opening is cut: a shaded pixel is never grey.
    const auto greys = [](const QImage& pic) {
        int n = 0;
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) {
                const QRgb p = pic.pixel(x, y);
                n += qRed(p) > 0 && qRed(p) == qBlue(p);
            }
        return n;
    };
    EXPECT_EQ(greys(r.Render(o, 256)), cut.x * cut.y);
    o.camera = {90, 0, 1};
    EXPECT_EQ(greys(r.Render(o, 256)), cut.y * cut.z);
    o.camera = {0, 0, 1};
    EXPECT_EQ(greys(front), cut.x * cut.z);
    // A colour layer lies over the cut faces with its alpha.
    const std::vector<std::uint8_t> labels(zx::kVolumeBytes, 1);
    std::uint32_t colours[256] = {0, 0xff00ff00u};
    o.labels = labels.data();
    o.labelColours = colours;
    EXPECT_EQ(r.Render(o, 256).pixel(off + 5, 7), 0xff00ff00u);
}

TEST(Render3D, AnObliqueCutOpensTheSameOctantAsItsPointReflection) {
    // The volume reflected through the box's centre, seen from the opposite
    // side, must show the same picture upside down: the octant's faces
    // lie on the same voxels whichever way the camera looks along an axis.
    const auto vol = RandomVolume(false);
    std::vector<std::uint8_t> turned(vol.size());
    for (int x = 0; x < 256; ++x)
        for (int z = 0; z < 256; ++z)
            for (int y = 0; y < 256; ++y)
                turned[VoxelIndex(255 - x, 255 - y, 255 - z)] = vol[VoxelIndex(x, y, z)];
    zx::Renderer3D r, t;
    r.SetVolume(vol.data(), 256);
    t.SetVolume(turned.data(), 256);
    zx::Render3DOptions o;
    o.ramp = {0, 1};
    o.cut = zx::Voxel{120, 110, 130};
    o.camera = {30, 20, 1};
    const QImage a = r.Render(o, 256);
    o.cut = zx::Voxel{255 - 120, 255 - 110, 255 - 130};
    o.camera = {210, -20, 1};
    const QImage b = t.Render(o, 256);
    int grey = 0, bad = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, 255 - y);
            grey += qRed(p) == qBlue(p);
            bad += std::abs(qRed(p) - qRed(q)) > 1 || std::abs(qBlue(p) - qBlue(q)) > 1;
        }
    EXPECT_GT(grey, 5000);  // the three faces show
    EXPECT_LT(bad, 64);     // rounding at voxel borders only
}

// Zoom 2 about the box's centre: pixel p shows column 64 + p / 2 (its
// centre at 64.25 or 64.75). Half resolution: one colour per 2 x 2 block.
TEST(Render3D, ZoomAndHalfResolutionOfTheMip) {
    const auto vol = RandomVolume(true);
    zx::Renderer3D r;
    r.SetVolume(vol.data(), 256);
    zx::Render3DOptions o;
    o.mode = zx::Render3DMode::Mip;
    o.camera = {0, 0, 2};
    const QImage zoomed = r.Render(o, 256);
    int bad = 0;
    for (int py = 0; py < 256; ++py)
        for (int px = 0; px < 256; ++px) {
            int m = 0;
            for (int y = 0; y < 256; ++y)
                m = std::max<int>(m, vol[VoxelIndex(64 + px / 2, y, 64 + py / 2)]);
            bad += zoomed.pixel(px, py) != zx::GreyToColor(std::uint8_t(m));
        }
    EXPECT_EQ(bad, 0);

    // Each block's ray passes through the block's centre, where the ray of
    // the picture half the size passes.
    o.camera = {30, 20, 1};
    const QImage small = r.Render(o, 128);
    o.halfResolution = true;
    const QImage half = r.Render(o, 256);
    bad = 0;
    for (int py = 0; py < 256; ++py)
        for (int px = 0; px < 256; ++px) bad += half.pixel(px, py) != small.pixel(px / 2, py / 2);
    EXPECT_EQ(bad, 0);
}

// Large pictures of the surface: rays at the even pixels, the others from
// their neighbours where those agree. Against every pixel traced, on an
// ellipsoid with a rippled inside, cut open: the mean difference stays
// under a grey, and few pixels differ by more than the agreement allowed.
TEST(Render3D, ARefinedLargeFrameIsCloseToEveryPixelTraced) {
    std::vector<std::uint8_t> vol(zx::kVolumeBytes, 0);
    for (int x = 0; x < 256; ++x)
        for (int y = 0; y < 256; ++y)
            for (int z = 0; z < 256; ++z) {
                const double dx = (x - 128) / 90.0, dy = (y - 128) / 110.0, dz = (z - 128) / 100.0;
                if (dx * dx + dy * dy + dz * dz < 1)
                    vol[VoxelIndex(x, y, z)] =
                        std::uint8_t(140 + 60 * std::sin(x / 7.0) * std::cos(z / 11.0));
            }
    zx::Renderer3D r;
    r.SetVolume(vol.data(), 256);
    zx::Render3DOptions o;
    o.camera = {30, 20, 1};
    o.cut = zx::Voxel{128, 128, 128};
    const QImage refined = r.Render(o, 512);
    o.refine = false;
    const QImage traced = r.Render(o, 512);
    double sum = 0;
    int far = 0;
    for (int py = 0; py < 512; ++py)
        for (int px = 0; px < 512; ++px) {
            const QRgb a = refined.pixel(px, py), b = traced.pixel(px, py);
            const int d = std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                    std::abs(qBlue(a) - qBlue(b))});
            sum += d;
            far += d > 20;
        }
    EXPECT_LT(sum / (512 * 512), 1.0);
    EXPECT_LT(far, 512 * 512 / 100);
}

// Half the data planes background 20, a quarter each 80 and 140: Otsu's
// between-class variance is largest, and equal, for every threshold from
// 20 to 79 (0.25 · 90²), so the first, 20, is taken; high 20 + 20 / 2.
// The planes past the slice count do not count.
TEST(Render3D, TheRampFromTheHistogramSeparatesBackgroundAndTissue) {
    std::vector<std::uint8_t> vol(zx::kVolumeBytes, 250);
    const std::size_t data = 128 * std::size_t(zx::kPlaneBytes);
    std::fill_n(vol.begin(), data / 2, std::uint8_t(20));
    std::fill_n(vol.begin() + std::ptrdiff_t(data / 2), data / 4, std::uint8_t(80));
    std::fill_n(vol.begin() + std::ptrdiff_t(data * 3 / 4), data / 4, std::uint8_t(140));
    const zx::OpacityRamp ramp = zx::RampFromHistogram(vol.data(), 128);
    EXPECT_EQ(ramp.low, 20);
    EXPECT_EQ(ramp.high, 30);
}

TEST(Render3D, MipPickIsTheVoxelOfTheMaximum) {
    std::vector<std::uint8_t> vol(zx::kVolumeBytes, 0);
    vol[VoxelIndex(20, 30, 40)] = 100;
    vol[VoxelIndex(20, 200, 40)] = 150;  // the maximum along y at x 20, z 40
    vol[VoxelIndex(150, 30, 40)] = 180;  // along x at y 30, z 40
    vol[VoxelIndex(20, 30, 220)] = 250;  // along z at x 20, y 30
    const int off = 38;
    zx::Renderer3D r;
    r.SetVolume(vol.data(), 180);
    zx::Render3DOptions o;
    o.mode = zx::Render3DMode::Mip;
    using V = std::optional<zx::Voxel>;
    o.camera = {0, 0, 1};
    EXPECT_EQ(r.Pick(o, 256, off + 20, 40), V(zx::Voxel{20, 200, 40}));
    EXPECT_EQ(r.Pick(o, 512, 2 * (off + 20) + 1, 81), V(zx::Voxel{20, 200, 40}));
    o.camera = {90, 0, 1};
    EXPECT_EQ(r.Pick(o, 256, 30, 40), V(zx::Voxel{150, 30, 40}));
    o.camera = {0, -90, 1};
    EXPECT_EQ(r.Pick(o, 256, off + 20, 30), V(zx::Voxel{20, 30, 220}));
}

// Lone voxels at the edges of the blocks, cells and bricks the rays skip
// by, and at the grid's faces: each is found where it is drawn, for the
// ramp asked for (the skipping is kept per ramp).
TEST(Render3D, NoLoneVoxelIsSkipped) {
    std::vector<std::uint8_t> vol(zx::kVolumeBytes, 0);
    const int xs[] = {0, 3, 4, 7, 8, 100, 179};
    const int edges[] = {0, 1, 3, 4, 7, 8, 31, 32, 127, 128, 254, 255};
    std::vector<zx::Voxel> lone;
    for (int i = 0; i < 7; ++i)
        for (int k = 0; k < 12; ++k) lone.push_back({xs[i], edges[(i + k) % 12], edges[k]});
    for (const zx::Voxel& v : lone) vol[VoxelIndex(v.x, v.y, v.z)] = 150;
    const int off = 38;
    zx::Renderer3D r;
    r.SetVolume(vol.data(), 180);
    zx::Render3DOptions o;
    o.camera = {0, 0, 1};  // along y: pixel (off + x, z)
    for (const int low : {50, 200, 50}) {
        o.ramp = {low, low + 20};
        for (const zx::Voxel& v : lone) {
            const auto seen = r.Pick(o, 256, off + v.x, v.z);
            if (low < 150)
                EXPECT_EQ(seen, std::optional<zx::Voxel>(v)) << v.x << " " << v.y << " " << v.z;
            else
                EXPECT_EQ(seen, std::nullopt);
        }
    }
}

TEST(Render3D, PickFindsTheVoxelDrawnAtAPixel) {
    std::vector<std::uint8_t> vol(zx::kVolumeBytes, 0);
    for (int x = 60; x < 120; ++x)
        for (int z = 50; z < 200; ++z)
            std::fill_n(vol.begin() + std::ptrdiff_t(VoxelIndex(x, 80, z)), 80, std::uint8_t(200));
    const int off = 38;
    zx::Renderer3D r;
    r.SetVolume(vol.data(), 180);
    zx::Render3DOptions o;
    o.ramp = {50, 100};
    using V = std::optional<zx::Voxel>;
    o.camera = {0, 0, 1};  // from anterior: the block's front face y = 80
    EXPECT_EQ(r.Pick(o, 256, off + 70, 100), V(zx::Voxel{70, 80, 100}));
    EXPECT_EQ(r.Pick(o, 512, 2 * (off + 70), 200), V(zx::Voxel{70, 80, 100}));
    EXPECT_EQ(r.Pick(o, 256, off + 10, 100), std::nullopt);
    o.camera = {90, 0, 1};  // from the left: x = 119
    EXPECT_EQ(r.Pick(o, 256, 100, 60), V(zx::Voxel{119, 100, 60}));
    o.camera = {0, 90, 1};  // from above, anterior at the bottom: z = 50
    EXPECT_EQ(r.Pick(o, 256, off + 61, 255 - 90), V(zx::Voxel{61, 90, 50}));
    o.camera = {0, 0, 1};  // the cut face y = 120 behind the opened octant
    o.cut = zx::Voxel{90, 120, 100};
    EXPECT_EQ(r.Pick(o, 256, off + 70, 90), V(zx::Voxel{70, 120, 90}));
    // Oblique: a voxel of the block with an empty neighbour on the viewer's side.
    o.cut.reset();
    o.camera = {30, 20, 1};
    const V v = r.Pick(o, 256, 128, 128);
    ASSERT_TRUE(v);
    EXPECT_EQ(vol[VoxelIndex(v->x, v->y, v->z)], 200);
    // Seen from the patient's left, in front and above: x + 1, y − 1, z − 1.
    EXPECT_TRUE(vol[VoxelIndex(v->x + 1, v->y, v->z)] == 0 ||
                vol[VoxelIndex(v->x, v->y - 1, v->z)] == 0 ||
                vol[VoxelIndex(v->x, v->y, v->z - 1)] == 0);
}

}  // namespace
