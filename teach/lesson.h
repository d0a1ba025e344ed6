// A lesson: stops through one volume, each with a title, a text, the
// crosshair point, what the viewer's components showed there (display
// window, mirror, atlas colours, annotations, measurements) and perhaps a
// question. Read from and written to the ".zxl" file (JSON, UTF-8; its
// form is described in docs/lesson-format.md). No widgets.
#pragma once

#include <QJsonObject>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/display/measure.h"

namespace zx {

/// The version of the lesson file this program writes and reads.
inline constexpr int kLessonVersion = 1;

/// A text label with an arrow to a spot, on one plane of one view.
struct Annotation {
    int view = 1;    ///< 1 sagittal, 2 coronal, 3 transversal
    int plane = 0;   ///< that view's plane number
    QPointF target;  ///< where the arrow points: picture column and row
    QPointF label;   ///< where the text sits: picture column and row
    QString text;
    bool operator==(const Annotation&) const = default;
};

/// {"view", "plane", "target": [c, r], "label": [c, r], "text"}.
QJsonObject AnnotationToJson(const Annotation& a);
/// The annotation stored in `value`, or none when it is not one a view can
/// show (unknown view, plane or point off the picture, no text).
std::optional<Annotation> AnnotationFromJson(const QJsonValue& value);

/// A question of a stop: point at a voxel, point into an atlas region, or
/// choose one of several answers.
struct LessonQuestion {
    enum Kind { Point, Region, Choice } kind = Point;
    QString prompt;
    std::array<int, 3> answer{};  ///< Point: the voxel
    double radiusMm = 8;          ///< Point: how far off an answer may lie
    QString atlas;                ///< Region: the atlas key ("aal", …)
    int region = 0;               ///< Region: the label
    QStringList options;          ///< Choice: the answers offered
    int choice = 0;               ///< Choice: index of the right one
    QJsonObject extra;            ///< fields this version does not know, kept
};

/// One stop of a lesson.
struct LessonStop {
    QString title, text;
    std::array<int, 3> point{128, 128, 128};  ///< x, y, z as the coordinate fields show them
    /// What the components showed, under their state keys ("window",
    /// "orientation", "atlas", "annotations", "rulers", …), each in the
    /// component's own form.
    QJsonObject state;
    std::optional<LessonQuestion> question;
    QJsonObject extra;  ///< fields this version does not know, kept
};

struct Lesson {
    QString title;
    QString volume;  ///< the volume file, relative to the lesson file
    /// A check of the volume's content ("planes" and a SHA-1 of them), so
    /// that a different volume under the same name is noticed; empty for a
    /// lesson written by hand.
    QJsonObject volumeCheck;
    std::vector<LessonStop> stops;
    QJsonObject extra;  ///< fields this version does not know, kept
};

/// The lesson in `json`; throws RuntimeError with a German text for a file
/// that is not a lesson, one of a newer version or a malformed stop.
Lesson ParseLesson(const QByteArray& json);
/// The lesson file's text: known fields in their form, unknown ones as read.
QByteArray LessonJson(const Lesson& lesson);
/// Reads and writes a lesson file (written whole or not at all).
Lesson ReadLesson(const QString& path);
void WriteLesson(const QString& path, const Lesson& lesson);

/// The full path of the lesson's volume, resolved against the lesson file's folder.
QString LessonVolumePath(const QString& lessonFile, const Lesson& lesson);
/// Sets the lesson's volume to `volumeFile` (relative to the lesson file)
/// and its check to the first `planes` planes of `voxels`.
void SetLessonVolume(Lesson& lesson, const QString& lessonFile, const QString& volumeFile,
                     const std::uint8_t* voxels, int planes);
/// The check of the first `planes` planes of `voxels`.
QJsonObject VolumeCheck(const std::uint8_t* voxels, int planes);
/// Empty when the volume shown (`voxels`, `planes`) is the lesson's, else
/// the German message why not.
QString VolumeMismatch(const Lesson& lesson, const std::uint8_t* voxels, int planes);
/// "Die Volumendatei der Lektion fehlt: …".
QString MissingVolumeText(const QString& path);

/// The parts of a stop's state, read in the components' forms.
struct StopView {
    int centre = 128, width = 256;
    QString map = QStringLiteral("Grau");
    bool neurological = false;
    QString atlas;  ///< atlas key whose colours are shown, empty for none
    std::vector<Annotation> annotations;
    std::vector<Measurement> measurements;
};
StopView ViewOfStop(const LessonStop& stop);

/// Is the voxel `p` within the question's radius of its answer, with the
/// voxel edge `edgeMm` (voxels when 0)?
bool PointAnswerRight(const LessonQuestion& q, const std::array<int, 3>& p, double edgeMm);

}  // namespace zx
