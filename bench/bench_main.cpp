// Rendering, drag handling and loading, measured with Google Benchmark.
#include <benchmark/benchmark.h>
#include <gdcmAttribute.h>
#include <gdcmImageChangeTransferSyntax.h>
#include <gdcmImageWriter.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "app/main_window.h"
#include "bench/bench_shared.h"
#include "components/display_window/display_window_tool.h"
#include "components/learning/learning.h"
#include "components/orientation/orientation_letters.h"
#include "components/rulers/rulers.h"
#include "components/view3d/view3d.h"
#include "components/zoom/zoom.h"
#include "convert/dicom_index.h"
#include "convert/dicom_series.h"
#include "convert/nifti.h"
#include "convert/phantom.h"
#include "core/display/display_window.h"
#include "core/import/image_reader.h"
#include "core/render/section_copies.h"
#include "core/render/sections.h"
#include "core/render3d/render3d.h"
#include "core/volume/vmr_file.h"
#include "core/volume/volume.h"
#include "import/new_bmp_form.h"
#include "support/dicom_bytes.h"
#include "teach/atlas.h"
#include "widgets/image_view.h"
#include "widgets/list_box.h"
#include "widgets/prompter.h"
#include "widgets/radio_group.h"

namespace {

using zxbench::PaintPending;
using zxbench::RandomVolume;
using zxbench::SharedForms;
using zxbench::ShowExposed;

void BM_RenderSag(benchmark::State& state) {
    const auto& vol = RandomVolume();
    QImage bmp = zx::NewSectionBitmap();
    int plane = 0;
    for (auto _ : state) {
        zx::RenderSagittal(vol.data(), plane, bmp);
        plane = (plane + 1) & 255;
        benchmark::DoNotOptimize(bmp.constBits());
    }
}
BENCHMARK(BM_RenderSag);

/// The viewer's coronal sections come from the coronal copy of the volume.
void BM_RenderCor(benchmark::State& state) {
    static const std::vector<std::uint8_t> copy = [] {
        std::vector<std::uint8_t> c(zx::kVolumeBytes);
        zx::MakeCoronalCopy(RandomVolume().data(), c.data());
        return c;
    }();
    QImage bmp = zx::NewSectionBitmap(), shown = zx::NewSectionBitmap();
    // 0: the clean section only; 1: and the shown copy; 2: the shown copy
    // through the brain-tissue display window.
    static const zx::WindowTable tissue = zx::MakeWindowTable({110, 140, zx::ColourMap::Grey});
    QImage* mirror = state.range(0) > 0 ? &shown : nullptr;
    const QRgb* table = state.range(0) == 2 ? tissue.data() : nullptr;
    int plane = 0;
    for (auto _ : state) {
        zx::RenderCoronalFromCopy(copy.data(), plane, 256, 0, bmp, mirror, table);
        plane = (plane + 1) & 255;
        benchmark::DoNotOptimize(bmp.constBits());
    }
}
BENCHMARK(BM_RenderCor)->DenseRange(0, 2);

void BM_RenderTra(benchmark::State& state) {
    const auto& vol = RandomVolume();
    QImage bmp = zx::NewSectionBitmap();
    int plane = 0;
    for (auto _ : state) {
        zx::RenderTransversal(vol.data(), plane, 256, 0, bmp);
        plane = (plane + 1) & 255;
        benchmark::DoNotOptimize(bmp.constBits());
    }
}
BENCHMARK(BM_RenderTra);

/// The head of the 3-D benchmarks: Debian's T1 head (mricron-data) when it
/// is installed, otherwise the synthetic phantom.
struct Head3D {
    std::vector<std::uint8_t> voxels;
    int planes = 256;
    const char* name = "phantom";
    zx::Renderer3D renderer;
    zx::OpacityRamp ramp;
    Head3D() {
        const char* ch2 = "/usr/share/mricron/templates/ch2.nii.gz";
        if (QFile::exists(QString::fromLatin1(ch2))) {
            zx::ConvertedVolume v = zx::ConvertNifti(ch2);
            voxels = std::move(v.voxels);
            planes = v.planes;
            name = "ch2";
        } else {
            voxels = zx::MakeHeadPhantom();
        }
        renderer.SetVolume(voxels.data(), planes);
        ramp = zx::RampFromHistogram(voxels.data(), planes);
    }
};
Head3D& SharedHead3D() {
    static Head3D head;
    return head;
}

/// Frames of `o` on the shared head, 256 × 256 or the size the
/// benchmark's argument gives.
void RenderFrames(benchmark::State& state, const zx::Render3DOptions& o) {
    Head3D& head = SharedHead3D();
    const int size = state.range(0) > 0 ? int(state.range(0)) : 256;
    QImage out;
    for (auto _ : state) {
        head.renderer.Render(o, size, out);
        benchmark::DoNotOptimize(out.constBits());
    }
    state.SetLabel(head.name);
}

/// The 3-D benchmarks run on two threads: their CPU time is that of the
/// whole process, their wall time that of the frame.
///
/// One full-resolution frame of the 3-D view, 256 × 256, oblique (azimuth
/// 30°, elevation 20°): the shaded surface with the octant at the centre
/// cut away.
void BM_Render3D(benchmark::State& state) {
    Head3D& head = SharedHead3D();
    zx::Render3DOptions o;
    o.camera = {30, 20, 1};
    o.ramp = head.ramp;
    o.cut = zx::Voxel{head.planes / 2, 128, 128};
    RenderFrames(state, o);
}
BENCHMARK(BM_Render3D)->Arg(256)->Arg(512)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

/// The same view as a maximum-intensity projection.
void BM_Render3DMip(benchmark::State& state) {
    zx::Render3DOptions o;
    o.mode = zx::Render3DMode::Mip;
    o.camera = {30, 20, 1};
    RenderFrames(state, o);
}
BENCHMARK(BM_Render3DMip)->Arg(256)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

/// What SetVolume costs at every volume change (the brick grid).
void BM_Render3DSetVolume(benchmark::State& state) {
    Head3D& head = SharedHead3D();
    zx::Renderer3D r;
    for (auto _ : state) r.SetVolume(head.voxels.data(), head.planes);
}
BENCHMARK(BM_Render3DSetVolume)->Unit(benchmark::kMillisecond);

/// What the first picture after a change of the ramp's low end costs
/// beyond its rays (what lets the rays skip is made per low end): the
/// low end alternates by one, the picture is a single pixel.
void BM_Render3DNewRamp(benchmark::State& state) {
    Head3D& head = SharedHead3D();
    zx::Render3DOptions o;
    o.camera = {30, 20, 1};
    o.ramp = head.ramp;
    QImage out;
    int i = 0;
    for (auto _ : state) {
        o.ramp.low = head.ramp.low + (i++ & 1);
        head.renderer.Render(o, 1, out);
    }
}
BENCHMARK(BM_Render3DNewRamp)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

/// One move step of a left drag in the sagittal view: two renders, the
/// restore of the sagittal view, three crosshairs and the read-out.
void BM_SagittalDragMove(benchmark::State& state) {
    zx::TForm1& w = *SharedForms().Form1;
    int i = 0;
    for (auto _ : state) {
        w.Image1MouseMove(zx::ssLeft, i & 255, (i * 7) & 255);
        ++i;
    }
}
BENCHMARK(BM_SagittalDragMove);

/// Left drags through real Qt mouse events into one view of the real main
/// window (state.range(0): 1 sagittal, 2 coronal, 3 transversal), the
/// window painted after every move where the move marked it, as the event
/// loop would. One iteration is one move event.
void BM_DragSequence(benchmark::State& state) {
    zx::Forms& forms = SharedForms();
    zx::TForm1& w = *forms.Form1;
    ShowExposed(w);
    // Every drag starts from the middle of the volume, whatever ran before.
    for (QLineEdit* e : {w.xg_Ed, w.yg_Ed, w.zg_Ed}) e->setText(QStringLiteral("128"));
    w.zg_EdKeyUp();
    PaintPending(w);
    zx::TImage* view = state.range(0) == 1 ? w.Image1 : state.range(0) == 2 ? w.Image2 : w.Image3;
    QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, QPoint(128, 128));
    int i = 0;
    std::int64_t moves = 0;
    for (auto _ : state) {
        // A sweep of 1,000 positions across the view, then back again.
        const int t = i % 1000;
        QTest::mouseMove(view, QPoint(20 + (t * 216) / 1000, 30 + (t * 7) % 200));
        PaintPending(w);
        ++i;
        ++moves;
    }
    QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, QPoint(128, 128));
    state.counters["moves_per_s"] = benchmark::Counter(double(moves), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DragSequence)->DenseRange(1, 3)->Unit(benchmark::kMicrosecond);

/// The same drags with the tools a lesson uses on: the neurological
/// display, a distance and an angle on the dragged view's slice (shown at
/// every repaint), and a non-default display window.
void BM_DragSequenceWithTools(benchmark::State& state) {
    zx::TForm1& w = *SharedForms().Form1;
    const int view = int(state.range(0));
    const int plane = view == 1 ? w.Xg : view == 2 ? w.Yg : w.Zg;
    w.Components->Find<zx::TRulers>()->Measurements = {
        {view, plane, {{20, 20}, {200, 180}}}, {view, plane, {{40, 200}, {120, 120}, {220, 60}}}};
    w.Components->Find<zx::TDisplayWindowTool>()->SetWindow({110, 140, zx::ColourMap::Grey});
    w.Components->Find<zx::TOrientationLetters>()->SetNeurological(true, false);
    BM_DragSequence(state);
    w.Components->Find<zx::TOrientationLetters>()->SetNeurological(false, false);
    w.Components->Find<zx::TDisplayWindowTool>()->Reset();
    w.Components->Find<zx::TRulers>()->DeleteAll();
}
BENCHMARK(BM_DragSequenceWithTools)->DenseRange(1, 3)->Unit(benchmark::kMicrosecond);

/// A turn of the 3-D view replayed through its canvas, enlarged to about
/// the size of the enlarged layout's free cell: one picture per move at
/// the resolution used while turning. `side` is the picture's edge; 1e6 /
/// the time per move is the pictures per second.
void BM_Turn3D(benchmark::State& state) {
    zx::TForm1& w = *SharedForms().Form1;
    auto& view = *w.Components->Find<zx::TView3D>();
    view.View3DWindow->resize(520, 640);
    view.View3DWindow->show();
    QApplication::processEvents();
    zx::TView3DCanvas* canvas = view.Canvas;
    QTest::mousePress(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(100, 200));
    int i = 0;
    for (auto _ : state) {
        // Across the canvas and back, 3 pixels (1.5°) a move.
        const int t = i % 200;
        QTest::mouseMove(canvas, QPoint(t < 100 ? 100 + 3 * t : 400 - 3 * (t - 100), 200));
        canvas->repaint();
        ++i;
    }
    QTest::mouseRelease(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(100, 200));
    state.counters["side"] = canvas->Picture().width();
    view.View3DWindow->hide();
}
BENCHMARK(BM_Turn3D)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

/// The same drags in views zoomed 3 times: the dragged view keeps its
/// centre, the other two follow the point when it leaves what they show.
void BM_DragSequenceZoomed(benchmark::State& state) {
    zx::TForm1& w = *SharedForms().Form1;
    zx::TZoom& zoom = *w.Components->Find<zx::TZoom>();
    zoom.SetFactor(3);
    BM_DragSequence(state);
    zoom.SetFactor(1);
}
BENCHMARK(BM_DragSequenceZoomed)->DenseRange(1, 3)->Unit(benchmark::kMicrosecond);

/// 100 DICOM files of 256 × 256 16-bit samples, made once (page cache hot).
struct DicomStack {
    QTemporaryDir dir;
    QStringList names;
    DicomStack() {
        std::mt19937 rng(7);
        for (int i = 0; i < 100; ++i) {
            std::vector<std::uint16_t> samples(65536);
            for (auto& v : samples) v = std::uint16_t(rng() % 4096);
            const QString name = QStringLiteral("img%1.dcm").arg(i, 3, 10, QLatin1Char('0'));
            QFile f(dir.filePath(name));
            f.open(QIODevice::WriteOnly);
            f.write(zxtest::DicomFile({}, samples));
            names << name;
        }
    }
};

/// One import of the stack through the import window's OK handler
/// (transversal, depth 1): read, window, preview, assembly, commit.
void BM_ImportDicomStack(benchmark::State& state) {
    static DicomStack stack;
    zx::Forms& forms = SharedForms();
    zx::TNewBmpForm& w = *forms.NewBmpForm;
    w.Label1->setText(stack.dir.path() + u'/');
    w.FileListBox->SetItems(stack.names);
    w.RadioGroup1->SetItemIndex(2);
    w.RadioGroup2->SetItemIndex(0);
    for (auto _ : state) w.OKButtonClick();
    state.counters["files"] = 100;
}
BENCHMARK(BM_ImportDicomStack)->Unit(benchmark::kMillisecond);

/// The viewer's NIfTI command from the chosen file to the three sections
/// shown: Debian's T1 head (mricron-data), when it is installed.
void BM_OpenNiftiHead(benchmark::State& state) {
    const QString head = QStringLiteral("/usr/share/mricron/templates/ch2.nii.gz");
    if (!QFile::exists(head)) {
        state.SkipWithError("mricron-data is not installed");
        return;
    }
    zx::TForm1& w = *SharedForms().Form1;
    ShowExposed(w);
    for (auto _ : state) {
        w.OpenConverted(head, false);
        PaintPending(w);
    }
}
BENCHMARK(BM_OpenNiftiHead)->Unit(benchmark::kMillisecond);

/// Four label volumes of random regions beside a volume file.
struct AtlasFiles {
    QTemporaryDir dir;
    QString volume = dir.filePath(QStringLiteral("head.vmr"));
    AtlasFiles() {
        std::mt19937 rng(3);
        std::vector<std::uint8_t> labels(zx::kVolumeBytes);
        for (const zx::AtlasKind& k : zx::kAtlases) {
            for (std::size_t i = 0; i < labels.size(); i += 4096)
                std::fill_n(labels.begin() + i, 4096, std::uint8_t(rng() % 117));
            QFile f(zx::LabelFileFor(volume, k.key));
            f.open(QIODevice::WriteOnly);
            f.write(reinterpret_cast<const char*>(labels.data()), qint64(labels.size()));
        }
        QFile v(volume);
        v.open(QIODevice::WriteOnly);
        v.write(reinterpret_cast<const char*>(RandomVolume().data()), zx::kVolumeBytes);
    }
};

/// The read-out's work at one move: the four lookups and the text.
void BM_AtlasReadout(benchmark::State& state) {
    static AtlasFiles files;
    static zx::AtlasSet atlases;
    if (atlases.Count() == 0) atlases.Load(files.volume);
    int i = 0;
    for (auto _ : state) {
        QStringList lines;
        for (int a = 0; a < atlases.Count(); ++a)
            lines << atlases.Line(a, i & 255, (i * 7) & 255, (i * 13) & 255);
        benchmark::DoNotOptimize(lines.join(u'\n'));
        ++i;
    }
}
BENCHMARK(BM_AtlasReadout);

/// A sagittal drag move with the atlas read-out shown.
void BM_SagittalDragMoveWithAtlas(benchmark::State& state) {
    static AtlasFiles files;
    zx::TForm1& w = *SharedForms().Form1;
    w.VolumeFileName = files.volume;
    w.Components->Find<zx::TLearning>()->UpdateAtlasAvailability();
    w.Components->Find<zx::TLearning>()->AtlasAnzeigen1->setChecked(true);
    int i = 0;
    for (auto _ : state) {
        w.Image1->OnMouseMove(zx::ssLeft, i & 255, (i * 7) & 255);
        ++i;
    }
    w.Components->Find<zx::TLearning>()->AtlasAnzeigen1->setChecked(false);
    w.VolumeFileName.clear();
    w.Components->Find<zx::TLearning>()->UpdateAtlasAvailability();
}
BENCHMARK(BM_SagittalDragMoveWithAtlas);

struct VmrFile {
    QTemporaryDir dir;
    QString path;
    VmrFile() : path(dir.filePath(QStringLiteral("bench.vmr"))) {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(reinterpret_cast<const char*>(RandomVolume().data()), zx::kVolumeBytes);
    }
};
VmrFile& BenchFile() {
    static VmrFile f;
    return f;
}

/// A volume file read as the Open command reads it: the read, then the
/// coronal and transversal copies.
void BM_LoadVmr(benchmark::State& state) {
    const QString path = BenchFile().path;
    static zx::VolumeArray volume{};
    static zx::SectionCopies copies;
    for (auto _ : state) {
        benchmark::DoNotOptimize(zx::ReadVmr(path, volume.data()));
        copies.Rebuild(volume.data());
        benchmark::DoNotOptimize(copies.Coronal());
    }
}

void BM_SectionCopies(benchmark::State& state) {
    alignas(64) static zx::VolumeArray coronal{};
    alignas(64) static zx::VolumeArray transversal{};
    for (auto _ : state) {
        zx::MakeSectionCopies(RandomVolume().data(), coronal.data(), transversal.data());
        benchmark::DoNotOptimize(coronal.data());
    }
}
BENCHMARK(BM_SectionCopies)->Unit(benchmark::kMillisecond);

void BM_CoronalCopy(benchmark::State& state) {
    alignas(64) static zx::VolumeArray coronal{};
    for (auto _ : state) {
        zx::MakeCoronalCopy(RandomVolume().data(), coronal.data());
        benchmark::DoNotOptimize(coronal.data());
    }
}
BENCHMARK(BM_CoronalCopy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadVmr)->Unit(benchmark::kMillisecond);

void BM_FreadFloor(benchmark::State& state) {
    const QByteArray path = QFile::encodeName(BenchFile().path);
    static std::vector<std::uint8_t> buffer(zx::kVolumeBytes);
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.constData(), "rb");
        benchmark::DoNotOptimize(std::fread(buffer.data(), 1, buffer.size(), f));
        std::fclose(f);
    }
}
BENCHMARK(BM_FreadFloor)->Unit(benchmark::kMillisecond);

/// The import window's DICOM scan over a 64 MiB file without Pixel Data
/// (random bytes with no element the scan knows): it reads to the end.
void BM_DicomScanNoPixelData(benchmark::State& state) {
    static QTemporaryDir dir;
    static const QString path = [] {
        QByteArray bytes(64 << 20, Qt::Uninitialized);
        std::mt19937 rng(11);
        for (char& c : bytes) {
            c = char(rng());
            if (c == char(0x28) || c == char(0x02) || c == char(0xE0)) c = 0;
        }
        const QString p = dir.filePath(QStringLiteral("nopixels.dcm"));
        QFile f(p);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return p;
    }();
    static auto reader = std::make_unique<zx::TImageReader>();
    QString caption;
    for (auto _ : state) {
        reader->OpenAFile(path, caption);
        benchmark::DoNotOptimize(reader->IsDicom);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * (64 << 20));
}
BENCHMARK(BM_DicomScanNoPixelData)->Unit(benchmark::kMillisecond)->UseRealTime();

/// A CT-sized series written once with GDCM: 512 × 512 signed 16-bit
/// slices (0.7 mm pixels, 1 mm apart, rescale −1024) of a noisy disc;
/// `mixed`: every other slice RLE, the rest JPEG 2000 lossless.
struct CtSeries {
    QTemporaryDir dir;
    CtSeries(int slices, bool mixed) {
        std::mt19937 rng(5);
        std::vector<std::int16_t> samples(512 * 512);
        for (int k = 0; k < slices; ++k) {
            for (int r = 0; r < 512; ++r)
                for (int c = 0; c < 512; ++c) {
                    const int d = (r - 256) * (r - 256) + (c - 256) * (c - 256);
                    samples[std::size_t(r * 512 + c)] =
                        std::int16_t(d < 200 * 200 ? 1000 + int(rng() % 80) : 0);
                }
            gdcm::ImageWriter w;
            gdcm::Image& im = w.GetImage();
            im.SetNumberOfDimensions(2);
            im.SetDimension(0, 512);
            im.SetDimension(1, 512);
            im.SetPixelFormat(gdcm::PixelFormat(gdcm::PixelFormat::INT16));
            im.SetPhotometricInterpretation(gdcm::PhotometricInterpretation::MONOCHROME2);
            im.SetOrigin(2, k);
            const double dc[6] = {1, 0, 0, 0, 1, 0};
            im.SetDirectionCosines(dc);
            im.SetSpacing(0, 0.7);
            im.SetSpacing(1, 0.7);
            im.SetIntercept(-1024);
            gdcm::DataElement pixels(gdcm::Tag(0x7fe0, 0x0010));
            pixels.SetByteValue(reinterpret_cast<const char*>(samples.data()),
                                std::uint32_t(samples.size() * 2));
            im.SetDataElement(pixels);
            im.SetTransferSyntax(gdcm::TransferSyntax::ExplicitVRLittleEndian);
            gdcm::DataSet& ds = w.GetFile().GetDataSet();
            ds.Replace(
                gdcm::Attribute<0x0008, 0x0016>{"1.2.840.10008.5.1.4.1.1.2"}.GetAsDataElement());
            ds.Replace(gdcm::Attribute<0x0020, 0x000e>{"1.2.3.4"}.GetAsDataElement());
            if (mixed) {
                gdcm::ImageChangeTransferSyntax change;
                change.SetTransferSyntax(k % 2 ? gdcm::TransferSyntax::JPEG2000Lossless
                                               : gdcm::TransferSyntax::RLELossless);
                change.SetInput(im);
                if (change.Change()) im = change.GetOutput();
            }
            const QByteArray name = QFile::encodeName(
                dir.filePath(QStringLiteral("ct%1.dcm").arg(k, 3, 10, QLatin1Char('0'))));
            w.SetFileName(name.constData());
            w.Write();
        }
    }
};

/// The series reader's work on a CT-sized series, in this process: headers,
/// decoding on two threads, resampling and the window.
void ReadSeries(benchmark::State& state, const CtSeries& series) {
    static std::vector<std::uint8_t> volume(zx::kVolumeBytes);
    const std::string folder = QFile::encodeName(series.dir.path()).toStdString();
    for (auto _ : state)
        benchmark::DoNotOptimize(zx::ReadDicomSeriesHere(folder, volume.data()).planes);
}
void BM_ReadCtSeries(benchmark::State& state) {
    static const CtSeries series(360, false);
    ReadSeries(state, series);
}
BENCHMARK(BM_ReadCtSeries)->Unit(benchmark::kMillisecond)->UseRealTime();
void BM_ReadCtSeriesRleJpeg2000(benchmark::State& state) {
    static const CtSeries series(48, true);
    ReadSeries(state, series);
}
BENCHMARK(BM_ReadCtSeriesRleJpeg2000)->Unit(benchmark::kMillisecond)->UseRealTime();

/// A patient CD of 1,000 files written once with GDCM: ten series of 100
/// MR slices (256 × 256, 16 bits) in folders of their own, nested as CDs
/// nest them.
struct CdFolder {
    QTemporaryDir dir;
    CdFolder() {
        std::vector<std::uint16_t> samples(256 * 256, 100);
        for (int series = 0; series < 10; ++series) {
            const QString folder = QStringLiteral("PAT/STUDY/SE%1").arg(series);
            QDir(dir.path()).mkpath(folder);
            const std::string uid = "1.2.3." + std::to_string(series + 1);
            for (int k = 0; k < 100; ++k) {
                gdcm::ImageWriter w;
                gdcm::Image& im = w.GetImage();
                im.SetNumberOfDimensions(2);
                im.SetDimension(0, 256);
                im.SetDimension(1, 256);
                im.SetPixelFormat(gdcm::PixelFormat(gdcm::PixelFormat::UINT16));
                im.SetPhotometricInterpretation(gdcm::PhotometricInterpretation::MONOCHROME2);
                im.SetOrigin(2, 2.0 * k);
                const double dc[6] = {1, 0, 0, 0, 1, 0};
                im.SetDirectionCosines(dc);
                gdcm::DataElement pixels(gdcm::Tag(0x7fe0, 0x0010));
                pixels.SetByteValue(reinterpret_cast<const char*>(samples.data()),
                                    std::uint32_t(samples.size() * 2));
                im.SetDataElement(pixels);
                im.SetTransferSyntax(gdcm::TransferSyntax::ExplicitVRLittleEndian);
                gdcm::DataSet& ds = w.GetFile().GetDataSet();
                ds.Replace(gdcm::Attribute<0x0008, 0x0016>{"1.2.840.10008.5.1.4.1.1.4"}
                               .GetAsDataElement());
                ds.Replace(gdcm::Attribute<0x0020, 0x000e>{uid.c_str()}.GetAsDataElement());
                const QByteArray name = QFile::encodeName(
                    dir.filePath(folder + QStringLiteral("/IM%1").arg(k, 4, 10, QLatin1Char('0'))));
                w.SetFileName(name.constData());
                w.Write();
            }
        }
    }
};

/// Finding and indexing the CD's files from their headers (warm cache).
void BM_IndexDicomFolder(benchmark::State& state) {
    static const CdFolder cd;
    const std::string root = QFile::encodeName(cd.dir.path()).toStdString();
    for (auto _ : state) {
        const zx::DicomIndex index = zx::IndexDicom(root);
        if (index.series.size() != 10) state.SkipWithError("not ten series");
        benchmark::DoNotOptimize(index.files.size());
    }
}
BENCHMARK(BM_IndexDicomFolder)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

namespace {

/// Nobody is there to answer a dialog: a message goes to stderr and every
/// dialog is cancelled, so that a refusal fails its benchmark instead of
/// waiting for ever.
class NobodyPrompter : public zx::Prompter {
public:
    int MessageDlg(zx::MsgKind, const QString&, const QString& text, int buttons) override {
        std::fprintf(stderr, "zerebrix_bench: %s\n", text.toUtf8().constData());
        for (int b : {zx::mbCancel, zx::mbNo, zx::mbOK, zx::mbYes})
            if (buttons & b) return b;
        return zx::mbOK;
    }
    bool OpenFiles(zx::TOpenDialog&) override { return false; }
    bool ChooseFolder(const QString&, QString&) override { return false; }
    bool SaveFile(zx::TSaveDialog&) override { return false; }
    int ShowModal(QDialog&) override { return 0; }
    bool InputQuery(const QString&, const QString&, QString&) override { return false; }
    bool PrintDialog(QPrinter&, int&) override { return false; }
    bool PrinterSetup(QPrinter&) override { return false; }
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    NobodyPrompter nobody;
    zx::SetPrompter(&nobody);
    benchmark::Initialize(&argc, argv);
    // A mistyped option would otherwise run everything with the defaults.
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    zxbench::DestroySharedForms();  // the windows go before the application object
    zx::SetPrompter(nullptr);
    return 0;
}
