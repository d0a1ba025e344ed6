// The voxel store's geometry: 256 × 256 × 256 grey bytes, x slowest.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace zx {

inline constexpr int kEdge = 256;
inline constexpr std::size_t kPlaneBytes = 65536;
inline constexpr std::size_t kVolumeBytes = 16777216;

/// Voxel (x, y, z) is byte x·65536 + z·256 + y: one x plane is one 64 KiB
/// block of a volume file, rows z of 256 bytes each, y within the row.
constexpr std::size_t VoxelIndex(int x, int y, int z) {
    return std::size_t(x) * kPlaneBytes + std::size_t(z) * kEdge + std::size_t(y);
}

using VolumeArray = std::array<std::uint8_t, kVolumeBytes>;

/// One 16 MiB scratch volume, allocated and touched once, where loads are
/// assembled before they replace the visible volume, so that a failed load
/// leaves it as it was. It holds nothing between two loads. GUI thread only.
std::uint8_t* StagingVolume();

}  // namespace zx
