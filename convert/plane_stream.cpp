#include "convert/plane_stream.h"

#include <sys/mman.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <type_traits>

#include "base/two_halves.h"
#include "base/volume_geometry.h"

namespace zx {
namespace {

constexpr std::size_t kHuge = std::size_t{2} << 20;  // a large page
// A plane index needs a few bytes of bookkeeping: more planes than this are
// no image this viewer can show.
constexpr std::int64_t kMaxPlanes = std::int64_t{1} << 22;

template <typename T>
T Load(const T* p) {
    T v;
    std::memcpy(&v, p, sizeof(T));
    return v;
}

}  // namespace

PlaneStream::PlaneStream(const std::array<std::int64_t, 3>& dims, const Matrix3& voxelToWorld,
                         const std::string& path, std::optional<Window> window, std::uint8_t* out)
    : dims_(dims), path_(path), window_(window), out_(out) {
    if (dims[2] > kMaxPlanes)
        throw ConvertError(path + ": Datei zu groß (mehr als 4194304 Schichten)");
    grid_ = PlanViewerGrid(dims, voxelToWorld, path);
    for (int a = 0; a < 3; ++a) {
        if (grid_.arrayAxis[a] == 0) u_ = a;
        if (grid_.arrayAxis[a] == 1) v_ = a;
        if (grid_.arrayAxis[a] == 2) s_ = a;
    }
    auto inPlane = [&](int a, std::int64_t stride) {
        Axis axis;
        const std::int64_t last = dims[grid_.arrayAxis[a]] - 1;
        for (double f : grid_.index[a]) {
            const double i0 = std::floor(f);
            const auto lower = static_cast<std::int64_t>(i0);
            axis.first.push_back(lower * stride);
            axis.second.push_back(std::min(lower + 1, last) * stride);
            axis.weight.push_back(f - i0);
        }
        return axis;
    };
    axisU_ = inPlane(u_, 1);
    axisV_ = inPlane(v_, dims[0]);
    if (!axisU_.first.empty()) {
        uFrom_ = *std::min_element(axisU_.first.begin(), axisU_.first.end());
        uTo_ = *std::max_element(axisU_.second.begin(), axisU_.second.end()) + 1;
    }
    const std::size_t planes = static_cast<std::size_t>(dims[2]);
    ready_.assign(planes, 0);
    released_.assign(planes, 0);
    busy_.assign(planes, 0);
    used_.assign(planes, 0);
    for (std::size_t o = 0; o < grid_.index[s_].size(); ++o) {
        const double f = grid_.index[s_][o];
        const double i0 = std::floor(f);
        lower_.push_back(static_cast<std::int64_t>(i0));
        sWeight_.push_back(f - i0);
        used_[std::size_t(lower_.back())] = 1;
        if (sWeight_.back() > 0) used_[std::size_t(lower_.back()) + 1] = 1;
    }
    holder_.fill(-1);
    if (!out_) {
        own_.assign(kVolumeBytes, 0);
        out_ = own_.data();
    }
    if (window_) {
        gain_ = window_->high > window_->low ? 255.0 / (window_->high - window_->low) : 0.0;
    } else {
        // Every voxel is written once, so the grid is not cleared first; in
        // 2 MiB pages where the system offers them (far fewer page faults).
        const std::size_t bytes = std::size_t(grid_.count[0]) * std::size_t(grid_.count[1]) *
                                  std::size_t(grid_.count[2]) * sizeof(float);
        void* p = std::aligned_alloc(kHuge, (bytes + kHuge - 1) / kHuge * kHuge);
        if (!p) throw std::bad_alloc();
        ::madvise(p, bytes, MADV_HUGEPAGE);
        values_.reset(static_cast<float*>(p));
        windowSamples_ = std::make_unique<WindowSamples>(
            std::uint64_t(dims[0]) * std::uint64_t(dims[1]) * std::uint64_t(dims[2]));
    }
}

PlaneStream::~PlaneStream() = default;

void PlaneStream::FreeValues::operator()(float* p) const { std::free(p); }

void PlaneStream::Abort() {
    std::lock_guard<std::mutex> lock(mutex_);
    aborted_ = true;
    changed_.notify_all();
}

template <typename T>
void PlaneStream::Add(std::int64_t k, const T* samples, const Scaling& scaling) {
    const std::uint64_t plane = std::uint64_t(dims_[0]) * std::uint64_t(dims_[1]);
    if (windowSamples_) windowSamples_->Add(std::uint64_t(k) * plane, samples, plane, scaling);
    int slot = -1;
    if (used_[std::size_t(k)]) {
        slot = int(k % kSlots);
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] {
                return aborted_ ||
                       ((k < kSlots || released_[std::size_t(k - kSlots)]) && holder_[slot] < 0);
            });
            if (aborted_) throw ConvertError(path_ + ": abgebrochen");
            holder_[slot] = k;
        }
        const std::size_t nu = axisU_.weight.size(), nv = axisV_.weight.size();
        std::vector<float>& r = slots_[std::size_t(slot)];
        r.resize(nu * nv);
        // Integer samples are interpolated as stored and scaled once: the
        // scaling is linear, and finite for every stored value here.
        const bool linear =
            std::is_integral_v<T> && std::isfinite(scaling.slope) && std::isfinite(scaling.inter) &&
            std::isfinite(std::fabs(scaling.slope) * 4294967296.0 + std::fabs(scaling.inter));
        if (linear) {
            // Each output row blends its two image rows first, over the
            // columns it reads, in one contiguous (vectorised) pass; the
            // columns are then picked from that blend. Weights of 0 give the
            // samples themselves.
            std::vector<double>& blend = blends_[std::size_t(slot)];
            blend.resize(std::size_t(dims_[0]));
            const std::int64_t from = uFrom_, to = uTo_;
            for (std::size_t b = 0; b < nv; ++b) {
                const T* row0 = samples + axisV_.first[b];
                const T* row1 = samples + axisV_.second[b];
                const double wv = axisV_.weight[b];
                double* m = blend.data();
                for (std::int64_t x = from; x < to; ++x) {
                    const double x0 = double(Load(row0 + x)), x1 = double(Load(row1 + x));
                    m[x] = x0 + (x1 - x0) * wv;
                }
                // Finite by the test above: no check per value.
                float* out = r.data() + b * nu;
                for (std::size_t a = 0; a < nu; ++a) {
                    const double p = m[axisU_.first[a]], q = m[axisU_.second[a]];
                    out[a] =
                        float((p + (q - p) * axisU_.weight[a]) * scaling.slope + scaling.inter);
                }
            }
        } else {
            auto value = [&](std::int64_t at) {
                return scaling.Apply(static_cast<double>(Load(samples + at)));
            };
            for (std::size_t b = 0; b < nv; ++b) {
                const std::int64_t v0 = axisV_.first[b], v1 = axisV_.second[b];
                const double wv = axisV_.weight[b];
                float* row = r.data() + b * nu;
                for (std::size_t a = 0; a < nu; ++a) {
                    const std::int64_t u0 = axisU_.first[a], u1 = axisU_.second[a];
                    const double wu = axisU_.weight[a];
                    auto alongU = [&](std::int64_t base) {
                        const double p = value(base + u0);
                        return wu == 0 ? p : p + (value(base + u1) - p) * wu;
                    };
                    const double p0 = alongU(v0);
                    row[a] = float(wv == 0 ? p0 : p0 + (alongU(v1) - p0) * wv);
                }
            }
        }
    }
    Ready(k, slot);
}

void PlaneStream::Ready(std::int64_t k, int slot) {
    // The pairs of planes this one completes are chosen under the lock and
    // written outside it: the writes fault in fresh pages of the output,
    // which can take long, and the other thread goes on decoding
    // meanwhile. The planes they read stay in their slots (busy_) until
    // the writes are done.
    struct Pair {
        std::int64_t lower, upper;
        const float *a, *b;
    };
    Pair pairs[3];
    int n = 0;
    const auto slotOf = [&](std::int64_t j) -> const float* {
        return used_[std::size_t(j)] ? slots_[std::size_t(HolderSlot(j))].data() : nullptr;
    };
    const auto add = [&](std::int64_t lower, std::int64_t upper) {
        pairs[n++] = {lower, upper, slotOf(lower), slotOf(upper)};
        ++busy_[std::size_t(lower)];
        ++busy_[std::size_t(upper)];
    };
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ready_[std::size_t(k)] = 1;
        if (slot < 0) released_[std::size_t(k)] = 1;
        add(k, k);
        if (k > 0 && ready_[std::size_t(k - 1)]) add(k - 1, k);
        if (k + 1 < dims_[2] && ready_[std::size_t(k + 1)]) add(k, k + 1);
    }
    for (int i = 0; i < n; ++i) Emit(pairs[i].lower, pairs[i].upper, pairs[i].a, pairs[i].b);
    std::lock_guard<std::mutex> lock(mutex_);
    for (int i = 0; i < n; ++i) {
        --busy_[std::size_t(pairs[i].lower)];
        --busy_[std::size_t(pairs[i].upper)];
    }
    // A resampled plane is kept until both neighbours have used it.
    for (std::int64_t j = std::max<std::int64_t>(0, k - 1); j <= std::min(k + 1, dims_[2] - 1);
         ++j) {
        if (released_[std::size_t(j)] || busy_[std::size_t(j)] || !Done(j)) continue;
        released_[std::size_t(j)] = 1;
        for (std::int64_t& h : holder_)
            if (h == j) h = -1;
    }
    changed_.notify_all();
}

bool PlaneStream::Done(std::int64_t k) const {
    return ready_[std::size_t(k)] && (k == 0 || ready_[std::size_t(k - 1)]) &&
           (k + 1 >= dims_[2] || ready_[std::size_t(k + 1)]);
}

void PlaneStream::Emit(std::int64_t lower, std::int64_t upper, const float* a, const float* b) {
    // Strides of the viewer axes in the volume (x, y, z) and in the float
    // grid, and the place of the first voxel.
    const std::int64_t volume[3] = {std::int64_t(kPlaneBytes), 1, kEdge};
    const std::int64_t compact[3] = {std::int64_t{grid_.count[1]} * grid_.count[2], 1,
                                     grid_.count[1]};
    const std::int64_t* stride = window_ ? volume : compact;
    const std::int64_t origin = window_ ? std::int64_t((kEdge - grid_.count[1]) / 2) +
                                              std::int64_t((kEdge - grid_.count[2]) / 2) * kEdge
                                        : 0;
    const std::size_t nu = axisU_.weight.size(), nv = axisV_.weight.size();
    for (std::size_t o = 0; o < lower_.size(); ++o) {
        if (lower_[o] != lower) continue;
        const double w = sWeight_[o];
        if ((w > 0) != (upper > lower)) continue;
        if (upper == lower) b = a;
        const std::int64_t base = origin + std::int64_t(o) * stride[s_];
        // The inner loop runs along the output axis of the smaller stride:
        // consecutive writes then share cache lines.
        const bool vInner = stride[v_] < stride[u_];
        const std::size_t outer = vInner ? nu : nv, inner = vInner ? nv : nu;
        const std::int64_t outerStride = vInner ? stride[u_] : stride[v_];
        const std::int64_t innerStride = vInner ? stride[v_] : stride[u_];
        const std::size_t outerStep = vInner ? 1 : nu, innerStep = vInner ? nu : 1;
        // One loop for each kind of output and blend, so that the inner
        // loop has no branches.
        auto rows = [&](auto blend, auto write) {
            for (std::size_t m = 0; m < outer; ++m) {
                const std::int64_t rowBase = base + std::int64_t(m) * outerStride;
                const float* pa = a + m * outerStep;
                const float* pb = b + m * outerStep;
                for (std::size_t n = 0; n < inner; ++n)
                    write(rowBase + std::int64_t(n) * innerStride,
                          blend(pa[n * innerStep], pb[n * innerStep]));
            }
        };
        auto same = [](float p, float) { return double(p); };
        auto between = [w](float p, float q) { return double(p) + (double(q) - double(p)) * w; };
        auto grey = [this](std::int64_t at, double v) { out_[at] = ToGrey(v, *window_, gain_); };
        auto value = [this](std::int64_t at, double v) {
            values_[std::size_t(at)] = static_cast<float>(v);
        };
        if (window_) {
            if (w == 0)
                rows(same, grey);
            else
                rows(between, grey);
        } else {
            if (w == 0)
                rows(same, value);
            else
                rows(between, value);
        }
    }
}

int PlaneStream::HolderSlot(std::int64_t k) const {
    for (int s = 0; s < kSlots; ++s)
        if (holder_[std::size_t(s)] == k) return s;
    throw ConvertError(path_ + ": interner Fehler (Schicht fehlt)");
}

ConvertedVolume PlaneStream::Finish() {
    for (std::size_t k = 0; k < ready_.size(); ++k)
        if (!ready_[k]) throw ConvertError(path_ + ": das Bild ist unvollständig");
    ConvertedVolume volume;
    volume.planes = grid_.count[0];
    volume.voxelEdgeMm = grid_.edge;
    if (!window_) {
        const Window window = windowSamples_->Result();
        const double gain = window.high > window.low ? 255.0 / (window.high - window.low) : 0.0;
        const int nx = grid_.count[0], ny = grid_.count[1], nz = grid_.count[2];
        const int y0 = (kEdge - ny) / 2, z0 = (kEdge - nz) / 2;
        // Two threads take half the planes each. The floats already turned
        // into greys go back to the system as the greys fill the volume:
        // the two together never take much more than the floats alone.
        auto* base = reinterpret_cast<unsigned char*>(values_.get());
        const std::size_t plane = std::size_t(ny) * std::size_t(nz);
        InTwoHalves(nx, [&](int x0, int x1) {
            const float* v = values_.get() + std::size_t(x0) * plane;
            // Only whole huge pages inside this half's floats are returned.
            std::size_t returned =
                (std::size_t(x0) * plane * sizeof(float) + kHuge - 1) / kHuge * kHuge;
            for (int x = x0; x < x1; ++x) {
                for (int z = 0; z < nz; ++z) {
                    std::uint8_t* row = out_ + VoxelIndex(x, y0, z + z0);
                    for (int y = 0; y < ny; ++y) row[y] = ToGrey(*v++, window, gain);
                }
                const std::size_t used =
                    std::size_t(reinterpret_cast<const unsigned char*>(v) - base) / kHuge * kHuge;
                if (used > returned) {
                    ::madvise(base + returned, used - returned, MADV_DONTNEED);
                    returned = used;
                }
            }
        });
        values_.reset();
    }
    if (!own_.empty()) volume.voxels = std::move(own_);
    return volume;
}

template void PlaneStream::Add(std::int64_t, const std::uint8_t*, const Scaling&);
template void PlaneStream::Add(std::int64_t, const std::int8_t*, const Scaling&);
template void PlaneStream::Add(std::int64_t, const std::uint16_t*, const Scaling&);
template void PlaneStream::Add(std::int64_t, const std::int16_t*, const Scaling&);
template void PlaneStream::Add(std::int64_t, const std::uint32_t*, const Scaling&);
template void PlaneStream::Add(std::int64_t, const std::int32_t*, const Scaling&);
template void PlaneStream::Add(std::int64_t, const float*, const Scaling&);
template void PlaneStream::Add(std::int64_t, const double*, const Scaling&);

}  // namespace zx
