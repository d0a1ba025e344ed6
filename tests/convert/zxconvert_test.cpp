// The zxconvert command line: phantom, section, stack and nifti, with their
// failures. Runs the real executable.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <algorithm>
#include <cstring>
#include <utility>

#include "convert/dicom_series.h"
#include "convert/nifti.h"
#include "core/render/sections.h"
#include "core/volume/vmr_file.h"
#include "core/volume/volume.h"
#include "support/dicom_bytes.h"
#include "support/nifti_writer.h"
#include "support/temp_dir.h"

namespace {

struct RunResult {
    int code;
    QString err;
    QString out;
};

RunResult Zx(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(ZXCONVERT_PATH), args);
    p.waitForFinished(120000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardError()),
            QString::fromUtf8(p.readAllStandardOutput())};
}

class Zxconvert : public ::testing::Test {
protected:
    zxtest::TempDir dir;
};

TEST_F(Zxconvert, PhantomIsAFullDeterministicVolumeWithSpreadGreys) {
    const QString a = dir.Path(QStringLiteral("a.vmr")), b = dir.Path(QStringLiteral("b.vmr"));
    ASSERT_EQ(Zx({QStringLiteral("phantom"), a}).code, 0);
    ASSERT_EQ(Zx({QStringLiteral("phantom"), b}).code, 0);
    QFile fa(a), fb(b);
    ASSERT_TRUE(fa.open(QIODevice::ReadOnly) && fb.open(QIODevice::ReadOnly));
    const QByteArray da = fa.readAll();
    EXPECT_EQ(da.size(), 16777216);
    EXPECT_EQ(da, fb.readAll());
    int histogram[8] = {};
    for (char c : da) ++histogram[std::uint8_t(c) / 32];
    for (int h : histogram) EXPECT_GT(h, 1000);
}

TEST_F(Zxconvert, SectionWritesWhatTheViewerRenders) {
    const auto bytes = zxtest::Pattern(180 * 65536, 6);
    const QString vol = dir.Write(QStringLiteral("v.vmr"), bytes);
    const QString out = dir.Path(QStringLiteral("cor.bmp"));
    ASSERT_EQ(
        Zx({QStringLiteral("section"), vol, QStringLiteral("--cor"), QStringLiteral("77"), out})
            .code,
        0);
    EXPECT_EQ(QFile(out).size(), 196662);  // 24-bit, 256 × 256
    QImage bmp(out);
    ASSERT_EQ(bmp.size(), QSize(256, 256));
    std::vector<std::uint8_t> volume(zx::kVolumeBytes, 0);
    zx::ReadVmr(vol, volume.data());
    QImage expected = zx::NewSectionBitmap();
    zx::RenderCoronal(volume.data(), 77, 180, 38, expected);
    for (int r = 0; r < 256; r += 5)
        for (int c = 0; c < 256; ++c)
            ASSERT_EQ(bmp.pixel(c, r) & 0xffffff, expected.pixel(c, r) & 0xffffff);
    EXPECT_EQ(bmp.pixel(10, 10) & 0xffffff, 0u);  // black margin left of plane 0
}

TEST_F(Zxconvert, StackBuildsPlanesThroughTheSameAssembly) {
    QStringList files;
    for (int i = 0; i < 3; ++i) {
        QImage img(256, 256, QImage::Format_RGB32);
        img.fill(qRgb(50 * (i + 1), 0, 0));
        files << dir.Path(QStringLiteral("p%1.bmp").arg(i));
        img.save(files.back(), "BMP");
    }
    const QString out = dir.Path(QStringLiteral("s.vmr"));
    ASSERT_EQ(Zx(QStringList{QStringLiteral("stack"), QStringLiteral("--sag"),
                             QStringLiteral("--depth"), QStringLiteral("2"), out} +
                 files)
                  .code,
              0);
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray d = f.readAll();
    ASSERT_EQ(d.size(), 6 * 65536);
    EXPECT_EQ(std::uint8_t(d[1 * 65536 + 10]), 50);
    EXPECT_EQ(std::uint8_t(d[5 * 65536 + 10]), 150);

    const QString cor = dir.Path(QStringLiteral("c.vmr"));
    ASSERT_EQ(Zx(QStringList{QStringLiteral("stack"), QStringLiteral("--cor"), cor} + files).code,
              0);
    EXPECT_EQ(QFile(cor).size(), 255 * 65536);
    // Pictures carry no size: the voxel edge is unknown.
    EXPECT_EQ(Zx({QStringLiteral("info"), out}).out,
              QString::fromUtf8("planes: 6\nedge_mm: unknown\naxis_x: rechts → links\n"
                                "axis_y: anterior → posterior\naxis_z: superior → inferior\n"));
}

TEST_F(Zxconvert, BadInputFailsClearlyAndLeavesNoFile) {
    const QString out = dir.Path(QStringLiteral("out.vmr"));
    const QString bmpOut = dir.Path(QStringLiteral("out.bmp"));
    const QString notBmp = dir.Write(QStringLiteral("x.bmp"), QByteArray("no picture"));
    const QString good = dir.Path(QStringLiteral("g.bmp"));
    QImage(8, 8, QImage::Format_RGB32).save(good, "BMP");
    const QList<QStringList> bad = {
        {},
        {QStringLiteral("frobnicate")},
        {QStringLiteral("phantom")},
        {QStringLiteral("section"), dir.Path(QStringLiteral("missing.vmr")),
         QStringLiteral("--sag"), QStringLiteral("3"), bmpOut},
        {QStringLiteral("section"), out, QStringLiteral("--sag"), QStringLiteral("256"), bmpOut},
        {QStringLiteral("section"), out, QStringLiteral("--oblique"), QStringLiteral("3"), bmpOut},
        {QStringLiteral("stack"), QStringLiteral("--sag"), out, good},
        {QStringLiteral("stack"), out, good, good},
        {QStringLiteral("stack"), QStringLiteral("--tra"), QStringLiteral("--depth"),
         QStringLiteral("5"), out, good, good},
        {QStringLiteral("stack"), QStringLiteral("--sag"), out, good, notBmp},
        {QStringLiteral("nifti"), notBmp, out},
    };
    for (const QStringList& args : bad) {
        const RunResult r = Zx(args);
        EXPECT_NE(r.code, 0) << args.join(u' ').toStdString();
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("zxconvert: "))) << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(out)) << args.join(u' ').toStdString();
        EXPECT_FALSE(QFile::exists(bmpOut)) << args.join(u' ').toStdString();
    }
    QStringList many{QStringLiteral("stack"), QStringLiteral("--sag"), QStringLiteral("--depth"),
                     QStringLiteral("2"), out};
    for (int i = 0; i < 128; ++i) many << good;
    EXPECT_NE(Zx(many).code, 0);
    EXPECT_FALSE(QFile::exists(out));
}

}  // namespace

namespace {

/// A 4 × 4 × 4 uint8 NIfTI-1 image in RAS order with one bright voxel at
/// the right-anterior-superior corner (i = 3, j = 3, k = 3).
std::vector<std::uint8_t> TinyNifti() {
    std::vector<double> values(64, 10);
    values[3 + 4 * 3 + 16 * 3] = 250;  // i = 3 is the patient's right in RAS
    return zxtest::NiftiFile(zxtest::NiftiFields{}, values);
}

}  // namespace

/// The file's bytes equal the first `planes` planes of `voxels`.
::testing::AssertionResult SameVolume(const QByteArray& file, const zx::ConvertedVolume& v) {
    if (file.size() != qsizetype(v.planes) * 65536)
        return ::testing::AssertionFailure()
               << file.size() << " bytes for " << v.planes << " planes";
    if (std::all_of(file.begin(), file.end(), [](char c) { return c == 0; }))
        return ::testing::AssertionFailure() << "an empty volume";
    if (std::memcmp(file.constData(), v.voxels.data(), std::size_t(file.size())) != 0)
        return ::testing::AssertionFailure()
               << "the bytes differ from the conversion in this process";
    return ::testing::AssertionSuccess();
}

TEST_F(Zxconvert, NiftiAndDicomSeriesBecomeTheVolumeTheViewerShows) {
    const QString in = dir.Write(QStringLiteral("tiny.nii"), TinyNifti());
    const QString out = dir.Path(QStringLiteral("tiny.vmr"));
    const RunResult r = Zx({QStringLiteral("nifti"), in, out});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray d = f.readAll();
    EXPECT_TRUE(SameVolume(d, zx::ConvertNifti(in.toStdString())));
    // 4 voxels of 1 mm: the viewer's voxels keep the 1 mm edge.
    EXPECT_TRUE(Zx({QStringLiteral("info"), out})
                    .out.startsWith(QStringLiteral("planes: 4\nedge_mm: 1\n")));
    // The brightest voxel lies in the first plane (the patient's right),
    // in the upper rows and the front columns.
    const int at =
        int(std::max_element(d.begin(), d.end(),
                             [](char a, char b) { return std::uint8_t(a) < std::uint8_t(b); }) -
            d.begin());
    EXPECT_LT(at / 65536, 4);
    EXPECT_LT((at % 65536) / 256, 128);
    EXPECT_LT(at % 256, 128);

    // Three axial 24 × 24 slices 3 mm apart, slice k holding 300 · k + row.
    QDir(dir.Root()).mkdir(QStringLiteral("serie"));
    for (int k = 0; k < 3; ++k) {
        std::vector<std::uint16_t> samples(24 * 24);
        for (int i = 0; i < 24 * 24; ++i) samples[std::size_t(i)] = std::uint16_t(300 * k + i / 24);
        dir.Write(QStringLiteral("serie/%1.dcm").arg(k),
                  zxtest::AxialSlice(24, 24, 3.0 * k, samples));
    }
    const QString serie = dir.Path(QStringLiteral("serie")),
                  vmr = dir.Path(QStringLiteral("serie.vmr"));
    const RunResult rs = Zx({QStringLiteral("dicom-series"), serie, vmr});
    ASSERT_EQ(rs.code, 0) << rs.err.toStdString();
    EXPECT_TRUE(rs.err.contains(QStringLiteral("Serie 1\tCT\t"))) << rs.err.toStdString();
    QFile fs(vmr);
    ASSERT_TRUE(fs.open(QIODevice::ReadOnly));
    EXPECT_TRUE(SameVolume(fs.readAll(), zx::ConvertDicomSeries(serie.toStdString())));
    EXPECT_TRUE(Zx({QStringLiteral("info"), vmr}).out.contains(QStringLiteral("\nedge_mm: 1\n")));
}

namespace {

TEST_F(Zxconvert, DicomExportAndWebWriteWhatTheViewerWrites) {
    const QString mr =
        QStringLiteral("/usr/lib/python3/dist-packages/pydicom/data/test_files/MR_small.dcm");
    const QString bmp = dir.Path(QStringLiteral("mr.bmp"));
    ASSERT_EQ(Zx({QStringLiteral("dicom"), mr, bmp, QStringLiteral("--center"),
                  QStringLiteral("1000"), QStringLiteral("--width"), QStringLiteral("2000")})
                  .code,
              0);
    const QImage pic(bmp);
    ASSERT_EQ(pic.size(), QSize(64, 64));
    EXPECT_EQ(qRed(pic.pixel(20, 10)), 40);  // sample 316: 256 · 316 / 2000 = 40.4

    const auto bytes = zxtest::Pattern(180 * 65536, 3);
    const QString vol = dir.Write(QStringLiteral("v.vmr"), bytes);
    ASSERT_EQ(
        Zx({QStringLiteral("export"), QStringLiteral("--tra"), vol, dir.Path(QStringLiteral("t-"))})
            .code,
        0);
    EXPECT_EQ(QFile(dir.Path(QStringLiteral("t-255.bmp"))).size(), 196662);
    const QImage t0(dir.Path(QStringLiteral("t-7.bmp")));
    EXPECT_EQ(qRed(t0.pixel(37, 5)), 0);  // left of the data
    EXPECT_EQ(qRed(t0.pixel(38, 5)), bytes[zx::VoxelIndex(0, 5, 7)]);

    QDir(dir.Root()).mkdir(QStringLiteral("web"));
    ASSERT_EQ(Zx({QStringLiteral("web"), vol, dir.Path(QStringLiteral("web"))}).code, 0);
    EXPECT_EQ(QDir(dir.Path(QStringLiteral("web"))).entryList(QDir::Files).size(), 81);
    const QImage sag5(dir.Path(QStringLiteral("web/sag_5.bmp")));  // view column 46: plane 8
    EXPECT_EQ(qRed(sag5.pixel(3, 4)), bytes[zx::VoxelIndex(8, 3, 4)]);
}

TEST_F(Zxconvert, RefusesOutputsThatWouldDestroyInputsAndHelps) {
    const QString in = dir.Write(QStringLiteral("x.bmp"), QByteArray("keep"));
    EXPECT_EQ(Zx({QStringLiteral("stack"), QStringLiteral("--sag"), in, in, in}).code, 2);
    EXPECT_EQ(Zx({QStringLiteral("phantom"), QString()}).code, 2);
    EXPECT_EQ(Zx({QStringLiteral("phantom"), dir.Path(QStringLiteral("p.bin"))}).code, 2);
    QFile f(in);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("keep"));

    // A 2-plane volume named like the export's first picture, and one that
    // a picture name reaches through a hard link.
    const QByteArray volume = QByteArray(2 * 65536, char(77));
    const QString x0 = dir.Write(QStringLiteral("x0.bmp"), volume);
    const QString vol = dir.Write(QStringLiteral("v.vmr"), volume);
    ASSERT_EQ(::link(QFile::encodeName(vol).constData(),
                     QFile::encodeName(dir.Path(QStringLiteral("h1.bmp"))).constData()),
              0);
    QDir(dir.Root()).mkdir(QStringLiteral("w"));
    ASSERT_EQ(::link(QFile::encodeName(vol).constData(),
                     QFile::encodeName(dir.Path(QStringLiteral("w/tra_2.bmp"))).constData()),
              0);
    const QList<QStringList> clashes = {
        {QStringLiteral("export"), QStringLiteral("--sag"), x0, dir.Path(QStringLiteral("x"))},
        {QStringLiteral("export"), QStringLiteral("--tra"), vol, dir.Path(QStringLiteral("h"))},
        {QStringLiteral("web"), vol, dir.Path(QStringLiteral("w"))},
        {QStringLiteral("web"), vol, QString()},  // would write into the root folder
        {QStringLiteral("web"), vol},
        {QStringLiteral("web"), vol, dir.Path(QStringLiteral("w")), QStringLiteral("--start"),
         QStringLiteral("-100000,0,0")},
        {QStringLiteral("web"), vol, dir.Path(QStringLiteral("w")), QStringLiteral("--start"),
         QStringLiteral("0,256,0")},
    };
    for (const QStringList& args : clashes) {
        const RunResult r = Zx(args);
        EXPECT_EQ(r.code, 2) << args.join(u' ').toStdString() << r.err.toStdString();
    }
    for (const QString& name : {x0, vol}) {
        QFile v(name);
        ASSERT_TRUE(v.open(QIODevice::ReadOnly));
        EXPECT_EQ(v.readAll(), volume) << name.toStdString();
    }
    EXPECT_EQ(QDir(dir.Path(QStringLiteral("w"))).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("tra_2.bmp")});

    // A volume without a single plane is nothing to show.
    const QString empty = dir.Write(QStringLiteral("empty.vmr"), QByteArray());
    const QString sec = dir.Path(QStringLiteral("sec.bmp"));
    const RunResult r =
        Zx({QStringLiteral("section"), empty, QStringLiteral("--sag"), QStringLiteral("3"), sec});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Die Volumendatei ist leer"))) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(sec));
    EXPECT_EQ(Zx({QStringLiteral("export"), QStringLiteral("--sag"), empty,
                  dir.Path(QStringLiteral("e"))})
                  .code,
              1);

    EXPECT_EQ(Zx({QStringLiteral("--help")}).code, 0);
    EXPECT_EQ(Zx({QStringLiteral("nifti"), QStringLiteral("--help")}).code, 0);
    EXPECT_EQ(Zx({QStringLiteral("--version")}).code, 0);
}

// A volume name (and its companion's) that is a symbolic link: the link is
// replaced by the new file and what it pointed to stays; a link to an input
// is refused.
TEST_F(Zxconvert, AnOutputThatIsALinkIsReplacedAndItsTargetKept) {
    const QString out = dir.Path(QStringLiteral("out.vmr"));
    for (const char* name : {"keep.bin", "keep.txt"}) {
        const QString target = dir.Write(QString::fromLatin1(name), QByteArray("keep"));
        const QString link =
            dir.Path(name[5] == 'b' ? QStringLiteral("out.vmr") : QStringLiteral("out.zxm"));
        ASSERT_EQ(
            ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()),
            0);
    }
    ASSERT_EQ(Zx({QStringLiteral("phantom"), out}).code, 0);
    for (const char* name : {"keep.bin", "keep.txt"}) {
        QFile f(dir.Path(QString::fromLatin1(name)));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), QByteArray("keep")) << name;
    }
    for (const QString& name : {out, dir.Path(QStringLiteral("out.zxm"))})
        EXPECT_FALSE(QFileInfo(name).isSymLink()) << name.toStdString();
    EXPECT_EQ(QFileInfo(out).size(), 16777216);
    EXPECT_EQ(Zx({QStringLiteral("info"), out}).out.count(QStringLiteral("edge_mm: 1\n")), 1);

    const QByteArray volume(2 * 65536, char(77));
    const QString vol = dir.Write(QStringLiteral("v.vmr"), volume);
    const QString bmp = dir.Path(QStringLiteral("l.bmp"));
    ASSERT_EQ(::symlink(QFile::encodeName(vol).constData(), QFile::encodeName(bmp).constData()), 0);
    EXPECT_EQ(
        Zx({QStringLiteral("section"), vol, QStringLiteral("--sag"), QStringLiteral("3"), bmp})
            .code,
        2);
    QFile v(vol);
    ASSERT_TRUE(v.open(QIODevice::ReadOnly));
    EXPECT_EQ(v.readAll(), volume);
}

TEST_F(Zxconvert, AFailedExportLeavesTheFolderAsItWas) {
    const QString vol = dir.Write(QStringLiteral("v.vmr"), zxtest::Pattern(180 * 65536, 3));
    QDir root(dir.Root());
    root.mkdir(QStringLiteral("w"));
    dir.Write(QStringLiteral("w/sag_1.bmp"), QByteArray("old picture"));
    dir.Write(QStringLiteral("w/t-3.bmp"), QByteArray("old slice"));
    root.mkdir(
        QStringLiteral("w/tra_5.bmp"));  // the web export's 59th picture cannot take its name
    root.mkdir(QStringLiteral("w/t-200.bmp"));
    const QDir w(dir.Path(QStringLiteral("w")));
    const QStringList before = w.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    const QList<QStringList> runs = {
        {QStringLiteral("web"), vol, w.path()},
        {QStringLiteral("export"), QStringLiteral("--tra"), vol, w.filePath(QStringLiteral("t-"))},
    };
    for (const QStringList& args : runs) {
        const RunResult r = Zx(args);
        EXPECT_EQ(r.code, 1) << args.join(u' ').toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral(".bmp kann nicht erstellt werden")))
            << r.err.toStdString();
        EXPECT_EQ(w.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
    }
    for (const auto& [name, bytes] :
         {std::pair{"w/sag_1.bmp", "old picture"}, std::pair{"w/t-3.bmp", "old slice"}}) {
        QFile f(dir.Path(QString::fromLatin1(name)));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), QByteArray(bytes)) << name;
    }
}

TEST_F(Zxconvert, RenderWritesThe3DViewAndRefusesBadCalls) {
    const QString vol = dir.Path(QStringLiteral("p.vmr")), out = dir.Path(QStringLiteral("r.png"));
    ASSERT_EQ(Zx({QStringLiteral("phantom"), vol}).code, 0);
    ASSERT_EQ(Zx({QStringLiteral("render"), vol, out, QStringLiteral("--size"),
                  QStringLiteral("64"), QStringLiteral("--azimuth"), QStringLiteral("30"),
                  QStringLiteral("--cut"), QStringLiteral("128,128,128")})
                  .code,
              0);
    const QImage png(out);
    ASSERT_EQ(png.size(), QSize(64, 64));
    EXPECT_EQ(png.pixel(0, 0) & 0xffffff, 0u);    // background
    EXPECT_NE(png.pixel(32, 32) & 0xffffff, 0u);  // head
    const QString bad = dir.Path(QStringLiteral("bad.png"));
    EXPECT_EQ(
        Zx({QStringLiteral("render"), vol, bad, QStringLiteral("--mode"), QStringLiteral("x")})
            .code,
        2);
    EXPECT_EQ(
        Zx({QStringLiteral("render"), vol, bad, QStringLiteral("--cut"), QStringLiteral("1,2")})
            .code,
        2);
    EXPECT_EQ(Zx({QStringLiteral("render"), vol, vol}).code, 2);
    EXPECT_EQ(Zx({QStringLiteral("render"), dir.Path(QStringLiteral("none.vmr")), bad}).code, 1);
    EXPECT_FALSE(QFile::exists(bad));
    EXPECT_EQ(QFile(vol).size(), 16777216);
}

}  // namespace

namespace {

TEST_F(Zxconvert, MosaicTilesAreTheSectionsZxconvertWritesRowByRow) {
    const QString vol = dir.Write(QStringLiteral("v.vmr"), zxtest::Pattern(180 * 65536, 9));
    const QString out = dir.Path(QStringLiteral("m.png"));
    ASSERT_EQ(Zx({QStringLiteral("mosaic"), vol, out, QStringLiteral("--cor"),
                  QStringLiteral("--from"), QStringLiteral("10"), QStringLiteral("--to"),
                  QStringLiteral("40"), QStringLiteral("--every"), QStringLiteral("7"),
                  QStringLiteral("--columns"), QStringLiteral("3")})
                  .code,
              0);
    // Planes 10, 17, 24, 31, 38: ceil(5 / 3) = 2 rows of three 256 × 256 tiles.
    const QImage mosaic(out);
    ASSERT_EQ(mosaic.size(), QSize(768, 512));
    const int planes[] = {10, 17, 24, 31, 38};
    for (int i = 0; i < 5; ++i) {
        const QString bmp = dir.Path(QStringLiteral("s%1.bmp").arg(i));
        ASSERT_EQ(Zx({QStringLiteral("section"), vol, QStringLiteral("--cor"),
                      QString::number(planes[i]), bmp})
                      .code,
                  0);
        const QImage section(bmp);
        const int left = (i % 3) * 256, top = (i / 3) * 256;
        for (int r = 0; r < 256; ++r)
            for (int c = 0; c < 256; ++c)
                ASSERT_EQ(mosaic.pixel(left + c, top + r) & 0xffffff,
                          section.pixel(c, r) & 0xffffff)
                    << "tile " << i << " pixel " << c << "," << r;
    }
    for (int r = 256; r < 512; r += 17)
        for (int c = 512; c < 768; c += 13) ASSERT_EQ(mosaic.pixel(c, r) & 0xffffff, 0u);

    // Without --to the sagittal planes end at the volume's last (179); the
    // labels change the tile's corner, not its middle.
    const QString labelled = dir.Path(QStringLiteral("l.png"));
    ASSERT_EQ(Zx({QStringLiteral("mosaic"), vol, labelled, QStringLiteral("--sag"),
                  QStringLiteral("--every"), QStringLiteral("60"), QStringLiteral("--labels")})
                  .code,
              0);
    const QImage l(labelled);
    EXPECT_EQ(l.size(), QSize(8 * 256, 256));  // planes 0, 60, 120; eight columns
    const QString plain = dir.Path(QStringLiteral("p.png"));
    ASSERT_EQ(Zx({QStringLiteral("mosaic"), vol, plain, QStringLiteral("--sag"),
                  QStringLiteral("--every"), QStringLiteral("60")})
                  .code,
              0);
    const QImage p(plain);
    EXPECT_EQ(l.pixel(256 + 128, 128), p.pixel(256 + 128, 128));
    EXPECT_EQ(l.pixel(256 + 6, 6) & 0xffffff, 0xffd700u);  // the "6" of 60, in the letters' gold

    // Misuse exits 2, a volume that cannot be read 1; no picture either way.
    const QString bad = dir.Path(QStringLiteral("bad.png"));
    const QList<QStringList> misuse = {
        {vol, bad},
        {vol, bad, QStringLiteral("--sag"), QStringLiteral("--tra")},
        {vol, bad, QStringLiteral("--tra"), QStringLiteral("--from"), QStringLiteral("9"),
         QStringLiteral("--to"), QStringLiteral("8")},
        {vol, bad, QStringLiteral("--tra"), QStringLiteral("--every"), QStringLiteral("0")},
        {vol, bad, QStringLiteral("--tra"), QStringLiteral("--columns")},
        {vol, dir.Path(QStringLiteral("bad.bmp")), QStringLiteral("--tra")},
        {vol, vol, QStringLiteral("--tra")},
    };
    for (const QStringList& args : misuse) {
        const RunResult r = Zx(QStringList{QStringLiteral("mosaic")} + args);
        EXPECT_EQ(r.code, 2) << args.join(u' ').toStdString();
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("zxconvert: "))) << r.err.toStdString();
    }
    EXPECT_EQ(Zx({QStringLiteral("mosaic"), dir.Path(QStringLiteral("none.vmr")), bad,
                  QStringLiteral("--tra")})
                  .code,
              1);
    EXPECT_FALSE(QFile::exists(bad));
    EXPECT_FALSE(QFile::exists(dir.Path(QStringLiteral("bad.bmp"))));
    EXPECT_EQ(QFile(vol).size(), 180 * 65536);
}

}  // namespace
