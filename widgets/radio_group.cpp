#include "widgets/radio_group.h"

#include <QGridLayout>
#include <QRadioButton>

namespace zx {

TRadioGroup::TRadioGroup(const QString& caption, const QStringList& items, int columns,
                         QWidget* parent)
    : QGroupBox(caption, parent) {
    auto* grid = new QGridLayout(this);
    // Compact, as the classic control: the items sit right below the title,
    // so that a one-row group 35 pixels high shows its buttons.
    grid->setContentsMargins(4, 0, 2, 0);
    grid->setHorizontalSpacing(2);
    grid->setVerticalSpacing(0);
    const int rows = (int(items.size()) + columns - 1) / columns;
    for (int i = 0; i < items.size(); ++i) {
        auto* b = new QRadioButton(items[i], this);
        buttons_ << b;
        // Items run down each column first, as in the classic control.
        grid->addWidget(b, i % rows, i / rows);
    }
    if (!buttons_.isEmpty()) buttons_.front()->setChecked(true);
}

int TRadioGroup::ItemIndex() const {
    for (int i = 0; i < buttons_.size(); ++i) {
        if (buttons_[i]->isChecked()) return i;
    }
    return -1;
}

void TRadioGroup::SetItemIndex(int i) {
    if (i >= 0 && i < buttons_.size()) buttons_[i]->setChecked(true);
}

}  // namespace zx
