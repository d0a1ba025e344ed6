// The NIfTI reader's greys: scaling, the calibration window, the
// percentile window of images without one, values that are no numbers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "convert/nifti.h"
#include "convert/nifti_fixture.h"

namespace {

using namespace zxtest;

// ===========================================================================
// Intensities: scaling, display window, invalid values.

TEST_F(NiftiTest, ScaleSlopeAndInterceptAreApplied) {
    NiftiFields s;
    s.datatype = zxtest::kNiftiInt16;
    s.sclSlope = 2;
    s.sclInter = -10;
    s.calMin = -10;  // window in scaled units: raw 0..63 -> -10..116
    s.calMax = 116;
    const zx::ConvertedVolume v = zx::ConvertNifti(Write("scaled.nii", s, RampValues({0, 1})));
    EXPECT_TRUE(SameVolume(ExpectedRampVolume(), v.voxels));
}

TEST_F(NiftiTest, ZeroOrInvalidSlopeMeansUnscaled) {
    for (double slope : {0.0, std::numeric_limits<double>::quiet_NaN()}) {
        SCOPED_TRACE(slope);
        NiftiFields s;
        s.version = 2;
        s.sclSlope = slope;
        s.sclInter = 1000;  // ignored together with the slope
        s.calMin = 0;
        s.calMax = 63;
        const zx::ConvertedVolume v =
            zx::ConvertNifti(Write("unscaled.nii", s, RampValues({0, 1})));
        EXPECT_TRUE(SameVolume(ExpectedRampVolume(), v.voxels));
    }
}

TEST_F(NiftiTest, NanAndInfinityCountAsZero) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (int datatype : {zxtest::kNiftiFloat32, zxtest::kNiftiFloat64}) {
        SCOPED_TRACE(datatype);
        NiftiFields s;
        s.datatype = datatype;
        s.calMin = -10;  // 0 sits in the middle of the window
        s.calMax = 10;
        std::vector<double> values(64, -10);
        values[0] = nan;   // i=0 j=0 k=0
        values[1] = inf;   // i=1
        values[2] = -inf;  // i=2
        values[3] = 10;    // i=3: a finite reference
        const zx::ConvertedVolume v = zx::ConvertNifti(Write("nan.nii", s, values));
        // Row j=0, k=0 lies at y=129, z=129; x = 3 - i.
        EXPECT_EQ(At(v, 3, 129, 129), 128);
        EXPECT_EQ(At(v, 2, 129, 129), 128);
        EXPECT_EQ(At(v, 1, 129, 129), 128);
        EXPECT_EQ(At(v, 0, 129, 129), 255);
        EXPECT_EQ(At(v, 0, 128, 129), 0);
    }
}

TEST_F(NiftiTest, ExtremeValuesAndGainsGiveDefinedGreys) {
    // ±1.7e308 next to each other: interpolation meets ∞ − ∞.
    NiftiFields s;
    s.datatype = zxtest::kNiftiFloat64;
    std::vector<double> values(64);
    for (int i = 0; i < 64; ++i) values[std::size_t(i)] = (i % 2 ? 1.7e308 : -1.7e308);
    const zx::ConvertedVolume a = zx::ConvertNifti(Write("huge.nii", s, values));
    EXPECT_GT(a.planes, 0);
    // A window 5e-324 wide: the gain is infinite and 0 · ∞ is NaN.
    NiftiFields t;
    t.datatype = zxtest::kNiftiUInt8;
    t.version = 2;  // double-precision calibration fields
    t.calMin = 0;
    t.calMax = 5e-324;
    const zx::ConvertedVolume b =
        zx::ConvertNifti(Write("gain.nii", t, std::vector<double>(64, 0)));
    EXPECT_GT(b.planes, 0);
}

TEST_F(NiftiTest, CalibrationWindowClipsOutsideValues) {
    NiftiFields s;
    s.calMin = 16;
    s.calMax = 47;
    const zx::ConvertedVolume v = zx::ConvertNifti(Write("cal.nii", s, RampValues({0, 1})));
    // Value n sits at i = n % 4, j = (n / 4) % 4, k = n / 16.
    auto grey = [&](int n) { return At(v, 3 - n % 4, 126 + 3 - (n / 4) % 4, 126 + 3 - n / 16); };
    EXPECT_EQ(grey(0), 0);
    EXPECT_EQ(grey(16), 0);
    EXPECT_EQ(grey(20), std::lround(4 * 255.0 / 31));
    EXPECT_EQ(grey(40), std::lround(24 * 255.0 / 31));
    EXPECT_EQ(grey(47), 255);
    EXPECT_EQ(grey(63), 255);
}

TEST_F(NiftiTest, WithoutCalibrationOutliersAreIgnoredByPercentileWindow) {
    // 1000 voxels: 4 dark and 4 bright outliers around a body of values
    // spread evenly over 100..200. The window follows the body.
    NiftiFields s;
    s.dim = {3, 10, 10, 10, 1, 1, 1, 1};
    s.datatype = zxtest::kNiftiFloat32;
    std::vector<double> values(1000);
    for (int n = 0; n < 992; ++n) values[n] = 100 + n * 100.0 / 991;
    for (int n = 992; n < 996; ++n) values[n] = -5000;
    for (int n = 996; n < 1000; ++n) values[n] = 5000;
    // Shuffle deterministically so that position carries no order.
    std::mt19937 rng(7);
    std::vector<int> order(1000);
    for (int n = 0; n < 1000; ++n) order[n] = n;
    std::shuffle(order.begin(), order.end(), rng);
    std::vector<double> shuffled(1000);
    for (int n = 0; n < 1000; ++n) shuffled[order[n]] = values[n];

    const zx::ConvertedVolume v = zx::ConvertNifti(Write("auto.nii", s, shuffled));
    auto grey = [&](int n) {
        const int pos = order[n];
        return At(v, 9 - pos % 10, 123 + 9 - (pos / 10) % 10, 123 + 9 - pos / 100);
    };
    EXPECT_LE(grey(0), 1);           // 100
    EXPECT_NEAR(grey(495), 127, 2);  // ~150
    EXPECT_GE(grey(991), 254);       // 200
    EXPECT_EQ(grey(992), 0);         // dark outlier
    EXPECT_EQ(grey(996), 255);       // bright outlier
}

TEST_F(NiftiTest, IntegerSamplesGetTheSameWindowAsTheSameValuesStoredAsFloats) {
    // 8- and 16-bit images find their window by counting raw values; the
    // greys must equal those of the sorted float samples, for a rising and
    // a falling rescale, outliers included.
    std::mt19937 rng(3);
    for (auto [type, top] :
         {std::pair{zxtest::kNiftiInt16, 3000}, std::pair{zxtest::kNiftiUInt8, 255}}) {
        for (double slope : {1.5, -2.0}) {
            SCOPED_TRACE(slope);
            NiftiFields s;
            s.dim = {3, 24, 20, 16, 1, 1, 1, 1};
            s.datatype = type;
            s.sclSlope = slope;
            s.sclInter = 100;
            std::vector<double> values(24 * 20 * 16);
            for (double& v : values) v = double(rng() % std::uint32_t(top / 2));
            values[5] = top;  // one bright outlier
            const zx::ConvertedVolume counted = zx::ConvertNifti(Write("int.nii", s, values));
            s.datatype = zxtest::kNiftiFloat32;
            const zx::ConvertedVolume sorted = zx::ConvertNifti(Write("float.nii", s, values));
            EXPECT_TRUE(sorted.voxels == counted.voxels);
        }
    }
}

TEST_F(NiftiTest, InvertedOrEmptyCalibrationFallsBackToImageRange) {
    // A single marker in a dark image: the percentiles coincide, so the
    // whole value range is used and the marker stays visible.
    for (auto [calMin, calMax] : {std::pair{0.0, 0.0}, std::pair{50.0, 10.0}}) {
        SCOPED_TRACE(calMin);
        NiftiFields s;
        s.datatype = zxtest::kNiftiInt16;
        s.calMin = calMin;
        s.calMax = calMax;
        std::vector<double> values(64, 3);
        values[21] = 40;  // i=1 j=1 k=1
        const zx::ConvertedVolume v = zx::ConvertNifti(Write("marker.nii", s, values));
        EXPECT_EQ(At(v, 2, 128, 128), 255);
        EXPECT_EQ(At(v, 3, 128, 128), 0);
    }
}

}  // namespace
