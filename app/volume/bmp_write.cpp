#include "app/volume/bmp_write.h"

#include <QSaveFile>

#include "app/texts.h"
#include "app/volume/runtime_error.h"

namespace zx {

void SaveBmp24(const QImage& picture, const QString& path) {
    QSaveFile file(path);
    const bool ok = !path.isEmpty() && file.open(QIODevice::WriteOnly) &&
                    picture.convertToFormat(QImage::Format_RGB888).save(&file, "BMP") &&
                    file.commit();
    if (!ok) throw RuntimeError(QString::fromUtf8(texts::kCannotCreateFmt).arg(path));
}

}  // namespace zx
