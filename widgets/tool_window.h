// Where a tool window of the main window opens.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace zx {

/// Top left corner for a tool window's frame of size `tool` beside the main
/// window's frame `main`: right of it, left of it, below or above it where
/// the tool fits into the available screen area `avail`; otherwise over the
/// main window's lower left part. Always inside `avail` as far as the tool
/// is not larger.
QPoint ToolWindowPosition(const QRect& avail, const QRect& main, const QSize& tool);

/// Places `tool` by ToolWindowPosition on the main window's screen.
void PlaceToolWindow(QWidget* tool, const QWidget* main);

/// Moves a shown tool window that has grown back inside the available
/// screen area.
void KeepToolWindowOnScreen(QWidget* tool);

}  // namespace zx
