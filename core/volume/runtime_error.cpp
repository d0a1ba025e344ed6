#include "core/volume/runtime_error.h"

#include <cerrno>

#include "core/texts.h"

namespace zx {

RuntimeError::RuntimeError(const QString& text)
    : std::runtime_error(text.toStdString()), text_(text) {}

QString IoErrorText(int err) {
    switch (err) {
        case ENOENT:
        case ENOTDIR:
            return QString::fromUtf8(texts::kFileNotFound);
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case ETXTBSY:
            return QString::fromUtf8(texts::kAccessDenied);
        case ENAMETOOLONG:
        case EINVAL:
            return QString::fromUtf8(texts::kInvalidFileName);
        case EMFILE:
        case ENFILE:
            return QString::fromUtf8(texts::kTooManyOpenFiles);
        case ENOSPC:
            return QString::fromUtf8(texts::kDiskFull);
        default:
            return QString::fromUtf8(texts::kIoErrorFmt).arg(err);
    }
}

void RaiseIoError(int err) { throw RuntimeError(IoErrorText(err)); }

int StrToInt(const QString& text) {
    bool ok = false;
    // Plain decimal with an optional sign; no blanks, no hexadecimal.
    const QString t = text;
    bool wellFormed = !t.isEmpty();
    for (int i = 0; i < t.size() && wellFormed; ++i) {
        const QChar c = t[i];
        if (c.isDigit() && c.unicode() < 128) continue;
        if (i == 0 && (c == u'+' || c == u'-') && t.size() > 1) continue;
        wellFormed = false;
    }
    int v = wellFormed ? t.toInt(&ok, 10) : 0;
    if (!ok) throw RuntimeError(QString::fromUtf8(texts::kNotAnIntegerFmt).arg(text));
    return v;
}

QString ErrorBoxText(const QString& message) {
    if (!message.isEmpty()) {
        const QChar last = message.back();
        if (last.isLetterOrNumber()) return message + u'.';
    }
    return message;
}

}  // namespace zx
