// Integer conversion and the runtime's German messages.
#include <gtest/gtest.h>

#include <cerrno>

#include "core/volume/runtime_error.h"

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

}  // namespace
