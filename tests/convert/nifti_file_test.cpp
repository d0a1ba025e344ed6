// The NIfTI reader and its files: every voxel type in both versions, both
// byte orders, plain and compressed; where the data lies; what it refuses.
#include <gtest/gtest.h>

#include <QFile>
#include <array>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "convert/nifti.h"
#include "convert/nifti_fixture.h"

namespace {

using namespace zxtest;

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
    {"uint16", zxtest::kNiftiUInt16, {1000, 1000}},  // above 32767: must not be read as signed
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
                          public ::testing::WithParamInterface<std::tuple<TypeCase, StorageCase>> {
};

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
                         ::testing::Combine(::testing::ValuesIn(kTypes),
                                            ::testing::ValuesIn(kStorages)),
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

TEST_F(NiftiTest, AGzipFileOfSeveralReadBlocksKeepsEveryPlane) {
    // 256 × 256 × 140 bytes, 9 MiB inflated: more than two of the reader's
    // blocks of data and many of its compressed input. Each plane k has
    // greys of its own, so a plane lost, doubled or moved shows.
    NiftiFields s;
    s.gzip = true;
    s.dim = {3, 256, 256, 140, 1, 1, 1, 1};
    s.calMin = 0;
    s.calMax = 255;
    const auto value = [](int i, int j, int k) { return std::uint8_t(i / 8 + j / 4 + 7 * k); };
    Bytes plain = zxtest::NiftiHeader(s);
    for (int k = 0; k < 140; ++k)
        for (int j = 0; j < 256; ++j)
            for (int i = 0; i < 256; ++i) plain.push_back(value(i, j, k));
    const zx::ConvertedVolume v = zx::ConvertNifti(WriteBytes("big.nii.gz", zxtest::Gzip(plain)));
    ASSERT_EQ(v.voxels.size(), zx::kVolumeBytes);
    int bad = 0;
    for (int z = 0; z < 256; ++z) {
        const int k = 58 + 139 - z;  // superior up, 140 planes centred
        for (int x = 0; x < 256; ++x)
            for (int y = 0; y < 256; ++y)
                bad += At(v, x, y, z) !=
                       (k >= 0 && k < 140 ? value(255 - x, 255 - y, k) : std::uint8_t(0));
        if (bad) FAIL() << "plane z " << z;
    }
}

TEST_F(NiftiTest, AGzipMemberWhoseMagicStraddlesTwoReadsIsRead) {
    // Two gzip members, as gzip concatenates them; the first is padded
    // (with a file name in its header) to end one byte before a 256 KiB
    // read ends, so that the second's magic is split between two reads.
    NiftiFields s;
    s.dim = {3, 256, 256, 8, 1, 1, 1, 1};
    s.calMin = 0;
    s.calMax = 255;
    Bytes plain = zxtest::NiftiHeader(s);
    std::uint32_t lcg = 1;
    for (int i = 0; i < 256 * 256 * 8; ++i) {
        lcg = lcg * 1664525u + 1013904223u;
        plain.push_back(std::uint8_t(lcg >> 24));
    }
    const std::size_t split = 200000;
    Bytes first = zxtest::Gzip(Bytes(plain.begin(), plain.begin() + split));
    const std::size_t pad = 256 * 1024 - 1 - first.size() - 1;
    ASSERT_LT(first.size() + 2, std::size_t{256 * 1024});
    first[3] |= 0x08;  // FNAME: a zero-terminated name follows the 10 bytes
    Bytes name(pad, 'n');
    name.push_back(0);
    first.insert(first.begin() + 10, name.begin(), name.end());
    ASSERT_EQ(first.size(), std::size_t{256 * 1024 - 1});
    const Bytes second = zxtest::Gzip(Bytes(plain.begin() + split, plain.end()));
    first.insert(first.end(), second.begin(), second.end());
    const zx::ConvertedVolume two = zx::ConvertNifti(WriteBytes("two.nii.gz", first));
    const zx::ConvertedVolume one = zx::ConvertNifti(WriteBytes("one.nii.gz", zxtest::Gzip(plain)));
    EXPECT_TRUE(two.voxels == one.voxels);
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
        s.gzip = true;  // read on past the later volumes to the gzip trailer
        EXPECT_TRUE(SameVolume(ExpectedRampVolume(),
                               zx::ConvertNifti(Write("fmri.nii.gz", s, values)).voxels));
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
        EXPECT_NE(message.find(path), std::string::npos)
            << "message should name the file: " << message;
    }
}

TEST_F(NiftiTest, RejectsUnreadableFiles) {
    ExpectFailure((dir_ / "missing.nii").string(), "nicht gefunden");
    std::filesystem::create_directory(dir_ / "folder.nii");
    ExpectFailure((dir_ / "folder.nii").string(), "Ordner");
    ExpectFailure(WriteBytes("empty.nii", {}), "endet zu früh");
}

TEST_F(NiftiTest, RejectsFilesThatAreNotNifti) {
    const std::string text =
        "This is a plain text file, not an image at all. It is long enough for a header." +
        std::string(400, '.');
    ExpectFailure(WriteBytes("text.nii", std::vector<unsigned char>(text.begin(), text.end())),
                  "keine NIfTI");

    for (bool bigEndian : {false, true}) {
        SCOPED_TRACE(bigEndian);
        NiftiFields s;
        s.bigEndian = bigEndian;
        s.sizeofHdr = 349;
        ExpectFailure(WriteHeaderOnly("size349.nii", s, 64), "keine NIfTI");
    }

    for (int version : {1, 2}) {
        SCOPED_TRACE(version);
        NiftiFields s;
        s.version = version;
        s.magic = std::string("nope\0\0\0\0", 8);
        ExpectFailure(WriteHeaderOnly("magic.nii", s, 64), "Kennung");
        s.magic = version == 1 ? std::string("ni1\0", 4) : std::string("ni2\0\r\n\032\n", 8);
        ExpectFailure(WriteHeaderOnly("pair.hdr", s, 64), ".hdr/.img");
    }

    // A NIfTI-2 header whose magic lost its line-ending check bytes (text-mode transfer).
    NiftiFields mangled;
    mangled.version = 2;
    mangled.magic = std::string("n+2\0\n\032\n\0", 8);
    ExpectFailure(WriteHeaderOnly("mangled.nii", mangled, 64), "Kennung");
}

TEST_F(NiftiTest, RejectsTruncatedFiles) {
    NiftiFields s;
    const std::vector<unsigned char> full = zxtest::NiftiPlain(s, RampValues({0, 1}));

    // Header cut short.
    ExpectFailure(
        WriteBytes("short.nii", std::vector<unsigned char>(full.begin(), full.begin() + 100)),
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
    ExpectFailure(WriteBytes("cut.nii.gz",
                             std::vector<unsigned char>(gz.begin(), gz.begin() + gz.size() / 2)),
                  "abgeschnitten");

    // Cut within the gzip trailer (CRC-32, then length), or the CRC
    // altered: the data itself is whole, the file is not. A small file,
    // and Debian's ch2 template, whose input runs out just as its data
    // ends (where gzread takes a cut trailer for the end of the file).
    const std::vector<unsigned char> whole = Gzip(full);
    std::vector<std::vector<unsigned char>> files{whole};
    if (QFile ch2(QStringLiteral("/usr/share/mricron/templates/ch2.nii.gz"));
        ch2.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = ch2.readAll();
        files.emplace_back(bytes.begin(), bytes.end());
    }
    for (const auto& gzipped : files) {
        for (std::size_t cut : {1u, 4u, 8u}) {
            ExpectFailure(
                WriteBytes("trailer.nii.gz",
                           std::vector<unsigned char>(gzipped.begin(), gzipped.end() - long(cut))),
                "abgeschnitten");
        }
    }
    std::vector<unsigned char> altered = whole;
    altered[altered.size() - 8] ^= 1;
    ExpectFailure(WriteBytes("crc.nii.gz", altered), "beschädigt");

    // Gzip magic followed by garbage.
    std::vector<unsigned char> garbage = {0x1f, 0x8b, 0x08, 0x00, 0, 0, 0, 0, 0, 3};
    garbage.resize(600, 0xA5);
    ExpectFailure(WriteBytes("garbage.nii.gz", garbage), "komprimierten Daten sind beschädigt");
}

TEST_F(NiftiTest, RejectsInvalidDimensions) {
    for (int version : {1, 2}) {
        SCOPED_TRACE(version);
        for (int axis = 1; axis <= 3; ++axis) {
            for (std::int64_t bad : {0, -4}) {
                NiftiFields s;
                s.version = version;
                s.dim[axis] = bad;
                ExpectFailure(WriteHeaderOnly("dims.nii", s, 64), "Achse " + std::to_string(axis));
            }
        }
        for (std::int64_t rank : {0, 8, -1}) {
            NiftiFields s;
            s.version = version;
            s.dim[0] = rank;
            ExpectFailure(WriteHeaderOnly("rank.nii", s, 64), "Dimensionen an");
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
        ExpectFailure(WriteHeaderOnly("past.nii", s, 64),
                      gzip ? "endet zu früh" : "hinter dem Dateiende");
    }
    for (int version : {1, 2}) {
        NiftiFields s;
        s.version = version;
        s.voxOffset = 100;
        ExpectFailure(WriteHeaderOnly("inside.nii", s, 512), "im Dateikopf");
        s.voxOffset = -8;
        ExpectFailure(WriteHeaderOnly("negative.nii", s, 512), "Beginn ihrer Bilddaten");
    }
    NiftiFields nanOffset;
    nanOffset.voxOffset = std::numeric_limits<double>::quiet_NaN();
    ExpectFailure(WriteHeaderOnly("nan.nii", nanOffset, 512), "Beginn ihrer Bilddaten");
}

TEST_F(NiftiTest, RejectsUnsupportedDataTypes) {
    for (int version : {1, 2}) {
        for (int datatype :
             {0, 1, zxtest::kNiftiComplex64, zxtest::kNiftiRgb24, zxtest::kNiftiInt64, 12345}) {
            SCOPED_TRACE(datatype);
            NiftiFields s;
            s.version = version;
            s.datatype = datatype;
            ExpectFailure(WriteHeaderOnly("type.nii", s, 64 * 16), "Voxel-Datentyp (");
        }
    }
}

}  // namespace
