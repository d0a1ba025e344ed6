// Printing a picture of the main window's client area, one job per copy;
// the help, manual and about windows; the options dialog.
#include <QFileInfo>
#include <QPainter>
#include <QPrinter>

#include "app/forms.h"
#include "app/main_window.h"
#include "core/texts.h"
#include "core/volume/runtime_error.h"
#include "dialogs/about_box.h"
#include "dialogs/help_dialog.h"
#include "dialogs/manual_window.h"
#include "dialogs/options_dialog.h"
#include "widgets/image_view.h"
#include "widgets/tool_window.h"

namespace zx {

QImage TForm1::ClientPicture() {
    // The client area as shown: sections in the display window's colours,
    // crosshairs, and what the components lay over the views (atlas
    // colours, orientation letters, rulers).
    QImage picture(Client->size(), QImage::Format_RGB32);
    picture.fill(Client->palette().window().color());
    Client->render(&picture, QPoint(), QRegion(), QWidget::DrawChildren);
    return picture;
}

void TForm1::Druckereinrichtung1Click() { prompter().PrinterSetup(*Printer); }

void TForm1::Drucken1Click() {
    int copies = 1;
    if (!prompter().PrintDialog(*Printer, copies)) return;
    if (copies <= 0) return;
    // Each copy is a job of its own; the printer must not repeat each job.
    Printer->setCopyCount(1);
    const QString pdfName =
        Printer->outputFormat() == QPrinter::PdfFormat ? Printer->outputFileName() : QString();
    for (int i = 1; i <= copies; ++i) {
        if (!pdfName.isEmpty() && copies > 1) {
            // Jobs printed to a file would overwrite each other: number them.
            const QFileInfo fi(pdfName);
            Printer->setOutputFileName(fi.path() + u'/' + fi.completeBaseName() +
                                       QStringLiteral("-%1.").arg(i) + fi.suffix());
        }
        const QImage picture = ClientPicture();
        QPainter p;
        if (!p.begin(Printer.get())) {
            if (!pdfName.isEmpty()) Printer->setOutputFileName(pdfName);
            throw RuntimeError(QString::fromUtf8(texts::kNoDefaultPrinter));
        }
        const int w = picture.width() * Printer->logicalDpiX() / 96;
        const int h = picture.height() * Printer->logicalDpiY() / 96;
        p.drawImage(QRect(0, 0, w, h), picture);
        p.end();
    }
    if (!pdfName.isEmpty()) Printer->setOutputFileName(pdfName);
}

void TForm1::Anleitung1Click() {
    TManualWindow& manual = *forms_.ManualWindow;
    if (!manual.isVisible()) PlaceToolWindow(&manual, this);
    manual.show();
    manual.raise();
    manual.activateWindow();
}

void TForm1::Inhalt1Click() {
    THelpDlg& help = *forms_.HelpDlg;
    help.show();
    help.raise();
    help.activateWindow();
}

void TForm1::Info1Click() { prompter().ShowModal(*forms_.AboutBox); }

void TForm1::Optionen1Click() { prompter().ShowModal(*forms_.OptDlg); }

}  // namespace zx
