// Anatomical atlases on the viewer's grid: label volumes that lie beside
// a volume file ("MR_Kopf.aal.vmr" beside "MR_Kopf.vmr"), their German
// region names, and what lies at a point. No widgets.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <vector>

namespace zx {

/// An atlas the program knows: the key in label file names and its title.
struct AtlasKind {
    const char* key;
    const char* title;
};
inline constexpr std::array<AtlasKind, 4> kAtlases = {{{"aal", "AAL"},
                                                       {"brodmann", "Brodmann"},
                                                       {"jhu", "JHU-Faserbahnen"},
                                                       {"ho", "Harvard-Oxford"}}};

/// The label volume of atlas `key` beside `volumeFile`.
QString LabelFileFor(const QString& volumeFile, const char* key);

class AtlasSet {
public:
    /// Reads every label volume beside `volumeFile`; false when there is none.
    bool Load(const QString& volumeFile);
    void Clear() { atlases_.clear(); }
    int Count() const { return int(atlases_.size()); }
    QString Title(int i) const { return QString::fromUtf8(atlases_[std::size_t(i)].kind.title); }
    const std::uint8_t* Labels(int i) const { return atlases_[std::size_t(i)].labels.data(); }
    std::uint8_t Label(int i, int x, int y, int z) const;
    /// The German name of a region, or "—" for label 0 or an unknown one.
    QString Name(int i, int label) const;
    /// "AAL: Gyrus praecentralis links", one per atlas, for a point.
    QString Line(int i, int x, int y, int z) const;

private:
    struct Atlas {
        AtlasKind kind;
        std::vector<std::uint8_t> labels;  ///< 16 MiB, the .vmr layout
        std::array<QString, 256> names;
    };
    std::vector<Atlas> atlases_;
};

/// Colour of a region in the colour layer: stable, well apart for
/// neighbouring numbers, with `alpha`.
std::uint32_t RegionColour(int label, int alpha);

}  // namespace zx
