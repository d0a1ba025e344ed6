// Opening the formats people have besides volume files: a NIfTI file or a
// folder with a DICOM series, converted in memory and shown as the Open
// command shows a volume file.
#include <QDir>
#include <QFileInfo>
#include <cstring>

#include "app/main_window.h"
#include "core/texts.h"
#include "core/volume/runtime_error.h"
#include "widgets/hourglass.h"
#include "widgets/image_view.h"
#include "widgets/list_box.h"
#include "widgets/status_bar.h"
#include "convert/dicom_helper.h"
#include "convert/nifti.h"

namespace zx {

void TForm1::NiftiOeffnen1Click() {
    TOpenDialog dlg;
    dlg.Filter = QString::fromUtf8(texts::kNiftiFilter);
    if (!prompter().OpenFiles(dlg)) return;
    OpenConverted(dlg.FileName, false);
}

void TForm1::DicomSerieOeffnen1Click() {
    QString folder;
    if (!prompter().ChooseFolder(QString::fromUtf8(texts::kDicomFolderTitle), folder)) return;
    OpenConverted(folder, true);
}

void TForm1::OpenConverted(const QString& path, bool dicomFolder) {
    HourGlass hourglass;
    NiftiVolume v;
    try {
        const std::string name = QFile::encodeName(path).toStdString();
        v = dicomFolder ? ConvertDicomSeriesApart(name) : ConvertNifti(name);
    } catch (const ConvertError& e) {
        // Nothing was changed: volume, name, caption and views stay.
        throw RuntimeError(QString::fromUtf8(e.what()));
    }
    std::memcpy(Volume.data(), v.voxels.data(), kVolumeBytes);
    VolumeChanged();
    SliceCount = v.planes;
    VoxelEdgeMm = v.voxelEdgeMm;
    VolumeFileName.clear();  // no volume file: a later save asks for a name
    InfoBmpLoaded = false;
    const QString shown = QFileInfo(QDir::cleanPath(path)).fileName();
    setWindowTitle(QString::fromUtf8(texts::kCaptionPrefix) + shown);
    FileListBox->clear();
    FileListBox->Add(shown);
    StatusBar1->SetSimpleText(QString::number(v.planes) + QString::fromUtf8(texts::kSlicesRead));
    FinishOpen();
}

}  // namespace zx
