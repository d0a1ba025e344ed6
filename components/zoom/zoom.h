// Zoom and pan in the three section views: one whole factor for all three
// (so that a millimetre is as long in each), each view with its own centre.
// Ctrl+wheel zooms about the pointer, "+" and "−" about the crosshair, "0"
// goes back to the designed views; with a zoom in force the middle button,
// or the left button with Shift, drags the picture. A view keeps the point
// in sight: when the point leaves what it shows (moved by another view, the
// coordinates or the keys), it is centred on the point again.
#pragma once

#include <QPointF>
#include <array>

#include "components/component.h"

class QAction;

namespace zx {

class TZoom : public TComponent {
public:
    explicit TZoom(const ViewerContext& viewer, QObject* parent = nullptr);

    QAction* Vergroessern1;     ///< "Ansicht" › "Vergrößern", key +
    QAction* Verkleinern1;      ///< "Verkleinern", key −
    QAction* Originalgroesse1;  ///< "Originalgröße", key 0

    static constexpr int kMaxFactor = 8;
    int Factor() const { return factor_; }
    /// The picture point at the middle of view 1…3.
    QPointF Centre(int view) const { return centres_[std::size_t(view - 1)]; }
    /// Sets the factor (limited to 1…kMaxFactor), every view centred on
    /// the crosshair.
    void SetFactor(int factor);
    /// Zooms by `steps` about picture point `at` of `view`, which stays
    /// under the pointer; the other views centre on the crosshair.
    void ZoomAt(int view, int steps, const QPointF& at);

    void PointChanged() override;
    void VolumeChanged() override { SetFactor(factor_); }
    bool MouseInView(const ViewMouse& m) override;
    bool WheelInView(int view, int steps, TShiftState shift, int column, int row) override;
    void ApplyStartOptions(const StartOptions& options) override;

    /// {"factor": F, "centres": [[x, y], [x, y], [x, y]]}
    QString StateKey() const override { return QStringLiteral("zoom"); }
    QJsonObject SaveState() const override;
    void LoadState(const QJsonObject& state) override;

private:
    int factor_ = 1;
    std::array<QPointF, 3> centres_{QPointF(128, 128), QPointF(128, 128), QPointF(128, 128)};
    int heldView_ = 0;      ///< a button is held over this view
    int releasedView_ = 0;  ///< the view of the last release, until the point is handled
    int panView_ = 0;       ///< the view being dragged, 0 for none
    QPoint panFrom_;        ///< the picture pixel that stays under the pointer

    /// The crosshair's pixel in `view`.
    QPointF Place(int view) const;
    void Show(int view);
};

}  // namespace zx
