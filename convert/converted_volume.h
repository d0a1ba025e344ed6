// What every converter gives the viewer (NIfTI files, DICOM series, atlas
// labels), and what it throws for input it cannot convert.
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

// Thrown when a folder holds several volumes and none was chosen; what()
// says so and lists the series, one a line.
struct SeveralVolumesError : ConvertError {
    using ConvertError::ConvertError;
};

struct ConvertedVolume {
    std::vector<std::uint8_t> voxels;  // 16,777,216 bytes, layout x*65536 + z*256 + y
    int planes = 0;                    // n: planes 0..n-1 hold the image (x extent), 1..256
    double voxelEdgeMm = 0;            // edge of the cubic output voxels
    std::string notice;                // German: what of the input was left out, or empty
    std::string format;                // the file's format ("MGZ", "NRRD", …), or empty
    int volume = 1;                    // of a 4-D file: the volume taken (1-based) …
    std::uint64_t volumes = 1;         // … of this many
};

}  // namespace zx
