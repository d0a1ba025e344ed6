// The import window's reader: the DICOM byte scan, the sample read and its
// statistics, the grey window, and refusals of what it cannot show.
#include "core/import/image_reader.h"

#include <gtest/gtest.h>

#include <QFile>
#include <utility>

#include "core/volume/runtime_error.h"
#include "support/dicom_bytes.h"
#include "support/temp_dir.h"

namespace {

using zxtest::DicomFields;
using zxtest::DicomFile;

class Reader : public ::testing::Test {
protected:
    zxtest::TempDir dir;
    std::unique_ptr<zx::TImageReader> r = std::make_unique<zx::TImageReader>();
    QString caption;
    void Open(const QByteArray& bytes, const char* name = "x.dcm") {
        r->OpenAFile(dir.Write(QString::fromLatin1(name), bytes), caption);
    }
};

TEST_F(Reader, ImplicitFileGivesCaptionSamplesAndTheStatisticsWithTheirDivisor) {
    // 1000 everywhere, 1100 at the second sample, 60000 in the last seven,
    // which the statistics leave out: the sum of the 65,529 samples summed
    // is 65,529,100, divided by all 65,536 read: 999 (1000 with the summed
    // count as divisor, 1006 with every sample summed).
    std::vector<std::uint16_t> samples(65536, 1000);
    samples[1] = 1100;
    for (int i = 65529; i < 65536; ++i) samples[std::size_t(i)] = 60000;
    const QByteArray file = DicomFile({}, samples);
    r->WinCenter = 1000, r->WinWidth = 400;  // samples 800 … 1200 over the greys
    Open(file);
    EXPECT_EQ(caption, QStringLiteral("Rows: 256 Columns: 256"));
    EXPECT_TRUE(r->IsDicom);
    EXPECT_EQ(r->PixelDataPos, file.size() - 131072);
    EXPECT_EQ(r->BytesRead, 131072);
    EXPECT_EQ(r->MeanValue, 999);
    EXPECT_EQ(r->MaxValue, 1100);
    EXPECT_EQ(r->PixBuf[1], 1100);
    const QImage pic = r->CopyBufToPic();
    EXPECT_EQ(pic.size(), QSize(256, 256));
    EXPECT_EQ(pic.pixel(0, 0), qRgb(128, 128, 128));  // 256 · 200 / 400
    EXPECT_EQ(pic.pixel(1, 0), qRgb(192, 192, 192));  // 256 · 300 / 400
    EXPECT_EQ(pic.pixel(255, 255), qRgb(255, 255, 255));
}

TEST_F(Reader, ExplicitLayoutReadsSamplesBehindTheTwelveByteHeaderAndWidensEightBits) {
    DicomFields s;
    s.explicitVr = true;
    s.transferSyntax = "1.2.840.10008.1.2.1";
    Open(DicomFile(s, {11, 22, 33, 44}));
    EXPECT_EQ(r->PixBuf[0], 11);
    EXPECT_EQ(r->PixBuf[3], 44);
    s.bitsAllocated = 8;
    Open(DicomFile(s, {200, 7, 255}));
    EXPECT_EQ(r->PixBuf[0], 200);
    EXPECT_EQ(r->PixBuf[2], 255);
    EXPECT_EQ(r->BytesRead, 6);
}

TEST_F(Reader, BlockEdgesAndALaterMatchInTheSameBlock) {
    // Rows tag at 1020: its value bytes lie in the next block, so it is not seen.
    QByteArray f(1020, '\0');
    f += zxtest::Element(0x0028, 0x0010, "US", zxtest::U16(77), false);
    f += QByteArray(100, '\0');
    r->Rows = 5;
    Open(f);
    EXPECT_EQ(r->Rows, 5);
    EXPECT_FALSE(r->IsDicom);
    // Two Pixel Data tags in one block: the later one counts.
    QByteArray g = zxtest::Element(0x7FE0, 0x0010, "OW", zxtest::U16(1) + zxtest::U16(2), false);
    const int second = int(g.size()) + 8;
    g += zxtest::Element(0x7FE0, 0x0010, "OW", zxtest::U16(9) + zxtest::U16(9), false);
    Open(g);
    EXPECT_EQ(r->PixelDataPos, second + 0);
    EXPECT_EQ(r->PixBuf[0], 9);
}

TEST_F(Reader, WindowArithmetic) {
    r->WinCenter = 100, r->WinWidth = 200;
    r->CalcWindow();
    EXPECT_EQ(r->WinLow, 0);
    EXPECT_EQ(r->WinRange, 200);
    EXPECT_EQ(r->Grey(0), 0);
    EXPECT_EQ(r->Grey(100), 128);
    EXPECT_EQ(r->Grey(199), 255);
    EXPECT_EQ(r->Grey(60000), 255);
    r->WinCenter = 1000, r->WinWidth = 400;
    r->CalcWindow();
    EXPECT_EQ(r->WinLow, 800);
    EXPECT_EQ(r->Grey(800), 0);
    EXPECT_EQ(r->Grey(1000), 128);
    EXPECT_EQ(r->Grey(1200), 255);
    r->WinCenter = 50, r->WinWidth = 200;
    r->CalcWindow();
    EXPECT_EQ(r->WinRange, 150);
    EXPECT_EQ(r->Grey(75), 128);
    r->WinCenter = 0, r->WinWidth = 0;  // a width of 0: no division by zero
    r->CalcWindow();
    EXPECT_EQ(r->Grey(0), 0);
    EXPECT_EQ(r->Grey(1), 255);
    r->IsDicom = true, r->MaxValue = 1500, r->MeanValue = 300;
    r->AutoWindow();
    EXPECT_EQ(r->WinCenter, 700);
    EXPECT_EQ(r->WinWidth, 1100);
    EXPECT_EQ(r->WinLow, 150);
}

TEST_F(Reader, ShortFilesKeepOlderSamplesAndNeverDivideByZero) {
    Open(DicomFile({}, std::vector<std::uint16_t>(16, 500)));
    DicomFields s;
    s.pixelLength = 131072;  // claims more than the file holds
    QByteArray f = DicomFile(s, {});
    f.append(char(3));  // one byte behind the tag
    Open(f);
    EXPECT_EQ(r->BytesRead, 1);
    EXPECT_EQ(r->MeanValue, 0);
    EXPECT_EQ(r->PixBuf[5], 500);
}

TEST_F(Reader, RefusesWhatItCannotShowAndKeepsItsState) {
    Open(DicomFile({}, {1, 2, 3}));
    caption = QStringLiteral("vorher");
    const auto check = [&](const QByteArray& bytes, const char* words) {
        try {
            Open(bytes);
            ADD_FAILURE() << words;
        } catch (const zx::RuntimeError& e) {
            EXPECT_TRUE(e.text().contains(QString::fromUtf8(words))) << e.text().toStdString();
        }
        EXPECT_FALSE(r->IsDicom);
        EXPECT_EQ(r->Rows, 256);
        EXPECT_EQ(r->PixBuf[2], 3);
        EXPECT_EQ(caption, QStringLiteral("vorher"));
    };
    DicomFields big;
    big.rows = big.columns = 1100;
    check(DicomFile(big, {}), "zu groß");
    DicomFields encapsulated;
    encapsulated.explicitVr = true;
    encapsulated.pixelLength = -1;
    check(DicomFile(encapsulated, {}), "komprimierte");
    DicomFields jpeg;
    jpeg.transferSyntax = "1.2.840.10008.1.2.4.50";
    check(DicomFile(jpeg, {1}), "komprimierte");
    DicomFields bigEndian;
    bigEndian.transferSyntax = "1.2.840.10008.1.2.2";
    check(DicomFile(bigEndian, {1}), "Big-Endian");
    EXPECT_THROW(Open(QByteArray(), "missing/none.dcm"), zx::RuntimeError);

    // 2 MiB of samples plus a 64 MiB header margin is the most it opens:
    // one byte more is refused before it is scanned. Both files are sparse.
    const QString path = dir.Path(QStringLiteral("large.dcm"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.resize(69206019));
    f.close();
    try {
        r->OpenAFile(path, caption);
        ADD_FAILURE() << "a file past the limit was scanned";
    } catch (const zx::RuntimeError& e) {
        EXPECT_TRUE(e.text().startsWith(QString::fromUtf8("Datei zu groß")))
            << e.text().toStdString();
    }
    EXPECT_EQ(r->Rows, 256);
    // At the limit the whole file is scanned, 256 KiB at a time: a Rows
    // element near its end is found, and the scan ends on an empty block.
    ASSERT_TRUE(f.open(QIODevice::ReadWrite) && f.resize(69206018) && f.seek(69205918));
    f.write(zxtest::Element(0x0028, 0x0010, "US", zxtest::U16(77), false));
    f.close();
    r->OpenAFile(path, caption);
    EXPECT_EQ(r->Rows, 77);
    EXPECT_FALSE(r->IsDicom);
    EXPECT_EQ(r->BytesRead, 0);
}

TEST(ReaderNames, OnlyTheBmpExtensionGoesToTheBitmapReader) {
    EXPECT_TRUE(zx::TImageReader::IsBmpName(QStringLiteral("/a/scan.bmp")));
    EXPECT_TRUE(zx::TImageReader::IsBmpName(QStringLiteral("SCAN.Bmp")));
    EXPECT_FALSE(zx::TImageReader::IsBmpName(QStringLiteral("scan.bmp.dcm")));
    EXPECT_FALSE(zx::TImageReader::IsBmpName(QStringLiteral("a.bmp/scan")));
}

// Files from Debian's python3-pydicom, written by other software.
TEST(ReaderRealFiles, PydicomTestFilesShowTheirPixelValues) {
    const QString base = QStringLiteral("/usr/lib/python3/dist-packages/pydicom/data/test_files/");
    struct Case {
        const char* name;
        int rows, cols, r, c, value, grey;
    };
    // Reference values as pydicom decodes them; the greys in the window
    // centre 500, width 1000 (samples 0 … 1000): 256 · value / 1000 rounded.
    for (const Case& k : {Case{"MR_small.dcm", 64, 64, 10, 20, 316, 81},
                          Case{"MR_small_implicit.dcm", 64, 64, 10, 20, 316, 81},
                          Case{"MR_small_padded.dcm", 64, 64, 0, 0, 905, 232},
                          Case{"CT_small.dcm", 128, 128, 10, 20, 185, 47}}) {
        const QString path = base + QString::fromLatin1(k.name);
        ASSERT_TRUE(QFile::exists(path)) << k.name << ": the install script brings python3-pydicom";
        auto r = std::make_unique<zx::TImageReader>();
        QString caption;
        r->WinCenter = 500, r->WinWidth = 1000;
        r->OpenAFile(path, caption);
        ASSERT_TRUE(r->IsDicom) << k.name;
        EXPECT_EQ(r->Rows, k.rows);
        EXPECT_EQ(r->Columns, k.cols);
        EXPECT_EQ(r->PixBuf[std::size_t(k.r * k.cols + k.c)], k.value) << k.name;
        const QImage pic = r->CopyBufToPic();
        EXPECT_EQ(pic.pixel(k.c, k.r), qRgb(k.grey, k.grey, k.grey)) << k.name;
    }
    // What would show striped or scrambled is refused, naming the reason.
    auto r = std::make_unique<zx::TImageReader>();
    QString caption;
    for (const auto& [name, reason] :
         {std::pair{"MR_small_bigendian.dcm", "Big-Endian"},
          std::pair{"SC_rgb_small_odd.dcm", "Farbbild (RGB)"},
          std::pair{"SC_ybr_full_422_uncompressed.dcm", "Farbbild (YBR_FULL_422)"},
          std::pair{"rtdose_1frame.dcm", "32 Bit je Bildpunkt"}}) {
        try {
            r->OpenAFile(base + QString::fromLatin1(name), caption);
            ADD_FAILURE() << name;
        } catch (const zx::RuntimeError& e) {
            EXPECT_TRUE(e.text().contains(QString::fromUtf8(reason))) << e.text().toStdString();
        }
    }
}

}  // namespace
