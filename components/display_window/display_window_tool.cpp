#include "components/display_window/display_window_tool.h"

#include <QAction>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>

#include "widgets/guard.h"
#include "widgets/image_view.h"
#include "widgets/status_bar.h"
#include "widgets/tool_window.h"

namespace zx {

namespace {
/// The drag's modifier: Ctrl and Shift together with the left button,
/// which no navigation uses.
constexpr TShiftState kDragState = ssLeft | ssCtrl | ssShift;
}  // namespace

TDisplayWindowTool::TDisplayWindowTool(const ViewerContext& context, QObject* parent)
    : TComponent(context, parent) {
    Fensterung1 = viewer.viewMenu->addAction(QStringLiteral("&Fensterung..."));
    Fensterung1->setObjectName(QStringLiteral("Fensterung1"));
    Fensterung1->setStatusTip(QStringLiteral(
        "Helligkeit und Kontrast; auch mit Strg+Umschalt und linker Maustaste ziehen"));
    connect(Fensterung1, &QAction::triggered, this, Slot([this] {
                if (!WindowTool->isVisible()) PlaceToolWindow(WindowTool, viewer.window);
                WindowTool->show();
                WindowTool->raise();
            }));

    WindowTool = new QWidget(viewer.window, Qt::Tool);
    WindowTool->setObjectName(QStringLiteral("WindowTool"));
    WindowTool->setWindowTitle(QStringLiteral("Fensterung"));
    auto* form = new QFormLayout(WindowTool);
    CentreEdit = new QSpinBox(WindowTool);
    CentreEdit->setRange(0, 255);
    WidthEdit = new QSpinBox(WindowTool);
    WidthEdit->setRange(1, 512);
    PresetBox = new QComboBox(WindowTool);
    PresetBox->addItem(QStringLiteral("(eigene Werte)"));
    for (const WindowPreset& p : WindowPresets())
        PresetBox->addItem(QStringLiteral("%1 (%2/%3)").arg(p.name).arg(p.centre).arg(p.width));
    MapBox = new QComboBox(WindowTool);
    for (const QString& n : ColourMapNames()) MapBox->addItem(n);
    AutoButton = new QPushButton(QStringLiteral("&Auto"), WindowTool);
    ResetButton = new QPushButton(QString::fromUtf8("&Zurücksetzen"), WindowTool);
    for (QWidget* w : {static_cast<QWidget*>(CentreEdit), static_cast<QWidget*>(WidthEdit),
                       static_cast<QWidget*>(PresetBox), static_cast<QWidget*>(MapBox)})
        w->setMinimumWidth(150);
    form->addRow(QStringLiteral("&Zentrum:"), CentreEdit);
    form->addRow(QStringLiteral("&Breite:"), WidthEdit);
    form->addRow(QStringLiteral("&Vorgabe:"), PresetBox);
    form->addRow(QStringLiteral("&Farbtabelle:"), MapBox);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(AutoButton);
    buttons->addWidget(ResetButton);
    form->addRow(buttons);
    WindowTool->adjustSize();

    const auto typed = Slot([this](int) {
        DisplayWindow w = window_;
        w.centre = CentreEdit->value();
        w.width = WidthEdit->value();
        w.map = ColourMap(std::max(MapBox->currentIndex(), 0));
        SetWindow(w);
    });
    connect(CentreEdit, &QSpinBox::valueChanged, this, typed);
    connect(WidthEdit, &QSpinBox::valueChanged, this, typed);
    connect(MapBox, &QComboBox::currentIndexChanged, this, typed);
    connect(PresetBox, &QComboBox::activated, this, Slot([this](int i) {
                if (i < 1) return;
                const WindowPreset& p = WindowPresets()[std::size_t(i - 1)];
                DisplayWindow w = window_;
                w.centre = p.centre;
                w.width = p.width;
                SetWindow(w);
            }));
    connect(AutoButton, &QPushButton::clicked, this, Slot([this] { Auto(); }));
    connect(ResetButton, &QPushButton::clicked, this, Slot([this] { Reset(); }));
    table_ = MakeWindowTable(window_);
    ShowControls();
}

void TDisplayWindowTool::SetWindow(DisplayWindow w) {
    w.centre = std::clamp(w.centre, 0, 255);
    w.width = std::clamp(w.width, 1, 512);
    const bool changed = !(w == window_);
    window_ = w;
    ShowControls();
    if (!changed) return;
    table_ = MakeWindowTable(window_);
    const QRgb* shown = window_.IsIdentity() ? nullptr : table_.data();
    for (TImage* v : viewer.views) v->SetTable(shown);
    viewer.redisplay();
    viewer.statusBar->SetSimpleText(QStringLiteral("Fenster: Zentrum %1, Breite %2, %3")
                                        .arg(window_.centre)
                                        .arg(window_.width)
                                        .arg(ColourMapNames()[std::size_t(window_.map)]));
}

void TDisplayWindowTool::Auto() {
    DisplayWindow w = AutoWindow(viewer.volume.data(), viewer.sliceCount);
    w.map = window_.map;
    SetWindow(w);
}

void TDisplayWindowTool::ShowControls() {
    const QSignalBlocker b1(CentreEdit), b2(WidthEdit), b3(MapBox), b4(PresetBox);
    CentreEdit->setValue(window_.centre);
    WidthEdit->setValue(window_.width);
    MapBox->setCurrentIndex(int(window_.map));
    int preset = 0;
    for (std::size_t i = 0; i < WindowPresets().size(); ++i)
        if (WindowPresets()[i].centre == window_.centre &&
            WindowPresets()[i].width == window_.width)
            preset = int(i) + 1;
    PresetBox->setCurrentIndex(preset);
}

QJsonObject TDisplayWindowTool::SaveState() const {
    return {{QStringLiteral("centre"), window_.centre},
            {QStringLiteral("width"), window_.width},
            {QStringLiteral("map"), ColourMapNames()[std::size_t(window_.map)]}};
}

void TDisplayWindowTool::LoadState(const QJsonObject& state) {
    DisplayWindow w = window_;
    const QJsonValue centre = state.value(QStringLiteral("centre")),
                     width = state.value(QStringLiteral("width"));
    if (centre.isDouble()) w.centre = centre.toInt(w.centre);
    if (width.isDouble()) w.width = width.toInt(w.width);
    const auto& names = ColourMapNames();
    const auto map =
        std::find(names.begin(), names.end(), state.value(QStringLiteral("map")).toString());
    if (map != names.end()) w.map = ColourMap(map - names.begin());
    SetWindow(w);
}

bool TDisplayWindowTool::MouseInView(const ViewMouse& m) {
    if (m.kind == ViewMouse::Press) {
        if (m.button != TMouseButton::mbLeft || m.shift != kDragState) return false;
        dragging_ = true;
        dragStart_ = QPoint(m.column, m.row);
        dragWindow_ = window_;
        return true;
    }
    if (!dragging_) return false;
    // Right widens, left narrows; down brightens (lower centre), up darkens.
    DisplayWindow w = dragWindow_;
    w.width = dragWindow_.width + (m.column - dragStart_.x());
    w.centre = dragWindow_.centre - (m.row - dragStart_.y());
    SetWindow(w);
    if (m.kind == ViewMouse::Release) dragging_ = false;
    return true;
}

}  // namespace zx
