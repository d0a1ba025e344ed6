// The viewer's volume from an image that arrives one plane at a time (array
// axis 2 slowest, as files store it): each plane is resampled in its own
// plane as it comes, and output voxels between two planes are finished as
// soon as both are there. Memory is a few resampled planes, the window's
// samples and, while the grey window is still unknown, one float per
// output voxel (at most 64 MiB): bounded whatever the size of the input.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "convert/converted_volume.h"
#include "convert/pipeline.h"
#include "convert/window_samples.h"

namespace zx {

class PlaneStream {
public:
    /// An image of these sizes and geometry, its values spread over the
    /// greys by `window` (none: the 0.5–99.5 percentiles of the image, as
    /// WindowSamples finds them). `out`: 16 MiB, zeroed, or null for a
    /// volume of the stream's own. Throws ConvertError for unusable geometry.
    PlaneStream(const std::array<std::int64_t, 3>& dims, const Matrix3& voxelToWorld,
                const std::string& path, std::optional<Window> window, std::uint8_t* out = nullptr);
    ~PlaneStream();
    PlaneStream(const PlaneStream&) = delete;
    PlaneStream& operator=(const PlaneStream&) = delete;

    /// Plane k (0 … dims[2] − 1): dims[0] · dims[1] samples, axis 0 fastest,
    /// host byte order, scaled by `scaling`. Every plane must be given once;
    /// two threads may give different planes at the same time, each thread
    /// in rising order (a plane waits while the planes eight below it are
    /// still needed).
    template <typename T>
    void Add(std::int64_t k, const T* samples, const Scaling& scaling);

    /// Ends waiting planes after a failure elsewhere (they throw).
    void Abort();

    /// The volume after all planes: planes, voxel edge, and voxels unless
    /// they went to `out`.
    ConvertedVolume Finish();

    const ViewerGrid& Grid() const { return grid_; }

private:
    struct Axis {                                 // along one in-plane viewer axis
        std::vector<std::int64_t> first, second;  // sample offsets within the plane
        std::vector<double> weight;
    };
    static constexpr int kSlots = 8;

    void Ready(std::int64_t k, int slot);
    /// Writes the output between planes `lower` and `upper` (resampled in
    /// `a` and `b`; equal for the output at a plane itself).
    void Emit(std::int64_t lower, std::int64_t upper, const float* a, const float* b);
    bool Done(std::int64_t k) const;
    int HolderSlot(std::int64_t k) const;

    std::array<std::int64_t, 3> dims_;
    std::string path_;
    ViewerGrid grid_;
    std::optional<Window> window_;
    double gain_ = 0;
    std::uint8_t* out_;
    std::vector<std::uint8_t> own_;
    struct FreeValues {
        void operator()(float* p) const;
    };
    std::unique_ptr<float[], FreeValues> values_;  ///< output voxels before the window is known
    int u_ = 0, v_ = 0, s_ = 0;                    ///< viewer axes of array axes 0, 1, 2
    Axis axisU_, axisV_;
    std::vector<std::int64_t> lower_;  ///< per output index along s: the plane below it
    std::vector<double> sWeight_;      ///< … and the weight of the plane above

    std::mutex mutex_;
    std::condition_variable changed_;
    bool aborted_ = false;
    std::vector<std::uint8_t> ready_;                 ///< per plane: given
    std::vector<std::uint8_t> released_;              ///< per plane: its slot is free again
    std::vector<std::uint8_t> busy_;                  ///< per plane: writes reading it
    std::vector<std::uint8_t> used_;                  ///< per plane: some output voxel reads it
    std::array<std::int64_t, kSlots> holder_{};       ///< plane in each slot, −1 free
    std::array<std::vector<float>, kSlots> slots_;    ///< resampled planes
    std::array<std::vector<double>, kSlots> blends_;  ///< per slot: two image rows blended
    std::int64_t uFrom_ = 0, uTo_ = 0;                ///< the image columns the output reads
    std::unique_ptr<WindowSamples> windowSamples_;    ///< while the window is unknown
};

}  // namespace zx
