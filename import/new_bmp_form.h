// TNewBmpForm: the import window that builds volumes from BMP and DICOM
// image stacks. It exists from start-up; its commands come in later.
#pragma once

#include <QDialog>

namespace zx {

class TNewBmpForm : public QDialog {
    Q_OBJECT
public:
    TNewBmpForm();
};

}  // namespace zx
