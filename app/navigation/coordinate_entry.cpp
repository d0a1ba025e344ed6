// Coordinate entry: the edits and up-downs of the navigation panel keep the
// crosshair point, the up-down positions and the edit texts in step.
#include <QLineEdit>
#include <algorithm>

#include "app/main_window.h"
#include "core/texts.h"
#include "core/volume/runtime_error.h"
#include "widgets/up_down.h"

namespace zx {

void TForm1::EdChange(QLineEdit* ed, TUpDown* up, int& coordinate) {
    const QString text = ed->text();
    bool valid = true;
    int v = 0;
    try {
        v = StrToInt(text);
    } catch (const RuntimeError&) {
        valid = false;
    }
    if (valid) {
        v = std::clamp(v, 0, 255);
        up->SetPosition(v);
        if (coordinate != v) {
            coordinate = v;
            InvalidateLastPoints();
        }
    }
    // Always write the up-down's position back: a limited number shows in
    // its plain form, and a bad text gives way to the previous number. When
    // the text differs this runs the handler once more, nested.
    ed->setText(QString::number(up->Position()));
    if (!valid) throw RuntimeError(QString::fromUtf8(texts::kNotAnIntegerFmt).arg(text));
}

void TForm1::xg_EdChange() { EdChange(xg_Ed, xg_Up, Xg); }
void TForm1::yg_EdChange() { EdChange(yg_Ed, yg_Up, Yg); }
void TForm1::zg_EdChange() { EdChange(zg_Ed, zg_Up, Zg); }

void TForm1::xg_UpClick() {
    const int p = xg_Up->Position();
    xg_Ed->setText(QString::number(p));
    Xg = p;
    RefreshX();
}

void TForm1::yg_UpClick() {
    const int p = yg_Up->Position();
    yg_Ed->setText(QString::number(p));
    Yg = p;
    RefreshY();
}

void TForm1::zg_UpClick() {
    const int p = zg_Up->Position();
    zg_Ed->setText(QString::number(p));
    Zg = p;
    RefreshZ();
}

void TForm1::xg_EdKeyUp() { RefreshX(); }
void TForm1::yg_EdKeyUp() { RefreshY(); }
void TForm1::zg_EdKeyUp() { RefreshZ(); }

}  // namespace zx
