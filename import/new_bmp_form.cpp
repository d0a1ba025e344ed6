#include "import/new_bmp_form.h"

namespace zx {

TNewBmpForm::TNewBmpForm() {
    setObjectName(QStringLiteral("NewBmpForm"));
    setWindowTitle(QStringLiteral("Zerebrix - Neues Projekt - Bildimport"));
    setWindowFlag(Qt::Tool);
    resize(552, 615);
    move(533, 36);
}

}  // namespace zx
