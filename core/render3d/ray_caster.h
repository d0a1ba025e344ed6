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
        float o[3];    // a point of the ray, outside the box
        float d[3];    // unit direction
        float inv[3];  // 1 / d, or ±inf
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
    /// first plane that carries voxels.
    Sample SampleAt(__m128 v) const;
    /// Composites sample `s` of opacity `alpha`, shaded; true once opaque.
    template <bool pick>
    bool Shade(const Ray& ray, const Sample& s, float alpha, float acc[4], Hit& hit) const;
    template <bool pick>
    bool March(const Ray& ray, float ta, float tb, float acc[4], Hit& hit) const;

    const Renderer3D& r_;
    const Render3DOptions& opt_;
    int size_;
    float right_[3], down_[3], fwd_[3];
    float inv_[3];               // 1 / fwd_, or kFar along an axis the view is parallel to
    float boxLo_[3], boxHi_[3];  // the planes that carry voxels
    bool cutOn_ = false;
    float cutLo_[3], cutHi_[3];  // the removed octant
    int cutVoxel_[3] = {0, 0, 0};
    float alpha_[256];
    std::uint8_t skipBelow_;  // bricks whose maximum is at most this are empty
    float firstVisible_;      // the least rounded sample value of alpha above 0
    /// Surface mode: per brick, the Chebyshev distance in bricks to the
    /// nearest brick that is not empty (0 for those), at most 255.
    std::shared_ptr<const std::vector<std::uint8_t>> emptyDistance_;
};

}  // namespace zx
