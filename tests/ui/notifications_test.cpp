// The components hear of each user action once: a click, a drag move, a
// step back, a typed coordinate, a key, an open — however many times the
// handlers inside it move the point.
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

#include "support/app_fixture.h"
#include "support/fake_viewer.h"
#include "widgets/image_view.h"

namespace {

struct Probe : zx::TComponent {
    using TComponent::TComponent;
    int points = 0, volumes = 0, displays = 0;
    void PointChanged() override { ++points; }
    void VolumeChanged() override { ++volumes; }
    void DisplayChanged() override { ++displays; }
    void Reset() { points = volumes = displays = 0; }
};

class Notifications : public zxtest::AppFixture {
protected:
    zxtest::FakeViewer fake;  // the probe's own context; it only counts
    Probe* probe = nullptr;
    void SetUp() override {
        WriteDefault(180, 2);
        Start();
        probe = new Probe(fake.Context(), form);
        form->Components->Add(probe);
    }
    /// Counts of (point, volume, display) after `action`.
    std::array<int, 3> After(const std::function<void()>& action) {
        probe->Reset();
        action();
        return {probe->points, probe->volumes, probe->displays};
    }
};

using Counts = std::array<int, 3>;

TEST_F(Notifications, EveryActionIsToldOnce) {
    QTest::mousePress(form->Image1, Qt::LeftButton, {}, QPoint(40, 50));
    EXPECT_EQ(After([&] { form->Image1->OnMouseMove(zx::TShiftState(zx::ssLeft), 60, 70); }),
              (Counts{1, 0, 0}));  // the move rebuilds two sections and moves three crosshairs
    QTest::mouseRelease(form->Image1, Qt::LeftButton, {}, QPoint(60, 70));
    EXPECT_EQ(After([&] { QTest::mouseClick(form->BackBtn, Qt::LeftButton); }), (Counts{1, 0, 0}));
    EXPECT_EQ(After([&] { QTest::mouseClick(form->NextBtn, Qt::LeftButton); }), (Counts{1, 0, 0}));
    form->PointerView = 3;
    if (QWidget* focus = QApplication::focusWidget())
        focus->clearFocus();  // no edit keeps the keys
    EXPECT_EQ(After([&] {
                  QKeyEvent key(QEvent::KeyPress, Qt::Key_PageUp, Qt::NoModifier);
                  QApplication::sendEvent(form, &key);
              }),
              (Counts{1, 0, 0}));
    prompter.openAnswers.push_back(QStringList{dir.Path(QStringLiteral("MR_Kopf.vmr"))});
    EXPECT_EQ(After([&] { form->ffnen1->trigger(); })[1], 1);
}

}  // namespace
