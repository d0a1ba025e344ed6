// One entry point for every volume file the converter reads: the format is
// told by the file's content (a .img by the .hdr beside it), then its
// reader hands the image to the one conversion pipeline.
#pragma once

#include <string>

#include "convert/converted_volume.h"

namespace zx {

enum class VolumeFormat {
    None,       ///< none of the formats read
    Nifti,      ///< NIfTI-1/-2, a single file or a .hdr/.img pair, and Analyze 7.5
    Mgh,        ///< FreeSurfer MGH/MGZ
    Nrrd,       ///< NRRD, attached or detached header
    MetaImage,  ///< .mha/.mhd
    Minc,       ///< MINC 1 (NetCDF) or 2 (HDF5), read by the reader program
};

/// The format of a file by its first bytes (decompressed when it is gzip).
/// Files that are none give a ConvertError naming what they seem to be
/// ("… ist eine DICOM-Datei …", "… ist keine Volumendatei").
VolumeFormat DetectVolumeFormat(const std::string& path);

/// Converts volume `volume` (1 = the first) of any of these files. The
/// result names its format; a 4-D file's notice says which volume it is.
ConvertedVolume ConvertVolumeFile(const std::string& path, int volume = 1);

/// Whether a name is one the volume formats use (.nii, .nii.gz, .hdr, .img,
/// .mgh, .mgz, .nrrd, .nhdr, .mha, .mhd, each also with .gz where usual).
bool IsVolumeFileName(const std::string& path);

}  // namespace zx
