// The options dialog, the window modes and layout, printing, and the help
// and about windows.
#include <QCheckBox>
#include <QDate>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QRegularExpression>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>

#include "core/render/crosshair.h"
#include "dialogs/about_box.h"
#include "dialogs/help_dialog.h"
#include "dialogs/manual_window.h"
#include "dialogs/options_dialog.h"
#include "support/app_fixture.h"
#include "widgets/image_view.h"
#include "widgets/list_box.h"
#include "widgets/status_bar.h"
#include "widgets/tool_window.h"
#include "widgets/up_down.h"

namespace {

/// Red pixels of a view's picture.
int RedCount(zx::TImage* view) {
    int n = 0;
    const QImage& img = view->Picture();
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += img.pixel(x, y) == zx::kCrossColor;
    return n;
}

class Dialogs : public zxtest::AppFixture {
protected:
    zx::TOptDlg* opt = nullptr;
    void SetUp() override {
        WriteDefault(256, 41);
        Start();
        opt = forms->OptDlg.get();
        form->RefreshX();  // crosshairs in all three views at (128, 128, 128)
        prompter.record.clear();
    }
    bool Red(zx::TImage* view, int x, int y) {
        return view->Picture().pixel(x, y) == zx::kCrossColor;
    }
};

// ---- Options dialog ----------------------------------------------------------

TEST_F(Dialogs, TypedLengthIsHeldWithinTheCounterRange) {
    opt->CrossLen->setText(QStringLiteral("20"));
    EXPECT_EQ(opt->CrLenUpDown->Position(), 20);
    EXPECT_FALSE(Red(form->Image1, 128, 100));
    opt->CrossLen->setText(QStringLiteral("999"));
    EXPECT_EQ(opt->CrLenUpDown->Position(), 256);
    EXPECT_EQ(opt->CrossLen->text(), QStringLiteral("999"));
    EXPECT_TRUE(Red(form->Image1, 128, 0));
    EXPECT_TRUE(Red(form->Image3, 255, 128));
}

TEST_F(Dialogs, ThicknessZeroRemovesTheCrosshairEverywhereAndItComesBack) {
    const int before = RedCount(form->Image2);
    ASSERT_GT(before, 0);
    opt->CrossThick->setText(QStringLiteral("0"));
    EXPECT_EQ(RedCount(form->Image1) + RedCount(form->Image2) + RedCount(form->Image3), 0);
    opt->CrossThick->setText(QStringLiteral("1"));
    EXPECT_EQ(RedCount(form->Image2), before);
    EXPECT_TRUE(Red(form->Image2, 128, 128));
}

TEST_F(Dialogs, CounterClicksWriteTheFieldAndStopAtTheirBounds) {
    opt->CrGapUpDown->ClickUp();
    EXPECT_EQ(opt->CrossGap->text(), QStringLiteral("11"));
    EXPECT_EQ(opt->CrGapUpDown->Position(), 11);
    EXPECT_FALSE(Red(form->Image1, 128 + 10, 128));
    EXPECT_TRUE(Red(form->Image1, 128 + 11, 128));

    opt->CrossThick->setText(QStringLiteral("9"));
    form->Image1->Picture().fill(Qt::black);  // a redraw would bring the crosshair back
    opt->CrThickUpDown->ClickUp();
    EXPECT_EQ(opt->CrThickUpDown->Position(), 9);
    EXPECT_EQ(opt->CrossThick->text(), QStringLiteral("9"));
    EXPECT_EQ(RedCount(form->Image1), 0);
}

TEST_F(Dialogs, ANonNumberDropsTheChangeWithTheIntegerError) {
    opt->CrossLen->setText(QStringLiteral("40"));
    prompter.record.clear();
    opt->CrossLen->setText(QString());
    ASSERT_EQ(prompter.Messages().size(), 1u);
    EXPECT_EQ(prompter.Messages()[0].text, QString::fromUtf8("'' ist kein gültiger Integerwert."));
    EXPECT_EQ(opt->CrLenUpDown->Position(), 40);
    EXPECT_TRUE(opt->CrossLen->text().isEmpty());  // the field keeps the bad text

    opt->CrossGap->setText(QStringLiteral("-5"));  // a negative number is no error
    EXPECT_EQ(opt->CrGapUpDown->Position(), 0);
    EXPECT_EQ(opt->CrossGap->text(), QStringLiteral("-5"));
    EXPECT_EQ(opt->CrossLen->maxLength(), 3);
    EXPECT_EQ(opt->CrossThick->maxLength(), 1);
    EXPECT_EQ(opt->CrossGap->maxLength(), 2);
}

TEST_F(Dialogs, PanelAndLabelSwitches) {
    QTest::mouseClick(opt->ShowInfoPanel, Qt::LeftButton);
    EXPECT_TRUE(form->InfoPanel->isHidden());
    form->xLabel->setText(QStringLiteral("x: -"));
    form->Image1MouseMove(0, 10, 10);  // no read-out while the panel is hidden
    EXPECT_EQ(form->xLabel->text(), QStringLiteral("x: -"));
    QTest::mouseClick(opt->ShowNavPanel, Qt::LeftButton);
    EXPECT_TRUE(form->NavPanel->isHidden());
    form->Image1MouseMove(0, 10, 10);
    EXPECT_EQ(form->xg_Ed->text(), QStringLiteral("128"));  // hidden edits still follow

    QTest::mouseClick(opt->ShowRefLabels, Qt::LeftButton);
    const QList<QLabel*> labels = {form->SAG_Label, form->COR_Label, form->TRA_Label,
                                   form->x_Label1,  form->y_Label1,  form->z_Label1,
                                   form->x_Label2,  form->y_Label2,  form->z_Label2};
    for (QLabel* l : labels) EXPECT_TRUE(l->isHidden()) << l->objectName().toStdString();
    form->LayoutForClientHeight(692, true);  // hidden labels are still moved
    EXPECT_EQ(form->x_Label2->pos(), QPoint(346 + 328 - 12, 340 + 328 - 16));
    form->LayoutForClientHeight(545, false);
    QTest::mouseClick(opt->ShowRefLabels, Qt::LeftButton);
    for (QLabel* l : labels) EXPECT_FALSE(l->isHidden()) << l->objectName().toStdString();
    EXPECT_EQ(form->x_Label2->pos(), QPoint(518, 508));
}

TEST_F(Dialogs, OptionsMenuShowsTheDialogModally) {
    form->Optionen1->trigger();
    ASSERT_EQ(prompter.record.size(), 1u);
    EXPECT_EQ(prompter.record[0].kind, QStringLiteral("modal"));
    EXPECT_EQ(prompter.record[0].text, QStringLiteral("Programmoptionen"));
}

// ---- Window modes and layout --------------------------------------------------

TEST_F(Dialogs, NormalLayoutReproducesTheDesign) {
    struct Place {
        QWidget* w;
        QPoint designed;
    };
    const Place places[] = {
        {form->SAG_Label, {126, 12}},  {form->COR_Label, {390, 12}}, {form->TRA_Label, {390, 276}},
        {form->y_Label1, {252, 244}},  {form->x_Label1, {520, 244}}, {form->z_Label2, {280, 4}},
        {form->x_Label2, {520, 508}},  {form->y_Label2, {280, 268}}, {form->z_Label1, {14, 4}},
        {form->FileListBox, {8, 376}}, {form->InfoPanel, {8, 502}},  {form->NavPanel, {188, 268}},
        {form->BtnPanel, {8, 268}}};
    for (const Place& p : places) {
        EXPECT_NEAR(p.w->x(), p.designed.x(), 2) << p.w->objectName().toStdString();
        EXPECT_NEAR(p.w->y(), p.designed.y(), 2) << p.w->objectName().toStdString();
    }
    EXPECT_NEAR(form->FileListBox->height(), 121, 2);
}

TEST_F(Dialogs, EnlargedLayoutIsAGridOfViewsWithTheFreeCellAndAPanelColumn) {
    form->LayoutForClientHeight(692, true);  // no width given: the height decides, V = 328
    EXPECT_EQ(form->Image1->geometry(), QRect(8, 4, 328, 328));
    EXPECT_EQ(form->Image2->geometry(), QRect(346, 4, 328, 328));
    EXPECT_EQ(form->Image3->geometry(), QRect(346, 340, 328, 328));
    EXPECT_EQ(form->View3DRect(), QRect(8, 340, 328, 328));  // kept for the 3-D view
    EXPECT_TRUE(form->View3DSlot->isVisibleTo(form));
    EXPECT_EQ(form->BtnPanel->pos(), QPoint(684, 4));
    EXPECT_EQ(form->NavPanel->pos(), QPoint(864, 4));
    EXPECT_EQ(form->StatusBar1->y(), 673);
    EXPECT_EQ(form->InfoPanel->geometry().topLeft(), QPoint(684, 649));
    EXPECT_EQ(form->FileListBox->geometry(), QRect(684, 112, 257, 532));
    EXPECT_TRUE(form->Image1->Stretch());
    // A 1280 × 1024 screen's client area: the height limits; a narrow one
    // limits by its width, leaving room for the panel column.
    form->LayoutForClientHeight(975, true, 1280);
    EXPECT_EQ(form->Image1->width(), 469);
    form->LayoutForClientHeight(975, true, 1000);
    EXPECT_EQ(form->Image1->width(), 353);
    EXPECT_EQ(form->BtnPanel->x(), 734);  // 2 · 353 + 28
    // A 1920 × 1080 screen: the three views in a row, larger than in the
    // grid (V = 481 there), the free cell and the panels below them.
    form->LayoutForClientHeight(998, true, 1920);
    EXPECT_EQ(form->Image1->geometry(), QRect(8, 4, 628, 628));
    EXPECT_EQ(form->Image2->geometry(), QRect(646, 4, 628, 628));
    EXPECT_EQ(form->Image3->geometry(), QRect(1284, 4, 628, 628));
    EXPECT_EQ(form->View3DRect(), QRect(8, 640, 335, 335));
    EXPECT_EQ(form->BtnPanel->pos(), QPoint(353, 640));
    EXPECT_GT(form->FileListBox->x(), form->NavPanel->geometry().right());
    form->LayoutForClientHeight(545, false);  // back to the designed places
    EXPECT_TRUE(form->View3DRect().isEmpty());
    EXPECT_FALSE(form->View3DSlot->isVisibleTo(form));
    EXPECT_EQ(form->FileListBox->geometry().topLeft(), QPoint(8, 376));
    EXPECT_EQ(form->NavPanel->pos(), QPoint(188, 268));
}

TEST_F(Dialogs, ToolWindowsStayOnTheScreenBesideTheMainWindow) {
    const QRect screen(0, 0, 1280, 1024);
    const QSize tool(424, 158);
    // Right of a main window at the left edge.
    EXPECT_EQ(zx::ToolWindowPosition(screen, QRect(0, 0, 539, 587), tool), QPoint(547, 0));
    // Centred on 1280 px: neither right nor left fits, below does.
    EXPECT_EQ(zx::ToolWindowPosition(screen, QRect(370, 200, 539, 587), tool), QPoint(370, 795));
    // Maximised: over the main window's lower left part.
    EXPECT_EQ(zx::ToolWindowPosition(screen, screen, tool), QPoint(0, 866));
    // Never off the screen, even with a main window partly off it.
    const QPoint p = zx::ToolWindowPosition(screen, QRect(1000, 600, 539, 587), tool);
    EXPECT_TRUE(screen.contains(QRect(p, tool))) << p.x() << "," << p.y();
}

TEST_F(Dialogs, ToolWindowsOpenBesideEachOtherNotOnOneSpot) {
    const QRect screen(0, 0, 1280, 1024);
    const QRect main(0, 0, 539, 587);
    const QRect atlas(547, 0, 424, 158);
    // The next one below the first, in the column right of the main window.
    EXPECT_EQ(zx::ToolWindowPosition(screen, main, QSize(300, 400), {atlas}), QPoint(547, 166));
    // A third that fits neither there nor below the main window's 587 rows
    // (1024 - 587 - 8 < 500) goes into a column right of the first two.
    const QRect measure(547, 166, 300, 400);
    EXPECT_EQ(zx::ToolWindowPosition(screen, main, QSize(290, 500), {atlas, measure}),
              QPoint(979, 0));
    // Maximised: the second one along the bottom, not over the first.
    const QRect first(0, 866, 424, 158);
    const QPoint p = zx::ToolWindowPosition(screen, screen, QSize(424, 158), {first});
    EXPECT_FALSE(QRect(p, QSize(424, 158)).intersects(first)) << p.x() << "," << p.y();
    EXPECT_EQ(p.y(), 866);
}

TEST_F(Dialogs, MaximiseAndRestoreThroughTheMenu) {
    form->vergroessert1->trigger();
    QApplication::processEvents();
    const QRect enlarged = form->Image1->geometry();
    EXPECT_TRUE(form->Image1->Stretch());
    EXPECT_GE(enlarged.width(), 200);
    // Both rows of views above the status bar, the panel column inside.
    EXPECT_LE(form->Image3->geometry().bottom(), form->StatusBar1->y());
    EXPECT_LE(form->FileListBox->geometry().right(), form->Client->width());
    form->vergroessert1->trigger();  // twice changes nothing
    QApplication::processEvents();
    EXPECT_EQ(form->Image1->geometry(), enlarged);
    form->normal1->trigger();
    QApplication::processEvents();
    EXPECT_EQ(form->Client->size(), QSize(537, 545));
    EXPECT_EQ(form->Image3->geometry(), QRect(274, 268, 256, 256));
    EXPECT_FALSE(form->Image1->Stretch());
}

TEST_F(Dialogs, TheWindowManagersMaximiseLeadsToTheEnlargedLayout) {
    // No fixed maximum: the title bar's maximise button stays usable.
    EXPECT_EQ(form->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    form->setWindowState(Qt::WindowMaximized);  // as the title bar asks for it
    QApplication::processEvents();
    EXPECT_TRUE(form->Image1->Stretch());
    form->setWindowState(Qt::WindowNoState);
    QApplication::processEvents();
    EXPECT_EQ(form->Client->size(), QSize(537, 545));
    EXPECT_FALSE(form->Image1->Stretch());
}

TEST_F(Dialogs, ReadOutsAndLabelsShowWholeInTheProgramFont) {
    EXPECT_EQ(QFontInfo(form->ColorLabel->font()).family(), QStringLiteral("Liberation Sans"));
    EXPECT_EQ(QFontInfo(form->SAG_Label->font()).family(), QStringLiteral("Liberation Sans"));
    const std::pair<QLabel*, const char*> widest[] = {
        {form->ColorLabel, "Color:  R:255 G:255 B:255"},
        {form->xLabel, "x: 255"},
        {form->yLabel, "y: 255"},
        {form->OrientLabel, "COR"}};
    for (const auto& [label, text] : widest) {
        EXPECT_LE(label->fontMetrics().horizontalAdvance(QString::fromLatin1(text)), label->width())
            << text;
    }
    // The sagittal view's "z" is drawn in the button-face colour over the black view.
    form->Image1->Picture().fill(Qt::black);
    const QImage shot = form->Client->grab().toImage();
    const QColor face = form->palette().color(QPalette::Button);
    const QRect z = form->z_Label1->geometry();
    int faceColoured = 0;
    for (int y = z.top(); y <= z.bottom(); ++y)
        for (int x = z.left(); x <= z.right(); ++x) faceColoured += shot.pixelColor(x, y) == face;
    EXPECT_GT(faceColoured, 3);
}

TEST_F(Dialogs, QtsOwnDialogsSpeakGerman) {
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Suchen in:"));
    EXPECT_EQ(QCoreApplication::translate("QPrintDialog", "Print"), QStringLiteral("Drucken"));
    // Dates and sizes in the file dialog's columns come from the default locale.
    EXPECT_EQ(QLocale().toString(QDate(2024, 12, 9), QStringLiteral("d. MMM yyyy")),
              QStringLiteral("9. Dez. 2024"));
    EXPECT_EQ(QLocale().formattedDataSize(1536), QStringLiteral("1,50 KiB"));
}

// ---- Printing -----------------------------------------------------------------

TEST_F(Dialogs, EachCopyIsAJobOfItsOwn) {
    const QString pdf = dir.Path(QStringLiteral("druck.pdf"));
    prompter.printAnswer = [&](QPrinter& printer, int& copies) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setCopyCount(3);
        copies = 3;
        return true;
    };
    form->Drucken1->trigger();
    EXPECT_TRUE(prompter.Messages().empty());
    for (int i = 1; i <= 3; ++i) {
        QFile f(dir.Path(QStringLiteral("druck-%1.pdf").arg(i)));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << i;
        const QByteArray data = f.readAll();
        EXPECT_TRUE(data.startsWith("%PDF")) << i;
        EXPECT_EQ(
            data.count("/Type /Page\n") + data.count("/Type /Page\r") + data.count("/Type /Page "),
            1)
            << i;
        EXPECT_TRUE(data.contains("/Subtype /Image")) << i;
    }
    EXPECT_EQ(form->Printer->copyCount(), 1);
    EXPECT_EQ(form->Printer->outputFileName(), pdf);
}

TEST_F(Dialogs, CancelledOrEmptyPrintPrintsNothing) {
    const QString pdf = dir.Path(QStringLiteral("nie.pdf"));
    prompter.printAnswer = [&](QPrinter& printer, int& copies) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        copies = 0;
        return true;
    };
    form->Drucken1Click();
    EXPECT_FALSE(QFile::exists(pdf));
    prompter.printAnswer = nullptr;  // cancel
    form->Drucken1Click();
    EXPECT_FALSE(QFile::exists(pdf));
}

TEST_F(Dialogs, APrinterThatCannotStartReportsTheRuntimeMessage) {
    prompter.printAnswer = [&](QPrinter& printer, int& copies) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.Path(QStringLiteral("no/such/folder/x.pdf")));
        copies = 1;
        return true;
    };
    form->Drucken1->trigger();
    ASSERT_EQ(prompter.Messages().size(), 1u);
    EXPECT_EQ(prompter.Messages()[0].title, QStringLiteral("Zerebrix"));
    EXPECT_EQ(prompter.Messages()[0].text,
              QString::fromUtf8("Zur Zeit ist kein Standard-Drucker gewählt."));
}

TEST_F(Dialogs, ThePrintedPictureIsTheClientAreaAsShown) {
    form->InvertButtonClick();
    const QImage picture = form->ClientPicture();
    EXPECT_EQ(picture.size(), QSize(537, 545));
    const QPoint inView = form->Image2->geometry().topLeft() + QPoint(128, 60);  // below the title
    EXPECT_EQ(picture.pixel(inView), form->Image2->Picture().pixel(128, 60));
}

// ---- Help and about -------------------------------------------------------------

TEST_F(Dialogs, F1OpensTheManualWhoseMenuPathsAllExist) {
    QTest::keyClick(form, Qt::Key_F1);
    zx::TManualWindow* manual = forms->ManualWindow.get();
    ASSERT_TRUE(manual->isVisible());
    form->Anleitung1->trigger();
    int manuals = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        manuals += qobject_cast<zx::TManualWindow*>(w) != nullptr;
    EXPECT_EQ(manuals, 1);
    const QTextDocument* doc = manual->Browser->document();
    for (const char* picture : {"hauptfenster.png", "3d_ansicht.png"}) {
        const QImage img =
            doc->resource(QTextDocument::ImageResource,
                          manual->Browser->source().resolved(QUrl(QString::fromLatin1(picture))))
                .value<QImage>();
        EXPECT_FALSE(img.isNull()) << picture;
    }
    // Every menu path the manual names („Menü“ › „Eintrag“) is in the menus.
    const auto plain = [](QString t) { return t.remove(u'&'); };
    const QString text = doc->toPlainText();
    const QRegularExpression path(QString::fromUtf8("„([^“]+)“ › „([^“]+)“"));
    int paths = 0;
    for (auto m = path.globalMatch(text); m.hasNext(); ++paths) {
        const auto hit = m.next();
        bool found = false;
        for (const QAction* top : form->menuBar()->actions())
            if (top->menu() && plain(top->text()) == hit.captured(1))
                for (const QAction* a : top->menu()->actions())
                    found = found || plain(a->text()) == hit.captured(2) ||
                            plain(a->text()).startsWith(hit.captured(2) + u' ');
        EXPECT_TRUE(found) << hit.captured(0).toStdString();
    }
    EXPECT_GE(paths, 12);
    manual->hide();
}

TEST_F(Dialogs, HelpWindowIsModelessAndOpensOnce) {
    form->Inhalt1->trigger();
    form->Inhalt1->trigger();
    zx::THelpDlg* help = forms->HelpDlg.get();
    EXPECT_TRUE(help->isVisible());
    EXPECT_FALSE(help->isModal());
    EXPECT_EQ(help->windowTitle(), QStringLiteral("Zerebrix Hilfe"));
    int helpWindows = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        helpWindows += qobject_cast<zx::THelpDlg*>(w) != nullptr;
    EXPECT_EQ(helpWindows, 1);
    EXPECT_TRUE(help->RichEdit1->isReadOnly());
    EXPECT_TRUE(help->RichEdit1->toPlainText().startsWith(
        QStringLiteral("Produktspezifikation Zerebrix-MR:")));
    EXPECT_TRUE(help->RichEdit1->toPlainText().contains(
        QString::fromUtf8("- Lupe mit einstellbarer Vergrößerung")));
    EXPECT_EQ(help->Image1->pixmap().size(), QSize(100, 124));  // the JPEG decodes
    help->hide();
}

TEST_F(Dialogs, AboutBoxShowsModallyWithItsVersion) {
    form->Info1->trigger();
    ASSERT_EQ(prompter.record.size(), 1u);
    EXPECT_EQ(prompter.record[0].title, QStringLiteral("AboutBox"));
    EXPECT_EQ(prompter.record[0].text, QStringLiteral("Info"));
    EXPECT_EQ(forms->AboutBox->Version->text(), QStringLiteral("Version: 1.0"));
    EXPECT_FALSE(forms->AboutBox->ProgramIcon->pixmap().isNull());
    EXPECT_FALSE(forms->AboutBox->Maker->text().isEmpty());  // the maker's town
}

}  // namespace
