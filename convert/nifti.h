// NIfTI-1 / NIfTI-2 reader that turns a head image into the viewer's
// 256x256x256 byte volume.
#pragma once

#include <string>

#include "convert/converted_volume.h"

namespace zx {

// Reads a .nii or gzip-compressed .nii file (compression is recognised by
// content, not by name), reorients it to the viewer axes by the nearest
// axis permutation/flip, resamples it onto cubic voxels that fit into
// 256^3 and maps the intensities to 0..255. The image is read plane by
// plane (gzip files too), so memory stays bounded (about 100 MiB) whatever
// its size; refused with "Datei zu groß" are a first volume of more than
// 2 GiB and a plane of more than 64 MiB.
ConvertedVolume ConvertNifti(const std::string& path);

}  // namespace zx
