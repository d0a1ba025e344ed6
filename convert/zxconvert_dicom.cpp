// zxconvert dicom-series: the series of a folder or DICOMDIR listed, or one
// of them read into a volume file, by the reader program in a process of
// its own.
#include <QFile>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "convert/converted_volume.h"
#include "convert/dicom_helper.h"
#include "convert/series_index.h"
#include "convert/zxconvert.h"
#include "core/volume/volume.h"

namespace zxconvert {

namespace {

/// The entry of the index to read: `chosen`, or the only volume.
/// Several volumes: the list goes to stderr and the call ends with 2.
std::size_t ChooseSeries(const std::vector<zx::IndexedSeries>& index, int chosen,
                         const QString& path) {
    if (chosen > 0) {
        if (std::size_t(chosen) > index.size())
            throw UsageError{QStringLiteral("--series %1: %2 enthält %3 Serien")
                                 .arg(chosen)
                                 .arg(path)
                                 .arg(index.size())};
        if (index[std::size_t(chosen) - 1].kind != zx::SeriesKind::Volume)
            throw zx::ConvertError(index[std::size_t(chosen) - 1].reason);
        return std::size_t(chosen) - 1;
    }
    const std::size_t volumes = zx::VolumeCount(index);
    if (volumes == 0) throw zx::ConvertError(zx::NoVolumeMessage(index));
    if (volumes > 1) {
        std::string list;
        for (std::size_t i = 0; i < index.size(); ++i)
            list += zx::SeriesListLine(i + 1, index[i]) + "\n";
        throw zx::SeveralVolumesError(
            QStringLiteral("%1 enthält %2 Volumen; bitte eines mit --series N wählen:\n")
                .arg(path)
                .arg(volumes)
                .toStdString() +
            list);
    }
    std::size_t k = 0;
    while (index[k].kind != zx::SeriesKind::Volume) ++k;
    return k;
}

}  // namespace

int DicomSeries(QStringList a) {
    const bool list = a.removeAll(QStringLiteral("--list")) > 0;
    int chosen = 0;
    if (const qsizetype at = a.indexOf(QStringLiteral("--series")); at >= 0) {
        bool ok = at + 1 < a.size();
        chosen = ok ? a[at + 1].toInt(&ok) : 0;
        if (!ok || chosen < 1)
            throw UsageError{QStringLiteral("--series erwartet eine Nummer ab 1")};
        a.remove(at, 2);
    }
    if (list ? a.size() != 1 || chosen : a.size() != 2)
        throw UsageError{QStringLiteral(
            "dicom-series erwartet --list ORDNER|DICOMDIR oder [--series N] ORDNER|DICOMDIR "
            "ZIEL.vmr")};
    const std::string path = QFile::encodeName(a[0]).toStdString();
    if (!list) CheckOutput(a[1], {a[0]}, true);
    // Indexed and read by the reader program in a process of its own,
    // bounded in memory and time, as the viewer reads a series.
    if (!list && !chosen) {
        // One start of the reader: it picks the only volume itself, or
        // refuses several with their list, and names the series it read.
        std::string notice, line;
        try {
            zx::ConvertDicomSeriesApart(
                path,
                [&](const std::uint8_t* voxels, int planes, double edge) {
                    if (!notice.empty())
                        std::fprintf(stderr, "zxconvert: Hinweis: %s\n", notice.c_str());
                    if (!line.empty()) std::fprintf(stderr, "zxconvert: Serie %s\n", line.c_str());
                    // Written straight from the reader's block.
                    WriteVolume(a[1], voxels, planes, edge, "DICOM-Serie");
                },
                zx::kDicomReaderTimeLimit, {}, &notice, 0, &line);
        } catch (const zx::SeveralVolumesError& e) {
            const std::string text = e.what();
            if (!text.empty() && text.back() == '\n') throw;
            throw zx::SeveralVolumesError(text + "\n");
        }
        return 0;
    }
    const zx::DicomFolderIndex index = zx::IndexDicomApart(path);
    if (!index.notice.empty())
        std::fprintf(stderr, "zxconvert: Hinweis: %s\n", index.notice.c_str());
    if (list) {
        for (std::size_t i = 0; i < index.series.size(); ++i)
            std::printf("%s\n", zx::SeriesListLine(i + 1, index.series[i]).c_str());
        return 0;
    }
    const std::size_t k = ChooseSeries(index.series, chosen, a[0]);
    std::fprintf(stderr, "zxconvert: Serie %s\n",
                 zx::SeriesListLine(k + 1, index.series[k]).c_str());
    zx::ConvertedVolume v;
    v.voxels.resize(zx::kVolumeBytes);
    zx::ConvertDicomSeriesApart(
        path,
        [&](const std::uint8_t* voxels, int planes, double edge) {
            std::memcpy(v.voxels.data(), voxels, zx::kVolumeBytes);
            v.planes = planes;
            v.voxelEdgeMm = edge;
        },
        zx::kDicomReaderTimeLimit, {}, nullptr, int(k) + 1);
    WriteVolume(a[1], v.voxels.data(), v.planes, v.voxelEdgeMm, "DICOM-Serie");
    return 0;
}

}  // namespace zxconvert
