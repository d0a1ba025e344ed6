#include "widgets/image_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/render/sections.h"
#include "widgets/blit.h"
#include "widgets/guard.h"

namespace zx {

TImage::TImage(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);  // moves without a button update the read-out
    // A click gives the view the keys (arrows, Page Up/Down), away from a
    // coordinate edit.
    setFocusPolicy(Qt::ClickFocus);
}

void TImage::AssignPicture(const QImage& src) {
    const bool onlyCrosses = source_ == &src && sourceKey_ == src.cacheKey() &&
                             pictureKey_ == picture_.cacheKey() && !picture_.isNull();
    if (onlyCrosses) {
        if (crosses_.empty()) return;  // nothing drawn since: the picture is src
        const qsizetype stride = src.bytesPerLine();
        const uchar* from = src.constBits();
        uchar* to = picture_.bits();
        for (const QRect& r : crosses_) {
            for (int y = r.top(); y <= r.bottom(); ++y) {
                std::memcpy(to + y * stride + 4 * r.left(), from + y * stride + 4 * r.left(),
                            std::size_t(4 * r.width()));
            }
            ApplyTable(picture_, r, table_);
            if (!stretch_) UpdatePicture(r);
        }
        if (stretch_) update();
    } else {
        CopyPicture(src, picture_);
        ApplyTable(picture_, picture_.rect(), table_);
        update();
    }
    crosses_.clear();
    source_ = &src;
    sourceKey_ = src.cacheKey();
    pictureKey_ = picture_.cacheKey();
}

void TImage::Rebuild(QImage& clean,
                     const std::function<void(QImage&, QImage*, const QRgb*)>& render) {
    const bool mirrored = source_ == &clean && sourceKey_ == clean.cacheKey() &&
                          pictureKey_ == picture_.cacheKey() && picture_.size() == clean.size() &&
                          picture_.format() == clean.format();
    if (!mirrored) {
        render(clean, nullptr, nullptr);
        AssignPicture(clean);
        return;
    }
    AssignPicture(clean);  // takes the crosshairs away: the picture equals `clean`
    render(clean, &picture_, table_);
    sourceKey_ = clean.cacheKey();
    pictureKey_ = picture_.cacheKey();
    update();
}

void TImage::DrawCross(int px, int py, const CrossParams& params) {
    const std::size_t before = crosses_.size();
    zx::DrawCross(picture_, px, py, width(), height(), params, &crosses_);
    pictureKey_ = picture_.cacheKey();
    if (stretch_) {
        update();
        return;
    }
    for (std::size_t i = before; i < crosses_.size(); ++i) UpdatePicture(crosses_[i]);
}

void TImage::UpdatePicture(const QRect& r) {
    if (zoom_ > 1)
        update();
    else if (mirrored_)
        update(QRect(width() - 1 - r.right(), r.top(), r.width(), r.height()));
    else
        update(r);
}

void TImage::AddOverlay(Overlay overlay) {
    overlays_.push_back(std::move(overlay));
    update();
}

QTransform TImage::PictureToWidget() const {
    QTransform t;
    if (mirrored_) t.translate(width(), 0).scale(-1, 1);
    if (stretch_ && !picture_.isNull())
        t.scale(double(width()) / picture_.width(), double(height()) / picture_.height());
    if (zoom_ > 1) {
        // Picture point `centre_` to the picture's middle, enlarged about it.
        const QSizeF half = picture_.isNull() ? QSizeF(128, 128) : QSizeF(picture_.size()) / 2;
        t = QTransform()
                .translate(half.width(), half.height())
                .scale(zoom_, zoom_)
                .translate(-centre_.x(), -centre_.y()) *
            t;
    }
    return t;
}

void TImage::SetZoom(int factor, const QPointF& centre) {
    factor = std::max(1, factor);
    if (factor == zoom_ && (factor == 1 || centre == centre_)) return;
    zoom_ = factor;
    centre_ = factor == 1 ? QPointF(128, 128) : centre;
    update();
}

QPoint TImage::HandlerPoint(const QPointF& pos) const {
    const int x = int(std::floor(pos.x())), y = int(std::floor(pos.y()));
    if (zoom_ == 1 || picture_.isNull()) return {mirrored_ ? width() - 1 - x : x, y};
    // The picture pixel drawn under the pointer, then where that pixel
    // lies without zoom and mirror.
    const QPointF at = PictureToWidget().inverted().map(QPointF(x + 0.5, y + 0.5));
    const double px = std::floor(at.x()), py = std::floor(at.y());
    if (!stretch_) return {int(px), int(py)};
    return {int(std::lround(px * width() / picture_.width())),
            int(std::lround(py * height() / picture_.height()))};
}

void TImage::SetMirrored(bool on) {
    if (mirrored_ == on) return;
    mirrored_ = on;
    update();
}

void TImage::SetTable(const QRgb* table) {
    table_ = table;
    source_ = nullptr;  // the next assignment copies and maps the whole picture
}

void TImage::TakePicture(QImage&& picture) {
    picture_ = std::move(picture);
    source_ = nullptr;
    crosses_.clear();
    update();
}

void TImage::SetStretch(bool on) {
    if (stretch_ == on) return;
    stretch_ = on;
    update();
}

void TImage::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (picture_.isNull()) {
        p.fillRect(rect(), palette().window());
        return;
    }
    // The background only where the picture leaves the control uncovered:
    // filling the whole control first costs as much as the picture itself.
    const QTransform t = PictureToWidget();
    const auto background = [&](const QBrush& brush) {
        if (picture_.hasAlphaChannel()) {
            p.fillRect(rect(), brush);
            return;
        }
        const QRectF shown = t.mapRect(QRectF(picture_.rect()));
        const QRect inside(
            QPoint(int(std::ceil(shown.left())), int(std::ceil(shown.top()))),
            QPoint(int(std::floor(shown.right())) - 1, int(std::floor(shown.bottom())) - 1));
        for (const QRect& r : QRegion(rect()).subtracted(QRegion(inside))) p.fillRect(r, brush);
    };
    if (zoom_ > 1) {
        background(Qt::black);  // beyond the picture
        p.setTransform(t);
        DrawImageInBands(p, QPointF(0, 0), picture_);
        if (!layer_.isNull()) DrawImageInBands(p, QPointF(0, 0), layer_);
        p.resetTransform();
    } else if (mirrored_) {
        if (!stretch_) background(palette().window());
        const bool drawn =
            !stretch_ && DrawMirroredDirect(p, QPoint(width() - picture_.width(), 0), picture_);
        p.setTransform(t);
        if (!drawn) DrawImageInBands(p, QPointF(0, 0), picture_);
        if (!layer_.isNull()) DrawImageInBands(p, QPointF(0, 0), layer_);
        p.resetTransform();
    } else if (stretch_) {
        DrawImageInBands(p, QRectF(rect()), picture_, QRectF(picture_.rect()));
        if (!layer_.isNull()) DrawImageInBands(p, QRectF(rect()), layer_, QRectF(layer_.rect()));
    } else {
        background(palette().window());
        DrawImageInBands(p, QPointF(0, 0), picture_);
        if (!layer_.isNull()) DrawImageInBands(p, QPointF(0, 0), layer_);
    }
    if (overlays_.empty()) return;
    for (const Overlay& o : overlays_) {
        p.save();
        o(p, t);
        p.restore();
    }
}

void TImage::SetLayer(const QImage& layer) {
    if (layer.isNull() && layer_.isNull()) return;
    layer_ = layer;
    update();
}

void TImage::mousePressEvent(QMouseEvent* e) {
    const QPoint pos = HandlerPoint(e->position());
    if (OnMouseDown) {
        Guarded([&] {
            OnMouseDown(ButtonFromQt(e->button()), ShiftFromQt(e->buttons(), e->modifiers()),
                        pos.x(), pos.y());
        });
    }
}

void TImage::mouseDoubleClickEvent(QMouseEvent* e) {
    const QPoint pos = HandlerPoint(e->position());
    if (OnMouseDown) {
        Guarded([&] {
            OnMouseDown(ButtonFromQt(e->button()), ShiftFromQt(e->buttons(), e->modifiers(), true),
                        pos.x(), pos.y());
        });
    }
}

void TImage::mouseMoveEvent(QMouseEvent* e) {
    const QPoint pos = HandlerPoint(e->position());
    if (OnHover && rect().contains(e->position().toPoint())) OnHover(true);
    if (OnMouseMove) {
        Guarded([&] { OnMouseMove(ShiftFromQt(e->buttons(), e->modifiers()), pos.x(), pos.y()); });
    }
}

void TImage::mouseReleaseEvent(QMouseEvent* e) {
    const QPoint pos = HandlerPoint(e->position());
    if (OnMouseUp) {
        Guarded([&] {
            OnMouseUp(ButtonFromQt(e->button()), ShiftFromQt(e->buttons(), e->modifiers()), pos.x(),
                      pos.y());
        });
    }
    if (OnClick && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
        Guarded(OnClick);
}

}  // namespace zx

namespace zx {

void TImage::wheelEvent(QWheelEvent* e) {
    // One step per notch (15 degrees); finer wheels add up to a notch.
    wheelAngle_ += e->angleDelta().y();
    const int steps = wheelAngle_ / 120;
    wheelAngle_ -= steps * 120;
    if (steps != 0 && OnWheel) {
        const QPoint pos = HandlerPoint(e->position());
        Guarded(
            [&] { OnWheel(steps, ShiftFromQt(e->buttons(), e->modifiers()), pos.x(), pos.y()); });
    }
    e->accept();
}

void TImage::enterEvent(QEnterEvent*) {
    if (OnHover) OnHover(true);
}

void TImage::leaveEvent(QEvent*) {
    if (OnHover) OnHover(false);
}

}  // namespace zx
