// The main window's commands that write volume files, export slice series
// and web pictures, drive the import window, and report the crosshair point.
#include <QFileInfo>
#include <QLineEdit>
#include <cstring>

#include "app/forms.h"
#include "app/main_window.h"
#include "core/export/output_batch.h"
#include "core/export/output_check.h"
#include "core/export/series.h"
#include "core/texts.h"
#include "core/volume/runtime_error.h"
#include "core/volume/vmr_file.h"
#include "core/volume/volume_meta.h"
#include "export/web_export_dialog.h"
#include "import/new_bmp_form.h"
#include "widgets/hourglass.h"
#include "widgets/image_view.h"
#include "widgets/list_box.h"
#include "widgets/status_bar.h"

namespace zx {

namespace {
QString Utf8(const char* s) { return QString::fromUtf8(s); }

/// Refuses outputs that name one of `inputs` before anything is written.
void RefuseOutputsAmong(const QStringList& outputs, const QStringList& inputs) {
    const QString clash = OutputAmongInputs(outputs, inputs);
    if (!clash.isEmpty()) throw RuntimeError(OutputIsInputText(clash));
}
}  // namespace

// ---- Saving ------------------------------------------------------------------

void TForm1::Speichern1Click() {
    if (VolumeFileName.isEmpty()) {
        Speichernunter1Click();
        return;
    }
    HourGlass hourglass;
    const QString status = QStringLiteral(" ... schreibe Datei ") + VolumeFileName + u'.';
    const int k = WriteVmr(VolumeFileName, Volume.data(), SliceCount,
                           [&] { StatusBar1->SetSimpleText(status); });
    // The voxel edge beside the volume file, for the rulers of a later open.
    WriteVolumeMeta(VolumeFileName, {VoxelEdgeMm, {}});
    prompter().MessageDlg(
        MsgKind::Plain, QString(),
        QString::number(k) +
            Utf8(" Datensätze geschrieben.  ACHTUNG: Format (noch) nicht kompatibel "
                 "zum BrainVoyager!"),
        mbOK);
}

void TForm1::Speichernunter1Click() {
    if (!prompter().SaveFile(SaveDialog1)) return;
    QString name = SaveDialog1.FileName;
    // The dialog appends the default extension to a name typed without one.
    if (QFileInfo(name).suffix().isEmpty()) name += u'.' + SaveDialog1.DefaultExt;
    // The info file of the shown volume is an input unless it is the volume file itself.
    if (!SameFile(InfoFileName, VolumeFileName)) RefuseOutputsAmong({name}, {InfoFileName});
    VolumeFileName = name;
    Speichern1Click();
}

// ---- Slice series -------------------------------------------------------------

void TForm1::Exportieren1Click() {
    if (SliceCount == 0) return;
    QString base = QStringLiteral("ZXsag-");
    if (!prompter().InputQuery(QStringLiteral("Bitmap-Export"),
                               QStringLiteral("Dateiname eingeben (Basis, ohne Endung)"), base)) {
        return;
    }
    HourGlass hourglass;
    const int answer = prompter().MessageDlg(
        MsgKind::Confirmation, Utf8(texts::kTitleConfirmation),
        QStringLiteral(
            "Sie können die sagittale oder die transversale Bildserie exportieren. Wollen "
            "Sie die Sagittalbilder exportieren ?"),
        mbYes | mbNo | mbCancel);
    if (answer == mbCancel) return;
    QStringList outputs;
    for (int k = 0; k < (answer == mbYes ? SliceCount : 256); ++k)
        outputs << base + QString::number(k) + QStringLiteral(".bmp");
    RefuseOutputsAmong(outputs, {VolumeFileName, InfoFileName});
    auto progress = [this](const QString& name) {
        StatusBar1->SetSimpleText(QStringLiteral(" ... exportiere die Datei ") + name);
    };
    const int count =
        answer == mbYes
            ? ExportSagittalSeries(Volume.data(), SliceCount, base, SagBmp, progress)
            : ExportTransversalSeries(Volume.data(), SliceCount, base, TraBmp, progress);
    prompter().MessageDlg(MsgKind::Information, Utf8(texts::kTitleInformation),
                          QString::number(count) + QStringLiteral(" Bitmapdateien exportiert."),
                          mbOK);
}

// ---- Web export ----------------------------------------------------------------

void TForm1::InsWebexportieren1Click() {
    TWebExportDlg& dlg = *forms_.WebExportDlg;
    if (prompter().ShowModal(dlg) != QDialog::Accepted) return;
    const int startX = StrToInt(dlg.Edit1->text());
    const int startY = StrToInt(dlg.Edit2->text());
    const int startZ = StrToInt(dlg.Edit3->text());
    const int interval = StrToInt(dlg.Edit4->text());
    // Starts outside the volume or an interval below 1 are refused before
    // anything is written; the plan is so bounded by the volume.
    const QString refusal = WebExportRefusal(startX, startY, startZ, interval);
    if (!refusal.isEmpty()) throw RuntimeError(refusal);
    const std::vector<WebPicture> plan =
        WebExportPlan(startX, startY, startZ, interval, SliceOffset);
    QStringList outputs;
    for (const WebPicture& p : plan) outputs << dlg.ExportPath + p.name;
    RefuseOutputsAmong(outputs, {VolumeFileName, InfoFileName});
    HourGlass hourglass;
    if (SliceCount < 255) {
        prompter().MessageDlg(MsgKind::Plain, QString(),
                              QStringLiteral("Achtung: Sag-Serie um ") +
                                  QString::number(SliceOffset) + QStringLiteral(" verschoben"),
                              mbOK);
    }
    QLineEdit* const edits[4] = {nullptr, xg_Ed, yg_Ed, zg_Ed};
    TImage* const views[4] = {nullptr, Image1, Image2, Image3};
    PictureBatch batch;  // all pictures or none
    for (const WebPicture& p : plan) {
        edits[p.view]->setText(QString::number(p.position));  // its change handler moves the point
        RenderAll();
        batch.Add(views[p.view]->Picture(), dlg.ExportPath + p.name);
        StatusBar1->SetSimpleText((p.leftOfData ? QStringLiteral(" ... Exportiere die Datei ")
                                                : QStringLiteral(" ... exportiere die Datei ")) +
                                  p.name);
    }
    batch.Commit();
}

// ---- Import commands -------------------------------------------------------------

void TForm1::FillImportList(TNewBmpForm& w) {
    QStringList names;
    for (const QString& f : OpenDialog1.Files) names << QFileInfo(f).fileName();
    w.FileListBox->clear();
    w.FileListBox->SetSorted(true);
    for (const QString& n : names) w.FileListBox->Add(n);
    w.Label1->setText(QFileInfo(OpenDialog1.FileName).absolutePath() + u'/');
    w.Label1->adjustSize();
    w.Label2->setText(QString::number(names.size()) + Utf8(texts::kBitmapFilesChosen));
    w.Label2->adjustSize();
}

void TForm1::Neu1Click() {
    TNewBmpForm& w = *forms_.NewBmpForm;
    struct FilterBack {
        TOpenDialog& d;
        ~FilterBack() { d.FilterIndex = 1; }
    } back{OpenDialog1};
    OpenDialog1.FilterIndex = 2;
    OpenDialog1.Files.clear();
    if (!prompter().OpenFiles(OpenDialog1)) return;
    w.setWindowTitle(QStringLiteral("Zerebrix - Neues Projekt - Bildimport"));
    FillImportList(w);
    if (OpenDialog1.Files.isEmpty()) return;
    if (prompter().ShowModal(w) != QDialog::Accepted) return;
    InfoBmpLoaded = false;
    Image4->hide();
    FileListBox->clear();
    Recentre();
}

void TForm1::DatenImport1Click() {
    TNewBmpForm& w = *forms_.NewBmpForm;
    const int remembered = OpenDialog1.FilterIndex;
    struct FilterBack {
        TOpenDialog& d;
        int index;
        ~FilterBack() { d.FilterIndex = index; }
    } back{OpenDialog1, remembered};
    OpenDialog1.FilterIndex = 4;
    OpenDialog1.Files.clear();
    if (!prompter().OpenFiles(OpenDialog1)) return;
    if (OpenDialog1.Files.size() == 1) {
        // One file: the loaded volume itself becomes the overlay.
        HourGlass hourglass;
        if (!OverlayVolume) OverlayVolume = std::make_unique<VolumeArray>();
        std::memcpy(OverlayVolume->data(), Volume.data(), std::size_t(SliceCount) * kPlaneBytes);
        OverlayShown = true;
        return;
    }
    w.Tag = 1;
    w.setWindowTitle(QStringLiteral("Zerebrix - Datenimport aus Bilddateien"));
    FillImportList(w);
    const int result = prompter().ShowModal(w);
    w.Tag = 0;
    if (result == QDialog::Accepted) OverlayShown = true;
}

void TForm1::RemoveOverlay() {
    OverlayShown = false;
    OverlayVolume.reset();
}

void TForm1::UeberlagerungEntfernen1Click() {
    if (!OverlayShown && !OverlayVolume) return;
    RemoveOverlay();
    RenderSag(Xg);
    CrossAllViews(1);
}

void TForm1::Spotsetzen1Click() {
    prompter().MessageDlg(
        MsgKind::Information, Utf8(texts::kTitleInformation),
        QStringLiteral("Position: Xg= %1; Yg= %2; Zg= %3").arg(Xg).arg(Yg).arg(Zg), mbOK);
}

}  // namespace zx
