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
constexpr std::size_t VoxelIndex(int x, int y, int z) {
    return std::size_t(x) * kPlaneBytes + std::size_t(z) * kEdge + std::size_t(y);
}

}  // namespace zx
