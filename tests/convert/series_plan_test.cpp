// The plan of a DICOM series from its headers alone, without files: the
// order along the slice normal, one slice a position, even gaps.
#include "convert/series_plan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/converted_volume.h"

namespace {

/// A 64 × 64 slice at height z: rows along x and columns along y (normal
/// +z), or the other way round (normal −z).
zx::SliceHeader Slice(const std::string& name, double z, bool turned = false,
                      const std::string& uid = "1.2.3") {
    zx::SliceHeader s;
    s.name = name;
    s.seriesUid = uid;
    s.rows = s.columns = 64;
    s.position = {-20, 10, z};
    s.orientation =
        turned ? std::vector<double>{0, 1, 0, 1, 0, 0} : std::vector<double>{1, 0, 0, 0, 1, 0};
    return s;
}

using Order = std::vector<std::size_t>;

TEST(PlanSeries, SlicesAreSortedAlongTheNormalAndOnePositionIsKeptOnce) {
    // "a2" lies where "a" lies and "d2" 0.004 mm above "d": the first given
    // of each is kept.
    const zx::SeriesPlan plan = zx::PlanSeries({Slice("b", 4), Slice("a", 0), Slice("d", 2),
                                                Slice("a2", 0), Slice("e", 6), Slice("d2", 2.004)});
    EXPECT_EQ(plan.order, (Order{1, 2, 0, 4}));
    EXPECT_DOUBLE_EQ(plan.step, 2);
    // With the normal pointing down, the highest slice comes first.
    EXPECT_EQ(zx::PlanSeries({Slice("b", 4, true), Slice("a", 0, true), Slice("c", 8, true)}).order,
              (Order{2, 0, 1}));
}

TEST(PlanSeries, AGapMayDifferFromTheMedianByTenPercent) {
    // Gaps of 2, 2 and 2.18 mm (9 % over the median) or 2.22 mm (11 %).
    EXPECT_DOUBLE_EQ(
        zx::PlanSeries({Slice("a", 0), Slice("b", 2), Slice("c", 4), Slice("d", 6.18)}).step,
        6.18 / 3);
    try {
        zx::PlanSeries({Slice("a", 0), Slice("b", 2), Slice("c", 4), Slice("d", 6.22)});
        ADD_FAILURE() << "an uneven gap accepted";
    } catch (const zx::ConvertError& e) {
        EXPECT_NE(std::string(e.what()).find("ungleichmäßig: zwischen c und d"), std::string::npos)
            << e.what();
    }
}

TEST(GroupBySeries, FilesAreGroupedByTheirSeriesInTheOrderGiven) {
    const auto series = zx::GroupBySeries({Slice("a", 0, false, "2"), Slice("b", 0, false, "1"),
                                           Slice("c", 2, false, "2"), Slice("d", 0, false, "")});
    ASSERT_EQ(series.size(), 3u);
    EXPECT_EQ(series.at("2"), (Order{0, 2}));
    EXPECT_EQ(series.at("1"), (Order{1}));
    EXPECT_EQ(series.at(""), (Order{3}));
}

}  // namespace
