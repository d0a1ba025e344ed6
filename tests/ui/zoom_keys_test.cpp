// Zoomed section views show and take the voxel under the pointer; the
// keyboard follows the view clicked; high-DPI positions land on the pixel
// under the pointer; "Zuletzt geöffnet" brings back what was opened.
#include <QAction>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <cmath>

#include "components/orientation/orientation_letters.h"
#include "components/zoom/zoom.h"
#include "support/app_fixture.h"
#include "support/small_volumes.h"
#include "widgets/image_view.h"

namespace {

class ZoomKeys : public zxtest::AppFixture {
protected:
    zx::TZoom* zoom = nullptr;
    void SetUp() override {
        WriteDefault(180, 6);
        Start();
        zoom = zxtest::Component<zx::TZoom>(form);
        prompter.record.clear();
    }
    void MoveTo(int x, int y, int z) {
        form->xg_Ed->setText(QString::number(x));
        form->yg_Ed->setText(QString::number(y));
        form->zg_Ed->setText(QString::number(z));
        form->zg_EdKeyUp();
    }
    /// Picture pixel shown at widget pixel (c, r) of a 256-pixel view zoomed
    /// F times with picture point `centre` in the middle: worked out here.
    static QPoint Shown(QPointF centre, int f, int c, int r, bool mirrored = false) {
        const double x = mirrored ? centre.x() + (127.5 - c) / f : centre.x() + (c + 0.5 - 128) / f;
        return {int(std::floor(x)), int(std::floor(centre.y() + (r + 0.5 - 128) / f))};
    }
};

TEST_F(ZoomKeys, AZoomedViewShowsEachVoxelAsABlockAroundThePointAndBlackBeyond) {
    MoveTo(30, 10, 100);
    zoom->SetFactor(2);
    const QImage shown = form->Image1->grab().toImage();
    // Each view's pixel (c, r) shows section pixel (px + floor((c − 128) / F),
    // py + floor((r − 128) / F)) about the point's place (px, py) = (y, z).
    for (int c : {40, 60, 100, 200, 230})
        for (int r : {50, 90, 170, 210}) {
            const int sc = 10 + int(std::floor((c - 128) / 2.0)),
                      sr = 100 + int(std::floor((r - 128) / 2.0));
            const QRgb want = sc < 0 ? qRgb(0, 0, 0) : form->SagBmp.pixel(sc, sr);
            EXPECT_EQ(shown.pixel(c, r) & 0xffffff, want & 0xffffff) << c << ", " << r;
        }
}

TEST_F(ZoomKeys, AZoomedClickTakesTheVoxelDrawnUnderThePointerAlsoMirrored) {
    zoom->SetFactor(4);
    const QPointF centre = zoom->Centre(3);
    const QPoint at = Shown(centre, 4, 60, 200);
    QTest::mouseClick(form->Image3, Qt::LeftButton, {}, QPoint(60, 200));
    EXPECT_EQ(form->Xg, at.x() - form->SliceOffset);
    EXPECT_EQ(form->Yg, at.y());
    EXPECT_EQ(zoom->Centre(3), centre);  // the clicked view does not move under the pointer
    zxtest::Component<zx::TOrientationLetters>(form)->SetNeurological(true, false);
    const QPoint mirrored = Shown(centre, 4, 60, 200, true);
    QTest::mouseClick(form->Image3, Qt::LeftButton, {}, QPoint(60, 200));
    EXPECT_EQ(form->Xg, mirrored.x() - form->SliceOffset);
    // A middle drag pans and sets no point; Ctrl+wheel keeps the pixel under
    // the pointer in place.
    const int x = form->Xg, y = form->Yg;
    QTest::mousePress(form->Image3, Qt::MiddleButton, {}, QPoint(100, 100));
    QMouseEvent move(QEvent::MouseMove, QPointF(140, 60), QPointF(140, 60), Qt::NoButton,
                     Qt::MiddleButton, Qt::NoModifier);
    QApplication::sendEvent(form->Image3, &move);
    QTest::mouseRelease(form->Image3, Qt::MiddleButton, {}, QPoint(140, 60));
    // The picture follows the pointer: 40 pixels at 4 × are 10 voxels, and
    // right on the mirrored screen is left in the picture.
    EXPECT_EQ(zoom->Centre(3), centre + QPointF(10, 10))
        << zoom->Centre(3).x() << " " << zoom->Centre(3).y();
    EXPECT_EQ(form->Xg, x);
    EXPECT_EQ(form->Yg, y);
    zxtest::Component<zx::TOrientationLetters>(form)->SetNeurological(false, false);
    const QPoint before = Shown(zoom->Centre(3), 4, 40, 40);
    QWheelEvent wheel(QPointF(40, 40), form->Image3->mapToGlobal(QPointF(40, 40)), {},
                      QPoint(0, 120), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(form->Image3, &wheel);
    EXPECT_EQ(zoom->Factor(), 5);
    EXPECT_EQ(Shown(zoom->Centre(3), 5, 40, 40), before);
    EXPECT_EQ(form->Xg, x);  // the plane did not step
}

TEST_F(ZoomKeys, HighDpiPositionsAreThePixelUnderThePointer) {
    // At 150 % or 200 % scaling the platform reports fractions of a pixel.
    for (const QPointF at : {QPointF(10.75, 20.5), QPointF(99.5, 3.9)}) {
        QMouseEvent press(QEvent::MouseButtonPress, at, form->Image1->mapToGlobal(at),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form->Image1, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, form->Image1->mapToGlobal(at),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(form->Image1, &release);
        EXPECT_EQ(form->Yg, int(at.x()));
        EXPECT_EQ(form->Zg, int(at.y()));
    }
}

TEST_F(ZoomKeys, AClickGivesTheViewTheKeysAwayFromTheCoordinateEdit) {
    form->activateWindow();
    form->xg_Ed->setFocus();
    QTest::mouseClick(form->Image3, Qt::LeftButton, {}, QPoint(100, 90));
    EXPECT_EQ(QApplication::focusWidget(), form->Image3);
    const int x = form->Xg, z = form->Zg;
    form->PointerView = 0;  // the pointer has left: the clicked view keeps the keys
    QTest::keyClick(form->Image3, Qt::Key_Right);
    EXPECT_EQ(form->Xg, x + 1);
    QTest::keyClick(form->Image3, Qt::Key_PageUp);
    EXPECT_EQ(form->Zg, z + 1);
    QTest::keyClick(form->Image3, Qt::Key_O, Qt::ControlModifier);  // Ctrl+O: the open dialog
    ASSERT_FALSE(prompter.record.empty());
    EXPECT_EQ(prompter.record.back().kind, QStringLiteral("open"));
}

TEST_F(ZoomKeys, RecentFilesOpenAgainAndAGoneOneIsForgotten) {
    const QString nifti = dir.Write(QStringLiteral("kopf.nii"), zxtest::SmallNifti());
    form->OpenPaths({nifti});
    form->OpenPaths({dir.Path(QStringLiteral("MR_Kopf.vmr"))});
    form->FillRecentMenu();
    const QList<QAction*> entries = form->ZuletztGeoeffnet1->actions();
    ASSERT_EQ(entries.size(),
              2);  // the default volume at start is not listed; opened by hand it is
    EXPECT_TRUE(entries[1]->text().endsWith(QStringLiteral("kopf.nii")));
    entries[1]->trigger();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Zerebrix - kopf.nii"));
    QFile::remove(nifti);
    form->FillRecentMenu();
    form->ZuletztGeoeffnet1->actions()[0]->trigger();  // kopf.nii, now the newest
    ASSERT_EQ(prompter.Messages().size(), 1u);
    EXPECT_TRUE(prompter.Messages()[0].text.contains(QStringLiteral("gibt es nicht mehr")));
    form->FillRecentMenu();
    EXPECT_EQ(form->ZuletztGeoeffnet1->actions().size(), 1);
}

}  // namespace
