#include "core/render/sections.h"

#include <emmintrin.h>
#include <immintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/volume/two_halves.h"
#include "core/volume/volume.h"

namespace zx {

namespace {

/// Expands 16 grey bytes to 16 pixels (g, g, g, 0xff); `red` supplies the
/// red bytes (equal to `grey` without an overlay).
inline void Expand16(__m128i grey, __m128i red, std::uint8_t* dst, std::uint8_t* mirror = nullptr) {
    const __m128i ff = _mm_set1_epi8(char(0xff));
    const __m128i bgLo = _mm_unpacklo_epi8(grey, grey);
    const __m128i bgHi = _mm_unpackhi_epi8(grey, grey);
    const __m128i raLo = _mm_unpacklo_epi8(red, ff);
    const __m128i raHi = _mm_unpackhi_epi8(red, ff);
    const __m128i px[4] = {_mm_unpacklo_epi16(bgLo, raLo), _mm_unpackhi_epi16(bgLo, raLo),
                           _mm_unpacklo_epi16(bgHi, raHi), _mm_unpackhi_epi16(bgHi, raHi)};
    for (int i = 0; i < 4; ++i) _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16 * i), px[i]);
    if (mirror) {
        for (int i = 0; i < 4; ++i)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(mirror + 16 * i), px[i]);
    }
}

/// Four rows of a 16 × 16 byte transpose: each x[q] holds, as 32-bit
/// lanes, the elements i0 … i0+3 of the source rows 4q … 4q+3; out[i]
/// receives column i0 + i of the source, rows 0 … 15.
inline void FinishTranspose(const __m128i x[4], __m128i out[4]) {
    const __m128i g0 = _mm_unpacklo_epi32(x[0], x[1]);
    const __m128i g1 = _mm_unpacklo_epi32(x[2], x[3]);
    const __m128i h0 = _mm_unpackhi_epi32(x[0], x[1]);
    const __m128i h1 = _mm_unpackhi_epi32(x[2], x[3]);
    out[0] = _mm_unpacklo_epi64(g0, g1);
    out[1] = _mm_unpackhi_epi64(g0, g1);
    out[2] = _mm_unpacklo_epi64(h0, h1);
    out[3] = _mm_unpackhi_epi64(h0, h1);
}

/// Transposes a 16 × 16 byte block: t[i] byte j = r[j] byte i.
inline void Transpose16(const __m128i r[16], __m128i t[16]) {
    __m128i a[8], b[8];
    for (int p = 0; p < 8; ++p) {
        a[p] = _mm_unpacklo_epi8(r[2 * p], r[2 * p + 1]);
        b[p] = _mm_unpackhi_epi8(r[2 * p], r[2 * p + 1]);
    }
    __m128i c[4], d[4], e[4], f[4];
    for (int q = 0; q < 4; ++q) {
        c[q] = _mm_unpacklo_epi16(a[2 * q], a[2 * q + 1]);
        d[q] = _mm_unpackhi_epi16(a[2 * q], a[2 * q + 1]);
        e[q] = _mm_unpacklo_epi16(b[2 * q], b[2 * q + 1]);
        f[q] = _mm_unpackhi_epi16(b[2 * q], b[2 * q + 1]);
    }
    FinishTranspose(c, t);
    FinishTranspose(d, t + 4);
    FinishTranspose(e, t + 8);
    FinishTranspose(f, t + 12);
}

// GCC 12's own intrinsics header leaves the unused upper lanes of a cast
// "uninitialised" on purpose and then warns about it (fixed in GCC 13).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
/// Byte i of the result is lut[idx byte i], for the 16 bytes of `idx`: the
/// 256-entry table in four registers, two permutes and a blend by the top
/// bit. Only where the processor has AVX-512 VBMI (see kHasVbmi).
[[gnu::target("avx512f,avx512bw,avx512vbmi")]] __m128i LookupBytes(const std::uint8_t* lut,
                                                                   __m128i idx) {
    const __m512i i = _mm512_castsi128_si512(idx);
    const __m512i lo =
        _mm512_permutex2var_epi8(_mm512_loadu_si512(lut), i, _mm512_loadu_si512(lut + 64));
    const __m512i hi =
        _mm512_permutex2var_epi8(_mm512_loadu_si512(lut + 128), i, _mm512_loadu_si512(lut + 192));
    return _mm512_castsi512_si128(_mm512_mask_blend_epi8(_mm512_movepi8_mask(i), lo, hi));
}
#pragma GCC diagnostic pop
const bool kHasVbmi = __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512bw");

/// The columns of the coronal and transversal sections that carry voxels,
/// kept inside the picture whatever the caller passes.
struct Columns {
    int offset;
    int count;
};
inline Columns ValidColumns(int sliceCount, int sliceOffset) {
    const int offset = std::clamp(sliceOffset, 0, kEdge);
    return {offset, std::clamp(sliceCount, 0, kEdge - offset)};
}

/// Row access without QImage::scanLine's per-call detach check: the
/// picture is detached once, then rows are addressed from its base. A
/// mirror picture of the same shape, when given, receives every store too,
/// its greys through `table` (the display window) when one is given.
class Rows {
public:
    Rows(QImage& bmp, QImage* mirror, const QRgb* table = nullptr)
        : base_(bmp.bits()),
          mirror_(mirror ? mirror->bits() : nullptr),
          table_(mirror ? table : nullptr),
          stride_(bmp.bytesPerLine()) {
        // A table of greys (the grey colour map) is a byte-to-byte map,
        // which the processor may look up sixteen at a time.
        greyBytes_ = table_ != nullptr && kHasVbmi;
        for (int g = 0; greyBytes_ && g < 256; ++g) {
            const QRgb c = table_[g];
            greyBytes_ = qRed(c) == qGreen(c) && qGreen(c) == qBlue(c);
            grey_[g] = std::uint8_t(qBlue(c));
        }
    }
    /// Sixteen pixels from column `c` of row `r` on.
    void Store16(int r, int c, __m128i grey, __m128i red) const {
        const qsizetype at = r * stride_ + 4 * c;
        if (table_) {
            StoreThroughTable16(at, grey, red);
            return;
        }
        Expand16(grey, red, base_ + at, mirror_ ? mirror_ + at : nullptr);
    }
    void Set(int r, int c, QRgb v) const {
        const qsizetype at = r * stride_ + 4 * c;
        *reinterpret_cast<QRgb*>(base_ + at) = v;
        if (mirror_) *reinterpret_cast<QRgb*>(mirror_ + at) = table_ ? table_[v & 0xff] : v;
    }

private:
    /// Store16 with a display window: the clean picture as ever, the mirror
    /// through the table. Kept out of line so that the plain path stays
    /// small enough to be inlined into the renderers' loops.
    [[gnu::noinline]] void StoreThroughTable16(qsizetype at, __m128i grey, __m128i red) const {
        Expand16(grey, red, base_ + at);
        alignas(16) std::uint8_t g[16];
        _mm_store_si128(reinterpret_cast<__m128i*>(g), grey);
        auto* out = reinterpret_cast<QRgb*>(mirror_ + at);
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(grey, red)) == 0xffff) {
            if (greyBytes_) {
                const __m128i mapped = LookupBytes(grey_, grey);
                Expand16(mapped, mapped, mirror_ + at);
                return;
            }
            for (int i = 0; i < 16; ++i) out[i] = table_[g[i]];
            return;
        }
        // The overlay's red pixels keep their colour.
        alignas(16) std::uint8_t rd[16];
        _mm_store_si128(reinterpret_cast<__m128i*>(rd), red);
        const auto* in = reinterpret_cast<const QRgb*>(base_ + at);
        for (int i = 0; i < 16; ++i) out[i] = g[i] == rd[i] ? table_[g[i]] : in[i];
    }

    uchar* base_;
    uchar* mirror_;
    const QRgb* table_;
    qsizetype stride_;
    bool greyBytes_ = false;
    alignas(64) std::uint8_t grey_[256];
};

}  // namespace

QImage NewSectionBitmap() {
    QImage img(kEdge, kEdge, QImage::Format_RGB32);
    img.fill(GreyToColor(0));
    return img;
}

void RenderSagittal(const std::uint8_t* volume, int x, QImage& bmp, const std::uint8_t* overlay,
                    QImage* mirror, const QRgb* table) {
    const Rows Row(bmp, mirror, table);
    const std::uint8_t* plane = volume + std::size_t(x) * kPlaneBytes;
    const std::uint8_t* over = overlay ? overlay + std::size_t(x) * kPlaneBytes : nullptr;
    for (int r = 0; r < kEdge; ++r) {
        const std::uint8_t* src = plane + r * kEdge;
        for (int c = 0; c < kEdge; c += 16) {
            const __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + c));
            __m128i red = g;
            if (over) {
                red = _mm_xor_si128(
                    g, _mm_loadu_si128(reinterpret_cast<const __m128i*>(over + r * kEdge + c)));
            }
            Row.Store16(r, c, g, red);
        }
    }
}

void RenderCoronal(const std::uint8_t* volume, int y, int sliceCount, int sliceOffset,
                   QImage& bmp) {
    const Rows Row(bmp, nullptr);
    const Columns cols = ValidColumns(sliceCount, sliceOffset);
    const std::uint8_t* base = volume + y;
    int k0 = 0;
    // Sixteen planes at a time: each row of the block is one 64-byte store.
    alignas(16) std::uint8_t gathered[16];
    for (; k0 + 16 <= cols.count; k0 += 16) {
        const std::uint8_t* planes = base + std::size_t(k0) * kPlaneBytes;
        for (int r = 0; r < kEdge; ++r) {
            const std::uint8_t* p = planes + r * kEdge;
            for (int j = 0; j < 16; ++j) gathered[j] = p[std::size_t(j) * kPlaneBytes];
            const __m128i g = _mm_load_si128(reinterpret_cast<const __m128i*>(gathered));
            Row.Store16(r, cols.offset + k0, g, g);
        }
    }
    for (int k = k0; k < cols.count; ++k) {
        const std::uint8_t* plane = base + std::size_t(k) * kPlaneBytes;
        for (int r = 0; r < kEdge; ++r) Row.Set(r, cols.offset + k, GreyToColor(plane[r * kEdge]));
    }
}

namespace {

/// Rows z0 … z1-1 of the section copies given. For each z the 256 rows z of
/// the planes (64 KiB apart) are gathered into a contiguous 64 KiB tile,
/// which is transposed 16 × 16 bytes at a time: transversal row y is one
/// 256-byte run of the copy's plane z, coronal row z of plane y another, so
/// both receive whole 64-byte lines.
void CopyRows(const std::uint8_t* volume, std::uint8_t* coronal, std::uint8_t* transversal, int z0,
              int z1) {
    alignas(64) std::uint8_t tile[kEdge][kEdge];
    // Both copies are written past the cache (nothing reads them soon)
    // when they are aligned to whole lines.
    const bool stream = (reinterpret_cast<std::uintptr_t>(coronal) & 63) == 0;
    const bool streamTra = (reinterpret_cast<std::uintptr_t>(transversal) & 63) == 0;
    for (int z = z0; z < z1; ++z) {
        const std::uint8_t* src = volume + std::size_t(z) * kEdge;
        for (int x = 0; x < kEdge; ++x) {
            std::memcpy(tile[x], src + std::size_t(x) * kPlaneBytes, kEdge);
        }
        for (int x0 = 0; x0 < kEdge; x0 += 64) {
            for (int y0 = 0; y0 < kEdge; y0 += 16) {
                __m128i t[4][16];
                for (int q = 0; q < 4; ++q) {
                    __m128i rows[16];
                    for (int j = 0; j < 16; ++j) {
                        rows[j] = _mm_load_si128(
                            reinterpret_cast<const __m128i*>(&tile[x0 + 16 * q + j][y0]));
                    }
                    Transpose16(rows, t[q]);
                }
                for (int i = 0; i < 16; ++i) {
                    const std::size_t y = std::size_t(y0 + i);
                    if (coronal) {
                        auto* line = reinterpret_cast<__m128i*>(
                            coronal + y * kPlaneBytes + std::size_t(z) * kEdge + std::size_t(x0));
                        for (int q = 0; q < 4; ++q) {
                            if (stream) {
                                _mm_stream_si128(line + q, t[q][i]);
                            } else {
                                _mm_storeu_si128(line + q, t[q][i]);
                            }
                        }
                    }
                    if (transversal) {
                        auto* line =
                            reinterpret_cast<__m128i*>(transversal + std::size_t(z) * kPlaneBytes +
                                                       y * kEdge + std::size_t(x0));
                        for (int q = 0; q < 4; ++q) {
                            if (streamTra) {
                                _mm_stream_si128(line + q, t[q][i]);
                            } else {
                                _mm_storeu_si128(line + q, t[q][i]);
                            }
                        }
                    }
                }
            }
        }
    }
    _mm_sfence();
}

}  // namespace

void MakeSectionCopies(const std::uint8_t* volume, std::uint8_t* coronal,
                       std::uint8_t* transversal) {
    InTwoHalves(kEdge, [=](int z0, int z1) { CopyRows(volume, coronal, transversal, z0, z1); });
}

void MakeCoronalCopy(const std::uint8_t* volume, std::uint8_t* coronal) {
    MakeSectionCopies(volume, coronal, nullptr);
}

void RenderCoronalFromCopy(const std::uint8_t* coronal, int y, int sliceCount, int sliceOffset,
                           QImage& bmp, QImage* mirror, const QRgb* table) {
    const Rows Row(bmp, mirror, table);
    const Columns cols = ValidColumns(sliceCount, sliceOffset);
    const std::uint8_t* plane = coronal + std::size_t(y) * kPlaneBytes;
    for (int r = 0; r < kEdge; ++r) {
        const std::uint8_t* src = plane + r * kEdge;
        int k = 0;
        for (; k + 16 <= cols.count; k += 16) {
            const __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + k));
            Row.Store16(r, cols.offset + k, g, g);
        }
        for (; k < cols.count; ++k) Row.Set(r, cols.offset + k, GreyToColor(src[k]));
    }
}

void RenderTransversal(const std::uint8_t* volume, int z, int sliceCount, int sliceOffset,
                       QImage& bmp, QImage* mirror, const QRgb* table) {
    const Rows Row(bmp, mirror, table);
    const Columns cols = ValidColumns(sliceCount, sliceOffset);
    const std::uint8_t* base = volume + std::size_t(z) * kEdge;
    int k0 = 0;
    // Blocks of 16 planes: row z of each plane is contiguous. The 16 rows lie
    // 64 KiB apart and so share one cache set; they are first copied into a
    // small tile, then transposed 16 × 16 bytes at a time into 64-byte stores.
    alignas(64) std::uint8_t tile[16][kEdge];
    for (; k0 + 16 <= cols.count; k0 += 16) {
        const std::uint8_t* planes = base + std::size_t(k0) * kPlaneBytes;
        for (int j = 0; j < 16; ++j)
            std::memcpy(tile[j], planes + std::size_t(j) * kPlaneBytes, kEdge);
        for (int r0 = 0; r0 < kEdge; r0 += 16) {
            __m128i rows[16], t[16];
            for (int j = 0; j < 16; ++j) {
                rows[j] = _mm_load_si128(reinterpret_cast<const __m128i*>(&tile[j][r0]));
            }
            Transpose16(rows, t);
            for (int i = 0; i < 16; ++i) {
                Row.Store16(r0 + i, cols.offset + k0, t[i], t[i]);
            }
        }
    }
    for (int k = k0; k < cols.count; ++k) {
        const std::uint8_t* row = base + std::size_t(k) * kPlaneBytes;
        for (int r = 0; r < kEdge; ++r) Row.Set(r, cols.offset + k, GreyToColor(row[r]));
    }
}

void TransposePlane(const std::uint8_t* src, std::uint8_t* dst) {
    for (int r0 = 0; r0 < kEdge; r0 += 16) {
        for (int c0 = 0; c0 < kEdge; c0 += 16) {
            __m128i rows[16], t[16];
            for (int j = 0; j < 16; ++j) {
                rows[j] =
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + (r0 + j) * kEdge + c0));
            }
            Transpose16(rows, t);
            for (int i = 0; i < 16; ++i) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + (c0 + i) * kEdge + r0), t[i]);
            }
        }
    }
}

void CopyPicture(const QImage& src, QImage& dst) {
    if (dst.size() == src.size() && dst.format() == src.format() && !dst.isNull() &&
        dst.bytesPerLine() == src.bytesPerLine() && dst.constBits() != src.constBits()) {
        // bits() detaches only if shared; a private picture is reused as is.
        std::memcpy(dst.bits(), src.constBits(), std::size_t(src.sizeInBytes()));
    } else {
        dst = src.copy();
    }
}

}  // namespace zx

namespace zx {

void ApplyTable(QImage& pic, const QRect& area, const QRgb* table) {
    const QRect r = area & pic.rect();
    if (!table || r.isEmpty()) return;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(pic.scanLine(y));
        for (int x = r.left(); x <= r.right(); ++x) {
            const QRgb p = line[x];
            const std::uint32_t g = p & 0xffu;
            if (((p >> 8) & 0xffffu) == g * 0x101u) line[x] = table[g];
        }
    }
}

}  // namespace zx
