// What the benchmark files share: one volume of random bytes and the
// program's real windows showing it.
#pragma once

#include <cstdint>
#include <vector>

#include "app/forms.h"

class QWidget;

namespace zxbench {

/// A volume of random bytes, made once for all benchmarks.
const std::vector<std::uint8_t>& RandomVolume();

/// The random volume in the main window, with the margins in the coronal
/// and transversal views that a real scan of 180 planes has.
void ShowRandomVolume(zx::TForm1& w);

/// The real windows, created at the first use on the random full volume.
zx::Forms& SharedForms();

/// Shows a window and waits until it is on the screen: before that, Qt
/// paints nothing into it and a repaint costs nothing.
void ShowExposed(QWidget& window);

/// Delivers what the last event posted, as the event loop does next: the
/// paints of the dirty parts of the window, and every other posted event
/// (left queued, they pile up, and each new one is compared with all of
/// them, so that a long drag slowed down move by move).
void PaintPending(QWidget& window);

/// Destroys the windows; main calls it before the application object goes.
void DestroySharedForms();

}  // namespace zxbench
