// Anatomical atlases on the viewer's grid: label volumes that lie beside
// a volume file ("MR_Kopf.aal.vmr" beside "MR_Kopf.vmr"), their German
// region names, and what lies at a point. No widgets.
#pragma once

#include <QByteArray>
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

/// A coarse picture of a head, to know a scan again however it was opened
/// (its NIfTI original, a copy under another name): its plane count, voxel
/// edge and the mean grey of each 16 x 16 x 16 block of the volume. Two
/// conversions of one scan agree within a grey level; two heads, or one
/// head shifted by a few voxels, differ by far more.
struct HeadPrint {
    int planes = 0;
    double edgeMm = 0;
    QByteArray means;  ///< 4096 block means, block (x, y, z) at x·256 + z·16 + y
};

/// The print of a 256³ volume with `planes` planes and voxel edge `edgeMm`.
HeadPrint PrintOfHead(const std::uint8_t* voxels, int planes, double edgeMm);

/// Whether two prints show the same head on the same grid: equal plane
/// counts and voxel edges, block means within 1.5 grey levels on average.
bool SameHead(const HeadPrint& a, const HeadPrint& b);

/// Colour of a region in the colour layer: stable, well apart for
/// neighbouring numbers, with `alpha`.
std::uint32_t RegionColour(int label, int alpha);

}  // namespace zx
