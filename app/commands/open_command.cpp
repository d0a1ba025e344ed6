// The Open command: one volume file (with its info file), or a stack of BMP
// pictures, then re-centring and redrawing.
#include <QFileInfo>
#include <QLineEdit>
#include <QPainter>
#include <algorithm>
#include <cstring>

#include "app/forms.h"
#include "app/main_window.h"
#include "convert/volume_file.h"
#include "core/import/image_reader.h"
#include "core/render/sections.h"
#include "core/texts.h"
#include "core/volume/bmp_stack.h"
#include "core/volume/file_names.h"
#include "core/volume/info_file.h"
#include "core/volume/runtime_error.h"
#include "core/volume/vmr_file.h"
#include "core/volume/volume_meta.h"
#include "dialogs/import_bmp_dialog.h"
#include "widgets/hourglass.h"
#include "widgets/image_view.h"
#include "widgets/list_box.h"
#include "widgets/status_bar.h"
#include "widgets/up_down.h"

namespace zx {

namespace {

QString Utf8(const char* s) { return QString::fromUtf8(s); }

/// The extension of the file name with its dot, or empty.
QString ExtractFileExt(const QString& path) {
    const int slash = int(path.lastIndexOf(u'/'));
    const int dot = int(path.lastIndexOf(u'.'));
    return dot > slash ? path.mid(dot) : QString();
}

QString ExtractFileName(const QString& path) { return QFileInfo(path).fileName(); }

void ErrorBox(const QString& text, int buttons = mbOK) {
    prompter().MessageDlg(MsgKind::Error, Utf8(texts::kTitleError), text, buttons);
}

}  // namespace

void TForm1::Oeffnen1Click() {
    // 1. What to open.
    if (!LoadDefault) {
        if (!prompter().OpenFiles(OpenDialog1)) return;
    } else {
        OpenDialog1.FileName = Utf8(texts::kDefaultVolumeFile);
        LoadDefault = false;
    }
    OpenChosenFiles();
}

void TForm1::OpenChosenFiles() {
    // 2.–3. The chosen files, sorted as the list box sorts.
    FileListBox->clear();
    FileListBox->SetSorted(true);
    for (const QString& f : OpenDialog1.Files) FileListBox->Add(f);
    // 4. Two or more files are a bitmap stack.
    if (FileListBox->count() >= 2) {
        if (!OpenStack(FileListBox->Items())) return;
    } else {
        const QString fileName = OpenDialog1.FileName;
        // Other programs' volume files are converted, as the NIfTI command
        // converts them (an info file belongs to .vmr files only).
        if (IsVolumeFileName(QFile::encodeName(fileName).toStdString()))
            return OpenConverted(fileName, false);
        HourGlass hourglass;
        InfoFileName = ReplaceExtension(fileName, QStringLiteral(".zxi"));
        InfoBmpLoaded = false;
        if (QFileInfo(InfoFileName).isFile()) ReadInfoFileOfVolume();
        const QString ext = ExtractFileExt(fileName);
        if (ext == QLatin1String(".vmr") || ext == QLatin1String(".VMR")) {
            LoadVolumeFile(fileName);
        } else if (QFileInfo(fileName).fileName().toUpper() == QLatin1String("DICOMDIR")) {
            // A CD's index: its series, as from "DICOM-Serie öffnen".
            return OpenConverted(fileName, true);
        } else {
            // The refused file does not become the volume's file name, so a
            // later save cannot overwrite it with volume data.
            ErrorBox(Utf8(texts::kWrongExtensionA) + ext + Utf8(texts::kWrongExtensionB) +
                     Utf8(texts::kWrongExtensionC));
        }
    }
    FinishOpen();
}

namespace {

bool IsVolumeFormatName(const QString& path) {
    return IsVolumeFileName(QFile::encodeName(path).toStdString());
}

bool IsVmrName(const QString& path) {
    const QString ext = ExtractFileExt(path);
    return ext == QLatin1String(".vmr") || ext == QLatin1String(".VMR");
}

}  // namespace

void TForm1::OpenPaths(const QStringList& paths, int volume) {
    if (paths.size() == 1 &&
        (QFileInfo(paths[0]).isDir() ||
         QFileInfo(paths[0]).fileName().toUpper() == QLatin1String("DICOMDIR")))
        return OpenConverted(paths[0], true);
    if (paths.size() == 1 && IsVolumeFormatName(paths[0]))
        return OpenConverted(paths[0], false, volume);
    const bool allBitmaps = std::all_of(
        paths.begin(), paths.end(), [](const QString& p) { return TImageReader::IsBmpName(p); });
    if ((paths.size() == 1 && IsVmrName(paths[0])) || (paths.size() >= 2 && allBitmaps)) {
        OpenDialog1.Files = paths;
        OpenDialog1.FileName = paths[0];
        OpenChosenFiles();
        return;
    }
    ErrorBox(Utf8(texts::kCannotOpenThese) + paths.join(QStringLiteral(", ")));
}

void TForm1::LoadVolumeFile(const QString& fileName) {
    ClearSideViews(GreyToColor(0));
    int n = 0;
    try {
        n = ReadVmr(fileName, Volume.data());
    } catch (const RuntimeError&) {
        // The volume is untouched; show its sections again instead of the
        // black side views, then let the error end the command.
        RenderCor(Yg);
        RenderTra(Zg);
        throw;
    }
    AdoptedVolume v;  // read into Volume in place
    v.planes = n;
    v.edgeMm = ReadVolumeMeta(fileName).edgeMm;
    v.fileName = fileName;
    v.caption = Utf8(texts::kCaptionPrefix) + ExtractFileName(fileName);
    v.infoPicture = InfoBmpLoaded;
    v.status = QString::number(n) + Utf8(texts::kSlicesRead);
    AdoptVolume(v);
    // The default volume, loaded at every start, is no choice of the user's.
    if (fileName != Utf8(texts::kDefaultVolumeFile)) RememberRecent(fileName);
}

void TForm1::AdoptVolume(const AdoptedVolume& v) {
    // The side columns of the coronal and transversal views are rendered
    // only where planes lie; black beside a narrower volume.
    ClearSideViews(GreyToColor(0));
    if (v.voxels && v.voxels != Volume.data()) std::memcpy(Volume.data(), v.voxels, kVolumeBytes);
    // A 4-D file's volumes are stepped only while one of them is shown.
    MultiVolumeFile.clear();
    VolumeNumber = 1;
    VolumeTotal = 1;
    if (NaechstesVolumen1) NaechstesVolumen1->setEnabled(false);
    if (VorigesVolumen1) VorigesVolumen1->setEnabled(false);
    VolumeChanged();
    SliceCount = v.planes;
    VoxelEdgeMm = v.edgeMm;
    VolumeFileName = v.fileName;
    setWindowTitle(v.caption);
    InfoBmpLoaded = v.infoPicture;
    if (!InfoBmpLoaded) Image4->hide();
    if (!v.status.isEmpty()) StatusBar1->SetSimpleText(v.status);
    // The components hear of the new volume once it is centred (Recentre).
}

void TForm1::AdoptOverlay(const std::uint8_t* voxels) {
    if (!OverlayVolume) OverlayVolume = std::make_unique<VolumeArray>();
    std::memcpy(OverlayVolume->data(), voxels, kVolumeBytes);
    VolumeFileName.clear();
}

void TForm1::ReadInfoFileOfVolume() {
    const InfoFile info = ReadInfoFile(InfoFileName);
    if (info.commentsTagRead) {
        FileListBox->clear();
        FileListBox->SetSorted(false);
        for (const QString& line : info.comments) FileListBox->Add(line);
    }
    switch (info.stop) {
        case InfoFile::Stop::NoComments:
            ErrorBox(Utf8(texts::kInfoNoComments));
            return;
        case InfoFile::Stop::NoBitmaps:
            ErrorBox(Utf8(texts::kInfoNoBitmaps));
            return;
        case InfoFile::Stop::Truncated:
            ErrorBox(Utf8(texts::kInfoDamaged));
            return;
        case InfoFile::Stop::None:
            break;
    }
    // A picture that is no bitmap ends the command, after the comments.
    if (info.pictureInvalid) throw RuntimeError(Utf8(texts::kInvalidBitmap));
    if (info.pictureCount < 1) {
        Image4->hide();
    } else {
        InfoBmp = info.picture;
        ShowInfoQuadrant(QRect(0, 100, 99, 99));
        Image4->show();
    }
    InfoBmpLoaded = true;
}

void TForm1::ShowInfoQuadrant(const QRect& source) {
    QImage& pic = Image4->Picture();
    QPainter p(&pic);
    p.drawImage(QRect(0, 0, pic.width(), pic.height()), InfoBmp, source);
    p.end();
    Image4->update();
}

bool TForm1::OpenStack(const QStringList& files) {
    TImportBmpDlg& dlg = *forms_.ImportBmpDlg;
    const int n = int(files.size());
    dlg.Label1->setText(QString::number(n) + Utf8(texts::kBitmapFilesChosen));
    if (prompter().ShowModal(dlg) != QDialog::Accepted) return false;
    const int d = dlg.Depth();
    const int t = StackDepthTotal(n, d);
    if (t > MaxSlices) {
        ErrorBox(Utf8(texts::kTooManySlicesA) + QString::number(t) + Utf8(texts::kTooManySlicesB),
                 mbCancel);
        return false;
    }
    const Orientation o = dlg.ChosenOrientation();
    {
        HourGlass hourglass;
        // Built aside and copied over only when every picture was read: a
        // failing file leaves the previous volume and its name as they were.
        std::uint8_t* staging = StagingVolume();
        AssembleStack(files, d, o, staging, [this](int, const QString& path) {
            StatusBar1->SetSimpleText(Utf8(texts::kLoadingFile) + ExtractFileName(path));
        });
        AdoptedVolume v;
        v.voxels = staging;
        v.planes = StackSliceCount(t, o);
        v.caption = Utf8(texts::kImportedBitmapsCaption);
        AdoptVolume(v);
        const QStringList shown = FileListBox->Items();
        FileListBox->clear();
        for (const QString& f : shown) FileListBox->Add(ExtractFileName(f));
    }
    return true;
}

void TForm1::Recentre() {
    SliceOffset = (256 - SliceCount) / 2;
    Xg = SliceCount / 2;
    Yg = 128;
    Zg = 128;
    // The coordinate fields show the point the views show.
    xg_Up->SetPosition(Xg);
    yg_Up->SetPosition(Yg);
    zg_Up->SetPosition(Zg);
    xg_Ed->setText(QString::number(Xg));
    yg_Ed->setText(QString::number(Yg));
    zg_Ed->setText(QString::number(Zg));
    // An overlay imported over the previous volume does not belong to this one.
    RemoveOverlay();
    InvalidateLastPoints();
    RenderSag(Xg);
    RenderCor(Yg);
    RenderTra(Zg);
    VolumeShown();
}

void TForm1::FinishOpen() {
    Recentre();
    if (!InfoBmpLoaded) Image4->hide();
    StepCount = 0;
    RecordStep();
}

}  // namespace zx
