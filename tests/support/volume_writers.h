// Small writers of the other volume formats, for one int16 image with a
// voxel-to-RAS matrix: FreeSurfer MGH (MGZ), NRRD (attached or detached,
// raw or gzip, in LPS space) and MetaImage (.mha/.mhd, raw or zlib).
#pragma once

#include <zlib.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "support/nifti_writer.h"

namespace zxtest {

struct TestImage {
    std::array<int, 3> dims{};
    int volumes = 1;
    std::array<std::array<double, 3>, 3> ras{};  ///< [world][array axis], mm
    std::vector<std::int16_t> values;            ///< axis 0 fastest, volume after volume
};

inline void PutBigEndian(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + std::size_t(i)] = std::uint8_t(v >> (24 - 8 * i));
}

inline Bytes Int16Data(const TestImage& im, bool bigEndian) {
    Bytes out(im.values.size() * 2);
    for (std::size_t i = 0; i < im.values.size(); ++i) {
        const auto u = std::uint16_t(im.values[i]);
        out[2 * i + (bigEndian ? 0 : 1)] = std::uint8_t(u >> 8);
        out[2 * i + (bigEndian ? 1 : 0)] = std::uint8_t(u & 0xff);
    }
    return out;
}

inline Bytes Mgh(const TestImage& im) {
    Bytes b(284, 0);
    auto f = [](float x) {
        std::uint32_t u;
        std::memcpy(&u, &x, 4);
        return u;
    };
    PutBigEndian(b, 0, 1);
    for (int a = 0; a < 3; ++a) PutBigEndian(b, 4 + 4 * std::size_t(a), std::uint32_t(im.dims[a]));
    PutBigEndian(b, 16, std::uint32_t(im.volumes));
    PutBigEndian(b, 20, 4);  // short
    b[29] = 1;               // goodRASFlag
    for (int a = 0; a < 3; ++a) {
        const double len = std::hypot(im.ras[0][a], im.ras[1][a], im.ras[2][a]);
        PutBigEndian(b, 30 + 4 * std::size_t(a), f(float(len)));
        for (int w = 0; w < 3; ++w)
            PutBigEndian(b, 42 + 12 * std::size_t(a) + 4 * std::size_t(w),
                         f(float(im.ras[w][a] / len)));
    }
    const Bytes data = Int16Data(im, true);
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

inline std::string Vector(const std::array<std::array<double, 3>, 3>& m, int a, double sx,
                          double sy, const char* sep) {
    std::ostringstream s;
    s.precision(17);
    s << m[0][a] * sx << sep << m[1][a] * sy << sep << m[2][a];
    return s.str();
}

/// NRRD header text (LPS space); `dataFile` empty: data attached.
inline std::string NrrdHeader(const TestImage& im, bool gzip, const std::string& dataFile) {
    std::ostringstream h;
    h << "NRRD0004\n# written by a test\ntype: short\ndimension: " << (im.volumes > 1 ? 4 : 3)
      << "\nspace: left-posterior-superior\nsizes: " << im.dims[0] << ' ' << im.dims[1] << ' '
      << im.dims[2];
    if (im.volumes > 1) h << ' ' << im.volumes;
    h << "\nspace directions:";
    for (int a = 0; a < 3; ++a) h << " (" << Vector(im.ras, a, -1, -1, ",") << ')';
    if (im.volumes > 1) h << " none";
    h << "\nkinds: domain domain domain" << (im.volumes > 1 ? " list" : "")
      << "\nendian: little\nencoding: " << (gzip ? "gzip" : "raw") << "\nspace origin: (0,0,0)\n";
    if (!dataFile.empty()) h << "data file: " << dataFile << '\n';
    h << '\n';
    return h.str();
}

inline Bytes Deflated(const Bytes& plain) {
    uLongf n = compressBound(uLong(plain.size()));
    Bytes out(n);
    compress2(out.data(), &n, plain.data(), uLong(plain.size()), 6);
    out.resize(n);
    return out;
}

/// MetaImage header text (ITK's LPS world); `dataFile` "LOCAL": attached.
inline std::string MetaHeader(const TestImage& im, bool compressed, const std::string& dataFile,
                              std::size_t compressedSize = 0) {
    const int n = im.volumes > 1 ? 4 : 3;
    std::ostringstream h;
    h.precision(17);
    h << "ObjectType = Image\nNDims = " << n << "\nBinaryData = True\nBinaryDataByteOrderMSB = "
      << "False\nCompressedData = " << (compressed ? "True" : "False") << '\n';
    if (compressed) h << "CompressedDataSize = " << compressedSize << '\n';
    h << "TransformMatrix =";
    for (int a = 0; a < n; ++a) {
        for (int w = 0; w < n; ++w) {
            if (a == 3 || w == 3) {
                h << ' ' << (a == w ? 1 : 0);
                continue;
            }
            const double len = std::hypot(im.ras[0][a], im.ras[1][a], im.ras[2][a]);
            h << ' ' << (w < 2 ? -1 : 1) * im.ras[w][a] / len;
        }
    }
    h << "\nOffset = 0 0 0" << (n == 4 ? " 0" : "") << "\nElementSpacing =";
    for (int a = 0; a < 3; ++a) h << ' ' << std::hypot(im.ras[0][a], im.ras[1][a], im.ras[2][a]);
    if (n == 4) h << " 1";
    h << "\nDimSize = " << im.dims[0] << ' ' << im.dims[1] << ' ' << im.dims[2];
    if (n == 4) h << ' ' << im.volumes;
    h << "\nElementType = MET_SHORT\nElementDataFile = " << dataFile << '\n';
    return h.str();
}

inline Bytes Concat(const std::string& text, const Bytes& data) {
    Bytes b(text.begin(), text.end());
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

/// The same image as a NIfTI-1 file with its sform.
inline Bytes NiftiOf(const TestImage& im) {
    NiftiFields s;
    s.datatype = kNiftiInt16;
    s.dim = {im.volumes > 1 ? 4 : 3, im.dims[0], im.dims[1], im.dims[2], im.volumes, 1, 1, 1};
    s.sformCode = 1;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) s.srow[std::size_t(r)][std::size_t(c)] = im.ras[r][c];
    return NiftiPlain(s, std::vector<double>(im.values.begin(), im.values.end()));
}

}  // namespace zxtest
