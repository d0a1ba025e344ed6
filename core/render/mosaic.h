// The lightbox: sections of one orientation side by side in one picture,
// for slides and contact sheets. Shared by the viewer's lightbox window and
// the converter's mosaic command.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <cstdint>
#include <vector>

namespace zx {

/// Edge of one tile: a whole section, unscaled.
inline constexpr int kMosaicTile = 256;

/// Which sections a lightbox shows and how it lays them out.
struct MosaicLayout {
    int view = 3;           ///< 1 sagittal (planes x), 2 coronal (y), 3 transversal (z)
    int from = 0;           ///< first plane
    int to = 255;           ///< last plane that may be shown (inclusive)
    int every = 1;          ///< step from one shown plane to the next, at least 1
    int columns = 6;        ///< tiles a row, at least 1
    bool labels = false;    ///< the slice number and the edge letters on each tile
    bool mirrored = false;  ///< coronal and transversal tiles left to right (neurological)
};

/// The planes shown, in tile order: from, from + every, … while ≤ to;
/// empty when from > to. Planes outside 0…255 are left out.
std::vector<int> MosaicPlanes(const MosaicLayout& m);

/// The whole picture: `columns` tiles wide, ceil(count / columns) tiles
/// high, no gap between tiles; empty for no planes.
QSize MosaicSize(const MosaicLayout& m);

/// Where tile i (counted from 0, row by row) lies in the picture.
QRect MosaicTileRect(const MosaicLayout& m, int i);

/// The tile under picture point p, or -1 (outside, or a place without a
/// tile in the last row).
int MosaicTileAt(const MosaicLayout& m, const QPoint& p);

/// The lightbox picture (RGB32): tile i is the section of plane
/// MosaicPlanes(m)[i] exactly as the section renderers draw it into a new
/// black section bitmap, mirrored when asked, its greys shown through
/// `table` (256 colours, the display window) when given; places without a
/// tile are black. With labels, each tile carries its plane number at the
/// top left and the edge letters at its sides, drawn with a built-in pixel
/// font (no font files: the converter runs without a display).
/// `sliceCount` and `sliceOffset` place the x planes in the coronal and
/// transversal sections as in the views.
QImage RenderMosaic(const std::uint8_t* volume, int sliceCount, int sliceOffset,
                    const MosaicLayout& m, const QRgb* table = nullptr);

}  // namespace zx
