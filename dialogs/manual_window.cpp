#include "dialogs/manual_window.h"

#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

static void InitManualResources() { Q_INIT_RESOURCE(resources); }

namespace zx {

TManualWindow::TManualWindow() : QWidget(nullptr, Qt::Window) {
    InitManualResources();
    setObjectName(QStringLiteral("ManualWindow"));
    setWindowTitle(QStringLiteral("Zerebrix Anleitung"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    Browser = new QTextBrowser(this);
    Browser->setObjectName(QStringLiteral("Browser"));
    // Links within the manual; nothing is fetched from outside.
    Browser->setOpenLinks(true);
    Browser->setOpenExternalLinks(false);
    Browser->setSource(QUrl(QString::fromLatin1(kManualUrl)));
    layout->addWidget(Browser);
    resize(640, 700);
}

}  // namespace zx
