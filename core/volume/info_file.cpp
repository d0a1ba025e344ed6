#include "core/volume/info_file.h"

#include <QFile>
#include <cstdlib>
#include <cstring>

#include "core/texts.h"
#include "core/volume/input_file.h"
#include "core/volume/runtime_error.h"

namespace zx {

namespace {
constexpr qint64 kMaxInfoFileBytes = 64 << 20;
constexpr int kMaxCommentLines = 100000;
}  // namespace

QByteArray ReadWholeFile(const QString& path, qint64 maxBytes) {
    const InputFile file(path);
    if (file.Size() > maxBytes) throw RuntimeError(QString::fromUtf8(texts::kFileTooLarge));
    QByteArray data(qsizetype(file.Size()), Qt::Uninitialized);
    data.resize(qsizetype(file.ReadAt(data.data(), std::size_t(data.size()), 0)));
    return data;
}

namespace {

std::uint32_t Le(const QByteArray& b, int at, int n) {
    std::uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = (v << 8) | std::uint8_t(b[at + i]);
    return v;
}

/// Uncompressed pixel data must be as long as the header says: Qt's reader
/// accepts a short file and leaves the missing rows undefined.
/// Run-length pixel data (8 or 4 bits) must set every pixel: Qt leaves the
/// pixels of rows cut short, skipped or never reached as the heap held them.
bool RunsCoverEveryPixel(const QByteArray& b, std::uint32_t offset, std::int64_t width,
                         std::int64_t height, bool fourBits) {
    std::int64_t x = 0, y = 0, p = offset;
    const std::int64_t size = b.size();
    while (y < height && p + 1 < size) {
        const int n = std::uint8_t(b.at(qsizetype(p))), c = std::uint8_t(b.at(qsizetype(p + 1)));
        p += 2;
        if (n > 0) {
            x += n;           // a run; pixels past the row's end are dropped
        } else if (c == 0) {  // end of line
            if (x < width) return false;
            x = 0;
            ++y;
        } else if (c == 1) {  // end of bitmap
            return (y == height - 1 && x >= width) || y == height;
        } else if (c == 2) {
            return false;  // a jump leaves pixels unset
        } else {           // c literal pixels, padded to a whole word
            const std::int64_t bytes = fourBits ? (c + 1) / 2 : c;
            p += bytes + (bytes & 1);
            if (p > size) return false;
            x += c;
        }
    }
    return y == height || (y == height - 1 && x >= width);
}

bool PixelDataComplete(const QByteArray& b) {
    if (b.size() < 26) return false;
    const std::uint32_t offset = Le(b, 10, 4), dib = Le(b, 14, 4);
    if (offset > std::uint32_t(b.size())) return false;
    std::int64_t width = 0, height = 0, bits = 0, compression = 0;
    if (dib == 12) {  // OS/2 core header
        width = Le(b, 18, 2), height = Le(b, 20, 2), bits = Le(b, 24, 2);
    } else if (dib == 40 || dib == 52 || dib == 56 || dib == 64 || dib == 108 || dib == 124) {
        if (b.size() < 34) return false;
        width = std::int32_t(Le(b, 18, 4)), height = std::int32_t(Le(b, 22, 4));
        bits = Le(b, 28, 2), compression = Le(b, 30, 4);
    } else {
        return false;  // no header of the published format
    }
    if (compression == 1 || compression == 2)
        return RunsCoverEveryPixel(b, offset, std::abs(width), std::abs(height), compression == 2);
    if (compression != 0 && compression != 3) return false;
    const std::int64_t rowBytes = ((std::abs(width) * bits + 31) / 32) * 4;
    const std::int64_t room = b.size() - std::int64_t(offset);
    return rowBytes == 0 || std::abs(height) <= room / rowBytes;
}

}  // namespace

QImage DecodeBmp(const QByteArray& bytes) {
    QImage img;
    if (!bytes.startsWith("BM") || !PixelDataComplete(bytes) || !img.loadFromData(bytes, "BMP") ||
        img.isNull()) {
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
    const QByteArray data = ReadWholeFile(path, kMaxInfoFileBytes);
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
    // Every line takes at least its length byte; more lines than the rest
    // of the file (or than any info file holds) is a damaged count.
    if (count > kMaxCommentLines || count > data.size()) return truncated();
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
