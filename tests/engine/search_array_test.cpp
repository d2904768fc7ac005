#include "engine/array_layout.hpp"
#include "engine/positions.hpp"
#include "geometry/primitives.hpp"
#include "search_fixtures.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <map>

namespace {

using namespace search_test;

plv::IterativeNestingOptions options_with(double spacing, std::vector<double> rotations) {
    plv::IterativeNestingOptions o;
    o.spacing = spacing;
    o.rotations = std::move(rotations);
    return o;
}

// Every copy of the pattern's first full sheet.
plv::NestingResult full_sheet(const plv::Part& part, const plv::ArrayPattern& pattern) {
    plv::Part one = part;
    one.quantity = pattern.count;
    plv::NestingResult result;
    plv::emit_array_placements(result, one, pattern, 0);
    return result;
}

TEST(SearchArrayLayout, SquareGridPitchesAndCounts) {
    const plv::Sheet sheet;
    const plv::Part square = rect_part("square", 10, 10, 200, false);
    plv::ArrayPattern pattern;
    ASSERT_TRUE(plv::find_array_pattern(sheet, square, options_with(5.0, {0, 90}), pattern));
    EXPECT_GE(pattern.pitch_x, 14.999999);
    EXPECT_LT(pattern.pitch_x, 15.0);
    EXPECT_GE(pattern.pitch_y, 14.999999);
    EXPECT_LT(pattern.pitch_y, 15.0);
    EXPECT_EQ(pattern.cols_even, 200);
    EXPECT_EQ(pattern.rows, 100);
    EXPECT_EQ(pattern.count, 20000);
    EXPECT_EQ(pattern.stagger, 0.0);
    EXPECT_EQ(pattern.angle, 0.0);

    plv::NestingResult result;
    EXPECT_EQ(plv::emit_array_placements(result, square, pattern, 0), 200);
    ASSERT_EQ(result.placements.size(), 200u);
    for (std::size_t i = 0; i < result.placements.size(); ++i) {
        const plv::Placement& p = result.placements[i];
        EXPECT_EQ(p.sheet_index, 0);
        EXPECT_EQ(p.y, 0.0);  // all in row 0
        EXPECT_EQ(p.copy_number, static_cast<int>(i) + 1);
        EXPECT_EQ(p.part_name, "square");
        EXPECT_EQ(p.source, square.source);
        EXPECT_DOUBLE_EQ(p.net_area, 100.0);
    }
    EXPECT_TRUE(plv::find_spacing_violations(result, 5.0).empty());
}

// 50 mm discs at spacing 5 on a 3000 x 1500 sheet: rows shifted by half the
// pitch nest into each other's gaps, 31 rows of 54 instead of 27 straight
// ones; every copy of the full sheet keeps the spacing.
TEST(SearchArrayLayout, StaggeredRowsOfDiscs) {
    plv::Ring ring;
    for (int i = 0; i < 72; ++i) {
        const double a = 2.0 * 3.14159265358979323846 * i / 72;
        ring.push_back({25 + 25 * std::cos(a), 25 + 25 * std::sin(a)});
    }
    ring.push_back(ring.front());
    const plv::Part disc = part("disc", plv::Polygon{ring, {}}, 2000, false);
    const plv::Sheet sheet;
    plv::ArrayPattern pattern;
    ASSERT_TRUE(plv::find_array_pattern(sheet, disc, options_with(5.0, {0}), pattern));
    EXPECT_NEAR(pattern.pitch_x, 55.0, 1e-3);
    EXPECT_NEAR(pattern.stagger, 27.5, 1e-3);
    EXPECT_LT(pattern.pitch_y, 48.0);
    EXPECT_EQ(pattern.cols_even, 54);
    EXPECT_EQ(pattern.cols_odd, 54);
    EXPECT_EQ(pattern.rows, 31);
    EXPECT_EQ(pattern.count, 1674);

    const plv::NestingResult result = full_sheet(disc, pattern);
    ASSERT_EQ(result.placements.size(), 1674u);
    EXPECT_EQ(result.sheets_used(), 1);
    EXPECT_TRUE(plv::find_spacing_violations(result, 5.0).empty());
    for (const plv::Placement& p : result.placements) {
        EXPECT_TRUE(plv::box_inside_sheet(plv::placement_bounds(p), sheet)) << p.copy_number;
    }
}

// A bar with a tooth below and two notches above, a quarter of its width to
// either side of the tooth: only rows shifted by a quarter of the pitch
// let each row's teeth into the notches of the row below (the next row
// back shifts by minus a quarter, which the other notch takes).
TEST(SearchArrayLayout, QuarterStaggerOfNotchedBars) {
    const plv::Polygon bar{{{30, 0}, {50, 0}, {50, 15}, {80, 15}, {80, 45}, {72, 45}, {72, 30},
                            {48, 30}, {48, 45}, {32, 45}, {32, 30}, {8, 30}, {8, 45}, {0, 45},
                            {0, 15}, {30, 15}, {30, 0}},
                           {}};
    const plv::Part part_bar = part("bar", bar, 2000, false);
    plv::ArrayPattern pattern;
    ASSERT_TRUE(plv::find_array_pattern(plv::Sheet{}, part_bar, options_with(0.0, {0}), pattern));
    EXPECT_EQ(pattern.pitch_x, 80.0);
    EXPECT_EQ(pattern.stagger, 20.0);
    EXPECT_NEAR(pattern.pitch_y, 30.0, 1e-6);
    EXPECT_EQ(pattern.cols_odd, 37);
    EXPECT_EQ(pattern.rows, 49);
    EXPECT_EQ(pattern.count, 1813);
    EXPECT_TRUE(plv::find_spacing_violations(full_sheet(part_bar, pattern), 0.0).empty());
}

TEST(SearchArrayLayout, LargeQuantitiesFillSheetsInTurn) {
    const plv::Sheet sheet;
    const plv::Part square = rect_part("square", 10, 10, 50000, false);
    plv::ArrayPattern pattern;
    ASSERT_TRUE(plv::find_array_pattern(sheet, square, options_with(5.0, {0}), pattern));
    plv::NestingResult result;
    EXPECT_EQ(plv::emit_array_placements(result, square, pattern, 0), 50000);
    std::map<int, int> per_sheet;
    for (std::size_t i = 0; i < result.placements.size(); ++i) {
        ++per_sheet[result.placements[i].sheet_index];
        EXPECT_EQ(result.placements[i].copy_number, static_cast<int>(i) + 1);
    }
    EXPECT_EQ(per_sheet, (std::map<int, int>{{0, 20000}, {1, 20000}, {2, 10000}}));
}

TEST(SearchArrayLayout, WhenAPatternExists) {
    const plv::Sheet sheet;
    const auto o = options_with(5.0, {0, 90});
    plv::ArrayPattern pattern;
    EXPECT_FALSE(plv::find_array_pattern(sheet, rect_part("a", 10, 10, 199), o, pattern));
    EXPECT_TRUE(plv::find_array_pattern(sheet, rect_part("a", 10, 10, 200), o, pattern));
    // Wider than the sheet at every angle.
    EXPECT_FALSE(plv::find_array_pattern(sheet, rect_part("a", 3100, 1600, 500), o, pattern));
    // An empty rotation list gives nothing for a rotatable part, 0 degrees
    // for a fixed one.
    EXPECT_FALSE(plv::find_array_pattern(sheet, rect_part("a", 10, 10, 300), options_with(5, {}),
                                         pattern));
    EXPECT_TRUE(plv::find_array_pattern(sheet, rect_part("a", 10, 10, 300, false),
                                        options_with(5, {}), pattern));
}

TEST(SearchArrayLayout, TouchingBoxesAtZeroSpacing) {
    const plv::Sheet sheet{300, 200};
    plv::ArrayPattern pattern;
    ASSERT_TRUE(plv::find_array_pattern(sheet, rect_part("r", 30, 20, 400, false),
                                        options_with(0.0, {0}), pattern));
    EXPECT_NEAR(pattern.pitch_x, 30.0, 1e-9);
    EXPECT_NEAR(pattern.pitch_y, 20.0, 1e-9);
    EXPECT_EQ(pattern.count, 10 * 10);
    EXPECT_TRUE(plv::find_spacing_violations(full_sheet(rect_part("r", 30, 20, 1), pattern), 0.0)
                    .empty());
}

// A 1000 x 10 strip lying at 45 degrees: the row and next-row checks of the
// pitch searches pass at a vertical pitch where a copy three columns along
// sits on the strip's own axis and overlaps the origin copy.
TEST(SearchArrayLayout, TiltedSlenderStripNeverOverlaps) {
    const plv::Sheet sheet;
    const plv::Polygon tilted = geom::rotate_polygon(rectangle(1000, 10), 45);
    const plv::Part strip = part("strip", tilted, 300, false);
    const double sheet_area = sheet.width * sheet.height;

    plv::ArrayPattern pattern;
    if (plv::find_array_pattern(sheet, strip, options_with(5.0, {0}), pattern)) {
        EXPECT_LE(pattern.count * plv::part_net_area(strip), sheet_area);
        EXPECT_TRUE(plv::find_spacing_violations(full_sheet(strip, pattern), 5.0).empty());
    }

    // With a second angle the strip lies flat and gives a sound grid.
    plv::Part rotatable = strip;
    rotatable.allow_rotation = true;
    plv::ArrayPattern flat;
    ASSERT_TRUE(plv::find_array_pattern(sheet, rotatable, options_with(5.0, {0, 315}), flat));
    EXPECT_LE(flat.count * plv::part_net_area(strip), sheet_area);
    const plv::NestingResult grid = full_sheet(strip, flat);
    EXPECT_TRUE(plv::find_spacing_violations(grid, 5.0).empty());

    plv::NestingResult job;
    ASSERT_TRUE(plv::try_single_part_array_layout(sheet, {rotatable}, options_with(5.0, {0, 315}),
                                                  job));
    EXPECT_EQ(job.placements.size(), 300u);
    EXPECT_TRUE(plv::find_spacing_violations(job, 5.0).empty());
}

TEST(SearchArrayLayout, LatticeCheckSeesDistantNeighbours) {
    const plv::Polygon tilted = geom::rotate_polygon(rectangle(1000, 10), 45);
    plv::ArrayPattern p;
    p.shape = tilted;
    // The pitches the row searches settle on for this strip.
    p.pitch_x = 21.22;
    p.pitch_y = 3 * 21.22;
    p.cols_even = p.cols_odd = 108;
    p.rows = 13;
    p.count = 108 * 13;
    EXPECT_FALSE(plv::array_pattern_is_clear(p, 5.0));
    // One row: only the copies along the row remain, and they are clear.
    p.rows = 1;
    EXPECT_TRUE(plv::array_pattern_is_clear(p, 5.0));

    plv::ArrayPattern square;
    square.shape = rectangle(10, 10);
    square.pitch_x = square.pitch_y = 15.0;
    square.cols_even = square.cols_odd = 200;
    square.rows = 100;
    EXPECT_TRUE(plv::array_pattern_is_clear(square, 5.0));
    square.stagger = 7.5;
    square.pitch_y = 14.0;  // rows 4 mm apart, shifted by half a pitch
    EXPECT_FALSE(plv::array_pattern_is_clear(square, 5.0));
}

TEST(SearchArrayLayout, SinglePartShortcutOnlyForOnePart) {
    const plv::Sheet sheet;
    plv::IterativeNestingOptions o;
    plv::NestingResult out;
    out.sheet = plv::Sheet{10, 10};
    EXPECT_FALSE(plv::try_single_part_array_layout(sheet, {rect_part("a", 10, 10, 150)}, o, out));
    EXPECT_EQ(out.sheet.width, 10.0);  // untouched on failure
    EXPECT_FALSE(plv::try_single_part_array_layout(
        sheet, {rect_part("a", 10, 10, 300), rect_part("b", 10, 10, 300)}, o, out));
    o.solver = plv::Solver::random;
    EXPECT_FALSE(plv::try_single_part_array_layout(sheet, {rect_part("a", 10, 10, 300)}, o, out));
    o.solver = plv::Solver::cpu;
    out.unplaced.push_back(rect_part("old", 1, 1, 1));
    ASSERT_TRUE(plv::try_single_part_array_layout(sheet, {rect_part("a", 10, 10, 300)}, o, out));
    EXPECT_EQ(out.sheet.width, 3000.0);
    EXPECT_TRUE(out.unplaced.empty());
    EXPECT_EQ(out.placements.size(), 300u);
}

TEST(SearchArrayLayout, ArrayPartsTakeSheetsOfTheirOwn) {
    const plv::Sheet sheet{1000, 500};
    plv::IterativeNestingOptions o;
    // 10 x 10 at pitch 15: 67 x 33 = 2211 per sheet; 3000 copies need two.
    const std::vector<plv::Part> parts{rect_part("small", 10, 10, 3000, false),
                                       rect_part("odd", 40, 40, 7),
                                       rect_part("big", 20, 20, 250, false)};
    plv::NestingResult out;
    std::vector<plv::Part> remaining{rect_part("stale", 1, 1, 1)};
    ASSERT_TRUE(plv::place_high_quantity_arrays(sheet, parts, o, out, remaining));
    ASSERT_EQ(remaining.size(), 1u);
    EXPECT_EQ(remaining[0].name, "odd");
    std::map<std::string, std::map<int, int>> sheets;
    for (const auto& p : out.placements) ++sheets[p.part_name][p.sheet_index];
    EXPECT_EQ(sheets["small"], (std::map<int, int>{{0, 2211}, {1, 789}}));
    EXPECT_EQ(sheets["big"], (std::map<int, int>{{2, 250}}));
    EXPECT_EQ(out.sheet.width, 1000.0);

    o.solver = plv::Solver::random;
    plv::NestingResult untouched;
    untouched.sheet = plv::Sheet{1, 1};
    EXPECT_FALSE(plv::place_high_quantity_arrays(sheet, parts, o, untouched, remaining));
    EXPECT_EQ(untouched.sheet.width, 1.0);
}

TEST(SearchArrayLayout, SplitBySheetKeepsOrder) {
    plv::NestingResult r;
    const auto add = [&](int sheet, int copy) {
        plv::Placement p;
        p.sheet_index = sheet;
        p.copy_number = copy;
        r.placements.push_back(p);
    };
    add(2, 1);
    add(0, 2);
    add(-1, 3);
    add(2, 4);
    add(0, 5);
    const auto lists = plv::split_placements_by_sheet(r);
    ASSERT_EQ(lists.size(), 3u);
    ASSERT_EQ(lists[0].size(), 2u);
    EXPECT_EQ(lists[0][0].copy_number, 2);
    EXPECT_EQ(lists[0][1].copy_number, 5);
    EXPECT_TRUE(lists[1].empty());
    ASSERT_EQ(lists[2].size(), 2u);
    EXPECT_EQ(lists[2][0].copy_number, 1);
    EXPECT_EQ(lists[2][1].copy_number, 4);

    plv::NestingResult none;
    EXPECT_EQ(plv::split_placements_by_sheet(none).size(), 1u);
}

TEST(SearchArrayLayout, SheetLimitAfterArrays) {
    struct Case {
        std::int32_t limit;
        std::size_t arrays;
        std::int32_t expected;
    };
    for (const Case& c : {Case{50, 3, 53}, Case{0, 2, 3}, Case{-4, 1, 2}, Case{1, 0, 1},
                          Case{INT_MAX, 5, INT_MAX}}) {
        EXPECT_EQ(plv::max_sheets_after_arrays(c.limit, c.arrays), c.expected)
            << c.limit << " + " << c.arrays;
    }
}

}  // namespace
