// Coordinate entry, magnifier, inversion, the info list switch and the step
// buttons, driven through the real controls of the main window.
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "core/render/crosshair.h"
#include "core/render/sections.h"
#include "support/app_fixture.h"
#include "widgets/image_view.h"
#include "widgets/list_box.h"
#include "widgets/up_down.h"

namespace {

using zx::GreyToColor;
using zx::VoxelIndex;

class Tools : public zxtest::AppFixture {
protected:
    void SetUp() override {
        WriteDefault(256, 31);
        Start();
        prompter.record.clear();
    }
    QRgb Voxel(int x, int y, int z) { return GreyToColor(form->Volume[VoxelIndex(x, y, z)]); }
    bool ShowsSagittal(int x) {
        return form->SagBmp.pixel(3, 5) == Voxel(x, 3, 5) &&
               form->SagBmp.pixel(250, 251) == Voxel(x, 250, 251);
    }
    /// Replaces the edit's text by typing, as a user would.
    void Type(QLineEdit* ed, const QString& text) {
        ed->setFocus();
        ed->selectAll();
        if (text.isEmpty()) {
            QTest::keyClick(ed, Qt::Key_Delete);
        } else {
            QTest::keyClicks(ed, text);
        }
    }
};

// ---- Coordinate entry ----------------------------------------------------

TEST_F(Tools, TypedNumbersAreLimitedAndRebuildAtTheKeyRelease) {
    Type(form->xg_Ed, QStringLiteral("300"));
    EXPECT_EQ(form->Xg, 255);
    EXPECT_EQ(form->xg_Up->Position(), 255);
    EXPECT_EQ(form->xg_Ed->text(), QStringLiteral("255"));
    EXPECT_TRUE(ShowsSagittal(255));

    form->zg_Ed->setText(QStringLiteral("-5"));  // pasted: a lone "-" typed is no number yet
    EXPECT_EQ(form->Zg, 0);
    EXPECT_EQ(form->zg_Ed->text(), QStringLiteral("0"));

    Type(form->yg_Ed, QStringLiteral("007"));
    EXPECT_EQ(form->Yg, 7);
    EXPECT_EQ(form->yg_Ed->text(), QStringLiteral("7"));
    EXPECT_EQ(form->StepCount, 1);  // typing records no step
}

TEST_F(Tools, AnEmptyTextShowsTheIntegerErrorAndRestoresTheNumber) {
    Type(form->yg_Ed, QStringLiteral("42"));
    prompter.record.clear();
    Type(form->yg_Ed, QString());
    const auto messages = prompter.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].msgKind, zx::MsgKind::Application);
    EXPECT_EQ(messages[0].title, QStringLiteral("Zerebrix"));
    EXPECT_EQ(messages[0].text, QString::fromUtf8("'' ist kein gültiger Integerwert."));
    EXPECT_EQ(form->yg_Ed->text(), QStringLiteral("42"));
    EXPECT_EQ(form->Yg, 42);
}

TEST_F(Tools, UpDownsStepWithoutWrapping) {
    form->yg_Up->SetPosition(255);
    form->yg_Up->ClickUp();
    EXPECT_EQ(form->Yg, 255);
    EXPECT_EQ(form->yg_Ed->text(), QStringLiteral("255"));
    form->xg_Up->SetPosition(0);
    form->xg_Up->ClickDown();
    EXPECT_EQ(form->Xg, 0);
    EXPECT_TRUE(ShowsSagittal(0));
    form->xg_Up->ClickUp();
    EXPECT_EQ(form->Xg, 1);
    EXPECT_TRUE(ShowsSagittal(1));
}

TEST_F(Tools, PointerMovesRewriteTheEditsWithoutRebuilding) {
    Type(form->xg_Ed, QStringLiteral("12"));
    form->Xg = 99;  // as after a load: the edits still show the old point
    const QImage sag = form->SagBmp;
    form->Image1MouseMove(0, 5, 5);
    EXPECT_EQ(form->xg_Ed->text(), QStringLiteral("99"));
    EXPECT_EQ(form->xg_Up->Position(), 99);
    EXPECT_EQ(form->SagBmp, sag);
}

// ---- Magnifier -------------------------------------------------------------

TEST_F(Tools, MagnifierShowsTheEnlargedNeighbourhoodOfADrag) {
    QTest::mouseClick(form->LupeBtn, Qt::LeftButton);
    ASSERT_TRUE(form->LupeOn);
    EXPECT_FALSE(form->Image4->isHidden());
    EXPECT_EQ(form->LupeBtn->toolTip(), QStringLiteral("Lupe ausschalten"));
    form->LupeFak_Up->ClickUp();
    form->LupeFak_Up->ClickUp();
    EXPECT_EQ(form->LupeFak_Up->Position(), 4);
    EXPECT_EQ(form->LupeFak_Up->Hint(), QString::fromUtf8("Vergrößerung: 4x"));

    form->Image1MouseMove(zx::ssLeft, 128, 128);
    const QImage& shown = form->Image1->Picture();
    const QImage& lupe = form->Image4->Picture();
    // Factor 4: the 24 × 24 pixels from (116, 116), each shown about 4 times.
    EXPECT_EQ(lupe.pixel(0, 0), shown.pixel(116, 116));
    EXPECT_EQ(lupe.pixel(98, 98), shown.pixel(139, 139));
    EXPECT_EQ(lupe.pixel(50, 3), shown.pixel(116 + 50 * 24 / 99, 116));

    form->LupeFak_Up->ClickDown();
    form->LupeFak_Up->ClickDown();  // factor 2
    form->Image1MouseMove(zx::ssLeft, 10, 10);
    EXPECT_EQ(form->Image4->Picture().pixel(0, 0), 0xff000000u);  // left of and above the picture
    EXPECT_EQ(form->Image4->Picture().pixel(98, 98), form->Image1->Picture().pixel(33, 33));
}

TEST_F(Tools, MagnifierIsFedByDragsOnlyAndHidesWhenSwitchedOff) {
    form->LupeBtnClick();
    form->Image4->Picture().fill(Qt::blue);
    form->Image1MouseMove(0, 100, 100);                                     // hover
    form->Image1MouseDown(zx::TMouseButton::mbLeft, zx::ssLeft, 100, 100);  // press
    EXPECT_EQ(form->Image4->Picture().pixel(10, 10), QColor(Qt::blue).rgb());
    form->LupeBtnClick();
    EXPECT_FALSE(form->LupeOn);
    EXPECT_TRUE(form->Image4->isHidden());
    EXPECT_EQ(form->LupeBtn->toolTip(), QStringLiteral("Lupe einschalten"));
}

// ---- Inversion, info list, steps -------------------------------------------

TEST_F(Tools, InversionIsADisplayEffectThatUndoesItself) {
    form->Volume[VoxelIndex(128, 10, 12)] = 200;
    form->VolumeChanged();
    form->RefreshX();
    const QImage before1 = form->Image1->Picture(), before2 = form->Image2->Picture();
    QTest::mouseClick(form->InvertButton, Qt::LeftButton);
    EXPECT_EQ(form->Image1->Picture().pixel(10, 12), GreyToColor(55));
    EXPECT_EQ(form->Image1->Picture().pixel(128, 128) & 0xffffffu, 0x00ffffu);  // red becomes cyan
    EXPECT_EQ(form->SagBmp.pixel(10, 12), GreyToColor(200));  // the clean bitmap stays
    QTest::mouseClick(form->InvertButton, Qt::LeftButton);
    EXPECT_EQ(form->Image1->Picture(), before1);
    EXPECT_EQ(form->Image2->Picture(), before2);
}

TEST_F(Tools, ADragAfterInversionShowsTheCleanSectionsWithTheNewCrosshair) {
    QTest::mouseClick(form->InvertButton, Qt::LeftButton);
    QTest::mousePress(form->Image2, Qt::LeftButton, Qt::NoModifier, {100, 60});
    QTest::mouseMove(form->Image2, {110, 70});
    QTest::mouseMove(form->Image2, {120, 80});
    QTest::mouseRelease(form->Image2, Qt::LeftButton, Qt::NoModifier, {120, 80});
    // Every pixel is the clean section's, except the crosshair's red.
    for (auto [view, clean] :
         {std::pair{form->Image1, &form->SagBmp}, {form->Image3, &form->TraBmp}}) {
        const QImage& shown = view->Picture();
        int other = 0;
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x)
                other +=
                    shown.pixel(x, y) != clean->pixel(x, y) && shown.pixel(x, y) != zx::kCrossColor;
        EXPECT_EQ(other, 0) << view->objectName().toStdString();
    }
    EXPECT_EQ(form->Image1->Picture().pixel(form->Yg, form->Zg), zx::kCrossColor);
}

TEST_F(Tools, InfoListSwitchPairsTheHintWithTheList) {
    EXPECT_EQ(form->ShowLBButton->toolTip(), QStringLiteral("Infos ausblenden"));
    form->ShowLBButtonClick();
    EXPECT_TRUE(form->FileListBox->isHidden());
    EXPECT_EQ(form->ShowLBButton->toolTip(), QStringLiteral("Infos anzeigen"));
    form->ShowLBButtonClick();
    EXPECT_FALSE(form->FileListBox->isHidden());
    EXPECT_EQ(form->ShowLBButton->toolTip(), QStringLiteral("Infos ausblenden"));
}

TEST_F(Tools, StepButtonsRecallRecordedPositions) {
    form->BackBtnClick();  // StepPos 1: nothing to go back to
    EXPECT_EQ(form->StepPos, 1);
    QTest::mouseClick(form->Image1, Qt::LeftButton, Qt::NoModifier, {10, 20});
    QTest::mouseClick(form->Image2, Qt::LeftButton, Qt::NoModifier, {30, 40});
    QTest::mouseClick(form->Image3, Qt::LeftButton, Qt::NoModifier, {50, 60});
    ASSERT_EQ(form->StepCount, 4);
    form->NextBtnClick();  // already at the newest
    EXPECT_EQ(form->StepPos, 4);
    form->BackBtnClick();
    EXPECT_EQ(form->StepPos, 3);
    EXPECT_EQ(form->Xg, 30);
    EXPECT_EQ(form->Yg, 10);
    EXPECT_EQ(form->Zg, 40);
    EXPECT_EQ(form->xg_Ed->text(), QStringLiteral("30"));
    EXPECT_TRUE(ShowsSagittal(30));
    form->NextBtnClick();
    EXPECT_EQ(form->Xg, 50);
    EXPECT_EQ(form->Yg, 60);
    EXPECT_EQ(form->StepCount, 4);  // recalling records nothing
}

TEST_F(Tools, TheStepRingStartsAgainAfter1500) {
    form->StepCount = 0;
    for (int i = 0; i < 1500; ++i) form->RecordStep();
    EXPECT_EQ(form->StepCount, 1500);
    form->Xg = 77;
    form->RecordStep();
    EXPECT_EQ(form->StepCount, 1);
    EXPECT_EQ(form->StepPos, 1);
    EXPECT_EQ(zx::Steps[1].x, 77);
    form->GotoStep(5);  // beyond StepCount: ignored
    EXPECT_EQ(form->Xg, 77);
    form->GotoStep(0);  // entry 0 is never written
    EXPECT_EQ(form->Xg, 0);
    EXPECT_EQ(form->Yg, 0);
}

}  // namespace
