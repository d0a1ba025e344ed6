// The import window (list, square, assembly, saves) and the main window's
// save, export and import commands, driven through the menus.
#include <sys/resource.h>

#include <QDir>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <csignal>
#include <cstring>
#include <map>

#include "core/render/sections.h"
#include "export/web_export_dialog.h"
#include "import/new_bmp_form.h"
#include "support/app_fixture.h"
#include "support/dicom_bytes.h"
#include "support/section_oracle.h"
#include "widgets/image_view.h"
#include "widgets/list_box.h"
#include "widgets/radio_group.h"

namespace {

using zx::GreyToColor;
using zx::VoxelIndex;

/// Every file under `folder` (relative name → bytes).
std::map<QString, QByteArray> Snapshot(const QString& folder) {
    std::map<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile f(it.next());
        files[QDir(folder).relativeFilePath(f.fileName())] =
            f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unlesbar)");
    }
    return files;
}

class ImportExport : public zxtest::AppFixture {
protected:
    zx::TNewBmpForm* imp = nullptr;
    void SetUp() override {
        WriteDefault(180, 4);
        Start();
        imp = forms->NewBmpForm.get();
        prompter.record.clear();
    }

    /// n DICOM files of one constant sample each (file i holds i + 1), in a
    /// folder of their own; returns their paths.
    QStringList DicomStack(int n) {
        QDir(dir.Root()).mkdir(QStringLiteral("dcm"));
        QStringList files;
        for (int i = 0; i < n; ++i) {
            const QString name = QStringLiteral("dcm/img%1.dcm").arg(i, 3, 10, QLatin1Char('0'));
            files << dir.Write(name, zxtest::DicomFile({}, std::vector<std::uint16_t>(
                                                               65536, std::uint16_t(i + 1))));
        }
        return files;
    }

    /// The import window answers OK with an orientation, a depth and a grey
    /// window: by default centre 128, width 256, which runs from 0 over 256
    /// samples, so sample s shows as grey 256 · s / 256 = s.
    void AnswerImport(int orientation, int depth, int centre = 128, int width = 256) {
        prompter.modalAnswers.push_back([=](QDialog& d) {
            auto& w = static_cast<zx::TNewBmpForm&>(d);
            w.RadioGroup1->SetItemIndex(orientation);
            w.RadioGroup2->SetItemIndex(depth - 1);
            w.ed_c->setText(QString::number(centre));
            w.ed_w->setText(QString::number(width));
            w.OKButton->click();
            return d.result();
        });
    }
};

TEST_F(ImportExport, NewProjectBuildsTheTableOfOrientations) {
    const QStringList files = DicomStack(100);
    prompter.openAnswers.push_back(files);
    AnswerImport(2, 1);  // TRA: image i at z = 78 + i
    form->Neu1->trigger();
    EXPECT_EQ(form->SliceCount, 255);
    EXPECT_EQ(form->SliceOffset, 0);
    EXPECT_EQ(form->Xg, 127);
    const auto grey = [&](int x, int y, int z) { return form->Volume[VoxelIndex(x, y, z)]; };
    const int g0 = grey(5, 5, 78), g99 = grey(5, 5, 177);
    EXPECT_EQ(g0, 1);
    EXPECT_EQ(g99, 100);
    EXPECT_EQ(grey(5, 5, 77), 0);
    EXPECT_EQ(grey(5, 5, 178), 0);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Zerebrix - Importierte Bitmaps"));
    EXPECT_TRUE(form->VolumeFileName.isEmpty());
    EXPECT_EQ(form->CorBmp.pixel(5, 100), GreyToColor(23));  // voxel (5, 128, 100): image 22
    EXPECT_TRUE(zxtest::AllPlanesShowVolume(*form));

    prompter.openAnswers.push_back(files.mid(0, 50));
    // COR depth 2: image 0 at y 177, 176; image 49 at 79, 78. Centre 50,
    // width 200: half the width passes the centre, so the window runs from
    // 0 over 150 samples: 1 → 256 / 150 = 1.71 → 2, 45 → 76.8 → 77,
    // 50 → 85.33 → 85.
    AnswerImport(1, 2, 50, 200);
    form->Neu1->trigger();
    EXPECT_EQ(grey(5, 177, 5), 2);
    EXPECT_EQ(grey(5, 176, 5), 2);
    EXPECT_EQ(grey(5, 89, 5), 77);
    EXPECT_EQ(grey(5, 78, 5), 85);
    EXPECT_EQ(grey(5, 77, 5), 0);
    EXPECT_TRUE(zxtest::AllPlanesShowVolume(*form));
    EXPECT_EQ(imp->Tag, 0);
}

TEST_F(ImportExport, TooManySlicesAndAFailingFileLeaveTheVolume) {
    std::vector<std::uint8_t> before(form->Volume.begin(), form->Volume.end());
    const QStringList files = DicomStack(86);
    prompter.openAnswers.push_back(files);
    AnswerImport(0, 3);
    form->Neu1->trigger();
    ASSERT_EQ(prompter.Messages().size(), 1u);
    EXPECT_EQ(prompter.Messages()[0].text, QStringLiteral("Zu viele (258) Schichten !"));
    EXPECT_EQ(prompter.Messages()[0].buttons, zx::mbCancel);
    EXPECT_TRUE(std::memcmp(before.data(), form->Volume.data(), before.size()) == 0);

    QFile::remove(files[3]);  // the fourth file vanished: the import stops there
    prompter.openAnswers.push_back(files.mid(0, 5));
    AnswerImport(0, 1);
    form->Neu1->trigger();
    EXPECT_TRUE(std::memcmp(before.data(), form->Volume.data(), before.size()) == 0);
    EXPECT_EQ(form->SliceCount, 180);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Zerebrix - MR_Kopf.vmr"));
}

TEST_F(ImportExport, DataImportFillsTheOverlayAndASingleFileCopiesTheVolume) {
    prompter.openAnswers.push_back(QStringList{dir.Path(QStringLiteral("MR_Kopf.vmr"))});
    form->DatenImport1->trigger();
    ASSERT_TRUE(zx::OverlayVolume);
    EXPECT_TRUE(form->OverlayShown);
    form->RenderSag(form->Xg);
    const QRgb c = form->SagBmp.pixel(100, 100);  // grey XOR the same grey: cyan tones
    EXPECT_EQ(qRed(c), 0);
    EXPECT_EQ(qGreen(c), form->Volume[VoxelIndex(form->Xg, 100, 100)]);

    const std::vector<std::uint8_t> volumeBefore(form->Volume.begin(), form->Volume.end());
    prompter.openAnswers.push_back(DicomStack(3));
    AnswerImport(0, 1);
    form->DatenImport1->trigger();
    EXPECT_EQ((*zx::OverlayVolume)[VoxelIndex(2, 5, 5)], 3);
    EXPECT_TRUE(std::equal(volumeBefore.begin(), volumeBefore.end(), form->Volume.begin()));
    EXPECT_EQ(imp->Tag, 0);
    EXPECT_EQ(form->OpenDialog1.FilterIndex, 1);
}

TEST_F(ImportExport, ListEditingAndTheSquare) {
    for (const char* n : {"a", "b", "c", "d", "e"}) imp->FileListBox->Add(QString::fromLatin1(n));
    imp->FileListBox->item(1)->setSelected(true);
    imp->FileListBox->item(3)->setSelected(true);
    imp->DelButtonClick();
    EXPECT_EQ(imp->FileListBox->Items(), (QStringList{"a", "c", "e"}));
    EXPECT_EQ(imp->Label2->text(), QStringLiteral("3 Dateien ausgewählt."));
    imp->FileListBox->clearSelection();
    imp->FileListBox->item(0)->setSelected(true);
    imp->FileListBox->item(2)->setSelected(true);
    imp->MoveUpButtonClick();  // the first entry is selected: nothing moves
    EXPECT_EQ(imp->FileListBox->Items(), (QStringList{"a", "c", "e"}));
    imp->FileListBox->item(0)->setSelected(false);
    imp->MoveUpButtonClick();
    EXPECT_EQ(imp->FileListBox->Items(), (QStringList{"a", "e", "c"}));

    imp->DrawQuad(900, 900);  // 256 × 256: the square cannot leave the corner
    EXPECT_EQ(imp->QuadLabel->text(), QStringLiteral("Auswahl: [0;0]"));
    imp->Edit1->setText(QStringLiteral("512"));
    imp->SizeButtonClick();
    EXPECT_EQ(imp->width(), 797);
    imp->DrawQuad(900, 900);
    EXPECT_EQ(imp->QuadLabel->text(), QStringLiteral("Auswahl: [256;256]"));
    imp->Edit1->setText(QStringLiteral("100"));
    imp->SizeButtonClick();
    imp->DrawQuad(300, 300);
    EXPECT_EQ(imp->QuadLabel->text(), QStringLiteral("Auswahl: [0;0]"));
    EXPECT_EQ(imp->width(), 540);
}

TEST_F(ImportExport, SeriesSaveNamesEveryFileAfterItsEntry) {
    DicomStack(1);
    dir.Write(QStringLiteral("dcm/b.bmp"), QByteArray());
    QImage small(10, 10, QImage::Format_RGB32);
    small.fill(Qt::gray);
    small.save(dir.Path(QStringLiteral("dcm/b.bmp")), "BMP");
    imp->Label1->setText(dir.Path(QStringLiteral("dcm/")));
    imp->FileListBox->Add(QStringLiteral("img000.dcm"));
    imp->FileListBox->Add(QStringLiteral("b.bmp"));
    prompter.inputAnswers.push_back(QStringLiteral("New_"));
    imp->btn_SaveSer->click();
    EXPECT_EQ(QImage(dir.Path(QStringLiteral("New_img000.dcm.bmp"))).size(), QSize(256, 256));
    EXPECT_EQ(QImage(dir.Path(QStringLiteral("New_b.bmp.bmp"))).size(), QSize(10, 10));
    EXPECT_EQ(imp->QuadLabel->text(), QStringLiteral("2 Bitmaps gespeichert."));
}

TEST_F(ImportExport, SaveAsAddsTheExtensionAndAFailedSaveKeepsTheOldFile) {
    prompter.saveAnswers.push_back(dir.Path(QStringLiteral("kopie")));
    form->Speichernunter1->trigger();
    EXPECT_EQ(form->VolumeFileName, dir.Path(QStringLiteral("kopie.vmr")));
    EXPECT_EQ(QFile(form->VolumeFileName).size(), 180 * 65536);
    ASSERT_FALSE(prompter.Messages().empty());
    EXPECT_EQ(prompter.Messages().back().text,
              QString::fromUtf8("180 Datensätze geschrieben.  ACHTUNG: Format (noch) nicht "
                                "kompatibel zum BrainVoyager!"));
    form->SliceCount = 0;
    form->Speichern1->trigger();
    EXPECT_EQ(QFile(form->VolumeFileName).size(), 65536);
    // A save that fails part way (the file size limit stops the writes
    // after 16 planes) leaves the old file and no other file behind.
    const auto before = Snapshot(dir.Root());
    form->SliceCount = 180;
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 16 * 65536;
    setrlimit(RLIMIT_FSIZE, &small);
    prompter.record.clear();
    form->Speichern1->trigger();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);
    ASSERT_EQ(prompter.Messages().size(), 1u);
    EXPECT_EQ(prompter.Messages()[0].msgKind, zx::MsgKind::Application);
    EXPECT_TRUE(Snapshot(dir.Root()) == before);
    EXPECT_EQ(QFile(form->VolumeFileName).size(), 65536);
}

TEST_F(ImportExport, SliceSeriesAndTheWebExportsWorkedExample) {
    QDir::setCurrent(dir.Root());
    prompter.inputAnswers.push_back(QStringLiteral("ZXsag-"));
    prompter.messageAnswers = {zx::mbYes};
    form->Exportieren1->trigger();
    EXPECT_EQ(QFile(dir.Path(QStringLiteral("ZXsag-179.bmp"))).size(), 196662);
    EXPECT_FALSE(QFile::exists(dir.Path(QStringLiteral("ZXsag-180.bmp"))));
    EXPECT_EQ(prompter.Messages().back().text, QStringLiteral("180 Bitmapdateien exportiert."));
    EXPECT_EQ(form->SagBmp.format(), QImage::Format_RGB32);

    zx::TWebExportDlg& web = *forms->WebExportDlg;
    QDir(dir.Root()).mkdir(QStringLiteral("web"));
    prompter.saveAnswers.push_back(dir.Path(QStringLiteral("web/x.bmp")));
    web.ExportButtonClick();
    EXPECT_TRUE(web.OKBtn->isEnabled());
    prompter.record.clear();
    prompter.modalAnswers.push_back([](QDialog&) { return int(QDialog::Accepted); });
    form->InsWebexportieren1->trigger();
    ASSERT_FALSE(prompter.Messages().empty());
    EXPECT_EQ(prompter.Messages()[0].text, QStringLiteral("Achtung: Sag-Serie um 38 verschoben"));
    QImage plane255 = zx::NewSectionBitmap(), plane8 = zx::NewSectionBitmap();
    zx::RenderSagittal(form->Volume.data(), 255, plane255);
    zx::RenderSagittal(form->Volume.data(), 8, plane8);
    EXPECT_EQ(
        QImage(dir.Path(QStringLiteral("web/sag_4.bmp"))).convertToFormat(QImage::Format_RGB32),
        plane255);
    EXPECT_EQ(
        QImage(dir.Path(QStringLiteral("web/sag_5.bmp"))).convertToFormat(QImage::Format_RGB32),
        plane8);
    EXPECT_EQ(QDir(dir.Path(QStringLiteral("web"))).entryList(QDir::Files).size(), 81);

    web.Edit4->setText(QStringLiteral("0"));  // refused before anything is written
    const auto before = Snapshot(dir.Root());
    prompter.record.clear();
    prompter.modalAnswers.push_back([](QDialog&) { return int(QDialog::Accepted); });
    form->InsWebexportieren1->trigger();
    ASSERT_EQ(prompter.Messages().size(), 1u);
    EXPECT_EQ(prompter.Messages()[0].msgKind, zx::MsgKind::Application);
    EXPECT_TRUE(Snapshot(dir.Root()) == before);
}

TEST_F(ImportExport, RefusedAndFailedExportsLeaveTheFolderAsItWas) {
    zx::TWebExportDlg& web = *forms->WebExportDlg;
    QDir(dir.Root()).mkdir(QStringLiteral("w"));
    const QDir w(dir.Path(QStringLiteral("w")));
    dir.Write(QStringLiteral("w/sag_1.bmp"), QByteArray("old picture"));
    QDir(dir.Root()).mkdir(QStringLiteral("w/cor_3.bmp"));  // the 30th picture cannot take its name
    const QStringList before = w.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    prompter.saveAnswers.push_back(w.filePath(QStringLiteral("x.bmp")));
    web.ExportButtonClick();
    auto exportOnce = [&] {
        prompter.record.clear();
        prompter.modalAnswers.push_back([](QDialog&) { return int(QDialog::Accepted); });
        form->InsWebexportieren1->trigger();
        EXPECT_EQ(w.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
        return prompter.Messages().back().text.toStdString();
    };
    web.Edit1->setText(QStringLiteral("-2147483647"));
    EXPECT_EQ(exportOnce(), "Startpixel X muss zwischen 0 und 255 liegen, nicht -2147483647.");
    web.Edit1->setText(QStringLiteral("10"));
    web.Edit4->setText(QStringLiteral("2147483647"));  // every position past the first at the edge
    EXPECT_EQ(exportOnce(), QStringLiteral("Datei %1 kann nicht erstellt werden.")
                                .arg(w.filePath(QStringLiteral("cor_3.bmp")))
                                .toStdString());
    QFile old(w.filePath(QStringLiteral("sag_1.bmp")));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("old picture"));

    // The dialog itself refuses a start outside the volume and stays open.
    web.Edit2->setText(QStringLiteral("256"));
    prompter.record.clear();
    web.OKBtn->click();
    EXPECT_NE(web.result(), int(QDialog::Accepted));
    ASSERT_EQ(prompter.Messages().size(), 1u);
    EXPECT_EQ(prompter.Messages()[0].text,
              QStringLiteral("Startpixel Y muss zwischen 0 und 255 liegen, nicht 256"));

    // A series whose first picture would replace the shown volume's file.
    form->VolumeFileName = dir.Write(QStringLiteral("x0.bmp"), QByteArray("volume"));
    prompter.inputAnswers.push_back(dir.Path(QStringLiteral("x")));
    prompter.messageAnswers = {zx::mbYes};
    prompter.record.clear();
    form->Exportieren1->trigger();
    EXPECT_EQ(prompter.Messages().back().text,
              QString::fromUtf8("Die Ausgabe %1 würde eine der gelesenen Dateien überschreiben.")
                  .arg(form->VolumeFileName));
    QFile vol(form->VolumeFileName);
    ASSERT_TRUE(vol.open(QIODevice::ReadOnly));
    EXPECT_EQ(vol.readAll(), QByteArray("volume"));
    EXPECT_FALSE(QFile::exists(dir.Path(QStringLiteral("x1.bmp"))));
}

TEST_F(ImportExport, PositionReport) {
    form->Spotsetzen2->trigger();
    ASSERT_EQ(prompter.Messages().size(), 1u);
    EXPECT_EQ(prompter.Messages()[0].text, QStringLiteral("Position: Xg= 90; Yg= 128; Zg= 128"));
}

}  // namespace
