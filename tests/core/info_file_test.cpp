// The ".zxi" info file: tags, counts, the picture and damaged files.
#include "core/volume/info_file.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>

#include "core/volume/runtime_error.h"
#include "support/temp_dir.h"

namespace {

using Stop = zx::InfoFile::Stop;

QByteArray ShortString(const QByteArray& s) { return char(s.size()) + s; }
QByteArray Int32(int v) {
    QByteArray b(4, 0);
    for (int i = 0; i < 4; ++i) b[i] = char((unsigned(v) >> (8 * i)) & 0xff);
    return b;
}
QByteArray Bmp(int w, int h, QRgb colour) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(colour);
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "BMP");
    return bytes;
}

/// An info file from its parts; the defaults make a good one.
struct Builder {
    QByteArray id = "ZX1234";
    QByteArray commentsTag = "#Comments";
    int count = 2;
    QList<QByteArray> comments = {"Kopf, T1", "Ein Kommentar"};
    QByteArray bitmapsTag = "#Bitmaps";
    int pictures = 1;
    QByteArray picture = Bmp(200, 200, qRgb(10, 20, 30));

    QByteArray Bytes() const {
        QByteArray b = id + ShortString("Titel") + ShortString(commentsTag) + Int32(count);
        for (const QByteArray& c : comments) b += ShortString(c);
        return b + ShortString(bitmapsTag) + Int32(pictures) + picture;
    }
};

class InfoFileTest : public ::testing::Test {
protected:
    zxtest::TempDir dir;
    zx::InfoFile Read(const Builder& b) { return zx::ReadInfoFile(dir.Write("v.zxi", b.Bytes())); }
    zx::InfoFile ReadBytes(const QByteArray& bytes) {
        return zx::ReadInfoFile(dir.Write("v.zxi", bytes));
    }
};

TEST_F(InfoFileTest, GoodFileGivesCommentsInOrderAndThePicture) {
    const zx::InfoFile info = Read(Builder{});
    EXPECT_EQ(info.stop, Stop::None);
    EXPECT_EQ(info.comments,
              (QStringList{QStringLiteral("Kopf, T1"), QStringLiteral("Ein Kommentar")}));
    EXPECT_TRUE(info.bitmapsTagRead);
    EXPECT_EQ(info.picture.size(), QSize(200, 200));
    EXPECT_EQ(info.picture.pixel(150, 150) & 0xffffffu, qRgb(10, 20, 30) & 0xffffffu);
}

TEST_F(InfoFileTest, PictureCounts) {
    Builder none;
    none.pictures = 0;
    none.picture.clear();
    zx::InfoFile info = Read(none);
    EXPECT_EQ(info.stop, Stop::None);
    EXPECT_TRUE(info.bitmapsTagRead);
    EXPECT_TRUE(info.picture.isNull());

    Builder three;  // one picture is read, whatever the count says
    three.pictures = 3;
    info = Read(three);
    EXPECT_EQ(info.stop, Stop::None);
    EXPECT_EQ(info.pictureCount, 3);
    EXPECT_FALSE(info.picture.isNull());
}

TEST_F(InfoFileTest, ZeroOrNegativeCommentCountGivesNoLines) {
    for (int c : {0, -4}) {
        Builder b;
        b.count = c;
        b.comments.clear();
        const zx::InfoFile info = Read(b);
        EXPECT_EQ(info.stop, Stop::None) << c;
        EXPECT_TRUE(info.commentsTagRead);
        EXPECT_TRUE(info.comments.isEmpty());
    }
}

TEST_F(InfoFileTest, WrongTagsStopTheReading) {
    Builder noComments;
    noComments.commentsTag = "#Kommentare";
    zx::InfoFile info = Read(noComments);
    EXPECT_EQ(info.stop, Stop::NoComments);
    EXPECT_FALSE(info.commentsTagRead);

    Builder noBitmaps;
    noBitmaps.bitmapsTag = "#Bilder";
    info = Read(noBitmaps);
    EXPECT_EQ(info.stop, Stop::NoBitmaps);
    EXPECT_EQ(info.comments.size(), 2);
    EXPECT_FALSE(info.bitmapsTagRead);
}

TEST_F(InfoFileTest, WrongIdentifierRaisesAndABadPictureIsReported) {
    Builder wrongId;
    wrongId.id = "XZ1234";
    try {
        Read(wrongId);
        FAIL();
    } catch (const zx::RuntimeError& e) {
        EXPECT_EQ(e.text(), QStringLiteral("Falsche Dateikennung InfoFile"));
    }
    Builder badPicture;
    badPicture.picture = "BM not really a bitmap";
    const zx::InfoFile info = Read(badPicture);
    EXPECT_TRUE(info.pictureInvalid);
    EXPECT_EQ(info.comments.size(), 2);  // read before the picture
    EXPECT_FALSE(info.bitmapsTagRead);
}

TEST_F(InfoFileTest, DamagedFilesStopAtTheEndWithoutReadingFurther) {
    Builder fewer;  // announces 5 comment lines, holds 2 and nothing after
    fewer.count = 5;
    QByteArray bytes = fewer.Bytes();
    bytes.truncate(bytes.indexOf("#Bitmaps") - 1);
    zx::InfoFile info = ReadBytes(bytes);
    EXPECT_EQ(info.stop, Stop::Truncated);
    EXPECT_EQ(info.comments.size(), 2);

    // A string whose length byte runs past the end.
    info = ReadBytes(QByteArray("ZX1234") + ShortString("Titel") + ShortString("#Comments") +
                     Int32(1) + char(200) + "kurz");
    EXPECT_EQ(info.stop, Stop::Truncated);
    EXPECT_TRUE(info.comments.isEmpty());

    Builder noPicture;  // a picture is announced but the file ends
    noPicture.picture.clear();
    info = Read(noPicture);
    EXPECT_EQ(info.stop, Stop::Truncated);
    EXPECT_FALSE(info.bitmapsTagRead);

    info = ReadBytes(QByteArray("ZX1"));
    EXPECT_EQ(info.stop, Stop::Truncated);
}

TEST_F(InfoFileTest, AHugeCommentCountIsADamagedFileNotMillionsOfLines) {
    Builder b;
    b.count = 2147483647;
    QByteArray bytes = b.Bytes();
    bytes.append(QByteArray(1 << 20, '\0'));
    const zx::InfoFile info = ReadBytes(bytes);
    EXPECT_EQ(info.stop, zx::InfoFile::Stop::Truncated);
    EXPECT_TRUE(info.comments.isEmpty());
}

}  // namespace
