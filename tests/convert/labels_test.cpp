// Atlas labels on the head's grid: the same point in space, whatever grid,
// orientation and origin the atlas has.
#include "convert/labels.h"

#include <gtest/gtest.h>

#include <cmath>

#include "convert/nifti.h"
#include "support/nifti_writer.h"
#include "support/temp_dir.h"

namespace {

/// A NIfTI-1 image of 8-bit values with an sform: row r of the transform is
/// srow[r]; value(i, j, k) gives the voxels.
template <class F>
std::vector<std::uint8_t> Nifti(std::array<int, 3> n, std::array<std::array<double, 4>, 3> srow,
                                F value) {
    zxtest::NiftiFields s;
    s.dim = {3, n[0], n[1], n[2], 1, 1, 1, 1};
    s.pixdim = {1, std::fabs(srow[0][0]), std::fabs(srow[1][1]), std::fabs(srow[2][2]), 0, 0, 0, 0};
    s.sformCode = 2;
    s.srow = srow;
    std::vector<double> values;
    for (int k = 0; k < n[2]; ++k)
        for (int j = 0; j < n[1]; ++j)
            for (int i = 0; i < n[0]; ++i) values.push_back(value(i, j, k));
    return zxtest::NiftiFile(s, values);
}

TEST(Labels, EveryViewerVoxelGetsTheLabelOfItsPointInSpace) {
    zxtest::TempDir dir;
    // The head: 20 × 24 × 16 voxels of 1 mm, voxel (0, 0, 0) at (-10, -12, -8).
    const auto head =
        dir.Write("head.nii", Nifti({20, 24, 16}, {{{1, 0, 0, -10}, {0, 1, 0, -12}, {0, 0, 1, -8}}},
                                    [](int i, int j, int k) { return 10 + i + j + k; }));
    // Labels that tell the world x (in mm + 20) of their voxel.
    const auto same =
        dir.Write("same.nii", Nifti({20, 24, 16}, {{{1, 0, 0, -10}, {0, 1, 0, -12}, {0, 0, 1, -8}}},
                                    [](int i, int, int) { return i - 10 + 20; }));
    // One voxel larger, x flipped, a different origin: the same world.
    const auto flipped =
        dir.Write("flip.nii", Nifti({21, 25, 17}, {{{-1, 0, 0, 10}, {0, 1, 0, -13}, {0, 0, 1, -9}}},
                                    [](int i, int, int) { return 10 - i + 20; }));
    const zx::ConvertedVolume volume = zx::ConvertNifti(head.toStdString());
    for (const QString& atlas : {same, flipped}) {
        const zx::ConvertedVolume labels =
            zx::ConvertLabels(atlas.toStdString(), head.toStdString());
        ASSERT_EQ(labels.planes, volume.planes);
        // Viewer x runs from the right (world +x) to the left: plane x is at
        // world x = 9 − x, label 29 − x.
        for (int x : {0, 5, 19}) {
            for (int z : {121, 128, 134}) {
                for (int y : {118, 128, 139}) {
                    EXPECT_EQ(
                        labels
                            .voxels[std::size_t(x) * 65536 + std::size_t(z) * 256 + std::size_t(y)],
                        29 - x)
                        << atlas.toStdString() << " x " << x << " y " << y << " z " << z;
                }
            }
        }
        // Outside the head's planes nothing is labelled.
        EXPECT_EQ(labels.voxels[std::size_t(30) * 65536 + 128 * 256 + 128], 0);
    }
}

TEST(Labels, AnAtlasBeyond512MiBIsRefusedBeforeItsDataIsRead) {
    zxtest::TempDir dir;
    const auto head =
        dir.Write("head.nii", Nifti({4, 4, 4}, {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}}},
                                    [](int, int, int) { return 1; }));
    zxtest::NiftiFields big;
    big.dim = {3, 1024, 1024, 513, 1, 1, 1, 1};  // 513 MiB of labels declared, one byte present
    const auto atlas = dir.Write("big.nii", zxtest::NiftiFile(big, {1}));
    try {
        zx::ConvertLabels(atlas.toStdString(), head.toStdString());
        ADD_FAILURE() << "accepted";
    } catch (const zx::ConvertError& e) {
        EXPECT_NE(std::string(e.what()).find("Datei zu groß"), std::string::npos) << e.what();
    }
}

}  // namespace
