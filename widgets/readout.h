// A read-out of a few lines of text that changes at every move of a drag:
// setting the text only repaints, it never asks the layout for a new size.
#pragma once

#include <QPainter>
#include <QWidget>

namespace zx {

class TReadout : public QWidget {
public:
    explicit TReadout(QWidget* parent = nullptr) : QWidget(parent) {}
    const QString& text() const { return text_; }
    void setText(const QString& t) {
        if (t == text_) return;
        text_ = t;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(rect().adjusted(2, 2, -2, -2), Qt::AlignLeft | Qt::AlignTop, text_);
    }

private:
    QString text_;
};

}  // namespace zx
