#include "widgets/overlay_cache.h"

#include <QPaintDevice>
#include <QPainter>
#include <algorithm>

#include "widgets/blit.h"

namespace zx {

namespace {

/// The smallest rectangle of `img` (premultiplied) holding any pixel that
/// is not fully transparent.
QRect Occupied(const QImage& img) {
    int top = img.height(), bottom = -1, left = img.width(), right = -1;
    for (int y = 0; y < img.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        int first = 0;
        while (first < img.width() && row[first] == 0) ++first;
        if (first == img.width()) continue;
        int last = img.width() - 1;
        while (row[last] == 0) --last;
        top = std::min(top, y);
        bottom = y;
        left = std::min(left, first);
        right = std::max(right, last);
    }
    return bottom < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

}  // namespace

void TOverlayCache::Paint(QPainter& p, const QByteArray& key,
                          const std::function<void(QPainter&)>& draw) {
    QPaintDevice* device = p.device();
    const qreal dpr = device->devicePixelRatioF();
    QByteArray full = key;
    full += QByteArray::number(device->width()) + 'x' + QByteArray::number(device->height()) + '@' +
            QByteArray::number(dpr);
    if (!valid_ || full != key_) {
        QImage canvas(QSize(device->width(), device->height()) * dpr,
                      QImage::Format_ARGB32_Premultiplied);
        canvas.setDevicePixelRatio(dpr);
        canvas.fill(Qt::transparent);
        {
            QPainter q(&canvas);
            q.setFont(p.font());
            q.setPen(p.pen());
            draw(q);
        }
        const QRect part = Occupied(canvas);
        kept_ = part.isEmpty() ? QImage() : canvas.copy(part);
        kept_.setDevicePixelRatio(dpr);
        at_ = part.topLeft();
        key_ = full;
        valid_ = true;
    }
    if (kept_.isNull()) return;
    p.save();
    p.resetTransform();
    DrawImageInBands(p, QPointF(at_) / dpr, kept_);
    p.restore();
}

}  // namespace zx
