// The hourglass pointer for the length of a scope, restored on every way out.
#pragma once

#include <QGuiApplication>

namespace zx {

class HourGlass {
public:
    HourGlass() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~HourGlass() { QGuiApplication::restoreOverrideCursor(); }
    HourGlass(const HourGlass&) = delete;
    HourGlass& operator=(const HourGlass&) = delete;
};

}  // namespace zx
