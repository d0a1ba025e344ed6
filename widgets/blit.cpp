#include "widgets/blit.h"

#include <QImage>
#include <QPainter>
#include <algorithm>

namespace zx {

namespace {
constexpr int kBand = 64;
}

void DrawImageInBands(QPainter& p, const QRectF& target, const QImage& image,
                      const QRectF& source) {
    if (source.height() <= 0) return;
    const double scale = target.height() / source.height();
    for (double y = source.top(); y < source.bottom(); y += kBand) {
        const double h = std::min<double>(kBand, source.bottom() - y);
        const QRectF from(source.left(), y, source.width(), h);
        const QRectF to(target.left(), target.top() + (y - source.top()) * scale, target.width(),
                        h * scale);
        p.drawImage(to, image, from);
    }
}

void DrawImageInBands(QPainter& p, const QPointF& at, const QImage& image) {
    const QRectF all(QPointF(0, 0), QSizeF(image.size()) / image.devicePixelRatio());
    DrawImageInBands(p, all.translated(at), image, QRectF(image.rect()));
}

}  // namespace zx
