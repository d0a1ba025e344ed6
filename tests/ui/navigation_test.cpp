// Mouse navigation with real Qt events into the three views of the real
// main window: the point, what is rebuilt, crosshairs and the step history.
#include <QTest>

#include "core/render/crosshair.h"
#include "core/render/sections.h"
#include "support/app_fixture.h"
#include "widgets/image_view.h"
#include "widgets/status_bar.h"

namespace {

using zx::GreyToColor;
using zx::VoxelIndex;

class Navigation : public zxtest::AppFixture {
protected:
    void SetUp() override {
        WriteDefault(180, 21);  // SliceOffset 38, centre (90, 128, 128)
        Start();
        prompter.record.clear();
    }
    bool Red(zx::TImage* view, int x, int y) {
        return view->Picture().pixel(x, y) == zx::kCrossColor;
    }
    QRgb Voxel(int x, int y, int z) { return GreyToColor(form->Volume[VoxelIndex(x, y, z)]); }
    /// Whether the view shows coronal plane y (checked off the crosshair).
    bool ShowsCoronal(int y) {
        return form->CorBmp.pixel(38 + 5, 3) == Voxel(5, y, 3) &&
               form->CorBmp.pixel(38 + 170, 250) == Voxel(170, y, 250);
    }
    bool ShowsTransversal(int z) {
        return form->TraBmp.pixel(38 + 5, 3) == Voxel(5, 3, z) &&
               form->TraBmp.pixel(38 + 170, 250) == Voxel(170, 250, z);
    }
    bool ShowsSagittal(int x) {
        return form->SagBmp.pixel(3, 5) == Voxel(x, 3, 5) &&
               form->SagBmp.pixel(250, 251) == Voxel(x, 250, 251);
    }
    void Click(zx::TImage* view, QPoint p, Qt::MouseButton b = Qt::LeftButton,
               Qt::KeyboardModifiers m = Qt::NoModifier) {
        QTest::mouseClick(view, b, m, p);
    }
};

TEST_F(Navigation, CoronalClickMovesXAndZ) {
    Click(form->Image2, {100, 60});
    EXPECT_EQ(form->Xg, 62);
    EXPECT_EQ(form->Zg, 60);
    EXPECT_EQ(form->Yg, 128);
    EXPECT_TRUE(Red(form->Image3, 100, 128 - 20));  // the crosshair's upper arm
    EXPECT_TRUE(Red(form->Image3, 100, 128));
    EXPECT_TRUE(Red(form->Image1, 128, 60));
    EXPECT_TRUE(ShowsSagittal(62));
    EXPECT_TRUE(ShowsTransversal(60));
    EXPECT_EQ(form->StepCount, 2);
    EXPECT_EQ(form->StatusBar1->SimpleText(),
              QStringLiteral(" Fadenkreuz: x: 62;  y: 128;  z: 60"));
}

TEST_F(Navigation, SagittalClickMovesYAndZAndRebuildsTheOthers) {
    Click(form->Image1, {40, 200});
    EXPECT_EQ(form->Yg, 40);
    EXPECT_EQ(form->Zg, 200);
    EXPECT_TRUE(ShowsCoronal(40));
    EXPECT_TRUE(ShowsTransversal(200));
    EXPECT_TRUE(Red(form->Image2, 90 + 38, 200));
    EXPECT_TRUE(Red(form->Image3, 90 + 38, 40));
    EXPECT_TRUE(Red(form->Image1, 40, 200));
}

TEST_F(Navigation, OtherButtonsAndKeysNavigateAtTheReleaseOnly) {
    const struct {
        Qt::MouseButton button;
        Qt::KeyboardModifiers mods;
    } cases[] = {{Qt::RightButton, Qt::NoModifier},
                 {Qt::LeftButton, Qt::ShiftModifier},
                 {Qt::LeftButton, Qt::ControlModifier},
                 {Qt::LeftButton, Qt::AltModifier}};
    int step = 1;
    int y = 30;
    for (const auto& c : cases) {
        QTest::mousePress(form->Image1, c.button, c.mods, {y, 70});
        EXPECT_EQ(form->Yg, y == 30 ? 128 : y - 10);  // the press changes nothing
        EXPECT_EQ(form->StepCount, step);
        QTest::mouseRelease(form->Image1, c.button, c.mods, {y, 70});
        EXPECT_EQ(form->Yg, y);
        EXPECT_EQ(form->Zg, 70);
        EXPECT_EQ(form->StepCount, ++step);
        EXPECT_TRUE(ShowsCoronal(y));
        y += 10;
    }
}

TEST_F(Navigation, DoubleClickNavigatesWithTheFirstPressAndBothReleases) {
    // The platform's sequence: press, release, second press (as a double
    // click), release.
    QTest::mousePress(form->Image3, Qt::LeftButton, Qt::NoModifier, {120, 90});
    QTest::mouseRelease(form->Image3, Qt::LeftButton, Qt::NoModifier, {120, 90});
    form->Xg = 5;  // moved meanwhile: the second press must not move it back
    QTest::mouseDClick(form->Image3, Qt::LeftButton, Qt::NoModifier, {120, 90});
    EXPECT_EQ(form->Xg, 5);
    QTest::mouseRelease(form->Image3, Qt::LeftButton, Qt::NoModifier, {120, 90});
    EXPECT_EQ(form->Xg, 120 - 38);
    EXPECT_EQ(form->Yg, 90);
    EXPECT_EQ(form->StepCount, 3);
}

TEST_F(Navigation, HoverOnlyUpdatesTheReadOut) {
    const QImage cor = form->CorBmp;
    QTest::mouseMove(form->Image1, {17, 33});
    EXPECT_EQ(form->CorBmp, cor);
    EXPECT_EQ(form->StepCount, 1);
    EXPECT_EQ(form->Yg, 128);
    EXPECT_EQ(form->xLabel->text(), QStringLiteral("x: 17"));
    EXPECT_EQ(form->yLabel->text(), QStringLiteral("y: 33"));
    EXPECT_EQ(form->OrientLabel->text(), QStringLiteral("SAG"));
    const QRgb c = Voxel(90, 17, 33);
    EXPECT_EQ(form->ColorLabel->text(),
              QStringLiteral("Color:  R:%1 G:%2 B:%3").arg(qRed(c)).arg(qGreen(c)).arg(qBlue(c)));
}

TEST_F(Navigation, SagittalDragRebuildsBothSectionsAtEveryMove) {
    QTest::mousePress(form->Image1, Qt::LeftButton, Qt::NoModifier, {50, 50});
    for (int i = 1; i <= 5; ++i) {
        QTest::mouseMove(form->Image1, {50 + 10 * i, 60 + 5 * i});
        EXPECT_TRUE(ShowsCoronal(50 + 10 * i)) << i;
        EXPECT_TRUE(ShowsTransversal(60 + 5 * i)) << i;
        EXPECT_EQ(form->Yg, 50 + 10 * i);  // the sagittal view stores the point while dragging
    }
    QTest::mouseMove(form->Image1, {400, -30});  // beyond the edges
    EXPECT_EQ(form->Yg, 255);
    EXPECT_EQ(form->Zg, 0);
    QTest::mouseRelease(form->Image1, Qt::LeftButton, Qt::NoModifier, {400, -30});
    EXPECT_EQ(form->StepCount, 2);
    EXPECT_TRUE(ShowsCoronal(255));
}

TEST_F(Navigation, DragLeftOfTheDataInTheCoronalView) {
    QTest::mousePress(form->Image2, Qt::LeftButton, Qt::NoModifier, {60, 100});
    QTest::mouseMove(form->Image2, {10, 100});
    EXPECT_TRUE(ShowsSagittal(0));
    EXPECT_TRUE(Red(form->Image2, 10, 100 - 20));  // its own crosshair follows the pointer
    EXPECT_TRUE(Red(form->Image3, 38, 128 - 20));  // the other stays at the first plane
    EXPECT_EQ(form->Xg, 60 - 38);                  // not stored while dragging
    QTest::mouseRelease(form->Image2, Qt::LeftButton, Qt::NoModifier, {10, 100});
    EXPECT_EQ(form->Xg, 0);
    EXPECT_EQ(form->Zg, 100);
    EXPECT_TRUE(Red(form->Image2, 38, 100 - 20));
    EXPECT_FALSE(Red(form->Image2, 10, 100 - 20));
}

TEST_F(Navigation, EnlargedViewsScalePointerPositions) {
    form->LayoutForClientHeight(692, true);
    ASSERT_EQ(form->Image1->size(), QSize(328, 328));
    Click(form->Image1, {164, 82});
    EXPECT_EQ(form->Yg, 128);
    EXPECT_EQ(form->Zg, 64);
    EXPECT_TRUE(Red(form->Image1, 128, 64));
    form->LayoutForClientHeight(1116, true);  // V = 540
    ASSERT_EQ(form->Image1->width(), 540);
    Click(form->Image1, {539, 10});
    EXPECT_EQ(form->Yg, 255);
}

TEST_F(Navigation, PressAndReleaseAtOnePlaceRebuildOnce) {
    QTest::mousePress(form->Image1, Qt::LeftButton, Qt::NoModifier, {70, 80});
    ASSERT_TRUE(ShowsCoronal(70));
    // Change the volume behind the views: a rebuild at the release would show it.
    form->Volume[VoxelIndex(5, 70, 3)] ^= 0xff;
    form->VolumeChanged();
    QTest::mouseRelease(form->Image1, Qt::LeftButton, Qt::NoModifier, {70, 80});
    EXPECT_FALSE(ShowsCoronal(70));
    EXPECT_EQ(form->StepCount, 2);
}

TEST_F(Navigation, AClickAtARecordedPlaceRebuildsAfterThePointMovedElsewhere) {
    Click(form->Image2, {100, 60});  // coronal record (100, 60): sections x 62, z 60
    Click(form->Image1, {40, 200});  // the sagittal view moves z to 200
    ASSERT_TRUE(ShowsTransversal(200));
    Click(form->Image2, {100, 60});  // back to the recorded place
    EXPECT_EQ(form->Zg, 60);
    EXPECT_TRUE(ShowsTransversal(60));

    // With nothing changed in between, the skip stays.
    form->Volume[VoxelIndex(5, 3, 60)] ^= 0xff;
    form->VolumeChanged();
    Click(form->Image2, {100, 60});
    EXPECT_FALSE(ShowsTransversal(60));
    EXPECT_EQ(form->StepCount, 5);
}

}  // namespace
