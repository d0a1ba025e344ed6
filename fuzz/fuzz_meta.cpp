// The volume's companion file: what it says is unknown (0) or a voxel edge
// the converter would accept, and written out and read back it says the
// same.
#include <QFile>
#include <cmath>

#include "base/volume_geometry.h"
#include "core/volume/volume_meta.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const zxfuzz::InputFile in(data, size, ".zxm");
    QString volume = in.Path();
    volume.chop(4);
    volume += QStringLiteral(".vmr");
    const zx::VolumeMeta meta = zx::ReadVolumeMeta(volume);
    zxfuzz::Check(meta.edgeMm == 0 || zx::PlausibleEdgeMm(meta.edgeMm));
    if (meta.edgeMm == 0) return 0;
    const QString again = volume + QStringLiteral("-again.vmr");
    zx::WriteVolumeMeta(again, meta);
    const double back = zx::ReadVolumeMeta(again).edgeMm;
    QFile::remove(zx::MetaFileFor(again));
    zxfuzz::Check(std::fabs(back - meta.edgeMm) <= 1e-9 * meta.edgeMm);
    return 0;
}
