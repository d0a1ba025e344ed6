// Pictures of a bitmap stack: an accepted BMP has all the pixel rows its
// header announces (Qt's reader would invent the missing ones), and the
// stack assembly writes every voxel of its planes. Accepted uncompressed
// 8- and 24-bit pictures are read a second time by a plain reading of
// their rows here: the pixels agree.
#include <cstring>
#include <vector>

#include "core/volume/bmp_stack.h"
#include "core/volume/info_file.h"
#include "core/volume/runtime_error.h"
#include "core/volume/volume.h"
#include "fuzz_support.h"

namespace {

std::uint32_t Le(const std::uint8_t* p, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

/// Compares `img` with the rows of a BMP of the 40-byte header, no
/// compression, 8 bits (palette) or 24 bits, read as they lie.
void CompareWithRows(const std::uint8_t* d, std::size_t size, const QImage& img) {
    if (size < 54 || Le(d + 14, 4) != 40 || Le(d + 30, 4) != 0) return;
    const int bits = int(Le(d + 28, 2));
    const std::int32_t width = std::int32_t(Le(d + 18, 4)), height = std::int32_t(Le(d + 22, 4));
    if ((bits != 8 && bits != 24) || width <= 0 || height == 0 || width > 4096 || height < -4096 ||
        height > 4096)
        return;
    const std::uint32_t offset = Le(d + 10, 4), used = Le(d + 46, 4);
    const std::uint32_t colours = bits == 8 ? (used == 0 ? 256 : used) : 0;
    if (colours > 256 || 54 + 4 * colours > offset) return;
    const std::size_t rowBytes = (std::size_t(width) * std::size_t(bits) + 31) / 32 * 4;
    const int rows = height < 0 ? -height : height;
    zxfuzz::Check(img.width() == width && img.height() == rows);
    const QImage rgb = img.convertToFormat(QImage::Format_RGB32);
    for (int r = 0; r < rows; r += 1 + rows / 7)
        for (int c = 0; c < width; c += 1 + width / 7) {
            const std::size_t line = height < 0 ? std::size_t(r) : std::size_t(rows - 1 - r);
            const std::size_t at =
                offset + line * rowBytes + std::size_t(c) * std::size_t(bits / 8);
            if (at + 3 > size) continue;
            const std::uint8_t* px = d + at;
            if (bits == 8) {
                if (px[0] >= colours) continue;  // no colour: left to the reader
                px = d + 54 + 4 * px[0];
            }
            const QRgb q = rgb.pixel(c, r);
            zxfuzz::Check(qRed(q) == px[2] && qGreen(q) == px[1] && qBlue(q) == px[0]);
        }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QImage img;
    try {
        img = zx::DecodeBmp(bytes);
    } catch (const zx::RuntimeError&) {
        return 0;
    }
    zxfuzz::Check(!img.isNull() && img.width() > 0 && img.height() > 0);
    CompareWithRows(data, size, img);
    if (size > 64 * 1024) return 0;  // keep the assembly quick
    static std::vector<std::uint8_t> volume(zx::kVolumeBytes);
    const zxfuzz::InputFile in(data, size, ".bmp");
    zx::AssembleStack({in.Path(), in.Path()}, 1, zx::Orientation::Sag, volume.data());
    // Plane 0 is the picture's red component, or white outside the picture.
    const QImage rgb = img.convertToFormat(QImage::Format_RGB32);
    for (int r = 0; r < 256; r += 37)
        for (int c = 0; c < 256; c += 41) {
            const int expected =
                (r < rgb.height() && c < rgb.width()) ? qRed(rgb.pixel(c, r)) : 255;
            zxfuzz::Check(volume[zx::VoxelIndex(0, c, r)] == expected);
        }
    return 0;
}
