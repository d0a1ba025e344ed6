#include "teach/atlas.h"

#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <cstdlib>

#include "core/volume/file_names.h"
#include "core/volume/runtime_error.h"
#include "core/volume/vmr_file.h"
#include "core/volume/volume.h"

static void InitTeachResources() { Q_INIT_RESOURCE(teach); }

namespace zx {

namespace {

/// The names table: atlas key, label, the atlas's own name, German name.
const QList<QStringList>& NameRows() {
    static const QList<QStringList> rows = [] {
        InitTeachResources();
        QList<QStringList> r;
        QFile f(QStringLiteral(":/zerebrix/atlas_names.tsv"));
        if (!f.open(QIODevice::ReadOnly)) return r;
        for (const QByteArray& line : f.readAll().split('\n')) {
            if (line.isEmpty() || line.startsWith('#')) continue;
            const QStringList cells = QString::fromUtf8(line).split(u'\t');
            if (cells.size() == 4) r << cells;
        }
        return r;
    }();
    return rows;
}

}  // namespace

QString LabelFileFor(const QString& volumeFile, const char* key) {
    return ReplaceExtension(volumeFile, u'.' + QString::fromLatin1(key) + QStringLiteral(".vmr"));
}

bool AtlasSet::Load(const QString& volumeFile) {
    atlases_.clear();
    if (volumeFile.isEmpty()) return false;
    for (const AtlasKind& kind : kAtlases) {
        const QString file = LabelFileFor(volumeFile, kind.key);
        if (!QFileInfo(file).isFile()) continue;
        Atlas a{kind, std::vector<std::uint8_t>(kVolumeBytes, 0), {}};
        try {
            ReadVmr(file, a.labels.data());
        } catch (const RuntimeError&) {
            continue;  // an unreadable label volume: that atlas is absent
        }
        for (const QStringList& row : NameRows()) {
            const int label = row[1].toInt();
            if (row[0] == QLatin1String(kind.key) && label > 0 && label < 256)
                a.names[std::size_t(label)] = row[3];
        }
        atlases_.push_back(std::move(a));
    }
    return !atlases_.empty();
}

std::uint8_t AtlasSet::Label(int i, int x, int y, int z) const {
    return atlases_[std::size_t(i)].labels[VoxelIndex(x, y, z)];
}

QString AtlasSet::Name(int i, int label) const {
    if (label <= 0 || label > 255) return QStringLiteral("—");
    const QString& n = atlases_[std::size_t(i)].names[std::size_t(label)];
    return n.isEmpty() ? QStringLiteral("Region %1").arg(label) : n;
}

QString AtlasSet::Line(int i, int x, int y, int z) const {
    return Title(i) + QStringLiteral(": ") + Name(i, Label(i, x, y, z));
}

HeadPrint PrintOfHead(const std::uint8_t* voxels, int planes, double edgeMm) {
    constexpr int kBlocks = kEdge / 16;
    std::vector<std::uint32_t> sums(std::size_t(kBlocks) * kBlocks * kBlocks, 0);
    for (int x = 0; x < kEdge; ++x)
        for (int z = 0; z < kEdge; ++z) {
            const std::uint8_t* row = voxels + VoxelIndex(x, 0, z);
            std::uint32_t* block = sums.data() + std::size_t((x / 16) * kBlocks + z / 16) * kBlocks;
            // Sixteen bytes a block: a fixed inner loop that vectorises.
            for (int b = 0; b < kBlocks; ++b) {
                std::uint32_t sum = 0;
                for (int y = 0; y < 16; ++y) sum += row[16 * b + y];
                block[b] += sum;
            }
        }
    HeadPrint p;
    p.planes = planes;
    p.edgeMm = edgeMm;
    p.means.resize(qsizetype(sums.size()));
    for (std::size_t i = 0; i < sums.size(); ++i)
        p.means[qsizetype(i)] = char((sums[i] + 2048) / 4096);
    return p;
}

bool SameHead(const HeadPrint& a, const HeadPrint& b) {
    if (a.planes != b.planes || std::fabs(a.edgeMm - b.edgeMm) > 1e-4) return false;
    if (a.means.size() != b.means.size() || a.means.isEmpty()) return false;
    long difference = 0;
    for (qsizetype i = 0; i < a.means.size(); ++i)
        difference += std::abs(int(std::uint8_t(a.means[i])) - int(std::uint8_t(b.means[i])));
    return double(difference) / double(a.means.size()) <= 1.5;
}

std::uint32_t RegionColour(int label, int alpha) {
    // Hues spread by the golden angle: neighbouring numbers differ clearly.
    const double hue = std::fmod(label * 137.50776, 360.0);
    const double s = 0.75, v = 0.95, c = v * s;
    const double h = hue / 60.0, xpart = c * (1 - std::fabs(std::fmod(h, 2.0) - 1));
    double r = 0, g = 0, b = 0;
    switch (int(h)) {
        case 0:
            r = c, g = xpart;
            break;
        case 1:
            r = xpart, g = c;
            break;
        case 2:
            g = c, b = xpart;
            break;
        case 3:
            g = xpart, b = c;
            break;
        case 4:
            r = xpart, b = c;
            break;
        default:
            r = c, b = xpart;
            break;
    }
    const double m = v - c;
    auto byte = [&](double u) { return std::uint32_t(std::lround((u + m) * 255)); };
    return (std::uint32_t(alpha) << 24) | (byte(r) << 16) | (byte(g) << 8) | byte(b);
}

}  // namespace zx
