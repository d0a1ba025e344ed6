// Atlas label volumes on the viewer grid of a head image: every voxel of
// the head's converted volume gets the label of the atlas voxel nearest to
// the same point in space (labels are never interpolated).
#pragma once

#include <array>
#include <string>
#include <vector>

#include "convert/pipeline.h"

namespace zx {

/// A NIfTI image as it lies in space: sizes, the voxel-to-world transform
/// (RAS mm, translation included) and, when asked for, the first volume's
/// samples in their stored type (host byte order; at most 512 MiB, else
/// "Datei zu groß").
struct NiftiImage {
    std::array<std::int64_t, 3> dims{};
    Matrix3 voxelToWorld{};
    std::array<double, 3> origin{};  ///< world position of voxel (0, 0, 0)
    std::vector<unsigned char> raw;
    int datatype = 0;
    Scaling scaling;
    /// Sample i (array order) after scaling.
    double Value(std::size_t i) const;
};

NiftiImage ReadNiftiImage(const std::string& path, bool withValues);

/// The atlas's labels (0…255; larger numbers become 0) on the grid that
/// ConvertNifti(head) produces, in the .vmr layout.
ConvertedVolume ConvertLabels(const std::string& atlasPath, const std::string& headPath);

}  // namespace zx
