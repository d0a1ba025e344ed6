// Runs the real start-up (all seven windows) in a temporary working folder,
// with a scripted prompter in place of every modal dialog.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QSettings>
#include <QTest>
#include <QUrl>
#include <memory>

#include "app/forms.h"
#include "app/main_window.h"
#include "support/scripted_prompter.h"
#include "support/temp_dir.h"

namespace zxtest {

/// The main window's component of type T (it always has one of each).
template <class T>
T* Component(zx::TForm1* form) {
    T* c = form->Components->Find<T>();
    EXPECT_NE(c, nullptr);
    return c;
}

class AppFixture : public ::testing::Test {
protected:
    TempDir dir;
    ScriptedPrompter prompter;
    std::unique_ptr<zx::Forms> forms;
    zx::TForm1* form = nullptr;
    QString oldCwd = QDir::currentPath();

    // Every test starts with what a first start remembers.
    AppFixture() {
        zx::SetApplicationNames();
        QSettings().clear();
    }
    ~AppFixture() override {
        forms.reset();
        QDir::setCurrent(oldCwd);
    }

    /// Writes a default volume of `planes` planes into the working folder.
    std::vector<std::uint8_t> WriteDefault(int planes, unsigned seed = 3) {
        auto bytes = Pattern(std::size_t(planes) * 65536, seed);
        dir.Write(QStringLiteral("MR_Kopf.vmr"), bytes);
        return bytes;
    }

    /// Creates the windows and shows the main window as main() does, then
    /// lets the first activation run.
    void Start() {
        QDir::setCurrent(dir.Root());
        forms = zx::CreateForms();
        form = forms->Form1.get();
        zx::ShowMainWindow(*forms);
        for (int i = 0; i < 50 && !form->DefaultLoaded; ++i) QApplication::processEvents();
    }

    /// Drops `files` on the main window as the platform delivers a drop:
    /// the enter, then the drop itself.
    void Drop(const QStringList& files) {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& f : files) urls << QUrl::fromLocalFile(f);
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &mime, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(form, &enter);
        QDropEvent e(QPointF(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form, &e);
    }
};

}  // namespace zxtest
