// Planes of a volume built from the import window's previews: each image,
// framed by the selection square, fills `depth` parallel planes in list order.
#pragma once

#include <QImage>
#include <cstdint>

namespace zx {

/// Centring offset of a stack of `total` planes: (256 − total) div 2.
inline int ImportOffset(int total) { return (256 - total) / 2; }

/// Writes the red components of the 256 × 256 `preview` of image `i` into
/// its `depth` planes of `volume` (x·65536 + z·256 + y):
/// orientation 0 (sagittal) plane x = p, columns y, rows z;
/// 1 (coronal) plane y = 255 − o − p, columns x, rows z;
/// 2 (transversal) plane z = o + p, columns x, rows y;
/// with p = i·depth + layer and o the centring offset.
void WriteImportPlanes(const QImage& preview, int i, int depth, int orientation, int offset,
                       std::uint8_t* volume);

}  // namespace zx
