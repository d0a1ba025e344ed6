// The plane-by-plane resampling against the plain whole-image reference,
// and the grid plan's refusal of geometry no scanner writes.
#include "convert/plane_stream.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <thread>
#include <vector>

#include "convert/pipeline.h"
#include "convert/window_samples.h"
#include "support/reference_resampler.h"

namespace {

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
            for (std::int64_t k = first; k < dims[2]; k += 2)
                stream.Add(k, samples.data() + k * plane, image.scaling);
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

TEST(WindowSamples, AScalingPerSliceTakesLittleMemoryAndKeepsThePercentiles) {
    // 300 slices of 16-bit samples, each with an intercept of its own and
    // every third with slope 2: a few MiB, where counts per scaling would
    // take 300 × 512 KiB. The window is the 0.5 and 99.5 percentiles of
    // all the scaled values, ranks interpolated, worked out here by sorting.
    constexpr int kSlices = 300, kPlane = 64;
    std::vector<float> all;
    const std::size_t before = mallinfo2().uordblks + mallinfo2().hblkhd;
    zx::WindowSamples window(std::uint64_t(kSlices) * kPlane);
    std::size_t most = 0;
    for (int k = 0; k < kSlices; ++k) {
        const zx::Scaling scaling{k % 3 ? 1.0 : 2.0, -1024.0 + k};
        std::int16_t plane[kPlane];
        for (int i = 0; i < kPlane; ++i) {
            plane[i] = std::int16_t((i * 37 + k * 11) % 4000 - 1000);
            all.push_back(float(plane[i] * scaling.slope + scaling.inter));
        }
        window.Add(std::uint64_t(k) * kPlane, plane, kPlane, scaling);
        most = std::max(most, mallinfo2().uordblks + mallinfo2().hblkhd);
    }
    EXPECT_LT(most - before, std::size_t{8} << 20);
    std::sort(all.begin(), all.end());
    auto percentile = [&](double p) {
        const double rank = p * double(all.size() - 1);
        const std::size_t lower = std::size_t(std::floor(rank));
        return all[lower] + (double(all[lower + 1]) - all[lower]) * (rank - double(lower));
    };
    const zx::Window w = window.Result();
    EXPECT_DOUBLE_EQ(w.low, percentile(0.005));
    EXPECT_DOUBLE_EQ(w.high, percentile(0.995));
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
