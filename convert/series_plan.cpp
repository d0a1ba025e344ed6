#include "convert/series_plan.h"

#include <algorithm>
#include <cstdio>

#include "convert/converted_volume.h"

namespace zx {
namespace {

// Slices of one series lie this close together at most to count as one
// position (mm), and their gaps may differ from the median gap by this
// fraction of it.
constexpr double kSamePosition = 0.01;
constexpr double kGapTolerance = 0.10;
// Positions beyond a kilometre are no patient's.
constexpr double kMaxPosition = 1e6;

[[noreturn]] void Fail(const std::string& text) { throw ConvertError(text); }

Vec3 RowDir(const SliceHeader& s) { return {s.orientation[0], s.orientation[1], s.orientation[2]}; }
Vec3 ColDir(const SliceHeader& s) { return {s.orientation[3], s.orientation[4], s.orientation[5]}; }

/// Every slice of one size and orientation, at a finite position.
void CheckAlike(const std::vector<SliceHeader>& slices) {
    const SliceHeader& first = slices.front();
    for (const SliceHeader& s : slices) {
        if (s.orientation.size() != 6 || s.position.size() != 3 ||
            !std::all_of(s.position.begin(), s.position.end(),
                         [](double p) { return std::fabs(p) <= kMaxPosition; }) ||
            !std::all_of(s.orientation.begin(), s.orientation.end(),
                         [](double c) { return std::fabs(c) <= 1.5; }))
            Fail("Die DICOM-Datei " + s.name +
                 " hat keine gültige Lage im Raum (Position, Ausrichtung).");
        if (s.rows != first.rows || s.columns != first.columns)
            Fail("Die Schichten der Serie sind verschieden groß (" + s.name + ").");
    }
    for (const SliceHeader& s : slices) {
        if (!SameDirection(RowDir(s), RowDir(first)) || !SameDirection(ColDir(s), ColDir(first)))
            Fail("Die Schichten der Serie sind verschieden ausgerichtet (" + s.name + ").");
    }
}

/// The gaps between neighbouring slices (positions along the normal, in
/// order) against their lower median: of two gaps the smaller counts as
/// the step.
void CheckGaps(const std::vector<SliceHeader>& slices, const std::vector<std::size_t>& order,
               const std::vector<double>& along) {
    std::vector<double> gaps;
    for (std::size_t k = 1; k < order.size(); ++k)
        gaps.push_back(along[order[k]] - along[order[k - 1]]);
    std::vector<double> sorted = gaps;
    const std::size_t middle = (sorted.size() - 1) / 2;
    std::nth_element(sorted.begin(), sorted.begin() + std::ptrdiff_t(middle), sorted.end());
    const double median = sorted[middle];
    for (std::size_t k = 0; k < gaps.size(); ++k) {
        if (std::fabs(gaps[k] - median) > kGapTolerance * median) {
            char text[160];
            std::snprintf(text, sizeof text, "%.3g mm statt %.3g mm", gaps[k], median);
            Fail("Die Schichten der Serie liegen ungleichmäßig: zwischen " + slices[order[k]].name +
                 " und " + slices[order[k + 1]].name + " sind es " + text + ".");
        }
    }
}

}  // namespace

std::map<std::string, std::vector<std::size_t>> GroupBySeries(
    const std::vector<SliceHeader>& slices) {
    std::map<std::string, std::vector<std::size_t>> series;
    for (std::size_t i = 0; i < slices.size(); ++i) series[slices[i].seriesUid].push_back(i);
    return series;
}

SeriesPlan PlanSeries(const std::vector<SliceHeader>& slices) {
    if (slices.size() < 2) Fail("Die Serie hat nur eine Schicht; das ist kein Volumen.");
    CheckAlike(slices);
    SeriesPlan plan;
    const SliceHeader& first = slices.front();
    plan.rows = first.rows;
    plan.columns = first.columns;
    plan.rowDir = RowDir(first);
    plan.colDir = ColDir(first);
    plan.normal = Cross(plan.rowDir, plan.colDir);
    if (!(Dot(plan.normal, plan.normal) > 0.5))
        Fail("Die Serie hat keine gültige Bildorientierung.");

    std::vector<double> along;
    for (const SliceHeader& s : slices)
        along.push_back(Dot({s.position[0], s.position[1], s.position[2]}, plan.normal));
    std::vector<std::size_t> sorted(slices.size());
    for (std::size_t i = 0; i < sorted.size(); ++i) sorted[i] = i;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [&](std::size_t a, std::size_t b) { return along[a] < along[b]; });
    // Of slices at one position, the first given.
    for (std::size_t i : sorted)
        if (plan.order.empty() || along[i] - along[plan.order.back()] > kSamePosition)
            plan.order.push_back(i);
    if (plan.order.size() < 2)
        Fail("Die Schichten der Serie liegen alle an derselben Position; das ist kein Volumen.");
    CheckGaps(slices, plan.order, along);
    plan.step =
        (along[plan.order.back()] - along[plan.order.front()]) / double(plan.order.size() - 1);
    return plan;
}

}  // namespace zx
