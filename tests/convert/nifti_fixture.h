// What the NIfTI reader's tests share: a fixture that writes files into a
// folder of its own, the expected volume given by its non-zero voxels, and
// the 4 × 4 × 4 ramp most of them read.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "base/volume_geometry.h"
#include "convert/nifti.h"
#include "support/nifti_writer.h"

namespace zxtest {

inline std::uint8_t At(const zx::ConvertedVolume& v, int x, int y, int z) {
    return v.voxels[zx::VoxelIndex(x, y, z)];
}

// Expected viewer volume given by its non-zero voxels; everything else must
// be 0. Kept sparse so that tests do not allocate a second 16 MiB volume.
class Volume {
public:
    void Set(int x, int y, int z, int value) {
        voxels_[zx::VoxelIndex(x, y, z)] = static_cast<std::uint8_t>(value);
    }
    const std::map<std::size_t, std::uint8_t>& voxels() const { return voxels_; }

private:
    std::map<std::size_t, std::uint8_t> voxels_;
};

inline std::string Describe(std::size_t offset) {
    return "x=" + std::to_string(offset / zx::kPlaneBytes) +
           " y=" + std::to_string(offset % zx::kEdge) +
           " z=" + std::to_string((offset / zx::kEdge) % zx::kEdge);
}

inline ::testing::AssertionResult SameVolume(const Volume& expected,
                                             const std::vector<std::uint8_t>& actual) {
    if (actual.size() != zx::kVolumeBytes)
        return ::testing::AssertionFailure()
               << "volume has " << actual.size() << " bytes, expected " << zx::kVolumeBytes;
    auto nonZero = [](std::uint8_t b) { return b != 0; };
    std::size_t pos = 0;
    auto checkZeroUpTo = [&](std::size_t end) -> ::testing::AssertionResult {
        const auto it = std::find_if(actual.begin() + static_cast<std::ptrdiff_t>(pos),
                                     actual.begin() + static_cast<std::ptrdiff_t>(end), nonZero);
        if (it != actual.begin() + static_cast<std::ptrdiff_t>(end)) {
            const auto at = static_cast<std::size_t>(it - actual.begin());
            return ::testing::AssertionFailure()
                   << "unexpected value " << int(*it) << " at " << Describe(at);
        }
        return ::testing::AssertionSuccess();
    };
    for (const auto& [offset, value] : expected.voxels()) {
        if (auto r = checkZeroUpTo(offset); !r) return r;
        if (actual[offset] != value)
            return ::testing::AssertionFailure() << "got " << int(actual[offset]) << " at "
                                                 << Describe(offset) << ", expected " << int(value);
        pos = offset + 1;
    }
    return checkZeroUpTo(actual.size());
}

// Grey value of index/63 of the 0..255 range, as for a 64-step ramp over
// the full display window.
inline std::uint8_t RampGrey(int index) {
    return static_cast<std::uint8_t>(std::lround(index * 255.0 / 63.0));
}

// ---------------------------------------------------------------------------

class NiftiTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device rd;
        dir_ = std::filesystem::temp_directory_path() /
               ("zx-nifti-test-" + std::to_string(rd()) + "-" + std::to_string(rd()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    std::string WriteBytes(const std::string& name, const std::vector<unsigned char>& bytes) {
        const std::filesystem::path path = dir_ / name;
        std::ofstream f(path, std::ios::binary);
        f.write(reinterpret_cast<const char*>(bytes.data()),
                static_cast<std::streamsize>(bytes.size()));
        EXPECT_TRUE(f.good());
        return path.string();
    }

    std::string Write(const std::string& name, const NiftiFields& s,
                      const std::vector<double>& values) {
        return WriteBytes(name, zxtest::NiftiFile(s, values));
    }

    // Writes a header followed by `dataBytes` zero bytes, or nothing if no
    // count is given.
    std::string WriteHeaderOnly(const std::string& name, const NiftiFields& s,
                                std::size_t dataBytes = 0) {
        return WriteBytes(name, zxtest::NiftiHeaderFile(s, dataBytes));
    }

    std::filesystem::path dir_;
};

// A 4x4x4 ramp 0..63 (index i + 4j + 16k) stored as RAS without a transform,
// with base + step * index as the voxel values and the display window set to
// exactly the ramp's range.
struct Ramp {
    double base = 0;
    double step = 1;
};

inline std::vector<double> RampValues(const Ramp& r) {
    std::vector<double> v(64);
    for (int n = 0; n < 64; ++n) v[n] = r.base + r.step * n;
    return v;
}

// Where the 4x4x4 RAS ramp lands: i toward the right -> x = 3 - i; j toward
// anterior -> y = 126 + 3 - j; k toward superior -> z = 126 + 3 - k.
inline Volume ExpectedRampVolume() {
    Volume v;
    for (int k = 0; k < 4; ++k)
        for (int j = 0; j < 4; ++j)
            for (int i = 0; i < 4; ++i)
                v.Set(3 - i, 126 + 3 - j, 126 + 3 - k, RampGrey(i + 4 * j + 16 * k));
    return v;
}

}  // namespace zxtest
