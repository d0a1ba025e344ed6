// A DICOM series read by the separate program zerebrix-dicom, so that the
// viewer process never loads the DICOM decoder and its dictionaries.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "convert/converted_volume.h"
#include "convert/series_index.h"

namespace zx {

/// How long the reader program may take for one series before it is ended.
inline constexpr std::chrono::milliseconds kDicomReaderTimeLimit{60000};

/// The address space the reader program gives itself (RLIMIT_AS).
inline constexpr unsigned long long kDicomReaderMemoryLimit = 2ULL << 30;

/// What ConvertDicomSeries returns (`chosen`: the entry of the index, from
/// 1, or 0 for the only volume), read by the reader program in its own
/// process. Throws ConvertError with the same messages, and with a German
/// message when the reader program cannot be found or started, crashes,
/// exits with a failure, hands back a damaged result block or is still
/// running after `timeLimit` (it is killed then).
ConvertedVolume ConvertDicomSeriesApart(
    const std::string& folder, std::chrono::milliseconds timeLimit = kDicomReaderTimeLimit);

/// The same, handing the reader's volume to `use` where the reader left it
/// (16 MiB, `planes` planes of `edge` mm), without a copy; `notice`, when
/// given, receives what the reader left out (German, or empty);
/// `seriesLine`, when given, the list line of the series read.
void ConvertDicomSeriesApart(
    const std::string& folder,
    const std::function<void(const std::uint8_t* voxels, int planes, double edge)>& use,
    std::chrono::milliseconds timeLimit = kDicomReaderTimeLimit,
    const std::function<void(int done, int total)>& progress = {}, std::string* notice = nullptr,
    int chosen = 0, std::string* seriesLine = nullptr);

/// What the reader program found in a folder or DICOMDIR: the index
/// (BuildSeriesIndex), a thumbnail of each entry's middle image
/// (kThumbnailSide² greys), and the files it left out (German, or empty).
struct DicomFolderIndex {
    std::vector<IndexedSeries> series;
    std::vector<std::vector<std::uint8_t>> thumbnails;
    std::string notice;
};

/// Side of the index's square thumbnails.
inline constexpr int kThumbnailSide = 64;

/// Indexes the folder or DICOMDIR in the reader program; `progress`
/// counts the files indexed. Throws ConvertError as ConvertDicomSeriesApart
/// does, and for a folder without DICOM images.
DicomFolderIndex IndexDicomApart(const std::string& path,
                                 std::chrono::milliseconds timeLimit = kDicomReaderTimeLimit,
                                 const std::function<void(int done, int total)>& progress = {});

/// Volume `volume` (1 = the first) of a MINC 1 or 2 file, read by the
/// reader program through Debian's libminc (which the viewer never links),
/// within the same memory and time limits; converted as every volume file.
ConvertedVolume ConvertMincApart(const std::string& path, int volume = 1,
                                 std::chrono::milliseconds timeLimit = kDicomReaderTimeLimit);

/// The reader program's path: in ../libexec/zerebrix of an installed
/// program, beside the running program, or, for programs inside the build
/// tree (the tests), in the build folder. Empty when there is none. The
/// environment variable ZEREBRIX_DICOM_READER, when set, names it instead.
/// `name` is "zerebrix-dicom" (DICOM) or "zerebrix-minc", the same reader
/// linked with libminc: MINC's libraries (HDF5, NetCDF and theirs) would
/// double the DICOM reader's start.
std::string DicomReaderPath(const char* name = "zerebrix-dicom");

struct DicomSeriesResult;
/// Makes (MADV_POPULATE_WRITE) the pages of the result block's voxels in
/// this process at once rather than one fault a page; a failure leaves
/// them to fault.
void MakeVoxelPages(DicomSeriesResult& result);

}  // namespace zx
