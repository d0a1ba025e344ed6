#include "components/annotations/annotations.h"

#include <QAction>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QKeyEvent>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "teach/lesson_pictures.h"
#include "widgets/guard.h"
#include "widgets/image_view.h"
#include "widgets/prompter.h"
#include "widgets/status_bar.h"
#include "widgets/tool_window.h"

namespace zx {

namespace {
/// A press this close to a text's anchor (in picture pixels) takes the text.
constexpr double kGrab = 10;
}  // namespace

TAnnotations::TAnnotations(const ViewerContext& context, QObject* parent)
    : TComponent(context, parent) {
    QMenu* menu = viewer.viewMenu;
    Beschriften1 = menu->addAction(QStringLiteral("&Beschriften"));
    Beschriften1->setObjectName(QStringLiteral("Beschriften1"));
    Beschriften1->setShortcut(QKeySequence(Qt::Key_T));
    Beschriften1->setCheckable(true);
    Beschriften1->setStatusTip(QString::fromUtf8(
        "Beschriften: an der Stelle drücken, zum Text ziehen, loslassen; Text verschieben "
        "durch Ziehen; Esc beendet"));
    viewer.window->addAction(Beschriften1);
    Beschriftungen1 = menu->addAction(QStringLiteral("Beschriftungen..."));
    Beschriftungen1->setObjectName(QStringLiteral("Beschriftungen1"));

    AnnotationWindow = new QWidget(viewer.window, Qt::Tool);
    AnnotationWindow->setObjectName(QStringLiteral("AnnotationWindow"));
    AnnotationWindow->setWindowTitle(QStringLiteral("Beschriftungen"));
    auto* layout = new QVBoxLayout(AnnotationWindow);
    AnnotationList = new QListWidget(AnnotationWindow);
    layout->addWidget(AnnotationList);
    auto* buttons = new QHBoxLayout;
    EditButton = new QPushButton(QStringLiteral("&Bearbeiten..."), AnnotationWindow);
    DeleteButton = new QPushButton(QString::fromUtf8("&Löschen"), AnnotationWindow);
    DeleteAllButton = new QPushButton(QString::fromUtf8("&Alle löschen"), AnnotationWindow);
    for (QPushButton* b : {EditButton, DeleteButton, DeleteAllButton}) buttons->addWidget(b);
    layout->addLayout(buttons);
    AnnotationWindow->resize(340, 220);
    connect(Beschriftungen1, &QAction::triggered, this, Slot([this] {
                if (!AnnotationWindow->isVisible())
                    PlaceToolWindow(AnnotationWindow, viewer.window);
                AnnotationWindow->show();
                AnnotationWindow->raise();
            }));
    connect(EditButton, &QPushButton::clicked, this, Slot([this] { Edit(Selected); }));
    connect(DeleteButton, &QPushButton::clicked, this, Slot([this] { Delete(Selected); }));
    connect(DeleteAllButton, &QPushButton::clicked, this, Slot([this] { DeleteAll(); }));
    connect(AnnotationList, &QListWidget::currentRowChanged, this, Slot([this](int row) {
                Selected = row;
                if (row < 0 || row >= int(Annotations.size())) return;
                // Show the plane the annotation belongs to.
                const Annotation& a = Annotations[std::size_t(row)];
                if (Plane(a.view) != a.plane) {
                    int p[3] = {viewer.xg, viewer.yg, viewer.zg};
                    p[a.view - 1] = a.plane;
                    viewer.moveTo(p[0], p[1], p[2]);
                }
                for (TImage* v : viewer.views) v->update();
            }));
    connect(AnnotationList, &QListWidget::itemDoubleClicked, this,
            Slot([this](QListWidgetItem*) { Edit(Selected); }));

    for (int v = 1; v <= 3; ++v) {
        viewer.views[std::size_t(v - 1)]->AddOverlay([this, v](QPainter& p, const QTransform& t) {
            for (int i = 0; i < int(Annotations.size()); ++i) {
                const Annotation& a = Annotations[std::size_t(i)];
                if (a.view == v && a.plane == Plane(v))
                    DrawAnnotationMark(p, t, a,
                                       i == Selected ? QColor(255, 128, 0) : kAnnotationColour);
            }
        });
    }
}

int TAnnotations::Plane(int view) const {
    return view == 1 ? viewer.xg : view == 2 ? viewer.yg : viewer.zg;
}

int TAnnotations::HitLabel(int view, int column, int row) const {
    for (int i = int(Annotations.size()) - 1; i >= 0; --i) {
        const Annotation& a = Annotations[std::size_t(i)];
        if (a.view == view && a.plane == Plane(view) &&
            std::abs(a.label.x() - column) <= kGrab * 2 && std::abs(a.label.y() - row) <= kGrab)
            return i;
    }
    return -1;
}

void TAnnotations::Add(int view, QPointF target, QPointF label, QString text) {
    if (text.isEmpty() &&
        (!prompter().InputQuery(QStringLiteral("Beschriftung"), QStringLiteral("Text:"), text) ||
         text.trimmed().isEmpty()))
        return;
    Annotation a;
    a.view = view;
    a.plane = Plane(view);
    a.target = target;
    a.label = label;
    a.text = text.trimmed();
    Annotations.push_back(a);
    Selected = int(Annotations.size()) - 1;
    Refresh();
}

void TAnnotations::Edit(int i) {
    if (i < 0 || i >= int(Annotations.size())) return;
    QString text = Annotations[std::size_t(i)].text;
    if (!prompter().InputQuery(QStringLiteral("Beschriftung"), QStringLiteral("Text:"), text) ||
        text.trimmed().isEmpty())
        return;
    Annotations[std::size_t(i)].text = text.trimmed();
    Refresh();
}

void TAnnotations::Delete(int i) {
    if (i < 0 || i >= int(Annotations.size())) return;
    Annotations.erase(Annotations.begin() + i);
    Selected = -1;
    Refresh();
}

void TAnnotations::DeleteAll() {
    Annotations.clear();
    Selected = -1;
    drag_ = Drag::None;
    Refresh();
}

bool TAnnotations::MouseInView(const ViewMouse& m) {
    if (!Beschriften1->isChecked() || m.button != TMouseButton::mbLeft) return false;
    const QPointF at(std::clamp(m.column, 0, 255), std::clamp(m.row, 0, 255));
    switch (m.kind) {
        case ViewMouse::Press:
            dragView_ = m.view;
            dragStart_ = at;
            dragIndex_ = HitLabel(m.view, m.column, m.row);
            drag_ = dragIndex_ >= 0 ? Drag::Move : Drag::New;
            if (dragIndex_ >= 0) Selected = dragIndex_;
            Refresh();
            return true;
        case ViewMouse::Move:
            if (drag_ == Drag::Move && m.view == dragView_) {
                Annotations[std::size_t(dragIndex_)].label = at;
                Refresh();
            }
            return drag_ != Drag::None;
        case ViewMouse::Release:
            if (drag_ == Drag::New && m.view == dragView_) {
                drag_ = Drag::None;
                // A click without a drag puts the text up and to the right.
                QPointF label = at;
                if (std::hypot(at.x() - dragStart_.x(), at.y() - dragStart_.y()) < 5)
                    label = QPointF(std::min(dragStart_.x() + 30, 230.0),
                                    std::max(dragStart_.y() - 30, 12.0));
                Add(m.view, dragStart_, label);
            }
            drag_ = Drag::None;
            return true;
    }
    return false;
}

bool TAnnotations::KeyPressed(QKeyEvent* e) {
    if (e->key() != Qt::Key_Escape || !Beschriften1->isChecked()) return false;
    Beschriften1->setChecked(false);
    drag_ = Drag::None;
    return true;
}

QJsonObject TAnnotations::SaveState() const {
    QJsonArray list;
    for (const Annotation& a : Annotations) list.append(AnnotationToJson(a));
    return {{QStringLiteral("annotations"), list}};
}

void TAnnotations::LoadState(const QJsonObject& state) {
    if (!state.value(QStringLiteral("annotations")).isArray()) return;
    Annotations.clear();
    for (const QJsonValue& v : state.value(QStringLiteral("annotations")).toArray())
        if (auto a = AnnotationFromJson(v)) Annotations.push_back(*a);
    Selected = -1;
    drag_ = Drag::None;
    Refresh();
}

void TAnnotations::Refresh() {
    const QSignalBlocker block(AnnotationList);
    AnnotationList->clear();
    static const char* const kViews[] = {"SAG", "COR", "TRA"};
    static const char* const kAxes[] = {"x", "y", "z"};
    for (const Annotation& a : Annotations)
        AnnotationList->addItem(QStringLiteral("%1 %2=%3: %4")
                                    .arg(QLatin1String(kViews[a.view - 1]))
                                    .arg(QLatin1String(kAxes[a.view - 1]))
                                    .arg(a.plane)
                                    .arg(a.text));
    AnnotationList->setCurrentRow(Selected);
    for (TImage* v : viewer.views) v->update();
}

}  // namespace zx
