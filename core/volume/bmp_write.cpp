#include "core/volume/bmp_write.h"

#include <QSaveFile>

#include "core/texts.h"
#include "core/volume/runtime_error.h"

namespace zx {

void SaveBmp24(const QImage& picture, const QString& path) {
    QSaveFile file(path);
    const bool ok = !path.isEmpty() && file.open(QIODevice::WriteOnly) &&
                    picture.convertToFormat(QImage::Format_RGB888).save(&file, "BMP") &&
                    file.commit();
    if (!ok) throw RuntimeError(QString::fromUtf8(texts::kCannotCreateFmt).arg(path));
}

}  // namespace zx
