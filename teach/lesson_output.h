// A lesson for students away from the viewer: a printed handout (one page
// per stop, then the answers) and a web page that works from the file
// system without any request outside its folder. No widgets.
#pragma once

#include <QString>

#include "teach/lesson.h"
#include "teach/lesson_pictures.h"

class QPagedPaintDevice;

namespace zx {

/// Paints the handout onto `device` (a PDF writer or a printer): per stop
/// its title, text, the three sections with letters, annotations and
/// measurements and its question without the answer; then a page of the
/// answers. Needs a QGuiApplication (fonts).
void PaintHandout(QPagedPaintDevice& device, LessonVolume& v, const Lesson& lesson);

/// Writes the handout as a PDF file; throws RuntimeError when it cannot.
void WriteHandoutPdf(const QString& path, LessonVolume& v, const Lesson& lesson);

/// Writes index.html, lesson.js (the lesson's data as a script, so that
/// the page needs no request) and the pictures stop<N>_sag.png,
/// stop<N>_cor.png, stop<N>_tra.png into `folder`, made when missing.
/// Throws RuntimeError when a file cannot be written.
void WriteLessonWeb(const QString& folder, LessonVolume& v, const Lesson& lesson);

/// The picture names of stop `n` (counted from 1): sagittal, coronal, transversal.
QString StopPictureName(int n, int view);

/// The answer of a question in words, for the answers page.
QString AnswerText(const LessonQuestion& q, LessonVolume& v);

}  // namespace zx
