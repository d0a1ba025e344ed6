// Image control: shows one picture, unscaled from the top left (clipped) or
// stretched over the control, and forwards the mouse to its handlers.
#pragma once

#include <QImage>
#include <QTransform>
#include <QWidget>
#include <functional>
#include <vector>

class QPainter;

#include "core/render/crosshair.h"
#include "widgets/shift_state.h"

namespace zx {

class TImage : public QWidget {
    Q_OBJECT
public:
    explicit TImage(QWidget* parent = nullptr);

    /// The picture shown; draw onto it, then call update().
    QImage& Picture() { return picture_; }
    const QImage& Picture() const { return picture_; }
    /// Shows a copy of `src` (reusing the picture's memory when it can).
    /// When the picture is still `src` as last assigned, unchanged on both
    /// sides but for crosshairs drawn by DrawCross, only those pixels are
    /// copied back: a drag restores a view at every move.
    void AssignPicture(const QImage& src);
    /// Rebuilds the clean picture `clean` through `render(clean, mirror)` and
    /// shows it: when the picture is a copy of `clean` (crosshairs aside),
    /// the renderer writes the picture too (`mirror`), else it is copied.
    /// The renderer gets the display window's table for the mirror (or null).
    void Rebuild(QImage& clean, const std::function<void(QImage&, QImage*, const QRgb*)>& render);
    /// A semi-transparent layer shown over the picture (same size, ARGB32),
    /// never part of it; a null image removes it.
    void SetLayer(const QImage& layer);
    const QImage& Layer() const { return layer_; }
    /// Something drawn over picture and layer at every paint, never part of
    /// the picture; it gets the transform from
    /// picture pixels to the control.
    using Overlay = std::function<void(QPainter&, const QTransform&)>;
    void AddOverlay(Overlay overlay);
    /// Where picture pixels land on the control (zoom, stretch and mirror).
    QTransform PictureToWidget() const;
    /// Shows the picture enlarged by a whole `factor` (1 shows it as it is),
    /// picture point `centre` at the middle of the control, each picture
    /// pixel a block of whole pixels (nearest neighbour); the control shows
    /// black beyond the picture. The handlers keep receiving the positions
    /// they would get without zoom for the picture pixel under the pointer.
    void SetZoom(int factor, const QPointF& centre);
    int Zoom() const { return zoom_; }
    QPointF ZoomCentre() const { return centre_; }
    /// The position the handlers get for widget point `pos`: the picture
    /// pixel under it (mirrored back, zoomed back), in the control's
    /// unzoomed coordinates. Fractions of a pixel (high-DPI screens) are
    /// floored, so a position is always the pixel under the pointer.
    QPoint HandlerPoint(const QPointF& pos) const;
    /// Shows the picture mirrored left to right. Mouse positions are
    /// mirrored back, so the handlers keep receiving picture columns.
    void SetMirrored(bool on);
    bool Mirrored() const { return mirrored_; }
    /// The display window: grey g of an assigned or rebuilt picture is shown
    /// as table[g] (256 entries, kept by the caller); null shows the greys.
    /// The next AssignPicture copies the whole source again.
    void SetTable(const QRgb* table);
    const QRgb* Table() const { return table_; }
    /// Shows `picture` itself (no copy): for pictures made only to be shown.
    void TakePicture(QImage&& picture);
    /// Draws the crosshair onto the picture and schedules a repaint.
    void DrawCross(int px, int py, const CrossParams& params);

    bool Stretch() const { return stretch_; }
    void SetStretch(bool on);

    std::function<void(TMouseButton, TShiftState, int, int)> OnMouseDown;
    std::function<void(TShiftState, int, int)> OnMouseMove;
    std::function<void(TMouseButton, TShiftState, int, int)> OnMouseUp;
    std::function<void()> OnClick;
    /// The wheel turned: + away from the user, with the keys held and the
    /// handler position of the pointer.
    std::function<void(int steps, TShiftState shift, int x, int y)> OnWheel;
    std::function<void(bool inside)> OnHover;  ///< the pointer entered or left

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;

private:
    QImage picture_;
    QImage layer_;
    bool stretch_ = false;
    bool mirrored_ = false;
    const QRgb* table_ = nullptr;
    int zoom_ = 1;
    QPointF centre_{128, 128};
    std::vector<Overlay> overlays_;
    // What the picture holds: a copy of *source_ (as of sourceKey_) plus the
    // crosshair rectangles `crosses_`, valid while picture_ is as of pictureKey_.
    const QImage* source_ = nullptr;
    qint64 sourceKey_ = 0;
    qint64 pictureKey_ = 0;
    std::vector<QRect> crosses_;
    int wheelAngle_ = 0;  ///< wheel turn not yet a whole step (1/8 degree)
    /// Schedules a repaint of picture rectangle `r`.
    void UpdatePicture(const QRect& r);
};

}  // namespace zx
