// The index of a folder or CD of DICOM files, from their headers alone:
// which series there are, how each splits into parts that are one picture
// kind each, and which of them are volumes the viewer can show. No files
// and no decoder: the headers' facts only, so it is testable without
// pixels and cheap enough for a whole CD.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "convert/series_plan.h"

namespace zx {

/// What the header of one DICOM file says, beyond its place in a series.
struct DicomFileHeader : SliceHeader {
    std::string patient, studyDate, studyDescription;
    std::string seriesNumber, seriesDescription, modality;
    std::string imageType;  ///< Image Type, values separated by '\'
    std::string sopClass;   ///< SOP Class UID
    long frames = 1;
    double pixelSpacing[2] = {0, 0};  ///< mm between rows, between columns; 0 when unknown
    bool hasImage = false;            ///< Rows and Columns present and not a report/RT object
};

/// What a part of a series is.
enum class SeriesKind { Volume, Localizer, Single, Derived, NoImage, Irregular };

/// One entry of the index: a series, or the part of it that is one kind.
struct IndexedSeries {
    SeriesKind kind = SeriesKind::NoImage;
    std::string reason;              ///< German: why it is no volume (empty for volumes)
    std::vector<std::size_t> files;  ///< indices into the headers given, in their order
    std::string patient, studyDate, studyDescription;
    std::string seriesNumber, seriesDescription, modality, seriesUid;
    unsigned rows = 0, columns = 0;
    int images = 0;                   ///< files, or frames of a multi-frame file
    double pixelSpacing[2] = {0, 0};  ///< as the first file states it
    double step = 0;                  ///< mm between slices of a volume, else 0
};

/// Splits and classifies: files by Series Instance UID, the images of a
/// series by orientation, image size and image type; each part a volume
/// (at least 2 slices of one orientation, evenly spaced, or one file of
/// several frames), a localiser (Image Type LOCALIZER, or a few slices of
/// a series that has several orientations), a single image, derived or
/// secondary pictures (MIPs, projections, secondary captures), no image
/// (reports, RT objects, no Rows/Columns) or an irregular part (the reason
/// from PlanSeries). Non-volume parts of one kind within a series are one
/// entry. Entries are ordered by patient, study date, series number.
std::vector<IndexedSeries> BuildSeriesIndex(const std::vector<DicomFileHeader>& files);

/// The kind in German words ("Volumen", "Lokalisierer", …).
std::string KindWord(SeriesKind kind);

/// One line of `zxconvert dicom-series --list`: index (from 1), modality,
/// series number, description, images, size (COLUMNSxROWS) and kind,
/// tab-separated.
std::string SeriesListLine(std::size_t index, const IndexedSeries& s);

/// The volumes of the index.
std::size_t VolumeCount(const std::vector<IndexedSeries>& index);

/// Why nothing of the index can be opened: the one entry's reason, or for
/// several "N Serien gefunden, keine davon ist ein Volumen: 2 Lokalisierer,
/// 1 Einzelbild".
std::string NoVolumeMessage(const std::vector<IndexedSeries>& index);

/// The index as lines of text and back, for handing it from the reader
/// program to the viewer (tabs and line breaks in texts become spaces).
std::string SerializeIndex(const std::vector<IndexedSeries>& index);
std::vector<IndexedSeries> ParseIndex(const std::string& text);

}  // namespace zx
