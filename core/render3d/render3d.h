// 3-D view of the volume: a CPU ray caster with a shaded surface, a
// maximum-intensity projection and a cut-away that opens the octant at the
// crosshair, so that the three section planes show on the cut faces.
//
// The volume is placed as the section views place it: plane x lies at
// column x + sliceOffset of the 256-wide box (the valid planes centred), y
// and z fill the box. The camera turns about the centre of that box and
// projects orthographically; at zoom 1 the box fills the picture, so that
// at size 256 a view along an axis shows one voxel per pixel in the layout
// of the matching section view.
#pragma once

#include <QImage>
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace zx {

class RayCaster;

enum class Render3DMode { Surface, Mip };

/// Where the view looks from. Azimuth 0, elevation 0: from anterior at the
/// face, superior up, the patient's left on the right (the coronal
/// layout). Azimuth 90: from the patient's left, anterior on the left (the
/// sagittal layout). Elevation 90: from above; −90: from below (the
/// transversal layout). Zoom > 1 enlarges.
struct Camera3D {
    double azimuth = 0;
    double elevation = 0;
    double zoom = 1;
};

/// Opacity ramp of the surface: grey values up to `low` are transparent,
/// from `high` on opaque, linear between.
struct OpacityRamp {
    int low = 40;
    int high = 90;
};

/// A ramp for a head volume chosen from its histogram: `low` at the
/// threshold that best separates the dark background from the tissue
/// (Otsu's criterion over the planes that carry data), `high` a little above.
OpacityRamp RampFromHistogram(const std::uint8_t* volume, int sliceCount);

struct Voxel {
    int x, y, z;
    bool operator==(const Voxel&) const = default;
};

struct Render3DOptions {
    Render3DMode mode = Render3DMode::Surface;
    Camera3D camera;
    OpacityRamp ramp;
    /// Cut-away: the octant at this voxel toward the viewer is removed; its
    /// three faces show the sections through the voxel with the section
    /// views' grey values, unshaded, wherever the voxel on the face is
    /// above ramp.low (over air the ray goes on to the surface behind, so
    /// that no black rectangles stand around the head). For an axis the
    /// view looks along exactly, the octant on the lower side of that axis
    /// is removed. In MIP mode the octant is left out of the projection.
    std::optional<Voxel> cut;
    /// Optional colour layer for the cut faces: `labels` (a volume in the
    /// same layout) and 256 colours #AARRGGBB indexed by label; a colour
    /// of alpha a is laid over the grey value with weight a/255, as the
    /// colour layer lies over the section views. Alpha 0: no colour.
    const std::uint8_t* labels = nullptr;
    const std::uint32_t* labelColours = nullptr;
    /// One ray per 2 × 2 pixels, the colour doubled: about three times
    /// faster, for while the view is being turned. Pick ignores it.
    bool halfResolution = false;
    /// At full resolution, where a pixel is at most half a voxel wide
    /// (pictures of 512 and more at zoom 1), the surface takes one ray per
    /// even pixel, and
    /// the pixels between them the mean of their neighbours where those
    /// agree within a few greys, else traced. Off: every pixel traced.
    bool refine = true;
};

/// The ray caster of one volume. SetVolume prepares a copy of the volume
/// in cache-line blocks (16 MiB) and the grids of maxima used to skip
/// empty space (a few ms on two threads); it must be called again
/// whenever the volume's bytes or the plane count change. Render and Pick
/// are const and may run concurrently with each other, never with
/// SetVolume.
class Renderer3D {
public:
    /// `volume` (16 MiB, the viewer's layout) must stay alive and
    /// unchanged until the next SetVolume. `sliceCount` valid x planes are
    /// drawn, centred at sliceOffset = (256 − sliceCount) / 2.
    void SetVolume(const std::uint8_t* volume, int sliceCount);
    bool HasVolume() const { return volume_ != nullptr; }
    int SliceCount() const { return sliceCount_; }
    int SliceOffset() const { return sliceOffset_; }

    /// Draws into `out` on two threads; `out` becomes a size × size
    /// Format_RGB32 picture (reallocated only when it has another shape),
    /// black where the rays meet nothing. Without a volume: all black.
    void Render(const Render3DOptions& options, int size, QImage& out) const;
    QImage Render(const Render3DOptions& options, int size) const;

    /// The voxel drawn at pixel (px, py) of a picture of `size` × `size`
    /// rendered with `options`: the first point where the surface becomes
    /// at least half opaque, or the cut face; in MIP mode the voxel of the
    /// maximum. None where the ray meets nothing.
    std::optional<Voxel> Pick(const Render3DOptions& options, int size, int px, int py) const;

    /// Voxel (x, y, z) in the blocked copy: the sum of one term per axis.
    static constexpr std::size_t BlockedX(int x) {
        return std::size_t(x >> 2) * 262144 + std::size_t(x & 3) * 16;
    }
    static constexpr std::size_t BlockedZ(int z) {
        return std::size_t(z >> 2) * 4096 + std::size_t(z & 3) * 4;
    }
    static constexpr std::size_t BlockedY(int y) {
        return std::size_t(y >> 2) * 64 + std::size_t(y & 3);
    }

    /// Brick grid edge in voxels (empty-space skipping), and the edge of
    /// the finer grid that skips inside bricks that are not empty.
    static constexpr int kBrick = 8;
    static constexpr int kBricks = 256 / kBrick;
    static constexpr int kCell = 4;
    static constexpr int kCells = 256 / kCell;

private:
    /// A full frame from rays at the even pixels and, between them, where
    /// the neighbours disagree (see Render3DOptions::refine).
    void RenderRefined(const RayCaster& caster, int size, QImage& out) const;
    const std::uint8_t* volume_ = nullptr;
    int sliceCount_ = 0;
    int sliceOffset_ = 0;
    /// Per brick, the maximum over the brick and a border of one voxel
    /// (what trilinear samples inside the brick read), index
    /// (bx · kBricks + bz) · kBricks + by in volume coordinates.
    std::vector<std::uint8_t> brickMax_;
    /// Per brick, the maximum over the brick alone (nearest samples).
    std::vector<std::uint8_t> brickRaw_;
    /// As brickMax_ for the finer grid of kCell voxels.
    std::vector<std::uint8_t> cellMax_;
    /// The volume again, in blocks of 4 × 4 × 4 voxels of one cache line
    /// each (BlockedIndex), so that a trilinear sample mostly reads one
    /// line instead of four and neighbouring rays share lines.
    std::vector<std::uint8_t> blocked_;
    /// What lets rays skip where a ramp starting at `low` shows nothing:
    /// per brick, the Chebyshev distance in bricks to the nearest brick
    /// with a maximum above `low` (0 for those), at most 255; and per
    /// voxel, a bit set where one of the eight voxels of the cell of voxel
    /// centres from it (up to the next voxel along each axis) is above
    /// `low`, bit i mod 64 of word i / 64 for blocked index i. Kept for
    /// the last `low` asked for.
    struct SkipMaps {
        std::vector<std::uint8_t> emptyDistance;
        std::vector<std::uint64_t> cellBits;
    };
    std::shared_ptr<const SkipMaps> Skipping(std::uint8_t low) const;
    mutable std::mutex skipLock_;
    mutable std::shared_ptr<const SkipMaps> skipMaps_;
    mutable int skipLow_ = -1;
    friend class RayCaster;
};

}  // namespace zx
