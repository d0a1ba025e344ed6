#include "dialogs/options_dialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/volume/runtime_error.h"
#include "dialogs/main_window_port.h"
#include "widgets/guard.h"
#include "widgets/up_down.h"

namespace zx {

namespace {

QLineEdit* MakeField(QWidget* parent, const char* name, const char* text, int maxLength, int y) {
    auto* e = new QLineEdit(QString::fromUtf8(text), parent);
    e->setObjectName(QString::fromUtf8(name));
    e->setMaxLength(maxLength);
    e->setGeometry(72, y, 33, 21);
    return e;
}

TUpDown* MakeCounter(QWidget* parent, const char* name, int max, int position, int y) {
    auto* u = new TUpDown(parent);
    u->setObjectName(QString::fromUtf8(name));
    u->SetRange(0, max);
    u->SetPosition(position);
    u->setGeometry(105, y, 16, 21);
    return u;
}

QCheckBox* MakeCheck(QWidget* parent, const char* name, const char* text, int y) {
    auto* c = new QCheckBox(QString::fromUtf8(text), parent);
    c->setObjectName(QString::fromUtf8(name));
    c->setChecked(true);
    c->setGeometry(8, y + 2, 160, 17);
    return c;
}

}  // namespace

TOptDlg::TOptDlg(TMainWindowPort& main) : main_(main) {
    setObjectName(QStringLiteral("OptDlg"));
    setWindowTitle(QStringLiteral("Programmoptionen"));
    setFixedSize(385, 169);
    move(278, 234);

    GroupBox2 = new QGroupBox(QStringLiteral("Anzeige: "), this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    GroupBox2->setGeometry(8, 8, 177, 113);
    ShowInfoPanel = MakeCheck(GroupBox2, "ShowInfoPanel", "&Positions- und Farbinfo", 20);
    ShowNavPanel = MakeCheck(GroupBox2, "ShowNavPanel", "&Koordinateneingabe", 48);
    ShowRefLabels = MakeCheck(GroupBox2, "ShowRefLabels", "&Bildbeschriftungen", 76);

    GroupBox1 = new QGroupBox(QStringLiteral("Fadenkreuz: "), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(200, 8, 177, 113);
    const char* labels[] = {"Länge:", "Dicke:", "Lücke:"};
    QLabel** labelFields[] = {&Label1, &Label2, &Label3};
    for (int i = 0; i < 3; ++i) {
        *labelFields[i] = new QLabel(QString::fromUtf8(labels[i]), GroupBox1);
        (*labelFields[i])->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        (*labelFields[i])->setGeometry(24, 24 + 28 * i, 45, 17);
    }
    CrossLen = MakeField(GroupBox1, "CrossLen", "256", 3, 20);
    CrossThick = MakeField(GroupBox1, "CrossThick", "1", 1, 48);
    CrossGap = MakeField(GroupBox1, "CrossGap", "10", 2, 76);
    CrLenUpDown = MakeCounter(GroupBox1, "CrLenUpDown", 256, 256, 20);
    CrThickUpDown = MakeCounter(GroupBox1, "CrThickUpDown", 9, 1, 48);
    CrGapUpDown = MakeCounter(GroupBox1, "CrGapUpDown", 99, 10, 76);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(152, 136, 81, 25);
    Button1->setDefault(true);

    connect(ShowInfoPanel, &QCheckBox::clicked, this, Slot([this] { ShowInfoPanelClick(); }));
    connect(ShowNavPanel, &QCheckBox::clicked, this, Slot([this] { ShowNavPanelClick(); }));
    connect(ShowRefLabels, &QCheckBox::clicked, this, Slot([this] { ShowRefLabelsClick(); }));
    connect(CrLenUpDown, &TUpDown::Click, this, Slot([this](bool) { CrLenUpDownClick(); }));
    connect(CrThickUpDown, &TUpDown::Click, this, Slot([this](bool) { CrThickUpDownClick(); }));
    connect(CrGapUpDown, &TUpDown::Click, this, Slot([this](bool) { CrGapUpDownClick(); }));
    connect(CrossLen, &QLineEdit::textChanged, this,
            Slot([this](const QString&) { CrossLenChange(); }));
    connect(CrossThick, &QLineEdit::textChanged, this,
            Slot([this](const QString&) { CrossThickChange(); }));
    connect(CrossGap, &QLineEdit::textChanged, this,
            Slot([this](const QString&) { CrossGapChange(); }));
    connect(Button1, &QPushButton::clicked, this, Slot([this] { Button1Click(); }));
}

CrossParams TOptDlg::Cross() const {
    return {CrLenUpDown->Position(), CrThickUpDown->Position(), CrGapUpDown->Position()};
}

void TOptDlg::ShowInfoPanelClick() { main_.ShowInfoPanel(ShowInfoPanel->isChecked()); }

void TOptDlg::ShowNavPanelClick() { main_.ShowNavPanel(ShowNavPanel->isChecked()); }

void TOptDlg::ShowRefLabelsClick() { main_.ShowViewLabels(ShowRefLabels->isChecked()); }

void TOptDlg::CrLenUpDownClick() { CrossLen->setText(QString::number(CrLenUpDown->Position())); }
void TOptDlg::CrThickUpDownClick() {
    CrossThick->setText(QString::number(CrThickUpDown->Position()));
}
void TOptDlg::CrGapUpDownClick() { CrossGap->setText(QString::number(CrGapUpDown->Position())); }

void TOptDlg::FieldChange(QLineEdit* field, TUpDown* counter) {
    // A text that is no number drops the change: counter and crosshair stay.
    counter->SetPosition(StrToInt(field->text()));
    main_.CrosshairParamsChanged();
}

void TOptDlg::CrossLenChange() { FieldChange(CrossLen, CrLenUpDown); }
void TOptDlg::CrossThickChange() { FieldChange(CrossThick, CrThickUpDown); }
void TOptDlg::CrossGapChange() { FieldChange(CrossGap, CrGapUpDown); }

void TOptDlg::Button1Click() { accept(); }

}  // namespace zx
