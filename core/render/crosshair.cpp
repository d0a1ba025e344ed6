#include "core/render/crosshair.h"

#include <algorithm>

namespace zx {

namespace {

/// Fills the half-open rectangle [x0, x1) × [y0, y1), clipped to the picture.
void FillRect(QImage& img, int x0, int y0, int x1, int y1, std::vector<QRect>* drawn) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, img.width());
    y1 = std::min(y1, img.height());
    if (x0 >= x1 || y0 >= y1) return;
    if (drawn) drawn->emplace_back(x0, y0, x1 - x0, y1 - y0);
    uchar* base = img.bits();  // detaches once, not per row
    const qsizetype stride = img.bytesPerLine();
    for (int y = y0; y < y1; ++y) {
        auto* row = reinterpret_cast<QRgb*>(base + y * stride);
        std::fill(row + x0, row + x1, kCrossColor);
    }
}

/// The half-open range of positions a line from `a` towards `b` covers,
/// with `b` itself left out (as a line drawn "up to" its end point).
std::pair<int, int> Span(int a, int b) {
    if (a < b) return {a, b};
    if (a > b) return {b + 1, a + 1};
    return {a, a};
}

}  // namespace

void DrawCross(QImage& picture, int px, int py, int viewWidth, int viewHeight, const CrossParams& p,
               std::vector<QRect>* drawn) {
    if (p.thickness <= 0 || p.length <= 0 || picture.isNull()) return;
    px = std::clamp(px, 0, std::max(viewWidth - 1, 0));
    py = std::clamp(py, 0, std::max(viewHeight - 1, 0));
    const int t = p.thickness;
    const int lo = t / 2;  // a pen of width t covers lo pixels before the line
    // Vertical arms: up and down.
    for (const int sign : {-1, 1}) {
        const auto [y0, y1] = Span(py + sign * p.gap, py + sign * p.length);
        FillRect(picture, px - lo, y0, px - lo + t, y1, drawn);
        const auto [x0, x1] = Span(px + sign * p.gap, px + sign * p.length);
        FillRect(picture, x0, py - lo, x1, py - lo + t, drawn);
    }
    const int h = t / 2;
    FillRect(picture, px - h, py - h, px + h, py + h, drawn);
    FillRect(picture, px, py, px + 1, py + 1, drawn);
}

QRgb PixelAt(const QImage& picture, int px, int py) {
    if (px < 0 || py < 0 || px >= picture.width() || py >= picture.height()) return 0xffffffffu;
    return picture.pixel(px, py);
}

}  // namespace zx
