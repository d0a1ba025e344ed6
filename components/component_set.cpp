#include "components/component_set.h"

#include "components/annotations/annotations.h"
#include "components/cine/cine.h"
#include "components/display_window/display_window_tool.h"
#include "components/learning/learning.h"
#include "components/lesson/lesson_panel.h"
#include "components/lightbox/lightbox.h"
#include "components/orientation/orientation_letters.h"
#include "components/rulers/rulers.h"
#include "components/view3d/view3d.h"
#include "components/zoom/zoom.h"
#include "widgets/guard.h"

namespace zx {

namespace {

using Maker = TComponent* (*)(const ViewerContext&, QObject*);

template <class T>
TComponent* Make(const ViewerContext& viewer, QObject* parent) {
    return new T(viewer, parent);
}

/// The components, in the order they add their menus and hear of changes.
/// A new component is one line here.
constexpr Maker kComponents[] = {
    Make<TLearning>,            // "Lernen": atlas read-out, colours, self-test
    Make<TOrientationLetters>,  // edge letters, neurological display
    Make<TRulers>,              // distances and angles
    Make<TDisplayWindowTool>,   // brightness, contrast, colour map
    Make<TView3D>,              // the 3-D head with the sections cut in
    Make<TZoom>,                // zoom and pan in the section views
    Make<TLightbox>,            // sections side by side, saved and printed
    Make<TCine>,                // the planes of a view played one after another
    Make<TAnnotations>,         // texts with arrows on the sections
    Make<TLessonPanel>,         // lessons: stops, questions, handout, web page
};

}  // namespace

TComponentSet::TComponentSet(ViewerContext viewer, QObject* parent) {
    viewer.labelLayer = &Labels;
    for (Maker make : kComponents) all_.push_back(make(viewer, parent));
}

// The components are children of the parent, which deletes them.
TComponentSet::~TComponentSet() = default;

void TComponentSet::Post(Change c) {
    if (depth_ > 0) {
        pending_ |= c;
        return;
    }
    Send(c);
}

TComponentSet::Batch::~Batch() {
    if (--set_.depth_ > 0 || !set_.pending_) return;
    const unsigned changes = set_.pending_;
    set_.pending_ = 0;
    // A destructor must not throw, also while an error unwinds the action:
    // a failing component shows its error as any handler's would.
    Guarded([&] { set_.Send(changes); });
}

void TComponentSet::Send(unsigned changes) {
    if (changes & Volume)
        for (TComponent* c : all_) c->VolumeChanged();
    if (changes & Display)
        for (TComponent* c : all_) c->DisplayChanged();
    if (changes & Point)
        for (TComponent* c : all_) c->PointChanged();
}

bool TComponentSet::MouseInView(const ViewMouse& m) {
    for (TComponent* c : all_)
        if (c->MouseInView(m)) return true;
    return false;
}

bool TComponentSet::WheelInView(int view, int steps, TShiftState shift, int column, int row) {
    for (TComponent* c : all_)
        if (c->WheelInView(view, steps, shift, column, row)) return true;
    return false;
}

bool TComponentSet::KeyPressed(QKeyEvent* e) {
    for (TComponent* c : all_)
        if (c->KeyPressed(e)) return true;
    return false;
}

void TComponentSet::ViewReleased(int view, TMouseButton b) {
    for (TComponent* c : all_) c->ViewReleased(view, b);
}

void TComponentSet::LayoutChanged(QWidget* freeCell, const QRect& free) {
    for (TComponent* c : all_) c->LayoutChanged(freeCell, free);
}

void TComponentSet::ApplyStartOptions(const StartOptions& options) {
    for (TComponent* c : all_) c->ApplyStartOptions(options);
}

QJsonObject TComponentSet::SaveState() const {
    QJsonObject state;
    for (const TComponent* c : all_) {
        const QString key = c->StateKey();
        if (!key.isEmpty()) state.insert(key, c->SaveState());
    }
    return state;
}

void TComponentSet::LoadState(const QJsonObject& state) {
    for (TComponent* c : all_) {
        const QString key = c->StateKey();
        if (!key.isEmpty() && state.value(key).isObject())
            c->LoadState(state.value(key).toObject());
    }
}

}  // namespace zx
