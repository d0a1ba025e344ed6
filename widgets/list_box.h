// List box with the sorted switch of the classic controls: while sorting is
// on, added items take their place in case-insensitive alphabetical order.
#pragma once

#include <QListWidget>

namespace zx {

class TListBox : public QListWidget {
    Q_OBJECT
public:
    explicit TListBox(QWidget* parent = nullptr) : QListWidget(parent) {}
    bool Sorted() const { return sorted_; }
    void SetSorted(bool on) { sorted_ = on; }
    /// Adds an item, at its sorted place while sorting is on.
    void Add(const QString& text);
    QStringList Items() const;
    void SetItems(const QStringList& items);

private:
    bool sorted_ = false;
};

}  // namespace zx
