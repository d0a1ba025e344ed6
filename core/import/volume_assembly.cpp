#include "core/import/volume_assembly.h"

#include <algorithm>
#include <cstring>

#include "core/render/sections.h"
#include "core/volume/volume.h"

namespace zx {

void WriteImportPlanes(const QImage& preview, int i, int depth, int orientation, int offset,
                       std::uint8_t* volume) {
    const QImage rgb =
        preview.format() == QImage::Format_RGB32 || preview.format() == QImage::Format_ARGB32
            ? preview
            : preview.convertToFormat(QImage::Format_RGB32);
    // red[r][c]: the value of preview pixel (c, r), and for transversal
    // planes its transpose redT[c][r]; black where the preview is smaller
    // than 256 × 256.
    alignas(64) static thread_local std::uint8_t red[kEdge][kEdge], redT[kEdge][kEdge];
    const int rows = std::min(rgb.height(), kEdge), cols = std::min(rgb.width(), kEdge);
    if (rows < kEdge || cols < kEdge) std::memset(red, 0, sizeof red);
    for (int r = 0; r < rows; ++r) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(r));
        for (int c = 0; c < cols; ++c) red[r][c] = std::uint8_t(line[c] >> 16);
    }
    if (orientation == 2) TransposePlane(&red[0][0], &redT[0][0]);
    for (int j = 0; j < depth; ++j) {
        const int p = i * depth + j;
        switch (orientation) {
            case 0:  // (x, y, z) = (p, c, r): the picture is one x plane as stored
                if (p < 0 || p >= kEdge) break;
                std::memcpy(volume + VoxelIndex(p, 0, 0), red, sizeof red);
                break;
            case 1: {  // (x, y, z) = (c, 255 − o − p, r)
                const int y = 255 - offset - p;
                if (y < 0 || y >= kEdge) break;
                for (int c = 0; c < kEdge; ++c)
                    for (int r = 0; r < kEdge; ++r) volume[VoxelIndex(c, y, r)] = red[r][c];
                break;
            }
            default: {  // (x, y, z) = (c, r, o + p): for each x one row of 256 y
                const int z = offset + p;
                if (z < 0 || z >= kEdge) break;
                for (int c = 0; c < kEdge; ++c)
                    std::memcpy(volume + VoxelIndex(c, 0, z), redT[c], kEdge);
                break;
            }
        }
    }
}

}  // namespace zx
