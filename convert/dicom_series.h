// A DICOM series from a folder, decoded by GDCM, into the viewer's volume
// through the same orientation, resampling and grey window as NIfTI files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "convert/converted_volume.h"

namespace zx {

/// Reads a folder (searched with its subfolders) or a DICOMDIR: indexes
/// its DICOM files (IndexDicom) and takes the one volume among the series
/// found, or with `chosen` (from 1) that entry of the index; sorts them
/// along the slice normal by Image Position (Patient), applies Rescale
/// Slope/Intercept and converts them. Files that are no DICOM images are
/// skipped, DICOM files damaged or empty before their image too (named in
/// the volume's notice); of slices at the same position the first (by file name) is
/// kept. Several volumes and none chosen throw SeveralVolumesError with
/// the list; no volume at all ConvertError saying what was found
/// (NoVolumeMessage). Throws ConvertError with a German message: an empty folder, no
/// DICOM images, slices of different sizes or orientations, a single slice,
/// slices without a position, a gap between slices that differs from the
/// median step by more than 10 %, a file that cannot be decoded (lengths
/// past its end, too few samples), a file of more than 512 MiB of samples.
///
/// The series is read by the reader program zerebrix-dicom in a process of
/// its own: GDCM ends the whole process on some damaged files.
ConvertedVolume ConvertDicomSeries(const std::string& folder);

/// The same, handing the volume (16 MiB, `planes` planes of `edge` mm) to
/// `use`.
void ConvertDicomSeries(
    const std::string& folder,
    const std::function<void(const std::uint8_t* voxels, int planes, double edge)>& use);

/// Called while a series is read: files decoded so far and in all.
using DicomProgress = std::function<void(int done, int total)>;

/// The series read in this process (the reader program's work, and the
/// fuzz harness's): the volume goes to `out` (16 MiB, zeroed). Files are
/// decoded one after another (two at a time) and resampled into the 256³
/// grid as they come, so memory does not grow with the series. A damaged
/// file may end this process (GDCM assertions). `progress` is called from
/// the decoding threads, one call per file. DICOM files that are damaged
/// or empty before their image are left out; `notice` then names them.
/// `seriesLine`, when given, receives the list line of the series read.
ConvertedVolume ReadDicomSeriesHere(const std::string& folder, std::uint8_t* out,
                                    const DicomProgress& progress = {},
                                    std::string* notice = nullptr, int chosen = 0,
                                    std::string* seriesLine = nullptr);

/// The decoded samples of one DICOM file after Rescale Slope/Intercept,
/// row by row (all frames): what the series reader takes from it.
std::vector<double> DicomFileSamples(const std::string& path);

}  // namespace zx
