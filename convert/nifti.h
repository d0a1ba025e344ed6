// NIfTI-1 / NIfTI-2 and Analyze 7.5 reader that turns a head image into the
// viewer's 256x256x256 byte volume.
#pragma once

#include <string>

#include "convert/converted_volume.h"

namespace zx {

// Reads a .nii file, a .hdr/.img pair (NIfTI or Analyze 7.5, either file
// named; each may be gzip-compressed, which is recognised by content, not
// by name), reorients it to the viewer axes by the nearest axis
// permutation/flip, resamples it onto cubic voxels that fit into 256^3 and
// maps the intensities to 0..255. `volume` chooses the 3-D volume of a 4-D
// file (1 = the first). The image is read plane by plane (gzip files too),
// so memory stays bounded (about 100 MiB) whatever its size; refused with
// "Datei zu groß" are a volume of more than 2 GiB and a plane of more than
// 64 MiB. CIFTI files and matrices are refused: they are no images.
ConvertedVolume ConvertNifti(const std::string& path, int volume = 1);

// The notice of an Analyze 7.5 file: the orientation it was read in.
extern const char kAnalyzeAssumed[];

}  // namespace zx
