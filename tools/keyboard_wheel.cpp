// Stepping through the volume with the wheel and the keyboard, and files
// dropped on the window: what users of other head viewers expect.
#include <QApplication>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <algorithm>

#include "app/main_window.h"
#include "components/component.h"
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
    const bool moves = Limit(current[c] + dColumn) != current[c] || Limit(current[r] + dRow) != current[r];
    if (!moves) return;
    if (dColumn) SetCoordinate(c, current[c] + dColumn);
    if (dRow) SetCoordinate(r, current[r] + dRow);
    RecordStep();
}

bool TForm1::ViewKey(QKeyEvent* e) {
    for (TComponent* c : Components)
        if (c->KeyPressed(e)) return true;
    if (PointerView == 0 || QApplication::activeModalWidget()) return false;
    // A coordinate edit with the focus keeps its keys.
    if (qobject_cast<QLineEdit*>(QApplication::focusWidget())) return false;
    switch (e->key()) {
        case Qt::Key_PageUp: Guarded([&] { StepPlane(PointerView, 1); }); return true;
        case Qt::Key_PageDown: Guarded([&] { StepPlane(PointerView, -1); }); return true;
        case Qt::Key_Left: Guarded([&] { MovePoint(PointerView, -1, 0); }); return true;
        case Qt::Key_Right: Guarded([&] { MovePoint(PointerView, 1, 0); }); return true;
        case Qt::Key_Up: Guarded([&] { MovePoint(PointerView, 0, -1); }); return true;
        case Qt::Key_Down: Guarded([&] { MovePoint(PointerView, 0, 1); }); return true;
        default: return false;
    }
}

void TForm1::dragEnterEvent(QDragEnterEvent* e) {
    if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* e) {
    QStringList paths;
    for (const QUrl& url : e->mimeData()->urls()) {
        if (url.isLocalFile()) paths << url.toLocalFile();
    }
    if (paths.isEmpty()) return;
    e->acceptProposedAction();
    Guarded([&] { OpenPaths(paths); });
}

}  // namespace zx
