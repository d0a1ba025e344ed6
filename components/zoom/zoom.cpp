#include "components/zoom/zoom.h"

#include <QAction>
#include <QJsonArray>
#include <QMenu>
#include <algorithm>
#include <cmath>

#include "widgets/guard.h"
#include "widgets/image_view.h"

namespace zx {

TZoom::TZoom(const ViewerContext& context, QObject* parent) : TComponent(context, parent) {
    auto action = [this](const char* name, const QString& caption, const QKeySequence& key,
                         const QString& hint) {
        auto* a = new QAction(caption, this);
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcut(key);
        a->setStatusTip(hint);
        viewer.viewMenu->addAction(a);
        return a;
    };
    viewer.viewMenu->addSeparator();
    Vergroessern1 =
        action("Vergroessern1", QString::fromUtf8("Ver&größern"), QKeySequence(Qt::Key_Plus),
               QString::fromUtf8("Schnittbilder vergrößern (auch Strg+Mausrad)"));
    Verkleinern1 = action("Verkleinern1", QStringLiteral("Ver&kleinern"),
                          QKeySequence(Qt::Key_Minus), QStringLiteral("Schnittbilder verkleinern"));
    Originalgroesse1 =
        action("Originalgroesse1", QString::fromUtf8("&Originalgröße"), QKeySequence(Qt::Key_0),
               QStringLiteral("Schnittbilder wieder in Originalgröße"));
    connect(Vergroessern1, &QAction::triggered, this, Slot([this] { SetFactor(factor_ + 1); }));
    connect(Verkleinern1, &QAction::triggered, this, Slot([this] { SetFactor(factor_ - 1); }));
    connect(Originalgroesse1, &QAction::triggered, this, Slot([this] { SetFactor(1); }));
}

QPointF TZoom::Place(int view) const {
    switch (view) {
        case 1:
            return QPointF(viewer.yg, viewer.zg);
        case 2:
            return QPointF(viewer.xg + viewer.sliceOffset, viewer.zg);
        default:
            return QPointF(viewer.xg + viewer.sliceOffset, viewer.yg);
    }
}

void TZoom::Show(int view) {
    viewer.views[std::size_t(view - 1)]->SetZoom(factor_, centres_[std::size_t(view - 1)]);
}

void TZoom::SetFactor(int factor) {
    factor_ = std::clamp(factor, 1, kMaxFactor);
    for (int v = 1; v <= 3; ++v) {
        centres_[std::size_t(v - 1)] = factor_ == 1 ? QPointF(128, 128) : Place(v);
        Show(v);
    }
}

void TZoom::ZoomAt(int view, int steps, const QPointF& at) {
    const int before = factor_;
    const int after = std::clamp(factor_ + steps, 1, kMaxFactor);
    if (after == before) return;
    const QPointF old = centres_[std::size_t(view - 1)];
    SetFactor(after);  // the other views: about the crosshair
    if (after == 1) return;
    // The middle of the picture pixel under the pointer stays where it is;
    // the centre falls on a whole screen pixel, so every voxel stays a
    // block of F × F.
    const QPointF fixed = at + QPointF(0.5, 0.5);
    const QPointF c = fixed - (fixed - old) * double(before) / double(after);
    centres_[std::size_t(view - 1)] =
        QPointF(std::round(c.x() * after), std::round(c.y() * after)) / after;
    Show(view);
}

void TZoom::PointChanged() {
    if (factor_ > 1) {
        // What a view shows: 256 / F picture pixels about its centre.
        const double half = 128.0 / factor_;
        for (int v = 1; v <= 3; ++v) {
            if (v == heldView_ || v == releasedView_) continue;  // the view being clicked stays put
            const QPointF d = Place(v) - centres_[std::size_t(v - 1)];
            if (d.x() < -half || d.x() >= half || d.y() < -half || d.y() >= half) {
                centres_[std::size_t(v - 1)] = Place(v);
                Show(v);
            }
        }
    }
    releasedView_ = 0;
}

bool TZoom::MouseInView(const ViewMouse& m) {
    if (m.kind == ViewMouse::Press) heldView_ = m.view;
    if (m.kind == ViewMouse::Release) {
        heldView_ = 0;
        releasedView_ = m.view;
    }
    const bool panButton =
        m.shift == TShiftState(ssMiddle) || m.shift == TShiftState(ssLeft | ssShift);
    if (m.kind == ViewMouse::Press && factor_ > 1 && panButton) {
        panView_ = m.view;
        panFrom_ = QPoint(m.column, m.row);
        return true;
    }
    if (!panView_) return false;
    if (m.kind == ViewMouse::Move && m.view == panView_) {
        centres_[std::size_t(panView_ - 1)] += QPointF(panFrom_ - QPoint(m.column, m.row));
        Show(panView_);
    }
    if (m.kind == ViewMouse::Release) panView_ = 0;
    return true;  // the drag's events are the pan's, its release sets no point
}

bool TZoom::WheelInView(int view, int steps, TShiftState shift, int column, int row) {
    if (!(shift & ssCtrl)) return false;
    ZoomAt(view, steps, QPointF(column, row));
    return true;
}

void TZoom::ApplyStartOptions(const StartOptions& options) {
    if (options.zoom > 1) SetFactor(options.zoom);
}

QJsonObject TZoom::SaveState() const {
    QJsonArray centres;
    for (const QPointF& c : centres_) centres.append(QJsonArray{c.x(), c.y()});
    return {{QStringLiteral("factor"), factor_}, {QStringLiteral("centres"), centres}};
}

void TZoom::LoadState(const QJsonObject& state) {
    const QJsonValue factor = state.value(QStringLiteral("factor"));
    if (!factor.isDouble()) return;
    SetFactor(factor.toInt(1));
    const QJsonArray centres = state.value(QStringLiteral("centres")).toArray();
    if (factor_ == 1 || centres.size() != 3) return;
    for (int v = 1; v <= 3; ++v) {
        const QJsonArray xy = centres[v - 1].toArray();
        const double x = xy.at(0).toDouble(-1), y = xy.at(1).toDouble(-1);
        if (xy.size() != 2 || !(x >= 0 && x <= 255 && y >= 0 && y <= 255)) continue;
        centres_[std::size_t(v - 1)] = QPointF(x, y);
        Show(v);
    }
}

}  // namespace zx
