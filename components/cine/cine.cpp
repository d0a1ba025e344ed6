#include "components/cine/cine.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <algorithm>

#include "widgets/guard.h"
#include "widgets/tool_window.h"

namespace zx {

TCine::TCine(const ViewerContext& context, QObject* parent) : TComponent(context, parent) {
    CineAbspielen1 = viewer.viewMenu->addAction(QStringLiteral("&Cine abspielen"));
    CineAbspielen1->setObjectName(QStringLiteral("CineAbspielen1"));
    CineAbspielen1->setShortcut(QKeySequence(Qt::Key_C));
    CineAbspielen1->setStatusTip(QString::fromUtf8(
        "Die Schichten der Ansicht unter dem Mauszeiger nacheinander zeigen; C oder Esc hält an"));
    viewer.window->addAction(CineAbspielen1);  // the key works wherever the window has the focus
    connect(CineAbspielen1, &QAction::triggered, this, Slot([this] { Toggle(); }));
    Cine1 = viewer.viewMenu->addAction(QStringLiteral("C&ine..."));
    Cine1->setObjectName(QStringLiteral("Cine1"));
    connect(Cine1, &QAction::triggered, this, Slot([this] {
                if (!CineWindow->isVisible()) PlaceToolWindow(CineWindow, viewer.window);
                CineWindow->show();
                CineWindow->raise();
            }));

    CineWindow = new QWidget(viewer.window, Qt::Tool);
    CineWindow->setObjectName(QStringLiteral("CineWindow"));
    CineWindow->setWindowTitle(QStringLiteral("Cine"));
    auto* form = new QFormLayout(CineWindow);
    ViewBox = new QComboBox(CineWindow);
    for (const char* n : {"Sagittal", "Koronar", "Transversal"})
        ViewBox->addItem(QString::fromLatin1(n));
    RateEdit = new QSpinBox(CineWindow);
    RateEdit->setRange(1, 50);
    RateEdit->setValue(10);
    RateEdit->setSuffix(QStringLiteral(" Bilder/s"));
    LoopBox = new QCheckBox(QStringLiteral("&Endlos wiederholen"), CineWindow);
    PlayButton = new QPushButton(QStringLiteral("&Abspielen"), CineWindow);
    form->addRow(QStringLiteral("&Ansicht:"), ViewBox);
    form->addRow(QStringLiteral("&Tempo:"), RateEdit);
    form->addRow(LoopBox);
    form->addRow(PlayButton);
    CineWindow->adjustSize();

    Timer = new QTimer(this);
    connect(Timer, &QTimer::timeout, this, Slot([this] { Step(); }));
    connect(RateEdit, &QSpinBox::valueChanged, this,
            Slot([this](int rate) { Timer->setInterval(1000 / rate); }));
    connect(PlayButton, &QPushButton::clicked, this, Slot([this] {
                if (Playing())
                    Stop();
                else
                    Play(ViewBox->currentIndex() + 1);
            }));
}

bool TCine::Playing() const { return view_ != 0; }

int TCine::Plane(int view) const {
    return view == 1 ? viewer.xg : view == 2 ? viewer.yg : viewer.zg;
}

int TCine::LastPlane(int view) const {
    // Sagittal planes past the volume's planes hold nothing.
    return view == 1 ? std::clamp(viewer.sliceCount - 1, 0, 255) : 255;
}

void TCine::Play(int view) {
    if (view < 1 || view > 3) return;
    view_ = view;
    {
        const QSignalBlocker block(ViewBox);
        ViewBox->setCurrentIndex(view - 1);
    }
    if (Plane(view) >= LastPlane(view)) {
        int p[3] = {viewer.xg, viewer.yg, viewer.zg};
        p[view - 1] = 0;
        viewer.moveTo(p[0], p[1], p[2]);
    }
    Timer->start(1000 / RateEdit->value());
    ShowState();
}

void TCine::Stop() {
    view_ = 0;
    Timer->stop();
    ShowState();
}

void TCine::Step() {
    if (!Playing()) return;
    int p[3] = {viewer.xg, viewer.yg, viewer.zg};
    int& plane = p[view_ - 1];
    if (plane >= LastPlane(view_)) {
        if (!LoopBox->isChecked()) {
            Stop();
            return;
        }
        plane = 0;
    } else {
        ++plane;
    }
    viewer.moveTo(p[0], p[1], p[2]);
    if (!LoopBox->isChecked() && plane >= LastPlane(view_)) Stop();  // the last picture shows
}

void TCine::Toggle() {
    if (Playing()) {
        Stop();
        return;
    }
    // The view under the pointer, else the one chosen in the window.
    Play(viewer.pointerView >= 1 ? viewer.pointerView : ViewBox->currentIndex() + 1);
}

bool TCine::KeyPressed(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape && Playing()) {
        Stop();
        return true;
    }
    // A coordinate edit with the focus takes C from the menu's shortcut; a
    // letter means nothing there, so over a view it is cine's.
    if (e->key() == Qt::Key_C && e->modifiers() == Qt::NoModifier && viewer.pointerView >= 1) {
        Toggle();
        return true;
    }
    return false;
}

void TCine::ShowState() {
    PlayButton->setText(Playing() ? QStringLiteral("&Anhalten") : QStringLiteral("&Abspielen"));
}

}  // namespace zx
