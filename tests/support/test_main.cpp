// Test main of the window tests: one QApplication on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Settings the viewer remembers go to a folder of this test process:
    // never the user's, and never another test process's running beside it.
    const QByteArray config = QDir::tempPath().toUtf8() + "/zerebrix-test-config-" +
                              QByteArray::number(QCoreApplication::applicationPid());
    qputenv("XDG_CONFIG_HOME", config);
    QApplication app(argc, argv);
    struct RemoveConfig {
        QString path;
        ~RemoveConfig() { QDir(path).removeRecursively(); }
    } removeConfig{QString::fromUtf8(config)};
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
