// Where a tool window of the main window opens.
#pragma once

class QWidget;

namespace zx {

/// Places `tool` inside the available geometry of the main window's
/// screen: beside the main window (right, then left) where it fits,
/// otherwise over the main window's lower right part, away from the views'
/// upper row.
void PlaceToolWindow(QWidget* tool, const QWidget* main);

}  // namespace zx
