// The whole image resampled at once, voxel by voxel, the plain way: the
// reference the plane-by-plane conversion (PlaneStream) is compared with.
// It shares the grid (PlanViewerGrid) and the window rule
// (WindowOfSamples) with the converters, not their order of arithmetic,
// their buffers or their threads.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "base/volume_geometry.h"
#include "convert/converted_volume.h"
#include "convert/pipeline.h"

namespace zxtest {

/// An image as a reader delivers it: dims[0] · dims[1] · dims[2] samples
/// of type T, array axis 0 fastest.
template <typename T>
struct ReferenceImage {
    const T* samples = nullptr;
    std::array<std::int64_t, 3> dims{};
    zx::Matrix3 voxelToWorld{};
    zx::Scaling scaling;
    std::optional<zx::Window> window;  ///< none: the percentiles of every stride-th value
};

/// The viewer's volume of the image: each output voxel interpolated
/// trilinearly between its eight neighbours, then put through the window.
template <typename T>
zx::ConvertedVolume ReferenceVolume(const ReferenceImage<T>& image) {
    const auto& dims = image.dims;
    const zx::ViewerGrid grid = zx::PlanViewerGrid(dims, image.voxelToWorld, "reference");
    auto value = [&](std::int64_t i) {
        T v;
        std::memcpy(&v, image.samples + i, sizeof v);
        return image.scaling.Apply(double(v));
    };

    zx::Window window;
    if (image.window) {
        window = *image.window;
    } else {
        const std::uint64_t voxels =
            std::uint64_t(dims[0]) * std::uint64_t(dims[1]) * std::uint64_t(dims[2]);
        const std::uint64_t stride = zx::WindowSampleStride(voxels);
        std::vector<float> picked;
        double minimum = std::numeric_limits<double>::infinity(), maximum = -minimum;
        for (std::uint64_t i = 0; i < voxels; i += stride) {
            const double v = value(std::int64_t(i));
            picked.push_back(float(v));
            minimum = std::min(minimum, v);
            maximum = std::max(maximum, v);
        }
        window = zx::WindowOfSamples(picked, minimum, maximum);
    }
    const double gain = window.high > window.low ? 255.0 / (window.high - window.low) : 0.0;

    // Per viewer axis and output index: the lower and upper neighbour (as
    // sample offsets) and the upper one's weight.
    struct Axis {
        std::vector<std::int64_t> lower, upper;
        std::vector<double> weight;
    };
    const std::int64_t strides[3] = {1, dims[0], dims[0] * dims[1]};
    std::array<Axis, 3> axes;
    for (int a = 0; a < 3; ++a) {
        const int array = grid.arrayAxis[a];
        for (double f : grid.index[a]) {
            const double i0 = std::floor(f);
            const auto lower = std::int64_t(i0);
            axes[a].lower.push_back(lower * strides[array]);
            axes[a].upper.push_back(std::min(lower + 1, dims[array] - 1) * strides[array]);
            axes[a].weight.push_back(f - i0);
        }
    }

    zx::ConvertedVolume out;
    out.voxels.assign(zx::kVolumeBytes, 0);
    out.planes = grid.count[0];
    out.voxelEdgeMm = grid.edge;
    const int y0 = (zx::kEdge - grid.count[1]) / 2, z0 = (zx::kEdge - grid.count[2]) / 2;
    auto lerp = [](double a, double b, double w) { return a + (b - a) * w; };
    for (int x = 0; x < grid.count[0]; ++x) {
        for (int y = 0; y < grid.count[1]; ++y) {
            for (int z = 0; z < grid.count[2]; ++z) {
                const std::int64_t xs[2] = {axes[0].lower[x], axes[0].upper[x]};
                const std::int64_t ys[2] = {axes[1].lower[y], axes[1].upper[y]};
                const std::int64_t zs[2] = {axes[2].lower[z], axes[2].upper[z]};
                double alongZ[2];
                for (int c = 0; c < 2; ++c) {
                    double alongX[2];
                    for (int b = 0; b < 2; ++b)
                        alongX[b] = lerp(value(xs[b] + ys[0] + zs[c]), value(xs[b] + ys[1] + zs[c]),
                                         axes[1].weight[y]);
                    alongZ[c] = lerp(alongX[0], alongX[1], axes[0].weight[x]);
                }
                const double v = lerp(alongZ[0], alongZ[1], axes[2].weight[z]);
                out.voxels[zx::VoxelIndex(x, y0 + y, z0 + z)] = zx::ToGrey(v, window, gain);
            }
        }
    }
    return out;
}

}  // namespace zxtest
