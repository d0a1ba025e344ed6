#include "widgets/tool_window.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace zx {

void PlaceToolWindow(QWidget* tool, const QWidget* main) {
    const QScreen* screen = main->screen() ? main->screen() : QGuiApplication::primaryScreen();
    const QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 1024);
    const QRect frame = main->frameGeometry();
    // The tool's frame is a little larger than its client size.
    const QSize size = tool->frameGeometry().size().expandedTo(tool->size() + QSize(2, 24));
    const int gap = 8;
    QPoint at;
    if (frame.right() + gap + size.width() <= avail.right()) {
        at = QPoint(frame.right() + gap, frame.top());
    } else if (frame.left() - gap - size.width() >= avail.left()) {
        at = QPoint(frame.left() - gap - size.width(), frame.top());
    } else {
        at = QPoint(frame.right() - size.width(), frame.bottom() - size.height());
    }
    at.setX(std::clamp(at.x(), avail.left(), std::max(avail.left(), avail.right() + 1 - size.width())));
    at.setY(std::clamp(at.y(), avail.top(), std::max(avail.top(), avail.bottom() + 1 - size.height())));
    tool->move(at);
}

}  // namespace zx
