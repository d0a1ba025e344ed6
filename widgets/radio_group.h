// Radio group: a titled frame of radio buttons in columns; ItemIndex is the
// chosen entry.
#pragma once

#include <QGroupBox>
#include <QList>

class QRadioButton;

namespace zx {

class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    TRadioGroup(const QString& caption, const QStringList& items, int columns,
                QWidget* parent = nullptr);
    int ItemIndex() const;
    void SetItemIndex(int i);
    QRadioButton* Button(int i) const { return buttons_.value(i); }
    int Count() const { return int(buttons_.size()); }

private:
    QList<QRadioButton*> buttons_;
};

}  // namespace zx
