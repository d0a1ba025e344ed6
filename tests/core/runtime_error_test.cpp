// Integer conversion, the runtime's German messages, and what happens when
// a writer or a split loop fails.
#include "core/volume/runtime_error.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "base/two_halves.h"
#include "core/volume/bmp_write.h"
#include "support/temp_dir.h"

namespace {

TEST(StrToInt, AcceptsSignedDecimalText) {
    EXPECT_EQ(zx::StrToInt(QStringLiteral("007")), 7);
    EXPECT_EQ(zx::StrToInt(QStringLiteral("-5")), -5);
    EXPECT_EQ(zx::StrToInt(QStringLiteral("+300")), 300);
}

TEST(StrToInt, RejectsEverythingElseWithTheRuntimeMessage) {
    for (const char* bad : {"", "-", "+", "12a", " 1", "0x10", "1 ", "99999999999"}) {
        try {
            zx::StrToInt(QString::fromLatin1(bad));
            ADD_FAILURE() << "accepted '" << bad << "'";
        } catch (const zx::RuntimeError& e) {
            EXPECT_EQ(e.text(), QString::fromUtf8("'%1' ist kein gültiger Integerwert")
                                    .arg(QString::fromLatin1(bad)));
        }
    }
}

TEST(ErrorBoxText, FullStopOnlyAfterALetterOrDigit) {
    EXPECT_EQ(zx::ErrorBoxText(QStringLiteral("Datei nicht gefunden")),
              QStringLiteral("Datei nicht gefunden."));
    EXPECT_EQ(zx::ErrorBoxText(QStringLiteral("E/A-Fehler 5")), QStringLiteral("E/A-Fehler 5."));
    EXPECT_EQ(zx::ErrorBoxText(QStringLiteral("Fertig.")), QStringLiteral("Fertig."));
    EXPECT_EQ(zx::ErrorBoxText(QStringLiteral("'' ist")), QStringLiteral("'' ist."));
    EXPECT_EQ(zx::ErrorBoxText(QStringLiteral("Zu viele (3) Schichten !")),
              QStringLiteral("Zu viele (3) Schichten !"));
}

TEST(IoErrorText, MapsOperatingSystemErrors) {
    EXPECT_EQ(zx::IoErrorText(ENOENT), QStringLiteral("Datei nicht gefunden"));
    EXPECT_EQ(zx::IoErrorText(EACCES), QStringLiteral("Dateizugriff verweigert"));
    EXPECT_EQ(zx::IoErrorText(EIO), QStringLiteral("E/A-Fehler %1").arg(EIO));
}

TEST(SaveBmp24, TheMessageKeepsQtsReason) {
    zxtest::TempDir dir;
    const QString path =
        dir.Write(QStringLiteral("datei"), QByteArray("x")) + QStringLiteral("/bild.bmp");
    QImage picture(4, 4, QImage::Format_RGB32);
    try {
        zx::SaveBmp24(picture, path);  // its folder is a file
        ADD_FAILURE() << "saved below a file";
    } catch (const zx::RuntimeError& e) {
        const QString start = QStringLiteral("Datei %1 kann nicht erstellt werden: ").arg(path);
        EXPECT_TRUE(e.text().startsWith(start)) << e.text().toStdString();
        EXPECT_GT(e.text().size(), start.size() + 3) << e.text().toStdString();
    }
}

TEST(InTwoHalves, TheSecondThreadIsJoinedWhenThisHalfThrows) {
    std::atomic<bool> otherDone{false};
    EXPECT_THROW(zx::InTwoHalves(2,
                                 [&](int begin, int) {
                                     if (begin == 1) throw std::runtime_error("Abbruch");
                                     std::this_thread::sleep_for(std::chrono::milliseconds(20));
                                     otherDone = true;
                                 }),
                 std::runtime_error);
    EXPECT_TRUE(otherDone);
}

}  // namespace
