// The import window's image reader. BMP files go to Qt's bitmap reader;
// every other file is scanned byte by byte for the few DICOM elements the
// window needs (Rows, Columns, Pixel Data, and to refuse what it cannot
// show: Bits Allocated and the transfer syntax), its samples read as
// unsigned 16-bit values and mapped to grey through a centre/width window.
// No widgets: the window, zxconvert and the fuzz harnesses share it.
#pragma once

#include <QImage>
#include <QString>
#include <array>
#include <cstdint>

namespace zx {

/// Samples the buffer holds: 1024 × 1024 and one more.
inline constexpr int kPixBufSamples = 1048577;

/// The largest non-BMP file the reader opens: the largest image it shows
/// (the sample buffer, 2 MiB) plus 64 MiB for the header and whatever
/// precedes the Pixel Data element. Larger files are refused with
/// "Datei zu groß" before a byte is scanned.
inline constexpr qint64 kMaxDicomFileBytes = qint64(kPixBufSamples) * 2 + (qint64(64) << 20);

class TImageReader {
public:
    std::array<std::uint16_t, kPixBufSamples> PixBuf{};  ///< last image's samples, row by row
    QString TagText;             ///< element key at the scan position, e.g. "2800/1000"
    std::int32_t BytesRead = 0;  ///< bytes of the last block or sample read
    std::array<std::uint8_t, 1024> HeaderBuf{};  ///< the current header block
    bool IsDicom = false;           ///< the shown image is a DICOM image with pixel data
    std::int32_t PixelDataPos = 0;  ///< file offset of the first sample
    std::int32_t PixelDataLen = 0;  ///< length behind the Pixel Data tag (sign used only)
    std::uint16_t Columns = 512;    ///< image width in samples
    std::uint16_t Rows = 512;       ///< image height in samples
    std::int64_t MaxValue = 0;      ///< largest sample of the last image
    std::int64_t MeanValue = 0;     ///< mean sample of the last image
    std::int32_t WinCenter = 100;   ///< window centre c
    std::int32_t WinWidth = 200;    ///< window width w
    std::int32_t WinLow = 0;        ///< lowest sample of the window
    std::int32_t WinRange = 0;      ///< sample units spread over the 256 grey levels
    int BitsAllocated = 16;         ///< 8-bit samples are widened when read
    QString TransferSyntax;         ///< from the file meta header, when present
    int SamplesPerPixel = 1;        ///< more than 1: a colour image, refused
    QString Photometric;            ///< Photometric Interpretation, when found

    /// ".BMP" in any letter case: the file goes to the bitmap reader.
    static bool IsBmpName(const QString& path);

    /// Scans `path` for the elements; a Rows match sets `caption` to "Rows: "
    /// and the value, a Columns match appends " Columns: " and the value. On
    /// a Pixel Data match the samples are read (ReadImgFromFile). Throws
    /// RuntimeError for files it cannot open or read, images larger than the
    /// buffer, files larger than kMaxDicomFileBytes ("Datei zu groß"),
    /// compressed or big-endian pixel data, colour images (RGB, YBR,
    /// palette, more than one sample a pixel) and samples of other than 8
    /// or 16 bits allocated, each with a German message naming the reason; the previous Rows,
    /// Columns, samples and caption then stay, and IsDicom is false.
    void OpenAFile(const QString& path, QString& caption);

    /// Reads the samples from PixelDataPos to the end of the file or of
    /// PixBuf, then the window bounds and the statistics.
    void ReadImgFromFile(const QString& path);

    /// WinLow and WinRange from WinCenter and WinWidth.
    void CalcWindow();

    /// The samples through the window as a grey picture of Columns × Rows
    /// (null when either is 0).
    QImage CopyBufToPic() const;

    /// The automatic window from the statistics (only while IsDicom).
    void AutoWindow();

    /// Grey value of sample s through the current window.
    std::uint8_t Grey(std::uint16_t s) const;

private:
    // Grey values of all 65,536 sample values for the window (lutLow_,
    // lutRange_): a stack of images under one window computes them once.
    mutable std::array<std::uint8_t, 65536> lut_{};
    mutable std::int64_t lutLow_ = -1, lutRange_ = -1;
};

}  // namespace zx
