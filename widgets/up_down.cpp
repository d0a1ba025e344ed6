#include "widgets/up_down.h"

#include <QToolButton>
#include <algorithm>

namespace zx {

TUpDown::TUpDown(QWidget* parent) : QWidget(parent) {
    up_ = new QToolButton(this);
    down_ = new QToolButton(this);
    up_->setObjectName(QStringLiteral("up"));
    down_->setObjectName(QStringLiteral("down"));
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    up_->setAutoRepeat(true);
    down_->setAutoRepeat(true);
    up_->setFocusPolicy(Qt::NoFocus);
    down_->setFocusPolicy(Qt::NoFocus);
    connect(up_, &QToolButton::clicked, this, &TUpDown::ClickUp);
    connect(down_, &QToolButton::clicked, this, &TUpDown::ClickDown);
}

void TUpDown::SetRange(int min, int max) {
    min_ = min;
    max_ = std::max(min, max);
    position_ = std::clamp(position_, min_, max_);
}

void TUpDown::SetPosition(int p) { position_ = std::clamp(p, min_, max_); }

void TUpDown::ClickUp() {
    SetPosition(position_ + 1);
    emit Click(true);
}

void TUpDown::ClickDown() {
    SetPosition(position_ - 1);
    emit Click(false);
}

void TUpDown::resizeEvent(QResizeEvent*) {
    const int h = height() / 2;
    up_->setGeometry(0, 0, width(), h);
    down_->setGeometry(0, h, width(), height() - h);
}

}  // namespace zx
