// The MGH layout, as FreeSurfer documents it: a 284-byte big-endian header
//
//     int32 version (1), width, height, depth, frames, type, dof
//     int16 goodRASFlag
//     float32 spacing x, y, z; Mdc (x_r x_a x_s, y_r y_a y_s, z_r z_a z_s); c_ras
//
// then the frames, width fastest, big-endian samples of type 0 (uchar),
// 1 (int32), 3 (float32) or 4 (int16); optional tags follow the data. The
// voxel-to-RAS matrix is M = Mdc · diag(spacing) with the translation
// c_ras − M · (width, height, depth) / 2; only M matters for the viewer's
// grid. Without goodRASFlag the directions are FreeSurfer's coronal default
// (LIA: x_r = −1, y_s = −1, z_a = 1).
#include "convert/mgh.h"

#include <array>
#include <cmath>
#include <cstring>

#include "convert/input_file.h"
#include "convert/raw_image.h"

namespace zx {
namespace {

constexpr std::size_t kHeaderBytes = 284;

std::int32_t Int32At(const unsigned char* b, std::size_t o) {
    return std::int32_t(std::uint32_t(b[o]) << 24 | std::uint32_t(b[o + 1]) << 16 |
                        std::uint32_t(b[o + 2]) << 8 | std::uint32_t(b[o + 3]));
}

float FloatAt(const unsigned char* b, std::size_t o) {
    const std::uint32_t u = std::uint32_t(Int32At(b, o));
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}

[[noreturn]] void FailMgh(const std::string& path, const std::string& reason) {
    FailFile(path, "ist eine MGH-Datei, aber " + reason);
}

}  // namespace

bool LooksLikeMgh(const unsigned char* b, std::size_t n) {
    if (n < 28 || Int32At(b, 0) != 1) return false;
    for (int i = 1; i <= 4; ++i)
        if (Int32At(b, 4 * std::size_t(i)) <= 0) return false;
    const std::int32_t type = Int32At(b, 20);
    return type == 0 || type == 1 || type == 3 || type == 4;
}

ConvertedVolume ConvertMgh(const std::string& path, int volume) {
    StreamedInput in(path);
    unsigned char h[kHeaderBytes];
    if (in.ReadUpTo(h, kHeaderBytes) < kHeaderBytes)
        FailMgh(path, "ihr Dateikopf ist unvollständig");
    if (Int32At(h, 0) != 1)
        FailMgh(path, "in einer unbekannten Version " + std::to_string(Int32At(h, 0)));
    RawImage image;
    image.whatItIs = "ist eine MGH-Datei, aber ";
    for (int a = 0; a < 3; ++a) image.dims[a] = Int32At(h, 4 + 4 * std::size_t(a));
    const std::int32_t frames = Int32At(h, 16);
    if (frames <= 0) FailMgh(path, "sie gibt " + std::to_string(frames) + " Volumen an");
    image.volumes = std::uint64_t(frames);
    switch (Int32At(h, 20)) {
        case 0:
            image.type = SampleType::UInt8;
            break;
        case 1:
            image.type = SampleType::Int32;
            break;
        case 3:
            image.type = SampleType::Float32;
            break;
        case 4:
            image.type = SampleType::Int16;
            break;
        default:
            FailMgh(path, "ihr Datentyp " + std::to_string(Int32At(h, 20)) +
                              " wird nicht gelesen; gelesen werden uchar, short, int und float");
    }
    image.bigEndian = true;
    const bool goodRas = (std::int16_t(h[28] << 8 | h[29])) > 0;
    Matrix3 mdc{};
    if (goodRas) {
        for (int axis = 0; axis < 3; ++axis)
            for (int w = 0; w < 3; ++w)
                mdc[w][axis] = FloatAt(h, 42 + 12 * std::size_t(axis) + 4 * std::size_t(w));
    } else {
        mdc[0][0] = -1;  // x: toward the left
        mdc[2][1] = -1;  // y: toward inferior
        mdc[1][2] = 1;   // z: toward anterior
    }
    for (int axis = 0; axis < 3; ++axis) {
        double spacing = goodRas ? std::fabs(FloatAt(h, 30 + 4 * std::size_t(axis))) : 1.0;
        if (!std::isfinite(spacing) || spacing == 0) spacing = 1.0;
        for (int w = 0; w < 3; ++w) image.voxelToWorld[w][axis] = mdc[w][axis] * spacing;
    }
    image.dataOffset = kHeaderBytes;
    // The tags after the frames are no image data: the end checked for a
    // compressed file is the frames' end plus the tags' few kilobytes.
    return StreamRawImage(in, image, volume, path, in.Compressed() ? "MGZ" : "MGH");
}

}  // namespace zx
