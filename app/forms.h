// The program's eight windows, created once in a fixed order and kept for
// the whole run. main and the test fixtures create them the same way.
#pragma once

#include <QFont>
#include <QString>
#include <memory>

namespace zx {

class TForm1;
class TAboutBox;
class TOptDlg;
class THelpDlg;
class TManualWindow;
class TImportBmpDlg;
class TNewBmpForm;
class TWebExportDlg;

struct StartOptions;

struct Forms {
    std::unique_ptr<TForm1> Form1;
    std::unique_ptr<TAboutBox> AboutBox;
    std::unique_ptr<TOptDlg> OptDlg;
    std::unique_ptr<THelpDlg> HelpDlg;
    std::unique_ptr<TManualWindow> ManualWindow;
    std::unique_ptr<TImportBmpDlg> ImportBmpDlg;
    std::unique_ptr<TNewBmpForm> NewBmpForm;
    std::unique_ptr<TWebExportDlg> WebExportDlg;
    ~Forms();
};

/// The font the windows are designed for: an Arial-metric sans serif that
/// the program's install script provides (Liberation Sans), so text widths
/// do not depend on whatever other fonts a machine has.
QFont ProgramFont();

/// The application's title "Zerebrix" and the name its remembered settings
/// go under.
void SetApplicationNames();

/// Before the QApplication exists: the system locale's dates in German, for
/// what Qt takes from the system rather than the default locale (the file
/// dialog's date column). Numbers stay as they are, so that the C library
/// keeps reading files with decimal points.
void PrepareGermanSystemDates();

/// Sets the application names, the program font (8 pt) and Qt's German
/// translations of its own dialogs, and creates the windows in the order
/// main window, about box, options dialog, help dialog, manual, bitmap-import
/// dialog, import window, web-export dialog. Needs a QApplication.
std::unique_ptr<Forms> CreateForms();

/// Shows the main window and brings it to the front; its first activation
/// loads the default volume.
void ShowMainWindow(Forms& forms);

/// The viewer's start: creates the windows, gives the main window the file
/// or folder to open at its first activation (empty: the default volume),
/// lets the components take up the command line's options, and shows it.
std::unique_ptr<Forms> StartViewer(const QString& path, const StartOptions& options,
                                   int volume = 1);

}  // namespace zx
