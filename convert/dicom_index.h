// Finding the DICOM files of a folder or CD and indexing them from their
// headers (GDCM's scanner): the reader program's first step, before one
// series is read.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "convert/dicom_check.h"
#include "convert/dicom_helper.h"
#include "convert/series_index.h"

namespace zx {

/// The files a folder or a DICOMDIR names, in a stable order: a DICOMDIR
/// (a file) by its records when they are sound — every referenced file
/// inside its folder and present — else by searching its folder; a folder
/// searched recursively, at most 16 levels deep, every folder once (no
/// link loops), regular files only (no FIFOs or devices), DICOMDIR files
/// themselves left out. Throws ConvertError "Der Ordner … existiert
/// nicht." for a path that is neither, "Der Ordner … ist leer." when it
/// holds no file.
std::vector<std::string> FindDicomFiles(const std::string& path);

/// One DICOM file of the index.
struct IndexedFile {
    std::string path;
    DicomLayout layout;
    DicomFileHeader header;
};

struct DicomIndex {
    std::string root;                   ///< the folder searched (of a DICOMDIR: its folder)
    std::vector<IndexedFile> files;     ///< DICOM files with a data set
    std::vector<IndexedSeries> series;  ///< BuildSeriesIndex of their headers
    std::vector<std::string> leftOut;   ///< damaged or empty DICOM files, by path from root
    std::string firstDamage;            ///< the first left-out file's damage (German)
};

/// Called while files are indexed: files looked at so far and in all.
using IndexProgress = std::function<void(int done, int total)>;

/// Finds and indexes the files: files that are no DICOM are skipped
/// silently, damaged or empty DICOM files are left out and named.
DicomIndex IndexDicom(const std::string& path, const IndexProgress& progress = {});

/// The notice naming left-out files: the first few by name, the count of
/// the rest.
std::string LeftOutNotice(const std::vector<std::string>& names);

/// The middle image of an entry as a kThumbnailSide² grey picture (its
/// 1st to 99th percentile spread over the greys, the image fitted and
/// centred on black); black when it cannot be decoded or holds no image.
void SeriesThumbnail(const DicomIndex& index, const IndexedSeries& s, std::uint8_t* out);

}  // namespace zx
