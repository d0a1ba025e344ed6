// "Datei" › "Zuletzt geöffnet": the volume files, NIfTI files and DICOM
// folders opened last, newest first, remembered between starts.
#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>

#include "app/main_window.h"
#include "core/texts.h"
#include "widgets/guard.h"
#include "widgets/prompter.h"

namespace zx {

namespace {

const char kRecentKey[] = "Datei/zuletzt";
constexpr int kRecentCount = 8;

QStringList RecentPaths() {
    return QSettings().value(QString::fromLatin1(kRecentKey)).toStringList();
}

void SetRecentPaths(const QStringList& paths) {
    QSettings().setValue(QString::fromLatin1(kRecentKey), paths);
}

}  // namespace

void TForm1::RememberRecent(const QString& path) {
    const QString full = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QStringList paths = RecentPaths();
    paths.removeAll(full);
    paths.prepend(full);
    while (paths.size() > kRecentCount) paths.removeLast();
    SetRecentPaths(paths);
}

void TForm1::FillRecentMenu() {
    ZuletztGeoeffnet1->clear();
    const QStringList paths = RecentPaths();
    for (int i = 0; i < paths.size(); ++i) {
        const QString path = paths[i];
        QAction* a = ZuletztGeoeffnet1->addAction(
            QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(path).fileName()));
        a->setStatusTip(path);
        connect(a, &QAction::triggered, this, Slot([this, path] { OpenRecent(path); }));
    }
    ZuletztGeoeffnet1->setEnabled(!paths.isEmpty());
    if (paths.isEmpty()) ZuletztGeoeffnet1->addAction(QStringLiteral("(keine)"))->setEnabled(false);
}

void TForm1::OpenRecent(const QString& path) {
    if (!QFileInfo::exists(path)) {
        // Moved or deleted since: say so and forget it.
        QStringList paths = RecentPaths();
        paths.removeAll(path);
        SetRecentPaths(paths);
        prompter().MessageDlg(MsgKind::Error, QString::fromUtf8(texts::kTitleError),
                              QStringLiteral("%1 gibt es nicht mehr.").arg(path), mbOK);
        return;
    }
    AsOneAction([&] { OpenPaths({path}); });
}

}  // namespace zx
