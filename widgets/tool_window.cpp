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
    const auto clampX = [&](int x) {
        return std::clamp(x, avail.left(), std::max(avail.left(), right - w));
    };
    const auto clampY = [&](int y) {
        return std::clamp(y, avail.top(), std::max(avail.top(), bottom - h));
    };
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
    // borders as wide as the main window's.
    const QRect mainFrame = main->frameGeometry();
    const QRect mainClient = main->geometry();
    const QPoint offset(std::max(1, mainClient.x() - mainFrame.x()),
                        std::max(22, mainClient.y() - mainFrame.y()));
    const QSize margins(offset.x() + std::max(1, mainFrame.right() - mainClient.right()),
                        offset.y() + std::max(2, mainFrame.bottom() - mainClient.bottom()));
    const bool framed = tool->frameGeometry() != tool->geometry();
    const QSize frameSize = framed ? tool->frameGeometry().size() : tool->size() + margins;
    const QPoint frameAt = ToolWindowPosition(avail, mainFrame, frameSize);
    // With its frame known, move() places the frame's corner; before that
    // the window manager puts the client area where it is asked to.
    tool->move(framed ? frameAt : frameAt + offset);
}

void KeepToolWindowOnScreen(QWidget* tool) {
    const QScreen* screen = tool->screen() ? tool->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect avail = screen->availableGeometry();
    const QRect frame = tool->frameGeometry();
    const int x = std::clamp(frame.x(), avail.left(),
                             std::max(avail.left(), avail.x() + avail.width() - frame.width()));
    const int y = std::clamp(frame.y(), avail.top(),
                             std::max(avail.top(), avail.y() + avail.height() - frame.height()));
    if (QPoint(x, y) != frame.topLeft()) tool->move(x, y);
}

}  // namespace zx
