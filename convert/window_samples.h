// The display window of an image from its samples as they come: every
// stride-th value in array order (as the whole-image window takes them),
// 8- and 16-bit values counted by stored value (for the first few scalings
// seen), the others kept as floats: a few MiB at most, whatever the number
// of scalings.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "convert/pipeline.h"

namespace zx {

class WindowSamples {
public:
    /// For an image of `voxels` values in all.
    explicit WindowSamples(std::uint64_t voxels);

    /// Values `first` … `first` + `count` − 1 of the image (array order),
    /// scaled by `scaling`. Any order, any thread.
    template <typename T>
    void Add(std::uint64_t first, const T* samples, std::uint64_t count, const Scaling& scaling);

    /// The 0.5–99.5 percentile window (the full range when they coincide):
    /// the same as WindowOfSamples on all the samples.
    Window Result();

private:
    struct Counted {
        double slope, inter;
        int lowest;
        std::vector<std::uint64_t> count;
    };
    /// Stored-value counts kept for at most this many scalings (512 KiB
    /// each for 16-bit samples); samples of further scalings are floats.
    static constexpr std::size_t kMaxCounted = 4;
    std::uint64_t stride_;
    std::uint64_t total_;  ///< samples of the whole image
    std::mutex mutex_;
    std::vector<float> samples_;
    std::vector<Counted> counted_;
    /// Each stored value that was counted, scaled, with how often it came;
    /// widens [minimum, maximum] to take them in.
    template <class F>
    void EachCountedValue(double& minimum, double& maximum, F&& use) const;
    double minimum_, maximum_;
};

}  // namespace zx
