#include "core/render/row_kernels.h"

#include <emmintrin.h>
#include <immintrin.h>

#include <cstring>

#include "core/render/sections.h"
#include "core/volume/volume.h"

namespace zx::kernels {

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

/// The clamped line through a byte map, if there is one. For a slope a,
/// the offsets b with full[g] ≤ a·g + b < full[g] + 1 for every g form a
/// band (entries 0 and 255 bound it from one side only: the kernels
/// saturate); the band's width is a concave function of a, so a
/// golden-section search finds the slope of the widest band, and the
/// offset is taken from its middle, as far from every rounding edge as the
/// map allows.
bool FitLine(const std::uint8_t* full, float& slope, float& offset) {
    double lo = 0, hi = 0;
    const auto band = [&](double a) {
        lo = -1e6;
        hi = 1e6;
        for (int g = 0; g < 256; ++g) {
            if (full[g] > 0) lo = std::max(lo, full[g] - a * g);
            if (full[g] < 255) hi = std::min(hi, full[g] + 1.0 - a * g);
        }
        return hi - lo;
    };
    const double r = 0.6180339887498949;
    double a = -600, b = 600;  // a window one grey wide needs a slope of 255
    double c = b - r * (b - a), d = a + r * (b - a);
    double fc = band(c), fd = band(d);
    for (int i = 0; i < 80; ++i) {
        if (fc < fd) {
            a = c;
            c = d;
            fc = fd;
            d = a + r * (b - a);
            fd = band(d);
        } else {
            b = d;
            d = c;
            fd = fc;
            c = b - r * (b - a);
            fc = band(c);
        }
    }
    const double best = (a + b) / 2;
    if (band(best) < 1e-3) return false;
    slope = float(best);
    offset = float((lo + hi) / 2);
    return true;
}

void ExpandScalar(const std::uint8_t* grey, const std::uint8_t* red, int n, QRgb* out) {
    for (int i = 0; i < n; ++i)
        out[i] = 0xff000000u | (QRgb(red[i]) << 16) | (QRgb(grey[i]) * 0x101u);
}

void LookupScalar(const ByteMap& map, const std::uint8_t* src, int n, std::uint8_t* dst) {
    for (int i = 0; i < n; ++i) dst[i] = map.full[src[i]];
}

void ExpandSse2(const std::uint8_t* grey, const std::uint8_t* red, int n, QRgb* out) {
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        Expand16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(grey + i)),
                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(red + i)),
                 reinterpret_cast<std::uint8_t*>(out + i));
    }
    ExpandScalar(grey + i, red + i, n - i, out + i);
}

/// SSE2 has no byte shuffle: the look-up goes eight bytes at a time
/// through general registers.
void LookupSse2(const ByteMap& map, const std::uint8_t* src, int n, std::uint8_t* dst) {
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t in;
        std::memcpy(&in, src + i, 8);
        std::uint64_t out = 0;
        for (int b = 0; b < 8; ++b)
            out |= std::uint64_t(map.full[(in >> (8 * b)) & 0xff]) << (8 * b);
        std::memcpy(dst + i, &out, 8);
    }
    LookupScalar(map, src + i, n - i, dst + i);
}

/// Sixteen greys through the map's line: widened to floats, a·g + b,
/// truncated, and packed back with saturation to 0 … 255.
inline __m128i Line16Sse2(__m128i v, __m128 a, __m128 b) {
    const __m128i z = _mm_setzero_si128();
    const auto f = [&](__m128i w) {
        return _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(_mm_cvtepi32_ps(w), a), b));
    };
    const __m128i lo = _mm_unpacklo_epi8(v, z), hi = _mm_unpackhi_epi8(v, z);
    return _mm_packus_epi16(
        _mm_packs_epi32(f(_mm_unpacklo_epi16(lo, z)), f(_mm_unpackhi_epi16(lo, z))),
        _mm_packs_epi32(f(_mm_unpacklo_epi16(hi, z)), f(_mm_unpackhi_epi16(hi, z))));
}

void LineLookupSse2(const ByteMap& map, const std::uint8_t* src, int n, std::uint8_t* dst) {
    const __m128 a = _mm_set1_ps(map.slope), b = _mm_set1_ps(map.offset);
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), Line16Sse2(v, a, b));
    }
    LookupScalar(map, src + i, n - i, dst + i);
}

void LineExpandSse2(const ByteMap& map, const std::uint8_t* src, int n, QRgb* out) {
    const __m128 a = _mm_set1_ps(map.slope), b = _mm_set1_ps(map.offset);
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i m =
            Line16Sse2(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i)), a, b);
        Expand16(m, m, reinterpret_cast<std::uint8_t*>(out + i));
    }
    for (; i < n; ++i) out[i] = GreyToColor(map.full[src[i]]);
}

/// The rational line through map.ramp (see ByteMap::ratio), if one with
/// a denominator up to 512 reproduces every entry. Entries 0 and 255 bound
/// the line from one side only (the kernel saturates); t lifts a line that
/// starts below 0 into the unsigned range.
bool FitRatio(ByteMap& map) {
    const int span = map.span;
    const std::uint8_t flip = map.ramp[span] < map.ramp[0] ? 0xff : 0;
    const auto entry = [&](int d) { return int(map.ramp[d] ^ flip); };
    const int rise = entry(span) - entry(0);
    if (span == 0 || rise <= 0) return false;
    const auto exact = [&](int p, int k, int t, std::uint32_t m, int shift) {
        for (int d = 0; d <= span; ++d) {
            const std::uint32_t n = std::uint32_t(d * p + k);
            // As the kernel: saturated at 0, then packed as signed words.
            const int q = std::max(0, int((n * m) >> (16 + shift)) - t);
            if ((q >= 32768 ? 0 : std::min(q, 255)) != entry(d)) return false;
        }
        return true;
    };
    for (int q = 1; q <= 512; ++q) {
        const int near = rise * q / span;
        for (int p = std::max(0, near - 1); p <= near + 2; ++p) {
            // floor((d·p + k)/q) = entry(d): k in [q·e − d·p, q·e + q − 1 − d·p].
            long lo = -1000000000L, hi = 1000000000L;
            for (int d = 0; d <= span; ++d) {
                const long base = long(q) * entry(d) - long(d) * p;
                if (entry(d) > 0) lo = std::max(lo, base);
                if (entry(d) < 255) hi = std::min(hi, base + q - 1);
            }
            if (lo > hi) continue;
            const long k0 = lo + (hi - lo) / 2;
            const long t = k0 < 0 ? (-k0 + q - 1) / q : 0;
            const long k = k0 + t * q;
            if (long(span) * p + k > 65535 || t > 65535) continue;
            for (int shift = 0; shift < 16; ++shift) {
                const std::uint32_t m =
                    std::uint32_t(((std::uint64_t{1} << (16 + shift)) + q - 1) / q);
                if (m > 65535) break;
                if (!exact(p, int(k), int(t), m, shift)) continue;
                map.ratio = true;
                map.p = std::uint16_t(p);
                map.k = std::uint16_t(k);
                map.t = std::uint16_t(t);
                map.m = std::uint16_t(m);
                map.shift = shift;
                map.flip = flip;
                return true;
            }
        }
    }
    return false;
}

/// The rational line in SSE2 registers.
struct RatioSse2 {
    __m128i g0, span, p, k, m, t, flip, shift;
    explicit RatioSse2(const ByteMap& map)
        : g0(_mm_set1_epi8(char(map.g0))),
          span(_mm_set1_epi8(char(map.span))),
          p(_mm_set1_epi16(short(map.p))),
          k(_mm_set1_epi16(short(map.k))),
          m(_mm_set1_epi16(short(map.m))),
          t(_mm_set1_epi16(short(map.t))),
          flip(_mm_set1_epi8(char(map.flip))),
          shift(_mm_cvtsi32_si128(map.shift)) {}
};

/// Sixteen greys through the rational line: the place on the ramp by
/// saturation, then per eight greys a multiply and add, the division as a
/// high multiply and shift, and the lift taken off with saturation.
inline __m128i Ratio16Sse2(const RatioSse2& r, __m128i v) {
    const __m128i z = _mm_setzero_si128();
    const __m128i d = _mm_min_epu8(_mm_subs_epu8(v, r.g0), r.span);
    const auto half = [&](__m128i w) {
        const __m128i n = _mm_add_epi16(_mm_mullo_epi16(w, r.p), r.k);
        return _mm_subs_epu16(_mm_srl_epi16(_mm_mulhi_epu16(n, r.m), r.shift), r.t);
    };
    return _mm_xor_si128(
        _mm_packus_epi16(half(_mm_unpacklo_epi8(d, z)), half(_mm_unpackhi_epi8(d, z))), r.flip);
}

void RatioLookupSse2(const ByteMap& map, const std::uint8_t* src, int n, std::uint8_t* dst) {
    const RatioSse2 r(map);
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), Ratio16Sse2(r, v));
    }
    LookupScalar(map, src + i, n - i, dst + i);
}

/// The grey pixels of src into `clean` and those of map.full[src] into
/// `shown` in one pass: sixteen greys are loaded once for both.
void RatioExpandBothSse2(const ByteMap& map, const std::uint8_t* src, int n, QRgb* clean,
                         QRgb* shown) {
    const RatioSse2 r(map);
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        Expand16(v, v, reinterpret_cast<std::uint8_t*>(clean + i));
        const __m128i g = Ratio16Sse2(r, v);
        Expand16(g, g, reinterpret_cast<std::uint8_t*>(shown + i));
    }
    ExpandScalar(src + i, src + i, n - i, clean + i);
    for (; i < n; ++i) shown[i] = GreyToColor(map.full[src[i]]);
}

/// Byte shuffles that turn sixteen greys (the same 16 bytes in both
/// halves of a register) into eight pixels: block j of `grey` puts grey
/// 8j + i into the blue and green bytes of pixel i (and into the red byte
/// too), block j of `red` puts it into the red byte only.
struct PixelShuffles {
    alignas(32) std::int8_t grey[2][32], greyRed[2][32], red[2][32];
    PixelShuffles() {
        for (int j = 0; j < 2; ++j)
            for (int lane = 0; lane < 2; ++lane)
                for (int p = 0; p < 4; ++p)
                    for (int b = 0; b < 4; ++b) {
                        const int at = 16 * lane + 4 * p + b;
                        const auto index = std::int8_t(8 * j + 4 * lane + p);
                        grey[j][at] = b < 2 ? index : std::int8_t(-128);
                        greyRed[j][at] = b < 3 ? index : std::int8_t(-128);
                        red[j][at] = b == 2 ? index : std::int8_t(-128);
                    }
    }
};
const PixelShuffles kShuffles;

/// Pixels of 16 greys (and their red bytes) in four 256-bit stores.
[[gnu::target("avx2")]] inline void Store16Avx2(__m256i grey2, __m256i red2, bool plain,
                                                QRgb* out) {
    const __m256i alpha = _mm256_set1_epi32(int(0xff000000u));
    for (int j = 0; j < 2; ++j) {
        __m256i px;
        if (plain) {
            px = _mm256_shuffle_epi8(
                grey2, _mm256_load_si256(reinterpret_cast<const __m256i*>(kShuffles.greyRed[j])));
        } else {
            px = _mm256_or_si256(
                _mm256_shuffle_epi8(
                    grey2, _mm256_load_si256(reinterpret_cast<const __m256i*>(kShuffles.grey[j]))),
                _mm256_shuffle_epi8(
                    red2, _mm256_load_si256(reinterpret_cast<const __m256i*>(kShuffles.red[j]))));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 8 * j), _mm256_or_si256(px, alpha));
    }
}

[[gnu::target("avx2")]] inline __m256i Both16(const std::uint8_t* p) {
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

[[gnu::target("avx2")]] void ExpandAvx2(const std::uint8_t* grey, const std::uint8_t* red, int n,
                                        QRgb* out) {
    const bool plain = red == grey;
    int i = 0;
    for (; i + 16 <= n; i += 16) Store16Avx2(Both16(grey + i), Both16(red + i), plain, out + i);
    ExpandScalar(grey + i, red + i, n - i, out + i);
}

/// 32 bytes at a time: the table in sixteen rows of sixteen, each row
/// looked up by the low nibble (vpshufb) and kept where the high nibble
/// names it.
/// The byte map's ramp in registers: row h of sixteen entries in both
/// halves, and the saturation that folds the flat ends onto its ends.
struct RampAvx2 {
    __m256i rows[16];
    __m256i g0, span;
    int count;
};

[[gnu::target("avx2")]] inline void LoadRampAvx2(const ByteMap& map, RampAvx2& r) {
    for (int h = 0; h < map.rows; ++h) r.rows[h] = Both16(map.ramp + 16 * h);
    r.g0 = _mm256_set1_epi8(char(map.g0));
    r.span = _mm256_set1_epi8(char(map.span));
    r.count = map.rows;
}

/// 32 bytes at a time: the byte's place on the ramp, looked up by its low
/// nibble in each row of sixteen (vpshufb), kept where its high nibble
/// names the row.
[[gnu::target("avx2")]] inline __m256i Lookup32Avx2(const RampAvx2& r, __m256i v) {
    const __m256i t = _mm256_min_epu8(_mm256_subs_epu8(v, r.g0), r.span);
    const __m256i nibble = _mm256_set1_epi8(0x0f);
    const __m256i lo = _mm256_and_si256(t, nibble);
    const __m256i hi = _mm256_and_si256(_mm256_srli_epi16(t, 4), nibble);
    __m256i acc = _mm256_shuffle_epi8(r.rows[0], lo);
    for (int h = 1; h < r.count; ++h) {
        acc = _mm256_blendv_epi8(acc, _mm256_shuffle_epi8(r.rows[h], lo),
                                 _mm256_cmpeq_epi8(hi, _mm256_set1_epi8(char(h))));
    }
    return acc;
}

[[gnu::target("avx2")]] void LookupAvx2(const ByteMap& map, const std::uint8_t* src, int n,
                                        std::uint8_t* dst) {
    RampAvx2 ramp;
    LoadRampAvx2(map, ramp);
    int i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), Lookup32Avx2(ramp, v));
    }
    LookupScalar(map, src + i, n - i, dst + i);
}

/// The grey pixels of map.full[src[i]], looked up and expanded in registers.
[[gnu::target("avx2")]] void LookupExpandAvx2(const ByteMap& map, const std::uint8_t* src, int n,
                                              QRgb* out) {
    RampAvx2 ramp;
    LoadRampAvx2(map, ramp);
    int i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i m =
            Lookup32Avx2(ramp, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i)));
        const __m256i lo = _mm256_permute2x128_si256(m, m, 0x00);
        const __m256i hi = _mm256_permute2x128_si256(m, m, 0x11);
        Store16Avx2(lo, lo, true, out + i);
        Store16Avx2(hi, hi, true, out + i + 16);
    }
    alignas(32) std::uint8_t rest[32];
    LookupScalar(map, src + i, n - i, rest);
    ExpandScalar(rest, rest, n - i, out + i);
}

/// Eight greys (32-bit lanes) through the map's line.
[[gnu::target("avx2")]] inline __m256i LineQuadAvx2(__m256i w, __m256 a, __m256 b) {
    return _mm256_cvttps_epi32(_mm256_add_ps(_mm256_mul_ps(_mm256_cvtepi32_ps(w), a), b));
}

/// Thirty-two greys through the map's line. The unpacks and packs work
/// within each 128-bit half, and the packs undo the unpacks' order.
[[gnu::target("avx2")]] inline __m256i Line32Avx2(__m256i v, __m256 a, __m256 b) {
    const __m256i z = _mm256_setzero_si256();
    const __m256i lo = _mm256_unpacklo_epi8(v, z), hi = _mm256_unpackhi_epi8(v, z);
    return _mm256_packus_epi16(
        _mm256_packs_epi32(LineQuadAvx2(_mm256_unpacklo_epi16(lo, z), a, b),
                           LineQuadAvx2(_mm256_unpackhi_epi16(lo, z), a, b)),
        _mm256_packs_epi32(LineQuadAvx2(_mm256_unpacklo_epi16(hi, z), a, b),
                           LineQuadAvx2(_mm256_unpackhi_epi16(hi, z), a, b)));
}

[[gnu::target("avx2")]] void LineLookupAvx2(const ByteMap& map, const std::uint8_t* src, int n,
                                            std::uint8_t* dst) {
    const __m256 a = _mm256_set1_ps(map.slope), b = _mm256_set1_ps(map.offset);
    int i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), Line32Avx2(v, a, b));
    }
    LookupScalar(map, src + i, n - i, dst + i);
}

/// The grey pixels of src into `clean` and those of the line into `shown`
/// in one pass: 32 greys are loaded once for both.
[[gnu::target("avx2")]] void LineExpandBothAvx2(const ByteMap& map, const std::uint8_t* src, int n,
                                                QRgb* clean, QRgb* shown) {
    const __m256 a = _mm256_set1_ps(map.slope), b = _mm256_set1_ps(map.offset);
    int i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        const __m256i vlo = _mm256_permute2x128_si256(v, v, 0x00);
        const __m256i vhi = _mm256_permute2x128_si256(v, v, 0x11);
        Store16Avx2(vlo, vlo, true, clean + i);
        Store16Avx2(vhi, vhi, true, clean + i + 16);
        const __m256i m = Line32Avx2(v, a, b);
        const __m256i lo = _mm256_permute2x128_si256(m, m, 0x00);
        const __m256i hi = _mm256_permute2x128_si256(m, m, 0x11);
        Store16Avx2(lo, lo, true, shown + i);
        Store16Avx2(hi, hi, true, shown + i + 16);
    }
    ExpandScalar(src + i, src + i, n - i, clean + i);
    for (; i < n; ++i) shown[i] = GreyToColor(map.full[src[i]]);
}

/// 64 bytes at a time: the table in four registers, two permutes and a
/// blend by the top bit; the rest of the row through a mask.
[[gnu::target("avx512f,avx512bw,avx512vbmi")]] void LookupAvx512(const ByteMap& map,
                                                                 const std::uint8_t* src, int n,
                                                                 std::uint8_t* dst) {
    const __m512i t0 = _mm512_loadu_si512(map.full);
    const __m512i t1 = _mm512_loadu_si512(map.full + 64);
    const __m512i t2 = _mm512_loadu_si512(map.full + 128);
    const __m512i t3 = _mm512_loadu_si512(map.full + 192);
    for (int i = 0; i < n; i += 64) {
        const int left = n - i;
        const __mmask64 m = left >= 64 ? ~__mmask64(0) : (__mmask64(1) << left) - 1;
        const __m512i v = _mm512_maskz_loadu_epi8(m, src + i);
        const __m512i lo = _mm512_permutex2var_epi8(t0, v, t1);
        const __m512i hi = _mm512_permutex2var_epi8(t2, v, t3);
        _mm512_mask_storeu_epi8(dst + i, m, _mm512_mask_blend_epi8(_mm512_movepi8_mask(v), lo, hi));
    }
}

/// The grey pixels of map.full[src[i]] from the two kernels of a path.
template <auto Lookup, auto Expand>
void LookupExpand(const ByteMap& map, const std::uint8_t* src, int n, QRgb* out) {
    alignas(64) std::uint8_t mapped[kEdge];
    for (int i = 0; i < n; i += kEdge) {
        const int m = std::min(kEdge, n - i);
        Lookup(map, src + i, m, mapped);
        Expand(mapped, mapped, m, out + i);
    }
}

// The vector paths compute a map that is a line, and look up any other.
void LookupSse2Map(const ByteMap& map, const std::uint8_t* src, int n, std::uint8_t* dst) {
    (map.ratio ? RatioLookupSse2 : map.line ? LineLookupSse2 : LookupSse2)(map, src, n, dst);
}
// A rational line's pixels come from RatioExpandBothSse2, with the clean row.
void LookupExpandSse2(const ByteMap& map, const std::uint8_t* src, int n, QRgb* out) {
    (map.line ? LineExpandSse2 : LookupExpand<LookupSse2, ExpandSse2>)(map, src, n, out);
}
/// Both pictures of a row through a path's own kernels.
template <auto Expand, auto LookupExpandMap>
void ExpandBoth(const ByteMap& map, const std::uint8_t* src, int n, QRgb* clean, QRgb* shown) {
    Expand(src, src, n, clean);
    LookupExpandMap(map, src, n, shown);
}
void ExpandBothSse2(const ByteMap& map, const std::uint8_t* src, int n, QRgb* clean, QRgb* shown) {
    (map.ratio ? RatioExpandBothSse2 : ExpandBoth<ExpandSse2, LookupExpandSse2>)(map, src, n, clean,
                                                                                 shown);
}
void LookupAvx2Map(const ByteMap& map, const std::uint8_t* src, int n, std::uint8_t* dst) {
    (map.line ? LineLookupAvx2 : LookupAvx2)(map, src, n, dst);
}
void ExpandBothAvx2(const ByteMap& map, const std::uint8_t* src, int n, QRgb* clean, QRgb* shown) {
    (map.line ? LineExpandBothAvx2 : ExpandBoth<ExpandAvx2, LookupExpandAvx2>)(map, src, n, clean,
                                                                               shown);
}

}  // namespace

/// Sets map.line where the map is a float line that every vector kernel
/// this processor runs reproduces exactly, and, for the SSE2 kernels (the
/// only ones that use it), map.ratio where it is a rational line that they
/// reproduce exactly: each kernel is run over all 256 greys. The fits are
/// kept for the next picture of the same map: a drag renders many sections
/// through one window.
void PrepareLine(ByteMap& map, SimdPath path) {
    struct Fitted {
        bool valid = false, ratioTried = false;
        std::uint8_t full[256];
        ByteMap fit;
    };
    thread_local Fitted last;
    ByteMap& probe = last.fit;
    alignas(64) std::uint8_t greys[256], out[256];
    const auto exact = [&](auto kernel) {
        for (int g = 0; g < 256; ++g) greys[g] = std::uint8_t(g);
        kernel(probe, greys, 256, out);
        return std::memcmp(out, map.full, 256) == 0;
    };
    if (!last.valid || std::memcmp(last.full, map.full, 256) != 0) {
        std::memcpy(last.full, map.full, 256);
        last.valid = true;
        last.ratioTried = false;
        probe = map;
        probe.ratio = false;
        probe.line = FitLine(map.full, probe.slope, probe.offset) && exact(LineLookupSse2) &&
                     (!CanRunSimdPath(SimdPath::Avx2) || exact(LineLookupAvx2));
    }
    if (path == SimdPath::Sse2 && !last.ratioTried) {
        last.ratioTried = true;
        probe.ratio = FitRatio(probe) && exact(RatioLookupSse2);
    }
    map.line = probe.line;
    map.slope = probe.slope;
    map.offset = probe.offset;
    map.ratio = probe.ratio;
    map.p = probe.p;
    map.k = probe.k;
    map.m = probe.m;
    map.t = probe.t;
    map.shift = probe.shift;
    map.flip = probe.flip;
}

Kernels KernelsFor(SimdPath path) {
    switch (path) {
        case SimdPath::Scalar:
            break;
        case SimdPath::Sse2:
            return {ExpandSse2, LookupSse2Map, ExpandBothSse2};
        case SimdPath::Avx2:
            return {ExpandAvx2, LookupAvx2Map, ExpandBothAvx2};
        case SimdPath::Avx512:
            return {ExpandAvx2, LookupAvx512,
                    ExpandBoth<ExpandAvx2, LookupExpand<LookupAvx512, ExpandAvx2>>};
    }
    return {ExpandScalar, LookupScalar,
            ExpandBoth<ExpandScalar, LookupExpand<LookupScalar, ExpandScalar>>};
}

}  // namespace zx::kernels
