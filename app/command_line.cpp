#include "app/command_line.h"

#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QSaveFile>
#include <QTreeWidget>
#include <cstdio>

#include "app/forms.h"
#include "app/main_window.h"
#include "core/volume/runtime_error.h"
#include "dialogs/series_browser.h"
#include "teach/lesson.h"
#include "widgets/prompter.h"

namespace zx {

namespace {

/// Messages go to stderr instead of boxes; every dialog is cancelled.
class StderrPrompter : public Prompter {
public:
    bool failed = false;
    int MessageDlg(MsgKind, const QString&, const QString& text, int buttons) override {
        std::fprintf(stderr, "zerebrix: %s\n", text.toUtf8().constData());
        failed = true;
        for (int b : {mbOK, mbCancel, mbYes, mbNo})
            if (buttons & b) return b;
        return mbOK;
    }
    bool OpenFiles(TOpenDialog&) override { return false; }
    bool ChooseFolder(const QString&, QString&) override { return false; }
    bool SaveFile(TSaveDialog&) override { return false; }
    int ShowModal(QDialog& dlg) override {
        // Without a person to choose, several series end the run with the
        // list, as zxconvert gives it.
        if (auto* browser = qobject_cast<TSeriesBrowser*>(&dlg)) {
            std::fprintf(stderr, "zerebrix: %s\n", browser->Label1->text().toUtf8().constData());
            for (int i = 0; i < browser->SeriesList->topLevelItemCount(); ++i) {
                const QTreeWidgetItem* item = browser->SeriesList->topLevelItem(i);
                QStringList row{QString::number(i + 1)};
                for (int c = 1; c < item->columnCount(); ++c) row << item->text(c);
                std::fprintf(stderr, "%s\n", row.join(u'\t').toUtf8().constData());
            }
            std::fprintf(stderr, "zerebrix: --series N wählt die Serie\n");
            failed = true;
        }
        return QDialog::Rejected;
    }
    bool InputQuery(const QString&, const QString&, QString&) override { return false; }
    bool PrintDialog(QPrinter&, int&) override { return false; }
    bool PrinterSetup(QPrinter&) override { return false; }
};

}  // namespace

int RunScreenshot(const CommandLine& cl) {
    StderrPrompter quiet;
    SetPrompter(&quiet);
    int rc = 0;
    {
        auto forms = StartViewer(cl.path, cl.options, cl.volume);
        TForm1& w = *forms->Form1;
        w.StartSeries = cl.series;
        for (int i = 0; i < 200 && !w.DefaultLoaded; ++i) QApplication::processEvents();
        if (!w.DefaultLoaded) w.FormActivate();
        // A lesson goes to its stop once the volume is shown.
        if (!cl.options.lesson.isEmpty())
            for (int i = 0; i < 10; ++i) QApplication::processEvents();
        if (cl.at && !quiet.failed) {
            // As typed into the coordinate edits: each change, then the key's release.
            w.xg_Ed->setText(QString::number((*cl.at)[0]));
            w.xg_EdKeyUp();
            w.yg_Ed->setText(QString::number((*cl.at)[1]));
            w.yg_EdKeyUp();
            w.zg_Ed->setText(QString::number((*cl.at)[2]));
            w.zg_EdKeyUp();
            // The zoom centres each view on the point, wherever it now is.
            w.Components->ApplyStartOptions(cl.options);
        }
        QApplication::processEvents();
        if (quiet.failed) {
            rc = 1;
        } else {
            QSaveFile out(cl.screenshot);
            if (!out.open(QIODevice::WriteOnly) || !w.ClientPicture().save(&out, "PNG") ||
                !out.commit()) {
                std::fprintf(stderr, "zerebrix: %s kann nicht geschrieben werden\n",
                             cl.screenshot.toUtf8().constData());
                rc = 1;
            }
        }
    }
    SetPrompter(nullptr);
    return rc;
}

}  // namespace zx
