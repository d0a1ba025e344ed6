// NIfTI files and DICOM folders opened from the "Datei" menu or dropped on
// the window: shown as a volume file is, every section drawn from the new
// volume, and any failure leaves everything as it was.
#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <cstring>

#include "support/app_fixture.h"
#include "support/section_oracle.h"
#include "support/small_volumes.h"
#include "support/volume_writers.h"
#include "widgets/image_view.h"
#include "widgets/list_box.h"
#include "widgets/status_bar.h"

namespace {

class OpenFormats : public zxtest::AppFixture {
protected:
    std::vector<std::uint8_t> defaultBytes;
    void SetUp() override {
        defaultBytes = WriteDefault(180, 9);
        Start();
        prompter.record.clear();
    }
    bool VolumeIsDefault() const {
        return std::memcmp(form->Volume.data(), defaultBytes.data(), defaultBytes.size()) == 0;
    }
};

TEST_F(OpenFormats, ANiftiFileIsShownCentredWithoutAFileName) {
    prompter.openAnswers.push_back(
        QStringList{dir.Write(QStringLiteral("kopf.nii"), zxtest::SmallNifti())});
    form->NiftiOeffnen1->trigger();
    EXPECT_TRUE(prompter.Messages().empty());
    EXPECT_EQ(form->SliceCount, 20);
    EXPECT_EQ(form->SliceOffset, 118);
    EXPECT_EQ(form->Xg, 10);
    EXPECT_EQ(form->StepCount, 1);
    EXPECT_TRUE(form->VolumeFileName.isEmpty());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Zerebrix - kopf.nii"));
    EXPECT_EQ(form->StatusBar1->SimpleText(), QString::fromUtf8("20 Datensätze gelesen."));
    EXPECT_FALSE(VolumeIsDefault());
    EXPECT_TRUE(zxtest::SectionsShowVolume(*form));
    EXPECT_TRUE(zxtest::AllPlanesShowVolume(*form));
}

// A narrower volume after a full one: the coronal and transversal views
// show black beside its planes, never the previous volume's columns.
using OpenAfterWiderVolume = zxtest::AppFixture;

TEST_F(OpenAfterWiderVolume, SideColumnsAreBlackForEveryWayOfOpening) {
    WriteDefault(256, 5);
    Start();
    const QString nifti = dir.Write(QStringLiteral("kopf.nii"), zxtest::SmallNifti());
    const QString serie = zxtest::SmallDicomSeries(dir);
    for (const QString& path : {nifti, serie}) {
        form->OpenPaths({dir.Path(QStringLiteral("MR_Kopf.vmr"))});
        ASSERT_EQ(form->SliceCount, 256);
        form->OpenPaths({path});
        EXPECT_LT(form->SliceCount, 256) << path.toStdString();
        EXPECT_TRUE(zxtest::SectionsShowVolume(*form)) << path.toStdString();
    }
    EXPECT_TRUE(prompter.Messages().empty());
}

TEST_F(OpenFormats, ADamagedFileBesideTheSeriesIsLeftOutAndNamed) {
    const QString serie = zxtest::SmallDicomSeries(dir);
    QFile stray(serie + QStringLiteral("/stray.dcm"));
    ASSERT_TRUE(stray.open(QIODevice::WriteOnly));
    stray.write(QByteArray(128, '\0') + "DICM");
    stray.close();
    form->OpenPaths({serie});
    EXPECT_TRUE(prompter.Messages().empty());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Zerebrix - serie"));
    EXPECT_TRUE(form->StatusBar1->SimpleText().contains(QStringLiteral("stray.dcm")))
        << form->StatusBar1->SimpleText().toStdString();
}

TEST_F(OpenFormats, DicomFoldersAndDroppedFilesDrawEverySectionFromTheNewVolume) {
    const QString serie = zxtest::SmallDicomSeries(dir);
    prompter.folderAnswers.push_back(serie);
    form->DicomSerieOeffnen1->trigger();
    ASSERT_TRUE(prompter.Messages().empty()) << prompter.Messages()[0].text.toStdString();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Zerebrix - serie"));
    EXPECT_FALSE(VolumeIsDefault());
    EXPECT_TRUE(zxtest::SectionsShowVolume(*form));
    EXPECT_TRUE(zxtest::AllPlanesShowVolume(*form));
    // Dropped: a NIfTI file, the DICOM folder again, the volume file.
    const QString nifti = dir.Write(QStringLiteral("kopf.nii"), zxtest::SmallNifti());
    const QString vmr = dir.Path(QStringLiteral("MR_Kopf.vmr"));
    for (const QString& path : {nifti, serie, vmr}) {
        Drop({path});
        EXPECT_TRUE(form->windowTitle().endsWith(QFileInfo(path).fileName())) << path.toStdString();
        EXPECT_TRUE(zxtest::SectionsShowVolume(*form)) << path.toStdString();
        EXPECT_TRUE(zxtest::AllPlanesShowVolume(*form)) << path.toStdString();
    }
    EXPECT_TRUE(VolumeIsDefault());
    EXPECT_TRUE(prompter.Messages().empty());
}

TEST_F(OpenFormats, FailuresKeepTheVolumeNameAndCaption) {
    prompter.openAnswers.push_back(
        QStringList{dir.Write(QStringLiteral("kaputt.nii"), QByteArray(400, 'x'))});
    form->NiftiOeffnen1->trigger();
    QDir(dir.Root()).mkdir(QStringLiteral("leer"));
    prompter.folderAnswers.push_back(dir.Path(QStringLiteral("leer")));
    form->DicomSerieOeffnen1->trigger();
    const auto messages = prompter.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(messages[0].text.contains(QStringLiteral("ist keine Volumendatei")))
        << messages[0].text.toStdString();
    EXPECT_TRUE(messages[1].text.contains(QStringLiteral("ist leer")))
        << messages[1].text.toStdString();
    EXPECT_TRUE(VolumeIsDefault());
    EXPECT_EQ(form->SliceCount, 180);
    EXPECT_EQ(form->VolumeFileName, QStringLiteral("MR_Kopf.vmr"));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Zerebrix - MR_Kopf.vmr"));
}

// A 4-D file chosen in the Open dialog: its first volume, named in the
// status bar; V and Shift+V step through the others, round the end.
TEST_F(OpenFormats, TheVolumesOfAFourDimensionalFileAreSteppedThrough) {
    zxtest::TestImage im;
    im.dims = {8, 8, 6};
    im.volumes = 3;
    im.ras = {{{-1, 0, 0}, {0, 0, 1}, {0, -1, 0}}};
    for (int i = 0; i < 8 * 8 * 6 * 3; ++i) im.values.push_back(std::int16_t(i % 97 + i / 384));
    const QString path = dir.Write(QStringLiteral("fmri.mgz"), zxtest::Gzip(zxtest::Mgh(im)));
    prompter.openAnswers.push_back(QStringList{path});
    form->ffnen1->trigger();
    EXPECT_TRUE(prompter.Messages().empty());
    EXPECT_TRUE(form->StatusBar1->SimpleText().endsWith(QStringLiteral("Volumen 1 von 3")));
    const std::vector<std::uint8_t> first(form->Volume.begin(), form->Volume.end());
    form->NaechstesVolumen1->trigger();
    EXPECT_TRUE(form->StatusBar1->SimpleText().endsWith(QStringLiteral("Volumen 2 von 3")));
    EXPECT_FALSE(std::equal(first.begin(), first.end(), form->Volume.begin()));
    form->VorigesVolumen1->trigger();
    form->VorigesVolumen1->trigger();
    EXPECT_TRUE(form->StatusBar1->SimpleText().endsWith(QStringLiteral("Volumen 3 von 3")))
        << form->StatusBar1->SimpleText().toStdString();
    EXPECT_TRUE(zxtest::SectionsShowVolume(*form));
    form->OpenPaths({dir.Path(QStringLiteral("MR_Kopf.vmr"))});
    EXPECT_FALSE(form->NaechstesVolumen1->isEnabled());
}

}  // namespace
