// Status bar with one simple text and no size grip.
#pragma once

#include <QLabel>
#include <QStatusBar>

namespace zx {

class TStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit TStatusBar(QWidget* parent = nullptr);
    QString SimpleText() const { return label_->text(); }
    void SetSimpleText(const QString& t) { label_->setText(t); }

private:
    QLabel* label_;
};

}  // namespace zx
