#include "app/forms.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include "app/main_window.h"
#include "core/texts.h"
#include "dialogs/about_box.h"
#include "dialogs/help_dialog.h"
#include "dialogs/import_bmp_dialog.h"
#include "dialogs/manual_window.h"
#include "dialogs/options_dialog.h"
#include "export/web_export_dialog.h"
#include "import/new_bmp_form.h"
#include "widgets/guard.h"

namespace zx {

Forms::~Forms() {
    // Reverse order of creation; the main window goes last.
    WebExportDlg.reset();
    NewBmpForm.reset();
    ImportBmpDlg.reset();
    ManualWindow.reset();
    HelpDlg.reset();
    OptDlg.reset();
    AboutBox.reset();
    Form1.reset();
}

QFont ProgramFont() {
    QFont f;
    f.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    f.setPointSize(8);
    return f;
}

namespace {

/// Qt's own dialogs (file, print, page setup, message box buttons) in
/// German, from Debian's Qt translations, and German dates, numbers, sizes
/// and file types (the MIME comments follow the default locale) whatever
/// the system's locale; installed once per application.
void InstallGermanTranslations() {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    static QTranslator* installed = nullptr;
    if (installed) return;
    auto* t = new QTranslator(qApp);
    if (t->load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"),
                QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(t);
        installed = t;
    } else {
        delete t;
    }
}

}  // namespace

void PrepareGermanSystemDates() {
    qputenv("LC_TIME", "de_DE.UTF-8");
    if (!qEnvironmentVariableIsEmpty("LC_ALL")) {
        // LC_ALL overrides every category: keep its language for the rest.
        const QByteArray all = qgetenv("LC_ALL");
        qunsetenv("LC_ALL");
        for (const char* category :
             {"LC_NUMERIC", "LC_MONETARY", "LC_MESSAGES", "LC_CTYPE", "LC_COLLATE", "LANG"})
            qputenv(category, all);
    }
}

void SetApplicationNames() {
    QApplication::setApplicationName(QString::fromUtf8(texts::kAppTitle));
    QApplication::setOrganizationName(QStringLiteral("Zerebrix-MR"));
}

std::unique_ptr<Forms> CreateForms() {
    SetApplicationNames();
    QApplication::setFont(ProgramFont());
    InstallGermanTranslations();
    auto f = std::make_unique<Forms>();
    f->Form1 = std::make_unique<TForm1>(*f);
    f->AboutBox = std::make_unique<TAboutBox>();
    f->OptDlg = std::make_unique<TOptDlg>(*f->Form1);
    f->HelpDlg = std::make_unique<THelpDlg>();
    f->ManualWindow = std::make_unique<TManualWindow>();
    f->ImportBmpDlg = std::make_unique<TImportBmpDlg>();
    f->NewBmpForm = std::make_unique<TNewBmpForm>(*f->Form1);
    f->WebExportDlg = std::make_unique<TWebExportDlg>();
    return f;
}

std::unique_ptr<Forms> StartViewer(const QString& path, const StartOptions& options, int volume) {
    auto forms = CreateForms();
    forms->Form1->StartPath = path;
    forms->Form1->StartVolume = volume;
    forms->Form1->Components->ApplyStartOptions(options);
    ShowMainWindow(*forms);
    return forms;
}

void ShowMainWindow(Forms& forms) {
    TForm1* w = forms.Form1.get();
    w->show();
    w->raise();
    w->activateWindow();
    // Without a window manager the platform may never report the window
    // active; the first activation's work must happen all the same.
    QTimer::singleShot(0, w, [w] {
        if (!w->DefaultLoaded) Guarded([w] { w->FormActivate(); });
    });
}

}  // namespace zx
