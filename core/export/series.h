// The slice-series export and the web export's plan of pictures: core code
// that the main window's commands and zxconvert share.
#pragma once

#include <QImage>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

namespace zx {

/// Writes every sagittal plane 0 … sliceCount − 1 of `volume` as
/// base + k + ".bmp" (24-bit, grey, 256 × 256), each rendered into `sagBmp`
/// (which keeps its 32-bit format). `progress(name)` runs after each file.
/// Returns the number of files. A file that cannot be written throws; the
/// files are written all or none (PictureBatch).
int ExportSagittalSeries(const std::uint8_t* volume, int sliceCount, const QString& base,
                         QImage& sagBmp, const std::function<void(const QString&)>& progress = {});

/// Writes the 256 transversal planes as base + k + ".bmp", the data in
/// columns (256 − sliceCount) div 2 on, the other columns as `traBmp` holds
/// them; all or none, as the sagittal series.
int ExportTransversalSeries(const std::uint8_t* volume, int sliceCount, const QString& base,
                            QImage& traBmp,
                            const std::function<void(const QString&)>& progress = {});

/// One picture of the web export: view 1, 2 or 3 moved to `position` (the
/// text put into that view's coordinate edit), saved as `name`.
struct WebPicture {
    int view;
    int position;
    QString name;             ///< "sag_n.bmp", "cor_n.bmp" or "tra_n.bmp"
    bool leftOfData = false;  ///< a sagittal picture of a view column left of the data
};

/// Why the web export refuses these values (German), or empty: each start
/// lies within the volume (0 … 255) and the interval is at least 1.
QString WebExportRefusal(std::int64_t startX, std::int64_t startY, std::int64_t startZ,
                         std::int64_t interval);

/// The pictures of the web export in their order: sagittal pictures left of
/// the data show plane 255, then sagittal up to number 27, then 27 coronal
/// and 27 transversal ones; positions are limited to 0 … 255. Values that
/// WebExportRefusal refuses throw RuntimeError with its text, so the plan
/// holds at most 128 + 81 pictures.
std::vector<WebPicture> WebExportPlan(int startX, int startY, int startZ, int interval,
                                      int sliceOffset);

}  // namespace zx
