#include "core/export/output_check.h"

#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>

namespace zx {

bool SameFile(const QString& a, const QString& b) {
    if (QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath()) return true;
    struct stat sa {
    }, sb{};
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

QString OutputAmongInputs(const QStringList& outputs, const QStringList& inputs) {
    for (const QString& in : inputs) {
        if (in.isEmpty()) continue;
        for (const QString& out : outputs)
            if (SameFile(out, in)) return out;
    }
    return {};
}

QString OutputIsInputText(const QString& output) {
    return QStringLiteral("Die Ausgabe %1 würde eine der gelesenen Dateien überschreiben.")
        .arg(output);
}

}  // namespace zx
