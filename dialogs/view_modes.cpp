// The window modes "normal", "vergrößert" and "als Symbol", and the layout
// of every view, label and panel from the view edge length V.
#include <QApplication>
#include <QFrame>
#include <QLayout>
#include <QLabel>
#include <QResizeEvent>
#include <QScopedValueRollback>
#include <QTimer>
#include <QWindow>

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
    LayoutForClientHeight(Client->height(), windowState() & Qt::WindowMaximized);
}

void TForm1::LayoutForClientHeight(int clientHeight, bool maximised) {
    const QScopedValueRollback<bool> guard(layingOut_, true);
    maximisedLayout_ = maximised;
    int V = 256;
    if (maximised) {
        // A maximised window keeps the width the window manager gives it;
        // the two columns of views take 2·V + 34 pixels of it from the left.
        V = clientHeight / 2 - 18;
    }
    for (TImage* view : {Image1, Image2, Image3}) view->SetStretch(maximised);

    Image1->resize(V, V);
    y_Label1->move(Image1->x() + V - 12, Image1->y() + V - 16);
    Image2->setGeometry(V + 18, Image2->y(), V, V);
    x_Label1->move(Image2->x() + V - 12, Image2->y() + V - 16);
    z_Label2->move(Image2->x() + 6, z_Label2->y());
    Image3->setGeometry(V + 18, V + 12, V, V);
    x_Label2->move(Image3->x() + V - 12, Image3->y() + V - 16);
    y_Label2->move(Image3->x() + 6, Image3->y());
    const std::pair<QLabel*, TImage*> titles[] = {
        {SAG_Label, Image1}, {COR_Label, Image2}, {TRA_Label, Image3}};
    for (const auto& [label, view] : titles) {
        label->move(view->x() + (V - label->width()) / 2, view->y() + 8);
    }
    NavPanel->move(NavPanel->x(), V + 12);
    BtnPanel->move(BtnPanel->x(), V + 12);
    // The status bar is docked to the bottom edge of the client area.
    StatusBar1->setGeometry(0, clientHeight - kStatusHeight, Client->width(), kStatusHeight);
    FileListBox->setGeometry(FileListBox->x(), V + 120, FileListBox->width(),
                             StatusBar1->y() - (V + 120) - 30);
    InfoPanel->move(InfoPanel->x(), StatusBar1->y() - 24);
}

}  // namespace zx
