#include "convert/phantom.h"

#include <algorithm>
#include <cmath>

#include "base/volume_geometry.h"

namespace zx {

namespace {

/// An ellipsoid; Inside gives the squared normalised radius (< 1 inside).
struct Ellipsoid {
    double cx, cy, cz, ax, ay, az;
    double R2(double x, double y, double z) const {
        const double u = (x - cx) / ax, v = (y - cy) / ay, w = (z - cz) / az;
        return u * u + v * v + w * w;
    }
};

/// Small deterministic noise, −range…range, from the voxel position.
int Noise(int x, int y, int z, int range) {
    std::uint32_t h =
        std::uint32_t(x) * 73856093u ^ std::uint32_t(y) * 19349663u ^ std::uint32_t(z) * 83492791u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return int(h % std::uint32_t(2 * range + 1)) - range;
}

std::uint8_t Grey(int x, int y, int z) {
    // The head sits slightly forward and high; the neck runs down from it.
    static const Ellipsoid head{128, 124, 112, 74, 94, 100};
    static const Ellipsoid skullOut{128, 125, 108, 68, 88, 92};
    static const Ellipsoid skullIn{128, 126, 106, 62, 82, 85};
    static const Ellipsoid brain{128, 128, 104, 59, 79, 81};
    static const Ellipsoid white{128, 130, 100, 49, 66, 62};
    static const Ellipsoid ventL{118, 128, 92, 6, 28, 11};
    static const Ellipsoid ventR{138, 128, 92, 6, 28, 11};
    static const Ellipsoid third{128, 136, 110, 2.5, 12, 9};
    static const Ellipsoid cerebellum{128, 178, 152, 46, 30, 22};
    static const Ellipsoid stem{128, 150, 158, 13, 15, 42};
    static const Ellipsoid eyeL{98, 44, 118, 13, 12, 12};
    static const Ellipsoid eyeR{158, 44, 118, 13, 12, 12};
    static const Ellipsoid lensL{98, 33, 118, 5, 2.5, 5};
    static const Ellipsoid lensR{158, 33, 118, 5, 2.5, 5};
    static const Ellipsoid nose{128, 30, 150, 11, 16, 26};
    static const Ellipsoid neck{128, 140, 236, 48, 54, 70};
    static const Ellipsoid spine{128, 170, 230, 11, 11, 70};
    static const Ellipsoid airway{128, 112, 230, 6, 8, 70};

    const double fx = x, fy = y, fz = z;
    int g = 0;
    const double rHead = head.R2(fx, fy, fz);
    if (rHead < 1.0 || nose.R2(fx, fy, fz) < 1.0) g = rHead > 0.93 ? 236 : 150;  // fat, muscle
    if (neck.R2(fx, fy, fz) < 1.0 && z > 170) {
        g = 135;
        if (spine.R2(fx, fy, fz) < 1.0) g = 70;
        if (airway.R2(fx, fy, fz) < 1.0) g = 5;
    }
    if (skullOut.R2(fx, fy, fz) < 1.0) {
        // Cortical bone is dark; the marrow between the tables is grey.
        const double r = std::sqrt(skullOut.R2(fx, fy, fz));
        g = (r > 0.96 || r < 0.93) ? 30 : 95;
    }
    if (skullIn.R2(fx, fy, fz) < 1.0) g = 40;  // cerebrospinal fluid
    // Gyri: the cortical surface undulates.
    const double fold = 0.06 * std::sin(fx * 0.35) * std::sin(fy * 0.31) * std::sin(fz * 0.29);
    if (brain.R2(fx, fy, fz) < 1.0 + fold) g = 112;
    if (white.R2(fx, fy, fz) < 1.0 + 1.6 * fold) g = 196;
    if (cerebellum.R2(fx, fy, fz) < 1.0) g = (int(fy + 0.6 * fz) % 6 < 2) ? 160 : 110;
    if (stem.R2(fx, fy, fz) < 1.0 && z > 118) g = 150;
    if (ventL.R2(fx, fy, fz) < 1.0 || ventR.R2(fx, fy, fz) < 1.0 || third.R2(fx, fy, fz) < 1.0)
        g = 28;
    if (eyeL.R2(fx, fy, fz) < 1.0 || eyeR.R2(fx, fy, fz) < 1.0) g = 45;
    if (lensL.R2(fx, fy, fz) < 1.0 || lensR.R2(fx, fy, fz) < 1.0) g = 250;
    g += g > 0 ? Noise(x, y, z, 7) : std::max(0, Noise(x, y, z, 4));
    return std::uint8_t(std::clamp(g, 0, 255));
}

}  // namespace

std::vector<std::uint8_t> MakeHeadPhantom() {
    std::vector<std::uint8_t> v(kVolumeBytes);
    for (int x = 0; x < kEdge; ++x) {
        for (int z = 0; z < kEdge; ++z) {
            std::uint8_t* row = v.data() + VoxelIndex(x, 0, z);
            for (int y = 0; y < kEdge; ++y) row[y] = Grey(x, y, z);
        }
    }
    return v;
}

}  // namespace zx
