// Measuring in the section views: distances in mm and angles in degrees,
// drawn in a measuring mode, kept with their slice, listed in a window of
// their own where they can be selected and deleted.
#pragma once

#include <array>
#include <vector>

#include "components/component.h"
#include "core/display/measure.h"
#include "widgets/overlay_cache.h"

class QAction;
class QListWidget;
class QPushButton;
class QWidget;

namespace zx {

class TRulers : public TComponent {
public:
    explicit TRulers(const ViewerContext& viewer, QObject* parent = nullptr);

    QAction* StreckeMessen1;  ///< distance mode, key M
    QAction* WinkelMessen1;   ///< angle mode, key W
    QAction* Messungen1;      ///< opens the list
    QWidget* MeasureWindow;
    QListWidget* MeasureList;
    QPushButton *DeleteButton, *DeleteAllButton;

    std::vector<Measurement> Measurements;  ///< finished ones, in drawing order
    Measurement Pending;                    ///< the one being drawn (points so far)
    int Selected = -1;                      ///< index into Measurements, or -1

    /// Removes the selected measurement, or all of them.
    void DeleteSelected();
    void DeleteAll();
    /// Selects entry i, and moves the point onto its slice so it shows.
    void Select(int i);

    bool MouseInView(const ViewMouse& m) override;
    bool KeyPressed(QKeyEvent* e) override;
    /// A new volume: the measurements of the old one go.
    void VolumeChanged() override { DeleteAll(); }

    /// {"measurements": [{"view": 1…3, "plane": 0…255, "points": [[c, r], …]}]}
    /// with two points for a distance, three for an angle; entries that are
    /// not sound are left out when read.
    QString StateKey() const override { return QStringLiteral("rulers"); }
    QJsonObject SaveState() const override;
    void LoadState(const QJsonObject& state) override;

private:
    std::array<TOverlayCache, 3> marks_;  ///< the marks of each view, kept as pictures
    int Plane(int view) const;
    void Refresh();
    void ShowList();
};

}  // namespace zx
