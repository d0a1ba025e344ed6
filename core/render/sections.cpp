#include "core/render/sections.h"

#include <emmintrin.h>
#include <immintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "base/two_halves.h"
#include "core/render/row_kernels.h"
#include "core/render/simd_path.h"
#include "core/volume/volume.h"

namespace zx {

namespace {

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
/// mirror picture of the same shape, when given, receives every row too,
/// its greys through `table` (the display window) when one is given.
class Rows {
public:
    Rows(QImage& bmp, QImage* mirror, const QRgb* table = nullptr)
        : base_(bmp.bits()),
          mirror_(mirror ? mirror->bits() : nullptr),
          table_(mirror ? table : nullptr),
          stride_(bmp.bytesPerLine()),
          k_(kernels::KernelsFor(ActiveSimdPath())) {
        // A table of greys (the grey colour map) is a byte-to-byte map,
        // which the kernels look up many bytes at a time.
        greyBytes_ = table_ != nullptr;
        for (int g = 0; greyBytes_ && g < 256; ++g) {
            const QRgb c = table_[g];
            greyBytes_ = qRed(c) == qGreen(c) && qGreen(c) == qBlue(c);
            grey_.full[g] = std::uint8_t(qBlue(c));
        }
        if (greyBytes_) {
            grey_.Finish();
            const SimdPath path = ActiveSimdPath();
            if (path == SimdPath::Sse2 || path == SimdPath::Avx2) kernels::PrepareLine(grey_, path);
        }
    }
    /// Pixels (c0 + i, r) for i < n show grey[i], their red byte red[i]
    /// (the grey without an overlay: red null).
    void Emit(int r, int c0, int n, const std::uint8_t* grey, const std::uint8_t* red) const {
        if (n <= 0) return;
        const qsizetype at = r * stride_ + 4 * c0;
        auto* clean = reinterpret_cast<QRgb*>(base_ + at);
        auto* shown = mirror_ ? reinterpret_cast<QRgb*>(mirror_ + at) : nullptr;
        if (shown && table_ && greyBytes_ && !red) {
            k_.expandBoth(grey_, grey, n, clean, shown);
            return;
        }
        k_.expand(grey, red ? red : grey, n, clean);
        if (!shown) return;
        if (!table_) {
            std::memcpy(shown, clean, std::size_t(n) * 4);
            return;
        }
        if (!greyBytes_) {
            // Colours: the overlay's red pixels keep theirs.
            for (int i = 0; i < n; ++i)
                shown[i] = !red || red[i] == grey[i] ? table_[grey[i]] : clean[i];
            return;
        }
        alignas(64) std::uint8_t mapped[kEdge];
        k_.lookup(grey_, grey, n, mapped);
        alignas(64) std::uint8_t b[kEdge], rd[kEdge];
        for (int i = 0; i < n; ++i) {
            const bool plain = red[i] == grey[i];
            b[i] = plain ? mapped[i] : grey[i];
            rd[i] = plain ? mapped[i] : red[i];
        }
        k_.expand(b, rd, n, shown);
    }

private:
    uchar* base_;
    uchar* mirror_;
    const QRgb* table_;
    qsizetype stride_;
    kernels::Kernels k_;
    bool greyBytes_ = false;
    kernels::ByteMap grey_;
};

/// The transposed plane: dst[c·256 + r] = src[r·256 + c], portably.
void TransposeScalar(const std::uint8_t* src, std::uint8_t* dst) {
    for (int r = 0; r < kEdge; ++r)
        for (int c = 0; c < kEdge; ++c) dst[c * kEdge + r] = src[r * kEdge + c];
}

void TransposeSse2(const std::uint8_t* src, std::uint8_t* dst) {
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
    alignas(64) std::uint8_t red[kEdge];
    for (int r = 0; r < kEdge; ++r) {
        const std::uint8_t* src = plane + r * kEdge;
        if (over) {
            for (int c = 0; c < kEdge; ++c) red[c] = src[c] ^ over[r * kEdge + c];
        }
        Row.Emit(r, 0, kEdge, src, over ? red : nullptr);
    }
}

void RenderCoronal(const std::uint8_t* volume, int y, int sliceCount, int sliceOffset,
                   QImage& bmp) {
    const Rows Row(bmp, nullptr);
    const Columns cols = ValidColumns(sliceCount, sliceOffset);
    // Pixel (k, r) is voxel (k, y, r): gathered into rows first.
    alignas(64) std::uint8_t rows[kEdge][kEdge];
    for (int k = 0; k < cols.count; ++k) {
        const std::uint8_t* plane = volume + std::size_t(k) * kPlaneBytes + y;
        for (int r = 0; r < kEdge; ++r) rows[r][k] = plane[r * kEdge];
    }
    for (int r = 0; r < kEdge; ++r) Row.Emit(r, cols.offset, cols.count, rows[r], nullptr);
}

namespace {

/// Rows z0 … z1-1 of the section copies given. For each z the 256 rows z of
/// the planes (64 KiB apart) are gathered into a contiguous 64 KiB tile,
/// which is transposed 16 × 16 bytes at a time: transversal row y is one
/// 256-byte run of the copy's plane z, coronal row z of plane y another, so
/// both receive whole 64-byte lines.
void CopyRows(const std::uint8_t* volume, std::uint8_t* coronal, std::uint8_t* transversal, int z0,
              int z1) {
    if (ActiveSimdPath() == SimdPath::Scalar) {
        // The portable twin: voxel (x, y, z) lies at x·65536 + z·256 + y.
        for (int z = z0; z < z1; ++z)
            for (int x = 0; x < kEdge; ++x)
                for (int y = 0; y < kEdge; ++y) {
                    const std::uint8_t v = volume[std::size_t(x) * kPlaneBytes + z * kEdge + y];
                    if (coronal) coronal[std::size_t(y) * kPlaneBytes + z * kEdge + x] = v;
                    if (transversal) transversal[std::size_t(z) * kPlaneBytes + y * kEdge + x] = v;
                }
        return;
    }
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
    for (int r = 0; r < kEdge; ++r)
        Row.Emit(r, cols.offset, cols.count, plane + r * kEdge, nullptr);
}

void RenderTransversal(const std::uint8_t* volume, int z, int sliceCount, int sliceOffset,
                       QImage& bmp, QImage* mirror, const QRgb* table) {
    const Rows Row(bmp, mirror, table);
    const Columns cols = ValidColumns(sliceCount, sliceOffset);
    // Row z of each plane k is contiguous: copied into row k of a tile (the
    // planes lie 64 KiB apart and would share one cache set), which is then
    // transposed into the section's rows.
    alignas(64) std::uint8_t tile[kEdge * kEdge];
    alignas(64) std::uint8_t rows[kEdge * kEdge];
    const std::uint8_t* base = volume + std::size_t(z) * kEdge;
    for (int k = 0; k < cols.count; ++k)
        std::memcpy(tile + k * kEdge, base + std::size_t(k) * kPlaneBytes, kEdge);
    std::memset(tile + cols.count * kEdge, 0, std::size_t(kEdge - cols.count) * kEdge);
    TransposePlane(tile, rows);
    for (int r = 0; r < kEdge; ++r) Row.Emit(r, cols.offset, cols.count, rows + r * kEdge, nullptr);
}

void TransposePlane(const std::uint8_t* src, std::uint8_t* dst) {
    if (ActiveSimdPath() == SimdPath::Scalar)
        TransposeScalar(src, dst);
    else
        TransposeSse2(src, dst);
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
    // Rows from the base: scanLine checks for sharing at every call, which
    // costs more than the few pixels of a crosshair's row.
    uchar* base = pic.bits();
    const qsizetype stride = pic.bytesPerLine();
    for (int y = r.top(); y <= r.bottom(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(base + y * stride);
        for (int x = r.left(); x <= r.right(); ++x) {
            const QRgb p = line[x];
            const std::uint32_t g = p & 0xffu;
            if (((p >> 8) & 0xffffu) == g * 0x101u) line[x] = table[g];
        }
    }
}

}  // namespace zx
