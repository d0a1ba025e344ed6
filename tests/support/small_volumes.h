// Small volumes in the outside formats the viewer opens, made byte by byte.
#pragma once

#include <QByteArray>
#include <QDir>
#include <vector>

#include "support/dicom_bytes.h"
#include "support/nifti_writer.h"
#include "support/temp_dir.h"

namespace zxtest {

/// A NIfTI-1 file of 20 × 24 × 16 one-byte voxels, 1 mm, no transform;
/// voxel (i, j, k) holds i + 10 · k.
inline QByteArray SmallNifti() {
    NiftiFields s;
    s.dim = {3, 20, 24, 16, 1, 1, 1, 1};
    std::vector<double> values;
    for (int k = 0; k < 16; ++k)
        for (int j = 0; j < 24; ++j)
            for (int i = 0; i < 20; ++i) values.push_back(i + 10 * k);
    const Bytes file = NiftiFile(s, values);
    return QByteArray(reinterpret_cast<const char*>(file.data()), qsizetype(file.size()));
}

/// A folder of four axial 32 × 32 slices 2 mm apart; slice k holds
/// 100 · (k + 1) plus the column.
inline QString SmallDicomSeries(TempDir& dir) {
    QDir(dir.Root()).mkdir(QStringLiteral("serie"));
    for (int k = 0; k < 4; ++k) {
        std::vector<std::uint16_t> samples(32 * 32);
        for (int i = 0; i < 32 * 32; ++i)
            samples[std::size_t(i)] = std::uint16_t(100 * (k + 1) + i % 32);
        dir.Write(QStringLiteral("serie/s%1").arg(3 - k), AxialSlice(32, 32, 2.0 * k, samples));
    }
    return dir.Path(QStringLiteral("serie"));
}

}  // namespace zxtest
