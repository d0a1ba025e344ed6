#include "core/render3d/render3d.h"

#include <emmintrin.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <optional>

#include "base/two_halves.h"
#include "core/render3d/ray_caster.h"
#include "core/volume/volume.h"

namespace zx {

namespace {

constexpr int kNB = Renderer3D::kBricks;

/// Calls tile(row, column) for every tile of a grid of `tiles` × `tiles`,
/// on two threads, each taking the next tile not yet taken: the cost of a
/// tile differs between the parts of a head (skull, neck, air), and a
/// fixed share left one thread waiting for the other.
template <typename F>
void ForEachTile(int tiles, const F& tile) {
    std::atomic<int> next{0};
    const int count = tiles * tiles;
    InTwoHalves(2, [&](int, int) {
        for (int k; (k = next.fetch_add(1, std::memory_order_relaxed)) < count;)
            tile(k / tiles, k % tiles);
    });
}

/// Cell maxima for the cell columns cx in [cx0, cx1) (cells of kCell
/// voxels): `raw` over the cell's own voxels, `wide` over the cell and a
/// border of one voxel (all that a trilinear sample inside the cell
/// reads). The rows of a cell row are folded with byte-wise maxima, then
/// each group of kCell bytes is one cell; for `wide` each row is first
/// widened by one byte in y. Planes from `count` on carry no voxels.
void CellMaxima(const std::uint8_t* volume, int count, int cx0, int cx1, std::uint8_t* raw,
                std::uint8_t* wide) {
    constexpr int kC = Renderer3D::kCell, kNC = Renderer3D::kCells;
    alignas(16) std::uint8_t bytes[256];
    const auto store = [&](const __m128i acc[16], std::uint8_t* out, int cx, int cz) {
        for (int i = 0; i < 16; ++i)
            _mm_store_si128(reinterpret_cast<__m128i*>(bytes + 16 * i), acc[i]);
        for (int cy = 0; cy < kNC; ++cy)
            out[(cx * kNC + cz) * kNC + cy] =
                *std::max_element(bytes + cy * kC, bytes + cy * kC + kC);
    };
    for (int cx = cx0; cx < cx1; ++cx) {
        for (int cz = 0; cz < kNC; ++cz) {
            __m128i own[16], border[16];
            for (int i = 0; i < 16; ++i) own[i] = border[i] = _mm_setzero_si128();
            const int x1 = std::min(cx * kC + kC + 1, count),
                      z1 = std::min(cz * kC + kC + 1, kEdge);
            for (int x = std::max(cx * kC - 1, 0); x < x1; ++x) {
                for (int z = std::max(cz * kC - 1, 0); z < z1; ++z) {
                    const std::uint8_t* row = volume + VoxelIndex(x, 0, z);
                    const bool inner =
                        x >= cx * kC && x < cx * kC + kC && z >= cz * kC && z < cz * kC + kC;
                    for (int i = 0; i < 16; ++i) {
                        const __m128i v =
                            _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 16 * i));
                        const __m128i before =
                            i > 0 ? _mm_loadu_si128(
                                        reinterpret_cast<const __m128i*>(row + 16 * i - 1))
                                  : _mm_slli_si128(v, 1);
                        const __m128i after =
                            i < 15 ? _mm_loadu_si128(
                                         reinterpret_cast<const __m128i*>(row + 16 * i + 1))
                                   : _mm_srli_si128(v, 1);
                        border[i] =
                            _mm_max_epu8(border[i], _mm_max_epu8(v, _mm_max_epu8(before, after)));
                        if (inner) own[i] = _mm_max_epu8(own[i], v);
                    }
                }
            }
            store(own, raw, cx, cz);
            store(border, wide, cx, cz);
        }
    }
}

/// The maxima of 2 × 2 × 2 cells, one brick each.
void Coarsen(const std::vector<std::uint8_t>& cells, std::vector<std::uint8_t>& bricks) {
    constexpr int kNC = Renderer3D::kCells;
    for (int bx = 0; bx < kNB; ++bx) {
        for (int bz = 0; bz < kNB; ++bz) {
            for (int by = 0; by < kNB; ++by) {
                std::uint8_t m = 0;
                for (int k = 0; k < 8; ++k) {
                    const int x = 2 * bx + (k & 1), z = 2 * bz + ((k >> 1) & 1),
                              y = 2 * by + (k >> 2);
                    m = std::max(m, cells[std::size_t((x * kNC + z) * kNC + y)]);
                }
                bricks[std::size_t((bx * kNB + bz) * kNB + by)] = m;
            }
        }
    }
}

/// Blocks bx in [bx0, bx1) of the blocked copy: each row of 256 voxels is
/// read once and dealt out 4 bytes to each of its 64 blocks.
void FillBlocks(const std::uint8_t* volume, int count, int bx0, int bx1, std::uint8_t* blocked) {
    for (int bx = bx0; bx < bx1; ++bx) {
        for (int bz = 0; bz < 64; ++bz) {
            for (int i = 0; i < 4; ++i) {
                const int x = 4 * bx + i;
                for (int k = 0; k < 4; ++k) {
                    const int z = 4 * bz + k;
                    std::uint8_t* dst = blocked + Renderer3D::BlockedX(x) + Renderer3D::BlockedZ(z);
                    if (x >= count) {
                        for (int by = 0; by < 64; ++by) std::memset(dst + 64 * by, 0, 4);
                        continue;
                    }
                    const std::uint8_t* row = volume + VoxelIndex(x, 0, z);
                    for (int by = 0; by < 64; ++by) std::memcpy(dst + 64 * by, row + 4 * by, 4);
                }
            }
        }
    }
}

}  // namespace

void Renderer3D::SetVolume(const std::uint8_t* volume, int sliceCount) {
    volume_ = volume;
    sliceCount_ = std::clamp(sliceCount, 0, kEdge);
    sliceOffset_ = (kEdge - sliceCount_) / 2;
    const std::size_t n = std::size_t(kNB) * kNB * kNB,
                      cells = std::size_t(kCells) * kCells * kCells;
    {
        const std::lock_guard<std::mutex> lock(skipLock_);
        skipMaps_.reset();
    }
    if (!volume_) blocked_ = {};
    brickRaw_.assign(n, 0);
    brickMax_.assign(n, 0);
    cellMax_.assign(cells, 0);
    if (!volume_) return;
    std::vector<std::uint8_t> cellRaw(cells, 0);
    InTwoHalves(kCells, [&](int c0, int c1) {
        CellMaxima(volume_, sliceCount_, c0, c1, cellRaw.data(), cellMax_.data());
    });
    Coarsen(cellRaw, brickRaw_);
    Coarsen(cellMax_, brickMax_);
    blocked_.resize(kVolumeBytes);
    InTwoHalves(64,
                [&](int b0, int b1) { FillBlocks(volume_, sliceCount_, b0, b1, blocked_.data()); });
}

OpacityRamp RampFromHistogram(const std::uint8_t* volume, int sliceCount) {
    std::array<std::array<double, 256>, 2> halves{};
    const int count = std::clamp(sliceCount, 0, kEdge);
    if (!volume || count == 0) return OpacityRamp{};
    InTwoHalves(count, [&](int x0, int x1) {
        auto& h = halves[x1 == count ? 1 : 0];
        std::array<std::uint64_t, 256> local{};
        for (std::size_t i = std::size_t(x0) * kPlaneBytes; i < std::size_t(x1) * kPlaneBytes; ++i)
            ++local[volume[i]];
        for (int v = 0; v < 256; ++v) h[std::size_t(v)] = double(local[std::size_t(v)]);
    });
    // Otsu: the threshold with the largest variance between the classes
    // "background" (≤ t) and "tissue" (> t).
    double total = 0, sum = 0;
    std::array<double, 256> hist{};
    for (int v = 0; v < 256; ++v) {
        hist[std::size_t(v)] = halves[0][std::size_t(v)] + halves[1][std::size_t(v)];
        total += hist[std::size_t(v)];
        sum += v * hist[std::size_t(v)];
    }
    OpacityRamp ramp;
    if (total <= 0) return ramp;
    double w0 = 0, sum0 = 0, best = -1;
    int threshold = ramp.low;
    for (int t = 0; t < 255; ++t) {
        w0 += hist[std::size_t(t)];
        sum0 += t * hist[std::size_t(t)];
        const double w1 = total - w0;
        if (w0 <= 0 || w1 <= 0) continue;
        const double m0 = sum0 / w0, m1 = (sum - sum0) / w1;
        const double between = w0 * w1 * (m0 - m1) * (m0 - m1);
        if (between > best) {
            best = between;
            threshold = t;
        }
    }
    ramp.low = std::clamp(threshold, 1, 250);
    ramp.high = std::min(255, ramp.low + std::max(8, ramp.low / 2));
    return ramp;
}

void Renderer3D::Render(const Render3DOptions& options, int size, QImage& out) const {
    size = std::clamp(size, 1, 4096);
    if (out.width() != size || out.height() != size || out.format() != QImage::Format_RGB32) {
        out = QImage(size, size, QImage::Format_RGB32);
    }
    if (!volume_ || sliceCount_ <= 0) {
        out.fill(0xff000000u);
        return;
    }
    const RayCaster caster(*this, options, size);
    const double zoom = std::clamp(options.camera.zoom, 0.05, 50.0);
    if (options.mode == Render3DMode::Surface && !options.halfResolution && options.refine &&
        double(size) * zoom >= 2.0 * kEdge) {
        RenderRefined(caster, size, out);
        return;
    }
    const int step = options.halfResolution ? 2 : 1;
    uchar* bits = out.bits();
    const qsizetype stride = out.bytesPerLine();
    // Tiles of 16 × 16 rays: neighbouring rays read the same cache lines of
    // the volume.
    const int tile = 16 * step;
    ForEachTile((size + tile - 1) / tile, [&](int tr, int tc) {
        for (int r0 = tr * tile; r0 < std::min((tr + 1) * tile, size); r0 += step) {
            const int r1 = std::min(r0 + step, size);
            for (int c0 = tc * tile; c0 < std::min((tc + 1) * tile, size); c0 += step) {
                const std::uint32_t colour = caster
                                                 .Trace<false>(float(c0) + 0.5f * float(step),
                                                               float(r0) + 0.5f * float(step))
                                                 .colour;
                const int c1 = std::min(c0 + step, size);
                for (int r = r0; r < r1; ++r) {
                    auto* line = reinterpret_cast<std::uint32_t*>(bits + r * stride);
                    for (int c = c0; c < c1; ++c) line[c] = colour;
                }
            }
        }
    });
}

namespace {

/// The channel-wise mean, rounded, of the first `n` (2 or 4) colours of
/// `colours` where every channel of them lies within `agree`; else
/// nothing. Pixels of the frame are opaque.
inline std::optional<std::uint32_t> AgreeingMean(__m128i colours, int n, int agree) {
    // Maximum and minimum of each channel over the colours, in lane 0.
    __m128i top = colours, bottom = colours;
    if (n == 4) {
        const __m128i upper = _mm_shuffle_epi32(colours, _MM_SHUFFLE(3, 2, 3, 2));
        top = _mm_max_epu8(colours, upper);
        bottom = _mm_min_epu8(colours, upper);
    }
    const __m128i mx = _mm_max_epu8(top, _mm_srli_si128(top, 4));
    const __m128i mn = _mm_min_epu8(bottom, _mm_srli_si128(bottom, 4));
    // Per channel spread − agree, saturated at 0: zero where they agree.
    const __m128i over =
        _mm_subs_epu8(_mm_subs_epu8(mx, mn), _mm_set1_epi8(static_cast<char>(agree)));
    if ((std::uint32_t(_mm_cvtsi128_si32(over)) & 0x00ffffffu) != 0) return std::nullopt;
    __m128i mean;
    if (n == 2) {
        mean = _mm_avg_epu8(colours, _mm_srli_si128(colours, 4));  // (a + b + 1) / 2
    } else {
        const __m128i zero = _mm_setzero_si128();
        const __m128i w0 = _mm_unpacklo_epi8(colours, zero), w1 = _mm_unpackhi_epi8(colours, zero);
        __m128i sum = _mm_add_epi16(w0, w1);
        sum = _mm_add_epi16(sum, _mm_srli_si128(sum, 8));
        sum = _mm_srli_epi16(_mm_add_epi16(sum, _mm_set1_epi16(2)), 2);  // (sum + 2) / 4
        mean = _mm_packus_epi16(sum, sum);
    }
    return std::uint32_t(_mm_cvtsi128_si32(mean)) | 0xff000000u;
}

}  // namespace

void Renderer3D::RenderRefined(const RayCaster& caster, int size, QImage& out) const {
    uchar* bits = out.bits();
    const qsizetype stride = out.bytesPerLine();
    const auto line = [&](int r) { return reinterpret_cast<std::uint32_t*>(bits + r * stride); };
    const auto trace = [&](int c, int r) {
        line(r)[c] = caster.Trace<false>(float(c) + 0.5f, float(r) + 0.5f).colour;
    };
    // Where pixels are at most half a voxel, neighbouring rays two pixels
    // apart see nearly the same samples. First the rays of the even
    // pixels, then each other pixel: the mean of its traced neighbours
    // where those agree within kAgree in every channel, its own ray where
    // they do not (edges, silhouettes, the cut's faces). The second pass
    // reads only pixels of the first.
    constexpr int kAgree = 10;
    const int tile = 32;
    const auto tiled = [&](const auto& rowOfTile) {
        ForEachTile((size + tile - 1) / tile, [&](int tr, int tc) {
            for (int r = tr * tile; r < std::min((tr + 1) * tile, size); ++r)
                rowOfTile(r, tc * tile, std::min((tc + 1) * tile, size));
        });
    };
    tiled([&](int r, int c0, int c1) {
        if (r % 2 != 0) return;
        for (int c = c0; c < c1; c += 2) trace(c, r);
    });
    tiled([&](int r, int c0, int c1) {
        const bool oddR = r % 2 != 0;
        if (oddR && r + 1 >= size) {
            for (int c = c0; c < c1; ++c) trace(c, r);
            return;
        }
        std::uint32_t* here = line(r);
        const std::uint32_t* above = oddR ? line(r - 1) : here;
        const std::uint32_t* below = oddR ? line(r + 1) : here;
        for (int c = c0 + (oddR ? 0 : 1); c < c1; c += oddR ? 1 : 2) {
            const bool oddC = c % 2 != 0;
            if (oddC && c + 1 >= size) {
                trace(c, r);
                continue;
            }
            __m128i n;
            int k;
            if (!oddR) {
                n = _mm_set_epi32(0, 0, int(here[c + 1]), int(here[c - 1]));
                k = 2;
            } else if (!oddC) {
                n = _mm_set_epi32(0, 0, int(below[c]), int(above[c]));
                k = 2;
            } else {
                n = _mm_set_epi32(int(below[c + 1]), int(below[c - 1]), int(above[c + 1]),
                                  int(above[c - 1]));
                k = 4;
            }
            if (const auto mean = AgreeingMean(n, k, kAgree))
                here[c] = *mean;
            else
                trace(c, r);
        }
    });
}

QImage Renderer3D::Render(const Render3DOptions& options, int size) const {
    QImage out;
    Render(options, size, out);
    return out;
}

std::optional<Voxel> Renderer3D::Pick(const Render3DOptions& options, int size, int px,
                                      int py) const {
    if (!volume_ || sliceCount_ <= 0 || size < 1 || px < 0 || py < 0 || px >= size || py >= size)
        return std::nullopt;
    const RayCaster caster(*this, options, size);
    return caster.Trace<true>(float(px) + 0.5f, float(py) + 0.5f).voxel;
}

}  // namespace zx
