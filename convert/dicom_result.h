// The block of shared memory through which a reader process hands a
// converted DICOM series back to the process that asked for it.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "base/volume_geometry.h"
#include "convert/converted_volume.h"

namespace zx {

struct DicomSeriesResult {
    int status;  ///< 0 volume, 1 refused (message), 2 other failure
    /// Files decoded so far and in all, written by the reader while it
    /// reads (0 and 0 until the series is planned): a progress display may
    /// poll them.
    std::atomic<int> filesDone, filesTotal;
    int planes;
    double edge;
    char message[2048];
    std::uint8_t voxels[kVolumeBytes];
};

/// Reads the series in `folder` into `result` (voxels, planes, edge,
/// status 0) or records the reader's message (status 1). Used inside the
/// reader process, where a crash of the DICOM decoder harms nobody else.
void FillDicomSeriesResult(const std::string& folder, DicomSeriesResult& result);

/// Checks the block of a finished reader process (`exited`: it ended
/// normally). Throws ConvertError with the reader's message, or a German
/// message naming the folder when the reader failed.
void CheckDicomSeriesResult(const std::string& folder, const DicomSeriesResult& result,
                            bool exited);

/// The checked block's volume, copied out of it.
ConvertedVolume TakeDicomSeriesResult(const std::string& folder, const DicomSeriesResult& result,
                                      bool exited);

}  // namespace zx
