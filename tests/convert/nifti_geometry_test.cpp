// The NIfTI reader's geometry: the same anatomy whatever axis order and
// direction the file stores, and cubic voxels that keep the proportions.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "base/volume_geometry.h"
#include "convert/nifti.h"
#include "convert/nifti_fixture.h"

namespace {

using namespace zxtest;

// ===========================================================================
// Orientation: the same anatomy stored with different axis orders and
// directions must give the same viewer volume.
//
// Anatomical test object: 5 voxels right->left (r), 6 anterior->posterior
// (a), 7 superior->inferior (s), with markers at four corners.

constexpr int kR = 5, kA = 6, kS = 7;

struct Marker {
    int r, a, s;
    int value;
};

const Marker kMarkers[] = {
    {0, 0, 0, 250},                // right, anterior, superior
    {kR - 1, 0, 0, 200},           // left,  anterior, superior
    {0, kA - 1, 0, 150},           // right, posterior, superior
    {0, 0, kS - 1, 100},           // right, anterior, inferior
    {kR - 1, kA - 1, kS - 1, 50},  // left,  posterior, inferior
};

Volume ExpectedAnatomy() {
    Volume v;
    const int y0 = (zx::kEdge - kA) / 2, z0 = (zx::kEdge - kS) / 2;
    for (const Marker& m : kMarkers) v.Set(m.r, y0 + m.a, z0 + m.s, m.value);
    return v;
}

struct Layout {
    const char* name;
    std::array<std::int64_t, 3> dims;
    std::function<std::array<int, 3>(int r, int a, int s)> index;  // anatomy -> (i, j, k)
    std::function<void(NiftiFields&)> transform;
};

void SetSform(NiftiFields& s, std::array<std::array<double, 4>, 3> rows) {
    s.sformCode = 2;
    s.srow = rows;
}

const Layout kLayouts[] = {
    {"RasWithoutTransform",
     {kR, kA, kS},
     [](int r, int a, int s) {
         return std::array{kR - 1 - r, kA - 1 - a, kS - 1 - s};
     },
     [](NiftiFields&) {}},
    {"RasSform",
     {kR, kA, kS},
     [](int r, int a, int s) {
         return std::array{kR - 1 - r, kA - 1 - a, kS - 1 - s};
     },
     [](NiftiFields& s) {
         SetSform(s, {{{1, 0, 0, -2}, {0, 1, 0, -3}, {0, 0, 1, 4}}});
     }},
    {"LpsSform",
     {kR, kA, kS},
     [](int r, int a, int s) {
         return std::array{r, a, kS - 1 - s};
     },
     [](NiftiFields& s) {
         SetSform(s, {{{-1, 0, 0, 2}, {0, -1, 0, 3}, {0, 0, 1, -3}}});
     }},
    {"LpsQformHalfTurnAboutZ",
     {kR, kA, kS},
     [](int r, int a, int s) {
         return std::array{r, a, kS - 1 - s};
     },
     [](NiftiFields& s) {
         s.qformCode = 1;
         s.quatern = {0, 0, 1};
     }},
    {"QformQuarterTurnAboutZ",
     {kA, kR, kS},  // i: posterior->anterior, j: right->left
     [](int r, int a, int s) {
         return std::array{kA - 1 - a, r, kS - 1 - s};
     },
     [](NiftiFields& s) {
         s.qformCode = 1;
         s.quatern = {0, 0, std::sqrt(0.5)};
     }},
    {"QformThirdTurnAboutDiagonal",
     {kA, kS, kR},  // i -> anterior, j -> superior, k -> right
     [](int r, int a, int s) {
         return std::array{kA - 1 - a, kS - 1 - s, kR - 1 - r};
     },
     [](NiftiFields& s) {
         s.qformCode = 1;
         s.quatern = {0.5, 0.5, 0.5};
     }},
    {"QformWithNegativeQfac",
     {kR, kA, kS},  // k runs toward inferior
     [](int r, int a, int s) {
         return std::array{kR - 1 - r, kA - 1 - a, s};
     },
     [](NiftiFields& s) {
         s.qformCode = 1;
         s.pixdim[0] = -1;
     }},
    {"PermutedSform",
     {kS, kR, kA},  // i: superior->inferior, j: left->right, k: anterior->posterior
     [](int r, int a, int s) {
         return std::array{s, kR - 1 - r, a};
     },
     [](NiftiFields& s) {
         SetSform(s, {{{0, 1, 0, 0}, {0, 0, -1, 0}, {-1, 0, 0, 0}}});
     }},
    {"PermutedSlightlyObliqueSform",
     {kS, kR, kA},  // as above, rotated 12 degrees about z
     [](int r, int a, int s) {
         return std::array{s, kR - 1 - r, a};
     },
     [](NiftiFields& s) {
         const double c = std::cos(12 * std::numbers::pi / 180),
                      n = std::sin(12 * std::numbers::pi / 180);
         // Columns (i, j, k) = R * (0,0,-1), R * (1,0,0), R * (0,-1,0).
         SetSform(s, {{{0, c, n, 0}, {0, n, -c, 0}, {-1, 0, 0, 0}}});
     }},
    {"SformWinsOverQform",
     {kR, kA, kS},  // qform claims RAS, sform says LPS
     [](int r, int a, int s) {
         return std::array{r, a, kS - 1 - s};
     },
     [](NiftiFields& s) {
         s.qformCode = 1;
         SetSform(s, {{{-1, 0, 0, 0}, {0, -1, 0, 0}, {0, 0, 1, 0}}});
     }},
    {"QformUsedWhenSformCodeIsZero",
     {kR, kA, kS},  // stale sform rows are ignored
     [](int r, int a, int s) {
         return std::array{r, a, kS - 1 - s};
     },
     [](NiftiFields& s) {
         s.qformCode = 1;
         s.quatern = {0, 0, 1};
         s.srow = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}}};
     }},
};

void PrintTo(const Layout& l, std::ostream* os) { *os << l.name; }

class NiftiOrientationTest : public NiftiTest,
                             public ::testing::WithParamInterface<std::tuple<Layout, int>> {};

TEST_P(NiftiOrientationTest, MarkersLandOnTheirAnatomicalPositions) {
    const auto& [layout, version] = GetParam();
    NiftiFields s;
    s.version = version;
    s.bigEndian = version == 2;
    s.dim = {3, layout.dims[0], layout.dims[1], layout.dims[2], 1, 1, 1, 1};
    s.calMin = 0;
    s.calMax = 255;
    layout.transform(s);

    std::vector<double> values(kR * kA * kS, 0);
    for (const Marker& m : kMarkers) {
        const auto [i, j, k] = layout.index(m.r, m.a, m.s);
        values[static_cast<std::size_t>(i + layout.dims[0] * (j + layout.dims[1] * k))] = m.value;
    }
    const zx::ConvertedVolume v = zx::ConvertNifti(Write("anatomy.nii", s, values));
    EXPECT_EQ(v.planes, kR);
    EXPECT_NEAR(v.voxelEdgeMm, 1.0, 1e-6);  // oblique columns hold rounded cosines
    EXPECT_TRUE(SameVolume(ExpectedAnatomy(), v.voxels));
}

INSTANTIATE_TEST_SUITE_P(Layouts, NiftiOrientationTest,
                         ::testing::Combine(::testing::ValuesIn(kLayouts), ::testing::Values(1, 2)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + "_NIfTI" +
                                    std::to_string(std::get<1>(info.param));
                         });

// ===========================================================================
// Geometry: cubic output voxels that keep the physical proportions.

TEST_F(NiftiTest, ThickSlicesAreInterpolatedToCubicVoxels) {
    // 8 x 8 in-plane at 1 mm, 4 axial slices of 3 mm: 12 mm top to bottom.
    // Slices stored bottom-up (k toward superior) and top-down must agree.
    for (bool topDown : {false, true}) {
        SCOPED_TRACE(topDown ? "top-down" : "bottom-up");
        NiftiFields s;
        s.dim = {3, 8, 8, 4, 1, 1, 1, 1};
        s.pixdim = {1, 1, 1, 3, 0, 0, 0, 0};
        s.calMin = 0;
        s.calMax = 255;
        if (topDown) {
            s.sformCode = 1;
            s.srow = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, -3, 0}}};
        }
        std::vector<double> values(256);
        for (int k = 0; k < 4; ++k) {
            const int fromBottom = topDown ? 3 - k : k;
            for (int n = 0; n < 64; ++n)
                values[k * 64 + n] = 40 + 60 * fromBottom;  // top slice is 220
        }
        const zx::ConvertedVolume v = zx::ConvertNifti(Write("thick.nii", s, values));

        EXPECT_EQ(v.planes, 8);
        EXPECT_DOUBLE_EQ(v.voxelEdgeMm, 1.0);
        // 12 output rows centred in z (rows 122..133); slice centres at 1.5,
        // 4.5, 7.5 and 10.5 mm from the top, linear in between, constant
        // beyond the outermost centres.
        const int expected[12] = {220, 220, 200, 180, 160, 140, 120, 100, 80, 60, 40, 40};
        for (int x : {0, 7})
            for (int y : {124, 131})
                for (int row = 0; row < 12; ++row)
                    EXPECT_EQ(At(v, x, y, 122 + row), expected[row]) << row;
        EXPECT_EQ(At(v, 3, 127, 121), 0);
        EXPECT_EQ(At(v, 3, 127, 134), 0);
        EXPECT_EQ(At(v, 3, 123, 127), 0);
        EXPECT_EQ(At(v, 3, 132, 127), 0);
        EXPECT_EQ(At(v, 8, 127, 127), 0);
    }
}

TEST_F(NiftiTest, FineVoxelsKeepTheirResolution) {
    // 0.5 x 0.5 x 2 mm: the output uses the finest spacing, 0.5 mm.
    NiftiFields s;
    s.dim = {3, 16, 16, 4, 1, 1, 1, 1};
    s.pixdim = {1, 0.5, 0.5, 2, 0, 0, 0, 0};
    s.calMin = 0;
    s.calMax = 255;
    const zx::ConvertedVolume v =
        zx::ConvertNifti(Write("fine.nii", s, std::vector<double>(1024, 255)));
    EXPECT_EQ(v.planes, 16);
    EXPECT_DOUBLE_EQ(v.voxelEdgeMm, 0.5);
    // 8 mm in each direction -> 16 cubic voxels, rows/columns 120..135.
    EXPECT_EQ(At(v, 15, 120, 120), 255);
    EXPECT_EQ(At(v, 0, 135, 135), 255);
    EXPECT_EQ(At(v, 0, 119, 127), 0);
    EXPECT_EQ(At(v, 0, 127, 136), 0);
}

TEST_F(NiftiTest, LargeImageIsShrunkToFitWithUniformScale) {
    // 300 mm right-left, 20 mm front-back, 10 mm top-bottom: the largest
    // extent sets the voxel edge to 300/256 mm.
    NiftiFields s;
    s.dim = {3, 300, 20, 10, 1, 1, 1, 1};
    s.calMin = 0;
    s.calMax = 255;
    const zx::ConvertedVolume v =
        zx::ConvertNifti(Write("wide.nii", s, std::vector<double>(300 * 20 * 10, 200)));
    EXPECT_EQ(v.planes, 256);
    EXPECT_DOUBLE_EQ(v.voxelEdgeMm, 300.0 / 256);
    // round(20 / 1.171875) = 17 columns (119..135), round(10 / 1.171875) = 9 rows (123..131).
    for (int x : {0, 255}) {
        EXPECT_EQ(At(v, x, 119, 123), 200);
        EXPECT_EQ(At(v, x, 135, 131), 200);
        EXPECT_EQ(At(v, x, 118, 127), 0);
        EXPECT_EQ(At(v, x, 136, 127), 0);
        EXPECT_EQ(At(v, x, 127, 122), 0);
        EXPECT_EQ(At(v, x, 127, 132), 0);
    }
}

TEST_F(NiftiTest, ShrunkGridIsCentredOnTheImage) {
    // 10 mm front to back become 9 voxels of 300/256 mm, 0.55 mm more than
    // the image: the excess is split evenly, so a linear ramp from front
    // (180) to back (0) comes out point-symmetric about its middle.
    NiftiFields s;
    s.dim = {3, 300, 10, 10, 1, 1, 1, 1};
    s.calMin = 0;
    s.calMax = 255;
    std::vector<double> values(300 * 10 * 10);
    for (std::size_t n = 0; n < values.size(); ++n)
        values[n] = 20.0 * static_cast<double>((n / 300) % 10);
    const zx::ConvertedVolume v = zx::ConvertNifti(Write("ramp.nii", s, values));
    const int y0 = (zx::kEdge - 9) / 2;
    for (int x : {0, 128, 255}) {
        for (int o = 0; o < 9; ++o) {
            EXPECT_NEAR(At(v, x, y0 + o, 127) + At(v, x, y0 + 8 - o, 127), 180, 1) << o;
            if (o > 0) {
                EXPECT_LT(At(v, x, y0 + o, 127), At(v, x, y0 + o - 1, 127)) << o;
            }
        }
        EXPECT_EQ(At(v, x, y0, 127), 180);  // clamped at the front edge
        EXPECT_EQ(At(v, x, y0 + 8, 127), 0);
    }
}

TEST_F(NiftiTest, VoxelSizeComesFromTransformNotPixdim) {
    // pixdim says 1 mm, the sform says 2 x 2 x 6 mm (and wins).
    NiftiFields s;
    s.calMin = 0;
    s.calMax = 255;
    s.sformCode = 1;
    s.srow = {{{2, 0, 0, 0}, {0, 2, 0, 0}, {0, 0, 6, 0}}};
    const zx::ConvertedVolume v =
        zx::ConvertNifti(Write("sized.nii", s, std::vector<double>(64, 255)));
    EXPECT_EQ(v.planes, 4);
    EXPECT_DOUBLE_EQ(v.voxelEdgeMm, 2.0);
    int rows = 0;
    for (int z = 0; z < zx::kEdge; ++z) rows += At(v, 1, 127, z) == 255;
    EXPECT_EQ(rows, 12);  // 24 mm / 2 mm
}

}  // namespace
