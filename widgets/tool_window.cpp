#include "widgets/tool_window.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace zx {

QPoint ToolWindowPosition(const QRect& avail, const QRect& main, const QSize& tool) {
    const int gap = 8;
    const int w = tool.width(), h = tool.height();
    // Exclusive right and bottom edges of the available area.
    const int right = avail.x() + avail.width(), bottom = avail.y() + avail.height();
    const auto clampX = [&](int x) { return std::clamp(x, avail.left(), std::max(avail.left(), right - w)); };
    const auto clampY = [&](int y) { return std::clamp(y, avail.top(), std::max(avail.top(), bottom - h)); };
    const int mainRight = main.x() + main.width(), mainBottom = main.y() + main.height();
    QPoint at;
    if (mainRight + gap + w <= right && h <= avail.height()) {
        at = QPoint(mainRight + gap, clampY(main.top()));  // right of the main window
    } else if (main.left() - gap - w >= avail.left() && h <= avail.height()) {
        at = QPoint(main.left() - gap - w, clampY(main.top()));  // left of it
    } else if (mainBottom + gap + h <= bottom && w <= avail.width()) {
        at = QPoint(clampX(main.left()), mainBottom + gap);  // below it
    } else if (main.top() - gap - h >= avail.top() && w <= avail.width()) {
        at = QPoint(clampX(main.left()), main.top() - gap - h);  // above it
    } else {
        // Over the main window's lower left part (info list and read-out),
        // away from the views.
        at = QPoint(main.left(), mainBottom - h);
    }
    return QPoint(clampX(at.x()), clampY(at.y()));
}

void PlaceToolWindow(QWidget* tool, const QWidget* main) {
    const QScreen* screen = main->screen() ? main->screen() : QGuiApplication::primaryScreen();
    const QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 1024);
    // A tool window not yet shown has no frame: allow for a title bar and
    // borders.
    const QSize frameSize = tool->frameGeometry().size().expandedTo(tool->size() + QSize(2, 24));
    const QPoint frameAt = ToolWindowPosition(avail, main->frameGeometry(), frameSize);
    // move() places the frame's top left corner of a top-level window.
    tool->move(frameAt);
}

}  // namespace zx
