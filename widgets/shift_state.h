// Mouse buttons and the set of held keys and buttons, as the view handlers
// receive them.
#pragma once

#include <Qt>

namespace zx {

enum ShiftFlag : unsigned {
    ssShift = 1u << 0,
    ssAlt = 1u << 1,
    ssCtrl = 1u << 2,
    ssLeft = 1u << 3,
    ssRight = 1u << 4,
    ssMiddle = 1u << 5,
    ssDouble = 1u << 6,
};
using TShiftState = unsigned;

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

/// Builds the shift state from a Qt event's held buttons and modifiers;
/// `doubleClick` marks the second press of a double click.
inline TShiftState ShiftFromQt(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods,
                               bool doubleClick = false) {
    TShiftState s = 0;
    if (mods & Qt::ShiftModifier) s |= ssShift;
    if (mods & Qt::AltModifier) s |= ssAlt;
    if (mods & Qt::ControlModifier) s |= ssCtrl;
    if (buttons & Qt::LeftButton) s |= ssLeft;
    if (buttons & Qt::RightButton) s |= ssRight;
    if (buttons & Qt::MiddleButton) s |= ssMiddle;
    if (doubleClick) s |= ssDouble;
    return s;
}

inline TMouseButton ButtonFromQt(Qt::MouseButton b) {
    if (b == Qt::RightButton) return TMouseButton::mbRight;
    if (b == Qt::MiddleButton) return TMouseButton::mbMiddle;
    return TMouseButton::mbLeft;
}

}  // namespace zx
