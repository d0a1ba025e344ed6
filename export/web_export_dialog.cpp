#include "export/web_export_dialog.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/export/series.h"
#include "widgets/guard.h"

namespace zx {

TWebExportDlg::TWebExportDlg() {
    setObjectName(QStringLiteral("WebExportDlg"));
    setWindowTitle(QStringLiteral("Ins Web exportieren"));
    setFixedSize(313, 223);
    auto* bevel = new QFrame(this);
    bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    bevel->setGeometry(8, 8, 297, 169);
    auto field = [this](QLabel*& label, QLineEdit*& edit, const char* name, const char* caption,
                        const char* text, int x, int y) {
        label = new QLabel(QString::fromUtf8(caption), this);
        label->setObjectName(QStringLiteral("Label%1").arg(name));
        label->move(x, y + 2);
        label->adjustSize();
        edit = new QLineEdit(QString::fromLatin1(text), this);
        edit->setObjectName(QStringLiteral("Edit%1").arg(name));
        edit->setGeometry(x + 72, y, 49, 21);
    };
    field(Label1, Edit1, "1", "Startpixel X:", "10", 24, 22);
    field(Label2, Edit2, "2", "Startpixel Y:", "10", 168, 22);
    field(Label3, Edit3, "3", "Startpixel Z:", "10", 24, 46);
    field(Label4, Edit4, "4", "Pixelintervall:", "9", 168, 46);
    CheckBox1 = new QCheckBox(QStringLiteral(" &Beschriftungen einblenden"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->move(24, 80);
    CheckBox1->setEnabled(false);
    ExportButton = new QPushButton(QStringLiteral("&Zielverzeichnis"), this);
    ExportButton->setObjectName(QStringLiteral("ExportButton"));
    ExportButton->setGeometry(24, 104, 89, 21);
    PathLabel = new QLabel(QStringLiteral("Zielverzeichnis: keines"), this);
    PathLabel->setObjectName(QStringLiteral("PathLabel"));
    PathLabel->setGeometry(24, 132, 270, 17);
    InfoLabel = new QLabel(QStringLiteral("Info: Derzeitige Auswahl ergibt  3x27  Dateien."), this);
    InfoLabel->setObjectName(QStringLiteral("InfoLabel"));
    InfoLabel->setGeometry(24, 152, 270, 17);
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(151, 188, 75, 25);
    OKBtn->setDefault(true);
    OKBtn->setEnabled(false);
    CancelBtn = new QPushButton(QStringLiteral("Abbrechen"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(231, 188, 75, 25);
    SaveDialog1.Title = QString::fromUtf8("Exportverzeichnis wählen");
    SaveDialog1.FileName = QStringLiteral("Hier nichts eintragen !");
    SaveDialog1.Filter = QStringLiteral("Export-Bitmaps (*.bmp)|*.bmp");
    SaveDialog1.DefaultExt = QStringLiteral("bmp");
    connect(ExportButton, &QPushButton::clicked, this, Slot([this] { ExportButtonClick(); }));
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    FormCreate();
}

void TWebExportDlg::FormCreate() { ExportPath.clear(); }

void TWebExportDlg::ExportButtonClick() {
    if (!prompter().SaveFile(SaveDialog1)) return;
    ExportPath = QFileInfo(SaveDialog1.FileName).absolutePath() + u'/';
    PathLabel->setText(QStringLiteral("Ziel: ") + ExportPath);
    OKBtn->setEnabled(true);
}

}  // namespace zx

namespace zx {

void TWebExportDlg::accept() {
    bool ok[4] = {};
    const QLineEdit* const edits[4] = {Edit1, Edit2, Edit3, Edit4};
    qint64 v[4] = {};
    for (int k = 0; k < 4; ++k) v[k] = edits[k]->text().trimmed().toLongLong(&ok[k]);
    // Texts that are no numbers at all are reported by the export itself.
    if (ok[0] && ok[1] && ok[2] && ok[3]) {
        const QString refusal = WebExportRefusal(v[0], v[1], v[2], v[3]);
        if (!refusal.isEmpty()) {
            prompter().MessageDlg(MsgKind::Error, windowTitle(), refusal, mbOK);
            return;
        }
    }
    QDialog::accept();
}

}  // namespace zx
