// The viewer's volume: 256 × 256 × 256 grey bytes, x slowest. Every reader,
// converter and view of this program uses this layout.
#pragma once

#include <cstddef>

namespace zx {

inline constexpr int kEdge = 256;
inline constexpr std::size_t kPlaneBytes = std::size_t{kEdge} * kEdge;
inline constexpr std::size_t kVolumeBytes = kPlaneBytes * kEdge;

/// Voxel (x, y, z) is byte x·65536 + z·256 + y: one x plane is one 64 KiB
/// block of a volume file, rows z of 256 bytes each, y within the row.
/// The voxel edges this program believes, in mm: the converters take
/// voxel spacings in this range, and a volume's edge from a file or a
/// reader outside it (a sidecar, the DICOM reader) must lie in it too.
inline constexpr double kMinEdgeMm = 1e-3, kMaxEdgeMm = 1e3;
constexpr bool PlausibleEdgeMm(double mm) { return mm >= kMinEdgeMm && mm <= kMaxEdgeMm; }

constexpr std::size_t VoxelIndex(int x, int y, int z) {
    return std::size_t(x) * kPlaneBytes + std::size_t(z) * kEdge + std::size_t(y);
}

}  // namespace zx
