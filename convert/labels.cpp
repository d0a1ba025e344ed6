#include "convert/labels.h"

#include <cmath>

#include "base/volume_geometry.h"

namespace zx {

namespace {

using Vec3 = std::array<double, 3>;

/// The inverse of a 3 × 3 matrix; throws when it has none.
Matrix3 Inverse(const Matrix3& m, const std::string& path) {
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    if (!std::isfinite(det) || det == 0)
        throw ConvertError(path + ": ungültige Lage im Raum (Matrix)");
    Matrix3 r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const int a = (j + 1) % 3, b = (j + 2) % 3, c = (i + 1) % 3, d = (i + 2) % 3;
            r[i][j] = (m[a][c] * m[b][d] - m[a][d] * m[b][c]) / det;
        }
    return r;
}

Vec3 Apply(const Matrix3& m, const Vec3& v) {
    return {m[0][0] * v[0] + m[0][1] * v[1] + m[0][2] * v[2],
            m[1][0] * v[0] + m[1][1] * v[1] + m[1][2] * v[2],
            m[2][0] * v[0] + m[2][1] * v[1] + m[2][2] * v[2]};
}

}  // namespace

ConvertedVolume ConvertLabels(const std::string& atlasPath, const std::string& headPath) {
    const NiftiImage head = ReadNiftiImage(headPath, false);
    const NiftiImage atlas = ReadNiftiImage(atlasPath, true);
    const ViewerGrid grid = PlanViewerGrid(head.dims, head.voxelToWorld, headPath);
    const Matrix3 toAtlas = Inverse(atlas.voxelToWorld, atlasPath);

    // The atlas index is linear in the three viewer indices: a sum of one
    // term per viewer axis and a constant.
    std::array<std::vector<Vec3>, 3> term;
    for (int a = 0; a < 3; ++a) {
        Vec3 column{};
        for (int r = 0; r < 3; ++r) column[r] = head.voxelToWorld[r][grid.arrayAxis[a]];
        for (double f : grid.index[a]) {
            term[a].push_back(Apply(toAtlas, {column[0] * f, column[1] * f, column[2] * f}));
        }
    }
    const Vec3 constant =
        Apply(toAtlas, {head.origin[0] - atlas.origin[0], head.origin[1] - atlas.origin[1],
                        head.origin[2] - atlas.origin[2]});

    ConvertedVolume out;
    out.voxels.assign(kVolumeBytes, 0);
    out.planes = grid.count[0];
    out.voxelEdgeMm = grid.edge;
    const int y0 = (kEdge - grid.count[1]) / 2, z0 = (kEdge - grid.count[2]) / 2;
    const std::int64_t nx = atlas.dims[0], ny = atlas.dims[1], nz = atlas.dims[2];
    for (int x = 0; x < grid.count[0]; ++x) {
        for (int z = 0; z < grid.count[2]; ++z) {
            std::uint8_t* row = out.voxels.data() + VoxelIndex(x, y0, z + z0);
            for (int y = 0; y < grid.count[1]; ++y) {
                Vec3 p;
                for (int k = 0; k < 3; ++k)
                    p[k] = term[0][x][k] + term[1][y][k] + term[2][z][k] + constant[k];
                const double i = std::nearbyint(p[0]), j = std::nearbyint(p[1]),
                             l = std::nearbyint(p[2]);
                if (!(i >= 0 && j >= 0 && l >= 0 && i < nx && j < ny && l < nz)) continue;
                const double v = atlas.Value(std::size_t(i) + std::size_t(j) * std::size_t(nx) +
                                             std::size_t(l) * std::size_t(nx * ny));
                row[y] = (v >= 0.5 && v < 255.5) ? std::uint8_t(std::lround(v)) : 0;
            }
        }
    }
    return out;
}

}  // namespace zx
