#include "components/view3d/view3d.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>

#include "widgets/blit.h"
#include "widgets/guard.h"
#include "widgets/tool_window.h"

namespace zx {

// ---- The canvas ----------------------------------------------------------------

TView3DCanvas::TView3DCanvas(TView3D& owner, QWidget* parent) : QWidget(parent), owner_(owner) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(128, 128);
    setCursor(Qt::OpenHandCursor);
    pick_ = new QTimer(this);
    pick_->setSingleShot(true);
    connect(pick_, &QTimer::timeout, this, [this] { Pick(); });
    setToolTip(
        QString::fromUtf8("Ziehen: drehen · Mausrad: zoomen · Klick: Fadenkreuz dorthin · "
                          "Doppelklick: Ansicht zurücksetzen"));
}

void TView3DCanvas::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (stale_ || picture_.width() != Side()) {
        const Renderer3D& renderer = owner_.Renderer();  // first: it may set the ramp
        Render3DOptions o = owner_.Options();
        o.halfResolution = owner_.turning || owner_.following;
        renderer.Render(o, Side(), picture_);
        stale_ = false;
    }
    DrawImageInBands(p, QPointF(Origin()), picture_);
}

std::optional<Voxel> TView3DCanvas::PickAt(int x, int y) const {
    const QPoint at = QPoint(x, y) - Origin();
    if (at.x() < 0 || at.y() < 0 || at.x() >= Side() || at.y() >= Side()) return std::nullopt;
    const Renderer3D& renderer = owner_.Renderer();  // first: it may set the ramp
    return renderer.Pick(owner_.Options(), Side(), at.x(), at.y());
}

void TView3DCanvas::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    last_ = e->position().toPoint();
    moved_ = false;
    turning_ = true;
    setCursor(Qt::ClosedHandCursor);
}

void TView3DCanvas::mouseMoveEvent(QMouseEvent* e) {
    if (!turning_) return;
    const QPoint d = e->position().toPoint() - last_;
    if (!moved_ && d.manhattanLength() < 3) return;
    moved_ = true;
    last_ = e->position().toPoint();
    owner_.turning = true;
    owner_.StartRest();
    owner_.camera.azimuth = std::fmod(owner_.camera.azimuth - 0.5 * d.x() + 360.0, 360.0);
    owner_.camera.elevation = std::clamp(owner_.camera.elevation + 0.5 * d.y(), -90.0, 90.0);
    owner_.DisplayChanged();
}

void TView3DCanvas::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || !turning_) return;
    turning_ = false;
    setCursor(Qt::OpenHandCursor);
    if (moved_) {
        owner_.turning = false;  // the full picture once the mouse stops
        owner_.DisplayChanged();
        return;
    }
    // A click moves the crosshair once it is clear that it is no double
    // click, which resets the view and moves nothing.
    pickAt_ = e->position().toPoint();
    pick_->start(QApplication::doubleClickInterval());
}

void TView3DCanvas::Pick() {
    Guarded([&] {
        if (const std::optional<Voxel> v = PickAt(pickAt_.x(), pickAt_.y())) owner_.MoveTo(*v);
    });
}

void TView3DCanvas::mouseDoubleClickEvent(QMouseEvent*) {
    pick_->stop();
    turning_ = false;  // the second press's release picks nothing
    owner_.ResetCamera();
}

void TView3DCanvas::wheelEvent(QWheelEvent* e) {
    const double notches = e->angleDelta().y() / 120.0;
    owner_.camera.zoom = std::clamp(owner_.camera.zoom * std::pow(1.15, notches), 0.5, 8.0);
    owner_.DisplayChanged();
    e->accept();
}

// ---- The component -------------------------------------------------------------

TView3D::TView3D(const ViewerContext& context, QObject* parent) : TComponent(context, parent) {
    Ansicht3D1 = context.viewMenu->addAction(QStringLiteral("&3D-Ansicht"));
    Ansicht3D1->setObjectName(QStringLiteral("Ansicht3D1"));
    Ansicht3D1->setStatusTip(QStringLiteral("Der Kopf in 3D, die drei Schnitte eingeschnitten"));

    View3DWindow = new QWidget(context.window, Qt::Tool);
    View3DWindow->setObjectName(QStringLiteral("View3DWindow"));
    View3DWindow->setWindowTitle(QStringLiteral("3D-Ansicht"));
    auto* layout = new QVBoxLayout(View3DWindow);
    Canvas = new TView3DCanvas(*this, View3DWindow);
    Canvas->setObjectName(QStringLiteral("View3DCanvas"));
    Canvas->setMinimumSize(256, 256);
    layout->addWidget(Canvas, 1);
    auto* controls = new QFormLayout;
    ModeBox = new QComboBox(View3DWindow);
    ModeBox->addItems({QString::fromUtf8("Oberfläche, aufgeschnitten"),
                       QString::fromUtf8("Oberfläche"), QStringLiteral("Maximumprojektion (MIP)")});
    RampLow = new QSpinBox(View3DWindow);
    RampHigh = new QSpinBox(View3DWindow);
    for (QSpinBox* s : {RampLow, RampHigh}) s->setRange(0, 255);
    auto* rampRow = new QHBoxLayout;
    rampRow->addWidget(RampLow);
    rampRow->addWidget(RampHigh);
    ResetButton = new QPushButton(QString::fromUtf8("Ansicht &zurücksetzen"), View3DWindow);
    controls->addRow(QStringLiteral("&Darstellung:"), ModeBox);
    controls->addRow(QString::fromUtf8("Opazität von/bis:"), rampRow);
    controls->addRow(ResetButton);
    layout->addLayout(controls);
    View3DWindow->resize(300, 390);
    SlotCanvas = nullptr;
    rest_ = new QTimer(this);
    rest_->setSingleShot(true);
    // A view that has come to rest (the crosshair no longer moving, or the
    // mouse held still during a turn) is drawn at full resolution: the
    // wait plus one full frame of the enlarged cell stays under 150 ms.
    rest_->setInterval(50);
    connect(rest_, &QTimer::timeout, this, [this] {
        following = false;
        turning = false;
        InvalidateAll();
    });

    connect(Ansicht3D1, &QAction::triggered, this, Slot([this] {
                if (!View3DWindow->isVisible()) PlaceToolWindow(View3DWindow, viewer.window);
                View3DWindow->show();
                View3DWindow->raise();
                InvalidateAll();
            }));
    connect(ModeBox, &QComboBox::currentIndexChanged, this, Slot([this](int) { InvalidateAll(); }));
    const auto rampChanged = Slot([this](int) {
        ramp.low = RampLow->value();
        ramp.high = std::max(RampHigh->value(), ramp.low + 1);
        InvalidateAll();
    });
    connect(RampLow, &QSpinBox::valueChanged, this, rampChanged);
    connect(RampHigh, &QSpinBox::valueChanged, this, rampChanged);
    connect(ResetButton, &QPushButton::clicked, this, Slot([this] { ResetCamera(); }));
    ResetCamera();
}

Render3DOptions TView3D::Options() const {
    Render3DOptions o;
    o.mode = ModeBox->currentIndex() == 2 ? Render3DMode::Mip : Render3DMode::Surface;
    o.camera = camera;
    o.ramp = ramp;
    if (ModeBox->currentIndex() == 0) o.cut = Voxel{viewer.xg, viewer.yg, viewer.zg};
    if (viewer.labelLayer->labels) {
        o.labels = viewer.labelLayer->labels;
        o.labelColours = viewer.labelLayer->colours.data();
    }
    return o;
}

const Renderer3D& TView3D::Renderer() {
    if (volumeStale_) {
        // Only when a view is drawn: opening a volume with the 3-D view
        // hidden costs neither the copy nor the histogram.
        renderer_.SetVolume(viewer.volume.data(), viewer.sliceCount);
        ramp = RampFromHistogram(viewer.volume.data(), viewer.sliceCount);
        const QSignalBlocker b1(RampLow), b2(RampHigh);
        RampLow->setValue(ramp.low);
        RampHigh->setValue(ramp.high);
        volumeStale_ = false;
    }
    return renderer_;
}

void TView3D::ResetCamera() {
    // Obliquely from the front left and a little above: the face, the
    // side and the cut octant at once.
    camera = Camera3D{30, 20, 1};
    InvalidateAll();
}

bool TView3D::AnyShown() const {
    return View3DWindow->isVisible() || (SlotCanvas && SlotCanvas->isVisible());
}

void TView3D::InvalidateAll() {
    Canvas->Invalidate();
    if (SlotCanvas) SlotCanvas->Invalidate();
}

void TView3D::StartRest() { rest_->start(); }

void TView3D::PointChanged() {
    // Only the cut depends on the point; nothing to do while no view shows.
    const std::array<int, 3> p{viewer.xg, viewer.yg, viewer.zg};
    if (p == shownPoint_ || !AnyShown() || ModeBox->currentIndex() != 0) return;
    shownPoint_ = p;
    following = true;
    rest_->start();
    InvalidateAll();
}

void TView3D::VolumeChanged() {
    volumeStale_ = true;
    shownPoint_ = {-1, -1, -1};
    InvalidateAll();
}

void TView3D::DisplayChanged() { InvalidateAll(); }

void TView3D::PlaceInLayout(QWidget* parent, const QRect& free) {
    if (free.width() < 128 || free.height() < 128) {
        if (SlotCanvas) SlotCanvas->hide();
        return;
    }
    if (!SlotCanvas) {
        SlotCanvas = new TView3DCanvas(*this, parent);
        SlotCanvas->setObjectName(QStringLiteral("View3DSlotCanvas"));
    }
    SlotCanvas->setGeometry(free);
    SlotCanvas->show();
    SlotCanvas->Invalidate();
}

}  // namespace zx
