#include "convert/nifti.h"
#include "convert/plane_stream.h"
#include "support/nifti_writer.h"
#include "support/reference_resampler.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <numbers>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kGrid = 256;
constexpr std::size_t kVolumeBytes = std::size_t{kGrid} * kGrid * kGrid;

using zxtest::Gzip;
using zxtest::NiftiFields;

// ---------------------------------------------------------------------------
// Viewer volume helpers.

std::size_t Offset(int x, int y, int z) {
    return static_cast<std::size_t>(x) * 65536 + static_cast<std::size_t>(z) * 256 + static_cast<std::size_t>(y);
}

std::uint8_t At(const zx::ConvertedVolume& v, int x, int y, int z) { return v.voxels[Offset(x, y, z)]; }

// Expected viewer volume given by its non-zero voxels; everything else must
// be 0. Kept sparse so that tests do not allocate a second 16 MiB volume.
class Volume {
public:
    void Set(int x, int y, int z, int value) { voxels_[Offset(x, y, z)] = static_cast<std::uint8_t>(value); }
    const std::map<std::size_t, std::uint8_t>& voxels() const { return voxels_; }

private:
    std::map<std::size_t, std::uint8_t> voxels_;
};

std::string Describe(std::size_t offset) {
    return "x=" + std::to_string(offset / 65536) + " y=" + std::to_string(offset % 256) +
           " z=" + std::to_string((offset / 256) % 256);
}

::testing::AssertionResult SameVolume(const Volume& expected, const std::vector<std::uint8_t>& actual) {
    if (actual.size() != kVolumeBytes)
        return ::testing::AssertionFailure() << "volume has " << actual.size() << " bytes, expected "
                                             << kVolumeBytes;
    auto nonZero = [](std::uint8_t b) { return b != 0; };
    std::size_t pos = 0;
    auto checkZeroUpTo = [&](std::size_t end) -> ::testing::AssertionResult {
        const auto it = std::find_if(actual.begin() + static_cast<std::ptrdiff_t>(pos),
                                     actual.begin() + static_cast<std::ptrdiff_t>(end), nonZero);
        if (it != actual.begin() + static_cast<std::ptrdiff_t>(end)) {
            const auto at = static_cast<std::size_t>(it - actual.begin());
            return ::testing::AssertionFailure() << "unexpected value " << int(*it) << " at " << Describe(at);
        }
        return ::testing::AssertionSuccess();
    };
    for (const auto& [offset, value] : expected.voxels()) {
        if (auto r = checkZeroUpTo(offset); !r) return r;
        if (actual[offset] != value)
            return ::testing::AssertionFailure() << "got " << int(actual[offset]) << " at " << Describe(offset)
                                                 << ", expected " << int(value);
        pos = offset + 1;
    }
    return checkZeroUpTo(actual.size());
}

// Grey value of index/63 of the 0..255 range, as for a 64-step ramp over
// the full display window.
std::uint8_t RampGrey(int index) { return static_cast<std::uint8_t>(std::lround(index * 255.0 / 63.0)); }

// ---------------------------------------------------------------------------

class NiftiTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device rd;
        dir_ = fs::temp_directory_path() /
               ("zx-nifti-test-" + std::to_string(rd()) + "-" + std::to_string(rd()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    std::string WriteBytes(const std::string& name, const std::vector<unsigned char>& bytes) {
        const fs::path path = dir_ / name;
        std::ofstream f(path, std::ios::binary);
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        EXPECT_TRUE(f.good());
        return path.string();
    }

    std::string Write(const std::string& name, const NiftiFields& s, const std::vector<double>& values) {
        return WriteBytes(name, zxtest::NiftiFile(s, values));
    }

    // Writes a header followed by `dataBytes` zero bytes, or nothing if no
    // count is given.
    std::string WriteHeaderOnly(const std::string& name, const NiftiFields& s, std::size_t dataBytes = 0) {
        return WriteBytes(name, zxtest::NiftiHeaderFile(s, dataBytes));
    }

    fs::path dir_;
};

// A 4x4x4 ramp 0..63 (index i + 4j + 16k) stored as RAS without a transform,
// with base + step * index as the voxel values and the display window set to
// exactly the ramp's range.
struct Ramp {
    double base = 0;
    double step = 1;
};

std::vector<double> RampValues(const Ramp& r) {
    std::vector<double> v(64);
    for (int n = 0; n < 64; ++n) v[n] = r.base + r.step * n;
    return v;
}

// Where the 4x4x4 RAS ramp lands: i toward the right -> x = 3 - i; j toward
// anterior -> y = 126 + 3 - j; k toward superior -> z = 126 + 3 - k.
Volume ExpectedRampVolume() {
    Volume v;
    for (int k = 0; k < 4; ++k)
        for (int j = 0; j < 4; ++j)
            for (int i = 0; i < 4; ++i) v.Set(3 - i, 126 + 3 - j, 126 + 3 - k, RampGrey(i + 4 * j + 16 * k));
    return v;
}

// ===========================================================================
// Data types x storage variants (byte order, NIfTI version, compression).

struct TypeCase {
    const char* name;
    int datatype;
    Ramp ramp;  // chosen to exercise sign and the full width of each type
};

struct StorageCase {
    const char* name;
    int version;
    bool bigEndian;
    bool gzip;
};

const TypeCase kTypes[] = {
    {"uint8", zxtest::kNiftiUInt8, {0, 4}},
    {"int8", zxtest::kNiftiInt8, {-128, 4}},
    {"int16", zxtest::kNiftiInt16, {-30000, 900}},
    {"uint16", zxtest::kNiftiUInt16, {1000, 1000}},          // above 32767: must not be read as signed
    {"int32", zxtest::kNiftiInt32, {-2000000000, 60000000}},
    {"uint32", zxtest::kNiftiUInt32, {3000000000.0, 16000000}},  // above 2^31
    {"float32", zxtest::kNiftiFloat32, {-1.5, 0.25}},
    {"float64", zxtest::kNiftiFloat64, {-1e10, 1e9}},
};

const StorageCase kStorages[] = {
    {"N1LittlePlain", 1, false, false},
    {"N1BigGzip", 1, true, true},
    {"N2LittleGzip", 2, false, true},
    {"N2BigPlain", 2, true, false},
};

// Readable names for failure messages.
void PrintTo(const TypeCase& c, std::ostream* os) { *os << c.name; }
void PrintTo(const StorageCase& c, std::ostream* os) { *os << c.name; }

class NiftiDataTypeTest : public NiftiTest,
                          public ::testing::WithParamInterface<std::tuple<TypeCase, StorageCase>> {};

TEST_P(NiftiDataTypeTest, RampDecodesToExpectedGreyValues) {
    const auto& [type, storage] = GetParam();
    NiftiFields s;
    s.version = storage.version;
    s.bigEndian = storage.bigEndian;
    s.gzip = storage.gzip;
    s.datatype = type.datatype;
    s.calMin = type.ramp.base;
    s.calMax = type.ramp.base + 63 * type.ramp.step;

    const zx::ConvertedVolume v = zx::ConvertNifti(Write("ramp.nii", s, RampValues(type.ramp)));
    EXPECT_EQ(v.planes, 4);
    EXPECT_DOUBLE_EQ(v.voxelEdgeMm, 1.0);
    EXPECT_TRUE(SameVolume(ExpectedRampVolume(), v.voxels));
}

INSTANTIATE_TEST_SUITE_P(AllTypesAndStorages, NiftiDataTypeTest,
                         ::testing::Combine(::testing::ValuesIn(kTypes), ::testing::ValuesIn(kStorages)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    std::get<1>(info.param).name;
                         });

// ===========================================================================
// File container details.

TEST_F(NiftiTest, CompressionIsRecognisedByContentNotByName) {
    NiftiFields s;
    s.calMin = 0;
    s.calMax = 63;
    const std::vector<double> values = RampValues({0, 1});

    s.gzip = true;
    const zx::ConvertedVolume gzNamedNii = zx::ConvertNifti(Write("compressed.nii", s, values));
    s.gzip = false;
    const zx::ConvertedVolume plainNamedGz = zx::ConvertNifti(Write("plain.nii.gz", s, values));

    EXPECT_TRUE(SameVolume(ExpectedRampVolume(), gzNamedNii.voxels));
    EXPECT_TRUE(SameVolume(ExpectedRampVolume(), plainNamedGz.voxels));
}

TEST_F(NiftiTest, DataIsReadFromVoxOffsetPastExtensions) {
    for (int version : {1, 2}) {
        for (bool gzip : {false, true}) {
            SCOPED_TRACE("version " + std::to_string(version) + (gzip ? " gzip" : " plain"));
            NiftiFields s;
            s.version = version;
            s.gzip = gzip;
            s.calMin = 0;
            s.calMax = 63;
            s.voxOffset = 1024;  // room for header extensions, which are skipped
            const zx::ConvertedVolume v = zx::ConvertNifti(Write("ext.nii", s, RampValues({0, 1})));
            EXPECT_TRUE(SameVolume(ExpectedRampVolume(), v.voxels));
        }
    }
}

TEST_F(NiftiTest, FourDimensionalFileGivesItsFirstVolume) {
    for (int version : {1, 2}) {
        SCOPED_TRACE("version " + std::to_string(version));
        NiftiFields s;
        s.version = version;
        s.dim = {4, 4, 4, 4, 3, 1, 1, 1};
        s.calMin = 0;
        s.calMax = 63;
        std::vector<double> values = RampValues({0, 1});
        values.resize(3 * 64, 63);  // later volumes: all bright
        const zx::ConvertedVolume v = zx::ConvertNifti(Write("fmri.nii", s, values));
        EXPECT_TRUE(SameVolume(ExpectedRampVolume(), v.voxels));
    }
}

TEST_F(NiftiTest, SizesBeyondTheRankAreIgnored) {
    // dim[0] = 2: a single slice, whatever stale value dim[3] holds.
    NiftiFields s;
    s.dim = {2, 4, 4, 99, 5, 1, 1, 1};
    s.calMin = 0;
    s.calMax = 15;
    std::vector<double> values(16);
    for (int n = 0; n < 16; ++n) values[n] = n;
    const zx::ConvertedVolume v = zx::ConvertNifti(Write("slice.nii", s, values));
    EXPECT_EQ(v.planes, 4);
    Volume expected;
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i) expected.Set(3 - i, 126 + 3 - j, 127, (i + 4 * j) * 17);
    EXPECT_TRUE(SameVolume(expected, v.voxels));
}

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
        const zx::ConvertedVolume v = zx::ConvertNifti(Write("unscaled.nii", s, RampValues({0, 1})));
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
        values[0] = nan;     // i=0 j=0 k=0
        values[1] = inf;     // i=1
        values[2] = -inf;    // i=2
        values[3] = 10;      // i=3: a finite reference
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
    const zx::ConvertedVolume b = zx::ConvertNifti(Write("gain.nii", t, std::vector<double>(64, 0)));
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
    EXPECT_LE(grey(0), 1);      // 100
    EXPECT_NEAR(grey(495), 127, 2);  // ~150
    EXPECT_GE(grey(991), 254);  // 200
    EXPECT_EQ(grey(992), 0);    // dark outlier
    EXPECT_EQ(grey(996), 255);  // bright outlier
}

TEST_F(NiftiTest, IntegerSamplesGetTheSameWindowAsTheSameValuesStoredAsFloats) {
    // 8- and 16-bit images find their window by counting raw values; the
    // greys must equal those of the sorted float samples, for a rising and
    // a falling rescale, outliers included.
    std::mt19937 rng(3);
    for (auto [type, top] : {std::pair{zxtest::kNiftiInt16, 3000}, std::pair{zxtest::kNiftiUInt8, 255}}) {
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
    {0, 0, 0, 250},                 // right, anterior, superior
    {kR - 1, 0, 0, 200},            // left,  anterior, superior
    {0, kA - 1, 0, 150},            // right, posterior, superior
    {0, 0, kS - 1, 100},            // right, anterior, inferior
    {kR - 1, kA - 1, kS - 1, 50},   // left,  posterior, inferior
};

Volume ExpectedAnatomy() {
    Volume v;
    const int y0 = (kGrid - kA) / 2, z0 = (kGrid - kS) / 2;
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
    {"RasWithoutTransform", {kR, kA, kS},
     [](int r, int a, int s) { return std::array{kR - 1 - r, kA - 1 - a, kS - 1 - s}; },
     [](NiftiFields&) {}},
    {"RasSform", {kR, kA, kS},
     [](int r, int a, int s) { return std::array{kR - 1 - r, kA - 1 - a, kS - 1 - s}; },
     [](NiftiFields& s) { SetSform(s, {{{1, 0, 0, -2}, {0, 1, 0, -3}, {0, 0, 1, 4}}}); }},
    {"LpsSform", {kR, kA, kS},
     [](int r, int a, int s) { return std::array{r, a, kS - 1 - s}; },
     [](NiftiFields& s) { SetSform(s, {{{-1, 0, 0, 2}, {0, -1, 0, 3}, {0, 0, 1, -3}}}); }},
    {"LpsQformHalfTurnAboutZ", {kR, kA, kS},
     [](int r, int a, int s) { return std::array{r, a, kS - 1 - s}; },
     [](NiftiFields& s) {
         s.qformCode = 1;
         s.quatern = {0, 0, 1};
     }},
    {"QformQuarterTurnAboutZ", {kA, kR, kS},  // i: posterior->anterior, j: right->left
     [](int r, int a, int s) { return std::array{kA - 1 - a, r, kS - 1 - s}; },
     [](NiftiFields& s) {
         s.qformCode = 1;
         s.quatern = {0, 0, std::sqrt(0.5)};
     }},
    {"QformThirdTurnAboutDiagonal", {kA, kS, kR},  // i -> anterior, j -> superior, k -> right
     [](int r, int a, int s) { return std::array{kA - 1 - a, kS - 1 - s, kR - 1 - r}; },
     [](NiftiFields& s) {
         s.qformCode = 1;
         s.quatern = {0.5, 0.5, 0.5};
     }},
    {"QformWithNegativeQfac", {kR, kA, kS},  // k runs toward inferior
     [](int r, int a, int s) { return std::array{kR - 1 - r, kA - 1 - a, s}; },
     [](NiftiFields& s) {
         s.qformCode = 1;
         s.pixdim[0] = -1;
     }},
    {"PermutedSform", {kS, kR, kA},  // i: superior->inferior, j: left->right, k: anterior->posterior
     [](int r, int a, int s) { return std::array{s, kR - 1 - r, a}; },
     [](NiftiFields& s) { SetSform(s, {{{0, 1, 0, 0}, {0, 0, -1, 0}, {-1, 0, 0, 0}}}); }},
    {"PermutedSlightlyObliqueSform", {kS, kR, kA},  // as above, rotated 12 degrees about z
     [](int r, int a, int s) { return std::array{s, kR - 1 - r, a}; },
     [](NiftiFields& s) {
         const double c = std::cos(12 * std::numbers::pi / 180), n = std::sin(12 * std::numbers::pi / 180);
         // Columns (i, j, k) = R * (0,0,-1), R * (1,0,0), R * (0,-1,0).
         SetSform(s, {{{0, c, n, 0}, {0, n, -c, 0}, {-1, 0, 0, 0}}});
     }},
    {"SformWinsOverQform", {kR, kA, kS},  // qform claims RAS, sform says LPS
     [](int r, int a, int s) { return std::array{r, a, kS - 1 - s}; },
     [](NiftiFields& s) {
         s.qformCode = 1;
         SetSform(s, {{{-1, 0, 0, 0}, {0, -1, 0, 0}, {0, 0, 1, 0}}});
     }},
    {"QformUsedWhenSformCodeIsZero", {kR, kA, kS},  // stale sform rows are ignored
     [](int r, int a, int s) { return std::array{r, a, kS - 1 - s}; },
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
            for (int n = 0; n < 64; ++n) values[k * 64 + n] = 40 + 60 * fromBottom;  // top slice is 220
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
                for (int row = 0; row < 12; ++row) EXPECT_EQ(At(v, x, y, 122 + row), expected[row]) << row;
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
    const zx::ConvertedVolume v = zx::ConvertNifti(Write("fine.nii", s, std::vector<double>(1024, 255)));
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
    const zx::ConvertedVolume v = zx::ConvertNifti(Write("wide.nii", s, std::vector<double>(300 * 20 * 10, 200)));
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
    for (std::size_t n = 0; n < values.size(); ++n) values[n] = 20.0 * static_cast<double>((n / 300) % 10);
    const zx::ConvertedVolume v = zx::ConvertNifti(Write("ramp.nii", s, values));
    const int y0 = (kGrid - 9) / 2;
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
    const zx::ConvertedVolume v = zx::ConvertNifti(Write("sized.nii", s, std::vector<double>(64, 255)));
    EXPECT_EQ(v.planes, 4);
    EXPECT_DOUBLE_EQ(v.voxelEdgeMm, 2.0);
    int rows = 0;
    for (int z = 0; z < kGrid; ++z) rows += At(v, 1, 127, z) == 255;
    EXPECT_EQ(rows, 12);  // 24 mm / 2 mm
}

// ===========================================================================
// Bad input: every case is a ConvertError with a message naming the problem.

// Runs the conversion, expecting a ConvertError whose message contains
// `fragment` (case-sensitive).
void ExpectFailure(const std::string& path, const std::string& fragment) {
    try {
        zx::ConvertNifti(path);
        ADD_FAILURE() << "no error for " << path;
    } catch (const zx::ConvertError& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find(fragment), std::string::npos) << "message: " << message;
        EXPECT_NE(message.find(path), std::string::npos) << "message should name the file: " << message;
    }
}

TEST_F(NiftiTest, RejectsUnreadableFiles) {
    ExpectFailure((dir_ / "missing.nii").string(), "nicht gefunden");
    fs::create_directory(dir_ / "folder.nii");
    ExpectFailure((dir_ / "folder.nii").string(), "Ordner");
    ExpectFailure(WriteBytes("empty.nii", {}), "endet zu früh");
}

TEST_F(NiftiTest, RejectsFilesThatAreNotNifti) {
    const std::string text = "This is a plain text file, not an image at all. It is long enough for a header."
                             + std::string(400, '.');
    ExpectFailure(WriteBytes("text.nii", std::vector<unsigned char>(text.begin(), text.end())),
                  "keine NIfTI-Datei");

    for (bool bigEndian : {false, true}) {
        SCOPED_TRACE(bigEndian);
        NiftiFields s;
        s.bigEndian = bigEndian;
        s.sizeofHdr = 349;
        ExpectFailure(WriteHeaderOnly("size349.nii", s, 64), "Kopfgröße");
    }

    for (int version : {1, 2}) {
        SCOPED_TRACE(version);
        NiftiFields s;
        s.version = version;
        s.magic = std::string("nope\0\0\0\0", 8);
        ExpectFailure(WriteHeaderOnly("magic.nii", s, 64), "magic");
        s.magic = version == 1 ? std::string("ni1\0", 4) : std::string("ni2\0\r\n\032\n", 8);
        ExpectFailure(WriteHeaderOnly("pair.hdr", s, 64), ".hdr/.img");
    }

    // A NIfTI-2 header whose magic lost its line-ending check bytes (text-mode transfer).
    NiftiFields mangled;
    mangled.version = 2;
    mangled.magic = std::string("n+2\0\n\032\n\0", 8);
    ExpectFailure(WriteHeaderOnly("mangled.nii", mangled, 64), "magic");
}

TEST_F(NiftiTest, RejectsTruncatedFiles) {
    NiftiFields s;
    const std::vector<unsigned char> full = zxtest::NiftiPlain(s, RampValues({0, 1}));

    // Header cut short.
    ExpectFailure(WriteBytes("short.nii", std::vector<unsigned char>(full.begin(), full.begin() + 100)),
                  "endet zu früh");
    // Complete header, half the data.
    const std::vector<unsigned char> half(full.begin(), full.end() - 32);
    ExpectFailure(WriteBytes("half.nii", half), "weniger Bilddaten");
    ExpectFailure(WriteBytes("half.nii.gz", Gzip(half)), "endet zu früh");

    // A gzip stream cut in the middle.
    NiftiFields big;
    big.dim = {3, 40, 40, 40, 1, 1, 1, 1};
    std::vector<double> noise(64000);
    std::mt19937 rng(3);
    for (double& x : noise) x = static_cast<double>(rng() % 256);
    const std::vector<unsigned char> gz = Gzip(zxtest::NiftiPlain(big, noise));
    ExpectFailure(WriteBytes("cut.nii.gz", std::vector<unsigned char>(gz.begin(), gz.begin() + gz.size() / 2)),
                  "abgeschnitten");

    // Gzip magic followed by garbage.
    std::vector<unsigned char> garbage = {0x1f, 0x8b, 0x08, 0x00, 0, 0, 0, 0, 0, 3};
    garbage.resize(600, 0xA5);
    ExpectFailure(WriteBytes("garbage.nii.gz", garbage), "gzip");
}

TEST_F(NiftiTest, RejectsInvalidDimensions) {
    for (int version : {1, 2}) {
        SCOPED_TRACE(version);
        for (int axis = 1; axis <= 3; ++axis) {
            for (std::int64_t bad : {0, -4}) {
                NiftiFields s;
                s.version = version;
                s.dim[axis] = bad;
                ExpectFailure(WriteHeaderOnly("dims.nii", s, 64), "Dimension " + std::to_string(axis));
            }
        }
        for (std::int64_t rank : {0, 8, -1}) {
            NiftiFields s;
            s.version = version;
            s.dim[0] = rank;
            ExpectFailure(WriteHeaderOnly("rank.nii", s, 64), "dim[0]");
        }
    }
}

TEST_F(NiftiTest, RefusesImagesAboveTwoGibibytesBeforeReadingData) {
    // Only headers are written: the size must be refused from the header
    // alone, with a size message rather than a missing-data one.
    NiftiFields s;
    s.datatype = zxtest::kNiftiInt16;
    s.dim = {3, 1024, 1024, 1025, 1, 1, 1, 1};  // just over 2 GiB
    ExpectFailure(WriteHeaderOnly("big.nii", s), "2 GiB");
    s.gzip = true;
    ExpectFailure(WriteHeaderOnly("big.nii.gz", s), "2 GiB");

    // Exactly 2 GiB is allowed; this file then simply lacks the data.
    s.gzip = false;
    s.dim = {3, 1024, 1024, 1024, 1, 1, 1, 1};
    ExpectFailure(WriteHeaderOnly("limit.nii", s), "weniger Bilddaten");

    // NIfTI-2 sizes whose product overflows 64 bits.
    NiftiFields huge;
    huge.version = 2;
    huge.datatype = zxtest::kNiftiFloat64;
    huge.dim = {3, std::int64_t{1} << 40, std::int64_t{1} << 40, std::int64_t{1} << 40, 1, 1, 1, 1};
    ExpectFailure(WriteHeaderOnly("huge.nii", huge), "2 GiB");
}

TEST_F(NiftiTest, RejectsBadDataOffsets) {
    for (bool gzip : {false, true}) {
        SCOPED_TRACE(gzip);
        NiftiFields s;
        s.gzip = gzip;
        s.voxOffset = 5000;  // the file is far shorter
        ExpectFailure(WriteHeaderOnly("past.nii", s, 64), gzip ? "endet zu früh" : "hinter dem Dateiende");
    }
    for (int version : {1, 2}) {
        NiftiFields s;
        s.version = version;
        s.voxOffset = 100;
        ExpectFailure(WriteHeaderOnly("inside.nii", s, 512), "liegt im Dateikopf");
        s.voxOffset = -8;
        ExpectFailure(WriteHeaderOnly("negative.nii", s, 512), "vox_offset");
    }
    NiftiFields nanOffset;
    nanOffset.voxOffset = std::numeric_limits<double>::quiet_NaN();
    ExpectFailure(WriteHeaderOnly("nan.nii", nanOffset, 512), "vox_offset");
}

TEST_F(NiftiTest, RejectsUnsupportedDataTypes) {
    for (int version : {1, 2}) {
        for (int datatype : {0, 1, zxtest::kNiftiComplex64, zxtest::kNiftiRgb24, zxtest::kNiftiInt64, 12345}) {
            SCOPED_TRACE(datatype);
            NiftiFields s;
            s.version = version;
            s.datatype = datatype;
            ExpectFailure(WriteHeaderOnly("type.nii", s, 64 * 16), "nicht unterstützter Voxel-Datentyp");
        }
    }
}

TEST(PlaneStream, GivesTheReferenceResultPlaneByPlaneFromTwoThreads) {
    // An oblique, anisotropic int16 image with a rescale, fed in planes
    // from two threads, with its own window and with a given one.
    std::mt19937 random(7);
    const std::array<std::int64_t, 3> dims = {37, 29, 23};
    std::vector<std::int16_t> samples(std::size_t(dims[0] * dims[1] * dims[2]));
    for (auto& v : samples) v = std::int16_t(int(random() % 4000) - 1000);
    zxtest::ReferenceImage<std::int16_t> image;
    image.samples = samples.data();
    image.dims = dims;
    image.voxelToWorld = {{{0.9, 0.3, 0}, {-0.2, 0.8, 0.1}, {0, -0.1, 2.5}}};
    image.scaling = {0.5, -100};
    for (bool windowed : {false, true}) {
        if (windowed) image.window = zx::Window{-300, 700};
        const zx::ConvertedVolume reference = zxtest::ReferenceVolume(image);
        zx::PlaneStream stream(dims, image.voxelToWorld, "planes", image.window);
        const std::int64_t plane = dims[0] * dims[1];
        auto feed = [&](std::int64_t first) {
            for (std::int64_t k = first; k < dims[2]; k += 2) stream.Add(k, samples.data() + k * plane, image.scaling);
        };
        std::thread other(feed, 1);
        feed(0);
        other.join();
        const zx::ConvertedVolume streamed = stream.Finish();
        EXPECT_EQ(streamed.planes, reference.planes);
        EXPECT_EQ(streamed.voxelEdgeMm, reference.voxelEdgeMm);
        // The same arithmetic in another order: a grey may round the other way.
        int differ = 0;
        for (std::size_t i = 0; i < reference.voxels.size(); ++i) {
            EXPECT_LE(std::abs(int(streamed.voxels[i]) - int(reference.voxels[i])), 1) << i;
            differ += streamed.voxels[i] != reference.voxels[i];
        }
        EXPECT_LT(differ, 50) << windowed;
    }
}

TEST(PlanViewerGrid, RefusesGeometryNoScannerWrites) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const zx::Matrix3& m : {zx::Matrix3{{{nan, 0, 0}, {0, 1, 0}, {0, 0, 1}}},
                                 zx::Matrix3{{{1e300, 0, 0}, {0, 1, 0}, {0, 0, 1}}},
                                 zx::Matrix3{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1e-9}}}}) {
        EXPECT_THROW(zx::PlanViewerGrid({4, 4, 4}, m, "x"), zx::ConvertError);
    }
    EXPECT_EQ(zx::PlanViewerGrid({4, 4, 4}, {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, "x").count[0], 4);
}

}  // namespace
