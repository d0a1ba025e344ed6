// Volume files of every format read: the same head written in each gives
// the volume the NIfTI path gives; 4-D files; what is refused, and how.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <cstdlib>
#include <random>

#include "convert/nifti.h"
#include "convert/volume_file.h"
#include "support/temp_dir.h"
#include "support/volume_writers.h"

namespace {

using zxtest::Bytes;
using zxtest::TestImage;

// A small head-like image: an ellipsoid with noise, stored as FreeSurfer
// stores its volumes (LIA) with unequal voxel edges.
TestImage Head(int volumes = 1) {
    TestImage im;
    im.dims = {30, 26, 22};
    im.volumes = volumes;
    im.ras = {{{-1.2, 0, 0}, {0, 0, 1.1}, {0, -0.9, 0}}};
    std::mt19937 rng(7);
    for (int t = 0; t < volumes; ++t)
        for (int k = 0; k < im.dims[2]; ++k)
            for (int j = 0; j < im.dims[1]; ++j)
                for (int i = 0; i < im.dims[0]; ++i) {
                    const double r = std::hypot((i - 15) / 13.0, (j - 13) / 11.0, (k - 11) / 9.0);
                    im.values.push_back(
                        std::int16_t((r < 1 ? 900 - 500 * r : 20) + t * 40 + int(rng() % 60)));
                }
    return im;
}

class VolumeFormats : public ::testing::Test {
protected:
    std::string Put(const char* name, const Bytes& b) { return dir.Write(name, b).toStdString(); }
    std::string Put(const char* name, const std::string& s) {
        return Put(name, Bytes(s.begin(), s.end()));
    }
    std::string Refusal(const std::string& path, int volume = 1) {
        try {
            zx::ConvertVolumeFile(path, volume);
        } catch (const zx::ConvertError& e) {
            return e.what();
        }
        return "(converted)";
    }
    zxtest::TempDir dir;
};

TEST_F(VolumeFormats, TheSameHeadInEveryFormatGivesTheNiftiVolume) {
    const TestImage im = Head();
    const zx::ConvertedVolume nifti = zx::ConvertVolumeFile(Put("head.nii", zxtest::NiftiOf(im)));
    const Bytes le = zxtest::Int16Data(im, false);
    const Bytes nrrdGz = zxtest::Gzip(le), metaZ = zxtest::Deflated(le);
    Put("head.raw.gz", nrrdGz);
    Put("head.raw", le);
    Put("head.zraw", metaZ);
    Bytes pair = zxtest::NiftiOf(im);
    pair.resize(348);
    std::memcpy(pair.data() + 344, "ni1\0", 4);
    zxtest::PutNifti<float>(pair, 108, 0, false);  // data from the .img's start
    Put("pair.hdr", pair);
    Put("pair.img", le);
    const std::vector<std::pair<std::string, std::string>> files = {
        {Put("head.mgh", zxtest::Mgh(im)), "MGH"},
        {Put("head.mgz", zxtest::Gzip(zxtest::Mgh(im))), "MGZ"},
        {Put("head.nrrd", zxtest::Concat(zxtest::NrrdHeader(im, false, ""), le)), "NRRD"},
        {Put("gz.nrrd", zxtest::Concat(zxtest::NrrdHeader(im, true, ""), nrrdGz)), "NRRD (gzip)"},
        {Put("head.nhdr", zxtest::NrrdHeader(im, true, "head.raw.gz")), "NRRD (gzip)"},
        {Put("head.mha", zxtest::Concat(zxtest::MetaHeader(im, false, "LOCAL"), le)), "MetaImage"},
        {Put("head.mhd", zxtest::MetaHeader(im, true, "head.zraw", metaZ.size())),
         "MetaImage (zlib)"},
        {dir.Path("pair.img").toStdString(), "NIfTI-1 (.hdr/.img)"},
    };
    for (const auto& [path, format] : files) {
        SCOPED_TRACE(path);
        const zx::ConvertedVolume v = zx::ConvertVolumeFile(path);
        EXPECT_EQ(v.format, format);
        EXPECT_EQ(v.planes, nifti.planes);
        EXPECT_NEAR(v.voxelEdgeMm, nifti.voxelEdgeMm, 1e-6);
        EXPECT_TRUE(v.voxels == nifti.voxels);
    }
}

// nibabel (Debian's python3-nibabel) writes MGZ, NIfTI pairs and Analyze
// from the NIfTI file; the Analyze file holds the data in LAS order, as
// nibabel and SPM assume for it.
TEST_F(VolumeFormats, FilesNibabelWroteGiveTheNiftiVolume) {
    if (!QFile::exists(QStringLiteral("/usr/lib/python3/dist-packages/nibabel/__init__.py")))
        GTEST_SKIP() << "python3-nibabel is not installed";
    const std::string nii = Put("head.nii", zxtest::NiftiOf(Head()));
    const char* script =
        "import sys, nibabel as nib, numpy as np\n"
        "img = nib.load(sys.argv[1]); d = np.asarray(img.dataobj)\n"
        "nib.save(nib.MGHImage(d, img.affine), sys.argv[2] + '/nib.mgz')\n"
        "nib.save(nib.Nifti1Pair(d, img.affine), sys.argv[2] + '/nib.img')\n"
        "las = nib.as_closest_canonical(img)\n"
        "an = nib.AnalyzeImage(np.asarray(las.dataobj)[::-1], None)\n"
        "an.header.set_zooms(las.header.get_zooms()[:3])\n"
        "nib.save(an, sys.argv[2] + '/nib_an.hdr')\n";
    ASSERT_EQ(QProcess::execute(QStringLiteral("/usr/bin/python3"),
                                {QStringLiteral("-c"), QString::fromUtf8(script),
                                 QString::fromStdString(nii), dir.Root()}),
              0);
    const zx::ConvertedVolume nifti = zx::ConvertVolumeFile(nii);
    for (const char* name : {"nib.mgz", "nib.hdr", "nib_an.img"}) {
        SCOPED_TRACE(name);
        const zx::ConvertedVolume v = zx::ConvertVolumeFile(dir.Path(name).toStdString());
        EXPECT_TRUE(v.voxels == nifti.voxels);
        EXPECT_EQ(v.notice.find("Orientierung angenommen") != std::string::npos,
                  std::string(name) == "nib_an.img");
    }
}

// minc-tools (Debian) writes MINC 1 and MINC 2 from the NIfTI files; the
// reader program reads them through libminc.
TEST_F(VolumeFormats, MincFilesOfMincToolsGiveTheNiftiVolume) {
    if (!QFile::exists(QStringLiteral("/usr/bin/nii2mnc")))
        GTEST_SKIP() << "minc-tools is not installed";
    const TestImage four = Head(3);
    TestImage second = Head(1);
    second.values.assign(four.values.begin() + std::ptrdiff_t(second.values.size()),
                         four.values.begin() + 2 * std::ptrdiff_t(second.values.size()));
    const std::string head = Put("head.nii", zxtest::NiftiOf(Head()));
    const std::string fourPath = Put("four.nii", zxtest::NiftiOf(four));
    const QString m1 = dir.Path(QStringLiteral("head.mnc")),
                  m2 = dir.Path(QStringLiteral("head2.mnc"));
    const QString m4 = dir.Path(QStringLiteral("four.mnc"));
    ASSERT_EQ(QProcess::execute(QStringLiteral("nii2mnc"),
                                {QStringLiteral("-quiet"), QString::fromStdString(head), m1}),
              0);
    ASSERT_EQ(QProcess::execute(QStringLiteral("mincconvert"), {QStringLiteral("-2"), m1, m2}), 0);
    ASSERT_EQ(QProcess::execute(QStringLiteral("nii2mnc"),
                                {QStringLiteral("-quiet"), QString::fromStdString(fourPath), m4}),
              0);
    const zx::ConvertedVolume nifti = zx::ConvertVolumeFile(head);
    for (const QString& path : {m1, m2}) {
        const zx::ConvertedVolume v = zx::ConvertVolumeFile(path.toStdString());
        EXPECT_EQ(v.format, "MINC");
        EXPECT_TRUE(v.voxels == nifti.voxels) << path.toStdString();
    }
    const zx::ConvertedVolume v = zx::ConvertVolumeFile(m4.toStdString(), 2);
    EXPECT_EQ(v.notice, "Volumen 2 von 3");
    EXPECT_TRUE(v.voxels ==
                zx::ConvertVolumeFile(Put("second.nii", zxtest::NiftiOf(second))).voxels);
}

TEST_F(VolumeFormats, FourDimensionalFilesGiveTheChosenVolumeAndSayWhich) {
    const TestImage four = Head(3);
    TestImage second = Head(1);
    second.values.assign(four.values.begin() + std::ptrdiff_t(second.values.size()),
                         four.values.begin() + 2 * std::ptrdiff_t(second.values.size()));
    const zx::ConvertedVolume expected =
        zx::ConvertVolumeFile(Put("second.nii", zxtest::NiftiOf(second)));
    const Bytes le = zxtest::Int16Data(four, false);
    for (const std::string& path :
         {Put("four.nii", zxtest::NiftiOf(four)), Put("four.mgz", zxtest::Gzip(zxtest::Mgh(four))),
          Put("four.nrrd", zxtest::Concat(zxtest::NrrdHeader(four, false, ""), le)),
          Put("four.mha", zxtest::Concat(zxtest::MetaHeader(four, false, "LOCAL"), le))}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(zx::ConvertVolumeFile(path).notice, "Volumen 1 von 3");
        const zx::ConvertedVolume v = zx::ConvertVolumeFile(path, 2);
        EXPECT_EQ(v.notice, "Volumen 2 von 3");
        EXPECT_TRUE(v.voxels == expected.voxels);
        EXPECT_NE(Refusal(path, 4).find("Volumen 4 gibt es nicht: die Datei hat 3 Volumen"),
                  std::string::npos);
    }
}

TEST_F(VolumeFormats, FilesThatAreNoImagesAreRefusedSayingWhatTheyAre) {
    zxtest::NiftiFields cifti;
    cifti.version = 2;
    cifti.dim = {6, 1, 1, 1, 1, 91282, 91282, 1};
    Bytes c = zxtest::NiftiHeader(cifti);
    zxtest::PutNifti<std::int32_t>(c, 504, 3001, false);  // dense connectivity
    Bytes matrix = zxtest::NiftiHeader([] {
        zxtest::NiftiFields s;
        s.dim = {5, 1, 1, 1, 1, 400, 1, 1};
        return s;
    }());
    Bytes dicom(200, 0);
    std::memcpy(dicom.data() + 128, "DICM", 4);
    Bytes mgh = zxtest::Mgh(Head());
    mgh.resize(1000);
    const TestImage im = Head();
    std::string ascii = zxtest::NrrdHeader(im, false, "");
    ascii.replace(ascii.find("encoding: raw"), 13, "encoding: ascii");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {Put("conn.dconn.nii", c), "ist eine CIFTI-Datei"},
        {Put("matrix.nii", matrix), "enthält eine Matrix (1 x 1 x 1 x 1 x 400)"},
        {Put("notes.nii", std::string(600, 'x')), "notes.nii: ist keine Volumendatei"},
        {Put("slice.dcm", dicom), "ist eine DICOM-Datei"},
        {Put("brain.mnc", std::string("CDF\x01") + std::string(400, '\0')),
         "ist eine MINC-Datei, aber"},
        {Put("cut.mgh", mgh), "ist eine MGH-Datei, aber"},
        {Put("text.nrrd", ascii), "ist eine NRRD-Datei, aber ihre Daten sind als Text"},
        {Put("huge.mgh",
             [] {
                 TestImage big;
                 big.dims = {2048, 2048, 1024};
                 big.ras = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
                 return zxtest::Mgh(big);
             }()),
         "Datei zu groß"},
        {Put("rgb.mha",
             "ObjectType = Image\nNDims = 3\nDimSize = 4 4 4\nElementType = MET_UCHAR\n"
             "ElementNumberOfChannels = 3\nElementDataFile = LOCAL\n"),
         "ist eine MetaImage-Datei, aber ihre Voxel haben mehrere Werte"},
    };
    for (const auto& [path, fragment] : cases) {
        const std::string message = Refusal(path);
        EXPECT_NE(message.find(fragment), std::string::npos) << message;
    }
}

// zxconvert volume (and its old name nifti): the notice on stderr, the
// format in the companion file, nothing written for a refused file.
TEST_F(VolumeFormats, TheConverterNamesVolumeAndFormatAndWritesNothingOnRefusal) {
    const std::string four = Put("four.mgz", zxtest::Gzip(zxtest::Mgh(Head(3))));
    const QString out = dir.Path(QStringLiteral("out.vmr"));
    QProcess p;
    p.start(QStringLiteral(ZXCONVERT_PATH),
            {QStringLiteral("volume"), QStringLiteral("--volume"), QStringLiteral("3"),
             QString::fromStdString(four), out});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_TRUE(p.readAllStandardError().contains("Hinweis: Volumen 3 von 3"));
    p.start(QStringLiteral(ZXCONVERT_PATH), {QStringLiteral("info"), out});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_TRUE(p.readAllStandardOutput().contains("source_format: MGZ\n"));

    zxtest::NiftiFields cifti;
    cifti.version = 2;
    cifti.dim = {6, 1, 1, 1, 1, 300, 300, 1};
    Bytes c = zxtest::NiftiHeader(cifti);
    zxtest::PutNifti<std::int32_t>(c, 504, 3001, false);
    const QString refused = dir.Path(QStringLiteral("refused.vmr"));
    p.start(QStringLiteral(ZXCONVERT_PATH),
            {QStringLiteral("nifti"), QString::fromStdString(Put("c.dconn.nii", c)), refused});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(p.readAllStandardError().contains("CIFTI"));
    EXPECT_FALSE(QFile::exists(refused));
}

}  // namespace
