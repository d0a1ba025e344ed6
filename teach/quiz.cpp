#include "teach/quiz.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "core/volume/volume.h"

namespace zx {

Quiz::Quiz(const AtlasSet& atlases, int atlas, unsigned seed, int questions)
    : atlases_(atlases), atlas_(atlas) {
    std::array<std::int64_t, 256> voxels{};
    const std::uint8_t* labels = atlases.Labels(atlas);
    for (std::size_t i = 0; i < kVolumeBytes; ++i) ++voxels[labels[i]];
    std::vector<int> candidates;
    for (int l = 1; l < 256; ++l)
        if (voxels[std::size_t(l)] >= 500) candidates.push_back(l);
    std::mt19937 rng(seed);
    std::shuffle(candidates.begin(), candidates.end(), rng);
    candidates.resize(std::min<std::size_t>(candidates.size(), std::size_t(questions)));
    wanted_ = candidates;
}

QString Quiz::Question() const {
    return QStringLiteral("Zeigen Sie: ") + atlases_.Name(atlas_, Wanted());
}

Quiz::Verdict Quiz::Answer(int x, int y, int z) {
    const int wanted = Wanted();
    const int shown = atlases_.Label(atlas_, x, y, z);
    Verdict v;
    // The wanted region's voxel nearest to the point (voxels of 1 mm).
    const std::uint8_t* labels = atlases_.Labels(atlas_);
    std::int64_t best = std::numeric_limits<std::int64_t>::max();
    for (int px = 0; px < 256; ++px)
        for (int pz = 0; pz < 256; ++pz) {
            const std::uint8_t* row = labels + VoxelIndex(px, 0, pz);
            for (int py = 0; py < 256; ++py) {
                if (row[py] != wanted) continue;
                const std::int64_t d = std::int64_t(px - x) * (px - x) +
                                       std::int64_t(py - y) * (py - y) +
                                       std::int64_t(pz - z) * (pz - z);
                if (d < best) best = d, v.inside = {px, py, pz};
            }
        }
    if (shown == wanted) {
        v.right = true;
        v.text = QStringLiteral("Richtig!");
        v.inside = {x, y, z};
        ++score_;
    } else {
        const long mm = std::lround(std::sqrt(double(best)));
        v.text =
            QStringLiteral("Nicht ganz: Sie haben %1 gezeigt; gesucht war %2 (%3 mm entfernt).")
                .arg(shown ? atlases_.Name(atlas_, shown) : QStringLiteral("keine Region"),
                     atlases_.Name(atlas_, wanted))
                .arg(mm);
        missed_ << atlases_.Name(atlas_, wanted);
    }
    ++current_;
    return v;
}

QString Quiz::Summary() const {
    QString s = QStringLiteral("%1 von %2 richtig").arg(score_).arg(Total());
    // One region a line: the names themselves contain commas.
    if (!missed_.isEmpty()) s += QStringLiteral("\nNicht gefunden:\n") + missed_.join(u'\n');
    return s;
}

}  // namespace zx
