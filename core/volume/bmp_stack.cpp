#include "core/volume/bmp_stack.h"

#include <algorithm>
#include <cstring>

#include "core/texts.h"
#include "core/volume/info_file.h"
#include "core/volume/runtime_error.h"
#include "core/volume/volume.h"

namespace zx {

QImage LoadBmpFile(const QString& path) {
    constexpr qint64 kMaxBmpBytes = qint64(1) << 30;  // more than any picture of a stack
    return DecodeBmp(ReadWholeFile(path, kMaxBmpBytes));
}

void AssembleStack(const QStringList& files, int depth, Orientation o, std::uint8_t* target,
                   const std::function<void(int, const QString&)>& progress) {
    const int t = StackDepthTotal(int(files.size()), depth);
    if (depth < 1 || t > kEdge - 1) {
        throw RuntimeError(QString::fromUtf8(texts::kTooManySlicesA) + QString::number(t) +
                           QString::fromUtf8(texts::kTooManySlicesB));
    }
    std::memset(target, 0, kVolumeBytes);
    const int off = (kEdge - t) / 2;
    std::uint8_t red[kEdge][kEdge];  // red[r][c] of the current picture
    for (int i = 0; i < files.size(); ++i) {
        const QImage pic = LoadBmpFile(files[i]).convertToFormat(QImage::Format_RGB32);
        if (progress) progress(i, files[i]);
        std::memset(red, 255, sizeof red);
        const int w = std::min(pic.width(), kEdge), h = std::min(pic.height(), kEdge);
        for (int r = 0; r < h; ++r) {
            const auto* row = reinterpret_cast<const QRgb*>(pic.constScanLine(r));
            for (int c = 0; c < w; ++c) red[r][c] = std::uint8_t(qRed(row[c]));
        }
        for (int k = 0; k < depth; ++k) {
            const int s = i * depth + k;
            for (int r = 0; r < kEdge; ++r) {
                for (int c = 0; c < kEdge; ++c) {
                    switch (o) {
                        case Orientation::Sag:
                            target[VoxelIndex(s, c, r)] = red[r][c];
                            break;
                        case Orientation::Cor:
                            target[VoxelIndex(c, s + off, r)] = red[r][c];
                            break;
                        case Orientation::Tra:
                            target[VoxelIndex(c, r, s + off)] = red[r][c];
                            break;
                    }
                }
            }
        }
    }
}

}  // namespace zx
