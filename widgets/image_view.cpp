#include "widgets/image_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <cstring>

#include "core/render/sections.h"
#include "widgets/guard.h"

namespace zx {

TImage::TImage(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);  // moves without a button update the read-out
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
    if (mirrored_)
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
    return t;
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
    if (mirrored_) {
        if (!stretch_) p.fillRect(rect(), palette().window());
        p.setTransform(PictureToWidget());
        p.drawImage(0, 0, picture_);
        if (!layer_.isNull()) p.drawImage(0, 0, layer_);
        p.resetTransform();
    } else if (stretch_) {
        p.drawImage(rect(), picture_);
        if (!layer_.isNull()) p.drawImage(rect(), layer_);
    } else {
        p.fillRect(rect(), palette().window());
        p.drawImage(0, 0, picture_);
        if (!layer_.isNull()) p.drawImage(0, 0, layer_);
    }
    if (overlays_.empty()) return;
    const QTransform t = PictureToWidget();
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
    const QPoint pos(ColumnOf(e->position().toPoint().x()), e->position().toPoint().y());
    if (OnMouseDown) {
        Guarded([&] {
            OnMouseDown(ButtonFromQt(e->button()), ShiftFromQt(e->buttons(), e->modifiers()),
                        pos.x(), pos.y());
        });
    }
}

void TImage::mouseDoubleClickEvent(QMouseEvent* e) {
    const QPoint pos(ColumnOf(e->position().toPoint().x()), e->position().toPoint().y());
    if (OnMouseDown) {
        Guarded([&] {
            OnMouseDown(ButtonFromQt(e->button()), ShiftFromQt(e->buttons(), e->modifiers(), true),
                        pos.x(), pos.y());
        });
    }
}

void TImage::mouseMoveEvent(QMouseEvent* e) {
    const QPoint pos(ColumnOf(e->position().toPoint().x()), e->position().toPoint().y());
    if (OnHover && rect().contains(pos)) OnHover(true);
    if (OnMouseMove) {
        Guarded([&] { OnMouseMove(ShiftFromQt(e->buttons(), e->modifiers()), pos.x(), pos.y()); });
    }
}

void TImage::mouseReleaseEvent(QMouseEvent* e) {
    const QPoint pos(ColumnOf(e->position().toPoint().x()), e->position().toPoint().y());
    if (OnMouseUp) {
        Guarded([&] {
            OnMouseUp(ButtonFromQt(e->button()), ShiftFromQt(e->buttons(), e->modifiers()), pos.x(),
                      pos.y());
        });
    }
    if (OnClick && e->button() == Qt::LeftButton && rect().contains(pos)) Guarded(OnClick);
}

}  // namespace zx

namespace zx {

void TImage::wheelEvent(QWheelEvent* e) {
    // One step per notch (15 degrees); finer wheels add up to a notch.
    wheelAngle_ += e->angleDelta().y();
    const int steps = wheelAngle_ / 120;
    wheelAngle_ -= steps * 120;
    if (steps != 0 && OnWheel) Guarded([&] { OnWheel(steps); });
    e->accept();
}

void TImage::enterEvent(QEnterEvent*) {
    if (OnHover) OnHover(true);
}

void TImage::leaveEvent(QEvent*) {
    if (OnHover) OnHover(false);
}

}  // namespace zx
