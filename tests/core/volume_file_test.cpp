// The ".vmr" reader and writer: plane counts, partial planes, failures that
// must leave the volume as it was.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QDir>
#include <csignal>
#include <cstring>

#include "core/volume/runtime_error.h"
#include "core/volume/vmr_file.h"
#include "core/volume/volume.h"
#include "core/volume/volume_meta.h"
#include "support/temp_dir.h"

using zxtest::Pattern;
using zxtest::TempDir;

namespace {

class VmrReader : public ::testing::Test {
protected:
    TempDir dir;
    std::vector<std::uint8_t> volume = Pattern(zx::kVolumeBytes, 7);  // "the previous volume"
    const std::vector<std::uint8_t> before = volume;

    int Read(const QString& path) { return zx::ReadVmr(path, volume.data()); }
};

TEST(VoxelLayout, XIsSlowestThenZThenY) {
    EXPECT_EQ(zx::VoxelIndex(1, 2, 3), 66306u);
    EXPECT_EQ(zx::VoxelIndex(0, 1, 0), 1u);
    EXPECT_EQ(zx::VoxelIndex(0, 0, 1), 256u);
    EXPECT_EQ(zx::VoxelIndex(255, 255, 255), zx::kVolumeBytes - 1);
}

TEST_F(VmrReader, FullAndOversizedFilesGive256Planes) {
    const auto full = Pattern(zx::kVolumeBytes, 1);
    EXPECT_EQ(Read(dir.Write("full.vmr", full)), 256);
    EXPECT_EQ(volume, full);

    auto big = Pattern(20000000, 2);
    EXPECT_EQ(Read(dir.Write("big.vmr", big)), 256);
    EXPECT_EQ(0, std::memcmp(volume.data(), big.data(), zx::kVolumeBytes));
}

TEST_F(VmrReader, PlaneCountIsLengthRoundedUp) {
    const auto planes180 = Pattern(180 * zx::kPlaneBytes, 3);
    EXPECT_EQ(Read(dir.Write("p180.vmr", planes180)), 180);
    EXPECT_EQ(0, std::memcmp(volume.data(), planes180.data(), planes180.size()));
    // Planes beyond the file keep their previous contents.
    EXPECT_EQ(0, std::memcmp(volume.data() + planes180.size(), before.data() + planes180.size(),
                             zx::kVolumeBytes - planes180.size()));
}

TEST_F(VmrReader, PartialLastPlaneCountsAndKeepsItsTail) {
    const std::size_t n = 3 * zx::kPlaneBytes + 100;
    const auto data = Pattern(n, 4);
    EXPECT_EQ(Read(dir.Write("partial.vmr", data)), 4);
    EXPECT_EQ(0, std::memcmp(volume.data(), data.data(), n));
    EXPECT_EQ(0, std::memcmp(volume.data() + n, before.data() + n, zx::kPlaneBytes - 100));
}

TEST_F(VmrReader, EmptyFileGivesZeroPlanes) {
    EXPECT_EQ(Read(dir.Write("empty.vmr", QByteArray())), 0);
    EXPECT_EQ(volume, before);
}

TEST_F(VmrReader, FailuresRaiseGermanErrorsAndLeaveTheVolume) {
    try {
        Read(dir.Path("missing.vmr"));
        FAIL() << "no error for a missing file";
    } catch (const zx::RuntimeError& e) {
        EXPECT_EQ(e.text(), QString::fromUtf8("Datei nicht gefunden"));
    }
    EXPECT_EQ(volume, before);

    QDir(dir.Root()).mkdir(QStringLiteral("folder.vmr"));
    try {
        Read(dir.Path("folder.vmr"));
        FAIL() << "no error for a directory";
    } catch (const zx::RuntimeError& e) {
        EXPECT_EQ(e.text(), QString::fromUtf8("Dateizugriff verweigert"));
    }
    EXPECT_EQ(volume, before);
}

TEST(VmrWriter, WritesSliceCountPlanesAtLeastOneAndReadsBack) {
    TempDir dir;
    const auto source = Pattern(zx::kVolumeBytes, 9);
    const QString path = dir.Path("out.vmr");
    EXPECT_EQ(zx::WriteVmr(path, source.data(), 180), 180);
    EXPECT_EQ(QFile(path).size(), 180 * 65536);
    std::vector<std::uint8_t> back(zx::kVolumeBytes, 0);
    EXPECT_EQ(zx::ReadVmr(path, back.data()), 180);
    EXPECT_EQ(0, std::memcmp(back.data(), source.data(), 180 * zx::kPlaneBytes));

    EXPECT_EQ(zx::WriteVmr(path, source.data(), 0), 1);  // nothing loaded: plane 0 all the same
    EXPECT_EQ(QFile(path).size(), 65536);
}

TEST(VmrWriter, AtomicWriteLeavesNothingOnFailure) {
    TempDir dir;
    const auto source = Pattern(zx::kVolumeBytes, 5);
    const QString bad = dir.Path("no/such/folder/out.vmr");
    EXPECT_THROW(zx::WriteVmr(bad, source.data(), 4), zx::RuntimeError);
    EXPECT_FALSE(QFile::exists(bad));
    EXPECT_FALSE(QFile::exists(bad + QStringLiteral(".part")));

    const QString good = dir.Path("good.vmr");
    zx::WriteVmr(good, source.data(), 4);
    EXPECT_EQ(QFile(good).size(), 4 * 65536);
    EXPECT_FALSE(QFile::exists(good + QStringLiteral(".part")));
}

TEST(VmrWriter, AWriteFailingPartWayLeavesTheOldFileByteForByte) {
    TempDir dir;
    const auto old = Pattern(10 * 65536, 2);
    const QString path = dir.Write(QStringLiteral("keep.vmr"), old);
    const auto source = Pattern(zx::kVolumeBytes, 6);
    // The device takes three planes, then refuses more (as a full disk does).
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    rlimit small = before;
    small.rlim_cur = 3 * 65536 + 100;
    setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_THROW(zx::WriteVmr(path, source.data(), 180), zx::RuntimeError);
    setrlimit(RLIMIT_FSIZE, &before);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray now = f.readAll();
    EXPECT_TRUE(now ==
                QByteArray(reinterpret_cast<const char*>(old.data()), qsizetype(old.size())));
    EXPECT_EQ(QDir(dir.Root()).entryList(QDir::Files | QDir::Hidden).size(),
              1);  // no temporary file left
}

TEST(VmrFifo, APipeIsRefusedWithoutWaiting) {
    TempDir dir;
    const QString fifo = dir.Path("pipe.vmr");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    std::vector<std::uint8_t> volume(zx::kVolumeBytes, 7);
    EXPECT_THROW(zx::ReadVmr(fifo, volume.data()), zx::RuntimeError);
    EXPECT_EQ(volume[0], 7);
}

TEST(VolumeMeta, OnlyEdgesTheConvertersCouldWriteAreBelieved) {
    // 0.001 … 1000 mm, the converters' voxel spacings; anything else is
    // "unknown" (0), so that rulers never measure with a subnormal edge.
    TempDir dir;
    const QString vmr = dir.Path(QStringLiteral("kopf.vmr"));
    auto edgeOf = [&](const char* text) {
        dir.Write(QStringLiteral("kopf.zxm"), QByteArray("# Zerebrix-MR\nedge_mm: ") + text + '\n');
        return zx::ReadVolumeMeta(vmr).edgeMm;
    };
    for (const char* wrong : {"5e-324", "0.0009", "1000.5", "nan", "inf", "-1", "0"})
        EXPECT_EQ(edgeOf(wrong), 0.0) << wrong;
    EXPECT_EQ(edgeOf("0.001"), 0.001);
    EXPECT_EQ(edgeOf("1000"), 1000.0);
    EXPECT_EQ(edgeOf("0.9375"), 0.9375);
}

}  // namespace
