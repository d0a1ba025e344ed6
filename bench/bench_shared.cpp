#include "bench/bench_shared.h"

#include <QCoreApplication>
#include <QTest>
#include <QWidget>
#include <algorithm>
#include <memory>
#include <random>

#include "app/main_window.h"
#include "core/volume/volume.h"

namespace zxbench {

namespace {

std::unique_ptr<zx::Forms> sharedForms;

}  // namespace

const std::vector<std::uint8_t>& RandomVolume() {
    static const std::vector<std::uint8_t> v = [] {
        std::vector<std::uint8_t> b(zx::kVolumeBytes);
        std::mt19937 rng(42);
        for (auto& x : b) x = std::uint8_t(rng());
        return b;
    }();
    return v;
}

void ShowRandomVolume(zx::TForm1& w) {
    std::copy(RandomVolume().begin(), RandomVolume().end(), w.Volume.begin());
    w.VolumeChanged();
    w.SliceCount = 180;
    w.SliceOffset = 38;
    w.RenderAll();
}

zx::Forms& SharedForms() {
    if (!sharedForms) {
        auto f = zx::CreateForms();
        f->Form1->DefaultLoaded = true;  // no default file here
        ShowRandomVolume(*f->Form1);
        sharedForms = std::move(f);
    }
    return *sharedForms;
}

void ShowExposed(QWidget& window) {
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) qFatal("the window was never exposed");
}

void PaintPending(QWidget& window) {
    QCoreApplication::sendPostedEvents(window.window(), QEvent::UpdateRequest);
    QCoreApplication::sendPostedEvents();
}

void DestroySharedForms() { sharedForms.reset(); }

}  // namespace zxbench
