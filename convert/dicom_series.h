// A DICOM series from a folder, decoded by GDCM, into the viewer's volume
// through the same orientation, resampling and grey window as NIfTI files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "convert/nifti.h"

namespace zx {

/// Reads the folder (not its subfolders): groups the DICOM images by
/// Series Instance UID, takes the series with the most slices, sorts them
/// along the slice normal by Image Position (Patient), applies Rescale
/// Slope/Intercept and converts them. Files that are no DICOM images are
/// skipped. Throws ConvertError with a German message: an empty folder, no
/// DICOM images, slices of different sizes or orientations, a single slice,
/// a file that cannot be decoded.
NiftiVolume ConvertDicomSeries(const std::string& folder);

/// The same, handing the volume (16 MiB, `planes` planes of `edge` mm) to
/// `use` where the reader left it, without a copy.
void ConvertDicomSeries(const std::string& folder,
                        const std::function<void(const std::uint8_t* voxels, int planes, double edge)>& use);

/// The decoded samples of one DICOM file after Rescale Slope/Intercept,
/// row by row (all frames): what the series reader takes from it.
std::vector<double> DicomFileSamples(const std::string& path);

}  // namespace zx
