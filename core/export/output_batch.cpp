#include "core/export/output_batch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cstdio>

#include "core/texts.h"
#include "core/volume/runtime_error.h"

namespace zx {
namespace {

[[noreturn]] void CannotCreate(const QString& path) {
    throw RuntimeError(QString::fromUtf8(texts::kCannotCreateFmt).arg(path));
}

QByteArray Native(const QString& path) { return QFile::encodeName(path); }

/// A free name for a hidden file beside `path`.
QString HiddenBeside(const QString& path, const char* kind) {
    const QFileInfo info(path);
    QTemporaryFile probe(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                         QLatin1String(kind) + QStringLiteral("XXXXXX"));
    if (!probe.open()) return {};
    return probe.fileName();  // removed again when `probe` ends; only the name is used
}

}  // namespace

PictureBatch::~PictureBatch() {
    if (committed_) return;
    for (const Entry& e : entries_) ::unlink(Native(e.temp).constData());
}

void PictureBatch::Add(const QImage& picture, const QString& path) {
    if (path.isEmpty()) CannotCreate(path);
    const QFileInfo info(path);
    QTemporaryFile file(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                        QStringLiteral(".neu-XXXXXX"));
    file.setAutoRemove(false);
    if (!file.open()) CannotCreate(path);
    const QString temp = file.fileName();
    const bool ok = picture.convertToFormat(QImage::Format_RGB888).save(&file, "BMP") &&
                    file.flush() && ::fsync(file.handle()) == 0;
    file.close();
    if (!ok || file.error() != QFileDevice::NoError) {
        ::unlink(Native(temp).constData());
        CannotCreate(path);
    }
    entries_.push_back({path, temp, {}});
}

void PictureBatch::Commit() {
    for (Entry& e : entries_) {
        const QByteArray path = Native(e.path);
        struct stat st {};
        if (::lstat(path.constData(), &st) == 0) {
            // An existing file is kept under a hidden name until all are done.
            e.backup = S_ISDIR(st.st_mode) ? QString() : HiddenBeside(e.path, ".alt-");
            if (e.backup.isEmpty() ||
                (::link(path.constData(), Native(e.backup).constData()) != 0 &&
                 ::rename(path.constData(), Native(e.backup).constData()) != 0)) {
                e.backup.clear();
                RollBack();
                CannotCreate(e.path);
            }
        }
        if (::rename(Native(e.temp).constData(), path.constData()) != 0) {
            RollBack();
            CannotCreate(e.path);
        }
        e.moved = true;
    }
    committed_ = true;
    for (const Entry& e : entries_)
        if (!e.backup.isEmpty()) ::unlink(Native(e.backup).constData());
}

void PictureBatch::RollBack() {
    for (Entry& e : entries_) {
        const QByteArray path = Native(e.path);
        if (e.moved && e.backup.isEmpty()) ::unlink(path.constData());
        if (!e.backup.isEmpty()) ::rename(Native(e.backup).constData(), path.constData());
        if (!e.moved) ::unlink(Native(e.temp).constData());
        e.moved = false;
        e.backup.clear();
    }
    committed_ = true;  // nothing left for the destructor
}

}  // namespace zx
