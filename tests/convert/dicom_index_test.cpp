// Folders and CDs of DICOM files written by pydicom: found (DICOMDIR,
// nested folders, links and FIFOs), indexed and classified from their
// headers, listed and chosen by zxconvert; big- and little-endian alike.
#include "convert/dicom_index.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>

#include "convert/dicom_series.h"
#include "convert/rle_decoder.h"
#include "support/temp_dir.h"

namespace {

/// Runs the fixture writer (pydicom) with `args`.
void Pydicom(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
            QStringList{QStringLiteral(ZX_TEST_SUPPORT_DIR "/patient_cd.py")} + args);
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
}

struct ZxRun {
    int code;
    std::string out, err;
};

ZxRun Zx(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(ZXCONVERT_PATH), args);
    p.waitForFinished(60000);
    return {p.exitCode(), p.readAllStandardOutput().toStdString(),
            p.readAllStandardError().toStdString()};
}

std::vector<zx::SeriesKind> Kinds(const zx::DicomIndex& index) {
    std::vector<zx::SeriesKind> kinds;
    for (const auto& s : index.series) kinds.push_back(s.kind);
    return kinds;
}

using K = zx::SeriesKind;

TEST(DicomIndex, APatientCdIsFoundByItsDicomdirOrItsFoldersAndClassified) {
    zxtest::TempDir dir;
    const QString cd = dir.Path(QStringLiteral("cd"));
    Pydicom({QStringLiteral("cd"), cd});
    const std::string root = cd.toStdString();
    // A link back up, a FIFO and a text file do not disturb the search.
    ASSERT_EQ(::symlink("..", (root + "/PT000000/up").c_str()), 0);
    ASSERT_EQ(::mkfifo((root + "/pipe").c_str(), 0600), 0);
    dir.Write(QStringLiteral("cd/LIESMICH"), QByteArray("Patienten-CD"));
    const std::vector<K> expected{K::Localizer, K::Volume, K::Volume, K::Single, K::NoImage};
    const zx::DicomIndex byFolders = zx::IndexDicom(root);
    const zx::DicomIndex byDicomdir = zx::IndexDicom(root + "/DICOMDIR");
    EXPECT_EQ(Kinds(byFolders), expected);
    EXPECT_EQ(Kinds(byDicomdir), expected);
    EXPECT_EQ(byDicomdir.files.size(), 19u);
    const zx::IndexedSeries& t2 = byFolders.series[2];
    EXPECT_EQ(t2.seriesDescription, "T2 sagittal");
    EXPECT_EQ(t2.patient, "Muster Anna");
    EXPECT_EQ(t2.studyDate, "31.01.2024");
    EXPECT_EQ(t2.images, 6);
    EXPECT_DOUBLE_EQ(t2.step, 3);
    EXPECT_EQ(zx::ParseIndex(zx::SerializeIndex(byFolders.series)).size(), 5u);
    // A DICOMDIR naming a file that is gone: its folder is searched.
    ASSERT_TRUE(QFile::remove(cd + QStringLiteral("/PT000000/ST000000/SE000003/IM000000")));
    EXPECT_EQ(Kinds(zx::IndexDicom(root + "/DICOMDIR")),
              (std::vector<K>{K::Localizer, K::Volume, K::Volume, K::NoImage}));

    // Listed, chosen, and refused unchosen (exit 2, nothing written).
    const ZxRun list = Zx({QStringLiteral("dicom-series"), QStringLiteral("--list"), cd});
    EXPECT_EQ(list.code, 0);
    EXPECT_EQ(list.out,
              "1\tMR\t1\tUebersicht\t3\t32x32\tLokalisierer\n"
              "2\tMR\t2\tT1 axial\t8\t32x32\tVolumen\n"
              "3\tMR\t3\tT2 sagittal\t6\t32x24\tVolumen\n"
              "4\tSR\t5\tBefund\t1\t-\tohne Bild\n");
    const QString out = dir.Path(QStringLiteral("t1.vmr"));
    const ZxRun several = Zx({QStringLiteral("dicom-series"), cd, out});
    EXPECT_EQ(several.code, 2);
    EXPECT_NE(several.err.find("2\tMR\t2\tT1 axial"), std::string::npos) << several.err;
    EXPECT_FALSE(QFile::exists(out));
    const ZxRun chosen = Zx({QStringLiteral("dicom-series"), QStringLiteral("--series"),
                             QStringLiteral("2"), cd + QStringLiteral("/DICOMDIR"), out});
    EXPECT_EQ(chosen.code, 0) << chosen.err;
    EXPECT_NE(chosen.err.find("T1 axial"), std::string::npos);
    EXPECT_EQ(QFile(out).size(), 32 * 65536);
    const ZxRun localiser = Zx({QStringLiteral("dicom-series"), QStringLiteral("--series"),
                                QStringLiteral("1"), cd, dir.Path(QStringLiteral("l.vmr"))});
    EXPECT_EQ(localiser.code, 1);
    EXPECT_NE(localiser.err.find("Lokalisierer"), std::string::npos);
}

TEST(DicomIndex, NothingToOpenIsSaidWithWhatWasFound) {
    std::vector<zx::DicomFileHeader> files(4);
    for (std::size_t i = 0; i < files.size(); ++i) {
        zx::DicomFileHeader& h = files[i];
        h.name = std::string(1, char('a' + i));
        h.seriesUid = i == 3 ? "1.3" : i % 2 ? "1.2.1" : "1.2.0";
        h.rows = h.columns = 64;
        h.hasImage = true;
        h.position = {0, 0, double(i)};
        h.orientation = {1, 0, 0, 0, 1, 0};
        h.imageType = i < 3 ? "ORIGINAL\\PRIMARY\\LOCALIZER" : "ORIGINAL\\PRIMARY";
    }
    EXPECT_EQ(zx::NoVolumeMessage(zx::BuildSeriesIndex(files)),
              "3 Serien gefunden, keine davon ist ein Volumen: 2 Lokalisierer, 1 Einzelbild.");
}

TEST(DicomIndex, BigAndLittleEndianSeriesGiveTheSameVolume) {
    for (const char* bits : {"16", "32"}) {
        zxtest::TempDir dir;
        QDir(dir.Root()).mkpath(QStringLiteral("le"));
        QDir(dir.Root()).mkpath(QStringLiteral("be"));
        Pydicom({QStringLiteral("endian"), dir.Root(), QString::fromLatin1(bits)});
        const zx::ConvertedVolume le = zx::ConvertDicomSeries(dir.Path("le").toStdString());
        const zx::ConvertedVolume be = zx::ConvertDicomSeries(dir.Path("be").toStdString());
        EXPECT_EQ(le.voxels, be.voxels) << bits;
        // Samples 1000 + 5000 k + 3 c: the column ramp and the slices apart.
        const std::vector<double> s = zx::DicomFileSamples(dir.Path("be/s2").toStdString());
        ASSERT_EQ(s.size(), 256u) << bits;
        EXPECT_EQ(s[5], 11015) << bits;
    }
}

TEST(DicomIndex, ADamagedRleFrameIsRefusedWithoutAnOverrun) {
    // Two segments of four samples: a run of 4, then literals cut short.
    std::vector<std::uint8_t> frame(64 + 4, 0);
    frame[0] = 2;
    frame[4] = 64;
    frame[8] = 66;
    frame[64] = std::uint8_t(-3);  // the next byte 4 times
    frame[65] = 0x12;
    frame[66] = 3;  // 4 literal bytes, of which 1 is there
    frame[67] = 0x34;
    std::vector<std::uint8_t> out(8 + 1, 0xee);
    EXPECT_FALSE(zx::DecodeRleFrame(frame.data(), frame.size(), 4, 2, out.data()));
    EXPECT_EQ(out[8], 0xee);
    frame.insert(frame.end(), {0x56, 0x78, 0x9a});
    ASSERT_TRUE(zx::DecodeRleFrame(frame.data(), frame.size(), 4, 2, out.data()));
    EXPECT_EQ(out[0], 0x34);  // low byte of sample 0, high byte 0x12
    EXPECT_EQ(out[1], 0x12);
    EXPECT_EQ(out[7], 0x12);
}

}  // namespace
