// Atlas labels: the input is the atlas (plain or gzip NIfTI), read with its
// values and put on the grid of a small fixed head. A label volume or a
// ConvertError; nothing beyond the head's planes is labelled. Small atlases
// are also read by the plain whole-file reader of nifti_reference.h: the
// atlas reader refuses what it refuses, and otherwise gives the same
// sizes, samples and scaled values.
#include <QFile>
#include <cstring>

#include "convert/labels.h"
#include "fuzz_support.h"
#include "nifti_reference.h"

namespace {

/// A 12 × 10 × 8 uint8 head of 1.5 mm voxels, centred on the origin.
std::string Head() {
    static const std::string path = [] {
        QByteArray h(352, '\0');
        auto put16 = [&](int at, int v) {
            const std::int16_t x = std::int16_t(v);
            std::memcpy(h.data() + at, &x, 2);
        };
        auto putF = [&](int at, float v) { std::memcpy(h.data() + at, &v, 4); };
        const std::int32_t size = 348;
        std::memcpy(h.data(), &size, 4);
        const int dims[8] = {3, 12, 10, 8, 1, 1, 1, 1};
        for (int i = 0; i < 8; ++i) put16(40 + 2 * i, dims[i]);
        put16(70, 2);
        put16(72, 8);
        for (int i = 0; i < 4; ++i) putF(76 + 4 * i, i == 0 ? 1.0f : 1.5f);
        putF(108, 352.0f);
        put16(254, 1);
        const float srow[3][4] = {{1.5f, 0, 0, -9}, {0, 1.5f, 0, -7.5f}, {0, 0, 1.5f, -6}};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c) putF(280 + 16 * r + 4 * c, srow[r][c]);
        std::memcpy(h.data() + 344, "n+1\0", 4);
        for (int i = 0; i < 12 * 10 * 8; ++i) h.append(char(i % 200));
        const std::string p = "/dev/shm/zxfuzz-head-" + std::to_string(::getpid()) + ".nii";
        QFile f(QString::fromStdString(p));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
        f.write(h);
        return p;
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const zxfuzz::InputFile in(data, size, ".nii");
    try {
        const zx::ConvertedVolume v = zx::ConvertLabels(in.Path().toStdString(), Head());
        zxfuzz::Check(v.planes >= 1 && v.planes <= 256 && v.voxels.size() == 16777216u);
        for (std::size_t i = std::size_t(v.planes) * 65536; i < v.voxels.size(); i += 4099)
            zxfuzz::Check(v.voxels[i] == 0);
    } catch (const zx::ConvertError&) {
    }

    zxref::Nifti ref;
    const zxref::Verdict verdict = zxref::Read(data, size, 64 * 1024, ref);
    if (verdict == zxref::Verdict::TooLarge) return 0;
    try {
        const zx::NiftiImage atlas = zx::ReadNiftiImage(in.Path().toStdString(), true);
        zxfuzz::Check(verdict == zxref::Verdict::Image && atlas.datatype == ref.datatype &&
                      atlas.raw == ref.samples);
        for (int a = 0; a < 3; ++a) zxfuzz::Check(atlas.dims[a] == ref.n[a]);
        for (std::size_t i = 0; i * std::size_t(ref.width) < ref.samples.size(); ++i) {
            const double p = atlas.Value(i), r = ref.Value(i);
            zxfuzz::Check(std::memcmp(&p, &r, sizeof p) == 0);
        }
    } catch (const zx::ConvertError&) {
        zxfuzz::Check(verdict == zxref::Verdict::Refused);
    }
    return 0;
}
