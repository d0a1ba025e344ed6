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
};

}  // namespace zx
