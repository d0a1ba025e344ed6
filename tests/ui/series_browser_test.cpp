// A patient CD opened in the viewer: several volumes go through the series
// browser (scripted), one opens at once, none is said in words.
#include "dialogs/series_browser.h"

#include <QDir>
#include <QProcess>
#include <QTreeWidget>
#include <cstring>

#include "support/app_fixture.h"
#include "widgets/prompter.h"
#include "widgets/status_bar.h"

namespace {

class SeriesBrowser : public zxtest::AppFixture {
protected:
    std::vector<std::uint8_t> defaultBytes;
    QString cd;
    void SetUp() override {
        defaultBytes = WriteDefault(180, 9);
        cd = dir.Path(QStringLiteral("cd"));
        QProcess p;
        p.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral(ZX_TEST_SUPPORT_DIR "/patient_cd.py"), QStringLiteral("cd"), cd});
        ASSERT_TRUE(p.waitForFinished(60000) && p.exitCode() == 0)
            << p.readAllStandardError().toStdString();
        Start();
        prompter.record.clear();
    }
    bool VolumeIsDefault() const {
        return std::memcmp(form->Volume.data(), defaultBytes.data(), defaultBytes.size()) == 0;
    }
};

TEST_F(SeriesBrowser, SeveralVolumesAreChosenFromTheListNonVolumesGreyed) {
    int rows = 0, enabled = 0;
    prompter.modalAnswers.push_back([&](QDialog& d) {
        auto& b = dynamic_cast<zx::TSeriesBrowser&>(d);
        rows = b.SeriesList->topLevelItemCount();
        for (int i = 0; i < rows; ++i)
            enabled += (b.SeriesList->topLevelItem(i)->flags() & Qt::ItemIsEnabled) ? 1 : 0;
        EXPECT_EQ(b.ChosenSeries(), 2);  // the first volume
        EXPECT_FALSE(b.Choose(1));       // the localiser cannot be chosen
        EXPECT_EQ(b.SeriesList->topLevelItem(0)->text(7).toStdString(),
                  "Lokalisierer (Übersichtsaufnahme), kein Volumen");
        EXPECT_FALSE(b.SeriesList->topLevelItem(2)->icon(0).isNull());
        EXPECT_TRUE(b.Choose(3));
        return int(QDialog::Accepted);
    });
    form->OpenPaths({cd});
    ASSERT_TRUE(prompter.Messages().empty()) << prompter.Messages()[0].text.toStdString();
    EXPECT_EQ(rows, 5);
    EXPECT_EQ(enabled, 2);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Zerebrix - cd"));
    EXPECT_FALSE(VolumeIsDefault());
    const int sagittalPlanes = form->SliceCount;

    // Cancelled: nothing changes, the status bar says what it said.
    form->OpenPaths({dir.Path(QStringLiteral("MR_Kopf.vmr"))});
    const QString status = form->StatusBar1->SimpleText();
    form->OpenPaths({cd + QStringLiteral("/DICOMDIR")});
    EXPECT_TRUE(VolumeIsDefault());
    EXPECT_EQ(form->StatusBar1->SimpleText(), status);
    EXPECT_EQ(prompter.record.back().title, QStringLiteral("SeriesBrowser"));

    // One volume left: opened at once. None: said with what was found.
    QDir(cd + QStringLiteral("/PT000000/ST000000/SE000001")).removeRecursively();
    form->OpenPaths({cd});
    EXPECT_EQ(form->SliceCount, sagittalPlanes);
    EXPECT_EQ(prompter.record.back().kind, QStringLiteral("modal"));  // no new browser
    QDir(cd + QStringLiteral("/PT000000/ST000000/SE000002")).removeRecursively();
    Drop({cd});
    ASSERT_FALSE(prompter.Messages().empty());
    EXPECT_EQ(prompter.Messages().back().text.toStdString(),
              "3 Serien gefunden, keine davon ist ein Volumen: 1 Lokalisierer, 1 Einzelbild, 1 "
              "Serie ohne Bild.");
}

// Files without an extension (DICOM files often have none) show under
// "alle Dateien".
TEST(FileDialogs, AllFilesTakesNamesWithoutADot) {
    EXPECT_EQ(zx::QtNameFilter(QStringLiteral("Zerebrix-MR-Serie (*.vmr)|*.vmr|alle Dateien "
                                              "(*.*)|*.*")),
              QStringLiteral("Zerebrix-MR-Serie (*.vmr);;alle Dateien (*.* *)"));
}

}  // namespace
