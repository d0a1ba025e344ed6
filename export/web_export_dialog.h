// TWebExportDlg "Ins Web exportieren": start positions, spacing and folder
// of the web export. It exists from start-up; its command comes in later.
#pragma once

#include <QDialog>

namespace zx {

class TWebExportDlg : public QDialog {
    Q_OBJECT
public:
    TWebExportDlg();
};

}  // namespace zx
