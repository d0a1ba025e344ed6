// Where a tool window of the main window opens.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <vector>

class QWidget;

namespace zx {

/// Top left corner for a tool window's frame of size `tool` beside the main
/// window's frame `main` and the frames of the tool windows already open
/// (`taken`): right of the main window (stacked down beside the others, or
/// in a column further right), left of it, below or above it where the tool
/// fits into the available screen area `avail` without covering any of
/// them; otherwise where it covers the other tool windows least and the
/// main window as little as it can, first over the main window's lower
/// left part. Always inside `avail` as far as the tool is not larger.
QPoint ToolWindowPosition(const QRect& avail, const QRect& main, const QSize& tool,
                          const std::vector<QRect>& taken = {});

/// Places `tool` by ToolWindowPosition on the main window's screen, beside
/// the other tool windows placed so that are open.
void PlaceToolWindow(QWidget* tool, const QWidget* main);

/// Moves a shown tool window that has grown back inside the available
/// screen area.
void KeepToolWindowOnScreen(QWidget* tool);

}  // namespace zx
