#include "components/rulers/rulers.h"

#include <QAction>
#include <QActionGroup>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QKeyEvent>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <optional>

#include "teach/lesson_pictures.h"
#include "widgets/guard.h"
#include "widgets/image_view.h"
#include "widgets/status_bar.h"
#include "widgets/tool_window.h"

namespace zx {

TRulers::TRulers(const ViewerContext& context, QObject* parent) : TComponent(context, parent) {
    QMenu* menu = viewer.viewMenu;
    StreckeMessen1 = menu->addAction(QStringLiteral("&Strecke messen"));
    StreckeMessen1->setObjectName(QStringLiteral("StreckeMessen1"));
    StreckeMessen1->setShortcut(QKeySequence(Qt::Key_M));
    WinkelMessen1 = menu->addAction(QStringLiteral("&Winkel messen"));
    WinkelMessen1->setObjectName(QStringLiteral("WinkelMessen1"));
    WinkelMessen1->setShortcut(QKeySequence(Qt::Key_W));
    for (QAction* a : {StreckeMessen1, WinkelMessen1}) {
        a->setCheckable(true);
        a->setStatusTip(
            QString::fromUtf8("Messmodus: Punkte mit der linken Maustaste setzen, Esc beendet"));
        viewer.window->addAction(a);  // the key works wherever the window has the focus
    }
    auto* modes = new QActionGroup(this);
    modes->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    modes->addAction(StreckeMessen1);
    modes->addAction(WinkelMessen1);
    connect(modes, &QActionGroup::triggered, this, Slot([this](QAction*) {
                Pending.points.clear();
                Refresh();
            }));
    Messungen1 = menu->addAction(QStringLiteral("Messungen..."));
    Messungen1->setObjectName(QStringLiteral("Messungen1"));
    connect(Messungen1, &QAction::triggered, this, Slot([this] { ShowList(); }));

    MeasureWindow = new QWidget(viewer.window, Qt::Tool);
    MeasureWindow->setObjectName(QStringLiteral("MeasureWindow"));
    MeasureWindow->setWindowTitle(QStringLiteral("Messungen"));
    auto* layout = new QVBoxLayout(MeasureWindow);
    MeasureList = new QListWidget(MeasureWindow);
    MeasureList->setObjectName(QStringLiteral("MeasureList"));
    layout->addWidget(MeasureList);
    auto* buttons = new QHBoxLayout;
    DeleteButton = new QPushButton(QString::fromUtf8("&Löschen"), MeasureWindow);
    DeleteAllButton = new QPushButton(QString::fromUtf8("&Alle löschen"), MeasureWindow);
    buttons->addWidget(DeleteButton);
    buttons->addWidget(DeleteAllButton);
    layout->addLayout(buttons);
    MeasureWindow->resize(300, 220);
    connect(DeleteButton, &QPushButton::clicked, this, Slot([this] { DeleteSelected(); }));
    connect(DeleteAllButton, &QPushButton::clicked, this, Slot([this] { DeleteAll(); }));
    connect(MeasureList, &QListWidget::currentRowChanged, this, Slot([this](int row) {
                if (row != Selected) Select(row);
            }));

    for (int v = 1; v <= 3; ++v) {
        viewer.views[std::size_t(v - 1)]->AddOverlay([this, v](QPainter& p, const QTransform& t) {
            // The marks on this view's slice, with their colours: they and
            // the transform are all the drawing depends on, so it is kept
            // as a picture while a drag repaints the view.
            std::vector<std::pair<const Measurement*, QColor>> shown;
            const auto add = [&](const Measurement& m, const QColor& colour) {
                if (m.view == v && m.plane == Plane(v) && !m.points.empty())
                    shown.emplace_back(&m, colour);
            };
            for (int i = 0; i < int(Measurements.size()); ++i)
                add(Measurements[std::size_t(i)],
                    i == Selected ? QColor(255, 128, 0) : QColor(0, 230, 255));
            add(Pending, QColor(255, 255, 0));
            if (shown.empty()) return;
            QByteArray key;
            const auto put = [&key](const auto& value) {
                key.append(reinterpret_cast<const char*>(&value), sizeof value);
            };
            for (const double d :
                 {t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy(), viewer.edgeMm})
                put(d);
            put(qHash(p.font()));
            for (const auto& [m, colour] : shown) {
                put(colour.rgba());
                put(m->points.size());
                for (const QPointF& q : m->points) put(q);
            }
            marks_[std::size_t(v - 1)].Paint(p, key, [&](QPainter& q) {
                for (const auto& [m, colour] : shown)
                    DrawMeasurementMark(q, t, *m, viewer.edgeMm, colour);
            });
        });
    }
}

int TRulers::Plane(int view) const {
    return view == 1 ? viewer.xg : view == 2 ? viewer.yg : viewer.zg;
}

bool TRulers::MouseInView(const ViewMouse& m) {
    const bool angle = WinkelMessen1->isChecked();
    if (!angle && !StreckeMessen1->isChecked()) return false;
    // In the measuring mode the left button sets points; other buttons and
    // moves go to the view as usual.
    if (m.button != TMouseButton::mbLeft || m.kind == ViewMouse::Move) return false;
    if (m.kind == ViewMouse::Release) return true;
    if (!Pending.points.empty() && (Pending.view != m.view || Pending.plane != Plane(m.view)))
        Pending.points.clear();
    Pending.view = m.view;
    Pending.plane = Plane(m.view);
    Pending.points.emplace_back(std::clamp(m.column, 0, 255), std::clamp(m.row, 0, 255));
    if (Pending.points.size() == (angle ? 3u : 2u)) {
        Measurements.push_back(Pending);
        Pending.points.clear();
        viewer.statusBar->SetSimpleText(MeasurementEntry(Measurements.back(), viewer.edgeMm));
    }
    Refresh();
    return true;
}

bool TRulers::KeyPressed(QKeyEvent* e) {
    if (e->key() != Qt::Key_Escape || (!StreckeMessen1->isChecked() && !WinkelMessen1->isChecked()))
        return false;
    Pending.points.clear();
    StreckeMessen1->setChecked(false);
    WinkelMessen1->setChecked(false);
    Refresh();
    return true;
}

void TRulers::Select(int i) {
    Selected = (i >= 0 && i < int(Measurements.size())) ? i : -1;
    if (Selected >= 0) {
        const Measurement& m = Measurements[std::size_t(Selected)];
        if (Plane(m.view) != m.plane) {
            int p[3] = {viewer.xg, viewer.yg, viewer.zg};
            p[m.view - 1] = m.plane;
            viewer.moveTo(p[0], p[1], p[2]);
        }
    }
    Refresh();
}

void TRulers::DeleteSelected() {
    if (Selected < 0 || Selected >= int(Measurements.size())) return;
    Measurements.erase(Measurements.begin() + Selected);
    Selected = -1;
    Refresh();
}

void TRulers::DeleteAll() {
    Measurements.clear();
    Pending.points.clear();
    Selected = -1;
    Refresh();
}

void TRulers::ShowList() {
    if (!MeasureWindow->isVisible()) PlaceToolWindow(MeasureWindow, viewer.window);
    MeasureWindow->show();
    MeasureWindow->raise();
}

QJsonObject TRulers::SaveState() const {
    QJsonArray list;
    for (const Measurement& m : Measurements) {
        QJsonArray points;
        for (const QPointF& p : m.points) points.append(QJsonArray{p.x(), p.y()});
        list.append(QJsonObject{{QStringLiteral("view"), m.view},
                                {QStringLiteral("plane"), m.plane},
                                {QStringLiteral("points"), points}});
    }
    return {{QStringLiteral("measurements"), list}};
}

namespace {

/// A measurement as stored, or none when it is not one the views can show.
std::optional<Measurement> MeasurementFrom(const QJsonValue& value) {
    const QJsonObject o = value.toObject();
    const QJsonValue view = o.value(QStringLiteral("view")),
                     plane = o.value(QStringLiteral("plane"));
    const QJsonArray points = o.value(QStringLiteral("points")).toArray();
    if (!view.isDouble() || !plane.isDouble() || points.size() < 2 || points.size() > 3) return {};
    Measurement m;
    m.view = view.toInt(-1);
    m.plane = plane.toInt(-1);
    if (m.view < 1 || m.view > 3 || m.plane < 0 || m.plane > 255) return {};
    for (const QJsonValue& p : points) {
        const QJsonArray xy = p.toArray();
        if (xy.size() != 2 || !xy[0].isDouble() || !xy[1].isDouble()) return {};
        const double x = xy[0].toDouble(), y = xy[1].toDouble();
        if (!(x >= 0 && x <= 255 && y >= 0 && y <= 255)) return {};
        m.points.emplace_back(x, y);
    }
    return m;
}

}  // namespace

void TRulers::LoadState(const QJsonObject& state) {
    if (!state.value(QStringLiteral("measurements")).isArray()) return;
    Measurements.clear();
    for (const QJsonValue& v : state.value(QStringLiteral("measurements")).toArray())
        if (auto m = MeasurementFrom(v)) Measurements.push_back(std::move(*m));
    Pending.points.clear();
    Selected = -1;
    Refresh();
}

void TRulers::Refresh() {
    const QSignalBlocker block(MeasureList);
    MeasureList->clear();
    for (const Measurement& m : Measurements)
        MeasureList->addItem(MeasurementEntry(m, viewer.edgeMm));
    MeasureList->setCurrentRow(Selected);
    for (TImage* v : viewer.views) v->update();
}

}  // namespace zx
