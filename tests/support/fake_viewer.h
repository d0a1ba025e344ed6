// A stand-in for the main window that components see through their
// ViewerContext: a volume, a point, three views, a status bar and the
// menus, without the program's windows. A component test builds one, then
// the component under test on it.
#pragma once

#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <array>
#include <memory>
#include <vector>

#include "components/component.h"
#include "widgets/image_view.h"
#include "widgets/status_bar.h"

namespace zxtest {

struct FakeViewer {
    std::unique_ptr<zx::VolumeArray> volume = std::make_unique<zx::VolumeArray>();
    int xg = 128, yg = 128, zg = 128;
    int sliceCount = 256, sliceOffset = 0;
    QString volumeFileName;
    double edgeMm = 1;
    int pointerView = 0;  ///< the view under the pointer, 0 for none
    zx::LabelLayer labels;
    QMainWindow window;
    QMenuBar* menuBar = new QMenuBar(&window);
    QMenu* viewMenu = menuBar->addMenu(QStringLiteral("&Ansicht"));
    QMenu* helpMenu = menuBar->addMenu(QStringLiteral("&Hilfe"));
    std::array<zx::TImage*, 3> views{new zx::TImage(&window), new zx::TImage(&window),
                                     new zx::TImage(&window)};
    zx::TStatusBar* statusBar = new zx::TStatusBar(&window);
    std::vector<std::array<int, 3>> moves;  ///< every moveTo, in order (it moves the point)
    int redisplays = 0, displayChanges = 0;

    FakeViewer() {
        for (zx::TImage* v : views) {
            v->resize(256, 256);
            v->Picture() = QImage(256, 256, QImage::Format_RGB32);
            v->Picture().fill(Qt::black);
        }
    }

    zx::ViewerContext Context() {
        return {.volume = *volume,
                .xg = xg,
                .yg = yg,
                .zg = zg,
                .sliceCount = sliceCount,
                .sliceOffset = sliceOffset,
                .volumeFileName = volumeFileName,
                .edgeMm = edgeMm,
                .pointerView = pointerView,
                .labelLayer = &labels,
                .views = views,
                .statusBar = statusBar,
                .window = &window,
                .menuBar = menuBar,
                .viewMenu = viewMenu,
                .helpMenu = helpMenu,
                .moveTo =
                    [this](int x, int y, int z) {
                        moves.push_back({x, y, z});
                        xg = x;
                        yg = y;
                        zg = z;
                    },
                .redisplay = [this] { ++redisplays; },
                .displayChanged = [this] { ++displayChanges; },
                .saveState = {},
                .loadState = {},
                .openFile = {}};
    }
};

}  // namespace zxtest
