// An overlay's drawing kept as a picture between paints.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <functional>

class QPainter;

namespace zx {

/// Antialiased marks (lines, rings, texts on plates) cost several times a
/// whole section picture to draw, and a drag repaints the views at every
/// move while the marks stay as they are. The cache draws them once into a
/// transparent picture the size of the painter's device, keeps the part
/// that holds anything, and puts that part on the view at every paint until
/// the key changes. The key must name everything the drawing depends on.
class TOverlayCache {
public:
    void Paint(QPainter& p, const QByteArray& key, const std::function<void(QPainter&)>& draw);
    /// The kept part and where it lies on the device (empty when nothing is drawn).
    const QImage& Kept() const { return kept_; }

private:
    QByteArray key_;
    bool valid_ = false;
    QImage kept_;
    QPoint at_;
};

}  // namespace zx
