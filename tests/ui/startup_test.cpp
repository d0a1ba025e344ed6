// The real start-up: windows, the main window's layout, and the default
// volume shown at the first activation.
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>

#include "core/render/sections.h"
#include "dialogs/about_box.h"
#include "dialogs/import_bmp_dialog.h"
#include "dialogs/options_dialog.h"
#include "support/app_fixture.h"
#include "widgets/image_view.h"
#include "widgets/list_box.h"
#include "widgets/status_bar.h"
#include "widgets/up_down.h"

namespace {

using zx::GreyToColor;

class Startup : public zxtest::AppFixture {};

TEST_F(Startup, CreatesEveryWindowOnceWithItsCaption) {
    Start();
    EXPECT_EQ(QApplication::applicationName(), QStringLiteral("Zerebrix"));
    ASSERT_TRUE(forms->AboutBox && forms->OptDlg && forms->HelpDlg && forms->ImportBmpDlg &&
                forms->NewBmpForm && forms->WebExportDlg);
    EXPECT_EQ(forms->OptDlg->windowTitle(), QStringLiteral("Programmoptionen"));
    EXPECT_EQ(forms->ImportBmpDlg->windowTitle(), QStringLiteral("Bitmap-Import"));
    EXPECT_EQ(forms->AboutBox->Version->text(), QStringLiteral("Version: 1.0"));
    const zx::CrossParams cross = forms->OptDlg->Cross();
    EXPECT_EQ(cross.length, 256);
    EXPECT_EQ(cross.thickness, 1);
    EXPECT_EQ(cross.gap, 10);
}

TEST_F(Startup, MainWindowHasTheDesignedClientArea) {
    Start();
    EXPECT_EQ(form->Client->size(), QSize(537, 545));
    EXPECT_EQ(form->Image1->geometry(), QRect(8, 4, 256, 256));
    EXPECT_EQ(form->Image2->geometry(), QRect(274, 4, 256, 256));
    EXPECT_EQ(form->Image3->geometry(), QRect(274, 268, 256, 256));
    EXPECT_EQ(form->BtnPanel->geometry(), QRect(8, 268, 180, 102));
    EXPECT_EQ(form->NavPanel->geometry(), QRect(188, 268, 77, 100));
    EXPECT_EQ(form->InfoPanel->geometry(), QRect(8, 502, 258, 21));
    EXPECT_EQ(form->StatusBar1->geometry(), QRect(0, 526, 537, 19));
    EXPECT_NEAR(form->FileListBox->y(), 376, 2);
    EXPECT_NEAR(form->FileListBox->height(), 121, 2);
    EXPECT_EQ(form->xg_Ed->maxLength(), 3);
    EXPECT_EQ(form->xg_Up->Max(), 255);
    EXPECT_EQ(form->MaxSlices, 255);
    EXPECT_FALSE(form->Image4->isVisible());
}

TEST_F(Startup, FirstActivationShowsTheDefaultVolumeCentred) {
    const auto bytes = WriteDefault(180);
    Start();
    EXPECT_TRUE(prompter.Messages().empty());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Zerebrix - MR_Kopf.vmr"));
    EXPECT_EQ(form->StatusBar1->SimpleText(), QString::fromUtf8("180 Datensätze gelesen."));
    EXPECT_EQ(form->SliceCount, 180);
    EXPECT_EQ(form->SliceOffset, 38);
    EXPECT_EQ(form->Xg, 90);
    EXPECT_EQ(form->Yg, 128);
    EXPECT_EQ(form->Zg, 128);
    EXPECT_EQ(form->StepCount, 1);
    EXPECT_EQ(form->StepPos, 1);
    EXPECT_EQ(form->VolumeFileName, QStringLiteral("MR_Kopf.vmr"));
    // The views show the sections without a crosshair.
    const QImage& sag = form->Image1->Picture();
    const QImage& cor = form->Image2->Picture();
    EXPECT_EQ(sag.pixel(128, 128), GreyToColor(bytes[zx::VoxelIndex(90, 128, 128)]));
    EXPECT_EQ(sag.pixel(128, 20), GreyToColor(bytes[zx::VoxelIndex(90, 128, 20)]));
    EXPECT_EQ(cor.pixel(37, 100), GreyToColor(0));
    EXPECT_EQ(cor.pixel(38, 100), GreyToColor(bytes[zx::VoxelIndex(0, 128, 100)]));
    EXPECT_EQ(cor.pixel(218, 100), GreyToColor(0));
    EXPECT_EQ(form->Image3->Picture().pixel(100, 50),
              GreyToColor(bytes[zx::VoxelIndex(62, 50, 128)]));
}

TEST_F(Startup, LaterActivationsKeepTheVolume) {
    WriteDefault(256);
    Start();
    form->Xg = 17;
    WriteDefault(10, 9);  // the file changes on disk meanwhile
    form->FormActivate();
    EXPECT_EQ(form->SliceCount, 256);
    EXPECT_EQ(form->Xg, 17);
}

TEST_F(Startup, MissingDefaultShowsTheRuntimeErrorAndBlackViews) {
    Start();
    const auto messages = prompter.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].msgKind, zx::MsgKind::Application);
    EXPECT_EQ(messages[0].title, QStringLiteral("Zerebrix"));
    EXPECT_EQ(messages[0].text, QStringLiteral("Datei nicht gefunden."));
    EXPECT_EQ(form->SliceCount, 0);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Zerebrix-MR"));
    EXPECT_EQ(form->Image2->Picture().pixel(128, 128), GreyToColor(0));
    EXPECT_TRUE(form->VolumeFileName.isEmpty());
}

}  // namespace
