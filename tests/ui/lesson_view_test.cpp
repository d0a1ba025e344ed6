// A lesson in the viewer: opening it goes to a stop through every
// component's state (point, display window, mirror, annotations); a point
// question is judged at the point shown and counts in the score; a lesson
// whose volume is missing is refused with a German message.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QSpinBox>

#include "components/annotations/annotations.h"
#include "components/display_window/display_window_tool.h"
#include "components/lesson/lesson_panel.h"
#include "components/orientation/orientation_letters.h"
#include "support/app_fixture.h"
#include "widgets/image_view.h"

namespace {

const char kLesson[] = R"({"format": "zerebrix-lesson", "version": 1, "title": "Probe",
 "volume": "MR_Kopf.vmr",
 "stops": [
  {"title": "Eins", "text": "Erster Halt.", "point": [90, 128, 100],
   "window": {"centre": 110, "width": 140, "map": "Kalt"}, "neurological": true,
   "annotations": [{"view": 1, "plane": 90, "target": [128, 100], "label": [60, 40],
                    "text": "Balken"}],
   "question": {"kind": "point", "prompt": "Wo?", "answer": [90, 150, 140], "radius_mm": 8}},
  {"title": "Zwei", "text": "Zweiter Halt.", "point": [20, 30, 40], "neurological": false}]})";

using Point = std::array<int, 3>;

class LessonView : public zxtest::AppFixture {
protected:
    Point Shown() const { return {form->Xg, form->Yg, form->Zg}; }
    void Type(QLineEdit* ed, int v) {
        ed->setText(QString::number(v));
        QApplication::processEvents();
    }
};

TEST_F(LessonView, AStopSetsPointWindowMirrorAndMarksAndItsQuestionIsJudged) {
    WriteDefault(200);
    dir.Write(QStringLiteral("l.zxl"), QByteArray(kLesson));
    Start();
    auto* lesson = zxtest::Component<zx::TLessonPanel>(form);
    ASSERT_TRUE(lesson->OpenLesson(dir.Path(QStringLiteral("l.zxl")), 1));
    EXPECT_EQ(Shown(), (Point{20, 30, 40}));
    EXPECT_FALSE(zxtest::Component<zx::TOrientationLetters>(form)->Neurological());

    lesson->Previous();
    EXPECT_EQ(Shown(), (Point{90, 128, 100}));
    EXPECT_EQ(zxtest::Component<zx::TDisplayWindowTool>(form)->Window(),
              (zx::DisplayWindow{110, 140, zx::ColourMap::Cold}));
    EXPECT_TRUE(zxtest::Component<zx::TOrientationLetters>(form)->Neurological());
    EXPECT_TRUE(form->Image2->Mirrored());
    ASSERT_EQ(zxtest::Component<zx::TAnnotations>(form)->Annotations.size(), 1u);
    EXPECT_EQ(lesson->StopTitle->text(), QStringLiteral("Eins"));

    // Moved near the answer (3 voxels off, no edge known: 3 < 8), judged right.
    Type(form->yg_Ed, 147);
    Type(form->zg_Ed, 140);
    lesson->Answer();
    EXPECT_TRUE(lesson->Answers.at(0));
    lesson->Next();
    lesson->Next();  // past the last stop: the score
    EXPECT_TRUE(lesson->Finished);
    EXPECT_EQ(lesson->StopText->text(), QStringLiteral("1 von 1 Fragen richtig"));
    // A stop recorded from the viewer as it is comes back as it was.
    lesson->GoToStop(0);
    lesson->AddStop(QStringLiteral("Drei"), QStringLiteral("Dritter Halt."));
    ASSERT_EQ(lesson->Current.stops.size(), 3u);
    EXPECT_EQ(lesson->Current.stops[1].point, (Point{90, 128, 100}));
    EXPECT_EQ(zx::ViewOfStop(lesson->Current.stops[1]).map, QStringLiteral("Kalt"));
    EXPECT_EQ(zx::ViewOfStop(lesson->Current.stops[1]).annotations.size(), 1u);
    // "Halt hinzufügen" with its editor: a choice question.
    prompter.modalAnswers.push_back([](QDialog& dlg) {
        dlg.findChild<QLineEdit*>(QStringLiteral("TitleEdit"))->setText(QStringLiteral("Vier"));
        dlg.findChild<QComboBox*>(QStringLiteral("KindBox"))->setCurrentIndex(3);
        dlg.findChild<QLineEdit*>(QStringLiteral("PromptEdit"))->setText(QStringLiteral("Welche?"));
        dlg.findChild<QPlainTextEdit*>(QStringLiteral("OptionsEdit"))
            ->setPlainText(QStringLiteral("A\n\nB\n"));
        dlg.findChild<QSpinBox*>(QStringLiteral("RightEdit"))->setValue(2);
        return int(QDialog::Accepted);
    });
    form->Components->Find<zx::TLessonPanel>()->HaltHinzufuegen1->trigger();
    ASSERT_EQ(lesson->Current.stops.size(), 4u);
    const zx::LessonStop& added = lesson->Current.stops[2];
    EXPECT_EQ(added.title, QStringLiteral("Vier"));
    ASSERT_TRUE(added.question.has_value());
    EXPECT_EQ(added.question->options, QStringList({QStringLiteral("A"), QStringLiteral("B")}));
    EXPECT_EQ(added.question->choice, 1);
    // Saved elsewhere: the volume named relative to the new file, and checked.
    QDir(dir.Root()).mkpath(QStringLiteral("neu"));
    prompter.saveAnswers.push_back(dir.Path(QStringLiteral("neu/l.zxl")));
    lesson->SaveLessonAs();
    lesson->NewLesson();
    ASSERT_TRUE(lesson->OpenLesson(dir.Path(QStringLiteral("neu/l.zxl"))));
    EXPECT_EQ(lesson->Current.volume, QStringLiteral("../MR_Kopf.vmr"));
    EXPECT_EQ(lesson->Current.volumeCheck.value(QStringLiteral("planes")).toInt(), 200);
    EXPECT_EQ(lesson->Current.stops.size(), 4u);
    // "Lektion drucken..." to a PDF printer: a page a stop and the answers.
    const QString pdf = dir.Path(QStringLiteral("druck.pdf"));
    prompter.printAnswer = [&](QPrinter& printer, int&) {
        printer.setOutputFileName(pdf);
        return true;
    };
    lesson->LektionDrucken1->trigger();
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {pdf});
    info.waitForFinished();
    EXPECT_TRUE(QString::fromUtf8(info.readAllStandardOutput())
                    .contains(QRegularExpression(QStringLiteral("Pages:\\s+5\\n"))));
}

TEST_F(LessonView, ALessonWithoutItsVolumeIsRefused) {
    WriteDefault(200);
    QByteArray text = kLesson;
    text.replace("\"MR_Kopf.vmr\"", "\"fehlt/kopf.vmr\"");
    dir.Write(QStringLiteral("l.zxl"), text);
    Start();
    auto* lesson = zxtest::Component<zx::TLessonPanel>(form);
    EXPECT_FALSE(lesson->OpenLesson(dir.Path(QStringLiteral("l.zxl"))));
    ASSERT_FALSE(prompter.Messages().empty());
    EXPECT_TRUE(prompter.Messages().back().text.startsWith(
        QStringLiteral("Die Volumendatei der Lektion fehlt")));
    EXPECT_TRUE(lesson->Current.stops.empty());
    // The command line ends with 1 and says why, and writes no picture.
    QProcess run;
    run.start(QStringLiteral(ZEREBRIX_PATH),
              {QStringLiteral("--screenshot"), dir.Path(QStringLiteral("a.png")),
               QStringLiteral("--lesson"), dir.Path(QStringLiteral("l.zxl"))});
    run.waitForFinished(60000);
    EXPECT_EQ(run.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(run.readAllStandardError())
                    .contains(QStringLiteral("Die Volumendatei der Lektion fehlt")));
    EXPECT_FALSE(QFile::exists(dir.Path(QStringLiteral("a.png"))));
}

}  // namespace
