// The names of the files beside a volume file, for the viewer's QString
// paths: the same rule, through UTF-8 (the dots and slashes it looks for
// are the same characters in both).
#pragma once

#include <QString>

#include "base/file_names.h"

namespace zx {

inline QString ReplaceExtension(const QString& path, const QString& ext) {
    return QString::fromStdString(ReplaceExtension(path.toStdString(), ext.toStdString()));
}

}  // namespace zx
