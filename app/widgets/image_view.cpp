#include "app/widgets/image_view.h"

#include <QMouseEvent>
#include <QPainter>

#include "app/render/sections.h"
#include "app/widgets/guard.h"

namespace zx {

TImage::TImage(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);  // moves without a button update the read-out
}

void TImage::AssignPicture(const QImage& src) {
    CopyPicture(src, picture_);
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
    if (stretch_) {
        p.drawImage(rect(), picture_);
        return;
    }
    p.fillRect(rect(), palette().window());
    p.drawImage(0, 0, picture_);
}

void TImage::mousePressEvent(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    if (OnMouseDown) {
        Guarded([&] {
            OnMouseDown(ButtonFromQt(e->button()), ShiftFromQt(e->buttons(), e->modifiers()),
                        pos.x(), pos.y());
        });
    }
}

void TImage::mouseDoubleClickEvent(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    if (OnMouseDown) {
        Guarded([&] {
            OnMouseDown(ButtonFromQt(e->button()),
                        ShiftFromQt(e->buttons(), e->modifiers(), true), pos.x(), pos.y());
        });
    }
}

void TImage::mouseMoveEvent(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    if (OnMouseMove) {
        Guarded([&] { OnMouseMove(ShiftFromQt(e->buttons(), e->modifiers()), pos.x(), pos.y()); });
    }
}

void TImage::mouseReleaseEvent(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    if (OnMouseUp) {
        Guarded([&] {
            OnMouseUp(ButtonFromQt(e->button()), ShiftFromQt(e->buttons(), e->modifiers()),
                      pos.x(), pos.y());
        });
    }
    if (OnClick && e->button() == Qt::LeftButton && rect().contains(pos)) Guarded(OnClick);
}

}  // namespace zx
