#include "engine/placement_geometry.hpp"
#include "engine/positions.hpp"
#include "engine/sheet_placement.hpp"
#include "placement_jobs.hpp"
#include "placement_reference.hpp"

#include <gtest/gtest.h>

#include <limits>

namespace {

using plv::Placement;
using plv::Polygon;
using plv::testing::draw;
using plv::testing::draw_int;
using plv::testing::layout_difference;

// Some jobs start from sheets that already hold placements.
void maybe_prefill(plv::testing::PlacementJob& job, std::mt19937& g) {
    if (draw_int(g, 0, 3) != 0) return;
    const int sheets = draw_int(g, 1, 2);
    for (int s = 0; s < sheets; ++s) {
        std::vector<Placement> sheet;
        const Polygon block = plv::testing::rectangle(draw(g, 20, 80), draw(g, 20, 60));
        const plv::BoundingBox b = geom::polygon_bounds(block);
        for (double x = 0; x + b.max_x <= job.sheet.width * 0.5; x += b.max_x + job.options.spacing) {
            sheet.push_back(plv::testing::placed_at(block, x, 0, s, "array"));
        }
        job.prefilled.push_back(sheet);
    }
}

TEST(PlacementDifferential, FastLayoutsEqualTheReferenceAndKeepTheSpacing) {
    int jobs = 0;
    int placed = 0;
    for (std::uint32_t seed = 1; seed <= 120; ++seed) {
        plv::testing::PlacementJob job;
        plv::testing::make_small_job(job, seed);
        std::mt19937 g(seed * 7919u);
        maybe_prefill(job, g);
        const int solver = draw_int(g, 0, 5);
        if (solver == 4) job.options.solver = plv::Solver::gpu;
        if (solver == 5) job.options.solver = plv::Solver::dual_gpu;
        const plv::NestingResult fast =
            plv::place_items_on_sheets(job.sheet, job.items, job.options, job.prefilled);
        const plv::NestingResult ref =
            plv::reference::place_items_on_sheets(job.sheet, job.items, job.options, job.prefilled);
        ASSERT_EQ(layout_difference(fast, ref), "") << job.name;
        // Prefilled placements were not placed under the job's spacing rule.
        if (job.prefilled.empty()) {
            EXPECT_TRUE(plv::find_spacing_violations(fast, job.options.spacing).empty()) << job.name;
        }
        ++jobs;
        placed += static_cast<int>(fast.placements.size());
    }
    EXPECT_GT(placed, jobs * 3);
}

// Option values at the edges: keys that are not numbers (the order then
// depends on the list's own order), repeated angles (ties between angles),
// extreme picks, spacings on both sides of the 1e-6 switch.
TEST(PlacementDifferential, EdgeOptionValuesEqualTheReference) {
    struct Variant {
        const char* name;
        void (*apply)(plv::IterativeNestingOptions&);
    };
    const Variant variants[] = {
        {"nan ratio", [](plv::IterativeNestingOptions& o) {
             o.opt_ratio = std::numeric_limits<double>::quiet_NaN();
         }},
        {"repeated angles", [](plv::IterativeNestingOptions& o) {
             o.rotations = {0, 90, 0, 90};
             o.top_k = 4;
         }},
        {"huge top_k", [](plv::IterativeNestingOptions& o) {
             o.top_k = std::numeric_limits<std::int32_t>::max();
             o.position_seed = std::numeric_limits<std::int32_t>::max();
         }},
        {"tiny spacing", [](plv::IterativeNestingOptions& o) { o.spacing = 1e-7; }},
        {"spacing just above the switch", [](plv::IterativeNestingOptions& o) { o.spacing = 1.5e-6; }},
        {"no extra positions", [](plv::IterativeNestingOptions& o) { o.extra_positions = false; }},
    };
    for (const Variant& v : variants) {
        for (std::uint32_t seed = 300; seed < 304; ++seed) {
            plv::testing::PlacementJob job;
            plv::testing::make_small_job(job, seed);
            v.apply(job.options);
            const plv::NestingResult fast = plv::place_items_on_sheets(job.sheet, job.items, job.options, {});
            const plv::NestingResult ref =
                plv::reference::place_items_on_sheets(job.sheet, job.items, job.options, {});
            ASSERT_EQ(layout_difference(fast, ref), "") << v.name << " " << job.name;
        }
    }
}

// A full-size sheet with mixed parts: long position lists at their caps.
TEST(PlacementDifferential, FullSizeSheetEqualsTheReference) {
    plv::testing::PlacementJob job;
    plv::testing::make_bench_job(job, "full", 20, 11);
    job.options.top_k = 3;
    const plv::NestingResult fast = plv::place_items_on_sheets(job.sheet, job.items, job.options, {});
    const plv::NestingResult ref =
        plv::reference::place_items_on_sheets(job.sheet, job.items, job.options, {});
    ASSERT_EQ(layout_difference(fast, ref), "");
    EXPECT_EQ(fast.placements.size(), 20u);
    EXPECT_TRUE(plv::find_spacing_violations(fast, job.options.spacing).empty());
}

// The random solver against the reference's own reading of the random
// placer: every draw, seed and attempt must agree for the layouts to agree.
TEST(PlacementDifferential, RandomSolverLayoutsEqualTheReferenceAndKeepTheSpacing) {
    struct Variant {
        const char* name;
        void (*apply)(plv::testing::PlacementJob&);
    };
    const Variant variants[] = {
        {"as drawn", [](plv::testing::PlacementJob&) {}},
        {"four angles", [](plv::testing::PlacementJob& job) {
             job.options.rotations = {0, 90, 180, 270};
             for (plv::NestingItem& item : job.items) item.rotation_fixed = false;
         }},
        {"three angles, large top_k", [](plv::testing::PlacementJob& job) {
             job.options.rotations = {0, 45, 180};
             job.options.top_k = 40;
             for (plv::NestingItem& item : job.items) item.rotation_fixed = false;
         }},
        // The strip is longer than the sheet's short side: no coordinates
        // are drawn for the angle that turns it across.
        {"a strip that fits one way only", [](plv::testing::PlacementJob& job) {
             job.options.rotations = {0, 90};
             const double length = (job.sheet.width + job.sheet.height) * 0.5;
             job.parts.push_back(plv::Part{"strip", plv::testing::rectangle(length, 12), 3, true,
                                           "job/strip.dxf"});
             job.items = plv::expand_items(job.parts);
         }},
    };
    int placed = 0;
    int strips = 0;
    for (const Variant& v : variants) {
        for (std::uint32_t seed = 100; seed < 108; ++seed) {
            plv::testing::PlacementJob job;
            plv::testing::make_small_job(job, seed);
            std::mt19937 g(seed * 31u);
            maybe_prefill(job, g);
            v.apply(job);
            job.options.solver = plv::Solver::random;
            const plv::NestingResult r =
                plv::place_items_on_sheets(job.sheet, job.items, job.options, job.prefilled);
            const plv::NestingResult ref =
                plv::reference::place_items_on_sheets(job.sheet, job.items, job.options, job.prefilled);
            ASSERT_EQ(layout_difference(r, ref), "") << v.name << " " << job.name;
            if (job.prefilled.empty()) {
                EXPECT_TRUE(plv::find_spacing_violations(r, job.options.spacing).empty()) << job.name;
            }
            placed += static_cast<int>(r.placements.size());
            for (const Placement& p : r.placements) strips += p.part_name == "strip";
        }
    }
    EXPECT_GT(placed, 200);
    EXPECT_GT(strips, 8);
}

// A ring whose top edge falls by 2e-7 over 1000 mm: within that rise the
// point test counts a crossing up to another 1000 mm beyond the edge, and
// how far exactly depends on the last bits of the rise, which moving the
// ring rounds. Mirrored, the far crossings lie to the left.
Polygon nearly_level_top(bool mirrored) {
    plv::Ring r = {{0, 0}, {1000, 0}, {1000, 100}, {0, 100 + 2e-7}, {0, 0}};
    if (mirrored) {
        for (plv::Point& p : r) p.x = 1000 - p.x;
    }
    return Polygon{r, {}};
}

// The last x on row y, going from `from` (inside) in direction s, that the
// point test counts inside the shape.
double farthest_inside(const Polygon& shape, double y, double from, double s) {
    double in = from;
    double out = from + s * 3000;
    for (int i = 0; i < 200; ++i) {
        const double mid = 0.5 * (in + out);
        (geom::point_in_polygon(plv::Point{mid, y}, shape) ? in : out) = mid;
    }
    return in;
}

// A spike with its tip at tip and its body on side s, and an arm reaching
// back over the ring, 11.4 mm above the tip: its box overlaps that of the
// ring while its outline stays more than 5 mm from the ring's.
Polygon spike(plv::Point tip, double s, double reach = 1122.17) {
    const double x = tip.x, y = tip.y;
    return Polygon{{{x, y},
                    {x + s * 8, y - 8.633},
                    {x + s * 78, y - 8.633},
                    {x + s * 78, y + 21.367},
                    {x - s * reach, y + 21.367},
                    {x - s * reach, y + 11.367},
                    {x + s * 8, y + 11.367},
                    {x, y}},
                   {}};
}

struct LevelEdgeCase {
    Polygon ring;           // as stored
    Polygon moved;          // moved by (dx, dy)
    Polygon neighbour;      // its tip in the far window of the moved ring
    double dx = 0, dy = 0;
};

// dx and dy are taken as they come out of the position list: a box edge
// plus the spacing.
LevelEdgeCase level_edge_case(bool mirrored, double dx, double dy) {
    LevelEdgeCase c;
    c.ring = nearly_level_top(mirrored);
    c.dx = dx;
    c.dy = dy;
    c.moved = geom::translate_polygon(c.ring, dx, dy);
    const double s = mirrored ? -1 : 1;
    const plv::Point corner = c.moved.outer[2];  // the lower end of the top edge
    const plv::Point tip{farthest_inside(c.moved, corner.y, corner.x + s, s), corner.y};
    c.neighbour = spike(tip, s);
    // The construction only shows something when the move has pushed the far
    // crossing beyond where it lies for the ring as stored.
    const plv::Point stored = c.ring.outer[2];
    const double unmoved = farthest_inside(c.ring, stored.y, stored.x + s, s) + dx;
    EXPECT_GT(s * (tip.x - unmoved), 1e-5) << (mirrored ? "mirrored" : "upright");
    return c;
}

TEST(PlacementDifferential, PairRuleCountsFarCrossingsOfAMovedNearlyLevelEdge) {
    plv::detail::ConflictScratch scratch;
    for (const bool mirrored : {false, true}) {
        const LevelEdgeCase c = level_edge_case(mirrored, mirrored ? 1977.83 : 22.17, 48.633);
        const plv::detail::ShapeGeometry ga = plv::detail::build_shape_geometry(c.ring);
        const plv::detail::ShapeGeometry gb = plv::detail::build_shape_geometry(c.neighbour);
        for (const double spacing : {0.0, 5.0}) {
            ASSERT_TRUE(plv::detail::shapes_conflict_reference(c.moved, c.neighbour, spacing));
            EXPECT_TRUE(plv::detail::shapes_conflict(ga, c.ring, c.dx, c.dy,
                                                     geom::polygon_bounds(c.moved), gb,
                                                     c.neighbour, geom::polygon_bounds(c.neighbour),
                                                     spacing, scratch))
                << (mirrored ? "mirrored" : "upright") << " spacing " << spacing;
        }
    }
}

// The same through placement: strips below and left of the place leave it
// the lowest, leftmost position on the sheet.
TEST(PlacementDifferential, NearlyLevelEdgeIsPlacedAsTheReferencePlacesIt) {
    for (const bool mirrored : {false, true}) {
        for (const double spacing : {0.0, 5.0}) {
            const double left = mirrored ? 1977.83 : 22.17;
            const double below = 48.633;
            const Placement bottom =
                plv::testing::placed_at(plv::testing::rectangle(3000, below - spacing), 0, 0);
            const Placement side =
                plv::testing::placed_at(plv::testing::rectangle(left - spacing, 1500), 0, 0);
            const LevelEdgeCase c = level_edge_case(
                mirrored, geom::polygon_bounds(side.shape).max_x + spacing,
                geom::polygon_bounds(bottom.shape).max_y + spacing);
            plv::Placement neighbour = plv::testing::placed_at(c.neighbour, 0, 0);

            plv::Part part{"level", c.ring, 1, false, "test"};
            const std::vector<plv::NestingItem> items = {plv::NestingItem{&part, 1, false, 0.0}};
            plv::IterativeNestingOptions options;
            options.spacing = spacing;
            options.rotations = {0};
            options.extra_positions = false;
            options.compact = false;
            const std::vector<std::vector<Placement>> prefilled = {{bottom, side, neighbour}};
            const plv::NestingResult fast =
                plv::place_items_on_sheets(plv::Sheet{}, items, options, prefilled);
            const plv::NestingResult ref =
                plv::reference::place_items_on_sheets(plv::Sheet{}, items, options, prefilled);
            const std::string where =
                std::string(mirrored ? "mirrored" : "upright") + " spacing " + std::to_string(spacing);
            EXPECT_EQ(layout_difference(fast, ref), "") << where;
            ASSERT_EQ(fast.placements.size(), 4u) << where;
            EXPECT_TRUE(plv::reference::is_position_free(fast.placements[3].shape,
                                                         {bottom, side, neighbour}, spacing))
                << where;
        }
    }
}

// Conflicts that only the fast test's safety margins keep it from missing;
// each case fails when one margin is cut to nothing.
TEST(PlacementDifferential, PairRuleKeepsConflictsAtTheEdgeOfItsMargins) {
    struct Case {
        std::string name;
        Polygon a;  // as stored, moved by (dx, dy)
        double dx, dy;
        Polygon b;  // placed
        double spacing;
    };
    std::vector<Case> cases;
    // Point-test slack: a placed ring whose top edge falls by less than half
    // the tolerance, so its far crossings lie to the left; the tip of the
    // moved shape sits on the last point the point test counts inside, which
    // the rounding of the crossing puts just beyond the exact bound.
    const double far_rows[][3] = {{100, 4.9e-8, 1999.9}, {512.25, 4.9e-8, 313.3}, {0.7, 3.1e-8, 1999.9}};
    for (const auto& row : far_rows) {
        const double base = row[0], rise = row[1], w = row[2];
        const Polygon b{{{0, 0}, {w, 0}, {w, base}, {0, base + rise}, {0, 0}}, {}};
        const plv::Point tip{farthest_inside(b, base, -1e-3, -1), base};
        for (const double spacing : {0.0, 5.0}) {
            cases.push_back({"far crossing of a placed ring, rise " + std::to_string(rise), spike(tip, -1, w),
                             0, 0, b, spacing});
        }
    }
    // Distance margin: just above the spacing switch the threshold is about
    // 1e-11, while edges 9.5e-8 apart still touch within the tolerance
    // (distance 0).
    const Polygon unit = plv::testing::rectangle(1, 1);
    const double switch_spacing = 1.00001e-6;
    cases.push_back({"touching within the tolerance beyond the threshold", unit, 10 - 1 - 9.5e-8, 10,
                     geom::translate_polygon(unit, 10, 10), switch_spacing});
    cases.push_back({"the same from above", unit, 10, 10 + 1 + 9.5e-8,
                     geom::translate_polygon(unit, 10, 10), switch_spacing});

    plv::detail::ConflictScratch scratch;
    for (const Case& c : cases) {
        const Polygon moved = geom::translate_polygon(c.a, c.dx, c.dy);
        ASSERT_TRUE(plv::detail::shapes_conflict_reference(moved, c.b, c.spacing)) << c.name;
        const plv::detail::ShapeGeometry ga = plv::detail::build_shape_geometry(c.a);
        const plv::detail::ShapeGeometry gb = plv::detail::build_shape_geometry(c.b);
        EXPECT_TRUE(plv::detail::shapes_conflict(ga, c.a, c.dx, c.dy, geom::polygon_bounds(moved),
                                                 gb, c.b, geom::polygon_bounds(c.b), c.spacing,
                                                 scratch))
            << c.name << " spacing " << c.spacing;
        const Placement placed = plv::testing::placed_at(c.b, 0, 0);
        EXPECT_FALSE(plv::is_position_free(moved, {placed}, c.spacing)) << c.name;
    }
}

// The pair rule of the free test against the geometry library, on shapes
// moved to positions where the answer is close: touching, at the spacing
// within rounding, inside holes, around each other.
TEST(PlacementDifferential, PairRuleEqualsTheGeometryLibrary) {
    std::mt19937 g(2024);
    int conflicts = 0;
    int clear = 0;
    plv::detail::ConflictScratch scratch;
    for (int round = 0; round < 400; ++round) {
        const plv::Part pa = plv::testing::random_part(g, draw(g, 10, 80), 0, true);
        const plv::Part pb = plv::testing::random_part(g, draw(g, 10, 80), 1, true);
        const Polygon a = geom::rotate_polygon(pa.shape, draw_int(g, 0, 7) * 45.0);
        const Polygon b = geom::translate_polygon(pb.shape, draw(g, 0, 100), draw(g, 0, 100));
        const plv::detail::ShapeGeometry ga = plv::detail::build_shape_geometry(a);
        const plv::detail::ShapeGeometry gb = plv::detail::build_shape_geometry(b);
        const plv::BoundingBox bb = geom::polygon_bounds(b);
        const plv::BoundingBox ab = geom::polygon_bounds(a);
        for (const double spacing : {0.0, 5.0, 2.0000001}) {
            for (int k = 0; k < 12; ++k) {
                double dx = 0, dy = 0;
                const int how = draw_int(g, 0, 3);
                if (how == 0) {
                    // Anywhere around b.
                    dx = draw(g, bb.min_x - ab.max_x - 10, bb.max_x + 10);
                    dy = draw(g, bb.min_y - ab.max_y - 10, bb.max_y + 10);
                } else if (how == 1) {
                    // Right of b at about the spacing.
                    dx = bb.max_x + spacing + draw(g, -2e-6, 2e-6) * draw_int(g, 0, 1);
                    dy = draw(g, bb.min_y - ab.max_y, bb.max_y);
                } else if (how == 2) {
                    // Above b at about the spacing.
                    dx = draw(g, bb.min_x - ab.max_x, bb.max_x);
                    dy = bb.max_y + spacing + draw(g, -2e-6, 2e-6) * draw_int(g, 0, 1);
                } else {
                    // Centred on b: inside holes or around it.
                    dx = (bb.min_x + bb.max_x) * 0.5 - ab.max_x * 0.5 + draw(g, -3, 3);
                    dy = (bb.min_y + bb.max_y) * 0.5 - ab.max_y * 0.5 + draw(g, -3, 3);
                }
                const plv::BoundingBox moved_box = geom::translate_box(ab, dx, dy);
                const Polygon moved = geom::translate_polygon(a, dx, dy);
                if (!moved_box.overlaps(bb, spacing)) continue;
                const bool want = plv::detail::shapes_conflict_reference(moved, b, spacing);
                const bool got =
                    plv::detail::shapes_conflict(ga, a, dx, dy, moved_box, gb, b, bb, spacing, scratch);
                ASSERT_EQ(got, want) << "round " << round << " spacing " << spacing << " at (" << dx
                                     << ", " << dy << ")";
                (want ? conflicts : clear) += 1;
            }
        }
    }
    EXPECT_GT(conflicts, 500);
    EXPECT_GT(clear, 500);
}

}  // namespace
