#include "convert/window_samples.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>
#include <utility>

namespace zx {

WindowSamples::WindowSamples(std::uint64_t voxels)
    : stride_(WindowSampleStride(voxels)),
      total_((voxels + stride_ - 1) / stride_),
      minimum_(std::numeric_limits<double>::infinity()),
      maximum_(-std::numeric_limits<double>::infinity()) {}

template <typename T>
void WindowSamples::Add(std::uint64_t first, const T* samples, std::uint64_t count,
                        const Scaling& scaling) {
    auto load = [&](std::uint64_t i) {
        T v;
        std::memcpy(&v, samples + (i - first), sizeof(T));
        return v;
    };
    const std::uint64_t from = (first + stride_ - 1) / stride_ * stride_;
    if constexpr (std::is_integral_v<T> && sizeof(T) <= 2) {
        // Counted by stored value: no sorting later, and a few hundred KiB
        // for each scaling. Series whose every slice has a scaling of its
        // own (CT intercepts) would take that much per slice: beyond a few
        // scalings, the samples are kept as floats like wider ones.
        constexpr int kLowest = std::numeric_limits<T>::min();
        constexpr std::size_t kValues = std::size_t{1} << (8 * sizeof(T));
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = std::find_if(counted_.begin(), counted_.end(), [&](const Counted& c) {
            return c.slope == scaling.slope && c.inter == scaling.inter && c.lowest == kLowest &&
                   c.count.size() == kValues;
        });
        if (it == counted_.end() && counted_.size() < kMaxCounted) {
            counted_.push_back(
                {scaling.slope, scaling.inter, kLowest, std::vector<std::uint64_t>(kValues)});
            it = counted_.end() - 1;
        }
        if (it != counted_.end()) {
            for (std::uint64_t i = from; i < first + count; i += stride_)
                ++it->count[std::size_t(int(load(i)) - kLowest)];
            return;
        }
    }
    std::vector<float> picked;
    double minimum = std::numeric_limits<double>::infinity(), maximum = -minimum;
    for (std::uint64_t i = from; i < first + count; i += stride_) {
        const double v = scaling.Apply(static_cast<double>(load(i)));
        picked.push_back(static_cast<float>(v));
        minimum = std::min(minimum, v);
        maximum = std::max(maximum, v);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    // Room for every sample of the image at once: at most 2^21 floats.
    if (samples_.capacity() == 0) samples_.reserve(std::size_t(total_));
    samples_.insert(samples_.end(), picked.begin(), picked.end());
    minimum_ = std::min(minimum_, minimum);
    maximum_ = std::max(maximum_, maximum);
}

template <class F>
void WindowSamples::EachCountedValue(double& minimum, double& maximum, F&& use) const {
    for (const Counted& c : counted_) {
        const Scaling scaling{c.slope, c.inter};
        for (std::size_t b = 0; b < c.count.size(); ++b) {
            if (!c.count[b]) continue;
            const double v = scaling.Apply(double(int(b) + c.lowest));
            use(static_cast<float>(v), std::uint64_t(c.count[b]));
            minimum = std::min(minimum, v);
            maximum = std::max(maximum, v);
        }
    }
}

Window WindowSamples::Result() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!samples_.empty()) {
        // Some samples as floats already: the counted ones join them, all
        // within the 2^21 the stride allows, and the percentiles are found
        // among them all.
        double minimum = minimum_, maximum = maximum_;
        EachCountedValue(minimum, maximum, [&](float v, std::uint64_t n) {
            samples_.insert(samples_.end(), std::size_t(n), v);
        });
        counted_.clear();
        return WindowOfSamples(samples_, minimum, maximum);
    }
    // The samples as (value, how often), sorted: the k-th smallest is where
    // the running count passes k. The same percentiles as sorting every
    // sample (values as floats, neighbouring ranks interpolated).
    std::vector<std::pair<float, std::uint64_t>> values;
    double minimum = minimum_, maximum = maximum_;
    EachCountedValue(minimum, maximum,
                     [&](float v, std::uint64_t n) { values.emplace_back(v, n); });
    std::sort(values.begin(), values.end());
    std::uint64_t n = 0;
    for (const auto& v : values) n += v.second;
    if (n == 0) return {};
    auto kth = [&](std::uint64_t k) {
        std::uint64_t seen = 0;
        for (const auto& v : values) {
            seen += v.second;
            if (seen > k) return double(v.first);
        }
        return double(values.back().first);
    };
    auto percentile = [&](double p) {
        const double rank = p * static_cast<double>(n - 1);
        const auto lower = static_cast<std::uint64_t>(std::floor(rank));
        const double lo = kth(lower);
        if (lower + 1 >= n) return lo;
        return lo + (kth(lower + 1) - lo) * (rank - static_cast<double>(lower));
    };
    Window w{percentile(0.005), percentile(0.995)};
    if (!(w.high > w.low)) w = {minimum, maximum};
    return w;
}

template void WindowSamples::Add(std::uint64_t, const std::uint8_t*, std::uint64_t, const Scaling&);
template void WindowSamples::Add(std::uint64_t, const std::int8_t*, std::uint64_t, const Scaling&);
template void WindowSamples::Add(std::uint64_t, const std::uint16_t*, std::uint64_t,
                                 const Scaling&);
template void WindowSamples::Add(std::uint64_t, const std::int16_t*, std::uint64_t, const Scaling&);
template void WindowSamples::Add(std::uint64_t, const std::uint32_t*, std::uint64_t,
                                 const Scaling&);
template void WindowSamples::Add(std::uint64_t, const std::int32_t*, std::uint64_t, const Scaling&);
template void WindowSamples::Add(std::uint64_t, const float*, std::uint64_t, const Scaling&);
template void WindowSamples::Add(std::uint64_t, const double*, std::uint64_t, const Scaling&);

}  // namespace zx
