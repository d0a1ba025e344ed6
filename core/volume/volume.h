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
/// assembled before they replace the visible volume. Every call counts as a
/// new use that may overwrite what the buffer held. GUI thread only.
std::uint8_t* StagingVolume();

/// How many times StagingVolume() has been called: whoever keeps data in
/// the buffer between its own uses (the viewer's transversal copy) sees
/// from a changed count that somebody else has written there since.
std::uint64_t StagingUses();

/// The staging buffer held by a load while it fills it: as long as a lease
/// lives, StagingBusy() is true and nobody else keeps or remakes data
/// there (the viewer then draws transversal sections from the volume).
class StagingLease {
public:
    StagingLease();
    ~StagingLease();
    StagingLease(const StagingLease&) = delete;
    StagingLease& operator=(const StagingLease&) = delete;
    std::uint8_t* data() const { return data_; }

private:
    std::uint8_t* data_;
};
bool StagingBusy();

}  // namespace zx
