// Every modal interaction of the program goes through one Prompter: message
// boxes, the open, save and print dialogs, the input box and the modal
// showing of the program's own dialogs. The default shows real Qt dialogs;
// tests install a scripted one that answers from a queue and keeps a record.
#pragma once

#include <QString>
#include <QStringList>

class QDialog;
class QPrinter;

namespace zx {

/// Kinds of message box: error "Fehler", information "Information",
/// confirmation "Bestätigung", plain (no icon), and the application's
/// general error box "Zerebrix".
enum class MsgKind { Error, Information, Confirmation, Plain, Application };

/// Buttons of a message box, combinable; a box answers with one of them.
enum MsgButton : int { mbOK = 1, mbCancel = 2, mbYes = 4, mbNo = 8 };

/// Settings and result of an open-file dialog. `Filter` uses the program's
/// notation: description|pattern|description|pattern.
struct TOpenDialog {
    QString Filter;
    QString DefaultExt;
    QString Title;
    bool AllowMultiSelect = false;
    int FilterIndex = 1;  ///< the filter shown, counted from 1
    /// Name patterns ("*.aal.vmr") the first filter leaves out although
    /// its own pattern takes them: the label volumes beside a head.
    QStringList HiddenByFirstFilter;
    QString FileName;   ///< the chosen (first) file, or a name set beforehand
    QStringList Files;  ///< every file chosen at the last use
};

/// Settings and result of a save-file dialog.
struct TSaveDialog {
    QString Filter;
    QString DefaultExt;
    QString Title;
    QString FileName;
};

class Prompter {
public:
    virtual ~Prompter() = default;
    /// Shows a message box; returns the button that closed it.
    virtual int MessageDlg(MsgKind kind, const QString& title, const QString& text,
                           int buttons) = 0;
    /// Shows the open dialog; false when cancelled (then `dlg` is unchanged).
    virtual bool OpenFiles(TOpenDialog& dlg) = 0;
    /// A folder dialog; false when cancelled. `folder` holds the choice.
    virtual bool ChooseFolder(const QString& title, QString& folder) = 0;
    /// Shows the save dialog; false when cancelled.
    virtual bool SaveFile(TSaveDialog& dlg) = 0;
    /// Shows one of the program's dialogs modally; returns its result code.
    virtual int ShowModal(QDialog& dlg) = 0;
    /// The one-line input box; false when cancelled.
    virtual bool InputQuery(const QString& caption, const QString& prompt, QString& value) = 0;
    /// The print dialog; false when cancelled. `copies` receives the count.
    virtual bool PrintDialog(QPrinter& printer, int& copies) = 0;
    /// The printer setup dialog.
    virtual bool PrinterSetup(QPrinter& printer) = 0;
};

/// The prompter in force.
Prompter& prompter();
/// Installs `p` (not owned); nullptr brings back the default.
void SetPrompter(Prompter* p);

/// The program's filter notation turned into a Qt name filter.
QString QtNameFilter(const QString& filter);

}  // namespace zx
