// Which way the patient lies in the viewer's volume, and which anatomical
// direction each edge of a section view faces.
#pragma once

#include <QString>
#include <array>

namespace zx {

/// Anatomical directions: rechts, links, anterior, posterior, superior
/// (kranial), inferior (kaudal).
enum class Direction { R, L, A, P, S, I };

/// Every volume the converter and the viewer's NIfTI and DICOM commands
/// make lies in one orientation: x runs from the patient's right to the
/// left, y from anterior to posterior, z from superior to inferior. A volume
/// file of unknown origin is taken to lie the same way (the default head
/// does). Entry a is the direction in which viewer axis a (x, y, z) grows.
inline constexpr std::array<Direction, 3> kAxisTowards = {Direction::L, Direction::P, Direction::I};

/// The opposite direction.
Direction Opposite(Direction d);
/// "R", "L", "A", "P", "S", "I".
QString Letter(Direction d);
/// "rechts", "links", "anterior", "posterior", "superior (kranial)",
/// "inferior (kaudal)".
QString GermanName(Direction d);
/// "rechts → links" and so on: where viewer axis 0…2 runs.
QString AxisDescription(int axis);

/// The directions the four edges of a view face.
struct EdgeDirections {
    Direction left, right, top, bottom;
};

/// Edges of view 1 (sagittal: columns y, rows z), 2 (coronal: columns x,
/// rows z) or 3 (transversal: columns x, rows y). Radiological display shows
/// the patient's right on the screen's left; the neurological display
/// mirrors the coronal and transversal views left to right.
EdgeDirections ViewEdges(int view, bool neurological);

}  // namespace zx
