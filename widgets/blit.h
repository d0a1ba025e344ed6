// Pictures onto the screen without Qt's thread pool.
#pragma once

#include <QPoint>
#include <QRectF>

class QImage;
class QPainter;

namespace zx {

/// Draws the `source` part of `image` onto `target` (through the painter's
/// transform) as QPainter::drawImage does, in bands of at most 64 rows.
/// Qt's raster engine hands every blit of more than 95 rows to its thread
/// pool; on two cores, waking the pool's sleeping threads costs more than
/// the copy itself, and a drag paints three such pictures at every move.
void DrawImageInBands(QPainter& p, const QRectF& target, const QImage& image, const QRectF& source);
/// The whole image with its top left at `at`, unscaled.
void DrawImageInBands(QPainter& p, const QPointF& at, const QImage& image);

/// Draws opaque `image` (32 bits a pixel) mirrored left to right with its
/// top left at `at`, by writing its rows reversed straight into the
/// painter's picture. Qt draws a mirrored picture through its scaling path,
/// pixel by pixel, four times slower than a copy, and the neurological
/// display mirrors two views at every move of a drag. Returns false, having
/// drawn nothing, when the painter does not paint onto a picture of 32 bits
/// a pixel with a whole-pixel offset (printing, high-DPI screens): then the
/// caller draws through a transform.
bool DrawMirroredDirect(QPainter& p, const QPoint& at, const QImage& image);

}  // namespace zx
