// Up-down control: a position within a range, two arrow buttons, no
// wrap-around. Each arrow click moves the position (stopping at the ends)
// and then emits Click.
#pragma once

#include <QWidget>

class QToolButton;

namespace zx {

class TUpDown : public QWidget {
    Q_OBJECT
public:
    explicit TUpDown(QWidget* parent = nullptr);

    int Min() const { return min_; }
    int Max() const { return max_; }
    int Position() const { return position_; }
    void SetRange(int min, int max);
    /// Sets the position, held within the range; emits nothing.
    void SetPosition(int p);
    void SetHint(const QString& hint) { setToolTip(hint); }
    QString Hint() const { return toolTip(); }

    /// What a click on the upper or lower arrow does.
    void ClickUp();
    void ClickDown();

signals:
    /// An arrow was clicked; the position has already moved.
    void Click(bool up);

protected:
    void resizeEvent(QResizeEvent*) override;

private:
    int min_ = 0, max_ = 100, position_ = 0;
    QToolButton* up_;
    QToolButton* down_;
};

}  // namespace zx
