#include "teach/lesson_pictures.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "core/display/display_window.h"
#include "core/display/orientation.h"
#include "core/render/crosshair.h"
#include "core/render/sections.h"
#include "core/volume/runtime_error.h"
#include "core/volume/vmr_file.h"
#include "core/volume/volume.h"
#include "core/volume/volume_meta.h"

namespace zx {

namespace {

/// A text on a dark plate with its top left at `at`; the plate's rectangle.
QRectF Plate(QPainter& p, const QString& text, const QPointF& at, const QColor& colour) {
    QRectF box = QFontMetricsF(p.font()).boundingRect(text).adjusted(-2, 0, 2, 0);
    box.moveTopLeft(at);
    p.fillRect(box, QColor(0, 0, 0, 160));
    p.setPen(colour);
    p.drawText(box, Qt::AlignCenter, text);
    return box;
}

/// The point of `box`'s outline on the way from its centre to `to`.
QPointF EdgeToward(const QRectF& box, const QPointF& to) {
    const QPointF c = box.center(), d = to - c;
    if (d.isNull()) return c;
    const double sx = d.x() != 0 ? (box.width() / 2) / std::abs(d.x()) : 1e9;
    const double sy = d.y() != 0 ? (box.height() / 2) / std::abs(d.y()) : 1e9;
    return c + d * std::min({sx, sy, 1.0});
}

}  // namespace

void DrawMeasurementMark(QPainter& p, const QTransform& t, const Measurement& m, double edgeMm,
                         const QColor& colour) {
    if (m.points.empty()) return;
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colour, 1.5));
    QPolygonF line;
    for (const QPointF& q : m.points) line << t.map(q + QPointF(0.5, 0.5));
    p.drawPolyline(line);
    for (const QPointF& q : line) p.drawEllipse(q, 2.0, 2.0);
    const QString text = MeasurementText(m, edgeMm);
    if (text.isEmpty()) return;
    // Beside the line's middle (the vertex of an angle), on a plate.
    const QPointF at = m.IsAngle() ? line[1] : (line[0] + line[1]) / 2;
    Plate(p, text, at + QPointF(6, 4), colour);
}

void DrawAnnotationMark(QPainter& p, const QTransform& t, const Annotation& a,
                        const QColor& colour) {
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF target = t.map(a.target + QPointF(0.5, 0.5));
    const QPointF at = t.map(a.label + QPointF(0.5, 0.5));
    // The plate is centred on the label point, the arrow leaves its edge.
    QRectF box = QFontMetricsF(p.font()).boundingRect(a.text).adjusted(-3, -1, 3, 1);
    box.moveCenter(at);
    const QPointF from = EdgeToward(box, target);
    const QPointF d = target - from;
    const double len = std::hypot(d.x(), d.y());
    p.setPen(QPen(colour, 1.5));
    if (len > 4) {
        p.drawLine(from, target);
        const QPointF u = d / len, n(-u.y(), u.x());
        QPainterPath head;
        head.moveTo(target);
        head.lineTo(target - u * 7 + n * 3.5);
        head.lineTo(target - u * 7 - n * 3.5);
        head.closeSubpath();
        p.fillPath(head, colour);
    }
    p.fillRect(box, QColor(0, 0, 0, 170));
    p.setPen(colour);
    p.drawText(box, Qt::AlignCenter, a.text);
}

void LoadLessonVolume(const QString& lessonFile, const Lesson& lesson, LessonVolume& v) {
    v.file = LessonVolumePath(lessonFile, lesson);
    if (!QFileInfo(v.file).isFile()) throw RuntimeError(MissingVolumeText(v.file));
    v.voxels.assign(kVolumeBytes, 0);
    v.planes = ReadVmr(v.file, v.voxels.data());
    if (v.planes == 0) throw RuntimeError(v.file + QStringLiteral(": Die Volumendatei ist leer."));
    const QString mismatch = VolumeMismatch(lesson, v.voxels.data(), v.planes);
    if (!mismatch.isEmpty()) throw RuntimeError(mismatch);
    v.edgeMm = ReadVolumeMeta(v.file).edgeMm;
    v.atlases.Clear();
    v.atlasesLoaded = false;
}

std::array<int, 3> VoxelAt(int view, int column, int row, const std::array<int, 3>& point,
                           int planes) {
    const int offset = (256 - planes) / 2;
    if (view == 1) return {point[0], column, row};
    if (view == 2) return {column - offset, point[1], row};
    return {column - offset, row, point[2]};
}

std::array<QImage, 3> StopPictures(LessonVolume& v, const LessonStop& stop) {
    const StopView sv = ViewOfStop(stop);
    const int offset = (256 - v.planes) / 2;
    const std::uint8_t* vol = v.voxels.data();
    DisplayWindow w;
    w.centre = std::clamp(sv.centre, 0, 255);
    w.width = std::clamp(sv.width, 1, 512);
    const auto& names = ColourMapNames();
    const auto map = std::find(names.begin(), names.end(), sv.map);
    if (map != names.end()) w.map = ColourMap(map - names.begin());
    const WindowTable table = MakeWindowTable(w);

    int atlas = -1;
    if (!sv.atlas.isEmpty()) {
        if (!v.atlasesLoaded) {
            v.atlases.Load(v.file);
            v.atlasesLoaded = true;
        }
        for (int i = 0; i < v.atlases.Count(); ++i)
            for (const AtlasKind& k : kAtlases)
                if (sv.atlas == QLatin1String(k.key) &&
                    v.atlases.Title(i) == QString::fromUtf8(k.title))
                    atlas = i;
    }

    std::array<QImage, 3> out;
    const std::array<int, 3>& pt = stop.point;
    for (int view = 1; view <= 3; ++view) {
        QImage bmp = NewSectionBitmap();
        if (view == 1) RenderSagittal(vol, pt[0], bmp);
        if (view == 2) RenderCoronal(vol, pt[1], v.planes, offset, bmp);
        if (view == 3) RenderTransversal(vol, pt[2], v.planes, offset, bmp);
        if (!w.IsIdentity()) ApplyTable(bmp, bmp.rect(), table.data());
        if (atlas >= 0) {
            for (int r = 0; r < 256; ++r) {
                auto* line = reinterpret_cast<QRgb*>(bmp.scanLine(r));
                for (int c = 0; c < 256; ++c) {
                    const auto p = VoxelAt(view, c, r, pt, v.planes);
                    if (p[0] < 0 || p[0] >= v.planes) continue;
                    const int l = v.atlases.Label(atlas, p[0], p[1], p[2]);
                    if (!l) continue;
                    const QRgb k = RegionColour(l, 96);
                    const int a = qAlpha(k);
                    auto mix = [&](int base, int over) {
                        return (base * (255 - a) + over * a) / 255;
                    };
                    line[c] = qRgb(mix(qRed(line[c]), qRed(k)), mix(qGreen(line[c]), qGreen(k)),
                                   mix(qBlue(line[c]), qBlue(k)));
                }
            }
        }
        const int cx = view == 1 ? pt[1] : pt[0] + offset;
        const int cy = view == 3 ? pt[1] : pt[2];
        DrawCross(bmp, cx, cy, 256, 256, CrossParams{});
        const bool mirrored = sv.neurological && view > 1;
        if (mirrored) bmp = bmp.mirrored(true, false);
        const QTransform t = mirrored ? QTransform(-1, 0, 0, 1, 256, 0) : QTransform();
        const int plane = pt[std::size_t(view - 1)];
        QPainter p(&bmp);
        QFont f = p.font();
        f.setPixelSize(11);
        p.setFont(f);
        for (const Measurement& m : sv.measurements)
            if (m.view == view && m.plane == plane)
                DrawMeasurementMark(p, t, m, v.edgeMm, kMeasurementColour);
        for (const Annotation& a : sv.annotations)
            if (a.view == view && a.plane == plane) DrawAnnotationMark(p, t, a, kAnnotationColour);
        const EdgeDirections e = ViewEdges(view, sv.neurological);
        f.setBold(true);
        p.setFont(f);
        const QColor gold(255, 215, 0);
        auto letter = [&](Direction d, QPointF centre) {
            QRectF box = QFontMetricsF(f).boundingRect(Letter(d)).adjusted(-2, 0, 2, 0);
            box.moveCenter(centre);
            p.fillRect(box, QColor(0, 0, 0, 160));
            p.setPen(gold);
            p.drawText(box, Qt::AlignCenter, Letter(d));
        };
        letter(e.top, {128, 8});
        letter(e.bottom, {128, 248});
        letter(e.left, {7, 128});
        letter(e.right, {249, 128});
        p.end();
        out[std::size_t(view - 1)] = bmp;
    }
    return out;
}

}  // namespace zx
