#include "widgets/list_box.h"

namespace zx {

void TListBox::Add(const QString& text) {
    if (!sorted_) {
        addItem(text);
        return;
    }
    int pos = count();
    for (int i = 0; i < count(); ++i) {
        if (QString::compare(text, item(i)->text(), Qt::CaseInsensitive) < 0) {
            pos = i;
            break;
        }
    }
    insertItem(pos, text);
}

QStringList TListBox::Items() const {
    QStringList out;
    for (int i = 0; i < count(); ++i) out << item(i)->text();
    return out;
}

void TListBox::SetItems(const QStringList& items) {
    clear();
    for (const QString& s : items) Add(s);
}

}  // namespace zx
