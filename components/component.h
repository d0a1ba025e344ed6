// The seam between the main window and the features that go beyond its
// designed controls (atlas read-out and self-test, orientation letters,
// rulers, display window, 3-D view). A component gets a read-only view of
// the main window's state and is told when the point, the volume or the
// display changed; it never reaches into another component.
#pragma once

#include <QJsonObject>
#include <QObject>
#include <QRect>
#include <QString>
#include <array>
#include <functional>

#include "core/volume/volume.h"
#include "widgets/shift_state.h"

class QKeyEvent;
class QMainWindow;
class QMenu;
class QMenuBar;
class QWidget;

namespace zx {

class TImage;
class TStatusBar;

/// The atlas colours laid over the sections, for components that draw the
/// sections elsewhere (the 3-D view's cut faces): a label volume and a
/// colour (#AARRGGBB) per label, or no labels when no colours are shown.
struct LabelLayer {
    const std::uint8_t* labels = nullptr;
    std::array<std::uint32_t, 256> colours{};
};

/// What a component may see of the main window: its live state (held by
/// reference, so always current), its views and the places it may add to.
/// Built with designated initialisers, so that no two fields of one type
/// can change places unnoticed.
struct ViewerContext {
    const VolumeArray& volume;
    const int& xg;
    const int& yg;
    const int& zg;
    const int& sliceCount;
    const int& sliceOffset;
    const QString& volumeFileName;
    const double& edgeMm;    ///< voxel edge in mm, 0 when unknown
    const int& pointerView;  ///< the view under the pointer (1…3), 0 for none
    /// The atlas colours, owned by the component set: written by the atlas
    /// component, read by others.
    LabelLayer* labelLayer = nullptr;
    std::array<TImage*, 3> views;  ///< sagittal, coronal, transversal
    TStatusBar* statusBar;
    QMainWindow* window;
    QMenuBar* menuBar;
    QMenu* viewMenu;  ///< "Ansicht"
    QMenu* helpMenu;  ///< "Hilfe": menus of components go before it
    /// Moves the crosshair to (x, y, z) as typed coordinates do, and
    /// records the step.
    std::function<void(int, int, int)> moveTo;
    /// Shows the three views again from their clean sections, with
    /// crosshairs (after a change of the display window).
    std::function<void()> redisplay;
    /// Tells every component that the display changed (the shared atlas
    /// colours, for one).
    std::function<void()> displayChanged;
    /// Every component's state under its key, and back: what a lesson stop
    /// records and restores.
    std::function<QJsonObject()> saveState;
    std::function<void(const QJsonObject&)> loadState;
    /// Opens a volume file as the Open command does (a lesson's volume).
    std::function<void(const QString&)> openFile;
};

/// A mouse event in a view, in picture pixels (scaled back from an
/// enlarged view, mirrored back from a mirrored one).
struct ViewMouse {
    enum Kind { Press, Move, Release } kind;
    int view;  ///< 1 sagittal, 2 coronal, 3 transversal
    TMouseButton button;
    TShiftState shift;
    int column, row;
};

/// Choices made on the command line that components may take up.
struct StartOptions {
    bool neurological = false;  ///< --neurological
    int zoom = 1;               ///< --zoom F: the section views enlarged F times
    QString lesson;             ///< --lesson FILE: the lesson opened at start
    int stop = 1;               ///< --stop N: its stop shown first, counted from 1
};

/// A feature beyond the designed window, owned by the main window.
class TComponent : public QObject {
public:
    explicit TComponent(const ViewerContext& viewer, QObject* parent = nullptr)
        : QObject(parent), viewer(viewer) {}
    /// The crosshair point moved (cheap when nothing depends on it).
    virtual void PointChanged() {}
    /// A new volume is shown, centred (after every open and import).
    virtual void VolumeChanged() {}
    /// The layout or window mode changed, or a layer the components share.
    virtual void DisplayChanged() {}
    /// The mouse button `b` was released over view 1…3, after the view's
    /// own handler ran.
    virtual void ViewReleased(int /*view*/, TMouseButton /*b*/) {}
    /// A mouse event in a view before the view's own handler: true when the
    /// component took it, and the handler does not run.
    virtual bool MouseInView(const ViewMouse& /*m*/) { return false; }
    /// The wheel turned over view 1…3 with the keys `shift` held, the
    /// pointer at picture pixel (column, row); true when the component took
    /// it (the plane then does not step).
    virtual bool WheelInView(int /*view*/, int /*steps*/, TShiftState /*shift*/, int /*column*/,
                             int /*row*/) {
        return false;
    }
    /// A key for the main window; true when the component took it.
    virtual bool KeyPressed(QKeyEvent* /*e*/) { return false; }
    /// The window was laid out anew: `freeCell` is the empty cell of the
    /// enlarged layout (a child widget of the main window's client area) and
    /// `free` its area in that widget, empty when the layout has none.
    virtual void LayoutChanged(QWidget* /*freeCell*/, const QRect& /*free*/) {}
    /// Takes up the command line's choices, once, before the window shows.
    virtual void ApplyStartOptions(const StartOptions& /*options*/) {}

    /// The name under which the component's state is kept (a lesson stop,
    /// a saved view); empty for a component without such state.
    virtual QString StateKey() const { return {}; }
    /// The component's state as a small JSON object, and back. Reading
    /// ignores what it does not know and keeps the present value for what
    /// is missing or malformed.
    virtual QJsonObject SaveState() const { return {}; }
    virtual void LoadState(const QJsonObject& /*state*/) {}

protected:
    const ViewerContext viewer;
};

}  // namespace zx
