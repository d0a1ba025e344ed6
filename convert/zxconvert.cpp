// zxconvert: the viewer's file conversions for batch use and scripts.
//
//   zxconvert phantom OUT.vmr
//   zxconvert section VOLUME.vmr (--sag X | --cor Y | --tra Z) OUT.bmp
//   zxconvert stack (--sag | --cor | --tra) [--depth D] OUT.vmr IN1.bmp IN2.bmp ...
//   zxconvert volume [--volume N] IN OUT.vmr   (also: zxconvert nifti)
//   zxconvert dicom-series --list FOLDER|DICOMDIR
//   zxconvert dicom-series [--series N] FOLDER|DICOMDIR OUT.vmr
//   zxconvert labels ATLAS.nii[.gz] --like HEAD.nii[.gz] OUT.vmr
//   zxconvert dicom IN OUT.bmp [--center C --width W | --auto]
//   zxconvert export (--sag | --tra) VOLUME.vmr BASE
//   zxconvert web VOLUME.vmr FOLDER [--start X,Y,Z] [--interval N]
//   zxconvert render VOLUME.vmr OUT.png [--mode surface|mip] [--azimuth DEG]
//            [--elevation DEG] [--cut X,Y,Z] [--size N] [--ramp LOW,HIGH]
//   zxconvert mosaic VOLUME.vmr OUT.png (--sag | --cor | --tra) [--from A] [--to B]
//            [--every K] [--columns C] [--labels]
//   zxconvert lesson-web LESSON.zxl FOLDER
//   zxconvert lesson-pdf LESSON.zxl OUT.pdf
//
// Every command goes through the same reader, renderer and stack assembly
// as the viewer. Failures print a message on stderr, exit non-zero and
// leave no output file behind.
#include "convert/zxconvert.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QSaveFile>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "convert/labels.h"
#include "convert/phantom.h"
#include "convert/volume_file.h"
#include "core/display/orientation.h"
#include "core/export/output_batch.h"
#include "core/export/output_check.h"
#include "core/export/series.h"
#include "core/import/image_reader.h"
#include "core/render/mosaic.h"
#include "core/render/sections.h"
#include "core/render3d/render3d.h"
#include "core/volume/bmp_stack.h"
#include "core/volume/bmp_write.h"
#include "core/volume/runtime_error.h"
#include "core/volume/vmr_file.h"
#include "core/volume/volume.h"
#include "core/volume/volume_meta.h"
#include "teach/lesson.h"
#include "teach/lesson_output.h"
#include "teach/lesson_pictures.h"

namespace {

using zx::kEdge;
using zxconvert::CheckOutput;
using zxconvert::DicomSeries;
using zxconvert::UsageError;
using zxconvert::WriteVolume;

const char kUsage[] =
    "Aufruf:\n"
    "  zxconvert phantom ZIEL.vmr\n"
    "  zxconvert section VOLUMEN.vmr (--sag X | --cor Y | --tra Z) ZIEL.bmp\n"
    "  zxconvert stack (--sag | --cor | --tra) [--depth TIEFE] ZIEL.vmr BILD1.bmp BILD2.bmp ...\n"
    "  zxconvert volume [--volume N] QUELLE ZIEL.vmr   (auch: zxconvert nifti)\n"
    "            QUELLE: NIfTI (.nii, .hdr/.img), Analyze 7.5, MGH/MGZ, NRRD, MetaImage,\n"
    "            MINC\n"
    "  zxconvert dicom-series --list ORDNER|DICOMDIR\n"
    "  zxconvert dicom-series [--series N] ORDNER|DICOMDIR ZIEL.vmr\n"
    "  zxconvert labels ATLAS.nii[.gz] --like KOPF.nii[.gz] ZIEL.vmr\n"
    "  zxconvert dicom QUELLE ZIEL.bmp [--center MITTE --width BREITE | --auto]\n"
    "  zxconvert export (--sag | --tra) VOLUMEN.vmr BASIS\n"
    "  zxconvert web VOLUMEN.vmr ORDNER [--start X,Y,Z] [--interval N]\n"
    "  zxconvert info VOLUMEN.vmr\n"
    "  zxconvert render VOLUMEN.vmr ZIEL.png [--mode surface|mip] [--azimuth GRAD]\n"
    "            [--elevation GRAD] [--cut X,Y,Z] [--size N] [--ramp VON,BIS]\n"
    "  zxconvert mosaic VOLUMEN.vmr ZIEL.png (--sag | --cor | --tra) [--from A] [--to B]\n"
    "            [--every K] [--columns C] [--labels]\n"
    "  zxconvert lesson-web LEKTION.zxl ORDNER\n"
    "  zxconvert lesson-pdf LEKTION.zxl ZIEL.pdf\n"
    "  zxconvert --help | --version | BEFEHL --help\n";

int ParseInt(const QString& text, int lo, int hi, const char* what) {
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < lo || v > hi) {
        throw UsageError{QString::fromUtf8("%1 muss eine ganze Zahl von %2 bis %3 sein, nicht „%4“")
                             .arg(QString::fromUtf8(what))
                             .arg(lo)
                             .arg(hi)
                             .arg(text)};
    }
    return v;
}

/// Runs `f`, naming `path` in the message of a runtime error it raises.
template <class F>
auto InFile(const QString& path, F f) {
    try {
        return f();
    } catch (const zx::RuntimeError& e) {
        throw zx::RuntimeError(path + QStringLiteral(": ") + e.text());
    }
}

/// Refuses outputs that would destroy an input or land somewhere
/// unintended: an empty name, one of the inputs (the same path or the same
/// file through a link), or (for volumes) a name without the ".vmr"
/// extension the viewer opens.
void CheckOutputs(const QStringList& outs, const QStringList& inputs, bool volume) {
    for (const QString& out : outs) {
        if (out.isEmpty()) throw UsageError{QStringLiteral("Der Name der Ausgabedatei ist leer")};
        if (volume && !out.endsWith(QLatin1String(".vmr")) &&
            !out.endsWith(QLatin1String(".VMR"))) {
            throw UsageError{QString::fromUtf8("Die Ausgabe „%1“ muss auf .vmr enden").arg(out)};
        }
    }
    const QString clash = zx::OutputAmongInputs(outs, inputs);
    if (!clash.isEmpty()) throw UsageError{zx::OutputIsInputText(clash)};
}

}  // namespace

namespace zxconvert {

void CheckOutput(const QString& out, const QStringList& inputs, bool volume) {
    CheckOutputs({out}, inputs, volume);
}

void WriteVolume(const QString& out, const std::uint8_t* voxels, int planes, double edgeMm,
                 const std::string& format) {
    InFile(out, [&] {
        zx::WriteVmr(out, voxels, planes);
        zx::WriteVolumeMeta(out, {edgeMm, QString::fromStdString(format)});
    });
}

}  // namespace zxconvert

namespace {

/// A volume file and its plane count, read as the viewer reads it. A file
/// without a single plane (0 bytes) is refused: there is nothing to show.
int ReadVolume(const QString& path, std::vector<std::uint8_t>& volume) {
    volume.assign(zx::kVolumeBytes, 0);
    const int n = InFile(path, [&] { return zx::ReadVmr(path, volume.data()); });
    if (n == 0) throw zx::RuntimeError(path + QStringLiteral(": Die Volumendatei ist leer."));
    return n;
}

/// planes, edge_mm, the direction of each axis and, when the companion file
/// knows it, the format the volume came from: one "key: value" a line.
int Info(const QStringList& a) {
    if (a.size() != 1) throw UsageError{QStringLiteral("info erwartet VOLUMEN.vmr")};
    std::vector<std::uint8_t> volume;
    const int planes = ReadVolume(a[0], volume);
    const zx::VolumeMeta meta = zx::ReadVolumeMeta(a[0]);
    const double edge = meta.edgeMm;
    std::printf("planes: %d\n", planes);
    if (edge > 0)
        std::printf("edge_mm: %s\n", QByteArray::number(edge, 'g', 10).constData());
    else
        std::printf("edge_mm: unknown\n");
    static const char* const axes[] = {"x", "y", "z"};
    for (int k = 0; k < 3; ++k)
        std::printf("axis_%s: %s\n", axes[k], zx::AxisDescription(k).toUtf8().constData());
    if (!meta.sourceFormat.isEmpty())
        std::printf("source_format: %s\n", meta.sourceFormat.toUtf8().constData());
    return 0;
}

int Phantom(const QStringList& a) {
    if (a.size() != 1) throw UsageError{QStringLiteral("phantom erwartet genau eine Ausgabedatei")};
    CheckOutput(a[0], {}, true);
    const std::vector<std::uint8_t> v = zx::MakeHeadPhantom();
    WriteVolume(a[0], v.data(), kEdge, 1.0);  // drawn on a 1 mm grid
    return 0;
}

int Section(const QStringList& a) {
    if (a.size() != 4)
        throw UsageError{
            QString::fromUtf8("section erwartet VOLUMEN, eine Schnittebenen-Option und ZIEL")};
    CheckOutput(a[3], {a[0]}, false);
    const QString& opt = a[1];
    if (opt != QLatin1String("--sag") && opt != QLatin1String("--cor") &&
        opt != QLatin1String("--tra")) {
        throw UsageError{QString::fromUtf8("Unbekannte Schnittebenen-Option „%1“").arg(opt)};
    }
    const int plane = ParseInt(a[2], 0, 255, "Die Schnittebene");
    std::vector<std::uint8_t> volume;
    const int count = ReadVolume(a[0], volume);
    const int offset = (kEdge - count) / 2;
    QImage bmp = zx::NewSectionBitmap();
    if (opt == QLatin1String("--sag")) zx::RenderSagittal(volume.data(), plane, bmp);
    if (opt == QLatin1String("--cor")) zx::RenderCoronal(volume.data(), plane, count, offset, bmp);
    if (opt == QLatin1String("--tra"))
        zx::RenderTransversal(volume.data(), plane, count, offset, bmp);
    InFile(a[3], [&] { zx::SaveBmp24(bmp, a[3]); });
    return 0;
}

int Stack(const QStringList& a) {
    int i = 0;
    std::optional<zx::Orientation> o;
    int depth = 1;
    for (; i < a.size() && a[i].startsWith(QLatin1String("--")); ++i) {
        if (a[i] == QLatin1String("--sag"))
            o = zx::Orientation::Sag;
        else if (a[i] == QLatin1String("--cor"))
            o = zx::Orientation::Cor;
        else if (a[i] == QLatin1String("--tra"))
            o = zx::Orientation::Tra;
        else if (a[i] == QLatin1String("--depth") && i + 1 < a.size())
            depth = ParseInt(a[++i], 1, 4, "Die Tiefe");
        else
            throw UsageError{QString::fromUtf8("Unbekannte Option „%1“").arg(a[i])};
    }
    if (!o) throw UsageError{QStringLiteral("stack braucht --sag, --cor oder --tra")};
    if (a.size() - i < 3)
        throw UsageError{QStringLiteral("stack braucht ZIEL.vmr und mindestens zwei Bilder")};
    const QString out = a[i];
    const QStringList files = a.mid(i + 1);
    CheckOutput(out, files, true);
    const int t = zx::StackDepthTotal(int(files.size()), depth);
    if (t > 255)
        throw UsageError{
            QString::fromUtf8("Zu viele Schichten: %1 Bilder × Tiefe %2 = %3, höchstens 255")
                .arg(files.size())
                .arg(depth)
                .arg(t)};
    std::vector<std::uint8_t> volume(zx::kVolumeBytes, 0);
    int done = 0;  // pictures read so far: a failure names the next one
    try {
        zx::AssembleStack(files, depth, *o, volume.data(),
                          [&](int i, const QString&) { done = i + 1; });
    } catch (const zx::RuntimeError& e) {
        throw zx::RuntimeError(files.value(done) + QStringLiteral(": ") + e.text());
    }
    WriteVolume(out, volume.data(), zx::StackSliceCount(t, *o), 0);  // pictures carry no size
    return 0;
}

int Labels(const QStringList& a) {
    if (a.size() != 4 || a[1] != QLatin1String("--like")) {
        throw UsageError{QStringLiteral("labels erwartet ATLAS, --like KOPF und ZIEL.vmr")};
    }
    CheckOutput(a[3], {a[0], a[2]}, true);
    const zx::ConvertedVolume v = zx::ConvertLabels(QFile::encodeName(a[0]).toStdString(),
                                                    QFile::encodeName(a[2]).toStdString());
    WriteVolume(a[3], v.voxels.data(), v.planes, v.voxelEdgeMm);
    return 0;
}

int Dicom(const QStringList& a) {
    if (a.size() < 2) throw UsageError{QStringLiteral("dicom erwartet QUELLE und ZIEL.bmp")};
    CheckOutput(a[1], {a[0]}, false);
    auto reader = std::make_unique<zx::TImageReader>();  // 2 MiB of samples: not on the stack
    bool automatic = false;
    for (int i = 2; i < a.size(); ++i) {
        if (a[i] == QLatin1String("--auto"))
            automatic = true;
        else if (a[i] == QLatin1String("--center") && i + 1 < a.size())
            reader->WinCenter = ParseInt(a[++i], -1000000, 1000000, "Die Fenstermitte");
        else if (a[i] == QLatin1String("--width") && i + 1 < a.size())
            reader->WinWidth = ParseInt(a[++i], 1, 2000000, "Die Fensterbreite");
        else
            throw UsageError{QString::fromUtf8("Unbekannte Option „%1“").arg(a[i])};
    }
    QString caption;
    InFile(a[0], [&] { reader->OpenAFile(a[0], caption); });
    if (!reader->IsDicom)
        throw zx::RuntimeError(a[0] + QStringLiteral(": keine DICOM-Bilddaten gefunden"));
    if (automatic) reader->AutoWindow();
    reader->CalcWindow();
    InFile(a[1], [&] { zx::SaveBmp24(reader->CopyBufToPic(), a[1]); });
    return 0;
}

int Export(const QStringList& a) {
    if (a.size() != 3 || (a[0] != QLatin1String("--sag") && a[0] != QLatin1String("--tra"))) {
        throw UsageError{QStringLiteral("export erwartet --sag oder --tra, VOLUMEN.vmr und BASIS")};
    }
    std::vector<std::uint8_t> volume;
    const int n = ReadVolume(a[1], volume);
    QStringList outs;
    for (int k = 0; k < (a[0] == QLatin1String("--sag") ? n : kEdge); ++k)
        outs << a[2] + QString::number(k) + QStringLiteral(".bmp");
    CheckOutputs(outs, {a[1]}, false);
    QImage bmp = zx::NewSectionBitmap();
    const int count = a[0] == QLatin1String("--sag")
                          ? zx::ExportSagittalSeries(volume.data(), n, a[2], bmp)
                          : zx::ExportTransversalSeries(volume.data(), n, a[2], bmp);
    std::printf("%d\n", count);
    return 0;
}

int Web(const QStringList& a) {
    if (a.size() < 2) throw UsageError{QStringLiteral("web erwartet VOLUMEN.vmr und ORDNER")};
    // An empty name would put the pictures into the root folder.
    if (a[1].isEmpty()) throw UsageError{QStringLiteral("Der Zielordner ist leer.")};
    int start[3] = {10, 10, 10};
    int interval = 9;
    for (int i = 2; i < a.size(); ++i) {
        if (a[i] == QLatin1String("--start") && i + 1 < a.size()) {
            const QStringList xyz = a[++i].split(u',');
            if (xyz.size() != 3) throw UsageError{QStringLiteral("--start erwartet X,Y,Z")};
            for (int k = 0; k < 3; ++k) start[k] = ParseInt(xyz[k], 0, 255, "Ein Startwert");
        } else if (a[i] == QLatin1String("--interval") && i + 1 < a.size()) {
            interval = ParseInt(a[++i], 1, 100000, "Der Abstand");
        } else {
            throw UsageError{QString::fromUtf8("Unbekannte Option „%1“").arg(a[i])};
        }
    }
    std::vector<std::uint8_t> volume;
    const int n = ReadVolume(a[0], volume);
    const int offset = (kEdge - n) / 2;
    const QString folder = a[1].endsWith(u'/') ? a[1] : a[1] + u'/';
    const std::vector<zx::WebPicture> plan =
        zx::WebExportPlan(start[0], start[1], start[2], interval, offset);
    QStringList outs;
    for (const zx::WebPicture& p : plan) outs << folder + p.name;
    CheckOutputs(outs, {a[0]}, false);
    QImage bmp = zx::NewSectionBitmap();
    zx::PictureBatch batch;  // all pictures or none
    for (const zx::WebPicture& p : plan) {
        if (p.view == 1) zx::RenderSagittal(volume.data(), p.position, bmp);
        if (p.view == 2) zx::RenderCoronal(volume.data(), p.position, n, offset, bmp);
        if (p.view == 3) zx::RenderTransversal(volume.data(), p.position, n, offset, bmp);
        batch.Add(bmp, folder + p.name);
    }
    batch.Commit();
    return 0;
}

/// A number of degrees, finite and within ±`limit`.
double ParseDegrees(const QString& text, double limit, const char* what) {
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v) || std::fabs(v) > limit) {
        throw UsageError{QStringLiteral("%1 muss eine Zahl von %2 bis %3 sein, nicht '%4'")
                             .arg(QString::fromUtf8(what))
                             .arg(-limit)
                             .arg(limit)
                             .arg(text)};
    }
    return v;
}

/// "A,B[,C]": `n` whole numbers from lo to hi.
std::vector<int> ParseList(const QString& text, int n, int lo, int hi, const char* option) {
    const QStringList parts = text.split(u',');
    if (parts.size() != n) {
        throw UsageError{QStringLiteral("%1 erwartet %2 durch Kommas getrennte Zahlen, nicht '%3'")
                             .arg(QString::fromLatin1(option))
                             .arg(n)
                             .arg(text)};
    }
    std::vector<int> v;
    for (const QString& p : parts) v.push_back(ParseInt(p, lo, hi, option));
    return v;
}

/// The 3-D view as a PNG picture: the viewer's ray caster, its camera
/// and cut-away, the opacity ramp from the histogram unless given.
int Render(const QStringList& a) {
    if (a.size() < 2) throw UsageError{QStringLiteral("render erwartet VOLUME und OUT.png")};
    zx::Render3DOptions o;
    std::optional<zx::OpacityRamp> ramp;
    int size = 256;
    for (int i = 2; i < a.size(); ++i) {
        const QString& opt = a[i];
        if (i + 1 >= a.size()) throw UsageError{QStringLiteral("Wert fehlt nach '%1'").arg(opt)};
        const QString& value = a[++i];
        if (opt == QLatin1String("--mode")) {
            if (value == QLatin1String("surface"))
                o.mode = zx::Render3DMode::Surface;
            else if (value == QLatin1String("mip"))
                o.mode = zx::Render3DMode::Mip;
            else
                throw UsageError{
                    QStringLiteral("--mode erwartet surface oder mip, nicht '%1'").arg(value)};
        } else if (opt == QLatin1String("--azimuth")) {
            o.camera.azimuth = ParseDegrees(value, 3600, "der Azimut");
        } else if (opt == QLatin1String("--elevation")) {
            o.camera.elevation = ParseDegrees(value, 90, "die Elevation");
        } else if (opt == QLatin1String("--cut")) {
            const std::vector<int> c = ParseList(value, 3, 0, 255, "--cut");
            o.cut = zx::Voxel{c[0], c[1], c[2]};
        } else if (opt == QLatin1String("--size")) {
            size = ParseInt(value, 16, 2048, "--size");
        } else if (opt == QLatin1String("--ramp")) {
            const std::vector<int> r = ParseList(value, 2, 0, 255, "--ramp");
            if (r[0] >= r[1])
                throw UsageError{QStringLiteral("--ramp: LOW muss kleiner als HIGH sein")};
            ramp = zx::OpacityRamp{r[0], r[1]};
        } else {
            throw UsageError{QStringLiteral("unbekannte Option '%1'").arg(opt)};
        }
    }
    CheckOutput(a[1], {a[0]}, false);
    if (!a[1].endsWith(QLatin1String(".png"), Qt::CaseInsensitive)) {
        throw UsageError{QStringLiteral("die Ausgabe '%1' muss auf .png enden").arg(a[1])};
    }
    std::vector<std::uint8_t> volume;
    const int n = ReadVolume(a[0], volume);
    zx::Renderer3D renderer;
    renderer.SetVolume(volume.data(), n);
    o.ramp = ramp ? *ramp : zx::RampFromHistogram(volume.data(), n);
    const QImage picture = renderer.Render(o, size);
    // Written beside the target and renamed into place: a failure leaves
    // no file and an older picture of that name untouched.
    QSaveFile file(a[1]);
    if (!file.open(QIODevice::WriteOnly) || !picture.save(&file, "PNG") || !file.commit()) {
        throw zx::RuntimeError(
            QStringLiteral("%1: Bild nicht geschrieben (%2)").arg(a[1], file.errorString()));
    }
    return 0;
}

/// Qt's PNG quality, which it maps to zlib level (100 - q) · 9 / 91: level
/// 2 instead of the default 6, for a mosaic of 64 sections a fraction of
/// the time to write.
constexpr int kPngQuality = 70;

/// A lightbox of sections as one PNG picture: tiles of 256 × 256 without
/// gaps, row by row from plane A upward in steps of K, C tiles a row.
/// Without labels each tile is the picture `section` writes for its plane.
int Mosaic(const QStringList& a) {
    if (a.size() < 3)
        throw UsageError{
            QString::fromUtf8("mosaic erwartet VOLUMEN.vmr, ZIEL.png und --sag, --cor oder --tra")};
    zx::MosaicLayout m;
    m.view = 0;
    m.columns = 8;
    std::optional<int> from, to;
    for (int i = 2; i < a.size(); ++i) {
        const QString& opt = a[i];
        if (opt == QLatin1String("--sag") || opt == QLatin1String("--cor") ||
            opt == QLatin1String("--tra")) {
            if (m.view != 0)
                throw UsageError{QString::fromUtf8("Nur eine Schnittrichtung angeben")};
            m.view = opt == QLatin1String("--sag") ? 1 : opt == QLatin1String("--cor") ? 2 : 3;
        } else if (opt == QLatin1String("--labels")) {
            m.labels = true;
        } else if (i + 1 < a.size() && opt == QLatin1String("--from")) {
            from = ParseInt(a[++i], 0, 255, "--from");
        } else if (i + 1 < a.size() && opt == QLatin1String("--to")) {
            to = ParseInt(a[++i], 0, 255, "--to");
        } else if (i + 1 < a.size() && opt == QLatin1String("--every")) {
            m.every = ParseInt(a[++i], 1, 255, "--every");
        } else if (i + 1 < a.size() && opt == QLatin1String("--columns")) {
            m.columns = ParseInt(a[++i], 1, 64, "--columns");
        } else {
            throw UsageError{QString::fromUtf8("Unbekannte Option „%1“").arg(opt)};
        }
    }
    if (m.view == 0) throw UsageError{QStringLiteral("mosaic braucht --sag, --cor oder --tra")};
    if (from && to && *from > *to)
        throw UsageError{QString::fromUtf8("--from %1 liegt hinter --to %2").arg(*from).arg(*to)};
    CheckOutput(a[1], {a[0]}, false);
    if (!a[1].endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        throw UsageError{QString::fromUtf8("Die Ausgabe „%1“ muss auf .png enden").arg(a[1])};
    std::vector<std::uint8_t> volume;
    const int n = ReadVolume(a[0], volume);
    // Without --to: up to the last sagittal plane that holds voxels, through
    // every coronal and transversal plane.
    m.from = from.value_or(0);
    m.to = to.value_or(m.view == 1 ? n - 1 : kEdge - 1);
    if (m.from > m.to) {
        throw zx::RuntimeError(QString::fromUtf8("%1: keine Ebene von %2 bis %3 (%4 Ebenen)")
                                   .arg(a[0])
                                   .arg(m.from)
                                   .arg(m.to)
                                   .arg(n));
    }
    QImage picture = zx::RenderMosaic(volume.data(), n, (kEdge - n) / 2, m);
    // Greys alone (no labels) go into an 8-bit grey PNG: the same pixels,
    // a third of the bytes to compress.
    if (!m.labels) picture = picture.convertToFormat(QImage::Format_Grayscale8);
    // Written beside the target and renamed into place, as render does.
    QSaveFile file(a[1]);
    if (!file.open(QIODevice::WriteOnly) || !picture.save(&file, "PNG", kPngQuality) ||
        !file.commit()) {
        throw zx::RuntimeError(
            QStringLiteral("%1: Bild nicht geschrieben (%2)").arg(a[1], file.errorString()));
    }
    return 0;
}

/// Any volume file, its format told by content; of a 4-D file the first
/// volume or the one --volume names.
int VolumeCommand(const QStringList& args) {
    QStringList a = args;
    int volume = 1;
    const qsizetype at = a.indexOf(QLatin1String("--volume"));
    if (at >= 0) {
        if (at + 1 >= a.size()) throw UsageError{QStringLiteral("--volume erwartet eine Zahl")};
        volume = ParseInt(a[at + 1], 1, 1 << 30, "--volume");
        a.remove(at, 2);
    }
    if (a.size() != 2) throw UsageError{QStringLiteral("volume erwartet QUELLE und ZIEL.vmr")};
    CheckOutput(a[1], {a[0]}, true);
    const zx::ConvertedVolume v =
        zx::ConvertVolumeFile(QFile::encodeName(a[0]).toStdString(), volume);
    if (!v.notice.empty()) std::fprintf(stderr, "zxconvert: Hinweis: %s\n", v.notice.c_str());
    WriteVolume(a[1], v.voxels.data(), v.planes, v.voxelEdgeMm, v.format);
    return 0;
}

/// Texts in pictures and pages need Qt's fonts, which need a GUI
/// application; without a display it draws offscreen.
void NeedFonts() {
    if (QGuiApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "zxconvert";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

/// The lesson and its volume, which must be there and be the lesson's.
zx::Lesson LessonWithVolume(const QString& file, zx::LessonVolume& v) {
    zx::Lesson lesson = zx::ReadLesson(file);
    zx::LoadLessonVolume(file, lesson, v);
    return lesson;
}

/// index.html, lesson.js and three pictures a stop, in FOLDER.
int LessonWeb(const QStringList& a) {
    if (a.size() != 2) throw UsageError{QStringLiteral("lesson-web erwartet LEKTION.zxl ORDNER")};
    NeedFonts();
    zx::LessonVolume v;
    const zx::Lesson lesson = LessonWithVolume(a[0], v);
    zx::WriteLessonWeb(a[1], v, lesson);
    return 0;
}

/// The handout: a page a stop, then the answers.
int LessonPdf(const QStringList& a) {
    if (a.size() != 2) throw UsageError{QStringLiteral("lesson-pdf erwartet LEKTION.zxl ZIEL.pdf")};
    const zx::Lesson lesson = zx::ReadLesson(a[0]);
    CheckOutput(a[1], {a[0], zx::LessonVolumePath(a[0], lesson)}, false);
    NeedFonts();
    zx::LessonVolume v;
    zx::LoadLessonVolume(a[0], lesson, v);
    zx::WriteHandoutPdf(a[1], v, lesson);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    try {
        if (args.isEmpty()) throw UsageError{QStringLiteral("Kein Befehl angegeben")};
        const QString cmd = args.takeFirst();
        if (cmd == QLatin1String("--version")) {
            std::printf("zxconvert (Zerebrix-MR) %s\n", ZX_VERSION);
            return 0;
        }
        if (cmd == QLatin1String("--help") || args.contains(QLatin1String("--help"))) {
            std::printf("%s", kUsage);
            return 0;
        }
        if (cmd == QLatin1String("phantom")) return Phantom(args);
        if (cmd == QLatin1String("section")) return Section(args);
        if (cmd == QLatin1String("stack")) return Stack(args);
        if (cmd == QLatin1String("volume") || cmd == QLatin1String("nifti"))
            return VolumeCommand(args);
        if (cmd == QLatin1String("dicom")) return Dicom(args);
        if (cmd == QLatin1String("dicom-series")) return DicomSeries(args);
        if (cmd == QLatin1String("labels")) return Labels(args);
        if (cmd == QLatin1String("export")) return Export(args);
        if (cmd == QLatin1String("web")) return Web(args);
        if (cmd == QLatin1String("info")) return Info(args);
        if (cmd == QLatin1String("render")) return Render(args);
        if (cmd == QLatin1String("mosaic")) return Mosaic(args);
        if (cmd == QLatin1String("lesson-web")) return LessonWeb(args);
        if (cmd == QLatin1String("lesson-pdf")) return LessonPdf(args);
        throw UsageError{QString::fromUtf8("Unbekannter Befehl „%1“").arg(cmd)};
    } catch (const UsageError& e) {
        std::fprintf(stderr, "zxconvert: %s\n%s", e.text.toUtf8().constData(), kUsage);
        return 2;
    } catch (const zx::RuntimeError& e) {
        std::fprintf(stderr, "zxconvert: %s\n", e.text().toUtf8().constData());
        return 1;
    } catch (const zx::SeveralVolumesError& e) {
        std::fprintf(stderr, "zxconvert: %s", e.what());
        return 2;
    } catch (const zx::ConvertError& e) {
        // The converters' own messages, German already.
        std::fprintf(stderr, "zxconvert: %s\n", e.what());
        return 1;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "zxconvert: Nicht genug Arbeitsspeicher\n");
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zxconvert: Unerwarteter Fehler (%s)\n", e.what());
        return 1;
    }
}
