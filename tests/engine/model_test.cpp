#include "engine/model.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

const char* const kSheetText = "Sheet dimensions must be greater than zero.";
const char* const kSpacingText = "Spacing cannot be negative.";
const char* const kRotationText = "At least one rotation angle is required.";
const char* const kMaxSheetsText = "max_sheets must be at least 1.";

// The text of the error, or "" when the job is accepted.
std::string validation_error(const plv::Sheet& sheet, const plv::IterativeNestingOptions& options) {
    try {
        plv::validate_nesting_inputs(sheet, options);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "";
}

TEST(ValidateNestingInputs, ReportsTheFirstFailedCheck) {
    struct Case {
        const char* what;
        plv::Sheet sheet;
        double spacing;
        std::vector<double> rotations;
        std::int32_t max_sheets;
        std::string expected;
    };
    const std::vector<double> standard{0, 90, 180, 270};
    const std::vector<Case> cases = {
        {"defaults", {}, 5.0, standard, 50, ""},
        {"zero spacing, one sheet", {}, 0.0, {0}, 1, ""},
        {"zero width wins over bad spacing", {0, 1500}, -1.0, {}, 0, kSheetText},
        {"zero height", {3000, 0}, 5.0, standard, 50, kSheetText},
        {"negative width", {-1, 1500}, 5.0, standard, 50, kSheetText},
        {"NaN width", {kNaN, 1500}, 5.0, standard, 50, kSheetText},
        {"NaN height", {3000, kNaN}, 5.0, standard, 50, kSheetText},
        {"infinite width", {kInf, 1500}, 5.0, standard, 50, kSheetText},
        {"infinite height", {3000, kInf}, 5.0, standard, 50, kSheetText},
        {"negative spacing wins over no rotations", {}, -1.0, {}, 0, kSpacingText},
        {"NaN spacing", {}, kNaN, standard, 50, kSpacingText},
        {"infinite spacing", {}, kInf, standard, 50, kSpacingText},
        {"no rotations wins over max_sheets", {}, 5.0, {}, 0, kRotationText},
        {"NaN angle", {}, 5.0, {0, kNaN}, 50, kRotationText},
        {"infinite angle", {}, 5.0, {-kInf}, 50, kRotationText},
        {"max_sheets 0", {}, 5.0, standard, 0, kMaxSheetsText},
        {"max_sheets negative", {}, 5.0, standard, -3, kMaxSheetsText},
    };
    for (const Case& c : cases) {
        plv::IterativeNestingOptions options;
        options.spacing = c.spacing;
        options.rotations = c.rotations;
        options.max_sheets = c.max_sheets;
        EXPECT_EQ(validation_error(c.sheet, options), c.expected) << c.what;
    }
}

TEST(Defaults, MatchTheDocumentedValues) {
    const plv::Sheet sheet;
    EXPECT_EQ(sheet.width, 3000.0);
    EXPECT_EQ(sheet.height, 1500.0);
    const plv::IterativeNestingOptions o;
    EXPECT_EQ(o.spacing, 5.0);
    EXPECT_EQ(o.rotations, (std::vector<double>{0, 90, 180, 270}));
    EXPECT_EQ(o.max_sheets, 50);
    EXPECT_TRUE(o.extra_positions);
    EXPECT_TRUE(o.compact);
    EXPECT_EQ(o.optimization, plv::OptimizationType::bounding_box);
    EXPECT_EQ(o.opt_ratio, 0.5);
    EXPECT_EQ(o.top_k, 1);
    EXPECT_EQ(o.position_seed, 0);
    EXPECT_EQ(o.solver, plv::Solver::cpu);
    EXPECT_EQ(o.iterations, 250);
    EXPECT_EQ(o.seed, 42);
    EXPECT_EQ(o.threads, 4);
    EXPECT_EQ(o.population, 1);
    EXPECT_EQ(o.mutation_percent, 10.0);
    EXPECT_EQ(o.shuffle_percent, 0.0);
    EXPECT_EQ(o.shuffle_intensity_percent, 25.0);
    EXPECT_EQ(o.perf_log, nullptr);
    const plv::NestingResult r;
    EXPECT_EQ(r.sheet.width, 3000.0);
    EXPECT_TRUE(r.placements.empty());
    EXPECT_TRUE(r.unplaced.empty());
}

plv::Part part_with_quantity(const std::string& name, std::int32_t quantity) {
    plv::Part p;
    p.name = name;
    p.quantity = quantity;
    return p;
}

TEST(ExpandItems, ListsCopiesPartByPartAndSkipsEmptyQuantities) {
    const std::vector<plv::Part> parts = {part_with_quantity("a", 2), part_with_quantity("b", 0),
                                          part_with_quantity("c", 3),
                                          part_with_quantity("d", -4)};
    const std::vector<plv::NestingItem> items = plv::expand_items(parts);
    ASSERT_EQ(items.size(), 5u);
    const std::vector<std::pair<const plv::Part*, std::int32_t>> expected = {
        {&parts[0], 1}, {&parts[0], 2}, {&parts[2], 1}, {&parts[2], 2}, {&parts[2], 3}};
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].part, expected[i].first) << i;
        EXPECT_EQ(items[i].copy_number, expected[i].second) << i;
        EXPECT_FALSE(items[i].rotation_fixed) << i;
        EXPECT_EQ(items[i].fixed_angle, 0.0) << i;
    }
    EXPECT_TRUE(plv::expand_items({part_with_quantity("x", -1)}).empty());
    EXPECT_TRUE(plv::expand_items({}).empty());
}

geom::Ring rectangle(double x, double y, double w, double h) {
    return {{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}, {x, y}};
}

plv::Placement placed_rect(std::int32_t sheet, double x, double y, double w, double h) {
    plv::Placement p;
    p.shape.outer = rectangle(x, y, w, h);
    p.sheet_index = sheet;
    p.x = x;
    p.y = y;
    p.net_area = w * h;
    return p;
}

TEST(NestingResultMetrics, EmptyResultIsZeroEverywhere) {
    const plv::NestingResult r;
    EXPECT_EQ(r.sheets_used(), 0);
    EXPECT_EQ(r.placed_area(), 0.0);
    EXPECT_EQ(r.sheets_area(), 0.0);
    EXPECT_EQ(r.utilization(), 0.0);
    EXPECT_EQ(r.waste_area(), 0.0);
    EXPECT_EQ(r.occupied_area(), 0.0);
}

TEST(NestingResultMetrics, BoxOfPlacementsNotTheirAreaIsOccupied) {
    plv::NestingResult r;
    r.placements = {placed_rect(0, 0, 0, 100, 100), placed_rect(0, 300, 0, 100, 100)};
    EXPECT_EQ(r.occupied_area(), 40000.0);
    EXPECT_EQ(r.placed_area(), 20000.0);
    EXPECT_EQ(r.sheets_used(), 1);
    EXPECT_DOUBLE_EQ(r.utilization(), 20000.0 / (3000.0 * 1500.0));
}

TEST(NestingResultMetrics, SheetWithoutPlacementsAddsNothingButCountsAsUsed) {
    plv::NestingResult r;
    r.sheet = {1000, 500};
    r.placements = {placed_rect(2, 10, 10, 50, 20), placed_rect(0, 0, 0, 100, 100),
                    placed_rect(2, 100, 200, 30, 40)};
    EXPECT_EQ(r.sheets_used(), 3);
    // Sheet 0: 100 x 100; sheet 2: x 10..130, y 10..240.
    EXPECT_EQ(r.occupied_area(), 10000.0 + 120.0 * 230.0);
    const double placed = 1000.0 + 10000.0 + 1200.0;
    EXPECT_EQ(r.placed_area(), placed);
    EXPECT_EQ(r.sheets_area(), 3 * 1000.0 * 500.0);
    EXPECT_EQ(r.utilization(), placed / (3 * 1000.0 * 500.0));
    EXPECT_EQ(r.waste_area(), 3 * 1000.0 * 500.0 - placed);
}

TEST(NestingResultMetrics, NegativeSheetIndexNeverCounts) {
    plv::NestingResult r;
    r.placements = {placed_rect(-1, 0, 0, 10, 10)};
    EXPECT_EQ(r.sheets_used(), 0);
    EXPECT_EQ(r.occupied_area(), 0.0);
    EXPECT_EQ(r.utilization(), 0.0);
    EXPECT_EQ(r.placed_area(), 100.0);

    r.placements.push_back(placed_rect(0, 500, 500, 20, 20));
    EXPECT_EQ(r.sheets_used(), 1);
    EXPECT_EQ(r.occupied_area(), 400.0);
}

TEST(NestingResultMetrics, SparseAndExtremeSheetIndices) {
    plv::NestingResult r;
    r.placements = {placed_rect(1000, 0, 0, 10, 10), placed_rect(1000, 20, 0, 10, 10),
                    placed_rect(7, 0, 0, 5, 4)};
    EXPECT_EQ(r.sheets_used(), 1001);
    EXPECT_EQ(r.occupied_area(), 300.0 + 20.0);

    r.placements.push_back(placed_rect(std::numeric_limits<std::int32_t>::max(), 0, 0, 2, 3));
    EXPECT_EQ(r.sheets_used(), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(r.occupied_area(), 300.0 + 20.0 + 6.0);
}

TEST(NestingResultMetrics, ZeroSizedSheetGivesZeroUtilization) {
    plv::NestingResult r;
    r.sheet = {0, 1500};
    r.placements = {placed_rect(0, 0, 0, 10, 10)};
    EXPECT_EQ(r.utilization(), 0.0);
}

TEST(RecordBounds, OuterRingOnlyAndNetAreaLessHoles) {
    plv::Part part;
    part.shape.outer = rectangle(0, 0, 100, 50);
    part.shape.holes = {rectangle(10, 10, 20, 20)};
    const geom::BoundingBox pb = plv::part_bounds(part);
    EXPECT_EQ(pb.min_x, 0.0);
    EXPECT_EQ(pb.max_x, 100.0);
    EXPECT_EQ(pb.max_y, 50.0);
    EXPECT_EQ(plv::part_net_area(part), 5000.0 - 400.0);

    plv::Placement placement = placed_rect(0, 40, 60, 30, 10);
    placement.shape.holes = {rectangle(0, 0, 1000, 1000)};  // holes never widen the box
    const geom::BoundingBox b = plv::placement_bounds(placement);
    EXPECT_EQ(b.min_x, 40.0);
    EXPECT_EQ(b.min_y, 60.0);
    EXPECT_EQ(b.max_x, 70.0);
    EXPECT_EQ(b.max_y, 70.0);
}

}  // namespace
