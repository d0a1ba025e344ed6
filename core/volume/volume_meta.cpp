#include "core/volume/volume_meta.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cmath>

#include "base/volume_geometry.h"
#include "core/volume/file_names.h"
#include "core/volume/runtime_error.h"

namespace zx {

QString MetaFileFor(const QString& volumePath) {
    return ReplaceExtension(volumePath, QStringLiteral(".zxm"));
}

VolumeMeta ReadVolumeMeta(const QString& volumePath) {
    VolumeMeta meta;
    QFile f(MetaFileFor(volumePath));
    const QFileInfo fi(f.fileName());
    // A few lines of text at most: anything else is not ours.
    if (!fi.isFile() || fi.size() > 4096 || !f.open(QIODevice::ReadOnly)) return meta;
    for (const QByteArray& raw : f.readAll().split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith("source_format:")) {
            meta.sourceFormat = QString::fromUtf8(line.mid(14).trimmed()).left(64);
            continue;
        }
        if (!line.startsWith("edge_mm:")) continue;
        bool ok = false;
        const double e = line.mid(8).trimmed().toDouble(&ok);
        if (ok && PlausibleEdgeMm(e)) meta.edgeMm = e;  // NaN and subnormals too
    }
    return meta;
}

void WriteVolumeMeta(const QString& volumePath, const VolumeMeta& meta) {
    const QString path = MetaFileFor(volumePath);
    if (!(meta.edgeMm > 0) && meta.sourceFormat.isEmpty()) {
        QFile::remove(path);
        return;
    }
    // The companion is replaced as the volume beside it is: a link at its
    // name goes, and the file it pointed to is left alone (QSaveFile would
    // write through the link).
    if (QFileInfo(path).isSymLink() && !QFile::remove(path)) RaiseIoError(EACCES);
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) RaiseIoError(EACCES);
    QByteArray text = "# Zerebrix-MR\n";
    if (meta.edgeMm > 0) text += "edge_mm: " + QByteArray::number(meta.edgeMm, 'g', 10) + '\n';
    // One line of text: a line break in the name would start another key.
    QString format = meta.sourceFormat;
    format.replace(u'\n', u' ').replace(u'\r', u' ');
    if (!format.isEmpty()) text += "source_format: " + format.toUtf8() + '\n';
    f.write(text);
    if (!f.commit()) RaiseIoError(EIO);
}

}  // namespace zx
