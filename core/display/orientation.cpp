#include "core/display/orientation.h"

#include <utility>

namespace zx {

Direction Opposite(Direction d) {
    switch (d) {
        case Direction::R:
            return Direction::L;
        case Direction::L:
            return Direction::R;
        case Direction::A:
            return Direction::P;
        case Direction::P:
            return Direction::A;
        case Direction::S:
            return Direction::I;
        case Direction::I:
            return Direction::S;
    }
    return d;
}

QString Letter(Direction d) {
    static const char* const letters[] = {"R", "L", "A", "P", "S", "I"};
    return QString::fromLatin1(letters[int(d)]);
}

QString GermanName(Direction d) {
    static const char* const names[] = {
        "rechts", "links", "anterior", "posterior", "superior (kranial)", "inferior (kaudal)"};
    return QString::fromUtf8(names[int(d)]);
}

QString AxisDescription(int axis) {
    const Direction to = kAxisTowards[std::size_t(axis)];
    const QString from = GermanName(Opposite(to)).section(u' ', 0, 0);
    return from + QString::fromUtf8(" → ") + GermanName(to).section(u' ', 0, 0);
}

EdgeDirections ViewEdges(int view, bool neurological) {
    // Columns and rows of each view, as viewer axes: index 0 at the left
    // or top edge.
    const int column = view == 1 ? 1 : 0;
    const int row = view == 3 ? 1 : 2;
    const Direction colTo = kAxisTowards[std::size_t(column)];
    const Direction rowTo = kAxisTowards[std::size_t(row)];
    EdgeDirections e{Opposite(colTo), colTo, Opposite(rowTo), rowTo};
    if (neurological && view != 1) std::swap(e.left, e.right);
    return e;
}

}  // namespace zx
