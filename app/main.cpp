// Zerebrix-MR: a viewer for 3-D MR and CT volumes of the head.
#include <QApplication>

#include "app/forms.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    auto forms = zx::CreateForms();
    zx::ShowMainWindow(*forms);
    const int rc = app.exec();
    forms.reset();
    return rc;
}
