// What is known of a volume beyond its voxels, kept in a small text file
// beside the volume file ("kopf.vmr" → "kopf.zxm"), so that the volume file
// itself stays raw planes and the info file stays as it is:
//
//     # Zerebrix-MR
//     edge_mm: 0.9375
//     source_format: MGZ
//
// One "key: value" a line; unknown keys and lines are skipped.
#pragma once

#include <QString>

namespace zx {

struct VolumeMeta {
    double edgeMm = 0;     ///< edge of the cubic voxels in mm; 0 when unknown
    QString sourceFormat;  ///< the format the volume was converted from, or empty
};

/// The companion file of a volume file: its name with ".zxm" in place of
/// the extension.
QString MetaFileFor(const QString& volumePath);

/// What the companion file says; everything unknown when it is missing or
/// says nothing sensible.
VolumeMeta ReadVolumeMeta(const QString& volumePath);

/// Writes the companion file (replacing it whole), or removes an old one
/// when nothing is known. Throws RuntimeError when it cannot be written.
void WriteVolumeMeta(const QString& volumePath, const VolumeMeta& meta);

}  // namespace zx
