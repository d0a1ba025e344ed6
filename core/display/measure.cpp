#include "core/display/measure.h"

#include <QLocale>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace zx {

double DistanceVoxels(const QPointF& a, const QPointF& b) {
    return std::hypot(b.x() - a.x(), b.y() - a.y());
}

double AngleDegrees(const QPointF& a, const QPointF& vertex, const QPointF& b) {
    const double ux = a.x() - vertex.x(), uy = a.y() - vertex.y();
    const double vx = b.x() - vertex.x(), vy = b.y() - vertex.y();
    const double lu = std::hypot(ux, uy), lv = std::hypot(vx, vy);
    if (lu == 0 || lv == 0) return 0;
    const double c = std::clamp((ux * vx + uy * vy) / (lu * lv), -1.0, 1.0);
    return std::acos(c) * 180.0 / std::numbers::pi;
}

namespace {
QString Decimal(double v) { return QLocale(QLocale::German).toString(v, 'f', 1); }
}  // namespace

QString MeasurementText(const Measurement& m, double edgeMm) {
    if (m.IsAngle())
        return Decimal(AngleDegrees(m.points[0], m.points[1], m.points[2])) +
               QString::fromUtf8("°");
    if (m.points.size() < 2) return QString();
    const double d = DistanceVoxels(m.points[0], m.points[1]);
    return edgeMm > 0 ? Decimal(d * edgeMm) + QStringLiteral(" mm")
                      : Decimal(d) + QStringLiteral(" Voxel");
}

QString MeasurementEntry(const Measurement& m, double edgeMm) {
    static const char* const views[] = {"", "SAG x", "COR y", "TRA z"};
    return QStringLiteral("%1=%2: %3 %4")
        .arg(QString::fromLatin1(views[std::clamp(m.view, 1, 3)]))
        .arg(m.plane)
        .arg(m.IsAngle() ? QStringLiteral("Winkel") : QStringLiteral("Strecke"),
             MeasurementText(m, edgeMm));
}

}  // namespace zx
