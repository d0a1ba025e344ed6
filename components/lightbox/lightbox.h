// The "Lichtkasten": sections of one orientation side by side in a window
// of their own, from one plane to another, every k-th; each tile with its
// plane number and edge letters, the crosshair's plane framed. A click in
// a tile moves the crosshair there. Saved as a PNG picture and printed as
// a labelled contact sheet.
#pragma once

#include <QImage>
#include <QWidget>

#include "components/component.h"
#include "core/render/mosaic.h"

class QAction;
class QCheckBox;
class QComboBox;
class QPainter;
class QPushButton;
class QSpinBox;

namespace zx {

class TLightbox;

/// The plane number at the top left and the edge letters at the middles of
/// the sides of `tile` (where a tile is drawn, at any size), as the views
/// show their letters.
void PaintTileLabels(QPainter& p, const QRectF& tile, int plane, int view, bool mirrored);

/// The mosaic, fitted into the widget (the tiles keep their shape).
class TLightboxCanvas : public QWidget {
public:
    TLightboxCanvas(TLightbox& owner, QWidget* parent);
    /// Where the mosaic's picture lands in the widget.
    QRectF PictureRect() const;

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    TLightbox& owner_;
};

class TLightbox : public TComponent {
public:
    explicit TLightbox(const ViewerContext& context, QObject* parent = nullptr);

    QAction* Lichtkasten1;  ///< "Ansicht" › "Lichtkasten..."
    QWidget* LightboxWindow;
    TLightboxCanvas* Canvas;
    QComboBox* OrientationBox;  ///< "Sagittal", "Koronar", "Transversal"
    QSpinBox *FromEdit, *ToEdit, *EveryEdit, *ColumnsEdit;
    QCheckBox* LabelsBox;  ///< plane numbers and edge letters on the tiles
    QPushButton *SaveButton, *PrintButton;

    /// The layout the controls choose (and the views' mirroring).
    MosaicLayout Layout() const;
    /// The mosaic as last drawn (through the display window when one is in
    /// force), without labels and the crosshair's frame.
    const QImage& Picture() const { return picture_; }
    /// The layout `Picture()` was drawn with.
    const MosaicLayout& Drawn() const { return drawn_; }
    /// Draws the mosaic anew from the volume.
    void Refresh();
    /// Mosaic pixel `p` was clicked: moves the crosshair to the voxel drawn
    /// there, in the plane of its tile.
    void ClickAt(const QPoint& p);
    /// The tile that shows the crosshair's plane, or -1.
    int CrosshairTile() const;

    /// Asks for a file name and writes the picture as PNG.
    void SaveAsPng();
    /// Prints the contact sheet: title, volume, orientation, the tiles
    /// with their plane and, when the voxel edge is known, its position in
    /// mm (from plane 0 of the axis).
    void Print();
    /// Draws page `page` (from 0) of the contact sheet onto `p` within
    /// `area`; returns the number of pages.
    int PaintSheet(QPainter& p, const QRect& area, int page) const;

    void PointChanged() override;
    void VolumeChanged() override { RefreshIfShown(); }
    void DisplayChanged() override { RefreshIfShown(); }

private:
    QImage picture_;
    MosaicLayout drawn_;  ///< the layout `picture_` was drawn with
    void RefreshIfShown();
    /// The mosaic of `m` through the display window of its view.
    QImage Render(const MosaicLayout& m) const;
    int PlaneOf(int view) const;
};

}  // namespace zx
