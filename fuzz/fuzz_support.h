// Shared by the fuzz harnesses: the readers take file names, so each input
// is written to a file in memory (/dev/shm) first.
#pragma once

#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdint>
#include <cstdlib>

namespace zxfuzz {

/// The input as a file; removed again when the object goes.
class InputFile {
public:
    InputFile(const std::uint8_t* data, std::size_t size, const char* suffix = "") {
        path_ =
            QStringLiteral("/dev/shm/zxfuzz-%1%2").arg(::getpid()).arg(QString::fromLatin1(suffix));
        QFile f(path_);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    ~InputFile() { QFile::remove(path_); }
    const QString& Path() const { return path_; }

private:
    QString path_;
};

/// Stops the run: a result that breaks what the reader promises.
inline void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace zxfuzz
