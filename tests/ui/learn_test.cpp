// The "Lernen" menu: read-out along the navigation paths, the colour layer
// over the clean sections, a seeded self-test, and the entries disabled
// where no label volumes lie beside the volume.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <cstdlib>

#include "components/learning/learning.h"
#include "core/render/sections.h"
#include "support/app_fixture.h"
#include "widgets/image_view.h"
#include "widgets/readout.h"

namespace {

using zx::VoxelIndex;

class Learn : public zxtest::AppFixture {
protected:
    void SetUp() override {
        WriteDefault(180, 6);
        // AAL labels in three boxes around the start plane x = 90.
        std::vector<std::uint8_t> aal(zx::kVolumeBytes, 0);
        auto box = [&](std::vector<std::uint8_t>& v, int label, int y0, int z0) {
            for (int x = 80; x <= 100; ++x)
                for (int z = z0; z <= z0 + 20; ++z)
                    for (int y = y0; y <= y0 + 20; ++y)
                        v[VoxelIndex(x, y, z)] = std::uint8_t(label);
        };
        box(aal, 1, 100, 100);   // Precentral_L
        box(aal, 2, 150, 100);   // Precentral_R
        box(aal, 57, 100, 150);  // Postcentral_L
        dir.Write(QStringLiteral("MR_Kopf.aal.vmr"), aal);
        std::vector<std::uint8_t> jhu(zx::kVolumeBytes, 0);
        box(jhu, 3, 100, 100);  // Genu of the corpus callosum
        dir.Write(QStringLiteral("MR_Kopf.jhu.vmr"), jhu);
        Start();
        prompter.record.clear();
    }
    void ClickSag(int y, int z) {
        QTest::mouseClick(form->Image1, Qt::LeftButton, Qt::NoModifier, QPoint(y, z));
    }
};

TEST_F(Learn, TheReadOutFollowsEveryWayThePointMoves) {
    ASSERT_TRUE(zxtest::Component<zx::TLearning>(form)->AtlasAnzeigen1->isEnabled());
    zxtest::Component<zx::TLearning>(form)->AtlasAnzeigen1->setChecked(true);
    const QString outside = QString::fromUtf8("AAL: —\nJHU-Faserbahnen: —");
    EXPECT_EQ(zxtest::Component<zx::TLearning>(form)->AtlasReadout->text(),
              outside);  // the start point (90, 128, 128)
    ClickSag(110, 110);
    EXPECT_EQ(
        zxtest::Component<zx::TLearning>(form)->AtlasReadout->text(),
        QStringLiteral("AAL: Gyrus praecentralis links\nJHU-Faserbahnen: Genu corporis callosi"));
    form->yg_Ed->setText(QStringLiteral("160"));  // typed
    form->yg_EdKeyUp();
    EXPECT_TRUE(zxtest::Component<zx::TLearning>(form)->AtlasReadout->text().startsWith(
        QStringLiteral("AAL: Gyrus praecentralis rechts")));
    form->StepPlane(1, 30);  // the wheel: x 120, outside the boxes
    EXPECT_EQ(zxtest::Component<zx::TLearning>(form)->AtlasReadout->text(), outside);
    form->BackBtnClick();  // a recorded step
    EXPECT_TRUE(zxtest::Component<zx::TLearning>(form)->AtlasReadout->text().startsWith(
        QStringLiteral("AAL: Gyrus praecentralis")));
}

TEST_F(Learn, TheColourLayerLeavesTheCleanSectionsAloneAndIsPrintedAsShown) {
    QImage clean = zx::NewSectionBitmap();
    zx::RenderSagittal(form->Volume.data(), form->Xg, clean);
    zxtest::Component<zx::TLearning>(form)->RegionenEinfaerben1->setChecked(true);
    ASSERT_FALSE(form->Image1->Layer().isNull());
    EXPECT_NE(qAlpha(form->Image1->Layer().pixel(110, 110)), 0);  // inside Precentral_L
    EXPECT_EQ(qAlpha(form->Image1->Layer().pixel(20, 20)), 0);
    EXPECT_EQ(form->SagBmp, clean);

    // The printed page, rendered back from the PDF, shows the regions in
    // their colours: label 1's hue is 137.5 degrees (the golden angle),
    // which neither the greys, the red crosshair nor the yellow letters have.
    const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    if (pdftoppm.isEmpty()) GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
    const QString pdf = dir.Path(QStringLiteral("farben.pdf"));
    prompter.printAnswer = [&](QPrinter& printer, int& copies) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        copies = 1;
        return true;
    };
    form->Drucken1Click();
    ASSERT_EQ(QProcess::execute(pdftoppm, {QStringLiteral("-r"), QStringLiteral("96"),
                                           QStringLiteral("-png"), QStringLiteral("-singlefile"),
                                           pdf, dir.Path(QStringLiteral("seite"))}),
              0);
    const QImage page(dir.Path(QStringLiteral("seite.png")));
    ASSERT_FALSE(page.isNull());
    int greenish = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            greenish += c.hsvSaturation() > 40 && std::abs(c.hsvHue() - 137) < 15;
        }
    EXPECT_GT(greenish, 200);  // a 21 x 21 box in the sagittal view alone
}

TEST_F(Learn, ASeededSelfTestJudgesClicksInTheQuestionLineAndSumsUp) {
    zxtest::Component<zx::TLearning>(form)->AtlasAnzeigen1->setChecked(true);
    zxtest::Component<zx::TLearning>(form)->QuizSeed = 4;
    zxtest::Component<zx::TLearning>(form)->Uebungstarten1->trigger();
    ASSERT_TRUE(zxtest::Component<zx::TLearning>(form)->ActiveQuiz);
    ASSERT_EQ(zxtest::Component<zx::TLearning>(form)->ActiveQuiz->Total(),
              3);  // the three boxes, each over 500 voxels
    const std::map<int, QPoint> centre = {{1, {110, 110}}, {2, {160, 110}}, {57, {110, 160}}};
    const QLabel* line = zxtest::Component<zx::TLearning>(form)->QuizLabel;
    const QString hidden = QString::fromUtf8(
        "AAL: (während der Frage verborgen)\n"
        "JHU-Faserbahnen: (während der Frage verborgen)");
    EXPECT_TRUE(line->text().contains(QStringLiteral("Zeigen Sie: ")));
    // Right: the verdict in the question line, no box; the names come back.
    ClickSag(centre.at(zxtest::Component<zx::TLearning>(form)->ActiveQuiz->Wanted()).x(),
             centre.at(zxtest::Component<zx::TLearning>(form)->ActiveQuiz->Wanted()).y());
    EXPECT_EQ(line->text(), QStringLiteral("Richtig!"));
    EXPECT_TRUE(zxtest::Component<zx::TLearning>(form)->AtlasReadout->text().startsWith(
        QStringLiteral("AAL: Gyrus")));
    EXPECT_FALSE(zxtest::Component<zx::TLearning>(form)->WeiterButton->isHidden());
    // "Weiter": the next question, the names hidden wherever the point goes.
    QTest::mouseClick(zxtest::Component<zx::TLearning>(form)->WeiterButton, Qt::LeftButton);
    EXPECT_TRUE(line->text().startsWith(QStringLiteral("2/3  Zeigen Sie: ")));
    EXPECT_TRUE(zxtest::Component<zx::TLearning>(form)->WeiterButton->isHidden());
    form->yg_Ed->setText(QStringLiteral("110"));
    form->yg_EdKeyUp();
    EXPECT_EQ(zxtest::Component<zx::TLearning>(form)->AtlasReadout->text(), hidden);
    // Wrong, in another box: the distance to the wanted box's nearest voxel.
    const int wanted = zxtest::Component<zx::TLearning>(form)->ActiveQuiz->Wanted();
    const int other = wanted == 1 ? 2 : 1;
    ClickSag(centre.at(other).x(), centre.at(other).y());
    const QPoint w = centre.at(wanted), o = centre.at(other);
    const int dy = std::max(0, std::abs(o.x() - w.x()) - 10),
              dz = std::max(0, std::abs(o.y() - w.y()) - 10);
    const long mm = std::lround(std::sqrt(double(dy * dy + dz * dz)));
    EXPECT_TRUE(line->text().startsWith(QStringLiteral("Nicht ganz: Sie haben ")));
    EXPECT_TRUE(line->text().endsWith(QStringLiteral("(%1 mm entfernt).").arg(mm)))
        << line->text().toStdString();
    EXPECT_EQ(form->Yg, w.x() + (o.x() > w.x()   ? 10
                                 : o.x() < w.x() ? -10
                                                 : 0));  // moved into the region
    // The next click in a view goes on; it answers nothing.
    ClickSag(centre.at(wanted).x(), centre.at(wanted).y());
    EXPECT_TRUE(line->text().startsWith(QStringLiteral("3/3  Zeigen Sie: ")));
    // Outside the head, then the score with the missed regions one a line.
    ClickSag(5, 5);
    EXPECT_TRUE(line->text().contains(QStringLiteral("keine Region")));
    EXPECT_TRUE(prompter.Messages().empty());
    QTest::mouseClick(zxtest::Component<zx::TLearning>(form)->WeiterButton, Qt::LeftButton);
    ASSERT_EQ(prompter.Messages().size(), 1u);
    const QStringList score = prompter.Messages()[0].text.split(u'\n');
    ASSERT_EQ(score.size(), 4) << prompter.Messages()[0].text.toStdString();
    EXPECT_EQ(score[0], QStringLiteral("1 von 3 richtig"));
    EXPECT_EQ(score[1], QStringLiteral("Nicht gefunden:"));
    EXPECT_TRUE(score[2].startsWith(QStringLiteral("Gyrus ")) &&
                score[3].startsWith(QStringLiteral("Gyrus ")));
    EXPECT_FALSE(zxtest::Component<zx::TLearning>(form)->ActiveQuiz);
}

TEST_F(Learn, ClosingTheAtlasWindowEndsTheSelfTest) {
    zx::TLearning* learning = zxtest::Component<zx::TLearning>(form);
    learning->QuizSeed = 4;
    learning->Uebungstarten1->trigger();
    ASSERT_TRUE(learning->ActiveQuiz);
    ASSERT_TRUE(learning->AtlasWindow->isVisible());
    learning->AtlasWindow->close();
    EXPECT_FALSE(learning->AtlasWindow->isVisible());
    EXPECT_FALSE(learning->ActiveQuiz);
    ASSERT_EQ(prompter.Messages().size(), 1u);  // the score so far
    EXPECT_EQ(prompter.Messages()[0].text, QStringLiteral("0 von 3 richtig"));
    EXPECT_EQ(learning->Uebungstarten1->text(), QString::fromUtf8("&Übung starten..."));
    // A click in a view is a click again: the point goes there and stays.
    ClickSag(40, 60);
    EXPECT_EQ(form->Yg, 40);
    EXPECT_EQ(form->Zg, 60);
    EXPECT_EQ(prompter.Messages().size(), 1u);
    EXPECT_FALSE(learning->AtlasWindow->isVisible());
    EXPECT_FALSE(learning->AtlasAnzeigen1->isChecked());
}

TEST_F(Learn, TheHeadWithAtlasesIsKnownByItsContentNotItsName) {
    zx::TLearning* learning = zxtest::Component<zx::TLearning>(form);
    const auto open = [&](const QString& name, const std::vector<std::uint8_t>& bytes) {
        prompter.openAnswers.push_back(QStringList{dir.Write(name, bytes)});
        form->ffnen1->trigger();
    };
    // The same head converted once more: every grey off by one at most.
    std::vector<std::uint8_t> copy = zxtest::Pattern(180 * 65536, 6);
    for (std::uint8_t& b : copy) b ^= 1;
    open(QStringLiteral("kopie.vmr"), copy);
    ASSERT_TRUE(learning->AtlasAnzeigen1->isEnabled());
    learning->AtlasAnzeigen1->setChecked(true);
    ClickSag(110, 110);
    EXPECT_TRUE(learning->AtlasReadout->text().startsWith(
        QStringLiteral("AAL: Gyrus praecentralis links")));
    // Another head on the same grid: a bright block of 96³ voxels makes
    // 6³ of the 16³ block means differ by about 128 grey levels.
    std::vector<std::uint8_t> other = zxtest::Pattern(180 * 65536, 6);
    for (int x = 32; x < 128; ++x)
        for (int z = 32; z < 128; ++z)
            for (int y = 32; y < 128; ++y) other[zx::VoxelIndex(x, y, z)] = 255;
    open(QStringLiteral("fremd.vmr"), other);
    EXPECT_FALSE(learning->AtlasAnzeigen1->isEnabled());
    // Back to a copy: known again.
    open(QStringLiteral("kopie2.vmr"), copy);
    EXPECT_TRUE(learning->AtlasAnzeigen1->isEnabled());
}

TEST_F(Learn, EntriesAreOffForAVolumeWithoutLabels) {
    prompter.openAnswers.push_back(
        QStringList{dir.Write(QStringLiteral("anders.vmr"), zxtest::Pattern(65536 * 20, 1))});
    form->ffnen1->trigger();
    EXPECT_FALSE(zxtest::Component<zx::TLearning>(form)->AtlasAnzeigen1->isEnabled());
    EXPECT_EQ(zxtest::Component<zx::TLearning>(form)->AtlasAnzeigen1->statusTip(),
              QStringLiteral("Atlas passt nur zum Standardkopf"));
    EXPECT_FALSE(zxtest::Component<zx::TLearning>(form)->Uebungstarten1->isEnabled());
    // The reason shows as the entry's tooltip.
    EXPECT_TRUE(zxtest::Component<zx::TLearning>(form)->Lernen1->toolTipsVisible());
    EXPECT_EQ(zxtest::Component<zx::TLearning>(form)->Uebungstarten1->toolTip(),
              QStringLiteral("Atlas passt nur zum Standardkopf"));
}

}  // namespace
