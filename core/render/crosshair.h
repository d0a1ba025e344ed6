// The red crosshair drawn over a view's picture.
#pragma once

#include <QImage>
#include <QRect>
#include <vector>

namespace zx {

/// Length, thickness and gap of the crosshair, in picture pixels.
struct CrossParams {
    int length = 256;
    int thickness = 1;
    int gap = 10;
};

inline constexpr QRgb kCrossColor = 0xffff0000u;  // pure red

/// Draws the crosshair centred on (px, py) onto `picture`. The centre is first
/// clamped to the view control of `viewWidth` × `viewHeight`; everything
/// outside the picture is clipped. Four arms from `gap` to `length` from the
/// centre (end point excluded, flat ends, `thickness` wide), a filled square
/// of half side thickness div 2 and the centre pixel. Thickness or length 0
/// draws nothing.
/// When `drawn` is given, the rectangles filled (clipped) are added to it.
void DrawCross(QImage& picture, int px, int py, int viewWidth, int viewHeight, const CrossParams& p,
               std::vector<QRect>* drawn = nullptr);

/// Colour of a pixel of a shown picture; outside the picture reads as white.
QRgb PixelAt(const QImage& picture, int px, int py);

}  // namespace zx
