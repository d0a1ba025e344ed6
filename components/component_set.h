// The components the main window owns, built from one table, and the one
// way the main window talks to them: changes of the point, the volume and
// the display are collected while a user action runs and sent once each
// when it ends, and the events and hooks that every component may take.
#pragma once

#include <QJsonObject>
#include <memory>
#include <vector>

#include "components/component.h"

namespace zx {

class TComponentSet {
public:
    /// Builds every component of the table, in its order, with `viewer`
    /// (its label layer becomes the set's own), as children of `parent`.
    TComponentSet(ViewerContext viewer, QObject* parent);
    ~TComponentSet();
    TComponentSet(const TComponentSet&) = delete;
    TComponentSet& operator=(const TComponentSet&) = delete;

    /// Every component, told of each change in this order.
    const std::vector<TComponent*>& All() const { return all_; }
    /// The component of type T, or null: for tests and benchmarks, which
    /// drive one component by its controls.
    template <class T>
    T* Find() const {
        for (TComponent* c : all_)
            if (auto* t = dynamic_cast<T*>(c)) return t;
        return nullptr;
    }
    /// Adds a component built elsewhere (a test's probe), told last.
    void Add(TComponent* c) { all_.push_back(c); }

    /// The atlas colours over the sections, shared by the components.
    LabelLayer Labels;

    // ---- Changes, one notification each per user action ----------------
    enum Change : unsigned { Volume = 1, Display = 2, Point = 4 };
    /// Sends `c` at once, or when the outermost Batch ends.
    void Post(Change c);
    /// While one lives, changes are collected; when the outermost ends,
    /// each collected change is sent once: volume, display, then point.
    class Batch {
    public:
        explicit Batch(TComponentSet& set) : set_(set) { ++set_.depth_; }
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        TComponentSet& set_;
    };

    // ---- Events and hooks, to every component in order -----------------
    /// True when a component took the mouse event (the view's own handler
    /// then stays out).
    bool MouseInView(const ViewMouse& m);
    bool KeyPressed(QKeyEvent* e);
    bool WheelInView(int view, int steps, TShiftState shift, int column, int row);
    void ViewReleased(int view, TMouseButton b);
    void LayoutChanged(QWidget* freeCell, const QRect& free);
    void ApplyStartOptions(const StartOptions& options);

    /// The state of every component that has one, under its key; and back
    /// (components whose key is missing keep their state).
    QJsonObject SaveState() const;
    void LoadState(const QJsonObject& state);

private:
    std::vector<TComponent*> all_;
    int depth_ = 0;
    unsigned pending_ = 0;
    void Send(unsigned changes);
};

}  // namespace zx
