// The viewer's command line: an optional file or folder to open, and a
// picture of the window made without a screen.
#pragma once

#include <QString>
#include <array>
#include <optional>

#include "components/component.h"

namespace zx {

struct CommandLine {
    QString path;                          ///< file or folder to open at start, or empty
    QString screenshot;                    ///< --screenshot OUT.png
    int series = 0;                        ///< --series N: the DICOM series to open, from 1
    std::optional<std::array<int, 3>> at;  ///< --at X,Y,Z
    StartOptions options;                  ///< --neurological: left on the screen's left
    int volume = 1;                        ///< --volume N: of a 4-D file, the volume shown
    std::optional<int> exitCode;           ///< set when the program ends right away
    QString message;                       ///< what it prints then (stdout for 0, else stderr)
};

/// Reads the arguments; --help and --version end with 0, an unknown option,
/// a missing value or a file or folder that does not exist with 2.
CommandLine ParseCommandLine(int argc, char** argv);

/// Starts the viewer, opens the file (or the default volume), moves the
/// point as typed coordinates would, and saves a PNG of the client area.
/// Messages the viewer would show go to stderr; any of them, or a picture
/// that cannot be written, makes it return 1 without writing the file.
int RunScreenshot(const CommandLine& cl);

}  // namespace zx
