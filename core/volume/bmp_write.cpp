#include "core/volume/bmp_write.h"

#include <QImageWriter>
#include <QSaveFile>

#include "core/texts.h"
#include "core/volume/runtime_error.h"

namespace zx {

void SaveBmp24(const QImage& picture, const QString& path) {
    // The message names the file and, where Qt gives one, the reason
    // (a missing folder, no permission, a full disk).
    const auto fail = [&](const QString& reason) {
        QString text = QString::fromUtf8(texts::kCannotCreateFmt).arg(path);
        if (!reason.isEmpty()) text += QStringLiteral(": ") + reason;
        throw RuntimeError(text);
    };
    if (path.isEmpty()) fail(QString());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) fail(file.errorString());
    QImageWriter writer(&file, "BMP");
    if (!writer.write(picture.convertToFormat(QImage::Format_RGB888))) fail(writer.errorString());
    if (!file.commit()) fail(file.errorString());
}

}  // namespace zx
