// NIfTI-1 / NIfTI-2 reader that turns a head image into the viewer's
// 256x256x256 byte volume.
//
// Volume layout: voxel (x, y, z) is byte x*65536 + z*256 + y.
//   x runs from the patient's right (x = 0) to the left,
//   y from anterior to posterior,
//   z from superior (z = 0, top of the head) to inferior.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace zx {

// Thrown for every input that cannot be converted; what() is a sentence
// suitable for showing to the user and names the file.
struct ConvertError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct NiftiVolume {
    std::vector<std::uint8_t> voxels;   // 16,777,216 bytes, layout x*65536 + z*256 + y
    int planes = 0;                      // n: planes 0..n-1 hold the image (x extent), 1..256
    double voxelEdgeMm = 0;              // edge of the cubic output voxels
};

// Reads a .nii or gzip-compressed .nii file (compression is recognised by
// content, not by name), reorients it to the viewer axes by the nearest
// axis permutation/flip, resamples it onto cubic voxels that fit into
// 256^3 and maps the intensities to 0..255. The image is read plane by
// plane (gzip files too), so memory stays bounded (about 100 MiB) whatever
// its size; refused with "Datei zu groß" are a first volume of more than
// 2 GiB and a plane of more than 64 MiB.
NiftiVolume ConvertNifti(const std::string& path);

}  // namespace zx
