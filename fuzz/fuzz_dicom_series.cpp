// The DICOM series reader: a folder holding the input twice, at two slice
// positions as far as the input gives them, yields a volume or a
// ConvertError.
#include <unistd.h>

#include <QDir>

#include "convert/dicom_series.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QString folder = QStringLiteral("/dev/shm/zxfuzz-series-%1").arg(::getpid());
    QDir().mkpath(folder);
    for (const char* name : {"/a.dcm", "/b.dcm"}) {
        QFile f(folder + QString::fromLatin1(name));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    try {
        const zx::NiftiVolume v = zx::ConvertDicomSeries(folder.toStdString());
        zxfuzz::Check(v.planes >= 1 && v.planes <= 256);
    } catch (const zx::ConvertError&) {
    }
    return 0;
}
