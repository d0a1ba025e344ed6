// Brightness and contrast of the three views: centre and width over the
// displayed greys, set by a drag with Ctrl+Shift and the left button, by
// typed values, by presets, "Auto" from the volume's percentiles, or
// reset; and a colour map. The volume, the clean sections, exports and
// prints keep their greys.
#pragma once

#include <QPoint>

#include "components/component.h"
#include "core/display/display_window.h"

class QAction;
class QComboBox;
class QPushButton;
class QSpinBox;
class QWidget;

namespace zx {

class TDisplayWindowTool : public TComponent {
public:
    explicit TDisplayWindowTool(const ViewerContext& viewer, QObject* parent = nullptr);

    QAction* Fensterung1;  ///< "Ansicht" › "Fensterung..."
    QWidget* WindowTool;
    QSpinBox *CentreEdit, *WidthEdit;
    QComboBox *PresetBox, *MapBox;
    QPushButton *AutoButton, *ResetButton;

    /// The window in force; the views show greys through Table().
    const DisplayWindow& Window() const { return window_; }
    const WindowTable& Table() const { return table_; }
    /// Puts `w` in force (limited to sensible values) and shows the views
    /// through it.
    void SetWindow(DisplayWindow w);
    void Auto();
    void Reset() { SetWindow({}); }

    bool MouseInView(const ViewMouse& m) override;

    /// {"centre": int, "width": int, "map": one of the colour maps' names}
    QString StateKey() const override { return QStringLiteral("window"); }
    QJsonObject SaveState() const override;
    void LoadState(const QJsonObject& state) override;

private:
    DisplayWindow window_;
    WindowTable table_{};
    bool dragging_ = false;
    QPoint dragStart_;
    DisplayWindow dragWindow_;
    void ShowControls();
};

}  // namespace zx
