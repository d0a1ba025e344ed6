// Pictures onto the screen without Qt's thread pool.
#pragma once

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

}  // namespace zx
