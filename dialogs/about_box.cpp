#include "dialogs/about_box.h"

#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

// The resources live in a static library: register them before first use.
static void InitProgramResources() { Q_INIT_RESOURCE(resources); }

namespace zx {

QPixmap ProgramPicture() {
    static const bool registered = (InitProgramResources(), true);
    Q_UNUSED(registered);
    return QPixmap(QStringLiteral(":/zerebrix/program.jpg"), "JPG");
}

TAboutBox::TAboutBox() {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("Info"));
    setFixedSize(298, 198);
    setModal(true);
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setGeometry(8, 8, 281, 145);
    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setGeometry(8, 12, 100, 124);
    ProgramIcon->setAlignment(Qt::AlignCenter);
    ProgramIcon->setPixmap(ProgramPicture());
    auto label = [this](const char* name, const QString& text, int x, int y, int w) {
        auto* l = new QLabel(text, Panel1);
        l->setObjectName(QString::fromUtf8(name));
        l->setGeometry(x, y, w, 17);
        return l;
    };
    ProductName = label("ProductName", QStringLiteral("Zerebrix-MR"), 144, 16, 130);
    QFont bold = ProductName->font();
    bold.setBold(true);
    bold.setPointSize(10);
    ProductName->setFont(bold);
    Version = label("Version", QStringLiteral("Version:"), 168, 40, 100);
    Copyright = label("Copyright", QString::fromUtf8("© 2026 Zerebrix-Projekt"), 120, 64, 158);
    Maker = label("Maker", QString::fromUtf8("Freiburg im Breisgau"), 120, 82, 158);
    Comments = label("Comments", QString::fromUtf8("Lehr- und Lernsoftware"), 120, 100, 158);
    WebAddress = label("WebAddress", QStringLiteral("zerebrix.example.org"), 120, 118, 158);
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(120, 162, 65, 26);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    FormCreate();
}

void TAboutBox::FormCreate() { Version->setText(QStringLiteral("Version: " ZX_VERSION)); }

}  // namespace zx
