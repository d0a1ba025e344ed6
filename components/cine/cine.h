// Cine: the planes of one view shown one after another at a chosen number
// of pictures per second, for the projector. The key C plays the view
// under the pointer (or stops); a small window chooses the view, the rate
// and whether to stop at the last plane or begin again at the first.
#pragma once

#include "components/component.h"

class QAction;
class QCheckBox;
class QComboBox;
class QPushButton;
class QSpinBox;
class QTimer;

namespace zx {

class TCine : public TComponent {
public:
    explicit TCine(const ViewerContext& viewer, QObject* parent = nullptr);

    QAction* CineAbspielen1;  ///< "Ansicht" › "Cine abspielen", key C
    QAction* Cine1;           ///< "Ansicht" › "Cine..." opens the window
    QWidget* CineWindow;
    QComboBox* ViewBox;  ///< "Sagittal", "Koronar", "Transversal"
    QSpinBox* RateEdit;  ///< pictures per second
    QCheckBox* LoopBox;  ///< from the last plane on to the first
    QPushButton* PlayButton;
    QTimer* Timer;

    /// Plays view 1…3 from the crosshair's plane on (from the first plane
    /// when it stands on the last).
    void Play(int view);
    void Stop();
    /// Stops, or plays the view under the pointer (else the one chosen).
    void Toggle();
    bool Playing() const;
    /// The next picture: one plane on, at the end to the first plane when
    /// looping, else the playing stops.
    void Step();
    /// The planes of view 1…3 that hold voxels: the last one.
    int LastPlane(int view) const;

    /// Esc stops the playing; C over a view plays or stops, also while a
    /// coordinate edit has the focus.
    bool KeyPressed(QKeyEvent* e) override;
    /// A new volume stops it.
    void VolumeChanged() override { Stop(); }

private:
    int view_ = 0;  ///< the view playing, 0 when stopped
    int Plane(int view) const;
    void ShowState();
};

}  // namespace zx
