// THelpDlg "Zerebrix Hilfe": the product description, shown modeless.
#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;

namespace zx {

class THelpDlg : public QDialog {
    Q_OBJECT
public:
    THelpDlg();
    QLabel* Image1;             ///< the program picture
    QLabel* Label1;             ///< navy title
    QPlainTextEdit* RichEdit1;  ///< the help text, read-only
};

/// The help text, line by line.
QString HelpText();

}  // namespace zx
