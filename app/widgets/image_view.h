// Image control: shows one picture, unscaled from the top left (clipped) or
// stretched over the control, and forwards the mouse to its handlers.
#pragma once

#include <QImage>
#include <QWidget>
#include <functional>

#include "app/widgets/shift_state.h"

namespace zx {

class TImage : public QWidget {
    Q_OBJECT
public:
    explicit TImage(QWidget* parent = nullptr);

    /// The picture shown; draw onto it, then call update().
    QImage& Picture() { return picture_; }
    const QImage& Picture() const { return picture_; }
    /// Shows a copy of `src` (reusing the picture's memory when it can).
    void AssignPicture(const QImage& src);

    bool Stretch() const { return stretch_; }
    void SetStretch(bool on);

    std::function<void(TMouseButton, TShiftState, int, int)> OnMouseDown;
    std::function<void(TShiftState, int, int)> OnMouseMove;
    std::function<void(TMouseButton, TShiftState, int, int)> OnMouseUp;
    std::function<void()> OnClick;

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    QImage picture_;
    bool stretch_ = false;
};

}  // namespace zx
