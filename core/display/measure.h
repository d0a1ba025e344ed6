// Rulers and angles in a section view. A measurement stays with its slice:
// the view and the plane it was drawn on, its points in picture pixels.
#pragma once

#include <QPointF>
#include <QString>
#include <vector>

namespace zx {

struct Measurement {
    int view = 1;                 ///< 1 sagittal, 2 coronal, 3 transversal
    int plane = 0;                ///< x, y or z of that view's section
    std::vector<QPointF> points;  ///< two for a distance, three for an angle (vertex second)
    bool IsAngle() const { return points.size() == 3; }
};

/// Distance of two picture points in voxels. The views show the isotropic
/// viewer grid one voxel a pixel, so this times the voxel edge is mm.
double DistanceVoxels(const QPointF& a, const QPointF& b);

/// Angle at `vertex` between the rays to `a` and `b`, 0…180 degrees; 0
/// when a ray has no length.
double AngleDegrees(const QPointF& a, const QPointF& vertex, const QPointF& b);

/// "23,4 mm" with the voxel edge known, "23,4 Voxel" without (edge 0);
/// "37,5°" for an angle. German decimal comma.
QString MeasurementText(const Measurement& m, double edgeMm);

/// "SAG x=90: 23,4 mm" for the list of measurements.
QString MeasurementEntry(const Measurement& m, double edgeMm);

}  // namespace zx
