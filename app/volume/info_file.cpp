#include "app/volume/info_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>

#include "app/texts.h"
#include "app/volume/runtime_error.h"

namespace zx {

QByteArray ReadWholeFile(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty()) RaiseIoError(ENOENT);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) RaiseIoError(errno);
    QByteArray data;
    char buf[65536];
    for (;;) {
        const ssize_t m = ::read(fd, buf, sizeof buf);
        if (m < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            ::close(fd);
            RaiseIoError(err);
        }
        if (m == 0) break;
        data.append(buf, m);
    }
    ::close(fd);
    return data;
}

QImage DecodeBmp(const QByteArray& bytes) {
    QImage img;
    if (!bytes.startsWith("BM") || !img.loadFromData(bytes, "BMP") || img.isNull()) {
        throw RuntimeError(QString::fromUtf8(texts::kInvalidBitmap));
    }
    return img;
}

namespace {

/// Sequential reader over the file's bytes that notices a premature end.
class Cursor {
public:
    explicit Cursor(const QByteArray& d) : data_(d) {}
    bool Bytes(int n, QByteArray& out) {
        if (n < 0 || pos_ + n > data_.size()) return false;
        out = data_.mid(pos_, n);
        pos_ += n;
        return true;
    }
    bool Int32(int& v) {
        QByteArray b;
        if (!Bytes(4, b)) return false;
        std::uint32_t u = std::uint8_t(b[0]) | std::uint32_t(std::uint8_t(b[1])) << 8 |
                          std::uint32_t(std::uint8_t(b[2])) << 16 |
                          std::uint32_t(std::uint8_t(b[3])) << 24;
        std::memcpy(&v, &u, 4);
        return true;
    }
    bool ShortString(QString& s) {
        QByteArray len, text;
        if (!Bytes(1, len) || !Bytes(std::uint8_t(len[0]), text)) return false;
        s = QString::fromLatin1(text);
        return true;
    }
    QByteArray Rest() const { return data_.mid(pos_); }

private:
    const QByteArray& data_;
    qsizetype pos_ = 0;
};

}  // namespace

InfoFile ReadInfoFile(const QString& path) {
    const QByteArray data = ReadWholeFile(path);
    Cursor in(data);
    InfoFile info;
    auto truncated = [&info] {
        info.stop = InfoFile::Stop::Truncated;
        return info;
    };
    QByteArray id;
    if (!in.Bytes(6, id)) {
        // Too short even for the identifier: it cannot be an info file.
        if (!data.startsWith("ZX")) throw RuntimeError(QString::fromUtf8(texts::kInfoWrongId));
        return truncated();
    }
    if (!id.startsWith("ZX")) throw RuntimeError(QString::fromUtf8(texts::kInfoWrongId));
    QString title, tag;
    if (!in.ShortString(title) || !in.ShortString(tag)) return truncated();
    if (tag != QLatin1String("#Comments")) {
        info.stop = InfoFile::Stop::NoComments;
        return info;
    }
    int count = 0;
    if (!in.Int32(count)) return truncated();
    info.commentsTagRead = true;
    for (int i = 0; i < count; ++i) {
        QString line;
        if (!in.ShortString(line)) return truncated();
        info.comments << line;
    }
    if (!in.ShortString(tag)) return truncated();
    if (tag != QLatin1String("#Bitmaps")) {
        info.stop = InfoFile::Stop::NoBitmaps;
        return info;
    }
    if (!in.Int32(info.pictureCount)) return truncated();
    if (info.pictureCount >= 1) {
        const QByteArray rest = in.Rest();
        if (rest.isEmpty()) return truncated();
        try {
            info.picture = DecodeBmp(rest);
        } catch (const RuntimeError&) {
            info.pictureInvalid = true;
            return info;
        }
    }
    info.bitmapsTagRead = true;
    return info;
}

}  // namespace zx
