// Lessons from their file to the handout and the web page: the file read
// and written again with what this version does not know kept, a volume
// that is missing or another one refused, and the outputs of zxconvert
// read back by other programs (poppler's pdftotext, a headless Chromium).
#include "teach/lesson.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QUrl>

#include "core/volume/runtime_error.h"
#include "support/temp_dir.h"

namespace {

struct Ran {
    int code;
    QString out, err;
};

Ran Exec(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(120000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

Ran Zx(const QStringList& args) { return Exec(QStringLiteral(ZXCONVERT_PATH), args); }

// The form a teacher writes by hand, with fields of a later version.
const char kLesson[] = R"({"format": "zerebrix-lesson", "version": 1,
 "title": "Das Gehirn im Schnitt", "volume": "kopf/MR_Kopf.vmr", "course": {"term": 3},
 "stops": [
  {"title": "Der Balken", "text": "Er verbindet die beiden Hemisphären.",
   "point": [90, 128, 100], "window": {"centre": 110, "width": 140, "map": "Grau"},
   "neurological": false, "atlas": "aal", "slide": 7,
   "annotations": [{"view": 1, "plane": 90, "target": [128, 100], "label": [60, 40],
                    "text": "Balken"}],
   "question": {"kind": "point", "prompt": "Zeigen Sie den vierten Ventrikel.",
                "answer": [90, 150, 140], "radius_mm": 8, "hint": "kaudal"}},
  {"title": "Die Sehrinde", "text": "Hinten im Okzipitallappen.", "point": [100, 200, 90],
   "neurological": true,
   "measurements": [{"view": 3, "plane": 90, "points": [[40, 40], [140, 40]]}],
   "question": {"kind": "choice", "prompt": "Welcher Lappen?",
                "options": ["Stirnlappen", "Hinterhauptslappen"], "answer": 1}}]})";

class Lessons : public ::testing::Test {
protected:
    zxtest::TempDir dir;
    QString lesson = dir.Path(QStringLiteral("lektion.zxl"));
    void SetUp() override {
        ASSERT_TRUE(QDir(dir.Root()).mkpath(QStringLiteral("kopf")));
        ASSERT_EQ(
            Zx({QStringLiteral("phantom"), dir.Path(QStringLiteral("kopf/MR_Kopf.vmr"))}).code, 0);
        dir.Write(QStringLiteral("lektion.zxl"), QByteArray(kLesson));
    }
};

TEST_F(Lessons, ReadAndWrittenAgainKeepWhatTheyDoNotKnow) {
    const zx::Lesson l = zx::ReadLesson(lesson);
    ASSERT_EQ(l.stops.size(), 2u);
    EXPECT_EQ(zx::LessonVolumePath(lesson, l), dir.Path(QStringLiteral("kopf/MR_Kopf.vmr")));
    const zx::StopView v = zx::ViewOfStop(l.stops[0]);
    EXPECT_EQ(v.centre, 110);
    EXPECT_EQ(v.atlas, QStringLiteral("aal"));
    ASSERT_EQ(v.annotations.size(), 1u);
    EXPECT_EQ(v.annotations[0].text, QStringLiteral("Balken"));
    EXPECT_TRUE(zx::ViewOfStop(l.stops[1]).neurological);
    EXPECT_EQ(zx::ViewOfStop(l.stops[1]).measurements.size(), 1u);
    // A point question: 1 voxel of 1 mm off is within 8 mm, 9 voxels are not.
    EXPECT_TRUE(zx::PointAnswerRight(*l.stops[0].question, {90, 151, 140}, 1.0));
    EXPECT_FALSE(zx::PointAnswerRight(*l.stops[0].question, {90, 159, 140}, 1.0));

    const QJsonObject again = QJsonDocument::fromJson(zx::LessonJson(l)).object();
    const QJsonObject original = QJsonDocument::fromJson(kLesson).object();
    EXPECT_EQ(again.value(QStringLiteral("course")), original.value(QStringLiteral("course")));
    for (int i = 0; i < 2; ++i)  // every field of every stop, unknown ones too, as it was
        EXPECT_EQ(again[QStringLiteral("stops")][i], original[QStringLiteral("stops")][i])
            << QJsonDocument(again[QStringLiteral("stops")][i].toObject()).toJson().toStdString();

    QByteArray newer = kLesson;
    newer.replace("\"version\": 1", "\"version\": 2");
    EXPECT_THROW(zx::ParseLesson(newer), zx::RuntimeError);
}

TEST_F(Lessons, AMissingOrDifferentVolumeIsRefused) {
    // The lesson saved with a check of its volume, then the volume replaced.
    zx::Lesson l = zx::ReadLesson(lesson);
    std::vector<std::uint8_t> other(65536 * 4, 7);
    zx::SetLessonVolume(l, lesson, dir.Path(QStringLiteral("kopf/MR_Kopf.vmr")), other.data(), 4);
    zx::WriteLesson(lesson, l);
    Ran r = Zx({QStringLiteral("lesson-pdf"), lesson, dir.Path(QStringLiteral("a.pdf"))});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("nicht das der Lektion"))) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(dir.Path(QStringLiteral("a.pdf"))));
    QFile::remove(dir.Path(QStringLiteral("kopf/MR_Kopf.vmr")));
    r = Zx({QStringLiteral("lesson-web"), lesson, dir.Path(QStringLiteral("web"))});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Die Volumendatei der Lektion fehlt")))
        << r.err.toStdString();
}

TEST_F(Lessons, TheHandoutHasAPageAStopAndThenTheAnswers) {
    const QString pdf = dir.Path(QStringLiteral("lektion.pdf"));
    ASSERT_EQ(Zx({QStringLiteral("lesson-pdf"), lesson, pdf}).code, 0);
    const Ran info = Exec(QStringLiteral("pdfinfo"), {pdf});
    EXPECT_TRUE(info.out.contains(QRegularExpression(QStringLiteral("Pages:\\s+3\\n"))));
    auto page = [&](int n) {
        return Exec(QStringLiteral("pdftotext"),
                    {QStringLiteral("-f"), QString::number(n), QStringLiteral("-l"),
                     QString::number(n), pdf, QStringLiteral("-")})
            .out;
    };
    const QString first = page(1), second = page(2), answers = page(3);
    EXPECT_TRUE(first.contains(QStringLiteral("Der Balken")));
    EXPECT_TRUE(first.contains(QString::fromUtf8("Er verbindet die beiden Hemisphären.")));
    EXPECT_TRUE(first.contains(QStringLiteral("Zeigen Sie den vierten Ventrikel.")));
    EXPECT_TRUE(first.contains(QStringLiteral("Sagittal (x = 90)")));
    EXPECT_FALSE(first.contains(QStringLiteral("150")));  // no answer on the question's page
    EXPECT_TRUE(second.contains(QStringLiteral("b) Hinterhauptslappen")));
    EXPECT_TRUE(answers.contains(QString::fromUtf8("Lösungen")));
    EXPECT_TRUE(answers.contains(QStringLiteral("Punkt x 90, y 150, z 140")));
    EXPECT_TRUE(answers.contains(QStringLiteral("b) Hinterhauptslappen")));
}

TEST_F(Lessons, TheWebPageShowsEachStopInAHeadlessBrowser) {
    const QString web = dir.Path(QStringLiteral("web"));
    ASSERT_EQ(Zx({QStringLiteral("lesson-web"), lesson, web}).code, 0);
    const QString url = QUrl::fromLocalFile(web + QStringLiteral("/index.html")).toString();
    const char* const titles[] = {"Der Balken", "Die Sehrinde"};
    const char* const texts[] = {"Er verbindet die beiden Hemisphären.",
                                 "Hinten im Okzipitallappen."};
    for (int n = 1; n <= 2; ++n) {
        const Ran r = Exec(QStringLiteral("chromium-headless-shell"),
                           {QStringLiteral("--no-sandbox"), QStringLiteral("--disable-gpu"),
                            QStringLiteral("--dump-dom"), url + QStringLiteral("#stop=%1").arg(n)});
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        const QString& dom = r.out;
        EXPECT_TRUE(dom.contains(
            QStringLiteral("<h2 id=\"title\">%1</h2>").arg(QString::fromUtf8(titles[n - 1]))))
            << dom.toStdString();
        EXPECT_TRUE(dom.contains(QString::fromUtf8(texts[n - 1])));
        EXPECT_TRUE(dom.contains(QStringLiteral("Halt %1 von 2").arg(n)));
        for (const char* view : {"sag", "cor", "tra"}) {
            const QString name = QStringLiteral("stop%1_%2.png").arg(n).arg(QLatin1String(view));
            EXPECT_TRUE(dom.contains(QStringLiteral("src=\"%1\"").arg(name))) << qPrintable(name);
            EXPECT_TRUE(QImage(web + u'/' + name).size() == QSize(256, 256)) << qPrintable(name);
        }
    }
    // The choice question offers its answers as buttons.
    const Ran r = Exec(QStringLiteral("chromium-headless-shell"),
                       {QStringLiteral("--no-sandbox"), QStringLiteral("--disable-gpu"),
                        QStringLiteral("--dump-dom"), url + QStringLiteral("#stop=2")});
    EXPECT_TRUE(r.out.contains(QStringLiteral(">b) Hinterhauptslappen</button>")));

    // The page with a click of a student added: in the sagittal picture of
    // stop 1 (plane x = 90) at column y = 147, row z = 141, 3.2 voxels from
    // the answer (90, 150, 140); then at column 100, far off.
    QFile page(web + QStringLiteral("/index.html"));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    QByteArray probe = page.readAll();
    probe.replace("</body>", R"(<script>
      function clickAt(c, r) {
        var img = document.getElementById("view1"), box = img.getBoundingClientRect();
        img.dispatchEvent(new MouseEvent("click", {bubbles: true,
          clientX: box.left + c + 0.5, clientY: box.top + r + 0.5}));
        return document.getElementById("verdict").textContent;
      }
      document.body.setAttribute("data-far", clickAt(100, 141));
      document.body.setAttribute("data-near", clickAt(147, 141));
    </script></body>)");
    QFile out(web + QStringLiteral("/probe.html"));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(probe) == probe.size());
    out.close();
    const Ran clicked = Exec(QStringLiteral("chromium-headless-shell"),
                             {QStringLiteral("--no-sandbox"), QStringLiteral("--disable-gpu"),
                              QStringLiteral("--dump-dom"),
                              QUrl::fromLocalFile(web + QStringLiteral("/probe.html")).toString() +
                                  QStringLiteral("#stop=1")});
    EXPECT_TRUE(clicked.out.contains(QStringLiteral("data-far=\"Nicht ganz: 50,0 mm daneben.\"")))
        << clicked.out.toStdString();
    EXPECT_TRUE(clicked.out.contains(QStringLiteral("data-near=\"Richtig!\"")));
    // The first answer counts.
    EXPECT_TRUE(clicked.out.contains(QStringLiteral("Bisher: 0 von 2 Fragen richtig")));
}

}  // namespace
