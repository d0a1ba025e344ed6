// A second NIfTI reader for the fuzz harnesses, written for plainness, not
// speed: the whole file in memory (inflated first when it starts with
// gzip's magic), the NIfTI-1 (348 bytes) or NIfTI-2 (540 bytes) header read
// field by field in the byte order its size field gives, and the first 3-D
// volume's samples copied out of the file one by one. The harnesses hold
// the converter's reader to it for small files.
#pragma once

#include <zlib.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace zxref {

/// What the file is to the reader.
enum class Verdict {
    Image,     ///< a NIfTI image whose first volume is present
    Refused,   ///< not one: damaged, cut, unsupported or short of data
    TooLarge,  ///< beyond the size this reader is meant for: no verdict
};

struct Nifti {
    bool nifti2 = false;
    std::int64_t dim[8] = {};  ///< as stored
    std::int64_t n[3] = {};    ///< samples along the three spatial axes
    int datatype = 0;
    int width = 0;  ///< bytes per sample
    int intentCode = 0;
    double pixdim[8] = {};
    double sclSlope = 0, sclInter = 0;  ///< as stored
    double calMin = 0, calMax = 0;
    int qformCode = 0, sformCode = 0;
    double quatern[3] = {}, qoffset[3] = {}, srow[3][4] = {};
    /// The first volume, samples in array order, each in host byte order.
    std::vector<std::uint8_t> samples;

    /// The stored scale: none when the slope is 0 (or not a number).
    double Slope() const { return sclSlope != 0 && std::isfinite(sclSlope) ? sclSlope : 1.0; }
    double Inter() const {
        return sclSlope != 0 && std::isfinite(sclSlope) && std::isfinite(sclInter) ? sclInter : 0.0;
    }
    /// Sample i after scaling; a value beyond double's range counts as 0.
    double Value(std::size_t i) const {
        const std::uint8_t* p = samples.data() + i * std::size_t(width);
        double raw = 0;
        switch (datatype) {
            case 2:
                raw = *p;
                break;
            case 256:
                raw = std::int8_t(*p);
                break;
            case 4:
                raw = Host<std::int16_t>(p);
                break;
            case 512:
                raw = Host<std::uint16_t>(p);
                break;
            case 8:
                raw = Host<std::int32_t>(p);
                break;
            case 768:
                raw = Host<std::uint32_t>(p);
                break;
            case 16:
                raw = Host<float>(p);
                break;
            case 64:
                raw = Host<double>(p);
                break;
        }
        const double v = raw * Slope() + Inter();
        return std::isfinite(v) ? v : 0.0;
    }

    template <typename T>
    static T Host(const std::uint8_t* p) {
        T v;
        std::memcpy(&v, p, sizeof(T));
        return v;
    }
};

/// Bytes per sample of the datatypes read, 0 for the others.
inline int SampleWidth(int datatype) {
    switch (datatype) {
        case 2:    // uint8
        case 256:  // int8
            return 1;
        case 4:    // int16
        case 512:  // uint16
            return 2;
        case 8:    // int32
        case 768:  // uint32
        case 16:   // float32
            return 4;
        case 64:  // float64
            return 8;
    }
    return 0;
}

/// The gzip members of `in` inflated one after the other; a member is
/// followed by another when gzip's magic comes next, anything else after
/// it is ignored. Refused when a member is damaged or cut.
inline Verdict Gunzip(const std::vector<std::uint8_t>& in, std::size_t limit,
                      std::vector<std::uint8_t>& out) {
    out.clear();
    std::size_t at = 0;
    for (;;) {
        z_stream z{};
        if (inflateInit2(&z, 15 + 16) != Z_OK) return Verdict::Refused;
        z.next_in = const_cast<Bytef*>(in.data() + at);
        z.avail_in = uInt(in.size() - at);
        int r = Z_OK;
        std::uint8_t buf[4096];
        while (r == Z_OK) {
            z.next_out = buf;
            z.avail_out = sizeof buf;
            r = inflate(&z, Z_NO_FLUSH);
            out.insert(out.end(), buf, buf + (sizeof buf - z.avail_out));
            if (out.size() > limit) {
                inflateEnd(&z);
                return Verdict::TooLarge;
            }
        }
        at = in.size() - z.avail_in;
        inflateEnd(&z);
        if (r != Z_STREAM_END) return Verdict::Refused;
        if (!(in.size() - at >= 2 && in[at] == 0x1f && in[at + 1] == 0x8b)) return Verdict::Image;
    }
}

/// Reads the file `data` (a .nii, plain or gzip) into `image`; files or images of
/// more than `limit` bytes get no verdict.
inline Verdict Read(const std::uint8_t* data, std::size_t size, std::size_t limit, Nifti& image) {
    if (size > limit) return Verdict::TooLarge;
    std::vector<std::uint8_t> f(data, data + size);
    if (size >= 2 && data[0] == 0x1f && data[1] == 0x8b) {
        std::vector<std::uint8_t> inflated;
        const Verdict v = Gunzip(f, limit, inflated);
        if (v != Verdict::Image) return v;
        f.swap(inflated);
    }
    if (f.size() < 4) return Verdict::Refused;

    // The byte order is the one in which the header's size reads 348 or 540.
    bool big = false;
    auto u = [&](std::size_t at, int bytes) {
        std::uint64_t v = 0;
        for (int i = 0; i < bytes; ++i) {
            const std::uint64_t b = f[at + std::size_t(i)];
            v |= big ? b << (8 * (bytes - 1 - i)) : b << (8 * i);
        }
        return v;
    };
    auto i16 = [&](std::size_t at) { return std::int16_t(u(at, 2)); };
    auto i32 = [&](std::size_t at) { return std::int32_t(u(at, 4)); };
    auto i64 = [&](std::size_t at) { return std::int64_t(u(at, 8)); };
    auto f32 = [&](std::size_t at) {
        const std::uint32_t bits = std::uint32_t(u(at, 4));
        float v;
        std::memcpy(&v, &bits, 4);
        return double(v);
    };
    auto f64 = [&](std::size_t at) {
        const std::uint64_t bits = u(at, 8);
        double v;
        std::memcpy(&v, &bits, 8);
        return v;
    };
    std::int64_t headerSize = i32(0);
    if (headerSize != 348 && headerSize != 540) {
        big = true;
        headerSize = i32(0);
        if (headerSize != 348 && headerSize != 540) return Verdict::Refused;
    }
    if (f.size() < std::size_t(headerSize)) return Verdict::Refused;

    Nifti& h = image;
    h = Nifti{};
    h.nifti2 = headerSize == 540;
    std::int64_t offset = 0;
    if (!h.nifti2) {
        if (std::memcmp(&f[344], "n+1\0", 4) != 0) return Verdict::Refused;
        for (int i = 0; i < 8; ++i) {
            h.dim[i] = i16(40 + 2 * i);
            h.pixdim[i] = f32(76 + 4 * i);
        }
        h.intentCode = i16(68);
        h.datatype = i16(70);
        const double voxOffset = f32(108);
        if (!(voxOffset >= 0 && voxOffset <= 1e15)) return Verdict::Refused;
        offset = std::int64_t(voxOffset);  // a fraction is cut off
        h.sclSlope = f32(112);
        h.sclInter = f32(116);
        h.calMax = f32(124);
        h.calMin = f32(128);
        h.qformCode = i16(252);
        h.sformCode = i16(254);
        for (int i = 0; i < 3; ++i) {
            h.quatern[i] = f32(256 + 4 * i);
            h.qoffset[i] = f32(268 + 4 * i);
        }
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c) h.srow[r][c] = f32(280 + 16 * r + 4 * c);
    } else {
        if (std::memcmp(&f[4], "n+2\0\r\n\032\n", 8) != 0) return Verdict::Refused;
        h.datatype = i16(12);
        for (int i = 0; i < 8; ++i) {
            h.dim[i] = i64(16 + 8 * i);
            h.pixdim[i] = f64(104 + 8 * i);
        }
        offset = i64(168);
        h.sclSlope = f64(176);
        h.sclInter = f64(184);
        h.calMax = f64(192);
        h.calMin = f64(200);
        h.qformCode = i32(344);
        h.sformCode = i32(348);
        for (int i = 0; i < 3; ++i) {
            h.quatern[i] = f64(352 + 8 * i);
            h.qoffset[i] = f64(376 + 8 * i);
        }
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c) h.srow[r][c] = f64(400 + 32 * r + 8 * c);
        h.intentCode = i32(504);
    }

    // What is refused although the header is whole: no image of 1 to 7
    // dimensions, CIFTI's matrices over brain locations, a matrix of more
    // than four axes with at most one spatial axis, datatypes not read,
    // data that would begin inside the header.
    const std::int64_t rank = h.dim[0];
    if (rank < 1 || rank > 7) return Verdict::Refused;
    if (h.intentCode >= 3000 && h.intentCode <= 3099) return Verdict::Refused;
    for (int a = 0; a < 3; ++a) {
        h.n[a] = a + 1 <= rank ? h.dim[a + 1] : 1;
        if (h.n[a] < 1) return Verdict::Refused;
    }
    const int spatial = int(h.n[0] > 1) + int(h.n[1] > 1) + int(h.n[2] > 1);
    if (rank >= 5 && spatial <= 1 && h.dim[5] > 1) return Verdict::Refused;
    h.width = SampleWidth(h.datatype);
    if (h.width == 0) return Verdict::Refused;
    if (offset < headerSize) return Verdict::Refused;

    // The first volume must lie whole in the file.
    const std::uint64_t have = f.size();
    std::uint64_t bytes = std::uint64_t(h.width);
    for (std::int64_t n : h.n) {
        if (std::uint64_t(n) > have / bytes) return Verdict::Refused;
        bytes *= std::uint64_t(n);
    }
    if (std::uint64_t(offset) > have || have - std::uint64_t(offset) < bytes)
        return Verdict::Refused;

    h.samples.resize(std::size_t(bytes));
    for (std::size_t i = 0; i < std::size_t(bytes); i += std::size_t(h.width)) {
        const std::uint64_t v = u(std::size_t(offset) + i, h.width);
        // Host order: the value's bytes as this machine keeps an integer.
        switch (h.width) {
            case 1:
                h.samples[i] = std::uint8_t(v);
                break;
            case 2: {
                const std::uint16_t x = std::uint16_t(v);
                std::memcpy(&h.samples[i], &x, 2);
                break;
            }
            case 4: {
                const std::uint32_t x = std::uint32_t(v);
                std::memcpy(&h.samples[i], &x, 4);
                break;
            }
            case 8:
                std::memcpy(&h.samples[i], &v, 8);
                break;
        }
    }
    return Verdict::Image;
}

/// The image as a little-endian NIfTI-2 file, its data right after the
/// header: the first volume alone (3 dimensions), its
/// samples, scale, calibration and orientation fields as read.
inline std::vector<std::uint8_t> WriteNifti2(const Nifti& h) {
    std::vector<std::uint8_t> out(544, 0);
    auto put = [&](std::size_t at, std::uint64_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) out[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
    };
    auto putF64 = [&](std::size_t at, double v) {
        std::uint64_t bits;
        std::memcpy(&bits, &v, 8);
        put(at, bits, 8);
    };
    put(0, 540, 4);
    std::memcpy(&out[4], "n+2\0\r\n\032\n", 8);
    put(12, std::uint64_t(h.datatype), 2);
    put(14, std::uint64_t(8 * h.width), 2);
    const std::int64_t dim[8] = {3, h.n[0], h.n[1], h.n[2], 1, 1, 1, 1};
    for (int i = 0; i < 8; ++i) {
        put(16 + 8 * std::size_t(i), std::uint64_t(dim[i]), 8);
        putF64(104 + 8 * std::size_t(i), h.pixdim[i]);
    }
    put(168, 544, 8);
    putF64(176, h.sclSlope);
    putF64(184, h.sclInter);
    putF64(192, h.calMax);
    putF64(200, h.calMin);
    put(344, std::uint64_t(std::int64_t(h.qformCode)), 4);
    put(348, std::uint64_t(std::int64_t(h.sformCode)), 4);
    for (std::size_t i = 0; i < 3; ++i) {
        putF64(352 + 8 * i, h.quatern[i]);
        putF64(376 + 8 * i, h.qoffset[i]);
    }
    for (std::size_t r = 0; r < 3; ++r)
        for (std::size_t c = 0; c < 4; ++c) putF64(400 + 32 * r + 8 * c, h.srow[r][c]);
    put(504, std::uint64_t(std::int64_t(h.intentCode)), 4);
    for (std::size_t i = 0; i < h.samples.size(); i += std::size_t(h.width)) {
        std::uint64_t v = 0;
        switch (h.width) {
            case 1:
                v = h.samples[i];
                break;
            case 2:
                v = Nifti::Host<std::uint16_t>(&h.samples[i]);
                break;
            case 4:
                v = Nifti::Host<std::uint32_t>(&h.samples[i]);
                break;
            case 8:
                v = Nifti::Host<std::uint64_t>(&h.samples[i]);
                break;
        }
        out.resize(out.size() + std::size_t(h.width));
        put(out.size() - std::size_t(h.width), v, h.width);
    }
    return out;
}

}  // namespace zxref
