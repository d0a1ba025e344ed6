// DICOM files built byte by byte: a preamble, a file meta header with the
// transfer syntax, Rows, Columns, Bits Allocated and Pixel Data, in the
// implicit or explicit little-endian layout.
#pragma once

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace zxtest {

struct DicomFields {
    int rows = 256, columns = 256;
    bool explicitVr = false;
    int bitsAllocated = 16;
    QByteArray transferSyntax;      ///< empty: no meta header at all
    std::int32_t pixelLength = -2;  ///< -2: the length of the samples
};

inline void PutLe(QByteArray& b, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.append(char((v >> (8 * i)) & 0xff));
}

/// One element (group, element) with a value, in the chosen layout.
inline QByteArray Element(int group, int element, const char* vr, const QByteArray& value,
                          bool explicitVr) {
    QByteArray b;
    PutLe(b, std::uint32_t(group), 2);
    PutLe(b, std::uint32_t(element), 2);
    if (explicitVr) {
        b.append(vr, 2);
        PutLe(b, std::uint32_t(value.size()), 2);
    } else {
        PutLe(b, std::uint32_t(value.size()), 4);
    }
    return b + value;
}

inline QByteArray U16(int v) {
    QByteArray b;
    PutLe(b, std::uint32_t(v), 2);
    return b;
}

/// A whole file; `samples` are written as 16-bit (or 8-bit) values.
inline QByteArray DicomFile(const DicomFields& s, const std::vector<std::uint16_t>& samples) {
    QByteArray f(128, '\0');
    f += "DICM";
    if (!s.transferSyntax.isEmpty()) {
        QByteArray uid = s.transferSyntax;
        if (uid.size() % 2) uid.append('\0');
        f += Element(0x0002, 0x0010, "UI", uid, true);
    }
    f += Element(0x0028, 0x0010, "US", U16(s.rows), s.explicitVr);
    f += Element(0x0028, 0x0011, "US", U16(s.columns), s.explicitVr);
    f += Element(0x0028, 0x0100, "US", U16(s.bitsAllocated), s.explicitVr);
    QByteArray pixels;
    for (std::uint16_t v : samples) PutLe(pixels, v, s.bitsAllocated == 8 ? 1 : 2);
    const std::uint32_t len =
        s.pixelLength == -2 ? std::uint32_t(pixels.size()) : std::uint32_t(s.pixelLength);
    PutLe(f, 0x7FE0, 2);
    PutLe(f, 0x0010, 2);
    if (s.explicitVr) {
        f += s.bitsAllocated == 8 ? "OB" : "OW";
        PutLe(f, 0, 2);
    }
    PutLe(f, len, 4);
    return f + pixels;
}

/// A text value padded to even length, as DICOM stores it.
inline QByteArray Text(const char* text, char pad = ' ') {
    QByteArray b(text);
    if (b.size() % 2) b.append(pad);
    return b;
}

/// One axial CT slice of a series, explicit little endian with a full file
/// meta header: `rows` × `columns` 16-bit samples at the height `zMm`
/// (image position 0\\0\\zMm, rows along x, columns along y).
inline QByteArray AxialSlice(int rows, int columns, double zMm,
                             const std::vector<std::uint16_t>& samples) {
    const char* ct = "1.2.840.10008.5.1.4.1.1.2";
    QByteArray meta;  // version 00 01: OB, two reserved bytes, a 4-byte length
    PutLe(meta, 0x0002, 2), PutLe(meta, 0x0001, 2), meta += "OB", PutLe(meta, 0, 2);
    PutLe(meta, 2, 4), meta += QByteArray("\0\1", 2);
    meta += Element(0x0002, 0x0002, "UI", Text(ct, '\0'), true);
    meta += Element(0x0002, 0x0003, "UI", Text("1.2.3.4.5.6", '\0'), true);
    meta += Element(0x0002, 0x0010, "UI", Text("1.2.840.10008.1.2.1", '\0'), true);
    QByteArray f(128, '\0');
    f += "DICM";
    QByteArray length;
    PutLe(length, std::uint32_t(meta.size()), 4);
    f += Element(0x0002, 0x0000, "UL", length, true) + meta;
    f += Element(0x0008, 0x0016, "UI", Text(ct, '\0'), true);
    f += Element(0x0008, 0x0060, "CS", Text("CT"), true);
    f += Element(0x0020, 0x000E, "UI", Text("1.2.3.4", '\0'), true);
    f += Element(0x0020, 0x0032, "DS",
                 Text(QByteArray("0\\0\\" + QByteArray::number(zMm)).constData()), true);
    f += Element(0x0020, 0x0037, "DS", Text("1\\0\\0\\0\\1\\0"), true);
    f += Element(0x0028, 0x0002, "US", U16(1), true);
    f += Element(0x0028, 0x0004, "CS", Text("MONOCHROME2"), true);
    f += Element(0x0028, 0x0010, "US", U16(rows), true);
    f += Element(0x0028, 0x0011, "US", U16(columns), true);
    f += Element(0x0028, 0x0030, "DS", Text("1\\1"), true);
    f += Element(0x0028, 0x0100, "US", U16(16), true);
    f += Element(0x0028, 0x0101, "US", U16(16), true);
    f += Element(0x0028, 0x0102, "US", U16(15), true);
    f += Element(0x0028, 0x0103, "US", U16(0), true);
    QByteArray pixels;
    for (std::uint16_t v : samples) PutLe(pixels, v, 2);
    PutLe(f, 0x7FE0, 2), PutLe(f, 0x0010, 2);
    f += "OW", PutLe(f, 0, 2), PutLe(f, std::uint32_t(pixels.size()), 4);
    return f + pixels;
}

}  // namespace zxtest
