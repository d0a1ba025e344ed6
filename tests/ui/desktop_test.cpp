// The viewer as a desktop program: command line, a picture without a
// screen, dropped files, the wheel and the keys.
#include <QDir>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QUrl>

#include "app/command_line.h"
#include "core/render/sections.h"
#include "support/app_fixture.h"
#include "widgets/image_view.h"

namespace {

zx::CommandLine Parse(QStringList args) {
    args.prepend(QStringLiteral("zerebrix"));
    std::vector<QByteArray> bytes;
    for (const QString& a : args) bytes.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& b : bytes) argv.push_back(b.data());
    return zx::ParseCommandLine(int(argv.size()), argv.data());
}

class Desktop : public zxtest::AppFixture {
protected:
    void SetUp() override {
        WriteDefault(180, 12);
        Start();
        prompter.record.clear();
    }
    void Wheel(zx::TImage* view, int notches) {
        QWheelEvent e(QPointF(50, 50), view->mapToGlobal(QPointF(50, 50)), QPoint(),
                      QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                      false);
        QApplication::sendEvent(view, &e);
    }
};

TEST(CommandLine, HelpVersionAndMisuse) {
    EXPECT_EQ(Parse({QStringLiteral("--help")}).exitCode, 0);
    EXPECT_EQ(Parse({QStringLiteral("--version")}).exitCode, 0);
    EXPECT_EQ(Parse({QStringLiteral("--farbe")}).exitCode, 2);
    EXPECT_EQ(Parse({QStringLiteral("/gibt/es/nicht.vmr")}).exitCode, 2);
    EXPECT_EQ(Parse({QStringLiteral("--screenshot")}).exitCode, 2);
    EXPECT_EQ(Parse({QStringLiteral("--screenshot"), QStringLiteral("a.png"),
                     QStringLiteral("--at"), QStringLiteral("1,2,300")})
                  .exitCode,
              2);
    for (const char* f : {"0", "9", "2.5", "x"})
        EXPECT_EQ(Parse({QStringLiteral("--zoom"), QString::fromLatin1(f)}).exitCode, 2) << f;
    const zx::CommandLine ok =
        Parse({QStringLiteral("--screenshot"), QStringLiteral("a.png"), QStringLiteral("--at"),
               QStringLiteral("1,2,3"), QStringLiteral("--zoom"), QStringLiteral("4"),
               QStringLiteral("--volume"), QStringLiteral("7"), QStringLiteral("/")});
    EXPECT_FALSE(ok.exitCode);
    EXPECT_EQ(ok.path, QStringLiteral("/"));
    EXPECT_EQ((*ok.at)[2], 3);
    EXPECT_EQ(ok.options.zoom, 4);
    EXPECT_EQ(ok.volume, 7);
    EXPECT_EQ(Parse({QStringLiteral("--volume"), QStringLiteral("0")}).exitCode, 2);
}

TEST_F(Desktop, TheScreenshotShowsTheSectionsAtThePointAndFailuresWriteNothing) {
    const QString png = dir.Path(QStringLiteral("bild.png"));
    QProcess p;
    p.setWorkingDirectory(dir.Root());
    p.start(QStringLiteral(ZEREBRIX_PATH), {QStringLiteral("--screenshot"), png,
                                            QStringLiteral("--at"), QStringLiteral("90,100,120")});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QImage shot(png);
    ASSERT_EQ(shot.size(), QSize(537, 545));
    QImage cor = zx::NewSectionBitmap();
    zx::RenderCoronal(form->Volume.data(), 100, 180, 38, cor);
    EXPECT_EQ(shot.pixel(274 + 20, 4 + 30), cor.pixel(20, 30));
    EXPECT_EQ(shot.pixel(274 + 90 + 38, 4 + 120 - 20), zx::kCrossColor);  // the vertical arm

    QProcess bad;
    bad.setWorkingDirectory(dir.Root());
    const QString none = dir.Path(QStringLiteral("nie.png"));
    QDir(dir.Root()).mkdir(QStringLiteral("leer"));  // no DICOM series: the error, no picture
    bad.start(QStringLiteral(ZEREBRIX_PATH),
              {QStringLiteral("--screenshot"), none, dir.Path(QStringLiteral("leer"))});
    ASSERT_TRUE(bad.waitForFinished(60000));
    EXPECT_NE(bad.exitCode(), 0);
    EXPECT_FALSE(QFile::exists(none));
}

TEST_F(Desktop, WheelAndKeysStepTheViewUnderThePointer) {
    Wheel(form->Image1, 2);  // sagittal: x
    EXPECT_EQ(form->Xg, 92);
    EXPECT_EQ(form->xg_Ed->text(), QStringLiteral("92"));
    EXPECT_EQ(form->StepCount, 2);
    Wheel(form->Image3, -1);  // transversal: z
    EXPECT_EQ(form->Zg, 127);
    form->Zg = 0;
    form->zg_Ed->setText(QStringLiteral("0"));
    const int steps = form->StepCount;
    Wheel(form->Image3, -1);  // at the edge: nothing moves, nothing recorded
    EXPECT_EQ(form->Zg, 0);
    EXPECT_EQ(form->StepCount, steps);

    QTest::mouseMove(form->Image2, QPoint(60, 60));  // the pointer over the coronal view
    ASSERT_EQ(form->PointerView, 2);
    form->setFocus();
    QTest::keyClick(form, Qt::Key_PageUp);
    EXPECT_EQ(form->Yg, 129);
    QTest::keyClick(form, Qt::Key_Right);
    EXPECT_EQ(form->Xg, 93);
    QTest::keyClick(form, Qt::Key_Down);
    EXPECT_EQ(form->Zg, 1);
    // A coordinate edit with the focus keeps the arrows for itself.
    form->xg_Ed->setFocus();
    QTest::keyClick(form->xg_Ed, Qt::Key_Right);
    EXPECT_EQ(form->Xg, 93);
}

TEST_F(Desktop, DroppedFilesOpenAsTheOpenCommandOpensThem) {
    const QString other = dir.Write(QStringLiteral("zwei.vmr"), zxtest::Pattern(100 * 65536, 4));
    Drop({other});
    EXPECT_EQ(form->SliceCount, 100);
    EXPECT_EQ(form->VolumeFileName, other);
    Drop({dir.Write(QStringLiteral("notiz.txt"), QByteArray("x"))});
    ASSERT_EQ(prompter.Messages().size(), 1u);
    EXPECT_TRUE(prompter.Messages()[0].text.contains(QStringLiteral("notiz.txt")));
    EXPECT_EQ(form->VolumeFileName, other);
}

}  // namespace
