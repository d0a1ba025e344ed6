// Pictures of a bitmap stack: an accepted BMP has all the pixel rows its
// header announces (Qt's reader would invent the missing ones), and the
// stack assembly writes every voxel of its planes.
#include <cstring>
#include <vector>

#include "core/volume/bmp_stack.h"
#include "core/volume/info_file.h"
#include "core/volume/runtime_error.h"
#include "core/volume/volume.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QImage img;
    try {
        img = zx::DecodeBmp(bytes);
    } catch (const zx::RuntimeError&) {
        return 0;
    }
    zxfuzz::Check(!img.isNull() && img.width() > 0 && img.height() > 0);
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
