// Short texts over the views, drawn from a layout kept between paints.
//
// Shaping a text (the glyphs and their places) costs more than copying a
// whole section picture to the screen, and the letters and titles over the
// views repaint at every move of a drag, always with the same few texts.
#pragma once

#include <QColor>
#include <QLabel>
#include <QRect>
#include <QString>

class QPainter;

namespace zx {

/// Draws a single-line plain `text` in the painter's font and pen centred in
/// `box`, pixel for pixel as QPainter::drawText(box, Qt::AlignCenter, text),
/// from a layout made at its first use.
void DrawCentredText(QPainter& p, const QRectF& box, const QString& text);

/// QFontMetrics(font).boundingRect(text), kept with the layout.
QRect CachedBoundingRect(const QFont& font, const QString& text);

/// A label over a view: its text centred on a plate of its own colour. It
/// looks as a QLabel with the style sheet "color: ink; background: plate"
/// and centred text does, without the style sheet's cost at every paint.
class TViewLabel : public QLabel {
    Q_OBJECT
public:
    TViewLabel(const QString& text, const QColor& ink, const QColor& plate, QWidget* parent);
    QColor Ink() const { return ink_; }
    void SetInk(const QColor& ink);

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QColor ink_;
    QColor plate_;
};

}  // namespace zx
