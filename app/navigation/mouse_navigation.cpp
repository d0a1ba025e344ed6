// Mouse navigation in the three section views: a left press moves the
// crosshair, a left drag rebuilds the two other sections at every move, and
// the release of any button fixes the point and records it as a step.
#include <algorithm>

#include "app/main_window.h"
#include "widgets/image_view.h"

namespace zx {

namespace {

/// Only the left button alone drags: no other button, no Shift, Ctrl or
/// Alt, and not the second press of a double click.
bool LeftAlone(TShiftState s) { return s == ssLeft; }

int Limit(int v) { return std::clamp(v, 0, 255); }

/// Quadrants of the reference picture shown at a press in each view.
const QRect kSagQuadrant(0, 0, 99, 99);
const QRect kCorQuadrant(100, 0, 99, 99);
const QRect kTraQuadrant(100, 100, 99, 99);

}  // namespace

QPoint TForm1::Scaled(TImage* view, int X, int Y) const {
    if (IsMaximised()) ScaleToSection(view, X, Y);
    return {X, Y};
}

// ---- Sagittal view: moves y and z ------------------------------------------

void TForm1::Image1MouseDown(TMouseButton, TShiftState shift, int X, int Y) {
    const QPoint p = Scaled(Image1, X, Y);
    ReportPosition(1, p.x(), p.y());
    if (!LeftAlone(shift)) return;
    X = Limit(p.x());
    Y = Limit(p.y());
    Image1->AssignPicture(SagBmp);
    DrawCross(Image1, X, Y);
    const bool moved = Yg != X || Zg != Y;
    Yg = X;
    Zg = Y;
    if (X != LastSagX || Y != LastSagY) {
        RenderCor(Yg);
        RenderTra(Zg);
        DrawCross(Image2, Xg + SliceOffset, Y);
        DrawCross(Image3, Xg + SliceOffset, X);
    }
    LastSagX = X;
    LastSagY = Y;
    if (moved) InvalidateLastPoints(1);
    if (InfoBmpLoaded) ShowInfoQuadrant(kSagQuadrant);
}

void TForm1::Image1MouseMove(TShiftState shift, int X, int Y) {
    const QPoint p = Scaled(Image1, X, Y);
    ReportPosition(1, p.x(), p.y());
    if (!LeftAlone(shift)) return;
    X = Limit(p.x());
    Y = Limit(p.y());
    RenderCor(X);
    DrawCross(Image2, Xg + SliceOffset, Y);
    RenderTra(Y);
    DrawCross(Image3, Xg + SliceOffset, X);
    Yg = X;
    Zg = Y;
    Image1->AssignPicture(SagBmp);
    DrawCross(Image1, X, Y);
    if (LupeOn) DrawLupe(Image1, X, Y);
    // The other sections now show this position, not the one of any record.
    InvalidateLastPoints();
}

void TForm1::Image1MouseUp(TMouseButton, TShiftState, int X, int Y) {
    const QPoint p = Scaled(Image1, X, Y);
    X = Limit(p.x());
    Y = Limit(p.y());
    if (X != LastSagX || Y != LastSagY) {
        RenderCor(X);
        RenderTra(Y);
    }
    const bool moved = Yg != X || Zg != Y;
    Yg = X;
    Zg = Y;
    DrawCross(Image2, Xg + SliceOffset, Y);
    DrawCross(Image3, Xg + SliceOffset, X);
    if (moved) InvalidateLastPoints(1);
    ReportPosition(1, X, Y);
    RecordStep();
}

// ---- Coronal view: moves x and z --------------------------------------------

void TForm1::Image2MouseDown(TMouseButton, TShiftState shift, int X, int Y) {
    const QPoint p = Scaled(Image2, X, Y);
    ReportPosition(2, p.x(), p.y());
    if (!LeftAlone(shift)) return;
    X = Limit(p.x());
    Y = Limit(p.y());
    if (X != LastCorX || Y != LastCorY) {
        Image1->AssignPicture(SagBmp);
        Image2->AssignPicture(CorBmp);
        Image3->AssignPicture(TraBmp);
        DrawCross(Image2, X, Y);
        DrawCross(Image1, Yg, Y);
        DrawCross(Image3, X, Yg);
    }
    const int x = std::max(X - SliceOffset, 0);
    const bool moved = Xg != x || Zg != Y;
    Xg = x;
    Zg = Y;
    if (moved) InvalidateLastPoints(2);
    if (InfoBmpLoaded) ShowInfoQuadrant(kCorQuadrant);
}

void TForm1::Image2MouseMove(TShiftState shift, int X, int Y) {
    const QPoint p = Scaled(Image2, X, Y);
    ReportPosition(2, p.x(), p.y());
    if (!LeftAlone(shift)) return;
    Image2->AssignPicture(CorBmp);
    DrawCross(Image2, p.x(), p.y());
    X = std::max(Limit(p.x()), SliceOffset);
    Y = Limit(p.y());
    RenderSag(X - SliceOffset);
    DrawCross(Image1, Yg, Y);
    RenderTra(Y);
    DrawCross(Image3, X, Yg);
    if (LupeOn) DrawLupe(Image2, X, Y);
    InvalidateLastPoints();
}

void TForm1::Image2MouseUp(TMouseButton, TShiftState, int X, int Y) {
    const QPoint p = Scaled(Image2, X, Y);
    X = p.x();
    Y = p.y();
    if (X <= SliceOffset) {
        X = SliceOffset;
        Image2->AssignPicture(CorBmp);
        DrawCross(Image2, X, Y);
    }
    X = std::max(Limit(X), SliceOffset);
    Y = Limit(Y);
    if (X != LastCorX || Y != LastCorY) {
        RenderSag(X - SliceOffset);
        DrawCross(Image1, Yg, Y);
        RenderTra(Y);
        DrawCross(Image3, X, Yg);
        LastCorX = X;
        LastCorY = Y;
    }
    const bool moved = Xg != X - SliceOffset || Zg != Y;
    Xg = X - SliceOffset;
    Zg = Y;
    if (moved) InvalidateLastPoints(2);
    ReportPosition(2, X, Y);
    RecordStep();
}

// ---- Transversal view: moves x and y -----------------------------------------

void TForm1::Image3MouseDown(TMouseButton, TShiftState shift, int X, int Y) {
    const QPoint p = Scaled(Image3, X, Y);
    ReportPosition(3, p.x(), p.y());
    if (!LeftAlone(shift)) return;
    X = Limit(p.x());
    Y = Limit(p.y());
    if (X != LastTraX || Y != LastTraY) {
        Image1->AssignPicture(SagBmp);
        Image2->AssignPicture(CorBmp);
        Image3->AssignPicture(TraBmp);
        DrawCross(Image3, X, Y);
        DrawCross(Image1, Y, Zg);
        DrawCross(Image2, X, Zg);
    }
    const int x = std::max(X - SliceOffset, 0);
    const bool moved = Xg != x || Yg != Y;
    Xg = x;
    Yg = Y;
    if (moved) InvalidateLastPoints(3);
    if (InfoBmpLoaded) ShowInfoQuadrant(kTraQuadrant);
}

void TForm1::Image3MouseMove(TShiftState shift, int X, int Y) {
    const QPoint p = Scaled(Image3, X, Y);
    ReportPosition(3, p.x(), p.y());
    if (!LeftAlone(shift)) return;
    X = std::max(Limit(p.x()), SliceOffset);
    Y = Limit(p.y());
    Image3->AssignPicture(TraBmp);
    DrawCross(Image3, X, Y);
    RenderSag(X - SliceOffset);
    DrawCross(Image1, Y, Zg);
    RenderCor(Y);
    DrawCross(Image2, X, Zg);
    if (LupeOn) DrawLupe(Image3, X, Y);
    InvalidateLastPoints();
}

void TForm1::Image3MouseUp(TMouseButton, TShiftState, int X, int Y) {
    const QPoint p = Scaled(Image3, X, Y);
    X = p.x();
    Y = p.y();
    if (X <= SliceOffset) {
        X = SliceOffset;
        Image3->AssignPicture(TraBmp);
        DrawCross(Image3, X, Y);
    }
    X = std::max(Limit(X), SliceOffset);
    Y = Limit(Y);
    if (X != LastTraX || Y != LastTraY) {
        RenderSag(X - SliceOffset);
        DrawCross(Image1, Y, Zg);
        RenderCor(Y);
        DrawCross(Image2, X, Zg);
        LastTraX = X;
        LastTraY = Y;
    }
    const bool moved = Xg != X - SliceOffset || Yg != Y;
    Xg = X - SliceOffset;
    Yg = Y;
    if (moved) InvalidateLastPoints(3);
    ReportPosition(3, X, Y);
    RecordStep();
}

}  // namespace zx
