// The "3D-Ansicht": the head rendered by ray casting, as a surface or a
// maximum-intensity projection, with the octant at the crosshair cut away
// so that the three current sections show on its faces. Drag turns it, the
// wheel zooms, a click moves the crosshair to the voxel drawn there.
#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>
#include <memory>

#include "components/component.h"
#include "core/render3d/render3d.h"

class QAction;
class QCheckBox;
class QComboBox;
class QPushButton;
class QSpinBox;
class QTimer;

namespace zx {

class TView3D;

/// One picture of the 3-D view; the component may show it in two places
/// (its own window and the free part of the enlarged layout).
class TView3DCanvas : public QWidget {
public:
    TView3DCanvas(TView3D& owner, QWidget* parent);
    /// Renders anew at the next paint (at half resolution while turning).
    void Invalidate() {
        stale_ = true;
        update();
    }
    const QImage& Picture() const { return picture_; }
    /// The voxel drawn at widget pixel (x, y), if any.
    std::optional<Voxel> PickAt(int x, int y) const;
    /// Moves the crosshair to the voxel under the last click (run once the
    /// double-click interval has passed without a second click).
    void Pick();
    QTimer* PickTimer() const { return pick_; }

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

private:
    TView3D& owner_;
    QImage picture_;
    bool stale_ = true;
    bool turning_ = false;
    bool moved_ = false;
    QPoint last_;
    QTimer* pick_;
    QPoint pickAt_;
    int Side() const { return std::max(16, std::min(width(), height())); }
    QPoint Origin() const { return {(width() - Side()) / 2, (height() - Side()) / 2}; }
};

class TView3D : public TComponent {
public:
    explicit TView3D(const ViewerContext& context, QObject* parent = nullptr);

    QAction* Ansicht3D1;  ///< "Ansicht" › "3D-Ansicht"
    QWidget* View3DWindow;
    TView3DCanvas* Canvas;      ///< in the window
    TView3DCanvas* SlotCanvas;  ///< in the enlarged layout's free part, when there is one
    QComboBox* ModeBox;         ///< "Oberfläche", "Oberfläche, aufgeschnitten", "MIP"
    QSpinBox *RampLow, *RampHigh;
    QPushButton* ResetButton;

    Render3DOptions Options() const;
    Camera3D camera;
    OpacityRamp ramp;
    bool turning = false;  ///< a drag is turning the view: half resolution
    /// The crosshair is moving (a drag in a section view): half resolution
    /// until it has rested a moment, then the full picture.
    bool following = false;

    /// Brings the renderer and the opacity ramp to the volume (when a view
    /// is drawn).
    const Renderer3D& Renderer();
    void ResetCamera();
    /// Moves the crosshair to the voxel (the section views follow).
    void MoveTo(const Voxel& v) { viewer.moveTo(v.x, v.y, v.z); }
    /// Starts the wait after which a view that has stopped moving is drawn
    /// at full resolution again (restarted by every move).
    void StartRest();
    const QTimer* RestTimer() const { return rest_; }
    /// Shows the view in the free part of the enlarged layout (or hides it
    /// there with an empty rectangle).
    void PlaceInLayout(QWidget* parent, const QRect& free);

    void PointChanged() override;
    void VolumeChanged() override;
    void DisplayChanged() override;
    void LayoutChanged(QWidget* freeCell, const QRect& free) override {
        PlaceInLayout(freeCell, free);
    }

private:
    Renderer3D renderer_;
    QTimer* rest_;
    bool volumeStale_ = true;
    std::array<int, 3> shownPoint_{-1, -1, -1};
    bool AnyShown() const;
    void InvalidateAll();
};

}  // namespace zx
