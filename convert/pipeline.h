// What every outside format (NIfTI files, DICOM series, atlas labels)
// shares on the way from a 3-D image with a voxel-to-world matrix to the
// viewer's volume: the viewer grid (orientation to the viewer's axes by the
// nearest permutation and flips, cubic voxels that fit into 256³) and the
// grey window. PlaneStream resamples the image onto that grid.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "convert/converted_volume.h"

namespace zx {

/// Voxel-to-world directions in millimetres, [world axis][array axis], in
/// RAS+ world coordinates (+x toward the patient's right, +y anterior, +z
/// superior).
using Matrix3 = std::array<std::array<double, 3>, 3>;

/// Linear scaling of the stored values; non-finite results count as 0.
struct Scaling {
    double slope = 1, inter = 0;
    double Apply(double raw) const {
        const double v = raw * slope + inter;
        return std::isfinite(v) ? v : 0.0;
    }
};

/// Values from `low` to `high` spread over the greys 0…255.
struct Window {
    double low = 0, high = 0;
};

/// Where the viewer's voxels lie in an image: along viewer axis a (x, y,
/// z) output voxel o sits at the continuous index index[a][o] of array axis
/// arrayAxis[a]. Output planes y and z are centred: (256 − count) div 2.
struct ViewerGrid {
    std::array<int, 3> arrayAxis{};
    std::array<int, 3> count{};
    double edge = 0;  ///< edge of the cubic output voxels, mm
    std::array<std::vector<double>, 3> index;
};

/// The viewer grid of an image of these sizes and directions: the nearest
/// axis permutation and flips, cubic voxels that fit into 256³.
ViewerGrid PlanViewerGrid(const std::array<std::int64_t, 3>& dims, const Matrix3& voxelToWorld,
                          const std::string& path);

/// The display window's samples: every stride-th value (in array order,
/// from the first) of an image of `voxels` values, at most 2^21 of them.
std::uint64_t WindowSampleStride(std::uint64_t voxels);

/// The 0.5–99.5 percentile window of the samples (reordered), or their full
/// range `minimum`…`maximum` when the percentiles coincide.
Window WindowOfSamples(std::vector<float>& samples, double minimum, double maximum);

/// A value mapped to its grey through the window (gain = 255 / width, or
/// 0 for an empty window); NaN becomes black.
inline std::uint8_t ToGrey(double v, const Window& window, double gain) {
    double grey = (v - window.low) * gain;
    grey = grey >= 0.0 ? std::min(grey, 255.0) : 0.0;
    return static_cast<std::uint8_t>(grey + 0.5);
}

}  // namespace zx
