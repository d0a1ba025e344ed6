#include "widgets/blit.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <algorithm>
#include <cmath>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

bool DrawMirroredDirect(QPainter& p, const QPoint& at, const QImage& image) {
    const auto opaque32 = [](QImage::Format f) {
        return f == QImage::Format_RGB32 || f == QImage::Format_ARGB32 ||
               f == QImage::Format_ARGB32_Premultiplied;
    };
    QPaintEngine* engine = p.paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster || !opaque32(image.format()) ||
        image.hasAlphaChannel() || image.devicePixelRatio() != 1.0 || p.opacity() != 1.0 ||
        p.hasClipping() || p.compositionMode() != QPainter::CompositionMode_SourceOver)
        return false;
    QPaintDevice* device = engine->paintDevice();
    if (!device || device->devType() != QInternal::Image) return false;
    auto* target = static_cast<QImage*>(device);
    if (!opaque32(target->format())) return false;
    const QTransform t = p.deviceTransform();
    if (t.type() > QTransform::TxTranslate || t.dx() != std::floor(t.dx()) ||
        t.dy() != std::floor(t.dy()))
        return false;
    const QRect dest(at + QPoint(int(t.dx()), int(t.dy())), image.size());
    // Only where the painter may paint: the part of the window being
    // painted, which leaves the controls lying over this one alone.
    const QRegion clip = engine->systemClip();
    const QRegion region =
        (clip.isEmpty() ? QRegion(target->rect()) : clip) & QRegion(dest) & target->rect();
    // The engine holds the target's pixels already; writing them through
    // constBits() leaves the picture's sharing as the engine made it.
    auto* bits = const_cast<uchar*>(target->constBits());
    const qsizetype stride = target->bytesPerLine();
    for (const QRect& r : region) {
        for (int y = r.top(); y <= r.bottom(); ++y) {
            const auto* from =
                reinterpret_cast<const quint32*>(image.constScanLine(y - dest.top()));
            auto* to = reinterpret_cast<quint32*>(bits + y * stride) + r.left();
            // Target column x shows source column last - (x - dest.left()).
            const quint32* s = from + (image.width() - 1 - (r.left() - dest.left()));
            const int n = r.width();
            int x = 0;
#ifdef __SSE2__
            for (; x + 4 <= n; x += 4) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s - x - 3));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(to + x), _mm_shuffle_epi32(v, 0x1B));
            }
#endif
            for (; x < n; ++x) to[x] = s[-x];
        }
    }
    return true;
}

}  // namespace zx
