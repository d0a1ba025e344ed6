// DICOM files built byte by byte: a preamble, a file meta header with the
// transfer syntax, Rows, Columns, Bits Allocated and Pixel Data, in the
// implicit or explicit little-endian layout.
#pragma once

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace zxtest {

struct DicomSpec {
    int rows = 256, columns = 256;
    bool explicitVr = false;
    int bitsAllocated = 16;
    QByteArray transferSyntax;  ///< empty: no meta header at all
    std::int32_t pixelLength = -2;  ///< -2: the length of the samples
};

inline void PutLe(QByteArray& b, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.append(char((v >> (8 * i)) & 0xff));
}

/// One element (group, element) with a value, in the chosen layout.
inline QByteArray Element(int group, int element, const char* vr, const QByteArray& value, bool explicitVr) {
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
inline QByteArray DicomFile(const DicomSpec& s, const std::vector<std::uint16_t>& samples) {
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
    const std::uint32_t len = s.pixelLength == -2 ? std::uint32_t(pixels.size()) : std::uint32_t(s.pixelLength);
    PutLe(f, 0x7FE0, 2);
    PutLe(f, 0x0010, 2);
    if (s.explicitVr) {
        f += s.bitsAllocated == 8 ? "OB" : "OW";
        PutLe(f, 0, 2);
    }
    PutLe(f, len, 4);
    return f + pixels;
}

}  // namespace zxtest
