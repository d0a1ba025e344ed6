// Lesson files: a lesson or a RuntimeError; a lesson written out reads
// back to the same text (nothing of it is lost or changes on a second
// save), and every stop's view can be taken from it.
#include <QByteArray>

#include "core/volume/runtime_error.h"
#include "fuzz_support.h"
#include "teach/lesson.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    zx::Lesson lesson;
    try {
        lesson = zx::ParseLesson(bytes);
    } catch (const zx::RuntimeError&) {
        return 0;
    }
    for (const zx::LessonStop& stop : lesson.stops) {
        (void)zx::ViewOfStop(stop);
        if (stop.question && stop.question->kind == zx::LessonQuestion::Point)
            (void)zx::PointAnswerRight(*stop.question, stop.point, 1.0);
    }
    const QByteArray once = zx::LessonJson(lesson);
    zx::Lesson again;
    try {
        again = zx::ParseLesson(once);
    } catch (const zx::RuntimeError&) {
        zxfuzz::Check(false);  // its own text refused
    }
    zxfuzz::Check(again.stops.size() == lesson.stops.size() && zx::LessonJson(again) == once);
    return 0;
}
