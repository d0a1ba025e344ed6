// Stepping through the volume with the wheel and the keyboard: what users
// of other head viewers expect.
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <algorithm>

#include "app/main_window.h"
#include "widgets/guard.h"
#include "widgets/image_view.h"

namespace zx {

namespace {
int Limit(int v) { return std::clamp(v, 0, 255); }
}  // namespace

void TForm1::SetCoordinate(int axis, int value) {
    // As typed: the edit's change handler moves the point, the key's
    // release rebuilds and draws.
    QLineEdit* const edits[3] = {xg_Ed, yg_Ed, zg_Ed};
    edits[axis]->setText(QString::number(Limit(value)));
    if (axis == 0) xg_EdKeyUp();
    if (axis == 1) yg_EdKeyUp();
    if (axis == 2) zg_EdKeyUp();
}

void TForm1::StepPlane(int view, int steps) {
    if (view < 1 || view > 3) return;
    const int axis = view - 1;  // sagittal: x, coronal: y, transversal: z
    const int current[3] = {Xg, Yg, Zg};
    if (Limit(current[axis] + steps) == current[axis]) return;
    SetCoordinate(axis, current[axis] + steps);
    RecordStep();
}

void TForm1::MovePoint(int view, int dColumn, int dRow) {
    // The axes of each view's columns and rows.
    static const int columns[4] = {0, 1, 0, 0}, rows[4] = {0, 2, 2, 1};
    if (view < 1 || view > 3) return;
    const int current[3] = {Xg, Yg, Zg};
    const int c = columns[view], r = rows[view];
    const bool moves =
        Limit(current[c] + dColumn) != current[c] || Limit(current[r] + dRow) != current[r];
    if (!moves) return;
    if (dColumn) SetCoordinate(c, current[c] + dColumn);
    if (dRow) SetCoordinate(r, current[r] + dRow);
    RecordStep();
}

bool TForm1::ViewKey(QKeyEvent* e) {
    if (Components->KeyPressed(e)) return true;
    // The view under the pointer, else the one with the keyboard focus (the
    // last one clicked); a coordinate edit with the focus keeps its keys.
    QWidget* focus = QApplication::focusWidget();
    const int focused = focus == Image1 ? 1 : focus == Image2 ? 2 : focus == Image3 ? 3 : 0;
    const int view = PointerView ? PointerView : focused;
    if (view == 0 || QApplication::activeModalWidget()) return false;
    if (qobject_cast<QLineEdit*>(focus)) return false;
    switch (e->key()) {
        case Qt::Key_PageUp:
            Guarded([&] { AsOneAction([&] { StepPlane(view, 1); }); });
            return true;
        case Qt::Key_PageDown:
            Guarded([&] { AsOneAction([&] { StepPlane(view, -1); }); });
            return true;
        case Qt::Key_Left:
            Guarded([&] { AsOneAction([&] { MovePoint(view, -1, 0); }); });
            return true;
        case Qt::Key_Right:
            Guarded([&] { AsOneAction([&] { MovePoint(view, 1, 0); }); });
            return true;
        case Qt::Key_Up:
            Guarded([&] { AsOneAction([&] { MovePoint(view, 0, -1); }); });
            return true;
        case Qt::Key_Down:
            Guarded([&] { AsOneAction([&] { MovePoint(view, 0, 1); }); });
            return true;
        default:
            return false;
    }
}

}  // namespace zx
