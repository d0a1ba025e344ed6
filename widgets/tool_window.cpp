#include "widgets/tool_window.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace zx {

namespace {

/// Marks the windows placed here, to tell them from dialogs.
const char kToolWindowProperty[] = "zxToolWindow";

/// Area shared by two rectangles.
qint64 Overlap(const QRect& a, const QRect& b) {
    const QRect i = a.intersected(b);
    return i.isEmpty() ? 0 : qint64(i.width()) * i.height();
}

}  // namespace

QPoint ToolWindowPosition(const QRect& avail, const QRect& main, const QSize& tool,
                          const std::vector<QRect>& taken) {
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
    const auto fits = [&](const QPoint& at) { return avail.contains(QRect(at, tool)); };
    const auto free = [&](const QPoint& at) {
        const QRect r(at, tool);
        if (!fits(at) || r.intersects(main)) return false;
        for (const QRect& t : taken)
            if (r.intersects(t)) return false;
        return true;
    };
    const int mainRight = main.x() + main.width(), mainBottom = main.y() + main.height();
    // Beside the main window: right of it, left, below, above; beside each
    // other where several are open (stacked down a column, or in a row).
    std::vector<int> rows = {clampY(main.top())}, columns = {clampX(main.left())};
    for (const QRect& t : taken) {
        rows.push_back(t.y() + t.height() + gap);
        columns.push_back(t.x() + t.width() + gap);
    }
    std::sort(rows.begin() + 1, rows.end());
    std::sort(columns.begin() + 1, columns.end());
    std::vector<QPoint> beside;
    for (int y : rows) beside.emplace_back(mainRight + gap, y);
    for (const QRect& t : taken)
        if (t.x() >= mainRight)
            for (int y : rows) beside.emplace_back(t.x() + t.width() + gap, y);
    for (int y : rows) beside.emplace_back(main.left() - gap - w, y);
    for (int x : columns) beside.emplace_back(x, mainBottom + gap);
    for (int x : columns) beside.emplace_back(x, main.top() - gap - h);
    for (const QPoint& at : beside)
        if (free(at)) return at;
    // No free place: where the tool covers the others least, and of the main
    // window as little as it can, first over the main window's lower left
    // part (info list and read-out, away from the views), then along the
    // bottom and upwards.
    QPoint best(clampX(main.left()), clampY(mainBottom - h));
    qint64 bestCost = -1;
    const auto consider = [&](const QPoint& at) {
        const QRect r(at, tool);
        qint64 cost = Overlap(r, main);
        for (const QRect& t : taken) cost += 8 * Overlap(r, t);
        if (bestCost < 0 || cost < bestCost) bestCost = cost, best = at;
    };
    consider(best);
    const int step = 16;
    for (int y = clampY(mainBottom - h);; y = std::max(avail.top(), y - step)) {
        for (int x = clampX(main.left());; x = std::min(right - w, x + step)) {
            consider(QPoint(clampX(x), y));
            if (x >= right - w) break;
        }
        for (int x = clampX(main.left()) - step; x > avail.left() - step; x -= step)
            consider(QPoint(clampX(x), y));
        if (y <= avail.top()) break;
    }
    return best;
}

void PlaceToolWindow(QWidget* tool, const QWidget* main) {
    const QScreen* screen = main->screen() ? main->screen() : QApplication::primaryScreen();
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
    // The other tool windows that are open, so as not to cover them.
    tool->setProperty(kToolWindowProperty, true);
    std::vector<QRect> taken;
    for (const QWidget* w : QApplication::topLevelWidgets())
        if (w != tool && w != main && w->isVisible() && w->property(kToolWindowProperty).toBool())
            taken.push_back(w->frameGeometry());
    const QPoint frameAt = ToolWindowPosition(avail, mainFrame, frameSize, taken);
    // With its frame known, move() places the frame's corner; before that
    // the window manager puts the client area where it is asked to.
    tool->move(framed ? frameAt : frameAt + offset);
}

void KeepToolWindowOnScreen(QWidget* tool) {
    const QScreen* screen = tool->screen() ? tool->screen() : QApplication::primaryScreen();
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
