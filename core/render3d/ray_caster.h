// The rays of one picture of the 3-D view: camera frame, opacity table and
// the march through the volume, shared by Render and Pick.
#pragma once

#include <xmmintrin.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "core/render3d/render3d.h"

namespace zx {

class RayCaster {
public:
    RayCaster(const Renderer3D& r, const Render3DOptions& o, int size);

    struct Hit {
        std::uint32_t colour = 0xff000000u;
        std::optional<Voxel> voxel;
    };
    /// The ray through point (px, py) of the picture, in pixels (pixel
    /// centres at k + 0.5). With `pick`, also the voxel drawn there.
    template <bool pick>
    Hit Trace(float px, float py) const;

private:
    struct Ray {
        // Lane 3 of each: 0, 0 and kFar, as along an axis the ray runs
        // parallel to.
        alignas(16) float o[4];    // a point of the ray, outside the box
        alignas(16) float d[4];    // unit direction
        alignas(16) float inv[4];  // 1 / d, or kFar along an axis d is 0 in
    };
    Ray MakeRay(float px, float py) const;
    template <bool pick>
    Hit Surface(const Ray& ray) const;
    template <bool pick>
    Hit Mip(const Ray& ray) const;
    /// Front-to-back compositing over the samples t = k + 0.5 in [ta, tb).
    /// Returns true once the ray is (nearly) opaque.
    struct Sample {
        int ix, iy, iz;    // cell of voxel centres
        float fx, fy, fz;  // position in the cell
        float value;       // trilinear
    };
    /// The sample at point (x, y, z, 0) of the ray, x counted from the
    /// first plane that carries voxels; false, and no value, where the
    /// sample is transparent for certain.
    bool SampleAt(__m128 v, __m128 lastCell, Sample& s) const;
    /// Composites sample `s` of opacity `alpha`, shaded; true once opaque.
    template <bool pick>
    bool Shade(const Ray& ray, const Sample& s, float alpha, float acc[4], Hit& hit) const;
    template <bool pick>
    bool March(const Ray& ray, float ta, float tb, float acc[4], Hit& hit) const;

    const Renderer3D& r_;
    const Render3DOptions& opt_;
    int size_;
    // Lane 3 of each is 0 (kFar in inv_): the ray's lane 3.
    alignas(16) float right_[4], down_[4], fwd_[4];
    alignas(16) float inv_[4];  // 1 / fwd_, or kFar along an axis the view is parallel to
    alignas(16) float boxLo_[4] = {}, boxHi_[4] = {};  // the planes that carry voxels
    bool cutOn_ = false;
    alignas(16) float cutLo_[4] = {}, cutHi_[4] = {};  // the removed octant
    int cutVoxel_[3] = {0, 0, 0};
    float alpha_[256];
    std::uint8_t skipBelow_;  // bricks whose maximum is at most this are empty
    float firstVisible_;      // the least rounded sample value of alpha above 0
    /// Surface mode: the empty bricks' distances and the cells' bits.
    std::shared_ptr<const Renderer3D::SkipMaps> skip_;
    const std::uint64_t* cellBits_ = nullptr;
};

}  // namespace zx
