#include "convert/pipeline.h"

#include <algorithm>
#include <type_traits>
#include <vector>
#include <cmath>
#include <cstring>
#include <limits>

#include "base/volume_geometry.h"
#include "core/volume/two_halves.h"

namespace zx {
namespace {

// Percentiles are computed on at most this many values; larger images are
// sampled with a regular stride, which is plenty for a display window.
constexpr std::size_t kMaxPercentileSamples = std::size_t{1} << 21;

// How one viewer axis is read from the array.
struct AxisMap {
    int arrayAxis = 0;
    bool flip = false;       // viewer index grows while the array index falls
    double spacing = 1;      // mm between array samples along this axis
    std::int64_t size = 1;   // array samples along this axis
};

// Nearest permutation (with flips) of the array axes onto the viewer axes.
// Viewer x, y, z point to the patient's left, posterior and inferior, i.e.
// against RAS world x, y, z.
std::array<AxisMap, 3> Reorient(const Matrix3& m, const std::array<std::int64_t, 3>& dims) {
    double length[3];
    Matrix3 cosines{};
    for (int col = 0; col < 3; ++col) {
        length[col] = std::sqrt(m[0][col] * m[0][col] + m[1][col] * m[1][col] + m[2][col] * m[2][col]);
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

// ---------------------------------------------------------------------------
// Intensities.

template <typename T>
T Load(const unsigned char* p) {
    T v;
    std::memcpy(&v, p, sizeof(T));
    return v;
}



// Value at fraction p (0..1) of the sorted samples, interpolating linearly
// between neighbouring ranks. Reorders `v`.
double Percentile(std::vector<float>& v, double p) {
    const double rank = p * static_cast<double>(v.size() - 1);
    const auto lower = static_cast<std::size_t>(std::floor(rank));
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(lower), v.end());
    const double lo = v[lower];
    if (lower + 1 >= v.size()) return lo;
    const double hi = *std::min_element(v.begin() + static_cast<std::ptrdiff_t>(lower) + 1, v.end());
    return lo + (hi - lo) * (rank - static_cast<double>(lower));
}


}  // namespace

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

namespace {

template <typename T>
Window AutoWindow(const unsigned char* raw, std::uint64_t voxels, const Scaling& scaling) {
    const std::uint64_t step = WindowSampleStride(voxels);
    std::vector<float> samples;
    samples.reserve(static_cast<std::size_t>((voxels + step - 1) / step));
    double minimum = std::numeric_limits<double>::infinity();
    double maximum = -minimum;
    for (std::uint64_t i = 0; i < voxels; i += step) {
        const double v = scaling.Apply(static_cast<double>(Load<T>(raw + i * sizeof(T))));
        samples.push_back(static_cast<float>(v));
        minimum = std::min(minimum, v);
        maximum = std::max(maximum, v);
    }
    return WindowOfSamples(samples, minimum, maximum);
}

// The same window for 8- and 16-bit samples without sorting: the same
// samples are counted by raw value, and as the rescale is monotonic the
// k-th smallest rescaled value is the rescale of the k-th smallest (or,
// for a falling rescale, largest) raw value.
template <typename T>
Window AutoWindowCounted(const unsigned char* raw, std::uint64_t voxels, const Scaling& scaling) {
    constexpr long kValues = 1L << (8 * sizeof(T));
    constexpr long kLowest = std::numeric_limits<T>::min();
    const std::uint64_t step = WindowSampleStride(voxels);
    std::vector<std::uint32_t> count(static_cast<std::size_t>(kValues));
    std::uint64_t n = 0;
    for (std::uint64_t i = 0; i < voxels; i += step, ++n) {
        ++count[static_cast<std::size_t>(long(Load<T>(raw + i * sizeof(T))) - kLowest)];
    }
    if (n == 0) return AutoWindow<T>(raw, voxels, scaling);
    long first = 0, last = kValues - 1;
    while (count[std::size_t(first)] == 0) ++first;
    while (count[std::size_t(last)] == 0) --last;
    const double lowRaw = double(first + kLowest), highRaw = double(last + kLowest);
    if (!std::isfinite(lowRaw * scaling.slope + scaling.inter) ||
        !std::isfinite(highRaw * scaling.slope + scaling.inter)) {
        return AutoWindow<T>(raw, voxels, scaling);  // overflowing rescale: not monotonic
    }
    const bool rising = scaling.Apply(highRaw) >= scaling.Apply(lowRaw);
    // The k-th smallest (from 0) of the rescaled samples, as a float like
    // the sorted samples.
    auto kth = [&](std::uint64_t k) {
        std::uint64_t seen = 0;
        for (long b = 0; b < kValues; ++b) {
            const long value = rising ? b : kValues - 1 - b;
            seen += count[std::size_t(value)];
            if (seen > k) return static_cast<float>(scaling.Apply(double(value + kLowest)));
        }
        return 0.0f;  // not reached: k < n
    };
    auto percentile = [&](double p) {
        const double rank = p * static_cast<double>(n - 1);
        const auto lower = static_cast<std::uint64_t>(std::floor(rank));
        const double lo = kth(lower);
        if (lower + 1 >= n) return lo;
        const double hi = kth(lower + 1);
        return lo + (hi - lo) * (rank - static_cast<double>(lower));
    };
    Window w;
    w.low = percentile(0.005);
    w.high = percentile(0.995);
    if (!(w.high > w.low)) {
        w.low = std::min(scaling.Apply(lowRaw), scaling.Apply(highRaw));
        w.high = std::max(scaling.Apply(lowRaw), scaling.Apply(highRaw));
    }
    return w;
}

// ---------------------------------------------------------------------------
// Resampling.

// Per output index along one viewer axis: the two neighbouring array
// samples (as element offsets) and the weight of the second one.
struct AxisSamples {
    std::vector<std::int64_t> first, second;
    std::vector<double> weight;
};

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

AxisSamples PlanAxis(const AxisMap& axis, int outCount, double edge, std::int64_t stride) {
    AxisSamples s;
    s.first.resize(outCount);
    s.second.resize(outCount);
    s.weight.resize(outCount);
    const std::vector<double> index = ArrayIndices(axis, outCount, edge);
    for (int o = 0; o < outCount; ++o) {
        const double f = index[static_cast<std::size_t>(o)];
        const double i0 = std::floor(f);
        const auto lower = static_cast<std::int64_t>(i0);
        const std::int64_t upper = std::min<std::int64_t>(lower + 1, axis.size - 1);
        s.first[o] = lower * stride;
        s.second[o] = upper * stride;
        s.weight[o] = f - i0;
    }
    return s;
}

struct Resampling {
    std::array<AxisSamples, 3> axes;  // viewer x, y, z
    std::array<int, 3> count{};       // output voxels per viewer axis
};

template <typename T>
void Resample(const unsigned char* raw, const Resampling& plan, const Scaling& scaling, const Window& window,
              std::uint8_t* out) {
    const double gain = window.high > window.low ? 255.0 / (window.high - window.low) : 0.0;
    const int nx = plan.count[0], ny = plan.count[1], nz = plan.count[2];
    const int y0 = (kEdge - ny) / 2;
    const int z0 = (kEdge - nz) / 2;
    const auto& ax = plan.axes[0];
    const auto& ay = plan.axes[1];
    const auto& az = plan.axes[2];
    auto value = [&](std::int64_t index) {
        return scaling.Apply(static_cast<double>(Load<T>(raw + index * static_cast<std::int64_t>(sizeof(T)))));
    };
    // NaN (0 · ∞, ∞ − ∞ of extreme inputs) becomes black, not an
    // undefined conversion.
    auto toGrey = [&](double v) { return ToGrey(v, window, gain); };
    if constexpr (std::is_integral_v<T> && sizeof(T) <= 2) {
        // Output voxels on input voxels (no weights, as for 1 mm images): the
        // grey of each possible sample value from a table, no arithmetic.
        auto zero = [](const AxisSamples& a) {
            return std::all_of(a.weight.begin(), a.weight.end(), [](double w) { return w == 0; });
        };
        if (zero(ax) && zero(ay) && zero(az)) {
            constexpr int kLow = std::numeric_limits<T>::min(), kValues = 1 << (8 * sizeof(T));
            std::vector<std::uint8_t> table(kValues);
            for (int v = 0; v < kValues; ++v) table[std::size_t(v)] = toGrey(scaling.Apply(double(v + kLow)));
            InTwoHalves(nz, [&](int zBegin, int zEnd) {
                for (int z = zBegin; z < zEnd; ++z) {
                    for (int x = 0; x < nx; ++x) {
                        const std::int64_t base = ax.first[x] + az.first[z];
                        std::uint8_t* row = out + static_cast<std::size_t>(x) * kPlaneBytes +
                                            static_cast<std::size_t>(z + z0) * kEdge + y0;
                        for (int y = 0; y < ny; ++y) {
                            const T v = Load<T>(raw + (base + ay.first[y]) * static_cast<std::int64_t>(sizeof(T)));
                            row[y] = table[std::size_t(int(v) - kLow)];
                        }
                    }
                }
            });
            return;
        }
    }
    // z outside x: consecutive output planes x read neighbouring samples of
    // the same input rows, which are still in the cache.
    InTwoHalves(nz, [&](int zBegin, int zEnd) {
    for (int z = zBegin; z < zEnd; ++z) {
        const double wz = az.weight[z];
        for (int x = 0; x < nx; ++x) {
            const double wx = ax.weight[x];
            const std::int64_t b00 = ax.first[x] + az.first[z];
            const std::int64_t b10 = ax.second[x] + az.first[z];
            const std::int64_t b01 = ax.first[x] + az.second[z];
            const std::int64_t b11 = ax.second[x] + az.second[z];
            std::uint8_t* row = out + static_cast<std::size_t>(x) * kPlaneBytes +
                                static_cast<std::size_t>(z + z0) * kEdge + y0;
            for (int y = 0; y < ny; ++y) {
                const std::int64_t ya = ay.first[y], yb = ay.second[y];
                const double wy = ay.weight[y];
                auto alongY = [&](std::int64_t base) {
                    const double a = value(base + ya);
                    return wy == 0 ? a : a + (value(base + yb) - a) * wy;
                };
                const double v00 = alongY(b00);
                const double v10 = wx == 0 ? v00 : alongY(b10);
                const double v0 = v00 + (v10 - v00) * wx;
                double v = v0;
                if (wz != 0) {
                    const double v01 = alongY(b01);
                    const double v11 = wx == 0 ? v01 : alongY(b11);
                    const double v1 = v01 + (v11 - v01) * wx;
                    v = v0 + (v1 - v0) * wz;
                }
                row[y] = toGrey(v);
            }
        }
    }
    });
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
            if (!std::isfinite(voxelToWorld[row][col])) throw ConvertError(path + ": ungültige Lage im Raum (keine endliche Zahl)");
            length += voxelToWorld[row][col] * voxelToWorld[row][col];
        }
        length = std::sqrt(length);
        if (!(length >= 1e-3 && length <= 1e3) || dims[col] < 1 || double(dims[col]) * length > 1e5)
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
    if (!std::isfinite(g.edge) || g.edge <= 0) throw ConvertError(path + ": ungültige Voxelabstände");
    for (int a = 0; a < 3; ++a) {
        const double cells = std::round(static_cast<double>(axes[a].size) * axes[a].spacing / g.edge);
        g.count[a] = static_cast<int>(std::clamp(cells, 1.0, static_cast<double>(kEdge)));
        g.arrayAxis[a] = axes[a].arrayAxis;
        g.index[a] = ArrayIndices(axes[a], g.count[a], g.edge);
    }
    return g;
}

template <typename T>
ConvertedVolume ToViewerVolume(const ImageData<T>& image, const std::string& path, std::uint8_t* out) {
    const std::array<std::int64_t, 3>& dims = image.dims;
    const ViewerGrid grid = PlanViewerGrid(dims, image.voxelToWorld, path);
    const std::array<AxisMap, 3> axes = Reorient(image.voxelToWorld, dims);
    const double edge = grid.edge;
    const std::array<std::int64_t, 3> strides = {1, dims[0], dims[0] * dims[1]};
    Resampling plan;
    for (int a = 0; a < 3; ++a) {
        plan.count[a] = grid.count[a];
        plan.axes[a] = PlanAxis(axes[a], plan.count[a], edge, strides[axes[a].arrayAxis]);
    }

    ConvertedVolume volume;
    if (!out) {
        volume.voxels.assign(kVolumeBytes, 0);
        out = volume.voxels.data();
    }
    volume.planes = plan.count[0];
    volume.voxelEdgeMm = edge;

    const std::uint64_t voxels = std::uint64_t(dims[0]) * std::uint64_t(dims[1]) * std::uint64_t(dims[2]);
    Window window;
    if (image.window) {
        window = *image.window;
    } else if constexpr (std::is_integral_v<T> && sizeof(T) <= 2) {
        window = AutoWindowCounted<T>(image.raw, voxels, image.scaling);
    } else {
        window = AutoWindow<T>(image.raw, voxels, image.scaling);
    }
    Resample<T>(image.raw, plan, image.scaling, window, out);
    return volume;
}

template ConvertedVolume ToViewerVolume(const ImageData<std::uint8_t>&, const std::string&, std::uint8_t*);
template ConvertedVolume ToViewerVolume(const ImageData<std::int8_t>&, const std::string&, std::uint8_t*);
template ConvertedVolume ToViewerVolume(const ImageData<std::int16_t>&, const std::string&, std::uint8_t*);
template ConvertedVolume ToViewerVolume(const ImageData<std::uint16_t>&, const std::string&, std::uint8_t*);
template ConvertedVolume ToViewerVolume(const ImageData<std::int32_t>&, const std::string&, std::uint8_t*);
template ConvertedVolume ToViewerVolume(const ImageData<std::uint32_t>&, const std::string&, std::uint8_t*);
template ConvertedVolume ToViewerVolume(const ImageData<float>&, const std::string&, std::uint8_t*);
template ConvertedVolume ToViewerVolume(const ImageData<double>&, const std::string&, std::uint8_t*);

}  // namespace zx
