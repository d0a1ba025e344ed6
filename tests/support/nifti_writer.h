// NIfTI files built byte by byte: NIfTI-1 or NIfTI-2, either byte order,
// plain or gzip-compressed, with the header fields the readers look at
// (sizes, voxel type, spacing, scaling, calibration window, qform, sform,
// data offset) and broken ones where a test asks for them.
#pragma once

#include <zlib.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace zxtest {

// NIfTI datatype codes.
inline constexpr int kNiftiUInt8 = 2, kNiftiInt16 = 4, kNiftiInt32 = 8, kNiftiFloat32 = 16,
                     kNiftiComplex64 = 32, kNiftiFloat64 = 64, kNiftiRgb24 = 128, kNiftiInt8 = 256,
                     kNiftiUInt16 = 512, kNiftiUInt32 = 768, kNiftiInt64 = 1024;

/// The header of a file; by default a NIfTI-1 image of 4 × 4 × 4 bytes of
/// 1 mm, without a transform or scaling, its data right after the header.
struct NiftiFields {
    int version = 1;  ///< 1 or 2
    bool bigEndian = false;
    bool gzip = false;  ///< for NiftiFile and NiftiHeaderFile
    int datatype = kNiftiUInt8;
    std::array<std::int64_t, 8> dim = {3, 4, 4, 4, 1, 1, 1, 1};
    std::array<double, 8> pixdim = {1, 1, 1, 1, 0, 0, 0, 0};
    double sclSlope = 0, sclInter = 0;
    double calMin = 0, calMax = 0;
    int qformCode = 0, sformCode = 0;
    std::array<double, 3> quatern = {0, 0, 0};
    std::array<double, 3> qoffset = {0, 0, 0};
    std::array<std::array<double, 4>, 3> srow = {};
    std::optional<double> voxOffset;        ///< default: header + 4 extension bytes
    std::optional<std::int32_t> sizeofHdr;  ///< default: 348 or 540
    std::optional<std::string> magic;       ///< default: the version's magic
};

using Bytes = std::vector<std::uint8_t>;

inline std::size_t NiftiHeaderSize(const NiftiFields& s) { return s.version == 1 ? 348 : 540; }

inline int NiftiBytesPerVoxel(int datatype) {
    switch (datatype) {
        case kNiftiUInt8:
        case kNiftiInt8:
            return 1;
        case kNiftiInt16:
        case kNiftiUInt16:
            return 2;
        case kNiftiInt32:
        case kNiftiUInt32:
        case kNiftiFloat32:
            return 4;
        case kNiftiFloat64:
        case kNiftiInt64:
        case kNiftiComplex64:
            return 8;
        case kNiftiRgb24:
            return 3;
        default:
            return 1;
    }
}

/// `value` at `offset` in the file's byte order.
template <typename T>
void PutNifti(Bytes& buf, std::size_t offset, T value, bool bigEndian) {
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    if (bigEndian != (std::endian::native == std::endian::big))
        std::reverse(bytes, bytes + sizeof(T));
    std::memcpy(buf.data() + offset, bytes, sizeof(T));
}

/// The header and the 4 "no extension" bytes, uncompressed.
inline Bytes NiftiHeader(const NiftiFields& s) {
    const bool be = s.bigEndian;
    const std::size_t headerSize = NiftiHeaderSize(s);
    const double voxOffset = s.voxOffset.value_or(static_cast<double>(headerSize + 4));
    Bytes h(headerSize, 0);
    PutNifti<std::int32_t>(h, 0, s.sizeofHdr.value_or(static_cast<std::int32_t>(headerSize)), be);
    if (s.version == 1) {
        for (int i = 0; i < 8; ++i) {
            PutNifti<std::int16_t>(h, 40 + 2 * i, static_cast<std::int16_t>(s.dim[i]), be);
            PutNifti<float>(h, 76 + 4 * i, static_cast<float>(s.pixdim[i]), be);
        }
        PutNifti<std::int16_t>(h, 70, static_cast<std::int16_t>(s.datatype), be);
        PutNifti<std::int16_t>(h, 72, static_cast<std::int16_t>(8 * NiftiBytesPerVoxel(s.datatype)),
                               be);
        PutNifti<float>(h, 108, static_cast<float>(voxOffset), be);
        PutNifti<float>(h, 112, static_cast<float>(s.sclSlope), be);
        PutNifti<float>(h, 116, static_cast<float>(s.sclInter), be);
        PutNifti<float>(h, 124, static_cast<float>(s.calMax), be);
        PutNifti<float>(h, 128, static_cast<float>(s.calMin), be);
        PutNifti<std::int16_t>(h, 252, static_cast<std::int16_t>(s.qformCode), be);
        PutNifti<std::int16_t>(h, 254, static_cast<std::int16_t>(s.sformCode), be);
        for (int i = 0; i < 3; ++i) {
            PutNifti<float>(h, 256 + 4 * i, static_cast<float>(s.quatern[i]), be);
            PutNifti<float>(h, 268 + 4 * i, static_cast<float>(s.qoffset[i]), be);
        }
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c)
                PutNifti<float>(h, 280 + 16 * r + 4 * c, static_cast<float>(s.srow[r][c]), be);
        const std::string magic = s.magic.value_or(std::string("n+1\0", 4));
        std::memcpy(h.data() + 344, magic.data(), std::min<std::size_t>(magic.size(), 4));
    } else {
        const std::string magic = s.magic.value_or(std::string("n+2\0\r\n\032\n", 8));
        std::memcpy(h.data() + 4, magic.data(), std::min<std::size_t>(magic.size(), 8));
        PutNifti<std::int16_t>(h, 12, static_cast<std::int16_t>(s.datatype), be);
        PutNifti<std::int16_t>(h, 14, static_cast<std::int16_t>(8 * NiftiBytesPerVoxel(s.datatype)),
                               be);
        for (int i = 0; i < 8; ++i) {
            PutNifti<std::int64_t>(h, 16 + 8 * i, s.dim[i], be);
            PutNifti<double>(h, 104 + 8 * i, s.pixdim[i], be);
        }
        PutNifti<std::int64_t>(h, 168, static_cast<std::int64_t>(voxOffset), be);
        PutNifti<double>(h, 176, s.sclSlope, be);
        PutNifti<double>(h, 184, s.sclInter, be);
        PutNifti<double>(h, 192, s.calMax, be);
        PutNifti<double>(h, 200, s.calMin, be);
        PutNifti<std::int32_t>(h, 344, s.qformCode, be);
        PutNifti<std::int32_t>(h, 348, s.sformCode, be);
        for (int i = 0; i < 3; ++i) {
            PutNifti<double>(h, 352 + 8 * i, s.quatern[i], be);
            PutNifti<double>(h, 376 + 8 * i, s.qoffset[i], be);
        }
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c) PutNifti<double>(h, 400 + 32 * r + 8 * c, s.srow[r][c], be);
    }
    h.resize(headerSize + 4, 0);
    return h;
}

template <typename T>
void AppendNiftiValues(Bytes& out, const std::vector<double>& values, bool bigEndian) {
    const std::size_t start = out.size();
    out.resize(start + values.size() * sizeof(T));
    for (std::size_t i = 0; i < values.size(); ++i)
        PutNifti<T>(out, start + i * sizeof(T), static_cast<T>(values[i]), bigEndian);
}

/// Header and `values` (array order, converted to the datatype; zero bytes
/// for types it cannot write), uncompressed. A voxOffset beyond the header
/// is reached with zero bytes, standing in for header extensions.
inline Bytes NiftiPlain(const NiftiFields& s, const std::vector<double>& values) {
    Bytes bytes = NiftiHeader(s);
    if (s.voxOffset && *s.voxOffset > static_cast<double>(bytes.size()))
        bytes.resize(static_cast<std::size_t>(*s.voxOffset), 0);
    switch (s.datatype) {
        case kNiftiUInt8:
            AppendNiftiValues<std::uint8_t>(bytes, values, s.bigEndian);
            break;
        case kNiftiInt8:
            AppendNiftiValues<std::int8_t>(bytes, values, s.bigEndian);
            break;
        case kNiftiInt16:
            AppendNiftiValues<std::int16_t>(bytes, values, s.bigEndian);
            break;
        case kNiftiUInt16:
            AppendNiftiValues<std::uint16_t>(bytes, values, s.bigEndian);
            break;
        case kNiftiInt32:
            AppendNiftiValues<std::int32_t>(bytes, values, s.bigEndian);
            break;
        case kNiftiUInt32:
            AppendNiftiValues<std::uint32_t>(bytes, values, s.bigEndian);
            break;
        case kNiftiFloat32:
            AppendNiftiValues<float>(bytes, values, s.bigEndian);
            break;
        case kNiftiFloat64:
            AppendNiftiValues<double>(bytes, values, s.bigEndian);
            break;
        default:
            bytes.resize(bytes.size() + values.size() * NiftiBytesPerVoxel(s.datatype), 0);
            break;
    }
    return bytes;
}

/// `plain` in a gzip wrapper.
inline Bytes Gzip(const Bytes& plain) {
    Bytes out(compressBound(static_cast<uLong>(plain.size())) + 32);
    z_stream zs{};
    if (deflateInit2(&zs, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    zs.next_in = const_cast<unsigned char*>(plain.data());
    zs.avail_in = static_cast<uInt>(plain.size());
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    if (rc != Z_STREAM_END) throw std::runtime_error("deflate");
    return out;
}

/// The whole file, compressed when `gzip` is set.
inline Bytes NiftiFile(const NiftiFields& s, const std::vector<double>& values) {
    const Bytes plain = NiftiPlain(s, values);
    return s.gzip ? Gzip(plain) : plain;
}

/// The header followed by `dataBytes` zero bytes, compressed when `gzip`
/// is set.
inline Bytes NiftiHeaderFile(const NiftiFields& s, std::size_t dataBytes = 0) {
    Bytes bytes = NiftiHeader(s);
    bytes.resize(bytes.size() + dataBytes, 0);
    return s.gzip ? Gzip(bytes) : bytes;
}

}  // namespace zxtest
