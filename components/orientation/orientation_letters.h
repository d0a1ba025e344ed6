// Where is left? The anatomical direction at the middle of each edge of the
// three views, and the neurological display (the patient's left on the
// screen's left), which mirrors the coronal and transversal views.
#pragma once

#include "components/component.h"

class QAction;

namespace zx {

class TOrientationLetters : public TComponent {
public:
    explicit TOrientationLetters(const ViewerContext& viewer, QObject* parent = nullptr);

    QAction* NeurologischeAnsicht1;  ///< checkable, in "Ansicht"; remembered between starts

    /// Mirrors the coronal and transversal views (on) or shows them
    /// radiologically (off); remembers the choice for the next start unless
    /// `remember` is false (a command-line choice).
    void SetNeurological(bool on, bool remember = true);
    bool Neurological() const;

    void ApplyStartOptions(const StartOptions& options) override;
    /// {"neurological": bool}; a state read is shown, not remembered.
    QString StateKey() const override { return QStringLiteral("orientation"); }
    QJsonObject SaveState() const override;
    void LoadState(const QJsonObject& state) override;
};

}  // namespace zx
