#include "widgets/text_plate.h"

#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <QStaticText>

namespace zx {

namespace {

struct Layout {
    QStaticText text;
    QSizeF size;  // the advance and the line height, as drawText centres them
    QRect bounds;
};

struct Key {
    QFont font;
    QString text;
    bool operator==(const Key& o) const { return text == o.text && font == o.font; }
};
size_t qHash(const Key& k, size_t seed = 0) { return qHashMulti(seed, k.font, k.text); }

const Layout& LayoutOf(const QFont& font, const QString& text) {
    // Per thread: pictures for files may be painted away from the screen's thread.
    thread_local QHash<Key, Layout> cache;
    const Key key{font, text};
    auto it = cache.constFind(key);
    if (it != cache.constEnd()) return *it;
    if (cache.size() >= 512) cache.clear();  // texts change rarely; bound the odd case
    Layout l;
    l.text.setText(text);
    l.text.setTextFormat(Qt::PlainText);
    l.text.setPerformanceHint(QStaticText::AggressiveCaching);
    l.text.prepare(QTransform(), font);
    const QFontMetricsF fm(font);
    l.size = QSizeF(fm.horizontalAdvance(text), fm.height());
    l.bounds = QFontMetrics(font).boundingRect(text);
    return *cache.insert(key, l);
}

}  // namespace

void DrawCentredText(QPainter& p, const QRectF& box, const QString& text) {
    const Layout& l = LayoutOf(p.font(), text);
    p.drawStaticText(QPointF(box.x() + (box.width() - l.size.width()) / 2,
                             box.y() + (box.height() - l.size.height()) / 2),
                     l.text);
}

QRect CachedBoundingRect(const QFont& font, const QString& text) {
    return LayoutOf(font, text).bounds;
}

TViewLabel::TViewLabel(const QString& text, const QColor& ink, const QColor& plate, QWidget* parent)
    : QLabel(text, parent), ink_(ink), plate_(plate) {
    setAlignment(Qt::AlignCenter);
}

void TViewLabel::SetInk(const QColor& ink) {
    ink_ = ink;
    update();
}

void TViewLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), plate_);
    p.setPen(ink_);
    DrawCentredText(p, QRectF(rect()), text());
}

}  // namespace zx
