// Small volumes in the outside formats the viewer opens, made byte by byte.
#pragma once

#include <QByteArray>
#include <QDir>
#include <cstring>

#include "support/dicom_bytes.h"
#include "support/temp_dir.h"

namespace zxtest {

/// A NIfTI-1 file of 20 × 24 × 16 one-byte voxels, 1 mm, no transform;
/// voxel (i, j, k) holds i + 10 · k.
inline QByteArray SmallNifti() {
    QByteArray h(352, '\0');
    auto put16 = [&](int at, int v) { h[at] = char(v & 0xff), h[at + 1] = char((v >> 8) & 0xff); };
    auto putF = [&](int at, float v) { std::memcpy(h.data() + at, &v, 4); };
    put16(0, 348), h[1] = 0x01;  // sizeof_hdr 348
    const int dims[8] = {3, 20, 24, 16, 1, 1, 1, 1};
    for (int i = 0; i < 8; ++i) put16(40 + 2 * i, dims[i]);
    put16(70, 2);  // uint8
    put16(72, 8);
    for (int i = 0; i < 4; ++i) putF(76 + 4 * i, 1.0f);
    putF(108, 352.0f);
    std::memcpy(h.data() + 344, "n+1\0", 4);
    for (int k = 0; k < 16; ++k)
        for (int j = 0; j < 24; ++j)
            for (int i = 0; i < 20; ++i) h.append(char(i + 10 * k));
    return h;
}

/// A folder of four axial 32 × 32 slices 2 mm apart; slice k holds
/// 100 · (k + 1) plus the column.
inline QString SmallDicomSeries(TempDir& dir) {
    QDir(dir.Root()).mkdir(QStringLiteral("serie"));
    for (int k = 0; k < 4; ++k) {
        std::vector<std::uint16_t> samples(32 * 32);
        for (int i = 0; i < 32 * 32; ++i) samples[std::size_t(i)] = std::uint16_t(100 * (k + 1) + i % 32);
        dir.Write(QStringLiteral("serie/s%1").arg(3 - k), AxialSlice(32, 32, 2.0 * k, samples));
    }
    return dir.Path(QStringLiteral("serie"));
}

}  // namespace zxtest
