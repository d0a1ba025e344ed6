// Opening the formats people have besides volume files: a NIfTI, Analyze,
// MGH/MGZ, NRRD, MetaImage or MINC file (of a 4-D file one volume, and the
// keys to step through the others), or a DICOM folder or DICOMDIR (one
// series, chosen in the series browser when there are several), converted
// in memory and shown as the Open command shows a volume file; files
// dropped on the window.
#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <cstring>
#include <utility>

#include "app/main_window.h"
#include "convert/dicom_helper.h"
#include "convert/volume_file.h"
#include "core/texts.h"
#include "core/volume/runtime_error.h"
#include "dialogs/series_browser.h"
#include "widgets/guard.h"
#include "widgets/hourglass.h"
#include "widgets/image_view.h"
#include "widgets/list_box.h"
#include "widgets/prompter.h"
#include "widgets/status_bar.h"

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

namespace {

/// Keeps the window painted while the reader program works; clicks and
/// keys wait until it is done.
void KeepResponsive() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

}  // namespace

int TForm1::ChooseDicomSeries(const QString& path, const std::string& name) {
    int shown = -1;
    const DicomFolderIndex index =
        IndexDicomApart(name, kDicomReaderTimeLimit, [&](int done, int total) {
            if (total > 0 && done != shown) {
                shown = done;
                StatusBar1->SetSimpleText(
                    QString::fromUtf8(" ... durchsuche DICOM-Dateien: %1 von %2")
                        .arg(done)
                        .arg(total));
                StatusBar1->repaint();
            }
            KeepResponsive();
        });
    // A series named on the command line is taken as it is: the reader
    // refuses one that is no volume, with the reason.
    if (const int start = std::exchange(StartSeries, 0); start > 0) return start;
    const std::size_t volumes = VolumeCount(index.series);
    if (volumes == 0) throw ConvertError(NoVolumeMessage(index.series));
    if (volumes == 1) {
        std::size_t k = 0;
        while (index.series[k].kind != SeriesKind::Volume) ++k;
        return int(k) + 1;
    }
    TSeriesBrowser browser(this);
    browser.SetIndex(QDir::toNativeSeparators(path), index);
    if (prompter().ShowModal(browser) != QDialog::Accepted) return 0;
    return browser.ChosenSeries();
}

void TForm1::OpenConverted(const QString& path, bool dicomFolder, int volume) {
    HourGlass hourglass;
    int planes = 0;
    double edge = 0;
    std::string notice;  // damaged files the reader left out, the volume of a 4-D file
    std::uint64_t volumes = 1;
    // What the status bar said before the reader's counts, for a choice
    // that is cancelled or fails.
    struct StatusBack {
        TStatusBar* bar;
        QString text;
        bool keep = false;
        ~StatusBack() {
            if (!keep) bar->SetSimpleText(text);
        }
    } status{StatusBar1, StatusBar1->SimpleText()};
    try {
        const std::string name = QFile::encodeName(path).toStdString();
        if (dicomFolder) {
            const int chosen = ChooseDicomSeries(path, name);
            if (chosen == 0) return;  // the browser was cancelled
            // The reader's volume goes straight into Volume once it is
            // complete; meanwhile the status bar counts the files read.
            int shown = -1;
            ConvertDicomSeriesApart(
                name,
                [&](const std::uint8_t* voxels, int n, double e) {
                    std::memcpy(Volume.data(), voxels, kVolumeBytes);
                    planes = n;
                    edge = e;
                },
                kDicomReaderTimeLimit,
                [&](int done, int total) {
                    if (total <= 0 || done == shown) return KeepResponsive();
                    shown = done;
                    StatusBar1->SetSimpleText(
                        QString::fromUtf8(" ... lese DICOM-Serie: %1 von %2 Dateien")
                            .arg(done)
                            .arg(total));
                    StatusBar1->repaint();
                    KeepResponsive();
                },
                &notice, chosen);
        } else {
            const ConvertedVolume v = ConvertVolumeFile(name, volume);
            std::memcpy(Volume.data(), v.voxels.data(), kVolumeBytes);
            planes = v.planes;
            edge = v.voxelEdgeMm;
            notice = v.notice;
            volumes = v.volumes;
        }
    } catch (const ConvertError& e) {
        // Nothing was changed: volume, name, caption and views stay.
        throw RuntimeError(QString::fromUtf8(e.what()));
    }
    status.keep = true;
    AdoptedVolume v;  // the reader's volume, now in Volume
    v.planes = planes;
    v.edgeMm = edge;
    v.caption =
        QString::fromUtf8(texts::kCaptionPrefix) + QFileInfo(QDir::cleanPath(path)).fileName();
    v.status = QString::number(planes) + QString::fromUtf8(texts::kSlicesRead);
    if (!notice.empty()) v.status += u' ' + QString::fromStdString(notice);
    AdoptVolume(v);
    if (volumes > 1) {
        MultiVolumeFile = path;
        VolumeNumber = volume;
        VolumeTotal = volumes;
    }
    NaechstesVolumen1->setEnabled(volumes > 1);
    VorigesVolumen1->setEnabled(volumes > 1);
    FileListBox->clear();
    FileListBox->Add(QFileInfo(QDir::cleanPath(path)).fileName());
    RememberRecent(path);
    FinishOpen();
}

// The file's name is copied: adopting the new volume clears the field.
void TForm1::NaechstesVolumen1Click() {
    if (MultiVolumeFile.isEmpty()) return;
    const QString path = MultiVolumeFile;
    OpenConverted(path, false, int(std::uint64_t(VolumeNumber) % VolumeTotal) + 1);
}

void TForm1::VorigesVolumen1Click() {
    if (MultiVolumeFile.isEmpty()) return;
    const QString path = MultiVolumeFile;
    const int last = int(std::min<std::uint64_t>(VolumeTotal, 1u << 30));
    OpenConverted(path, false, VolumeNumber > 1 ? VolumeNumber - 1 : last);
}

// Files and folders dropped on the window open as the command line's do.
void TForm1::dragEnterEvent(QDragEnterEvent* e) {
    if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* e) {
    QStringList paths;
    for (const QUrl& url : e->mimeData()->urls()) {
        if (url.isLocalFile()) paths << url.toLocalFile();
    }
    if (paths.isEmpty()) return;
    e->acceptProposedAction();
    Guarded([&] { OpenPaths(paths); });
}

}  // namespace zx
