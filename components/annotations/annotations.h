// Annotations in the section views: a text with an arrow pointing at a
// spot, kept with its view and plane as measurements are. Set in a mode of
// their own (press at the spot, drag to where the text goes, type the
// text), moved by dragging their text in that mode, and edited and deleted
// in a list window.
#pragma once

#include <vector>

#include "components/component.h"
#include "teach/lesson.h"

class QAction;
class QListWidget;
class QPushButton;
class QWidget;

namespace zx {

class TAnnotations : public TComponent {
public:
    explicit TAnnotations(const ViewerContext& viewer, QObject* parent = nullptr);

    QAction* Beschriften1;     ///< the mode, key T
    QAction* Beschriftungen1;  ///< opens the list
    QWidget* AnnotationWindow;
    QListWidget* AnnotationList;
    QPushButton *EditButton, *DeleteButton, *DeleteAllButton;

    std::vector<Annotation> Annotations;  ///< in drawing order
    int Selected = -1;                    ///< index into Annotations, or -1

    /// Adds an annotation on the plane shown in `view`; asks for its text
    /// when `text` is empty (nothing is added when that is cancelled).
    void Add(int view, QPointF target, QPointF label, QString text = {});
    /// Asks for a new text of entry i.
    void Edit(int i);
    void Delete(int i);
    void DeleteAll();

    bool MouseInView(const ViewMouse& m) override;
    bool KeyPressed(QKeyEvent* e) override;
    void VolumeChanged() override { DeleteAll(); }

    /// {"annotations": [{"view", "plane", "target": [c, r], "label": [c, r], "text"}]};
    /// entries that are not sound are left out when read.
    QString StateKey() const override { return QStringLiteral("annotations"); }
    QJsonObject SaveState() const override;
    void LoadState(const QJsonObject& state) override;

private:
    int Plane(int view) const;
    /// The annotation whose text lies at (column, row) of `view`, or -1.
    int HitLabel(int view, int column, int row) const;
    void Refresh();
    enum class Drag { None, New, Move } drag_ = Drag::None;
    int dragView_ = 0, dragIndex_ = -1;
    QPointF dragStart_;
};

}  // namespace zx
