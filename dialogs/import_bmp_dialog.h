// TImportBmpDlg "Bitmap-Import": orientation and depth of a bitmap stack
// chosen in the Open command.
#pragma once

#include <QDialog>

#include "core/volume/bmp_stack.h"

class QLabel;
class QPushButton;

namespace zx {

class TRadioGroup;

class TImportBmpDlg : public QDialog {
    Q_OBJECT
public:
    TImportBmpDlg();
    QLabel* Label1;            ///< number of chosen files
    TRadioGroup* RadioGroup1;  ///< "Orientierung: " SAG / COR / TRA
    TRadioGroup* RadioGroup2;  ///< "Bildtiefe: " 1 … 4 planes per picture
    QPushButton* Button1;      ///< "&Import", closes with OK
    QPushButton* Button2;      ///< "A&bbruch", closes with Cancel

    Orientation ChosenOrientation() const;
    int Depth() const;  ///< 1…4
};

}  // namespace zx
