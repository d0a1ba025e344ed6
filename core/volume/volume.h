// The voxel store: a volume of the shared geometry, and the scratch volume
// loads are assembled in.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "base/volume_geometry.h"

namespace zx {

using VolumeArray = std::array<std::uint8_t, kVolumeBytes>;

/// One 16 MiB scratch volume, allocated and touched once, where loads are
/// assembled before they replace the visible volume, so that a failed load
/// leaves it as it was. It holds nothing between two loads. GUI thread only.
std::uint8_t* StagingVolume();

}  // namespace zx
