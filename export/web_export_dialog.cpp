#include "export/web_export_dialog.h"

namespace zx {

TWebExportDlg::TWebExportDlg() {
    setObjectName(QStringLiteral("WebExportDlg"));
    setWindowTitle(QStringLiteral("Ins Web exportieren"));
    setFixedSize(313, 223);
}

}  // namespace zx
