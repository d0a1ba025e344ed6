#include "dialogs/help_dialog.h"

#include <QLabel>
#include <QPlainTextEdit>

#include "dialogs/about_box.h"

namespace zx {

QString HelpText() {
    static const char* const lines[] = {
        "Produktspezifikation Zerebrix-MR:",
        "",
        "Diese Version der Software bietet folgende Funktionen:",
        "- Laden und Anzeigen von MR- und CT-Serien im ZX-Format",
        "- Navigation durch das angezeigte Objekt in allen drei Raumebenen mittels Fadenkreuz",
        "  oder durch Eingabe der Raumkoordinaten.",
        "- Invertieren der aktuellen Bilder (Negativansicht)",
        "- Ausdruckmöglichkeit von Screenshots.",
        "- Echtzeit-Bildaufbau während der Mausbewegung",
        "- Lupe mit einstellbarer Vergrößerung",
        "",
        "Hardwarevoraussetzungen:",
        "PC mit Pentium-II oder besserem Prozessor, 64MB RAM oder mehr, TrueColor-Grafikkarte,",
        "100MB freier Festplattenspeicher für Programme, Windows 2000, XP oder Vista",
        "",
        "Nutzungsbedingungen:",
        "Zerebrix-MR ist keine Freeware. Die Nutzung und die Weitergabe sind für",
        "nichtkommerzielle Zwecke erlaubt. Die Software ist für die Lehre und das",
        "Selbststudium bestimmt; sie ist keine Software für die medizinische Diagnostik",
        "und darf nicht dafür eingesetzt werden. Für Schäden, die aus der Nutzung",
        "entstehen, wird keine Haftung übernommen.",
        "",
        "Zerebrix-Projekt, zerebrix@example.org",
        "",
        "Richtungsbuchstaben an den Rändern der Schnittbilder: R rechts, L links,",
        "A anterior (vorn), P posterior (hinten), S superior (kranial), I inferior (kaudal).",
        "Radiologische Darstellung: die rechte Körperseite links; \"Ansicht\" >",
        "\"Neurologische Ansicht\" spiegelt Koronar- und Transversalschnitt.",
        "",
        "Atlanten (Menü \"Lernen\") und Standardkopf:",
        "aus dem Debian-Paket mricron-data, Copyright 2006-2010 Chris Rorden, BSD-Lizenz",
        "(BSD-3-clause). Kopf: ch2, die Einzelaufnahme zum Colin-27-Durchschnittshirn",
        "(Montreal Neurological Institute). AAL: Automated Anatomical Labeling",
        "(Tzourio-Mazoyer et al., 2002). Brodmann-Areale der MRIcron-Vorlagen.",
        "JHU-Faserbahnen: ICBM-DTI-81 White-Matter Labels (Mori et al., Johns Hopkins",
        "University). Harvard-Oxford-Kortexatlas (Harvard Center for Morphometric",
        "Analysis, mit FSL verteilt). Die deutschen Namen der Regionen sind eigene",
        "Übersetzungen; im Zweifel gilt der lateinische Fachbegriff.",
    };
    QStringList out;
    for (const char* l : lines) out << QString::fromUtf8(l);
    return out.join(u'\n');
}

THelpDlg::THelpDlg() {
    setObjectName(QStringLiteral("HelpDlg"));
    setWindowTitle(QStringLiteral("Zerebrix Hilfe"));
    setFixedSize(538, 514);
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(16, 8, 100, 124);
    Image1->setPixmap(ProgramPicture());
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(128, 24, 385, 57);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);
    Label1->setText(QString::fromUtf8(
        "                     Sie benutzen Zerebrix-MR,                    die Software zum "
        "Durchstöbern dreidimensionaler  magnetresonanztomographischer Aufnahmeserien"));
    QFont f = Label1->font();
    f.setBold(true);
    f.setPointSize(10);
    Label1->setFont(f);
    Label1->setStyleSheet(QStringLiteral("color: navy;"));
    RichEdit1 = new QPlainTextEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setGeometry(16, 144, 513, 361);
    RichEdit1->setReadOnly(true);
    RichEdit1->setFrameStyle(QFrame::NoFrame);
    RichEdit1->setTabChangesFocus(true);
    RichEdit1->setFocusPolicy(Qt::ClickFocus);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setStyleSheet(QStringLiteral("background-color: rgb(234, 234, 234);"));
    QFont textFont = RichEdit1->font();
    textFont.setPointSize(8);
    RichEdit1->setFont(textFont);
    RichEdit1->setPlainText(HelpText());
}

}  // namespace zx
