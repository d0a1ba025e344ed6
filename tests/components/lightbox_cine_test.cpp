// The lightbox and cine on a stand-in viewer: a click in a tile moves the
// crosshair to the voxel drawn there; cine steps through the planes and
// stops at the last one, or begins again.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSpinBox>
#include <QTimer>

#include "components/cine/cine.h"
#include "components/lightbox/lightbox.h"
#include "support/fake_viewer.h"

namespace {

using Moves = std::vector<std::array<int, 3>>;

void Click(QWidget* w, QPoint at) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), w->mapToGlobal(QPointF(at)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
}

TEST(Lightbox, AClickInATileMovesTheCrosshairToTheVoxelDrawnThere) {
    zxtest::FakeViewer viewer;
    viewer.sliceCount = 180;
    viewer.sliceOffset = 38;
    zx::TLightbox box(viewer.Context());
    box.OrientationBox->setCurrentIndex(2);  // transversal
    box.FromEdit->setValue(100);
    box.ToEdit->setValue(125);  // planes 100, 110, 120: two rows of two, one place empty
    box.EveryEdit->setValue(10);
    box.ColumnsEdit->setValue(2);
    box.Refresh();
    ASSERT_EQ(box.Picture().size(), QSize(512, 512));
    // Drawn at half size: widget pixel (148, 35) is mosaic pixel (296, 70),
    // pixel (40, 70) of tile 1 (plane 110), voxel x = 40 - 38, y = 70.
    box.Canvas->resize(256, 256);
    Click(box.Canvas, {148, 35});
    EXPECT_EQ(viewer.moves, (Moves{{2, 70, 110}}));
    EXPECT_EQ(box.CrosshairTile(), 1);
    Click(box.Canvas, {200, 200});  // the empty place: nothing
    EXPECT_EQ(viewer.moves.size(), 1u);
    // Mirrored as the view is: column 40 of the tile is picture column 215.
    viewer.views[2]->SetMirrored(true);
    box.Refresh();
    Click(box.Canvas, {20, 150});  // mosaic (40, 300): tile 2, plane 120, row 44
    EXPECT_EQ(viewer.moves.back(), (std::array<int, 3>{215 - 38, 44, 120}));
    EXPECT_EQ(box.CrosshairTile(), 2);
}

TEST(Cine, StepsThroughThePlanesOfTheViewUnderThePointerAndStopsAtTheEnd) {
    zxtest::FakeViewer viewer;
    viewer.sliceCount = 180;  // sagittal planes 0…179 hold voxels
    viewer.xg = 177;
    viewer.pointerView = 1;
    zx::TCine cine(viewer.Context());
    cine.RateEdit->setValue(25);
    cine.CineAbspielen1->trigger();  // the key C
    ASSERT_TRUE(cine.Playing());
    EXPECT_TRUE(cine.Timer->isActive());
    EXPECT_EQ(cine.Timer->interval(), 40);  // 25 pictures a second
    cine.Step();
    cine.Step();
    EXPECT_FALSE(cine.Playing());
    EXPECT_FALSE(cine.Timer->isActive());
    cine.Step();
    EXPECT_EQ(viewer.moves, (Moves{{178, 128, 128}, {179, 128, 128}}));

    // Looping, the transversal view goes on from its last plane to its first.
    cine.LoopBox->setChecked(true);
    viewer.pointerView = 3;
    viewer.zg = 254;
    viewer.moves.clear();
    cine.CineAbspielen1->trigger();
    cine.Step();
    cine.Step();
    EXPECT_TRUE(cine.Playing());
    EXPECT_EQ(viewer.moves, (Moves{{179, 128, 255}, {179, 128, 0}}));
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    EXPECT_TRUE(cine.KeyPressed(&esc));
    EXPECT_FALSE(cine.Playing());
    // C reaches cine also where a coordinate edit would take it from the
    // menu's shortcut, but only over a view.
    QKeyEvent c(QEvent::KeyPress, Qt::Key_C, Qt::NoModifier, QStringLiteral("c"));
    viewer.pointerView = 0;
    EXPECT_FALSE(cine.KeyPressed(&c));
    viewer.pointerView = 2;
    EXPECT_TRUE(cine.KeyPressed(&c));
    EXPECT_TRUE(cine.Playing());
    EXPECT_EQ(cine.ViewBox->currentIndex(), 1);
}

}  // namespace
