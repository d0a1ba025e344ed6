#include "widgets/prompter.h"

#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QInputDialog>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSettings>
#include <QSortFilterProxyModel>

#include "core/texts.h"

namespace zx {

namespace {

/// Leaves the files matching `hidden` out of a file dialog's list while its
/// first name filter is chosen.
class HideWhileFirstFilter : public QSortFilterProxyModel {
public:
    HideWhileFirstFilter(QFileDialog& fd, const QStringList& hidden)
        : QSortFilterProxyModel(&fd), fd_(fd) {
        for (const QString& p : hidden)
            hidden_.push_back(QRegularExpression(QRegularExpression::wildcardToRegularExpression(p),
                                                 QRegularExpression::CaseInsensitiveOption));
        connect(&fd, &QFileDialog::filterSelected, this, [this] { invalidateFilter(); });
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        if (fd_.selectedNameFilter() != fd_.nameFilters().value(0)) return true;
        const auto* fs = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (!fs) return true;
        const QModelIndex i = fs->index(row, 0, parent);
        if (fs->isDir(i)) return true;
        const QString name = fs->fileName(i);
        for (const QRegularExpression& re : hidden_)
            if (re.match(name).hasMatch()) return false;
        return true;
    }

private:
    QFileDialog& fd_;
    std::vector<QRegularExpression> hidden_;
};

/// The real dialogs, with German titles and buttons.
class DefaultPrompter : public Prompter {
public:
    int MessageDlg(MsgKind kind, const QString& title, const QString& text, int buttons) override {
        QMessageBox box;
        box.setWindowTitle(title);
        box.setText(text);
        switch (kind) {
            case MsgKind::Error:
            case MsgKind::Application:
                box.setIcon(QMessageBox::Critical);
                break;
            case MsgKind::Information:
                box.setIcon(QMessageBox::Information);
                break;
            case MsgKind::Confirmation:
                box.setIcon(QMessageBox::Question);
                break;
            case MsgKind::Plain:
                box.setIcon(QMessageBox::NoIcon);
                break;
        }
        struct Choice {
            int flag;
            const char* text;
            QMessageBox::ButtonRole role;
        };
        const Choice choices[] = {{mbYes, texts::kButtonYes, QMessageBox::YesRole},
                                  {mbNo, texts::kButtonNo, QMessageBox::NoRole},
                                  {mbOK, texts::kButtonOk, QMessageBox::AcceptRole},
                                  {mbCancel, texts::kButtonCancel, QMessageBox::RejectRole}};
        QList<QPair<QAbstractButton*, int>> made;
        for (const Choice& c : choices) {
            if (buttons & c.flag)
                made.append({box.addButton(QString::fromUtf8(c.text), c.role), c.flag});
        }
        if (made.isEmpty())
            made.append(
                {box.addButton(QString::fromUtf8(texts::kButtonOk), QMessageBox::AcceptRole),
                 mbOK});
        box.exec();
        for (const auto& [button, flag] : made) {
            if (box.clickedButton() == button) return flag;
        }
        return (buttons & mbCancel) ? mbCancel : made.front().second;
    }

    /// Every file dialog starts in the folder the user last chose something
    /// in, remembered between starts.
    static void StartWhereLastUsed(QFileDialog& fd) {
        const QString last = QSettings().value(QStringLiteral("Dialoge/Ordner")).toString();
        if (!last.isEmpty() && QFileInfo(last).isDir()) fd.setDirectory(last);
    }
    static void RememberFolder(const QFileDialog& fd) {
        const QFileInfo chosen(fd.selectedFiles().front());
        QSettings().setValue(QStringLiteral("Dialoge/Ordner"),
                             chosen.isDir() ? chosen.absoluteFilePath() : chosen.absolutePath());
    }

    bool OpenFiles(TOpenDialog& dlg) override {
        QFileDialog fd(nullptr, dlg.Title);
        StartWhereLastUsed(fd);
        fd.setNameFilter(QtNameFilter(dlg.Filter));
        fd.setDefaultSuffix(dlg.DefaultExt);
        const QStringList filters = fd.nameFilters();
        if (dlg.FilterIndex >= 1 && dlg.FilterIndex <= filters.size()) {
            fd.selectNameFilter(filters[dlg.FilterIndex - 1]);
        } else {
            // A number past the list (the data import asks for 4 of
            // three): all files, so that the DICOM files it expects show.
            for (const QString& f : filters)
                if (f.contains(QStringLiteral(" *)"))) fd.selectNameFilter(f);
        }
        if (!dlg.HiddenByFirstFilter.isEmpty()) {
            // A proxy model needs the toolkit's own dialog.
            fd.setOption(QFileDialog::DontUseNativeDialog);
            fd.setProxyModel(new HideWhileFirstFilter(fd, dlg.HiddenByFirstFilter));
        }
        fd.setFileMode(dlg.AllowMultiSelect ? QFileDialog::ExistingFiles
                                            : QFileDialog::ExistingFile);
        fd.setAcceptMode(QFileDialog::AcceptOpen);
        if (fd.exec() != QDialog::Accepted || fd.selectedFiles().isEmpty()) return false;
        RememberFolder(fd);
        dlg.Files = fd.selectedFiles();
        dlg.FileName = dlg.Files.front();
        return true;
    }

    bool ChooseFolder(const QString& title, QString& folder) override {
        QFileDialog fd(nullptr, title);
        fd.setFileMode(QFileDialog::Directory);
        fd.setOption(QFileDialog::ShowDirsOnly);
        StartWhereLastUsed(fd);
        if (fd.exec() != QDialog::Accepted || fd.selectedFiles().isEmpty()) return false;
        RememberFolder(fd);
        folder = fd.selectedFiles().front();
        return true;
    }

    bool SaveFile(TSaveDialog& dlg) override {
        QFileDialog fd(nullptr, dlg.Title);
        fd.setNameFilter(QtNameFilter(dlg.Filter));
        fd.setDefaultSuffix(dlg.DefaultExt);
        fd.setAcceptMode(QFileDialog::AcceptSave);
        fd.setOption(QFileDialog::DontConfirmOverwrite);
        StartWhereLastUsed(fd);
        if (!dlg.FileName.isEmpty()) fd.selectFile(dlg.FileName);
        if (fd.exec() != QDialog::Accepted || fd.selectedFiles().isEmpty()) return false;
        RememberFolder(fd);
        dlg.FileName = fd.selectedFiles().front();
        return true;
    }

    int ShowModal(QDialog& dlg) override { return dlg.exec(); }

    bool InputQuery(const QString& caption, const QString& prompt, QString& value) override {
        bool ok = false;
        const QString v =
            QInputDialog::getText(nullptr, caption, prompt, QLineEdit::Normal, value, &ok);
        if (ok) value = v;
        return ok;
    }

    bool PrintDialog(QPrinter& printer, int& copies) override {
        QPrintDialog dlg(&printer);
        if (dlg.exec() != QDialog::Accepted) return false;
        copies = printer.copyCount();
        return true;
    }

    bool PrinterSetup(QPrinter& printer) override {
        QPageSetupDialog dlg(&printer);
        return dlg.exec() == QDialog::Accepted;
    }
};

DefaultPrompter& DefaultInstance() {
    static DefaultPrompter p;
    return p;
}

Prompter* g_prompter = nullptr;

}  // namespace

Prompter& prompter() { return g_prompter ? *g_prompter : DefaultInstance(); }

void SetPrompter(Prompter* p) { g_prompter = p; }

QString QtNameFilter(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString desc = parts[i];
        const QString pattern = parts[i + 1];
        if (!desc.contains(u'(')) desc += QStringLiteral(" (") + pattern + u')';
        // "*.*" takes only names with a dot in Qt; DICOM files often have
        // no extension at all, so every name is taken too.
        if (pattern.split(u';').contains(QStringLiteral("*.*")))
            desc.replace(QStringLiteral("*.*)"), QStringLiteral("*.* *)"));
        out << desc;
    }
    return out.join(QStringLiteral(";;"));
}

}  // namespace zx
