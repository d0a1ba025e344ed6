// The block of shared memory through which a reader process hands a
// converted DICOM series back to the process that asked for it.
#pragma once

#include <fcntl.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "base/volume_geometry.h"
#include "convert/converted_volume.h"
#include "convert/dicom_helper.h"

namespace zx {

/// What the viewer writes into `mark` of a block it made for the reader,
/// before it starts the reader.
inline constexpr std::uint64_t kDicomResultMark = 0x5345524349445a58ULL;  // "ZXDICRES"

/// The seals of such a block (a memfd): its size is fixed, and so are the
/// seals. A descriptor without them is no block of the viewer's.
inline constexpr int kDicomResultSeals = F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL;

struct DicomSeriesResult {
    int status;  ///< 0 volume or index, 1 refused (message), 2 other failure, 3 several volumes
                 ///< (list in message)
    /// Files decoded so far and in all, written by the reader while it
    /// reads (0 and 0 until the series is planned): a progress display may
    /// poll them.
    std::atomic<int> filesDone, filesTotal;
    int planes;
    double edge;
    std::uint64_t volumes;  ///< of a 4-D file (MINC): its volumes
    char message[8192];
    char notice[2048];  ///< with status 0: files left out (German), or empty
    /// Of an index: the thumbnails complete so far (status 0 is set before
    /// the first; the index stands even when the reader dies after it).
    std::atomic<int> thumbnails;
    /// With status 0, when no entry was asked for: the list line of the
    /// series read (SeriesListLine), or empty.
    char seriesLine[1024];
    std::uint8_t voxels[kVolumeBytes];
    std::uint64_t mark;  ///< kDicomResultMark, from the viewer
};

/// The reader program's command line:
/// --result-fd FD [--index | --series N | --minc VOLUME] -- PATH.
struct ReaderArguments {
    int fd = -1;
    bool index = false;
    int chosen = 0;  ///< N of --series, else 0
    int minc = 0;    ///< VOLUME of --minc (a MINC file, from 1), else 0
    std::string path;
};

/// The arguments, or none when they are not of that form: FD a number from
/// 3 to 1000000, N a number from 1.
std::optional<ReaderArguments> ParseReaderArguments(int argc, const char* const* argv);

/// Reads the series in `folder` into `result` (voxels, planes, edge,
/// status 0) or records the reader's message (status 1). Used inside the
/// reader process, where a crash of the DICOM decoder harms nobody else.
/// `chosen`: the entry of the index to read (from 1), or 0 for the only
/// volume.
void FillDicomSeriesResult(const std::string& folder, DicomSeriesResult& result, int chosen = 0);

/// The index of a folder or DICOMDIR in the result block instead of a
/// volume: `planes` entries, SerializeIndex's text at the start of
/// `voxels` (ending in a zero byte, at most kIndexTextBytes), then from
/// kIndexTextBytes on one thumbnail (kThumbnailSide² greys) an entry, for
/// the first kMaxIndexThumbnails entries; `notice` the files left out.
/// While it runs, filesDone and filesTotal count the files indexed.
void FillDicomIndexResult(const std::string& path, DicomSeriesResult& result);

inline constexpr std::size_t kIndexTextBytes = std::size_t(4) << 20;
inline constexpr std::size_t kMaxIndexThumbnails = (kVolumeBytes - kIndexTextBytes) / 4096;

/// Reads volume `volume` of the MINC file `path` into `result`, as
/// FillDicomSeriesResult does with a series.
void FillMincResult(const std::string& path, int volume, DicomSeriesResult& result);

/// Checks the block of a finished reader process (`exited`: it ended
/// normally). Throws ConvertError with the reader's message, or a German
/// message naming the folder when the reader failed.
void CheckDicomSeriesResult(const std::string& folder, const DicomSeriesResult& result,
                            bool exited);

/// The checked block's index and thumbnails (thumbnails beyond those the
/// block can hold are black), copied out of it.
DicomFolderIndex TakeDicomIndexResult(const std::string& path, const DicomSeriesResult& result,
                                      bool exited);

/// The checked block's volume, copied out of it.
ConvertedVolume TakeDicomSeriesResult(const std::string& folder, const DicomSeriesResult& result,
                                      bool exited);

}  // namespace zx
