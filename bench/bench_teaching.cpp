// The teaching views and what they export, measured with Google Benchmark:
// the lightbox, the mosaic picture and lessons (opened, walked through and
// written as a web page).
#include <benchmark/benchmark.h>

#include <QComboBox>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QSpinBox>
#include <QTemporaryDir>
#include <algorithm>
#include <vector>

#include "app/main_window.h"
#include "bench/bench_shared.h"
#include "components/display_window/display_window_tool.h"
#include "components/lesson/lesson_panel.h"
#include "components/lightbox/lightbox.h"
#include "convert/phantom.h"
#include "core/render/mosaic.h"
#include "teach/lesson.h"

namespace {

using zxbench::RandomVolume;
using zxbench::SharedForms;
using zxbench::ShowRandomVolume;

/// The lightbox of 24 tiles (six columns, every 8th plane from 48 to 232)
/// drawn anew and painted in its window, as at every change of its choice,
/// the volume or the display window (state.range(0): 1 sagittal, 2
/// coronal, 3 transversal; a display window in force).
void BM_Lightbox24(benchmark::State& state) {
    zx::TForm1& w = *SharedForms().Form1;
    zx::TLightbox& box = *w.Components->Find<zx::TLightbox>();
    w.Components->Find<zx::TDisplayWindowTool>()->SetWindow({110, 140, zx::ColourMap::Grey});
    box.OrientationBox->setCurrentIndex(int(state.range(0)) - 1);
    box.FromEdit->setValue(48);
    box.ToEdit->setValue(232);
    box.EveryEdit->setValue(8);
    box.ColumnsEdit->setValue(6);
    zxbench::ShowExposed(*box.LightboxWindow);
    for (auto _ : state) {
        box.Refresh();
        box.Canvas->repaint();
    }
    state.counters["tiles"] = double(zx::MosaicPlanes(box.Layout()).size());
    box.LightboxWindow->hide();
    w.Components->Find<zx::TDisplayWindowTool>()->Reset();
}
BENCHMARK(BM_Lightbox24)->DenseRange(1, 3)->Unit(benchmark::kMillisecond);

/// `zxconvert mosaic` of 64 transversal tiles (every 4th plane, eight
/// columns) of the head phantom, the whole run: start, reading, drawing,
/// the PNG file.
void BM_Mosaic64(benchmark::State& state) {
    static const struct Phantom {
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("phantom.vmr"));
        Phantom() {
            const std::vector<std::uint8_t> v = zx::MakeHeadPhantom();
            QFile f(path);
            f.open(QIODevice::WriteOnly);
            f.write(reinterpret_cast<const char*>(v.data()), qint64(v.size()));
        }
    } phantom;
    const QString out = phantom.dir.filePath(QStringLiteral("mosaic.png"));
    const QStringList args = {QStringLiteral("mosaic"),
                              phantom.path,
                              out,
                              QStringLiteral("--tra"),
                              QStringLiteral("--every"),
                              QStringLiteral("4"),
                              QStringLiteral("--columns"),
                              QStringLiteral("8")};
    for (auto _ : state) {
        QProcess p;
        p.start(QStringLiteral(ZXCONVERT_PATH), args);
        if (!p.waitForFinished(60000) || p.exitCode() != 0) state.SkipWithError("zxconvert failed");
    }
}
BENCHMARK(BM_Mosaic64)->Unit(benchmark::kMillisecond)->UseRealTime();

/// A lesson of `stops` stops over the first `planes` planes of `voxels`,
/// each stop with a display window, the mirror, three annotations, two
/// measurements and a question, written beside the volume file `volume`.
QString WriteBenchLesson(const QString& folder, const QString& volume, int stops,
                         const std::uint8_t* voxels, int planes) {
    zx::Lesson l;
    l.title = QStringLiteral("Messlektion");
    for (int i = 0; i < stops; ++i) {
        zx::LessonStop s;
        s.title = QStringLiteral("Halt %1").arg(i + 1);
        s.text = QStringLiteral("Ein Text von einigen Zeilen über das, was hier zu sehen ist. ")
                     .repeated(4);
        s.point = {(i * 7) % planes, 60 + i * 3 % 120, 50 + (i * 5) % 150};
        QJsonArray notes, lines;
        for (int k = 0; k < 3; ++k)
            notes.append(zx::AnnotationToJson({k + 1,
                                               s.point[std::size_t(k)],
                                               {100.0 + k, 120},
                                               {40, 30.0 + 10 * k},
                                               QStringLiteral("Marke %1").arg(k)}));
        for (int k = 0; k < 2; ++k)
            lines.append(QJsonObject{
                {QStringLiteral("view"), k + 1},
                {QStringLiteral("plane"), s.point[std::size_t(k)]},
                {QStringLiteral("points"), QJsonArray{QJsonArray{20, 30}, QJsonArray{200, 180}}}});
        s.state = {
            {QStringLiteral("window"),
             QJsonObject{
                 {QStringLiteral("centre"), 100 + i % 20},
                 {QStringLiteral("width"), 140},
                 {QStringLiteral("map"), i % 2 ? QStringLiteral("Heiß") : QStringLiteral("Grau")}}},
            {QStringLiteral("orientation"),
             QJsonObject{{QStringLiteral("neurological"), i % 2 == 1}}},
            {QStringLiteral("annotations"), QJsonObject{{QStringLiteral("annotations"), notes}}},
            {QStringLiteral("rulers"), QJsonObject{{QStringLiteral("measurements"), lines}}}};
        zx::LessonQuestion q;
        q.kind = i % 2 ? zx::LessonQuestion::Choice : zx::LessonQuestion::Point;
        q.prompt = QStringLiteral("Frage %1").arg(i + 1);
        q.answer = s.point;
        q.options = {QStringLiteral("eins"), QStringLiteral("zwei")};
        s.question = q;
        l.stops.push_back(s);
    }
    const QString file = folder + QStringLiteral("/messlektion.zxl");
    zx::SetLessonVolume(l, file, volume, voxels, planes);
    zx::WriteLesson(file, l);
    return file;
}

/// The random volume's first 180 planes as a file, and the shared main
/// window showing it under that name; a lesson of 50 stops beside it.
struct BenchLesson {
    QTemporaryDir dir;
    QString volume = dir.filePath(QStringLiteral("kopf.vmr"));
    QString lesson;
    BenchLesson() {
        QFile f(volume);
        f.open(QIODevice::WriteOnly);
        f.write(reinterpret_cast<const char*>(RandomVolume().data()), qint64(180) * 65536);
        f.close();
        lesson = WriteBenchLesson(dir.path(), volume, 50, RandomVolume().data(), 180);
    }
};

BenchLesson& SharedLesson() {
    static BenchLesson l;
    // Another benchmark may have opened another volume in the shared window.
    zx::TForm1& w = *SharedForms().Form1;
    if (!std::equal(RandomVolume().begin(), RandomVolume().end(), w.Volume.begin()))
        ShowRandomVolume(w);
    w.VolumeFileName = l.volume;
    return l;
}

/// "Lektion" › "Öffnen..." of a lesson of 50 stops on the volume shown:
/// the file read, the volume checked against it (a SHA-1 of its 180
/// planes), the stop list filled and the first stop shown.
void BM_OpenLesson50(benchmark::State& state) {
    const BenchLesson& l = SharedLesson();
    zx::TLessonPanel& panel = *SharedForms().Form1->Components->Find<zx::TLessonPanel>();
    for (auto _ : state)
        if (!panel.OpenLesson(l.lesson)) state.SkipWithError("lesson refused");
    panel.LessonWindow->hide();
}
BENCHMARK(BM_OpenLesson50)->Unit(benchmark::kMillisecond);

/// Going from one stop to the next (point, window and mirror, annotations,
/// measurements), the main window repainted: one iteration is one stop.
void BM_GoToStop(benchmark::State& state) {
    const BenchLesson& l = SharedLesson();
    zx::TForm1& w = *SharedForms().Form1;
    zxbench::ShowExposed(w);
    zx::TLessonPanel& panel = *w.Components->Find<zx::TLessonPanel>();
    panel.OpenLesson(l.lesson);
    int i = 0;
    for (auto _ : state) {
        panel.GoToStop(++i % 50);
        zxbench::PaintPending(w);
    }
    panel.LessonWindow->hide();
}
BENCHMARK(BM_GoToStop)->Unit(benchmark::kMillisecond);

/// `zxconvert lesson-web` of a lesson of 20 stops on the head phantom, the
/// whole run: 60 pictures, the data and the page.
void BM_LessonWeb20(benchmark::State& state) {
    static const struct Web {
        QTemporaryDir dir;
        QString volume = dir.filePath(QStringLiteral("phantom.vmr"));
        QString lesson;
        Web() {
            const std::vector<std::uint8_t> v = zx::MakeHeadPhantom();
            QFile f(volume);
            f.open(QIODevice::WriteOnly);
            f.write(reinterpret_cast<const char*>(v.data()), qint64(v.size()));
            f.close();
            lesson = WriteBenchLesson(dir.path(), volume, 20, v.data(), 256);
        }
    } web;
    const QStringList args = {QStringLiteral("lesson-web"), web.lesson,
                              web.dir.filePath(QStringLiteral("web"))};
    for (auto _ : state) {
        QProcess p;
        p.start(QStringLiteral(ZXCONVERT_PATH), args);
        if (!p.waitForFinished(60000) || p.exitCode() != 0) state.SkipWithError("zxconvert failed");
    }
}
BENCHMARK(BM_LessonWeb20)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
