// The window modes "normal", "vergrößert" and "als Symbol", and the layout
// of every view, label and panel from the view edge length V.
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QResizeEvent>
#include <QScopedValueRollback>
#include <QTimer>
#include <QWindow>
#include <algorithm>

#include "app/main_window.h"
#include "widgets/guard.h"
#include "widgets/image_view.h"
#include "widgets/list_box.h"
#include "widgets/status_bar.h"

namespace zx {

namespace {
constexpr int kClientWidth = 537;
constexpr int kClientHeight = 545;
constexpr int kStatusHeight = 19;
/// The panel column of the enlarged layout: magnifier and button panel
/// beside the coordinate panel.
constexpr int kPanelColumnWidth = 257;
/// Room the enlarged layout keeps below a row of views: panels and read-out.
constexpr int kRowBelowMin = 230;
}  // namespace

void TForm1::FixFrame(bool fixed) {
    // The window itself never gets a maximum size: a window manager greys
    // the title bar's maximise button of a window whose minimum and maximum
    // sizes agree. The normal state keeps its designed size through the
    // fixed client area and resizeEvent instead.
    frameFixed_ = fixed;
    if (fixed) {
        Client->setFixedSize(kClientWidth, kClientHeight);
    } else {
        Client->setMinimumSize(0, 0);
        Client->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        setMinimumSize(0, 0);
    }
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    layout()->activate();  // the window manager sees the new size hints at once
    if (fixed && !isMaximized() && size() != sizeHint()) resize(sizeHint());
}

void TForm1::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    // In the normal state the frame keeps the designed size: a size dragged
    // by the user is taken back once the event has been handled.
    if (!frameFixed_ || isMaximized() || isMinimized() || size() == sizeHint()) return;
    QTimer::singleShot(0, this, [this] {
        if (frameFixed_ && !isMaximized() && !isMinimized() && size() != sizeHint())
            resize(sizeHint());
    });
}

void TForm1::normal1Click() {
    // The state change fixes the frame again and lays out (changeEvent).
    showNormal();
}

void TForm1::vergroessert1Click() {
    // The enlarged state takes the size the platform gives a maximised
    // window; the frame must be free before the window manager is asked.
    FixFrame(false);
    showMaximized();
}

void TForm1::changeEvent(QEvent* e) {
    QMainWindow::changeEvent(e);
    if (e->type() != QEvent::WindowStateChange || isMinimized()) return;
    // The window manager may change the state too (title bar, keyboard).
    Guarded([this] {
        FixFrame(!isMaximized());
        FormResize();
    });
}

void TForm1::Symbol1Click() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible()) w->showMinimized();
    }
}

void TForm1::FormResize() {
    if (layingOut_) return;  // resizes made by the layout itself
    LayoutForClientHeight(Client->height(), windowState() & Qt::WindowMaximized, Client->width());
}

void TForm1::LayoutForClientHeight(int clientHeight, bool maximised, int clientWidth) {
    const QScopedValueRollback<bool> guard(layingOut_, true);
    maximisedLayout_ = maximised;
    int V = 256;
    bool row = false;  // the three views side by side (a wide screen)
    if (maximised) {
        // Two rows of views as high as the client area allows, and as wide
        // as the two columns of views plus the panel column beside them.
        V = clientHeight / 2 - 18;
        if (clientWidth > 0) {
            V = std::min(V, (clientWidth - 2 * 8 - 2 * 10 - kPanelColumnWidth) / 2);
            // A wide screen gives larger views in one row, with the free
            // cell and the panels below them.
            const int inRow = std::min((clientWidth - 2 * 8 - 2 * 10) / 3,
                                       clientHeight - 12 - kStatusHeight - kRowBelowMin);
            row = inRow > V;
            if (row) V = inRow;
        }
        V = std::max(V, 64);
    }
    for (TImage* view : {Image1, Image2, Image3}) view->SetStretch(maximised);

    Image1->resize(V, V);
    y_Label1->move(Image1->x() + V - 12, Image1->y() + V - 16);
    Image2->setGeometry(V + 18, Image2->y(), V, V);
    x_Label1->move(Image2->x() + V - 12, Image2->y() + V - 16);
    z_Label2->move(Image2->x() + 6, z_Label2->y());
    if (row)
        Image3->setGeometry(2 * V + 28, 4, V, V);
    else
        Image3->setGeometry(V + 18, V + 12, V, V);
    x_Label2->move(Image3->x() + V - 12, Image3->y() + V - 16);
    y_Label2->move(Image3->x() + 6, Image3->y());
    const std::pair<QLabel*, TImage*> titles[] = {
        {SAG_Label, Image1}, {COR_Label, Image2}, {TRA_Label, Image3}};
    for (const auto& [label, view] : titles) {
        label->move(view->x() + (V - label->width()) / 2, view->y() + 8);
    }
    // The status bar is docked to the bottom edge of the client area.
    StatusBar1->setGeometry(0, clientHeight - kStatusHeight, Client->width(), kStatusHeight);
    if (!maximised) {
        // The designed places: panels, list and read-out under the sagittal view.
        BtnPanel->move(8, V + 12);
        NavPanel->move(188, V + 12);
        FileListBox->setGeometry(8, V + 120, 257, StatusBar1->y() - (V + 120) - 30);
        InfoPanel->setGeometry(8, StatusBar1->y() - 24, 258, 21);
        View3DSlot->hide();
        Components->LayoutChanged(View3DSlot, QRect());
        DisplayChanged();
        return;
    }
    if (row) {
        // The free cell under the sagittal view, as high as the room below
        // the views; the panels beside it, the list taking the rest.
        const int top = V + 12;
        const int cell = std::max(64, StatusBar1->y() - 4 - top);
        const int column = 8 + cell + 10;
        BtnPanel->move(column, top);
        NavPanel->move(column + 180, top);
        InfoPanel->setGeometry(column, StatusBar1->y() - 24, kPanelColumnWidth, 21);
        FileListBox->setGeometry(column + 270, top, std::max(0, Client->width() - column - 278),
                                 std::max(0, StatusBar1->y() - 4 - top));
        View3DSlot->setGeometry(8, top, cell, cell);
        View3DSlot->show();
        Components->LayoutChanged(View3DSlot, View3DSlot->rect());
        DisplayChanged();
        return;
    }
    // Enlarged: a 2 × 2 grid of views — sagittal, coronal / free cell,
    // transversal — and the panels, list and read-out in a column at the
    // right that takes the rest of the width. The free cell is kept for the
    // 3-D view.
    const int column = 2 * V + 28;
    const int columnWidth = std::max(kPanelColumnWidth, Client->width() - column - 8);
    BtnPanel->move(column, 4);
    NavPanel->move(column + 180, 4);
    InfoPanel->setGeometry(column, StatusBar1->y() - 24, columnWidth, 21);
    FileListBox->setGeometry(column, 112, columnWidth, std::max(0, InfoPanel->y() - 5 - 112));
    View3DSlot->setGeometry(8, V + 12, V, V);
    View3DSlot->show();
    Components->LayoutChanged(View3DSlot, View3DSlot->rect());
    DisplayChanged();
}

QRect TForm1::View3DRect() const { return maximisedLayout_ ? View3DSlot->geometry() : QRect(); }

}  // namespace zx
