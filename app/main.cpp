// Zerebrix-MR: a viewer for 3-D MR and CT volumes of the head.
//
//   zerebrix [--volume N] [FILE | FOLDER]
//   zerebrix --screenshot OUT.png [--at X,Y,Z] [FILE | FOLDER]
//   zerebrix --help | --version
#include <QApplication>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "app/command_line.h"
#include "app/forms.h"
#include "app/main_window.h"

int main(int argc, char** argv) {
    const zx::CommandLine cl = zx::ParseCommandLine(argc, argv);
    if (cl.exitCode) {
        std::fputs(cl.message.toUtf8().constData(), *cl.exitCode == 0 ? stdout : stderr);
        return *cl.exitCode;
    }
    // A picture needs no screen: without a display Qt draws offscreen.
    if (!cl.screenshot.isEmpty() && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    zx::PrepareGermanSystemDates();
    QApplication app(argc, argv);
    if (!cl.screenshot.isEmpty()) return zx::RunScreenshot(cl);
    auto forms = zx::StartViewer(cl.path, cl.options, cl.volume);
    forms->Form1->StartSeries = cl.series;
    const int rc = app.exec();
    forms.reset();
    return rc;
}
