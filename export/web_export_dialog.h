// TWebExportDlg "Ins Web exportieren": start positions, spacing and folder
// of the web export that the main window's command runs.
#pragma once

#include <QDialog>

#include "widgets/prompter.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace zx {

class TWebExportDlg : public QDialog {
    Q_OBJECT
public:
    TWebExportDlg();
    QLabel *Label1, *Label2, *Label3, *Label4;
    QLineEdit *Edit1, *Edit2, *Edit3, *Edit4;  ///< start X, Y, Z and the interval
    QCheckBox *CheckBox1;                      ///< shown disabled; no function
    QPushButton *ExportButton;
    QLabel *PathLabel, *InfoLabel;
    QPushButton *OKBtn, *CancelBtn;
    TSaveDialog SaveDialog1;  ///< used only to pick the target folder
    QString ExportPath;       ///< the chosen folder with a trailing '/', empty at first

    void FormCreate();
    void ExportButtonClick();
    /// OK: start values outside the volume or an interval below 1 are
    /// refused with a message, and the dialog stays open.
    void accept() override;
};

}  // namespace zx
