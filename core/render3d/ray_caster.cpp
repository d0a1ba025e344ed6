#include "core/render3d/ray_caster.h"

#include <emmintrin.h>
#include <xmmintrin.h>

#include <algorithm>
#include <cmath>

#include "base/two_halves.h"
#include "core/volume/volume.h"

namespace zx {

namespace {

constexpr float kFar = 1e30f;
constexpr float kOpaque = 0.98f;  // early ray termination
constexpr int kB = Renderer3D::kBrick;
constexpr int kNB = Renderer3D::kBricks;
constexpr int kC = Renderer3D::kCell;
constexpr int kNC = Renderer3D::kCells;
static_assert(kB == 8 && kC == 4, "the march divides by shifts");

/// Per axis (x, y, z) and coordinate v: the axis's term of the blocked
/// index, and the steps in the blocked copy from voxel v to v + 1 and to
/// v − 1 along the axis (within a block of 4 × 4 × 4, or into the next
/// block; 0 beyond the grid's faces). Looked up instead of computed, as a
/// sample needs three of each.
struct BlockedTables {
    std::uint32_t offset[3][256];
    std::uint32_t up[3][256];
    std::uint32_t down[3][256];
    constexpr std::uint32_t Index(int x, int y, int z) const {
        return offset[0][x] + offset[2][z] + offset[1][y];
    }
};
constexpr BlockedTables MakeBlockedTables() {
    BlockedTables t{};
    constexpr std::size_t (*blocked[3])(int) = {Renderer3D::BlockedX, Renderer3D::BlockedY,
                                                Renderer3D::BlockedZ};
    for (int a = 0; a < 3; ++a) {
        for (int v = 0; v < 256; ++v) {
            t.offset[a][v] = std::uint32_t(blocked[a](v));
            t.up[a][v] = v < 255 ? std::uint32_t(blocked[a](v + 1) - blocked[a](v)) : 0;
            t.down[a][v] = v > 0 ? std::uint32_t(blocked[a](v) - blocked[a](v - 1)) : 0;
        }
    }
    return t;
}
constexpr BlockedTables kBlocked = MakeBlockedTables();

/// Sine and cosine of an angle in degrees, exact at multiples of 90°, so
/// that views along an axis sample the voxel centres exactly.
void SinCos(double deg, float& s, float& c) {
    double r = std::fmod(deg, 360.0);
    if (r < 0) r += 360.0;
    if (r == 0.0) {
        s = 0;
        c = 1;
        return;
    }
    if (r == 90.0) {
        s = 1;
        c = 0;
        return;
    }
    if (r == 180.0) {
        s = 0;
        c = -1;
        return;
    }
    if (r == 270.0) {
        s = -1;
        c = 0;
        return;
    }
    const double rad = r * 3.14159265358979323846 / 180.0;
    s = float(std::sin(rad));
    c = float(std::cos(rad));
}

/// The least and the greatest of lanes 0 to 3.
inline float Least4(__m128 v) {
    v = _mm_min_ps(v, _mm_movehl_ps(v, v));
    return _mm_cvtss_f32(_mm_min_ss(v, _mm_shuffle_ps(v, v, 1)));
}
inline float Greatest4(__m128 v) {
    v = _mm_max_ps(v, _mm_movehl_ps(v, v));
    return _mm_cvtss_f32(_mm_max_ss(v, _mm_shuffle_ps(v, v, 1)));
}

/// Lanes 0, 1 and 2 of `v` as 16-bit words, weighted by (wx, wy, wz) and
/// summed: the index of a grid cell from its three coordinates.
inline int GridIndex(__m128i v, short wx, short wy, short wz) {
    const __m128i words = _mm_packs_epi32(v, v);  // x, y, z, 0, x, y, z, 0
    const __m128i sums = _mm_madd_epi16(words, _mm_setr_epi16(wx, wy, wz, 0, 0, 0, 0, 0));
    return _mm_cvtsi128_si32(_mm_add_epi32(sums, _mm_shuffle_epi32(sums, 1)));
}

/// The least of lanes 0, 1 and 2.
inline float Least3(__m128 v) {
    return _mm_cvtss_f32(
        _mm_min_ss(_mm_min_ss(v, _mm_shuffle_ps(v, v, 1)), _mm_shuffle_ps(v, v, 2)));
}

/// The part [t0, t1) of the ray inside the box [lo, hi); `exitAxis`
/// receives the axis whose face the ray leaves by (the first of them where
/// it leaves by an edge). The three axes at once, lane by lane the same
/// operations as one axis at a time; lane 3, where d is 0, limits nothing.
template <class Ray>
bool Slabs(const Ray& r, const float lo[4], const float hi[4], float& t0, float& t1,
           int* exitAxis = nullptr) {
    const __m128 o = _mm_load_ps(r.o), inv = _mm_load_ps(r.inv);
    const __m128 l = _mm_load_ps(lo), h = _mm_load_ps(hi);
    // An axis the ray runs parallel to limits nothing, but the ray misses
    // the box when it runs outside the box's planes of that axis.
    const __m128 parallel = _mm_cmpeq_ps(_mm_load_ps(r.d), _mm_setzero_ps());
    const __m128 outside = _mm_or_ps(_mm_cmplt_ps(o, l), _mm_cmpge_ps(o, h));
    if (_mm_movemask_ps(_mm_and_ps(parallel, outside)) & 7) return false;
    const __m128 ta = _mm_mul_ps(_mm_sub_ps(l, o), inv), tb = _mm_mul_ps(_mm_sub_ps(h, o), inv);
    const __m128 far = _mm_set1_ps(kFar);
    const auto unlessParallel = [&](__m128 t, __m128 instead) {
        return _mm_or_ps(_mm_and_ps(parallel, instead), _mm_andnot_ps(parallel, t));
    };
    const __m128 enter = unlessParallel(_mm_min_ps(ta, tb), _mm_sub_ps(_mm_setzero_ps(), far));
    const __m128 leave = unlessParallel(_mm_max_ps(ta, tb), far);
    t0 = Greatest4(enter);
    t1 = Least4(leave);
    if (exitAxis) {
        const int at = _mm_movemask_ps(_mm_and_ps(_mm_cmpeq_ps(leave, _mm_set1_ps(t1)),
                                                  _mm_cmplt_ps(leave, far))) &
                       7;
        *exitAxis = at ? __builtin_ctz(unsigned(at)) : -1;
    }
    return t0 < t1;
}

/// Where the ray leaves block (bx, by, bz) of a grid of `edge` voxels;
/// `off` is the column of plane 0. Along an axis the ray runs parallel to,
/// inv is +kFar and the far face lies ahead: that axis never limits.
template <class Ray>
inline float BlockExit(const Ray& r, int bx, int by, int bz, int edge, int off) {
    const float fx = float((bx + (r.d[0] >= 0.0f)) * edge + off);
    const float fy = float((by + (r.d[1] >= 0.0f)) * edge);
    const float fz = float((bz + (r.d[2] >= 0.0f)) * edge);
    return std::min(std::min((fx - r.o[0]) * r.inv[0], (fy - r.o[1]) * r.inv[1]),
                    (fz - r.o[2]) * r.inv[2]);
}

/// The first sample position t = k + 0.5 at or after `t` (t > −2^31).
inline float FirstSample(float t) {
    const float u = t - 0.5f;
    if (!(u < 1e9f)) return t;  // beyond every box
    int k = int(u);
    k += float(k) < u;
    return float(k) + 0.5f;
}

/// Gradient by central differences at voxel (x, y, z) of the blocked copy
/// `vol`, whose x planes from `count` on are empty; at the grid's faces the
/// voxel itself stands in for the missing neighbour. The neighbours are
/// found from the voxel by the steps between blocked voxels.
inline void VoxelGradient(const std::uint8_t* vol, int x, int y, int z, int count, float g[3]) {
    const auto& t = kBlocked;
    const std::uint8_t* p = vol + t.Index(x, y, z);
    const std::size_t xp = x + 1 < count ? t.up[0][x] : 0;
    g[0] = float(p[xp]) - float(*(p - t.down[0][x]));
    g[1] = float(p[t.up[1][y]]) - float(*(p - t.down[1][y]));
    g[2] = float(p[t.up[2][z]]) - float(*(p - t.down[2][z]));
}

/// Chebyshev distance transform of the empty bricks: two chamfer passes
/// over the 26 neighbours, each pass with the 13 already visited.
void ComputeEmptyDistances(const std::uint8_t* brickMax, std::uint8_t low,
                           std::vector<std::uint8_t>& d) {
    d.resize(std::size_t(kNB) * kNB * kNB);
    for (std::size_t i = 0; i < d.size(); ++i) d[i] = brickMax[i] <= low ? 255 : 0;
    const auto pass = [&](int s) {
        const int first = s > 0 ? 0 : kNB - 1, end = s > 0 ? kNB : -1;
        for (int bx = first; bx != end; bx += s) {
            for (int bz = first; bz != end; bz += s) {
                for (int by = first; by != end; by += s) {
                    std::uint8_t& here = d[std::size_t((bx * kNB + bz) * kNB + by)];
                    if (here == 0) continue;
                    int m = here;
                    // Neighbours visited before this brick in the pass.
                    for (int dx = -1; dx <= 0; ++dx) {
                        for (int dz = -1; dz <= (dx < 0 ? 1 : 0); ++dz) {
                            for (int dy = -1; dy <= (dx < 0 || dz < 0 ? 1 : -1); ++dy) {
                                const int x = bx + s * dx, z = bz + s * dz, y = by + s * dy;
                                if (x < 0 || x >= kNB || z < 0 || z >= kNB || y < 0 || y >= kNB)
                                    continue;
                                m = std::min(m, d[std::size_t((x * kNB + z) * kNB + y)] + 1);
                            }
                        }
                    }
                    here = std::uint8_t(m);
                }
            }
        }
    };
    pass(1);
    pass(-1);
}

/// Per voxel (x, y, z) with x in [x0, x1), x0 and x1 multiples of 4 (the
/// words of a block of the blocked copy), the bit of Renderer3D::SkipMaps:
/// the maximum over the four rows (x, z), (x, z + 1), (x + 1, z),
/// (x + 1, z + 1), then over each voxel and the next in y, compared with
/// `low` 16 voxels at a time. The last plane, row and column have no next
/// voxel; no sample's cell starts there.
void ComputeCellBits(const std::uint8_t* volume, int count, std::uint8_t low, int x0, int x1,
                     std::uint64_t* bits) {
    const __m128i floor = _mm_set1_epi8(static_cast<char>(low));
    alignas(16) std::uint8_t m[kEdge + 16];
    for (int x = x0; x < std::min(x1, count - 1); ++x) {
        for (int z = 0; z + 1 < kEdge; ++z) {
            const std::uint8_t* rows[4] = {
                volume + VoxelIndex(x, 0, z), volume + VoxelIndex(x, 0, z + 1),
                volume + VoxelIndex(x + 1, 0, z), volume + VoxelIndex(x + 1, 0, z + 1)};
            for (int i = 0; i < kEdge; i += 16) {
                __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[0] + i));
                for (int k = 1; k < 4; ++k)
                    v = _mm_max_epu8(
                        v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k] + i)));
                _mm_store_si128(reinterpret_cast<__m128i*>(m + i), v);
            }
            m[kEdge] = m[kEdge - 1];
            const int shift = (x & 3) * 16 + (z & 3) * 4;
            std::uint64_t* word = bits + std::size_t(x >> 2) * 4096 + std::size_t(z >> 2) * 64;
            for (int i = 0; i < kEdge; i += 16) {
                const __m128i v =
                    _mm_max_epu8(_mm_load_si128(reinterpret_cast<const __m128i*>(m + i)),
                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(m + i + 1)));
                const __m128i none = _mm_cmpeq_epi8(_mm_subs_epu8(v, floor), _mm_setzero_si128());
                const unsigned above = ~unsigned(_mm_movemask_epi8(none)) & 0xffffu;
                // Four groups of four voxels in y, one per block.
                for (int g = 0; g < 4; ++g)
                    word[i / 4 + g] |= std::uint64_t((above >> (4 * g)) & 15u) << shift;
            }
        }
    }
}

}  // namespace

std::shared_ptr<const Renderer3D::SkipMaps> Renderer3D::Skipping(std::uint8_t low) const {
    const std::lock_guard<std::mutex> lock(skipLock_);
    if (!skipMaps_ || skipLow_ != low) {
        auto maps = std::make_shared<SkipMaps>();
        ComputeEmptyDistances(brickMax_.data(), low, maps->emptyDistance);
        maps->cellBits.assign(kVolumeBytes / 64, 0);
        if (volume_) {
            // Halves of whole blocks in x: no word is written by both.
            InTwoHalves(kEdge / 4, [&](int b0, int b1) {
                ComputeCellBits(volume_, sliceCount_, low, 4 * b0, 4 * b1, maps->cellBits.data());
            });
        }
        skipMaps_ = std::move(maps);
        skipLow_ = low;
    }
    return skipMaps_;
}

RayCaster::RayCaster(const Renderer3D& r, const Render3DOptions& o, int size)
    : r_(r), opt_(o), size_(size) {
    float sa, ca, se, ce;
    SinCos(o.camera.azimuth, sa, ca);
    SinCos(o.camera.elevation, se, ce);
    const float fwdAz[3] = {-sa, ca, 0};
    right_[0] = ca;
    right_[1] = sa;
    right_[2] = 0;
    for (int a = 0; a < 3; ++a) {
        const float up = a == 2 ? 1.0f : 0.0f;  // +z points inferior: "down" on screen
        fwd_[a] = ce * fwdAz[a] + se * up;
        down_[a] = ce * up - se * fwdAz[a];
    }
    for (int a = 0; a < 3; ++a) inv_[a] = fwd_[a] != 0.0f ? 1.0f / fwd_[a] : kFar;
    right_[3] = down_[3] = fwd_[3] = 0.0f;
    inv_[3] = kFar;
    const float off = float(r.sliceOffset_);
    const float count = float(r.sliceCount_);
    boxLo_[0] = off;
    boxHi_[0] = off + count;
    boxLo_[1] = boxLo_[2] = 0;
    boxHi_[1] = boxHi_[2] = float(kEdge);
    if (o.cut) {
        cutOn_ = true;
        const int c[3] = {std::clamp(o.cut->x, 0, std::max(0, r.sliceCount_ - 1)),
                          std::clamp(o.cut->y, 0, kEdge - 1), std::clamp(o.cut->z, 0, kEdge - 1)};
        for (int a = 0; a < 3; ++a) {
            cutVoxel_[a] = c[a];
            const float plane = float(c[a] + (a == 0 ? r.sliceOffset_ : 0));
            // The viewer's side of the plane; along an axis looked along
            // exactly (component 0), the lower side.
            if (fwd_[a] >= 0.0f) {
                cutLo_[a] = boxLo_[a];
                cutHi_[a] = plane;
            } else {
                cutLo_[a] = plane + 1.0f;
                cutHi_[a] = boxHi_[a];
            }
        }
    }
    const int low = std::clamp(o.ramp.low, 0, 255);
    const int high = std::max(o.ramp.high, low);
    for (int v = 0; v < 256; ++v) {
        alpha_[v] = v <= low ? 0.0f : v >= high ? 1.0f : float(v - low) / float(high - low);
    }
    skipBelow_ = std::uint8_t(low);
    firstVisible_ = float(low + 1);
    if (o.mode == Render3DMode::Surface) {
        skip_ = r.Skipping(skipBelow_);
        cellBits_ = skip_->cellBits.data();
    }
}

RayCaster::Ray RayCaster::MakeRay(float px, float py) const {
    const float zoom = float(std::clamp(opt_.camera.zoom, 0.05, 50.0));
    const float scale = float(kEdge) / (float(size_) * zoom);
    const float half = 0.5f * float(kEdge);
    const float u = px * scale - half / zoom;
    const float v = py * scale - half / zoom;
    Ray ray;
    // Lane by lane: half + u · right + v · down − kEdge · fwd; lane 3 is 0.
    const __m128 fwd = _mm_load_ps(fwd_);
    const __m128 o = _mm_sub_ps(
        _mm_add_ps(_mm_add_ps(_mm_set1_ps(half), _mm_mul_ps(_mm_set1_ps(u), _mm_load_ps(right_))),
                   _mm_mul_ps(_mm_set1_ps(v), _mm_load_ps(down_))),
        _mm_mul_ps(_mm_set1_ps(float(kEdge)), fwd));
    _mm_store_ps(ray.o, _mm_and_ps(o, _mm_castsi128_ps(_mm_setr_epi32(-1, -1, -1, 0))));
    _mm_store_ps(ray.d, fwd);
    _mm_store_ps(ray.inv, _mm_load_ps(inv_));
    return ray;
}

template <bool pick>
RayCaster::Hit RayCaster::Trace(float px, float py) const {
    const Ray ray = MakeRay(px, py);
    return opt_.mode == Render3DMode::Mip ? Mip<pick>(ray) : Surface<pick>(ray);
}
template RayCaster::Hit RayCaster::Trace<false>(float, float) const;
template RayCaster::Hit RayCaster::Trace<true>(float, float) const;

inline bool RayCaster::SampleAt(__m128 v, __m128 lastCell, Sample& s) const {
    // Trilinear sample in the cell of voxel centres around the point;
    // within half a voxel of the box's faces, the value at the face.
    const __m128 q = _mm_sub_ps(v, _mm_set1_ps(0.5f));
    // The cell: truncated, at most the last cell (the smaller before or
    // after truncating, as the limits are whole).
    const __m128i i = _mm_cvttps_epi32(_mm_min_ps(q, lastCell));
    s.ix = _mm_cvtsi128_si32(i);
    s.iy = _mm_cvtsi128_si32(_mm_shuffle_epi32(i, 1));
    s.iz = _mm_cvtsi128_si32(_mm_shuffle_epi32(i, 2));
    const auto& t = kBlocked;
    const std::uint32_t first = t.Index(s.ix, s.iy, s.iz);
    // A sample lies between the least and the greatest of its cell's
    // voxels (each step of the interpolation between its two ends): none
    // above the ramp's low end, nothing to see.
    if (!((cellBits_[first >> 6] >> (first & 63)) & 1)) return false;
    const __m128 f = _mm_min_ps(_mm_max_ps(_mm_sub_ps(q, _mm_cvtepi32_ps(i)), _mm_setzero_ps()),
                                _mm_set1_ps(1.0f));
    s.fx = _mm_cvtss_f32(f);
    s.fy = _mm_cvtss_f32(_mm_shuffle_ps(f, f, 1));
    s.fz = _mm_cvtss_f32(_mm_shuffle_ps(f, f, 2));
    // The cell's eight voxels from its first.
    const std::uint8_t* p = r_.blocked_.data() + first;
    const std::size_t dx = t.up[0][s.ix], dz = t.up[2][s.iz], dy = t.up[1][s.iy];
    // Lanes (x, z) = (0, 0), (0, 1), (1, 0), (1, 1); first along y, then
    // z, then x, in the same order of operations as one value at a time.
    const __m128 lo = _mm_cvtepi32_ps(_mm_set_epi32(p[dx + dz], p[dx], p[dz], p[0]));
    const __m128 hi =
        _mm_cvtepi32_ps(_mm_set_epi32(p[dx + dz + dy], p[dx + dy], p[dz + dy], p[dy]));
    const __m128 a = _mm_add_ps(lo, _mm_mul_ps(_mm_shuffle_ps(f, f, 0x55), _mm_sub_ps(hi, lo)));
    const __m128 z0 = _mm_shuffle_ps(a, a, _MM_SHUFFLE(2, 0, 2, 0));
    const __m128 z1 = _mm_shuffle_ps(a, a, _MM_SHUFFLE(3, 1, 3, 1));
    const __m128 b = _mm_add_ps(z0, _mm_mul_ps(_mm_shuffle_ps(f, f, 0xaa), _mm_sub_ps(z1, z0)));
    const float b0 = _mm_cvtss_f32(b), b1 = _mm_cvtss_f32(_mm_shuffle_ps(b, b, 1));
    s.value = b0 + s.fx * (b1 - b0);
    return true;
}

template <bool pick>
bool RayCaster::March(const Ray& ray, float ta, float tb, float acc[4], Hit& hit) const {
    const std::uint8_t* empty = skip_->emptyDistance.data();
    const std::uint8_t* cells = r_.cellMax_.data();
    const int off = r_.sliceOffset_;
    // The point of the ray as (x, y, z, 0), x counted from the first plane
    // with voxels: lane by lane the same operations as one coordinate at a
    // time.
    const __m128 origin = _mm_load_ps(ray.o), dir = _mm_load_ps(ray.d), inv = _mm_load_ps(ray.inv);
    const __m128 shift = _mm_setr_ps(float(off), 0.0f, 0.0f, 0.0f);
    const __m128i planeShift = _mm_setr_epi32(off, 0, 0, 0);
    const __m128 last = _mm_set1_ps(float(kEdge - 1));
    const __m128 lastCell =
        _mm_setr_ps(float(r_.sliceCount_ - 2), float(kEdge - 2), float(kEdge - 2), 0.0f);
    // Per axis, whether the ray runs towards higher coordinates (or along
    // the axis's planes): the face it leaves a block by is the far one.
    const __m128i ahead = _mm_castps_si128(_mm_cmpge_ps(dir, _mm_setzero_ps()));
    // Where the ray leaves the region whose far planes are `planes` (per
    // axis, x counted from the first plane with voxels): at the nearest of
    // the three.
    const auto exitAt = [&](__m128i planes) {
        const __m128i at = _mm_add_epi32(planes, planeShift);
        return Least3(_mm_mul_ps(_mm_sub_ps(_mm_cvtepi32_ps(at), origin), inv));
    };
    for (float t = FirstSample(ta); t < tb;) {
        const __m128 v = _mm_sub_ps(_mm_add_ps(origin, _mm_mul_ps(_mm_set1_ps(t), dir)), shift);
        // The box's entry and exit are computed in floats: a sample on its
        // far face may lie a hair beyond the last voxel, so the cell is
        // taken inside the grid.
        const __m128i i = _mm_cvttps_epi32(_mm_min_ps(_mm_max_ps(v, _mm_setzero_ps()), last));
        const __m128i c = _mm_srai_epi32(i, 2);  // kC = 4
        if (cells[GridIndex(c, kNC * kNC, 1, kNC)] <= skipBelow_) {
            // An empty cell; its brick may be empty too (not so where
            // the cell is not: a brick's maximum is its cells' maximum).
            const __m128i b = _mm_srai_epi32(i, 3);  // kB = 8
            float exit;
            if (const int e = empty[GridIndex(b, kNB * kNB, 1, kNB)]) {
                // Out of the cube of bricks around this one that are all
                // empty: bricks b + e ahead, b − e + 1 behind.
                const __m128i toward = _mm_sub_epi32(
                    _mm_and_si128(ahead, _mm_set1_epi32(2 * e - 1)), _mm_set1_epi32(e - 1));
                exit = exitAt(_mm_slli_epi32(_mm_add_epi32(b, toward), 3));
            } else {
                exit = exitAt(_mm_slli_epi32(_mm_sub_epi32(c, ahead), 2));
            }
            t = std::max(t + 1.0f, FirstSample(exit));
            continue;
        }
        Sample s;
        if (SampleAt(v, lastCell, s)) {
            // Samples rounding to at most the ramp's low end are
            // transparent: a compare instead of a table lookup ahead of
            // the branch.
            const float rounded = s.value + 0.5f;
            if (rounded >= firstVisible_ && Shade<pick>(ray, s, alpha_[int(rounded)], acc, hit))
                return true;
        }
        t += 1.0f;
    }
    return false;
}

template <bool pick>
bool RayCaster::Shade(const Ray& ray, const Sample& s, float alpha, float acc[4], Hit& hit) const {
    float g[3];
    VoxelGradient(r_.blocked_.data(), s.ix + (s.fx >= 0.5f), s.iy + (s.fy >= 0.5f),
                  s.iz + (s.fz >= 0.5f), r_.sliceCount_, g);
    const float g2 = g[0] * g[0] + g[1] * g[1] + g[2] * g[2];
    // Headlight: the light comes from the viewer.
    const float diffuse =
        g2 > 0.0f ? std::fabs(g[0] * ray.d[0] + g[1] * ray.d[1] + g[2] * ray.d[2]) / std::sqrt(g2)
                  : 1.0f;
    const float d2 = diffuse * diffuse, d4 = d2 * d2, d8 = d4 * d4;
    const float shade = 0.18f + 0.82f * diffuse;
    const float highlight = 60.0f * d8 * d8;
    const float w = (1.0f - acc[3]) * alpha;
    acc[0] += w * (238.0f * shade + highlight);
    acc[1] += w * (206.0f * shade + highlight);
    acc[2] += w * (178.0f * shade + highlight);
    acc[3] += w;
    if constexpr (pick) {
        if (!hit.voxel && acc[3] >= 0.5f) {
            // The nearest voxel of the cell that is itself visible.
            float best = 1e9f;
            for (int k = 0; k < 8; ++k) {
                const int dx = k & 1, dy = (k >> 1) & 1, dz = k >> 2;
                const int x = s.ix + dx, y = s.iy + dy, z = s.iz + dz;
                const float ex = s.fx - float(dx), ey = s.fy - float(dy), ez = s.fz - float(dz);
                const float d = ex * ex + ey * ey + ez * ez;
                if (alpha_[r_.volume_[VoxelIndex(x, y, z)]] > 0.0f && d < best) {
                    best = d;
                    hit.voxel = Voxel{x, y, z};
                }
            }
        }
    }
    return acc[3] >= kOpaque;
}

template <bool pick>
RayCaster::Hit RayCaster::Surface(const Ray& ray) const {
    Hit hit;
    float acc[4] = {0, 0, 0, 0};
    float b0, b1;
    if (r_.sliceCount_ >= 2 && Slabs(ray, boxLo_, boxHi_, b0, b1)) {
        const float s0 = b0, s1 = b1;
        float c0 = 0, c1 = 0;
        int axis = -1;
        const bool cut = cutOn_ && Slabs(ray, cutLo_, cutHi_, c0, c1, &axis) && c1 > b0;
        if (!cut) {
            March<pick>(ray, s0, s1, acc, hit);
        } else if (!March<pick>(ray, s0, std::min(std::max(c0, b0), s1), acc, hit) && c1 < b1 &&
                   axis >= 0) {
            // The cut face where the ray leaves the removed octant: the
            // section plane's voxel, unshaded.
            int v[3];
            for (int a = 0; a < 3; ++a) {
                const float p = ray.o[a] + c1 * ray.d[a] - float(a == 0 ? r_.sliceOffset_ : 0);
                v[a] = std::clamp(int(std::floor(p)), 0, (a == 0 ? r_.sliceCount_ : kEdge) - 1);
            }
            v[axis] = cutVoxel_[axis];
            const std::size_t index = VoxelIndex(v[0], v[1], v[2]);
            const std::uint8_t grey = r_.volume_[index];
            if (alpha_[grey] > 0.0f) {
                float rgb[3] = {float(grey), float(grey), float(grey)};
                if (opt_.labels && opt_.labelColours) {
                    const std::uint32_t col = opt_.labelColours[opt_.labels[index]];
                    const float a = float(col >> 24) / 255.0f;
                    for (int k = 0; k < 3; ++k) {
                        const float ck = float((col >> (16 - 8 * k)) & 0xffu);
                        rgb[k] = rgb[k] + a * (ck - rgb[k]);
                    }
                }
                const float w = 1.0f - acc[3];
                for (int k = 0; k < 3; ++k) acc[k] += w * rgb[k];
                acc[3] = 1.0f;
                if constexpr (pick) {
                    if (!hit.voxel) hit.voxel = Voxel{v[0], v[1], v[2]};
                }
            } else {
                March<pick>(ray, std::max(c1, s0), s1, acc, hit);
            }
        }
    }
    const auto channel = [](float f) { return std::uint32_t(std::clamp(f + 0.5f, 0.0f, 255.0f)); };
    hit.colour = 0xff000000u | channel(acc[0]) << 16 | channel(acc[1]) << 8 | channel(acc[2]);
    return hit;
}

template <bool pick>
RayCaster::Hit RayCaster::Mip(const Ray& ray) const {
    Hit hit;
    float b0, b1;
    if (r_.sliceCount_ < 1 || !Slabs(ray, boxLo_, boxHi_, b0, b1)) return hit;
    // Segments of the ray outside the removed octant.
    float seg[2][2] = {{b0, b1}, {b1, b1}};
    float c0, c1;
    if (cutOn_ && Slabs(ray, cutLo_, cutHi_, c0, c1)) {
        seg[0][1] = std::max(c0, b0);
        seg[1][0] = std::min(c1, b1);
    }
    const std::uint8_t* blocked = r_.blocked_.data();
    const std::uint8_t* bricks = r_.brickRaw_.data();
    const int off = r_.sliceOffset_;
    const int lastX = r_.sliceCount_ - 1;
    int best = 0;
    for (const auto& s : seg) {
        for (float t = FirstSample(s[0]); t < s[1] && best < 255;) {
            const int x = std::clamp(int(ray.o[0] + t * ray.d[0]) - off, 0, lastX);
            const int y = std::clamp(int(ray.o[1] + t * ray.d[1]), 0, kEdge - 1);
            const int z = std::clamp(int(ray.o[2] + t * ray.d[2]), 0, kEdge - 1);
            const int bx = x >> 3, by = y >> 3, bz = z >> 3;
            if (bricks[(bx * kNB + bz) * kNB + by] <= best) {
                t = std::max(t + 1.0f, FirstSample(BlockExit(ray, bx, by, bz, kB, off)));
                continue;
            }
            const int v = blocked[Renderer3D::BlockedX(x) + Renderer3D::BlockedZ(z) +
                                  Renderer3D::BlockedY(y)];
            if (v > best) {
                best = v;
                if constexpr (pick) hit.voxel = Voxel{x, y, z};
            }
            t += 1.0f;
        }
    }
    hit.colour = 0xff000000u | std::uint32_t(best) * 0x010101u;
    return hit;
}

}  // namespace zx
