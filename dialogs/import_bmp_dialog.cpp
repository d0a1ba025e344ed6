#include "dialogs/import_bmp_dialog.h"

#include <QLabel>
#include <QPushButton>

#include "widgets/radio_group.h"

namespace zx {

TImportBmpDlg::TImportBmpDlg() {
    setObjectName(QStringLiteral("ImportBmpDlg"));
    setWindowTitle(QStringLiteral("Bitmap-Import"));
    setModal(true);
    setFixedSize(313, 209);
    Label1 = new QLabel(QStringLiteral("0 Dateien ausgewählt. "), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(16, 8, 281, 17);
    RadioGroup1 = new TRadioGroup(
        QStringLiteral("Orientierung: "),
        {QStringLiteral("&SAG"), QStringLiteral("&COR"), QStringLiteral("&TRA")}, 3, this);
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    RadioGroup1->setGeometry(16, 32, 281, 49);
    RadioGroup2 = new TRadioGroup(QString::fromUtf8("Bildtiefe: "),
                                  {QStringLiteral("&1 Schicht"), QStringLiteral("&2 Schichten"),
                                   QStringLiteral("&3 Schichten"), QStringLiteral("&4 Schichten")},
                                  2, this);
    RadioGroup2->setObjectName(QStringLiteral("RadioGroup2"));
    RadioGroup2->setGeometry(16, 88, 281, 73);
    Button1 = new QPushButton(QStringLiteral("&Import"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(64, 172, 81, 27);
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("A&bbruch"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(168, 172, 81, 27);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

Orientation TImportBmpDlg::ChosenOrientation() const {
    return static_cast<Orientation>(std::max(RadioGroup1->ItemIndex(), 0));
}

int TImportBmpDlg::Depth() const { return std::max(RadioGroup2->ItemIndex(), 0) + 1; }

}  // namespace zx
