// Writing pictures as 24-bit BMP files.
#pragma once

#include <QImage>
#include <QString>

namespace zx {

/// Writes `picture` with 24 bits per pixel to `path`, replacing an existing
/// file only once the whole file was written. A file that cannot be
/// written throws RuntimeError "Datei <path> kann nicht erstellt werden:
/// <reason>", the reason as Qt tells it.
void SaveBmp24(const QImage& picture, const QString& path);

}  // namespace zx
