// The DICOM reader child as the viewer and zxconvert start it: each way it
// can fail is refused in German. Small shell stand-ins take the reader's
// place; they write raw bytes of the result block (status, plane count) to
// the descriptor the reader is given.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <chrono>
#include <cstdlib>
#include <string>

#include "convert/dicom_helper.h"
#include "support/temp_dir.h"

namespace {

class DicomChild : public ::testing::Test {
protected:
    zxtest::TempDir dir;
    ~DicomChild() override { ::unsetenv("ZEREBRIX_DICOM_READER"); }

    /// A stand-in reader running `body` under /bin/sh, named in the environment.
    std::string Reader(const char* name, const char* body) {
        const QString path =
            dir.Write(QString::fromLatin1(name), QByteArray("#!/bin/sh\n") + body + '\n');
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ::setenv("ZEREBRIX_DICOM_READER", path.toLocal8Bit().constData(), 1);
        return path.toStdString();
    }

    std::string Refusal(std::chrono::milliseconds limit = std::chrono::milliseconds(20000)) {
        try {
            zx::ConvertDicomSeriesApart(dir.Root().toStdString(), limit);
        } catch (const std::exception& e) {
            return e.what();
        }
        return "accepted";
    }
};

// status 0 and 5 planes: a block that would pass on its own.
constexpr char kGoodBlock[] = "printf '\\000\\000\\000\\000\\005\\000\\000\\000' >&3";

TEST_F(DicomChild, EveryFailureOfTheReaderIsRefusedInGerman) {
    Reader("crash", (std::string(kGoodBlock) + "; kill -SEGV $$").c_str());
    EXPECT_NE(Refusal().find("an der der DICOM-Leser scheitert"), std::string::npos) << Refusal();
    Reader("fails", (std::string(kGoodBlock) + "; exit 3").c_str());
    EXPECT_NE(Refusal().find("an der der DICOM-Leser scheitert"), std::string::npos) << Refusal();

    Reader("planes", "printf '\\000\\000\\000\\000\\054\\001\\000\\000' >&3");  // 300 planes
    EXPECT_NE(Refusal().find("ein unbrauchbares Ergebnis geliefert"), std::string::npos)
        << Refusal();
    Reader("status", "printf '\\007\\000\\000\\000\\005\\000\\000\\000' >&3");  // status 7
    EXPECT_NE(Refusal().find("ein unbrauchbares Ergebnis geliefert"), std::string::npos)
        << Refusal();
    Reader("silent", "exit 0");  // the block left as the viewer prepared it
    EXPECT_NE(Refusal().find("ein unbrauchbares Ergebnis geliefert"), std::string::npos)
        << Refusal();

    ::setenv("ZEREBRIX_DICOM_READER", dir.Path(QStringLiteral("missing")).toLocal8Bit().constData(),
             1);
    EXPECT_NE(Refusal().find("kann nicht gestartet werden"), std::string::npos) << Refusal();

    Reader("hangs", "exec sleep 30");
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_NE(Refusal(std::chrono::milliseconds(300)).find("nicht innerhalb von 1 s gelesen"),
              std::string::npos);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
}

TEST_F(DicomChild, ZxconvertReportsTheReadersFailure) {
    const std::string reader = Reader("crash", "kill -SEGV $$");
    QProcess p;
    p.start(QStringLiteral(ZXCONVERT_PATH),
            {QStringLiteral("dicom-series"), dir.Root(), dir.Path(QStringLiteral("out.vmr"))});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(p.readAllStandardError())
                    .contains(QStringLiteral("DICOM-Leser scheitert")));
    EXPECT_FALSE(QFile::exists(dir.Path(QStringLiteral("out.vmr"))));
}

}  // namespace
