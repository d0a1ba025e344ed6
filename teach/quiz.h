// The self-test: ten regions of one atlas to point at, drawn at random
// (seeded) from the regions of at least 500 voxels; each answer is judged
// by the label at the point shown. No widgets.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <vector>

#include "teach/atlas.h"

namespace zx {

class Quiz {
public:
    /// Ten questions (fewer when the atlas has fewer large regions).
    Quiz(const AtlasSet& atlases, int atlas, unsigned seed, int questions = 10);

    bool Finished() const { return current_ >= int(wanted_.size()); }
    int Current() const { return current_; }
    int Total() const { return int(wanted_.size()); }
    int Wanted() const { return wanted_[std::size_t(current_)]; }
    /// "Zeigen Sie: Gyrus praecentralis links"
    QString Question() const;

    struct Verdict {
        bool right = false;
        QString text;                 ///< "Richtig!" or "Nicht ganz: …"
        std::array<int, 3> inside{};  ///< the wanted region's voxel nearest to the point
    };
    /// Judges the point (x, y, z) for the current question and moves on.
    Verdict Answer(int x, int y, int z);

    int Score() const { return score_; }
    /// "7 von 10 richtig", and the regions missed, one a line.
    QString Summary() const;
    const QStringList& Missed() const { return missed_; }

private:
    const AtlasSet& atlases_;
    int atlas_;
    std::vector<int> wanted_;
    int current_ = 0;
    int score_ = 0;
    QStringList missed_;
};

}  // namespace zx
