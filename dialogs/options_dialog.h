// TOptDlg "Programmoptionen": the crosshair's length, thickness and gap, and
// which panels and view labels the main window shows. The three counters
// are the only store of the crosshair parameters; every drawing reads them.
#pragma once

#include <QDialog>

#include "core/render/crosshair.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace zx {

class TMainWindowPort;
class TUpDown;

class TOptDlg : public QDialog {
    Q_OBJECT
public:
    explicit TOptDlg(TMainWindowPort& main);

    QGroupBox* GroupBox2;  ///< "Anzeige: "
    QCheckBox* ShowInfoPanel;
    QCheckBox* ShowNavPanel;
    QCheckBox* ShowRefLabels;
    QGroupBox* GroupBox1;  ///< "Fadenkreuz: "
    QLabel *Label1, *Label2, *Label3;
    QLineEdit* CrossLen;
    QLineEdit* CrossThick;
    QLineEdit* CrossGap;
    TUpDown* CrLenUpDown;    ///< crosshair length 0…256
    TUpDown* CrThickUpDown;  ///< crosshair thickness 0…9
    TUpDown* CrGapUpDown;    ///< crosshair gap 0…99
    QPushButton* Button1;

    /// The crosshair parameters as the counters hold them now.
    CrossParams Cross() const;

    void ShowInfoPanelClick();
    void ShowNavPanelClick();
    void ShowRefLabelsClick();
    void CrLenUpDownClick();
    void CrThickUpDownClick();
    void CrGapUpDownClick();
    void CrossLenChange();
    void CrossThickChange();
    void CrossGapChange();
    void Button1Click();

private:
    TMainWindowPort& main_;
    void FieldChange(QLineEdit* field, TUpDown* counter);
};

}  // namespace zx
