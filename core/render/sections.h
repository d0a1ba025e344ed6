// Section rendering: the three orthogonal planes through the volume as
// 256 × 256 pictures of 32 bits per pixel.
#pragma once

#include <QImage>
#include <cstdint>

namespace zx {

/// Pixel of grey value g in a section bitmap: blue = green = red = g. The
/// fourth byte is the opaque marker that Qt's RGB32 format requires.
constexpr QRgb GreyToColor(std::uint8_t g) { return 0xff000000u | (QRgb(g) * 0x010101u); }

/// A new 256 × 256 section bitmap (Format_RGB32), filled black.
QImage NewSectionBitmap();

/// Each renderer writes `bmp` and, when given, the same pixels into
/// `mirror` (a picture of the same shape: the view showing `bmp`), which
/// saves the copy of the whole picture at every move of a drag. With a
/// `table` (256 colours: the display window), the mirror shows grey g as
/// table[g] while `bmp` keeps the grey.
///
/// Sagittal section of plane x: pixel (c, r) shows voxel (x, c, r). When
/// `overlay` is given (a second volume of the same layout) the red byte is
/// grey XOR overlay byte.
void RenderSagittal(const std::uint8_t* volume, int x, QImage& bmp,
                    const std::uint8_t* overlay = nullptr, QImage* mirror = nullptr,
                    const QRgb* table = nullptr);

/// Coronal section of plane y: pixel (sliceOffset + k, r) shows voxel
/// (k, y, r) for k < sliceCount; other columns are not touched.
void RenderCoronal(const std::uint8_t* volume, int y, int sliceCount, int sliceOffset, QImage& bmp);

/// Fills `coronal` (16 MiB) with the volume laid out for the coronal view:
/// voxel (x, y, z) at byte y·65536 + z·256 + x, so that one coronal section
/// is one contiguous 64 KiB block. MakeSectionCopies without the
/// transversal copy.
void MakeCoronalCopy(const std::uint8_t* volume, std::uint8_t* coronal);

/// Fills the copies given (either may be null): `coronal` as
/// MakeCoronalCopy does, `transversal` with voxel (x, y, z) at byte
/// z·65536 + y·256 + x, so that one transversal section is one contiguous
/// block too. One pass over the volume for both, on two threads.
void MakeSectionCopies(const std::uint8_t* volume, std::uint8_t* coronal,
                       std::uint8_t* transversal);

/// Coronal section of plane y from the coronal copy: the same picture as
/// RenderCoronal of the volume the copy was made from, at sagittal speed.
void RenderCoronalFromCopy(const std::uint8_t* coronal, int y, int sliceCount, int sliceOffset,
                           QImage& bmp, QImage* mirror = nullptr, const QRgb* table = nullptr);

/// Transversal section of plane z from the transversal copy: the same
/// picture as RenderTransversal of the volume the copy was made from.
inline void RenderTransversalFromCopy(const std::uint8_t* transversal, int z, int sliceCount,
                                      int sliceOffset, QImage& bmp, QImage* mirror = nullptr,
                                      const QRgb* table = nullptr) {
    // Row y of the copy's plane z holds the voxels x of pixel row y, as a
    // coronal copy's plane holds those of a coronal row.
    RenderCoronalFromCopy(transversal, z, sliceCount, sliceOffset, bmp, mirror, table);
}

/// Transversal section of plane z: pixel (sliceOffset + k, r) shows voxel
/// (k, r, z) for k < sliceCount; other columns are not touched.
void RenderTransversal(const std::uint8_t* volume, int z, int sliceCount, int sliceOffset,
                       QImage& bmp, QImage* mirror = nullptr, const QRgb* table = nullptr);

/// Transposes a 256 × 256 byte plane: dst[c·256 + r] = src[r·256 + c].
void TransposePlane(const std::uint8_t* src, std::uint8_t* dst);

/// Shows the greys of `pic` within `area` through `table`: a grey pixel
/// (blue = green = red = g) becomes table[g]; other pixels stay.
void ApplyTable(QImage& pic, const QRect& area, const QRgb* table);

/// Copies `src` into `dst` without a new allocation when both are 256 × 256
/// RGB32 and `dst` is not shared; otherwise `dst` becomes a deep copy.
void CopyPicture(const QImage& src, QImage& dst);

}  // namespace zx
