// DICOM series from a folder: grouping, sorting by position, rescaling,
// compressed slices, the refusals, and files written by other software.
#include "convert/dicom_series.h"

#include <gdcmAttribute.h>
#include <gdcmImageChangeTransferSyntax.h>
#include <gdcmImageWriter.h>
#include <gtest/gtest.h>

#include <QDir>
#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <set>
#include <tuple>

#include "convert/dicom_helper.h"
#include "support/temp_dir.h"

namespace {

using Vec3 = std::array<double, 3>;

struct SliceFields {
    std::string series = "1.2.3.4";
    unsigned rows = 32, columns = 32;
    Vec3 origin{0, 0, 0}, rowDir{1, 0, 0}, colDir{0, 1, 0};
    double slope = 1, intercept = 0;
    gdcm::TransferSyntax::TSType syntax = gdcm::TransferSyntax::ExplicitVRLittleEndian;
};

/// Writes one CT slice with GDCM whose every sample is `value` plus the
/// column (so the columns can be told apart); with `frames` > 1, a
/// multi-frame file of slices 1 mm apart, frame f holding value + 100 · f.
void WriteSlice(const std::string& path, const SliceFields& s, int value, unsigned frames = 1) {
    gdcm::ImageWriter w;
    gdcm::Image& im = w.GetImage();
    im.SetNumberOfDimensions(frames > 1 ? 3 : 2);
    im.SetDimension(0, s.columns);
    im.SetDimension(1, s.rows);
    if (frames > 1) im.SetDimension(2, frames);
    im.SetPixelFormat(gdcm::PixelFormat(gdcm::PixelFormat::INT16));
    im.SetPhotometricInterpretation(gdcm::PhotometricInterpretation::MONOCHROME2);
    for (int i = 0; i < 3; ++i) im.SetOrigin(i, s.origin[i]);
    const double dc[6] = {s.rowDir[0], s.rowDir[1], s.rowDir[2],
                          s.colDir[0], s.colDir[1], s.colDir[2]};
    im.SetDirectionCosines(dc);
    im.SetSpacing(0, 1.0);
    im.SetSpacing(1, 1.0);
    if (frames > 1) im.SetSpacing(2, 1.0);
    im.SetSlope(s.slope);
    im.SetIntercept(s.intercept);
    std::vector<std::int16_t> samples(std::size_t(s.rows) * s.columns * frames);
    for (unsigned f = 0; f < frames; ++f)
        for (unsigned r = 0; r < s.rows; ++r)
            for (unsigned c = 0; c < s.columns; ++c)
                samples[(f * s.rows + r) * s.columns + c] =
                    std::int16_t(value + 100 * int(f) + int(c));
    gdcm::DataElement pixels(gdcm::Tag(0x7fe0, 0x0010));
    pixels.SetByteValue(reinterpret_cast<const char*>(samples.data()),
                        uint32_t(samples.size() * 2));
    im.SetDataElement(pixels);
    im.SetTransferSyntax(gdcm::TransferSyntax::ExplicitVRLittleEndian);
    gdcm::DataSet& ds = w.GetFile().GetDataSet();
    gdcm::Attribute<0x0008, 0x0016> sop{"1.2.840.10008.5.1.4.1.1.2"};  // CT Image Storage
    ds.Replace(sop.GetAsDataElement());
    gdcm::Attribute<0x0020, 0x000e> uid{s.series.c_str()};
    ds.Replace(uid.GetAsDataElement());
    if (s.syntax != gdcm::TransferSyntax::ExplicitVRLittleEndian) {
        gdcm::ImageChangeTransferSyntax change;
        change.SetTransferSyntax(s.syntax);
        change.SetInput(im);
        ASSERT_TRUE(change.Change());
        im = change.GetOutput();
    }
    w.SetFileName(path.c_str());
    ASSERT_TRUE(w.Write()) << path;
}

class DicomSeries : public ::testing::Test {
protected:
    zxtest::TempDir dir;
    std::string Folder(const char* name) {
        QDir(dir.Root()).mkdir(QString::fromLatin1(name));
        return dir.Path(QString::fromLatin1(name)).toStdString();
    }
    /// An axial series of `n` slices 2 mm apart, in shuffled file names;
    /// slice k (k = 0 lowest) holds 100 · (k + 1).
    void AxialSeries(const std::string& folder, int n, SliceFields s = {}) {
        std::vector<int> order(static_cast<std::size_t>(n));
        for (int k = 0; k < n; ++k) order[std::size_t(k)] = k;
        std::shuffle(order.begin(), order.end(), std::mt19937(5));
        for (int k = 0; k < n; ++k) {
            SliceFields t = s;
            t.origin = {0, 0, 2.0 * order[std::size_t(k)]};
            WriteSlice(folder + "/f" + std::to_string(k * 7919 % 101), t,
                       100 * (order[std::size_t(k)] + 1));
        }
    }
    /// The message a series is refused with, or "(kein Fehler)".
    static std::string Refusal(const std::string& folder) {
        try {
            zx::ConvertDicomSeries(folder);
        } catch (const zx::ConvertError& e) {
            return std::string(e.what());
        }
        return std::string("(kein Fehler)");
    }
    static std::uint8_t At(const zx::ConvertedVolume& v, int x, int y, int z) {
        return v.voxels[std::size_t(x) * 65536 + std::size_t(z) * 256 + std::size_t(y)];
    }
};

TEST_F(DicomSeries, SlicesAreSortedByPositionAndALocalizerIsLeftOut) {
    const std::string folder = Folder("axial");
    AxialSeries(folder, 12);
    SliceFields scout;
    scout.series = "9.9.9";
    scout.rows = scout.columns = 16;
    WriteSlice(folder + "/scout", scout, 4000);
    QFile text(QString::fromStdString(folder + "/readme.txt"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("keine DICOM-Datei");
    text.close();
    const zx::ConvertedVolume v = zx::ConvertDicomSeries(folder);
    EXPECT_EQ(v.planes, 32);  // x: 32 columns of 1 mm
    // Viewer z runs from superior to inferior: the highest slice comes first.
    int previous = 256, changes = 0;
    for (int z = 0; z < 256; ++z) {
        const int g = At(v, 16, 128, z);
        if (g == 0) continue;
        EXPECT_LE(g, previous) << z;
        changes += g != previous;
        previous = g;
    }
    EXPECT_GE(changes, 10);
}

TEST_F(DicomSeries, RescaleAndCompressedSlicesGiveTheSameVolume) {
    SliceFields s;
    s.slope = 2;
    s.intercept = -1024;
    const std::string plain = Folder("plain"), mixed = Folder("mixed");
    AxialSeries(plain, 6, s);
    AxialSeries(mixed, 6, s);
    // Two slices of the second folder again, RLE and JPEG lossless encoded.
    for (auto [name, syntax] : {std::pair{"rle", gdcm::TransferSyntax::RLELossless},
                                {"jpeg", gdcm::TransferSyntax::JPEGLosslessProcess14_1}}) {
        SliceFields t = s;
        t.syntax = syntax;
        const int k = std::string(name) == "rle" ? 1 : 4;
        t.origin = {0, 0, 2.0 * k};
        QDir(QString::fromStdString(mixed)).removeRecursively();
        QDir().mkpath(QString::fromStdString(mixed));
        AxialSeries(mixed, 6, s);
        for (const QString& f : QDir(QString::fromStdString(mixed)).entryList(QDir::Files)) {
            const auto samples = zx::DicomFileSamples(mixed + "/" + f.toStdString());
            if (samples[0] == 2.0 * 100 * (k + 1) - 1024)
                QFile::remove(QString::fromStdString(mixed) + u'/' + f);
        }
        WriteSlice(mixed + "/" + name, t, 100 * (k + 1));
        EXPECT_EQ(zx::DicomFileSamples(mixed + "/" + name)[3], 2.0 * (100 * (k + 1) + 3) - 1024);
        EXPECT_EQ(zx::ConvertDicomSeries(mixed).voxels, zx::ConvertDicomSeries(plain).voxels)
            << name;
    }
}

TEST_F(DicomSeries, AnInterceptPerSliceGivesTheVolumeOfOneIntercept) {
    // The same values, once with one intercept and once with slice k
    // stored 7 · k lower under an intercept 7 · k higher (as CT scanners
    // write them): the same volume.
    SliceFields s;
    s.intercept = -1024;
    const std::string one = Folder("one"), each = Folder("each");
    AxialSeries(one, 12, s);
    for (int k = 0; k < 12; ++k) {
        SliceFields t = s;
        t.origin = {0, 0, 2.0 * k};
        t.intercept = -1024 + 7 * k;
        WriteSlice(each + "/s" + std::to_string(k), t, 100 * (k + 1) - 7 * k);
    }
    const zx::ConvertedVolume a = zx::ConvertDicomSeries(one), b = zx::ConvertDicomSeries(each);
    EXPECT_EQ(a.planes, b.planes);
    EXPECT_TRUE(a.voxels == b.voxels);
}

TEST_F(DicomSeries, AMultiFrameFileGivesTheVolumeOfItsSingleSlices) {
    // Six axial slices 1 mm apart, slice k holding 100 · (k + 1): one a
    // file, and as one file of six frames. A multi-frame file among single
    // slices is a part of its own: here the only volume.
    auto write = [&](const std::string& folder,
                     std::initializer_list<std::pair<int, unsigned>> files) {
        for (const auto& [k, frames] : files) {
            SliceFields s;
            s.origin = {0, 0, double(k)};
            WriteSlice(folder + "/f" + std::to_string(k), s, 100 * (k + 1), frames);
        }
    };
    const std::string singles = Folder("singles"), frames = Folder("frames"),
                      mixed = Folder("mixed");
    write(singles, {{0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}});
    write(frames, {{0, 6}});
    write(mixed, {{0, 1}, {1, 2}, {3, 1}, {4, 1}, {5, 1}});
    const zx::ConvertedVolume reference = zx::ConvertDicomSeries(singles);
    EXPECT_EQ(reference.planes, 32);
    EXPECT_EQ(zx::ConvertDicomSeries(frames).voxels, reference.voxels);
    EXPECT_EQ(zx::ConvertDicomSeries(mixed).planes, 32);
    // Six grey levels from the six slices along z in the middle column.
    std::set<int> greys;
    for (int z = 0; z < 256; ++z)
        if (At(reference, 16, 128, z) > 0) greys.insert(At(reference, 16, 128, z));
    EXPECT_GE(greys.size(), 6u);
}

TEST_F(DicomSeries, TheReaderProgramGivesTheSameVolumeAndMessages) {
    // The viewer's way: the series read by zerebrix-dicom in its own process.
    ASSERT_FALSE(zx::DicomReaderPath().empty());
    const std::string folder = Folder("apart");
    AxialSeries(folder, 5);
    const zx::ConvertedVolume apart = zx::ConvertDicomSeriesApart(folder);
    zx::ConvertedVolume here;
    here.voxels.assign(std::size_t{1} << 24, 0);
    const zx::ConvertedVolume read = zx::ReadDicomSeriesHere(folder, here.voxels.data());
    here.planes = read.planes;
    here.voxelEdgeMm = read.voxelEdgeMm;
    EXPECT_EQ(apart.voxels, here.voxels);
    EXPECT_EQ(apart.planes, here.planes);
    EXPECT_EQ(apart.voxelEdgeMm, here.voxelEdgeMm);
    try {
        zx::ConvertDicomSeriesApart(Folder("nothing"));
        ADD_FAILURE() << "an empty folder was accepted";
    } catch (const zx::ConvertError& e) {
        EXPECT_NE(std::string(e.what()).find("ist leer"), std::string::npos) << e.what();
    }
}

TEST_F(DicomSeries, RefusalsSpeakGerman) {
    auto message = [](const std::string& folder) { return Refusal(folder); };
    EXPECT_NE(message(Folder("empty")).find("ist leer"), std::string::npos);
    const std::string texts = Folder("texts");
    QFile f(QString::fromStdString(texts + "/a.dcm"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(300, 'x'));
    f.close();
    EXPECT_NE(message(texts).find("keine DICOM-Bilder"), std::string::npos);
    const std::string one = Folder("one");
    WriteSlice(one + "/a", {}, 5);
    EXPECT_NE(message(one).find("nur eine Schicht"), std::string::npos);
    const std::string sizes = Folder("sizes");
    AxialSeries(sizes, 6);
    SliceFields small;
    small.rows = 16;
    small.origin = {0, 0, 20};
    WriteSlice(sizes + "/small", small, 5);
    // A slice of another size or orientation is a part of its own: the
    // volume beside it is read.
    const zx::ConvertedVolume six = zx::ConvertDicomSeries(sizes);
    const std::string turned = Folder("turned");
    AxialSeries(turned, 6);
    SliceFields sag;
    sag.rowDir = {0, 1, 0};
    sag.colDir = {0, 0, -1};
    WriteSlice(turned + "/sag", sag, 5);
    EXPECT_EQ(zx::ConvertDicomSeries(turned).voxels, six.voxels);
}

TEST_F(DicomSeries, PydicomTestFilesDecodeToTheSameSamplesInEveryEncoding) {
    const std::string base = "/usr/lib/python3/dist-packages/pydicom/data/test_files/";
    const auto reference = zx::DicomFileSamples(base + "MR_small.dcm");
    ASSERT_EQ(reference.size(), 64u * 64u);
    EXPECT_EQ(reference[10 * 64 + 20], 316);  // as pydicom decodes it
    for (const char* name :
         {"MR_small_implicit.dcm", "MR_small_bigendian.dcm", "MR_small_expb.dcm",
          "MR_small_RLE.dcm", "MR_small_jpeg_ls_lossless.dcm", "MR_small_jp2klossless.dcm"}) {
        EXPECT_EQ(zx::DicomFileSamples(base + name), reference) << name;
    }
}

}  // namespace

TEST_F(DicomSeries, HostileSeriesAreRefusedAndDuplicatePositionsKeptOnce) {
    auto message = [](const std::string& folder) { return Refusal(folder); };
    // A damaged DICOM file beside good slices is left out and named, the
    // volume that of the others: Pixel Data declaring almost 4 GiB in a
    // small file, fewer samples than rows × columns need, 65535 × 65535
    // samples declared (more than the reader takes from a file), nothing
    // after the preamble (GDCM's scanner would end the reader), an element
    // of the item group declaring 4 GiB. None of them reaches the decoder's
    // allocations.
    for (const char* how : {"bomb", "short", "huge", "empty", "stray"}) {
        const std::string folder = Folder(how);
        AxialSeries(folder, 3);
        QFile f(QString::fromStdString(folder + "/f0"));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        QByteArray bytes = f.readAll();
        const qsizetype at = bytes.lastIndexOf(QByteArray("\xe0\x7f\x10\x00OW\0\0", 8));
        ASSERT_GT(at, 0);
        const std::string h = how;
        if (h == "bomb" || h == "short") {
            const std::uint32_t length = h == "bomb" ? 0xfefffffeu : 32u;
            for (int i = 0; i < 4; ++i) bytes[at + 8 + i] = char((length >> (8 * i)) & 0xff);
            bytes.truncate(at + 12 + (h == "bomb" ? 2048 : 32));
        } else if (h == "huge") {
            for (const char* tag : {"\x28\x00\x10\x00US\x02\x00", "\x28\x00\x11\x00US\x02\x00"}) {
                const qsizetype t = bytes.indexOf(QByteArray(tag, 8));
                ASSERT_GT(t, 0);
                bytes[t + 8] = bytes[t + 9] = char(0xff);
            }
        } else if (h == "stray") {
            bytes.truncate(at);
            bytes += QByteArray("\xfe\xff\xff\xeeOV\xf7\xff\xff\xff\xff\x31\x65\x46", 14);
        } else {
            bytes = QByteArray(128, '\0') + "DICM";
        }
        f.resize(0);
        f.seek(0);
        f.write(bytes);
        f.close();
        const zx::ConvertedVolume v = zx::ConvertDicomSeries(folder);
        EXPECT_NE(v.notice.find("übergangen: f0."), std::string::npos) << how << v.notice;
        f.copy(QString::fromStdString(folder + "/../" + how + ".dcm"));
        f.remove();
        EXPECT_TRUE(zx::ConvertDicomSeries(folder).voxels == v.voxels) << how;
    }
    // JPEG 2000 slices that GDCM's header reader would walk out of (it
    // asserts on Pixel Data without a fragment, and believes marker
    // lengths): left out like any damage, before the reader sees them.
    for (const char* how : {"nofragment", "overlong"}) {
        const std::string folder = Folder(how);
        SliceFields j2k;
        j2k.syntax = gdcm::TransferSyntax::JPEG2000Lossless;
        AxialSeries(folder, 3, j2k);
        QFile f(QString::fromStdString(folder + "/f0"));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        QByteArray bytes = f.readAll();
        const qsizetype soc = bytes.indexOf(QByteArray("\xff\x4f\xff\x51", 4));
        ASSERT_GT(soc, 8);
        if (std::string(how) == "nofragment") {
            std::uint32_t length = 0;
            std::memcpy(&length, bytes.constData() + soc - 4, 4);
            bytes.remove(soc - 8, 8 + qsizetype(length));
        } else {
            bytes[soc + 4] = bytes[soc + 5] = char(0xff);
        }
        f.resize(0);
        f.seek(0);
        f.write(bytes);
        f.close();
        const zx::ConvertedVolume v = zx::ConvertDicomSeries(folder);
        EXPECT_NE(v.notice.find("übergangen: f0."), std::string::npos) << how << v.notice;
    }
    // Nothing but damaged DICOM files: refused for the first one's damage.
    const std::string damaged = Folder("damaged");
    for (const char* how : {"bomb", "empty"})
        QFile::copy(dir.Path(QString::fromLatin1(how) + ".dcm"),
                    QString::fromStdString(damaged + "/" + how));
    EXPECT_NE(message(damaged).find("bomb kann nicht dekodiert werden"), std::string::npos)
        << message(damaged);
    // Slices at 0, 1 and 100 mm: the gap is named, not stretched.
    const std::string uneven = Folder("uneven");
    for (double z : {0.0, 1.0, 100.0}) {
        SliceFields s;
        s.origin = {0, 0, z};
        WriteSlice(uneven + "/z" + std::to_string(int(z)), s, 7);
    }
    EXPECT_NE(message(uneven).find("ungleichmäßig: zwischen z1 und z100 sind es 99 mm statt 1 mm"),
              std::string::npos)
        << message(uneven);
    // Positions no scanner writes.
    const std::string far = Folder("far");
    for (double z : {-1e308, 1e308}) {
        SliceFields s;
        s.origin = {0, 0, z};
        WriteSlice(far + "/p" + std::to_string(z > 0), s, 7);
    }
    EXPECT_NE(message(far).find("keine gültige Lage im Raum"), std::string::npos) << message(far);
    // A slice written twice: the same volume as without the copy.
    const std::string once = Folder("once"), twice = Folder("twice");
    AxialSeries(once, 4);
    AxialSeries(twice, 4);
    SliceFields copy;
    copy.origin = {0, 0, 2};
    WriteSlice(twice + "/zz", copy, 200);
    EXPECT_EQ(zx::ConvertDicomSeries(twice).voxels, zx::ConvertDicomSeries(once).voxels);
}
