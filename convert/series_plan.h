// The plan of a DICOM series from what its files' headers say, before a
// sample is decoded: which files belong together, in which order they lie
// and at what distance. No files and no decoder: the headers' facts only.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace zx {

using Vec3 = std::array<double, 3>;

inline double Dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
inline Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
/// Whether two direction cosines agree (to 0.001 in each component).
inline bool SameDirection(const Vec3& a, const Vec3& b) {
    return std::fabs(a[0] - b[0]) < 1e-3 && std::fabs(a[1] - b[1]) < 1e-3 &&
           std::fabs(a[2] - b[2]) < 1e-3;
}

/// What the header of one image file says about its place in a series.
struct SliceHeader {
    std::string name;       ///< the file's name, for messages
    std::string seriesUid;  ///< Series Instance UID; empty when the file has none
    unsigned rows = 0, columns = 0;
    std::vector<double> position;     ///< Image Position (Patient), mm: 3 numbers when usable
    std::vector<double> orientation;  ///< Image Orientation (Patient): 6 numbers when usable
};

/// The slices of each series, by Series Instance UID: indices into
/// `slices`, in the order given.
std::map<std::string, std::vector<std::size_t>> GroupBySeries(
    const std::vector<SliceHeader>& slices);

/// Where the slices of a series lie.
struct SeriesPlan {
    /// Indices into the slices given, along the slice normal; of slices at
    /// one position (within 0.01 mm) only the first given.
    std::vector<std::size_t> order;
    unsigned rows = 0, columns = 0;
    Vec3 rowDir{}, colDir{}, normal{};
    double step = 0;  ///< mm from one slice to the next
};

/// Plans the single-frame slices of one series: every slice of one size
/// and orientation at a finite position, sorted along the normal, the
/// gaps between them no more than 10 % from their median. Throws
/// ConvertError with a German message naming what is wrong: a single
/// slice, a slice without a usable position or orientation, slices of
/// different sizes or orientations, an orientation without a normal,
/// slices all at one position, an uneven gap (naming the two files).
SeriesPlan PlanSeries(const std::vector<SliceHeader>& slices);

}  // namespace zx
