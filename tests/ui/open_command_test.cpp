// The Open command through the menu: volume files, the extension rule,
// info files and bitmap stacks, with the exact German messages.
#include <QAction>
#include <QBuffer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <algorithm>
#include <cstring>

#include "core/render/sections.h"
#include "dialogs/import_bmp_dialog.h"
#include "support/app_fixture.h"
#include "widgets/image_view.h"
#include "widgets/list_box.h"
#include "widgets/radio_group.h"
#include "widgets/status_bar.h"

namespace {

using zx::GreyToColor;
using zx::VoxelIndex;
using zxtest::Pattern;

QByteArray Bmp(int w, int h, std::function<QRgb(int, int)> pixel) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) img.setPixel(c, r, pixel(c, r));
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "BMP");
    return bytes;
}

QByteArray ShortString(const QByteArray& s) { return char(s.size()) + s; }
QByteArray Int32(int v) {
    QByteArray b(4, 0);
    for (int i = 0; i < 4; ++i) b[i] = char((unsigned(v) >> (8 * i)) & 0xff);
    return b;
}

class OpenCommand : public zxtest::AppFixture {
protected:
    std::vector<std::uint8_t> defaultBytes;

    void SetUp() override {
        defaultBytes = WriteDefault(256, 5);
        Start();
        prompter.record.clear();
    }

    /// Chooses `files` in the open dialog and runs the command from the menu.
    void Open(const QStringList& files) {
        prompter.openAnswers.push_back(files);
        form->ffnen1->trigger();
    }

    /// Answers the bitmap-import dialog with an orientation and a depth.
    void AnswerImport(int orientation, int depth, bool ok = true) {
        prompter.modalAnswers.push_back([=](QDialog& d) {
            auto& dlg = static_cast<zx::TImportBmpDlg&>(d);
            dlg.RadioGroup1->SetItemIndex(orientation);
            dlg.RadioGroup2->SetItemIndex(depth - 1);
            return ok ? QDialog::Accepted : QDialog::Rejected;
        });
    }

    QString Picture(const QString& name, int red) {
        return dir.Write(name, Bmp(256, 256, [red](int, int) { return qRgb(red, 0, 0); }));
    }

    /// The coronal copy describes Volume, and the coronal view shows it;
    /// a transversal section drawn now shows Volume too, whatever a load,
    /// failed ones included, left in the staging buffer.
    bool CoronalCopyMatchesVolume() const {
        std::vector<std::uint8_t> fresh(zx::kVolumeBytes);
        zx::MakeCoronalCopy(form->Volume.data(), fresh.data());
        QImage expected = zx::NewSectionBitmap();
        zx::RenderCoronal(form->Volume.data(), form->Yg, form->SliceCount, form->SliceOffset,
                          expected);
        QImage tra = zx::NewSectionBitmap();
        zx::RenderTransversal(form->Volume.data(), form->Zg, form->SliceCount, form->SliceOffset,
                              tra);
        form->RenderTra(form->Zg);
        return std::memcmp(fresh.data(), form->Copies.Coronal(), zx::kVolumeBytes) == 0 &&
               form->CorBmp == expected && form->TraBmp == tra;
    }

    bool VolumeIsDefault() const {
        return std::memcmp(form->Volume.data(), defaultBytes.data(), zx::kVolumeBytes) == 0;
    }
};

TEST_F(OpenCommand, OpensAChosenVolumeFileCentredWithoutCrosshair) {
    const auto bytes = Pattern(180 * 65536, 8);
    const QString path = dir.Write(QStringLiteral("kopf2.VMR"), bytes);
    form->Xg = 3;
    form->StepCount = 7;
    form->yg_Ed->setText(QStringLiteral("40"));
    zx::OverlayVolume = std::make_unique<zx::VolumeArray>();  // left by a data import
    form->OverlayShown = true;
    Open({path});
    EXPECT_TRUE(prompter.Messages().empty());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Zerebrix - kopf2.VMR"));
    EXPECT_EQ(form->SliceCount, 180);
    EXPECT_EQ(form->SliceOffset, 38);
    EXPECT_EQ(form->Xg, 90);
    EXPECT_EQ(form->StepCount, 1);
    EXPECT_EQ(form->VolumeFileName, path);
    EXPECT_EQ(form->FileListBox->Items(), QStringList{path});
    EXPECT_EQ(form->Image1->Picture().pixel(128, 128),
              GreyToColor(bytes[VoxelIndex(90, 128, 128)]));
    EXPECT_EQ(form->StatusBar1->SimpleText(), QString::fromUtf8("180 Datensätze gelesen."));
    EXPECT_TRUE(CoronalCopyMatchesVolume());
    // The fields show the point the views show; the old overlay is gone.
    EXPECT_EQ(form->xg_Ed->text(), QStringLiteral("90"));
    EXPECT_EQ(form->yg_Ed->text(), QStringLiteral("128"));
    EXPECT_EQ(form->zg_Ed->text(), QStringLiteral("128"));
    EXPECT_FALSE(form->OverlayShown);
    EXPECT_FALSE(zx::OverlayVolume);
}

TEST_F(OpenCommand, TheOverlayOfADataImportCanBeRemoved) {
    prompter.openAnswers.push_back(QStringList{dir.Path(QStringLiteral("MR_Kopf.vmr"))});
    form->DatenImport1->trigger();  // one file: the volume over itself, red 0
    form->RenderSag(form->Xg);
    ASSERT_EQ(qRed(form->SagBmp.pixel(100, 100)), 0);
    emit form->Datei1->aboutToShow();
    ASSERT_TRUE(form->UeberlagerungEntfernen1->isEnabled());
    form->UeberlagerungEntfernen1->trigger();
    EXPECT_FALSE(form->OverlayShown);
    EXPECT_FALSE(zx::OverlayVolume);
    EXPECT_EQ(form->SagBmp.pixel(100, 100),
              GreyToColor(form->Volume[VoxelIndex(form->Xg, 100, 100)]));
    emit form->Datei1->aboutToShow();
    EXPECT_FALSE(form->UeberlagerungEntfernen1->isEnabled());
}

TEST_F(OpenCommand, CancelledDialogChangesNothing) {
    form->Xg = 3;
    prompter.openAnswers.push_back(std::nullopt);
    form->ffnen1->trigger();
    EXPECT_EQ(form->Xg, 3);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Zerebrix - MR_Kopf.vmr"));
    EXPECT_TRUE(CoronalCopyMatchesVolume());
}

TEST_F(OpenCommand, MixedCaseExtensionIsRefusedAndTheFileNameKept) {
    const QString path = dir.Write(QStringLiteral("bild.Vmr"), Pattern(65536, 2));
    form->Xg = 3;
    Open({path});
    const auto messages = prompter.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].msgKind, zx::MsgKind::Error);
    EXPECT_EQ(messages[0].title, QStringLiteral("Fehler"));
    EXPECT_EQ(messages[0].buttons, zx::mbOK);
    EXPECT_EQ(
        messages[0].text,
        QStringLiteral("Falsche Dateiendung \".Vmr\".  Erlaubt sind \".vmr\" oder \".VMR\" ."));
    // The unchanged volume is re-centred, and a later save would not hit the refused file.
    EXPECT_TRUE(VolumeIsDefault());
    EXPECT_EQ(form->SliceCount, 256);
    EXPECT_EQ(form->Xg, 128);
    EXPECT_EQ(form->StepCount, 1);
    EXPECT_EQ(form->VolumeFileName, QStringLiteral("MR_Kopf.vmr"));
}

TEST_F(OpenCommand, AFailedReadLeavesTheVolumeAndItsName) {
    QDir(dir.Root()).mkdir(QStringLiteral("ordner.vmr"));
    form->Xg = 3;
    Open({dir.Path(QStringLiteral("ordner.vmr"))});
    const auto messages = prompter.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].msgKind, zx::MsgKind::Application);
    EXPECT_EQ(messages[0].text, QStringLiteral("Dateizugriff verweigert."));
    EXPECT_TRUE(VolumeIsDefault());
    EXPECT_EQ(form->SliceCount, 256);
    EXPECT_EQ(form->Xg, 3);  // the command ended at the error: no re-centring
    EXPECT_EQ(form->VolumeFileName, QStringLiteral("MR_Kopf.vmr"));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Zerebrix - MR_Kopf.vmr"));
}

// ---- Info files ----------------------------------------------------------

class InfoFiles : public OpenCommand {
protected:
    QString volume = dir.Write(QStringLiteral("serie.vmr"), Pattern(10 * 65536, 4));
    void WriteInfo(const QByteArray& bytes) { dir.Write(QStringLiteral("serie.zxi"), bytes); }
    static QByteArray Quadrants() {
        // Four quadrants of distinct red: sag 10, cor 20, tra 30, general 40.
        return Bmp(200, 200, [](int c, int r) {
            const int q = r < 100 ? (c < 100 ? 10 : 20) : (c < 100 ? 40 : 30);
            return qRgb(q, 0, 0);
        });
    }
    static QByteArray Info(const QByteArray& commentsTag, int count, const QList<QByteArray>& lines,
                           const QByteArray& bitmapsTag, int pictures, const QByteArray& picture) {
        QByteArray b =
            QByteArray("ZX0001") + ShortString("Titel") + ShortString(commentsTag) + Int32(count);
        for (const QByteArray& l : lines) b += ShortString(l);
        return b + ShortString(bitmapsTag) + Int32(pictures) + picture;
    }
};

TEST_F(InfoFiles, CommentsReplaceTheListAndTheGeneralQuadrantIsShown) {
    WriteInfo(Info("#Comments", 3, {"Zeile c", "Zeile a", "Zeile b"}, "#Bitmaps", 1, Quadrants()));
    Open({volume});
    EXPECT_TRUE(prompter.Messages().empty());
    EXPECT_EQ(form->FileListBox->Items(),
              (QStringList{QStringLiteral("Zeile c"), QStringLiteral("Zeile a"),
                           QStringLiteral("Zeile b")}));
    EXPECT_TRUE(form->InfoBmpLoaded);
    EXPECT_FALSE(form->Image4->isHidden());
    EXPECT_EQ(qRed(form->Image4->Picture().pixel(50, 50)), 40);
    EXPECT_EQ(form->SliceCount, 10);
}

TEST_F(InfoFiles, NoPictureHidesTheThumbnailButCountsAsLoaded) {
    WriteInfo(Info("#Comments", 0, {}, "#Bitmaps", 0, {}));
    Open({volume});
    EXPECT_TRUE(prompter.Messages().empty());
    EXPECT_TRUE(form->InfoBmpLoaded);
    EXPECT_TRUE(form->Image4->isHidden());
    EXPECT_TRUE(form->FileListBox->Items().isEmpty());
}

TEST_F(InfoFiles, WrongTagsAreReportedAndTheVolumeIsStillRead) {
    WriteInfo(Info("#Kommentar", 1, {"x"}, "#Bitmaps", 0, {}));
    Open({volume});
    ASSERT_EQ(prompter.Messages().size(), 1u);
    EXPECT_EQ(prompter.Messages()[0].title, QStringLiteral("Fehler"));
    EXPECT_EQ(prompter.Messages()[0].text,
              QStringLiteral("Falsche o. fehlende Kommentargruppe im InfoFile."));
    EXPECT_EQ(form->SliceCount, 10);

    prompter.record.clear();
    WriteInfo(Info("#Comments", 1, {"eins"}, "#Bilder", 1, Quadrants()));
    Open({volume});
    ASSERT_EQ(prompter.Messages().size(), 1u);
    EXPECT_EQ(prompter.Messages()[0].text, QStringLiteral("Fehlende Bitmapgruppe im InfoFile."));
    EXPECT_EQ(form->FileListBox->Items(), QStringList{QStringLiteral("eins")});
    EXPECT_FALSE(form->InfoBmpLoaded);
    EXPECT_TRUE(form->Image4->isHidden());
}

TEST_F(InfoFiles, WrongIdentifierEndsTheCommandBeforeTheVolume) {
    QByteArray bytes = Info("#Comments", 0, {}, "#Bitmaps", 0, {});
    bytes[0] = 'Q';
    WriteInfo(bytes);
    Open({volume});
    ASSERT_EQ(prompter.Messages().size(), 1u);
    EXPECT_EQ(prompter.Messages()[0].msgKind, zx::MsgKind::Application);
    EXPECT_EQ(prompter.Messages()[0].text, QStringLiteral("Falsche Dateikennung InfoFile."));
    EXPECT_TRUE(VolumeIsDefault());
    EXPECT_EQ(form->SliceCount, 256);
}

TEST_F(InfoFiles, AnInvalidPictureEndsTheCommandAfterTheComments) {
    WriteInfo(Info("#Comments", 1, {"eins"}, "#Bitmaps", 1, "BM kein Bild"));
    Open({volume});
    ASSERT_EQ(prompter.Messages().size(), 1u);
    EXPECT_EQ(prompter.Messages()[0].msgKind, zx::MsgKind::Application);
    EXPECT_EQ(prompter.Messages()[0].text, QString::fromUtf8("Bitmap ist ungültig."));
    EXPECT_EQ(form->FileListBox->Items(), QStringList{QStringLiteral("eins")});
    EXPECT_TRUE(VolumeIsDefault());  // the volume file is not read
}

TEST_F(InfoFiles, TruncatedInfoFileIsReportedAsDamagedAndTheVolumeRead) {
    QByteArray bytes = Info("#Comments", 4, {"eins", "zwei"}, "#Bitmaps", 1, Quadrants());
    bytes.truncate(bytes.indexOf("zwei") + 4);
    WriteInfo(bytes);
    Open({volume});
    ASSERT_EQ(prompter.Messages().size(), 1u);
    EXPECT_EQ(prompter.Messages()[0].title, QStringLiteral("Fehler"));
    EXPECT_TRUE(prompter.Messages()[0].text.contains(QString::fromUtf8("beschädigt")));
    EXPECT_EQ(form->FileListBox->Items(),
              (QStringList{QStringLiteral("eins"), QStringLiteral("zwei")}));
    EXPECT_EQ(form->SliceCount, 10);
    EXPECT_FALSE(form->InfoBmpLoaded);
}

TEST_F(InfoFiles, APressShowsTheViewsQuadrant) {
    WriteInfo(Info("#Comments", 0, {}, "#Bitmaps", 1, Quadrants()));
    Open({volume});
    form->Image2MouseDown(zx::TMouseButton::mbLeft, zx::ssLeft, 100, 100);
    EXPECT_EQ(qRed(form->Image4->Picture().pixel(50, 50)), 20);
    form->Image3MouseDown(zx::TMouseButton::mbLeft, zx::ssLeft, 100, 100);
    EXPECT_EQ(qRed(form->Image4->Picture().pixel(50, 50)), 30);
    form->Image1MouseDown(zx::TMouseButton::mbLeft, zx::ssLeft, 100, 100);
    EXPECT_EQ(qRed(form->Image4->Picture().pixel(50, 50)), 10);
}

// ---- Bitmap stacks ---------------------------------------------------------

TEST_F(OpenCommand, ThreePicturesAtDepthTwoFillSixSagittalPlanes) {
    const QStringList files = {Picture(QStringLiteral("c.bmp"), 30),
                               Picture(QStringLiteral("A.bmp"), 10),
                               Picture(QStringLiteral("b.bmp"), 20)};
    AnswerImport(0, 2);
    Open(files);
    const auto modal = prompter.record;
    ASSERT_FALSE(modal.empty());
    EXPECT_EQ(forms->ImportBmpDlg->Label1->text(), QStringLiteral("3 Bilddateien ausgewählt."));
    EXPECT_TRUE(prompter.Messages().empty());
    // Sorted without regard to case: A, b, c.
    EXPECT_EQ(
        form->FileListBox->Items(),
        (QStringList{QStringLiteral("A.bmp"), QStringLiteral("b.bmp"), QStringLiteral("c.bmp")}));
    EXPECT_EQ(form->Volume[VoxelIndex(0, 5, 5)], 10);
    EXPECT_EQ(form->Volume[VoxelIndex(1, 5, 5)], 10);
    EXPECT_EQ(form->Volume[VoxelIndex(2, 5, 5)], 20);
    EXPECT_EQ(form->Volume[VoxelIndex(5, 5, 5)], 30);
    EXPECT_EQ(form->Volume[VoxelIndex(6, 5, 5)], 0);
    EXPECT_EQ(form->SliceCount, 6);
    EXPECT_EQ(form->SliceOffset, 125);
    EXPECT_EQ(form->Xg, 3);
    EXPECT_TRUE(CoronalCopyMatchesVolume());
    EXPECT_TRUE(form->VolumeFileName.isEmpty());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Zerebrix - Importierte Bitmaps"));
}

TEST_F(OpenCommand, TwoCoronalPicturesAreCentredAndTheViewShowsTheSecond) {
    AnswerImport(1, 1);
    Open({Picture(QStringLiteral("1.bmp"), 60), Picture(QStringLiteral("2.bmp"), 70)});
    EXPECT_EQ(form->SliceCount, 255);
    EXPECT_EQ(form->SliceOffset, 0);
    EXPECT_EQ(form->Volume[VoxelIndex(9, 127, 9)], 60);
    EXPECT_EQ(form->Volume[VoxelIndex(9, 128, 9)], 70);
    EXPECT_EQ(form->Image2->Picture().pixel(9, 9), GreyToColor(70));
}

TEST_F(OpenCommand, TooManyPlanesAreRefusedAndNothingChanges) {
    const QString pic = Picture(QStringLiteral("p.bmp"), 5);
    QStringList files;
    for (int i = 0; i < 128; ++i) {
        const QString name = dir.Path(QStringLiteral("p%1.bmp").arg(i, 3, 10, QLatin1Char('0')));
        QFile::copy(pic, name);
        files << name;
    }
    form->Xg = 3;
    AnswerImport(0, 2);
    Open(files);
    ASSERT_EQ(prompter.Messages().size(), 1u);
    EXPECT_EQ(prompter.Messages()[0].text, QStringLiteral("Zu viele (256) Schichten !"));
    EXPECT_EQ(prompter.Messages()[0].buttons, zx::mbCancel);
    EXPECT_EQ(form->Xg, 3);
    EXPECT_TRUE(VolumeIsDefault());
}

TEST_F(OpenCommand, CancelledImportDialogChangesNothing) {
    form->Xg = 3;
    AnswerImport(0, 1, false);
    Open({Picture(QStringLiteral("1.bmp"), 60), Picture(QStringLiteral("2.bmp"), 70)});
    EXPECT_EQ(form->Xg, 3);
    EXPECT_TRUE(VolumeIsDefault());
}

TEST_F(OpenCommand, AStackThatFailsPartWayLeavesThePreviousVolume) {
    const QString bad = dir.Write(QStringLiteral("b.vmr"), Pattern(70000, 1));
    AnswerImport(0, 1);
    Open({Picture(QStringLiteral("a.bmp"), 60), bad});
    ASSERT_EQ(prompter.Messages().size(), 1u);
    EXPECT_EQ(prompter.Messages()[0].msgKind, zx::MsgKind::Application);
    EXPECT_EQ(prompter.Messages()[0].text, QString::fromUtf8("Bitmap ist ungültig."));
    EXPECT_TRUE(VolumeIsDefault());
    EXPECT_TRUE(CoronalCopyMatchesVolume());  // the first picture went into the shared buffer
    EXPECT_EQ(form->SliceCount, 256);
    EXPECT_EQ(form->VolumeFileName, QStringLiteral("MR_Kopf.vmr"));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Zerebrix - MR_Kopf.vmr"));
}

TEST_F(OpenCommand, WhatALoadLeavesInTheStagingBufferNeverShowsInTheViews) {
    std::memset(zx::StagingVolume(), 0x5a, zx::kVolumeBytes);
    EXPECT_TRUE(CoronalCopyMatchesVolume());  // draws a transversal section meanwhile
}

TEST_F(OpenCommand, TwoVolumeFilesTakeTheStackPath) {
    AnswerImport(0, 1);
    Open({dir.Write(QStringLiteral("a.vmr"), Pattern(65536, 1)),
          dir.Write(QStringLiteral("b.vmr"), Pattern(65536, 2))});
    ASSERT_GE(prompter.record.size(), 2u);
    EXPECT_EQ(prompter.record[1].kind, QStringLiteral("modal"));
    EXPECT_EQ(prompter.record[1].title, QStringLiteral("ImportBmpDlg"));
}

}  // namespace
