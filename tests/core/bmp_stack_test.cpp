// Bitmap stacks turned into planes: the orientation table, depth, centring,
// pictures of other sizes, and the BMP variants a user may have.
#include "core/volume/bmp_stack.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QtEndian>

#include "core/volume/runtime_error.h"
#include "core/volume/volume.h"
#include "support/temp_dir.h"

namespace {

using zx::Orientation;
using zx::VoxelIndex;

class StackTest : public ::testing::Test {
protected:
    zxtest::TempDir dir;
    std::vector<std::uint8_t> volume = std::vector<std::uint8_t>(zx::kVolumeBytes, 99);

    /// A picture whose red component at (c, r) is (c + r + seed) mod 256.
    QString Picture(const QString& name, int w, int h, int seed) {
        QImage img(w, h, QImage::Format_RGB32);
        for (int r = 0; r < h; ++r)
            for (int c = 0; c < w; ++c) img.setPixel(c, r, qRgb((c + r + seed) % 256, 7, 9));
        const QString p = dir.Path(name);
        img.save(p, "BMP");
        return p;
    }
    static int Red(int c, int r, int seed) { return (c + r + seed) % 256; }
};

TEST_F(StackTest, SagittalPicturesFillAdjacentPlanesFromZero) {
    const QStringList files = {Picture("a.bmp", 256, 256, 0), Picture("b.bmp", 256, 256, 50),
                               Picture("c.bmp", 256, 256, 100)};
    zx::AssembleStack(files, 2, Orientation::Sag, volume.data());
    for (int plane = 0; plane < 6; ++plane) {
        const int seed = (plane / 2) * 50;
        EXPECT_EQ(volume[VoxelIndex(plane, 10, 20)], Red(10, 20, seed)) << plane;
        EXPECT_EQ(volume[VoxelIndex(plane, 255, 3)], Red(255, 3, seed)) << plane;
    }
    EXPECT_EQ(volume[VoxelIndex(6, 10, 20)], 0);  // the rest of the volume is cleared
    EXPECT_EQ(zx::StackSliceCount(6, Orientation::Sag), 6);
}

TEST_F(StackTest, CoronalAndTransversalPicturesAreCentred) {
    const QStringList files = {Picture("a.bmp", 256, 256, 0), Picture("b.bmp", 256, 256, 30)};
    zx::AssembleStack(files, 1, Orientation::Cor, volume.data());
    // o = (256 − 2) div 2 = 127: picture columns are x, rows are z.
    EXPECT_EQ(volume[VoxelIndex(40, 127, 60)], Red(40, 60, 0));
    EXPECT_EQ(volume[VoxelIndex(40, 128, 60)], Red(40, 60, 30));
    EXPECT_EQ(volume[VoxelIndex(40, 126, 60)], 0);

    zx::AssembleStack(files, 1, Orientation::Tra, volume.data());
    // Columns are x, rows are y, the picture index is z.
    EXPECT_EQ(volume[VoxelIndex(40, 60, 127)], Red(40, 60, 0));
    EXPECT_EQ(volume[VoxelIndex(40, 60, 128)], Red(40, 60, 30));
    EXPECT_EQ(zx::StackSliceCount(2, Orientation::Tra), 255);
}

TEST_F(StackTest, SmallPicturesArePaddedWhiteAndLargeOnesCut) {
    zx::AssembleStack({Picture("small.bmp", 100, 100, 5), Picture("large.bmp", 300, 280, 9)}, 1,
                      Orientation::Sag, volume.data());
    EXPECT_EQ(volume[VoxelIndex(0, 99, 99)], Red(99, 99, 5));
    EXPECT_EQ(volume[VoxelIndex(0, 100, 50)], 255);
    EXPECT_EQ(volume[VoxelIndex(0, 50, 100)], 255);
    EXPECT_EQ(volume[VoxelIndex(1, 255, 255)], Red(255, 255, 9));
}

TEST_F(StackTest, UnreadableFilesRaiseErrors) {
    const QString good = Picture("a.bmp", 256, 256, 0);
    EXPECT_THROW(
        zx::AssembleStack({good, dir.Path("missing.bmp")}, 1, Orientation::Sag, volume.data()),
        zx::RuntimeError);
    const QString notBmp = dir.Write("volume.vmr", QByteArray(70000, 'x'));
    try {
        zx::AssembleStack({good, notBmp}, 1, Orientation::Sag, volume.data());
        FAIL();
    } catch (const zx::RuntimeError& e) {
        EXPECT_EQ(e.text(), QString::fromUtf8("Bitmap ist ungültig"));
    }
    EXPECT_THROW(zx::AssembleStack(QStringList(128, good), 2, Orientation::Sag, volume.data()),
                 zx::RuntimeError);
}

/// BMP variants written by ImageMagick: the red component must come through
/// for each storage form.
TEST_F(StackTest, BmpVariantsKeepTheRedComponent) {
    const QString convert = QStandardPaths::findExecutable(QStringLiteral("convert"));
    if (convert.isEmpty()) GTEST_SKIP() << "ImageMagick's convert is not installed";
    // A source picture: red 200 on the left half, 40 on the right, 32 × 16.
    const QString ppm = dir.Path("src.ppm");
    {
        QImage img(32, 16, QImage::Format_RGB32);
        for (int r = 0; r < 16; ++r)
            for (int c = 0; c < 32; ++c)
                img.setPixel(c, r, c < 16 ? qRgb(200, 10, 10) : qRgb(40, 40, 40));
        img.setPixel(0, 0, qRgb(120, 0, 0));  // marks the top-left corner
        ASSERT_TRUE(img.save(ppm, "PPM"));
    }
    struct Variant {
        const char* name;
        QStringList args;
    };
    const Variant variants[] = {
        {"pal8.bmp",
         {QStringLiteral("-type"), QStringLiteral("Palette"), QStringLiteral("-colors"),
          QStringLiteral("16"), QStringLiteral("BMP3:%1")}},
        {"rgb24.bmp",
         {QStringLiteral("-type"), QStringLiteral("TrueColor"), QStringLiteral("BMP3:%1")}},
        {"rgb32.bmp",
         {QStringLiteral("-type"), QStringLiteral("TrueColorAlpha"), QStringLiteral("-alpha"),
          QStringLiteral("on"), QStringLiteral("BMP:%1")}},
        {"rle8.bmp",
         {QStringLiteral("-type"), QStringLiteral("Palette"), QStringLiteral("-compress"),
          QStringLiteral("RLE"), QStringLiteral("BMP3:%1")}},
    };
    for (const Variant& v : variants) {
        const QString out = dir.Path(QString::fromLatin1(v.name));
        QStringList args{ppm};
        for (const QString& a : v.args) args << (a.contains(QLatin1String("%1")) ? a.arg(out) : a);
        ASSERT_EQ(QProcess::execute(convert, args), 0) << v.name;
        zx::AssembleStack({out, out}, 1, Orientation::Sag, volume.data());
        EXPECT_EQ(volume[VoxelIndex(0, 0, 0)], 120) << v.name;
        EXPECT_EQ(volume[VoxelIndex(0, 5, 8)], 200) << v.name;
        EXPECT_EQ(volume[VoxelIndex(0, 20, 15)], 40) << v.name;
        EXPECT_EQ(volume[VoxelIndex(0, 40, 3)], 255) << v.name;
    }
    // Top-down storage: the 24-bit file with its rows reversed and a
    // negative height.
    QFile in(dir.Path(QStringLiteral("rgb24.bmp")));
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    QByteArray bmp = in.readAll();
    const int offset = qFromLittleEndian<qint32>(bmp.constData() + 10);
    const int w = qFromLittleEndian<qint32>(bmp.constData() + 18);
    const int h = qFromLittleEndian<qint32>(bmp.constData() + 22);
    const int stride = (w * 3 + 3) & ~3;
    QByteArray flipped = bmp.left(offset);
    for (int r = h - 1; r >= 0; --r) flipped += bmp.mid(offset + r * stride, stride);
    qToLittleEndian<qint32>(-h, flipped.data() + 22);
    const QString topDown = dir.Write(QStringLiteral("topdown.bmp"), flipped);
    zx::AssembleStack({topDown, topDown}, 1, Orientation::Sag, volume.data());
    EXPECT_EQ(volume[VoxelIndex(0, 0, 0)], 120);
    EXPECT_EQ(volume[VoxelIndex(0, 20, 15)], 40);
}

TEST_F(StackTest, ShortPixelDataAndFilesThatAreNoFilesAreRefused) {
    // A 256 × 256 picture cut after a few rows: Qt would fill the rest with
    // whatever the heap held.
    QFile full(Picture(QStringLiteral("full.bmp"), 256, 256, 1));
    ASSERT_TRUE(full.open(QIODevice::ReadOnly));
    const QString cut = dir.Write(QStringLiteral("cut.bmp"), full.read(3000));
    try {
        zx::LoadBmpFile(cut);
        ADD_FAILURE() << "a cut picture was accepted";
    } catch (const zx::RuntimeError& e) {
        EXPECT_EQ(e.text(), QString::fromUtf8("Bitmap ist ungültig"));
    }
    const QString fifo = dir.Path(QStringLiteral("pipe.bmp"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_THROW(zx::LoadBmpFile(fifo), zx::RuntimeError);  // no endless wait
}

}  // namespace
