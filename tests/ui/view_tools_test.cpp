// The tools beyond the designed window: the neurological display, rulers
// in millimetres, and the display window.
#include <QAction>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <cstring>

#include "components/display_window/display_window_tool.h"
#include "components/orientation/orientation_letters.h"
#include "components/rulers/rulers.h"
#include "components/view3d/view3d.h"
#include "core/render/sections.h"
#include "core/volume/volume_meta.h"
#include "support/app_fixture.h"
#include "support/nifti_writer.h"
#include "widgets/image_view.h"

namespace {

/// A NIfTI-1 file of 20 × 24 × 16 bytes with voxels of 0.5 × 0.5 × 2 mm:
/// the viewer's cubic voxels then have an edge of 0.5 mm.
zxtest::Bytes AnisotropicNifti() {
    zxtest::NiftiFields f;
    f.dim = {3, 20, 24, 16, 1, 1, 1, 1};
    f.pixdim = {1, 0.5, 0.5, 2, 0, 0, 0, 0};
    std::vector<double> values(20 * 24 * 16);
    for (std::size_t v = 0; v < values.size(); ++v) values[v] = double(40 + v % 200);
    return zxtest::NiftiFile(f, values);
}

class ViewTools : public zxtest::AppFixture {
protected:
    void SetUp() override {
        WriteDefault(180, 4);
        Start();
        prompter.record.clear();
    }
    void Click(zx::TImage* view, int x, int y, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::mouseClick(view, Qt::LeftButton, mods, QPoint(x, y));
    }
};

TEST_F(ViewTools, ANeurologicalClickLandsOnTheVoxelDrawnUnderThePointer) {
    const int offset = form->SliceOffset;  // 38 for 180 planes
    Click(form->Image2, 100, 60);          // radiological: column 100 is x = 100 − offset
    EXPECT_EQ(form->Xg, 100 - offset);
    zxtest::Component<zx::TOrientationLetters>(form)->NeurologischeAnsicht1->trigger();
    ASSERT_TRUE(form->Image2->Mirrored() && form->Image3->Mirrored() && !form->Image1->Mirrored());
    Click(form->Image2, 100, 60);  // mirrored: the pointer's column is picture column 155
    EXPECT_EQ(form->Xg, 255 - 100 - offset);
    EXPECT_EQ(form->Zg, 60);
    Click(form->Image3, 30, 70);
    EXPECT_EQ(form->Xg, 255 - 30 - offset);
    EXPECT_EQ(form->Yg, 70);
    // The widget shows, under the pointer, the picture column it reported.
    const QImage shown = form->Image3->grab().toImage();
    EXPECT_EQ(shown.pixel(30, 20), form->Image3->Picture().pixel(225, 20));
    // Remembered for the next start.
    forms.reset();
    Start();
    EXPECT_TRUE(
        zxtest::Component<zx::TOrientationLetters>(form)->NeurologischeAnsicht1->isChecked());
    EXPECT_TRUE(form->Image2->Mirrored());
}

TEST_F(ViewTools, RulersMeasureMillimetresOfAnAnisotropicSourceAndStayWithTheirSlice) {
    prompter.openAnswers.push_back(
        QStringList{dir.Write(QStringLiteral("aniso.nii"), AnisotropicNifti())});
    form->NiftiOeffnen1->trigger();
    ASSERT_TRUE(prompter.Messages().empty());
    EXPECT_DOUBLE_EQ(form->VoxelEdgeMm, 0.5);
    zx::TRulers& r = *zxtest::Component<zx::TRulers>(form);
    QTest::keyClick(form, Qt::Key_M);  // the distance mode by its key
    ASSERT_TRUE(r.StreckeMessen1->isChecked());
    const int x = form->Xg;
    Click(form->Image1, 50, 40);
    Click(form->Image1, 50, 60);  // 20 voxels of 0.5 mm
    Click(form->Image1, 80, 60);
    Click(form->Image1, 80, 100);
    EXPECT_EQ(form->Xg, x);  // measuring does not navigate
    ASSERT_EQ(r.Measurements.size(), 2u);
    EXPECT_EQ(zx::MeasurementText(r.Measurements[0], form->VoxelEdgeMm), QStringLiteral("10,0 mm"));
    EXPECT_EQ(r.MeasureList->item(1)->text(), QStringLiteral("SAG x=%1: Strecke 20,0 mm").arg(x));
    r.WinkelMessen1->trigger();
    for (const QPoint p : {QPoint(100, 50), QPoint(60, 50), QPoint(60, 10)})
        Click(form->Image3, p.x(), p.y());
    ASSERT_EQ(r.Measurements.size(), 3u);
    EXPECT_EQ(zx::MeasurementText(r.Measurements[2], 0.5), QString::fromUtf8("90,0°"));
    QTest::keyClick(form, Qt::Key_Escape);  // leaves the mode: clicks navigate again
    Click(form->Image1, 70, 70);
    EXPECT_EQ(form->Yg, 70);
    // Selecting a measurement brings its slice back; deleting removes it.
    form->StepPlane(1, 5);
    r.MeasureList->setCurrentRow(0);
    EXPECT_EQ(form->Xg, x);
    r.DeleteButton->click();
    EXPECT_EQ(r.Measurements.size(), 2u);
    EXPECT_EQ(r.MeasureList->count(), 2);
    // The viewer's save keeps the edge beside the volume file.
    prompter.saveAnswers.push_back(dir.Path(QStringLiteral("aniso_kopie.vmr")));
    form->Speichernunter1->trigger();
    EXPECT_DOUBLE_EQ(zx::ReadVolumeMeta(dir.Path(QStringLiteral("aniso_kopie.vmr"))).edgeMm, 0.5);
}

TEST_F(ViewTools, TheDisplayWindowChangesTheViewsOnlyAndInversionStaysOnTop) {
    zx::TDisplayWindowTool& w = *zxtest::Component<zx::TDisplayWindowTool>(form);
    const QImage cleanBefore = form->SagBmp;
    w.WidthEdit->setValue(51);  // typed: centre 128, width 51
    w.CentreEdit->setValue(100);
    EXPECT_EQ(form->SagBmp, cleanBefore);
    // A grey g of the clean section shows as the DICOM window says (centre
    // 99.5 and width 50 in the formula): 74 black, 125 white. First as
    // assigned, then as rendered by a move that redraws the view.
    const auto windowed = [](int g) {
        const double v = g <= 74.5   ? 0
                         : g > 124.5 ? 255
                                     : std::lround(((g - 99.5) / 50 + 0.5) * 255);
        return zx::GreyToColor(std::uint8_t(v));
    };
    const auto showsWindow = [&](int step) {
        const QImage& shown = form->Image1->Picture();
        for (int r = 0; r < 256; r += step)
            for (int c = 0; c < 256; c += step) {
                if (shown.pixel(c, r) == zx::kCrossColor) continue;  // the crosshair
                const int g = qBlue(form->SagBmp.pixel(c, r));
                if (shown.pixel(c, r) != windowed(g))
                    return ::testing::AssertionFailure() << c << "," << r << " grey " << g;
            }
        return ::testing::AssertionSuccess();
    };
    EXPECT_TRUE(showsWindow(7));
    const int x = form->Xg;
    QTest::mousePress(form->Image3, Qt::LeftButton, Qt::NoModifier, QPoint(60, 60));
    QTest::mouseMove(form->Image3, QPoint(90, 70));
    QTest::mouseMove(form->Image3, QPoint(95, 75));
    ASSERT_NE(form->Xg, x);
    EXPECT_TRUE(showsWindow(1)) << "during the drag";
    QTest::mouseRelease(form->Image3, Qt::LeftButton, Qt::NoModifier, QPoint(95, 75));
    EXPECT_TRUE(showsWindow(1)) << "after the drag";
    form->InvertButtonClick();
    const int g = qBlue(form->SagBmp.pixel(3, 3));
    EXPECT_EQ(form->Image1->Picture().pixel(3, 3), w.Table()[std::size_t(g)] ^ 0x00ffffffu);
    // The drag with Ctrl+Shift widens the window and navigates nowhere.
    const int y = form->Yg;
    QTest::mousePress(form->Image1, Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier,
                      QPoint(100, 100));
    QTest::mouseMove(form->Image1, QPoint(130, 90));
    QTest::mouseRelease(form->Image1, Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier,
                        QPoint(130, 90));
    EXPECT_EQ(w.Window().width, 81);
    EXPECT_EQ(w.Window().centre, 110);
    EXPECT_EQ(form->Yg, y);
    w.ResetButton->click();
    EXPECT_EQ(form->Image1->Table(), nullptr);
}

}  // namespace

namespace {

TEST_F(ViewTools, TurningDrawsAtHalfResolutionAndTheViewHeldStillAtFullSoon) {
    zx::TView3D& v = *zxtest::Component<zx::TView3D>(form);
    v.Ansicht3D1->trigger();
    v.Canvas->grab();
    const auto drawn = [&](bool half) {
        zx::Render3DOptions o = v.Options();
        o.halfResolution = half;
        return v.Renderer().Render(o, v.Canvas->Picture().width());
    };
    QTest::mousePress(v.Canvas, Qt::LeftButton, Qt::NoModifier, QPoint(60, 60));
    QTest::mouseMove(v.Canvas, QPoint(80, 64));
    v.Canvas->grab();
    EXPECT_EQ(v.Canvas->Picture(), drawn(true));
    // Held still with the button down: full resolution once at rest.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !v.RestTimer()->isActive(); }, 1000));
    v.Canvas->grab();
    EXPECT_EQ(v.Canvas->Picture(), drawn(false));
    QTest::mouseRelease(v.Canvas, Qt::LeftButton, Qt::NoModifier, QPoint(80, 64));
}

TEST_F(ViewTools, AClickInThe3DViewMovesTheCrosshairToTheVoxelDrawnThere) {
    zx::TView3D& v = *zxtest::Component<zx::TView3D>(form);
    v.Ansicht3D1->trigger();
    ASSERT_TRUE(v.View3DWindow->isVisible());
    v.ModeBox->setCurrentIndex(2);  // MIP: the voxel drawn is the brightest on the ray
    v.Canvas->grab();               // paints: the renderer takes the volume now
    const int side = std::min(v.Canvas->width(), v.Canvas->height());
    const QPoint at(v.Canvas->width() / 2 - side / 5, v.Canvas->height() / 2 + side / 7);
    // A double click resets the view and moves nothing, also after the
    // double-click interval.
    const std::array<int, 3> before{form->Xg, form->Yg, form->Zg};
    v.ResetCamera();
    const double home = v.camera.azimuth;
    v.camera.azimuth = home + 40;
    QTest::mouseDClick(v.Canvas, Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_EQ(v.camera.azimuth, home);
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    EXPECT_EQ((std::array<int, 3>{form->Xg, form->Yg, form->Zg}), before);
    // From anterior at zoom 1 the picture's square shows the 256-voxel box:
    // a pixel's column is x + sliceOffset, its row z, the ray runs along y.
    v.camera = zx::Camera3D{0, 0, 1};
    const auto voxelAt = [&](int widgetPos, int widgetSize) {
        return int((widgetPos - (widgetSize - side) / 2 + 0.5) * 256 / side);
    };
    zx::Voxel drawn{voxelAt(at.x(), v.Canvas->width()) - form->SliceOffset, 0,
                    voxelAt(at.y(), v.Canvas->height())};
    for (int y = 0; y < 256; ++y)
        if (form->Volume[zx::VoxelIndex(drawn.x, y, drawn.z)] >
            form->Volume[zx::VoxelIndex(drawn.x, drawn.y, drawn.z)])
            drawn.y = y;
    // A single click moves the crosshair once no second click came.
    QTest::mouseClick(v.Canvas, Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !v.Canvas->PickTimer()->isActive(); }, 2000));
    EXPECT_EQ((std::array<int, 3>{form->Xg, form->Yg, form->Zg}),
              (std::array<int, 3>{drawn.x, drawn.y, drawn.z}));
    // The section views follow: the coronal view shows plane y.
    QImage cor = zx::NewSectionBitmap();
    zx::RenderCoronal(form->Volume.data(), drawn.y, form->SliceCount, form->SliceOffset, cor);
    EXPECT_EQ(form->CorBmp, cor);
}

}  // namespace

namespace {

/// Pixels of the view within 40 of `colour` in every channel.
int PixelsNear(zx::TImage* view, QColor colour) {
    const QImage img = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor c(img.pixel(x, y));
            n += std::abs(c.red() - colour.red()) < 40 &&
                 std::abs(c.green() - colour.green()) < 40 &&
                 std::abs(c.blue() - colour.blue()) < 40;
        }
    return n;
}

TEST_F(ViewTools, TheMarksShownFollowTheMeasurementsAndTheSelection) {
    zx::TRulers& r = *zxtest::Component<zx::TRulers>(form);
    const QColor cyan(0, 230, 255), orange(255, 128, 0);
    r.Measurements = {{1, form->Xg, {{20, 30}, {200, 30}}}};
    const int line = PixelsNear(form->Image1, cyan);
    EXPECT_GT(line, 150);
    r.Selected = 0;
    EXPECT_EQ(PixelsNear(form->Image1, cyan), 0);
    EXPECT_GE(PixelsNear(form->Image1, orange), line);
    r.Selected = -1;
    r.Measurements[0].points[1] = QPointF(60, 30);  // shorter: fewer pixels
    EXPECT_LT(PixelsNear(form->Image1, cyan), line * 2 / 3);
    r.Measurements[0].plane = form->Xg + 1;  // another slice: not shown here
    EXPECT_EQ(PixelsNear(form->Image1, cyan), 0);
}

}  // namespace
