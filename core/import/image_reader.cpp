#include "core/import/image_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/texts.h"
#include "core/volume/input_file.h"
#include "core/volume/runtime_error.h"

namespace zx {

namespace {

constexpr std::size_t kPixBufBytes = std::size_t(kPixBufSamples) * 2;

std::uint16_t Le16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
std::int32_t Le32(const std::uint8_t* p) {
    return std::int32_t(std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) |
                        (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24));
}

QString Key(const std::uint8_t* p) {
    static const char hex[] = "0123456789ABCDEF";
    char k[9];
    for (int i = 0, j = 0; i < 4; ++i) {
        if (i == 2) k[j++] = '/';
        k[j++] = hex[p[i] >> 4];
        k[j++] = hex[p[i] & 15];
    }
    return QString::fromLatin1(k, 9);
}

bool Is(const std::uint8_t* p, std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    return p[0] == a && p[1] == b && p[2] == c && p[3] == d;
}

QString Utf8(const char* s) { return QString::fromUtf8(s); }

}  // namespace

bool TImageReader::IsBmpName(const QString& path) {
    const int slash = int(path.lastIndexOf(u'/'));
    const int dot = int(path.lastIndexOf(u'.'));
    return dot > slash && path.mid(dot).toUpper() == QLatin1String(".BMP");
}

namespace {

/// Where the scan stopped: the last block that held bytes, and the four
/// bytes at the last even position of the last block scanned.
struct ScanEnd {
    const std::uint8_t* block = nullptr;
    int n = 0;
    std::uint8_t key[4];
    bool haveKey = false;
};

/// Every even position of block `b` (`n` bytes at file offset `offset`) is
/// a possible element start, inside values too; an element whose bytes
/// cross the end of the block is not recognised.
void ScanBlock(TImageReader& r, const std::uint8_t* b, int n, qint64 offset, QString& caption,
               ScanEnd& end) {
    for (int p = 0; p + 3 < n; p += 2) {
        const std::uint8_t* e = b + p;
        switch (e[0]) {
            case 0x28:
                if (e[1] != 0x00 || p + 9 >= n) break;
                if (e[2] == 0x10 && e[3] == 0x00) {
                    r.Rows = Le16(e + 8);
                    caption = QStringLiteral("Rows: ") + QString::number(r.Rows);
                } else if (e[2] == 0x11 && e[3] == 0x00) {
                    r.Columns = Le16(e + 8);
                    caption += QStringLiteral(" Columns: ") + QString::number(r.Columns);
                } else if (e[2] == 0x00 && e[3] == 0x01) {
                    r.BitsAllocated = Le16(e + 8);
                } else if (e[2] == 0x02 && e[3] == 0x00) {
                    r.SamplesPerPixel = Le16(e + 8);
                } else if (e[2] == 0x04 && e[3] == 0x00) {
                    // Implicit VR: a 4-byte length; explicit: "CS" and 2 bytes.
                    const bool cs = e[4] == 'C' && e[5] == 'S';
                    const int len = cs ? Le16(e + 6) : Le32(e + 4);
                    if (len > 0 && len <= 16 && p + 8 + len <= n)
                        r.Photometric =
                            QString::fromLatin1(reinterpret_cast<const char*>(e + 8), len)
                                .trimmed()
                                .remove(QChar(0));
                }
                break;
            case 0x02:
                if (Is(e, 0x02, 0x00, 0x10, 0x00) && p + 7 < n && e[4] == 'U' && e[5] == 'I') {
                    const int len = Le16(e + 6);
                    if (p + 8 + len <= n) {
                        r.TransferSyntax =
                            QString::fromLatin1(reinterpret_cast<const char*>(e + 8), len);
                        while (r.TransferSyntax.endsWith(QChar(0)) ||
                               r.TransferSyntax.endsWith(u' '))
                            r.TransferSyntax.chop(1);
                    }
                }
                break;
            case 0xE0:
                if (Is(e, 0xE0, 0x7F, 0x10, 0x00) && p + 7 < n) {
                    // Explicit VR little endian puts "OW"/"OB", two reserved
                    // bytes and a 4-byte length behind the tag.
                    const bool explicitVr = (e[4] == 'O' && (e[5] == 'W' || e[5] == 'B'));
                    if (!explicitVr) {
                        r.PixelDataLen = Le32(e + 4);
                        r.PixelDataPos = std::int32_t(offset + p + 8);
                        r.IsDicom = true;
                    } else if (p + 11 < n) {
                        r.PixelDataLen = Le32(e + 8);
                        r.PixelDataPos = std::int32_t(offset + p + 12);
                        r.IsDicom = true;
                    }
                }
                break;
            default:
                break;
        }
    }
    if (n >= 4) {
        std::memcpy(end.key, b + ((n - 4) & ~1), 4);
        end.haveKey = true;
    }
    if (n > 0) {
        end.block = b;
        end.n = n;
    }
}

/// Blocks of 1024 bytes from offset 0 until the Pixel Data element or the
/// end of the file. The file is read 256 blocks at a time and the bytes
/// are compared directly; only the last position's key and the last block
/// are kept, in TagText and HeaderBuf.
void ScanFile(TImageReader& r, const InputFile& file, QString& caption) {
    constexpr std::size_t kBlock = 1024, kChunk = 256 * kBlock;
    std::vector<std::uint8_t> chunk(kChunk);
    ScanEnd end;
    for (qint64 offset = 0;;) {
        const std::size_t got = file.ReadAt(chunk.data(), kChunk, offset);
        std::size_t pos = 0;
        bool done = false;
        // A chunk shorter than asked for ends at the end of the file: its
        // blocks are followed by one that delivers nothing.
        while (pos < got || got < kChunk) {
            const int n = int(std::min(kBlock, got - pos));
            r.BytesRead = n;
            ScanBlock(r, chunk.data() + pos, n, offset + qint64(pos), caption, end);
            if (n == 0 || r.IsDicom) {
                done = true;
                break;
            }
            pos += std::size_t(n);
        }
        if (done) break;
        offset += qint64(got);
    }
    if (end.block) std::memcpy(r.HeaderBuf.data(), end.block, std::size_t(end.n));
    if (end.haveKey) r.TagText = Key(end.key);
}

/// What this reader cannot show is refused before a sample is read: the
/// previous rows, columns and caption come back, and the file counts as
/// no DICOM image.
void RefuseWhatCannotBeShown(TImageReader& r, std::uint16_t oldRows, std::uint16_t oldColumns,
                             const QString& oldCaption, QString& caption) {
    auto refuse = [&](const QString& text) {
        r.Rows = oldRows;
        r.Columns = oldColumns;
        caption = oldCaption;
        r.IsDicom = false;
        throw RuntimeError(text);
    };
    if (r.TransferSyntax == QLatin1String("1.2.840.10008.1.2.2"))
        refuse(Utf8(texts::kDicomBigEndian));
    const bool plain = r.TransferSyntax.isEmpty() ||
                       r.TransferSyntax == QLatin1String("1.2.840.10008.1.2") ||
                       r.TransferSyntax == QLatin1String("1.2.840.10008.1.2.1");
    if (!plain || (r.IsDicom && r.PixelDataLen == -1)) refuse(Utf8(texts::kDicomCompressed));
    // Colour samples or samples of other widths would be read as 16-bit
    // greys and shown striped or scrambled.
    const bool grey =
        r.Photometric.isEmpty() || r.Photometric.startsWith(QLatin1String("MONOCHROME"));
    if (r.SamplesPerPixel != 1 || !grey)
        refuse(Utf8(texts::kDicomColourFmt)
                   .arg(r.Photometric.isEmpty() ? QString::number(r.SamplesPerPixel) +
                                                      QStringLiteral(" Werte je Bildpunkt")
                                                : r.Photometric));
    if (r.BitsAllocated != 8 && r.BitsAllocated != 16)
        refuse(Utf8(texts::kDicomBitsFmt).arg(r.BitsAllocated));
    // Also without pixel data: the old samples would be drawn at this size.
    if (std::int64_t(r.Rows) * r.Columns > kPixBufSamples) {
        refuse(Utf8(texts::kDicomTooLargeFmt).arg(r.Columns).arg(r.Rows));
    }
}

}  // namespace

void TImageReader::OpenAFile(const QString& path, QString& caption) {
    const InputFile file(path);
    // Nothing this reader shows needs more than its sample buffer plus a
    // header; a larger file would only keep the window busy scanning.
    if (file.Size() > kMaxDicomFileBytes) {
        throw RuntimeError(Utf8(texts::kFileTooLarge) + QStringLiteral(": ") + path);
    }
    const std::uint16_t oldRows = Rows, oldColumns = Columns;
    const QString oldCaption = caption;
    PixelDataLen = 0;
    PixelDataPos = 0;
    IsDicom = false;
    BitsAllocated = 16;
    SamplesPerPixel = 1;
    Photometric.clear();
    TransferSyntax.clear();
    ScanFile(*this, file, caption);
    RefuseWhatCannotBeShown(*this, oldRows, oldColumns, oldCaption, caption);
    if (!IsDicom) return;
    ReadImgFromFile(path);
}

void TImageReader::ReadImgFromFile(const QString& path) {
    if (PixelDataLen <= 0) return;
    const InputFile file(path);
    auto* bytes = reinterpret_cast<std::uint8_t*>(PixBuf.data());
    if (BitsAllocated == 8) {
        // One byte a sample: read into the upper half of the buffer, then
        // widen from the front; sample i never overwrites an unread byte.
        constexpr std::size_t half = kPixBufBytes - kPixBufSamples;
        const std::size_t m = file.ReadAt(bytes + half, kPixBufSamples, PixelDataPos);
        for (std::size_t i = 0; i < m; ++i) PixBuf[i] = bytes[half + i];
        BytesRead = std::int32_t(2 * m);
    } else {
        std::size_t m = file.ReadAt(bytes, kPixBufBytes, PixelDataPos);
        BytesRead = std::int32_t(m);
    }
    CalcWindow();
    // Statistics over the first ((BytesRead − 1) div 2) − 6 samples, the
    // mean divided by all samples read.
    const int n = (BytesRead - 1) / 2 - 6;
    std::int64_t sum = 0, max = 0;
    for (int i = 0; i < n; ++i) {
        sum += PixBuf[std::size_t(i)];
        max = std::max<std::int64_t>(max, PixBuf[std::size_t(i)]);
    }
    MaxValue = max;
    const int samples = BytesRead / 2;
    MeanValue = samples > 0 ? sum / samples : 0;
}

void TImageReader::CalcWindow() {
    const std::int32_t h = WinWidth / 2;
    WinLow = WinCenter - h;
    if (WinLow < 0) WinLow = 0;
    WinRange = h > WinCenter ? h + WinCenter : WinWidth;
}

std::uint8_t TImageReader::Grey(std::uint16_t s) const {
    // A range of 0 (width 0, or no window yet) counts as 1.
    const double range = WinRange == 0 ? 1.0 : double(WinRange);
    const double g = 256.0 * (double(s) - double(WinLow)) / range;
    if (g > 255.0) return 255;
    if (!(g >= 0.0)) return 0;
    return std::uint8_t(std::nearbyint(g));
}

QImage TImageReader::CopyBufToPic() const {
    if (Rows == 0 || Columns == 0) return {};
    if (lutLow_ != WinLow || lutRange_ != WinRange) {
        for (int s = 0; s < 65536; ++s) lut_[std::size_t(s)] = Grey(std::uint16_t(s));
        lutLow_ = WinLow;
        lutRange_ = WinRange;
    }
    // 32 bits a pixel in memory (what the window and the preview draw
    // fastest); the saves write 24-bit files.
    QImage img(Columns, Rows, QImage::Format_RGB32);
    const std::size_t fit = std::min<std::size_t>(std::size_t(Rows) * Columns, kPixBufSamples);
    const int columns = Columns;
    for (int r = 0; r < Rows; ++r) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(r));
        const std::size_t first = std::size_t(r) * std::size_t(columns);
        for (int k = 0; k < columns; ++k) {
            const std::size_t i = first + std::size_t(k);
            const std::uint8_t g = i < fit ? lut_[PixBuf[i]] : 0;
            row[k] = 0xff000000u | (QRgb(g) * 0x010101u);
        }
    }
    return img;
}

void TImageReader::AutoWindow() {
    if (!IsDicom) return;
    const double third = double(MaxValue - MeanValue) / 3.0;
    WinCenter = std::int32_t(MeanValue + std::int64_t(std::nearbyint(third)));
    WinWidth = std::int32_t(MaxValue + MeanValue - WinCenter);
    CalcWindow();
}

}  // namespace zx
