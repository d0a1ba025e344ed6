// The marks drawn over a section (measurements, annotations, edge letters)
// and the three sections of a lesson stop as the viewer shows them, for
// the handout and the web page. Shared with the viewer's views, so that a
// mark looks the same everywhere. No widgets.
#pragma once

#include <QColor>
#include <QImage>
#include <QTransform>
#include <array>
#include <vector>

#include "core/display/measure.h"
#include "teach/atlas.h"
#include "teach/lesson.h"

class QPainter;

namespace zx {

/// A measurement: its line (or the two arms of an angle) through the
/// picture points mapped by `t`, and its value on a dark plate.
void DrawMeasurementMark(QPainter& p, const QTransform& t, const Measurement& m, double edgeMm,
                         const QColor& colour);
/// An annotation: its text on a dark plate at its label point and an arrow
/// from the plate to its target, mapped by `t`.
void DrawAnnotationMark(QPainter& p, const QTransform& t, const Annotation& a,
                        const QColor& colour);
inline const QColor kAnnotationColour{255, 235, 80};
inline const QColor kMeasurementColour{0, 230, 255};

/// A lesson's volume read from its file for pictures made without the viewer.
struct LessonVolume {
    std::vector<std::uint8_t> voxels;  ///< 256³, the viewer's layout
    int planes = 0;
    double edgeMm = 0;
    QString file;
    AtlasSet atlases;  ///< the label volumes beside the file, loaded when a stop needs them
    bool atlasesLoaded = false;
};

/// Reads the volume of `lesson` (a file beside `lessonFile`); throws
/// RuntimeError with a German text when it is missing, unreadable or not
/// the lesson's.
void LoadLessonVolume(const QString& lessonFile, const Lesson& lesson, LessonVolume& v);

/// The sagittal, coronal and transversal sections at the stop: display
/// window and colour map, atlas colours, the neurological mirror, the red
/// crosshair, the stop's measurements and annotations and the edge letters.
std::array<QImage, 3> StopPictures(LessonVolume& v, const LessonStop& stop);

/// The voxel under picture pixel (column, row) of `view` at the point
/// `point`, for a volume of `planes` planes (an unmirrored picture).
std::array<int, 3> VoxelAt(int view, int column, int row, const std::array<int, 3>& point,
                           int planes);

}  // namespace zx
