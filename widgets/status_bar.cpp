#include "widgets/status_bar.h"

namespace zx {

TStatusBar::TStatusBar(QWidget* parent) : QStatusBar(parent), label_(new QLabel(this)) {
    setSizeGripEnabled(false);
    label_->setObjectName(QStringLiteral("SimpleText"));
    addWidget(label_, 1);
}

}  // namespace zx
