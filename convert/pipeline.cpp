#include "convert/pipeline.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "base/volume_geometry.h"

namespace zx {
namespace {

// Percentiles are computed on at most this many values; larger images are
// sampled with a regular stride, which is plenty for a display window.
constexpr std::size_t kMaxPercentileSamples = std::size_t{1} << 21;

// How one viewer axis is read from the array.
struct AxisMap {
    int arrayAxis = 0;
    bool flip = false;      // viewer index grows while the array index falls
    double spacing = 1;     // mm between array samples along this axis
    std::int64_t size = 1;  // array samples along this axis
};

// Nearest permutation (with flips) of the array axes onto the viewer axes.
// Viewer x, y, z point to the patient's left, posterior and inferior, i.e.
// against RAS world x, y, z.
std::array<AxisMap, 3> Reorient(const Matrix3& m, const std::array<std::int64_t, 3>& dims) {
    double length[3];
    Matrix3 cosines{};
    for (int col = 0; col < 3; ++col) {
        length[col] =
            std::sqrt(m[0][col] * m[0][col] + m[1][col] * m[1][col] + m[2][col] * m[2][col]);
        for (int row = 0; row < 3; ++row) cosines[row][col] = m[row][col] / length[col];
    }
    // Try all six permutations; the best one maximises the summed alignment,
    // which also guarantees that no array axis is used twice.
    std::array<int, 3> perm = {0, 1, 2};
    std::array<int, 3> best = perm;
    double bestScore = -1;
    do {
        const double score = std::fabs(cosines[0][perm[0]]) + std::fabs(cosines[1][perm[1]]) +
                             std::fabs(cosines[2][perm[2]]);
        if (score > bestScore + 1e-12) {
            bestScore = score;
            best = perm;
        }
    } while (std::next_permutation(perm.begin(), perm.end()));

    std::array<AxisMap, 3> axes;
    for (int w = 0; w < 3; ++w) {
        const int col = best[w];
        axes[w].arrayAxis = col;
        axes[w].flip = cosines[w][col] > 0;  // array runs toward R/A/S, viewer toward L/P/I
        axes[w].spacing = length[col];
        axes[w].size = dims[col];
    }
    return axes;
}

/// Continuous array indices of the output voxel centres along one viewer
/// axis (array voxel centres sit at integer positions).
std::vector<double> ArrayIndices(const AxisMap& axis, int outCount, double edge) {
    std::vector<double> index(static_cast<std::size_t>(outCount));
    const double extent = static_cast<double>(axis.size) * axis.spacing;
    // Centre the output grid on the image when the extents differ slightly.
    const double shift = (extent - outCount * edge) / 2 / axis.spacing;
    const double ratio = edge / axis.spacing;
    const double last = static_cast<double>(axis.size - 1);
    for (int o = 0; o < outCount; ++o) {
        double f = (o + 0.5) * ratio - 0.5 + shift;
        f = std::isfinite(f) ? std::clamp(f, 0.0, last) : 0.0;
        if (axis.flip) f = last - f;
        index[static_cast<std::size_t>(o)] = f;
    }
    return index;
}

// ---------------------------------------------------------------------------
// Intensities.

// Value at fraction p (0..1) of the sorted samples, interpolating linearly
// between neighbouring ranks. Reorders `v`.
double Percentile(std::vector<float>& v, double p) {
    const double rank = p * static_cast<double>(v.size() - 1);
    const auto lower = static_cast<std::size_t>(std::floor(rank));
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(lower), v.end());
    const double lo = v[lower];
    if (lower + 1 >= v.size()) return lo;
    const double hi =
        *std::min_element(v.begin() + static_cast<std::ptrdiff_t>(lower) + 1, v.end());
    return lo + (hi - lo) * (rank - static_cast<double>(lower));
}

}  // namespace

ViewerGrid PlanViewerGrid(const std::array<std::int64_t, 3>& dims, const Matrix3& voxelToWorld,
                          const std::string& path) {
    // Geometry a scanner can produce: finite directions, voxels from a
    // micrometre to a metre, an image no longer than 100 m. Anything else
    // (positions of 1e308, NaN) would make the plan meaningless.
    for (int col = 0; col < 3; ++col) {
        double length = 0;
        for (int row = 0; row < 3; ++row) {
            if (!std::isfinite(voxelToWorld[row][col]))
                throw ConvertError(path + ": ungültige Lage im Raum (keine endliche Zahl)");
            length += voxelToWorld[row][col] * voxelToWorld[row][col];
        }
        length = std::sqrt(length);
        if (!PlausibleEdgeMm(length) || dims[col] < 1 || double(dims[col]) * length > 1e5)
            throw ConvertError(path + ": ungültige Voxelabstände");
    }
    const std::array<AxisMap, 3> axes = Reorient(voxelToWorld, dims);
    // Cubic output voxels: no finer than the finest input spacing, and
    // coarse enough for the largest physical extent to fit into 256.
    double smallestSpacing = std::numeric_limits<double>::infinity();
    double largestExtent = 0;
    for (const AxisMap& a : axes) {
        smallestSpacing = std::min(smallestSpacing, a.spacing);
        largestExtent = std::max(largestExtent, static_cast<double>(a.size) * a.spacing);
    }
    ViewerGrid g;
    g.edge = std::max(smallestSpacing, largestExtent / kEdge);
    if (!std::isfinite(g.edge) || g.edge <= 0)
        throw ConvertError(path + ": ungültige Voxelabstände");
    for (int a = 0; a < 3; ++a) {
        const double cells =
            std::round(static_cast<double>(axes[a].size) * axes[a].spacing / g.edge);
        g.count[a] = static_cast<int>(std::clamp(cells, 1.0, static_cast<double>(kEdge)));
        g.arrayAxis[a] = axes[a].arrayAxis;
        g.index[a] = ArrayIndices(axes[a], g.count[a], g.edge);
    }
    return g;
}

std::uint64_t WindowSampleStride(std::uint64_t voxels) {
    return std::max<std::uint64_t>(1, (voxels + kMaxPercentileSamples - 1) / kMaxPercentileSamples);
}

Window WindowOfSamples(std::vector<float>& samples, double minimum, double maximum) {
    Window w;
    if (samples.empty()) return w;
    w.low = Percentile(samples, 0.005);
    w.high = Percentile(samples, 0.995);
    if (!(w.high > w.low)) {
        // Nearly constant image with a few outliers (masks, markers): use
        // the full range so that the outliers stay visible.
        w.low = minimum;
        w.high = maximum;
    }
    return w;
}

}  // namespace zx
