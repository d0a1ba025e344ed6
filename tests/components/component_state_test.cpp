// Components driven alone on a stand-in viewer: what each writes of its
// state reads back into a fresh component as the same state, and what is
// not sound is left out.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <algorithm>
#include <cmath>
#include <vector>

#include "components/annotations/annotations.h"
#include "components/display_window/display_window_tool.h"
#include "components/orientation/orientation_letters.h"
#include "components/rulers/rulers.h"
#include "support/fake_viewer.h"
#include "support/temp_dir.h"

namespace {

QJsonObject Parse(const char* json) { return QJsonDocument::fromJson(json).object(); }

TEST(ComponentState, LettersKeepTheMirrorWithoutRememberingIt) {
    QSettings().clear();
    zxtest::FakeViewer viewer;
    zx::TOrientationLetters letters(viewer.Context());
    EXPECT_EQ(letters.SaveState(), Parse(R"({"neurological": false})"));
    letters.LoadState(Parse(R"({"neurological": true})"));
    EXPECT_TRUE(viewer.views[1]->Mirrored() && viewer.views[2]->Mirrored());
    EXPECT_FALSE(viewer.views[0]->Mirrored());
    zx::TOrientationLetters again(viewer.Context());  // a new start: the choice was not remembered
    EXPECT_FALSE(again.Neurological());
    again.LoadState(letters.SaveState());
    EXPECT_TRUE(again.Neurological());
    again.LoadState(Parse(R"({"neurological": "ja"})"));  // not a truth value: kept
    EXPECT_TRUE(again.Neurological());
}

TEST(ComponentState, RulersReadBackTheirMeasurementsAndLeaveOutUnsoundOnes) {
    zxtest::FakeViewer viewer;
    zx::TRulers rulers(viewer.Context());
    rulers.Measurements = {{2, 90, {{10.5, 20}, {200, 180}}},
                           {3, 7, {{40, 200}, {120, 120}, {220, 60}}}};
    const QJsonObject state = rulers.SaveState();
    zx::TRulers again(viewer.Context());
    again.LoadState(state);
    ASSERT_EQ(again.Measurements.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(again.Measurements[i].view, rulers.Measurements[i].view);
        EXPECT_EQ(again.Measurements[i].plane, rulers.Measurements[i].plane);
        EXPECT_EQ(again.Measurements[i].points, rulers.Measurements[i].points);
    }
    EXPECT_EQ(again.MeasureList->count(), 2);
    // A view that does not exist, one point, a point off the picture, a
    // plane past the volume: each left out, the sound one kept.
    again.LoadState(Parse(R"({"measurements": [
        {"view": 4, "plane": 1, "points": [[1, 1], [2, 2]]},
        {"view": 1, "plane": 1, "points": [[1, 1]]},
        {"view": 1, "plane": 1, "points": [[1, 1], [300, 2]]},
        {"view": 1, "plane": 256, "points": [[1, 1], [2, 2]]},
        {"view": 1, "plane": 3, "points": [[1, 1], [2, 2]]}]})"));
    ASSERT_EQ(again.Measurements.size(), 1u);
    EXPECT_EQ(again.Measurements[0].plane, 3);
}

TEST(ComponentState, TheDisplayWindowReadsBackCentreWidthAndMapByName) {
    zxtest::FakeViewer viewer;
    zx::TDisplayWindowTool tool(viewer.Context());
    tool.SetWindow({100, 50, zx::ColourMap::Hot});
    EXPECT_EQ(tool.SaveState(), Parse(R"({"centre": 100, "width": 50, "map": "Heiß"})"));
    zx::TDisplayWindowTool again(viewer.Context());
    again.LoadState(tool.SaveState());
    EXPECT_EQ(again.Window(), tool.Window());
    EXPECT_NE(viewer.views[0]->Table(), nullptr);  // the views show through the window
    // An unknown map keeps the map; values beyond the limits are limited.
    again.LoadState(Parse(R"({"centre": 900, "map": "Lila"})"));
    EXPECT_EQ(again.Window(), (zx::DisplayWindow{255, 50, zx::ColourMap::Hot}));
}

// The dialog's presets and "Auto": the window set, the boxes showing it,
// and the views' greys by the linear window worked out here.
TEST(ComponentState, TheWindowDialogsPresetsAndAutoSetTheViewsWindow) {
    zxtest::FakeViewer viewer;
    viewer.sliceCount = 3;  // the planes after the third are not the volume's
    const std::vector<std::uint8_t> greys = zxtest::Pattern(3 * zx::kPlaneBytes, 5);
    std::copy(greys.begin(), greys.end(), viewer.volume->begin());
    std::fill(viewer.volume->begin() + 3 * zx::kPlaneBytes, viewer.volume->end(), 255);
    zx::TDisplayWindowTool tool(viewer.Context());
    struct Preset {
        const char* name;
        int centre, width;
    };
    const Preset presets[] = {{"Gesamt", 128, 256},
                              {"Hirngewebe", 110, 140},
                              {"Hoher Kontrast", 128, 128},
                              {"Dunkle Strukturen", 64, 128},
                              {"Helle Strukturen", 192, 128}};
    ASSERT_EQ(tool.PresetBox->count(), 6);
    for (int i = 5; i >= 1; --i) {  // "Gesamt" last: from a window that is not the whole range
        const Preset& p = presets[i - 1];
        EXPECT_TRUE(tool.PresetBox->itemText(i).startsWith(QString::fromUtf8(p.name)));
        emit tool.PresetBox->activated(i);
        EXPECT_EQ(tool.Window(), (zx::DisplayWindow{p.centre, p.width, zx::ColourMap::Grey}))
            << p.name;
        EXPECT_EQ(tool.CentreEdit->value(), p.centre);
        EXPECT_EQ(tool.WidthEdit->value(), p.width);
        EXPECT_EQ(tool.PresetBox->currentIndex(), i);
        const QRgb* shown = viewer.views[2]->Table();
        for (int g = 0; g < 256 && shown; ++g) {
            const double low = p.centre - 0.5 - (p.width - 1) / 2.0,
                         high = p.centre - 0.5 + (p.width - 1) / 2.0;
            const double v = g <= low   ? 0
                             : g > high ? 255
                                        : ((g - (p.centre - 0.5)) / (p.width - 1) + 0.5) * 255;
            EXPECT_NEAR(qRed(shown[g]), v, 1) << p.name << " " << g;
        }
        EXPECT_EQ(shown == nullptr, i == 1);  // the whole range shows the greys themselves
    }

    // "Auto": the 1st and 99th percentile of the voxels above 0 in the
    // three planes, each the grey at that rank; the colour map stays.
    tool.SetWindow({10, 20, zx::ColourMap::Cold});
    std::vector<std::uint8_t> sorted;
    for (std::uint8_t g : greys)
        if (g > 0) sorted.push_back(g);
    std::sort(sorted.begin(), sorted.end());
    const auto rank = [&](double p) {
        return int(sorted[std::size_t(std::ceil(p * double(sorted.size()))) - 1]);
    };
    const int low = rank(0.01), high = rank(0.99);
    ASSERT_LT(low + 20, high);
    tool.AutoButton->click();
    EXPECT_EQ(tool.Window(),
              (zx::DisplayWindow{(low + high + 1) / 2, high - low + 1, zx::ColourMap::Cold}));
    EXPECT_EQ(tool.CentreEdit->value(), (low + high + 1) / 2);
}

TEST(ComponentState, AnnotationsStayOnTheirPlaneMoveByTheirTextAndReadBack) {
    zxtest::FakeViewer viewer;
    zx::TAnnotations notes(viewer.Context());
    notes.Add(2, {100, 120}, {40, 30}, QStringLiteral("Balken"));
    ASSERT_EQ(notes.Annotations.size(), 1u);
    EXPECT_EQ(notes.Annotations[0].plane, viewer.yg);
    // In the mode, a drag that starts on the text moves the text only.
    notes.Beschriften1->setChecked(true);
    using M = zx::ViewMouse;
    for (M m : {M{M::Press, 2, zx::TMouseButton::mbLeft, {}, 42, 31},
                M{M::Move, 2, zx::TMouseButton::mbLeft, {}, 70, 60},
                M{M::Release, 2, zx::TMouseButton::mbLeft, {}, 70, 60}})
        EXPECT_TRUE(notes.MouseInView(m));
    EXPECT_EQ(notes.Annotations[0].label, QPointF(70, 60));
    EXPECT_EQ(notes.Annotations[0].target, QPointF(100, 120));
    zx::TAnnotations again(viewer.Context());
    again.LoadState(notes.SaveState());
    EXPECT_EQ(again.Annotations, notes.Annotations);
    again.LoadState(Parse(R"({"annotations": [{"view": 4, "plane": 1, "target": [1, 1],
        "label": [2, 2], "text": "x"}, {"view": 1, "plane": 1, "target": [1, 1], "label": [2, 2],
        "text": ""}]})"));
    EXPECT_TRUE(again.Annotations.empty());
}

}  // namespace
