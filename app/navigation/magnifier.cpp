// The magnifier in Image4: an enlarged square around the crosshair while
// the user drags in a view, factor 1…4.
#include <QToolButton>
#include <cstdlib>

#include "app/main_window.h"
#include "widgets/image_view.h"
#include "widgets/up_down.h"

namespace zx {

namespace {
const QRect kGeneralQuadrant(0, 100, 99, 99);
}

void TForm1::LupeBtnClick() {
    if (LupeOn) {
        LupeOn = false;
        LupeBtn->setToolTip(QStringLiteral("Lupe einschalten"));
        if (InfoBmpLoaded) {
            ShowInfoQuadrant(kGeneralQuadrant);
        } else {
            Image4->hide();
        }
    } else {
        LupeOn = true;
        Image4->show();
        LupeBtn->setToolTip(QStringLiteral("Lupe ausschalten"));
    }
}

void TForm1::LupeFak_UpClick() {
    LupeFak_Up->SetHint(QString::fromUtf8("Vergrößerung: %1x").arg(LupeFak_Up->Position()));
}

void TForm1::Image4Click() {
    if (!InfoBmpLoaded) return;
    ShowInfoQuadrant(kGeneralQuadrant);
    Image4->show();
}

void TForm1::DrawLupe(TImage* view, int X, int Y) {
    constexpr int kDest = 99;  // destination (0, 0)–(99, 99), right and bottom excluded
    const int f = std::max(std::abs(LupeFak_Up->Position()), 1);
    const int w = (kDest / f) / 2;
    const int h = (kDest / f) / 2;
    const QImage& src = view->Picture();
    QImage& dst = Image4->Picture();
    const int left = X - w, top = Y - h, sw = 2 * w, sh = 2 * h;
    // Each destination pixel takes the colour of one source pixel; source
    // pixels outside the view's picture leave the destination black.
    for (int dy = 0; dy < kDest && dy < dst.height(); ++dy) {
        auto* out = reinterpret_cast<QRgb*>(dst.scanLine(dy));
        const int sy = top + dy * sh / kDest;
        for (int dx = 0; dx < kDest && dx < dst.width(); ++dx) {
            const int sx = left + dx * sw / kDest;
            const bool inside = sx >= 0 && sy >= 0 && sx < src.width() && sy < src.height();
            out[dx] = inside ? src.pixel(sx, sy) : 0xff000000u;
        }
    }
    Image4->repaint();
}

}  // namespace zx
