// The placer's shortcuts against their plain readings, decision by decision:
// the position set's one-cell lookup against a linear scan, the coverage
// probes held apart for the position loop (and split by lattice column and
// row for the grid) against the probe list walked in order, the coverage
// marks filled a word at a time with the banded point
// test against the library's point test cell by cell, and whole layouts of
// full sheets, and of jobs that try the same shapes on the same sheets again
// and again (where extras found never free are remembered), against the
// reference placer.

#include "engine/placement_context.hpp"
#include "engine/sheet_coverage.hpp"
#include "engine/sheet_placement.hpp"
#include "geometry/predicates.hpp"
#include "placement_jobs.hpp"
#include "placement_reference.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace plv {
namespace {

using detail::PositionSet;
using detail::ScaledProbes;
using detail::SheetCoverage;
using testing::draw;
using testing::draw_int;

// A coordinate where the set's lookups differ: anywhere on a sheet, a hair
// from a cell edge, around 0 (where truncation of the cell changes sign),
// near the end of the cells' fast range, far out, beyond the clamp.
double awkward_coordinate(std::mt19937& g) {
    const double cell = 1.0 / PositionSet::kCellScale;
    switch (draw_int(g, 0, 6)) {
        case 0:
            return draw(g, 0, 3000);
        case 1: {
            const double edge = draw_int(g, 1, 700000) * cell - PositionSet::kCellOffset;
            const double hairs[] = {0.0, 1e-9, -1e-9, 0.9e-6, -0.9e-6, 3e-6, -3e-6, 4e-6};
            return edge + hairs[draw_int(g, 0, 7)];
        }
        case 2:
            return draw(g, -2e-6, 1.5 * cell);
        case 3:
            return 0x1p29 + draw(g, -2, 2);
        case 4:
            return draw(g, -1e7, 1e9);
        case 5:
            return draw(g, 0x1p30, 0x1p32);  // beyond the clamp of the far cells
        default:
            return draw_int(g, 0, 300) * 0.5;
    }
}

bool near_any(const std::vector<Point>& list, double x, double y) {
    for (const Point& p : list) {
        if (std::fabs(p.x - x) <= 1e-6 && std::fabs(p.y - y) <= 1e-6) return true;
    }
    return false;
}

// Seeded streams of offers in clusters a tolerance apart, through the set as
// the placer drives it (a grid per call, extras per angle) and through the
// linear scan: every offer must be taken or dropped alike.
TEST(PlacerFastPaths, PositionSetDecidesAsTheLinearScan) {
    PositionSet set;
    std::vector<Point> points;  // what the set indexes: grid, then extras
    int mismatches = 0;
    int dropped = 0;
    int offers = 0;
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        std::mt19937 g(seed);
        for (int call = 0; call < 3; ++call) {
            points.clear();
            points.reserve(5000);
            set.start_grid(&points);
            // Grid points stand more than the tolerance apart.
            const int grid = draw_int(g, 0, 300);
            for (int i = 0; i < grid; ++i) {
                const Point p{awkward_coordinate(g), awkward_coordinate(g)};
                if (near_any(points, p.x, p.y)) continue;
                points.push_back(p);
                set.insert(static_cast<std::uint32_t>(points.size() - 1));
            }
            const std::size_t grid_size = points.size();
            for (int angle = 0; angle < 3; ++angle) {
                points.resize(grid_size);
                set.start_extras();
                for (int cluster = 0; cluster < 120 && points.size() < 4900; ++cluster) {
                    // A quarter of the clusters around grid points, which
                    // went in by the other path.
                    const bool on_grid = grid_size > 0 && draw_int(g, 0, 3) == 0;
                    const Point base =
                        on_grid ? points[static_cast<std::size_t>(
                                      draw_int(g, 0, static_cast<int>(grid_size) - 1))]
                                : Point{awkward_coordinate(g), awkward_coordinate(g)};
                    const double bx = base.x;
                    const double by = base.y;
                    const double steps[] = {0.0, 0.5e-6, -0.5e-6, 0.99e-6, -0.99e-6, 1e-6,
                                            -1e-6, 1.01e-6, -1.01e-6, 2e-6};
                    for (int k = 0; k < 8; ++k) {
                        const double x = bx + steps[draw_int(g, 0, 9)];
                        const double y = by + steps[draw_int(g, 0, 9)];
                        const bool is_new = !near_any(points, x, y);
                        const bool added =
                            set.add_if_new(x, y, static_cast<std::uint32_t>(points.size()));
                        if (added != is_new) ++mismatches;
                        if (added) points.push_back(Point{x, y});
                        if (!is_new) ++dropped;
                        ++offers;
                    }
                }
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(dropped, offers / 10);
}

Polygon placed_shape(std::mt19937& g, double w, double h, int index) {
    const Part part = testing::random_part(g, draw(g, 20, 300), index, true);
    return geom::translate_polygon(geom::rotate_polygon(part.shape, draw(g, 0, 360)),
                                   draw(g, 0, w * 0.8), draw(g, 0, h * 0.8));
}

// Sheets covered by seeded shapes; at random positions inside the sheet,
// shapes with many, few and no probes.
TEST(PlacerFastPaths, HeldProbesAnswerAsTheProbeList) {
    int mismatches = 0;
    int covered = 0;
    int tried = 0;
    for (std::uint32_t seed = 1; seed <= 20; ++seed) {
        std::mt19937 g(seed);
        SheetCoverage cover;
        const double w = draw(g, 300, 3000);
        const double h = w * draw(g, 0.4, 1.0);
        cover.reset(w, h);
        for (int i = 0; i < 12; ++i) cover.add(detail::build_shape_geometry(placed_shape(g, w, h, i)));
        for (int s = 0; s < 8; ++s) {
            Polygon shape = geom::rotate_polygon(
                testing::random_part(g, draw(g, 10, 200), s, true).shape, draw(g, 0, 360));
            if (s == 6) shape.outer = {{0, 0}, {draw(g, 1, 50), 0}};  // two probes
            std::vector<Point> scaled;
            for (const Point& q : detail::outline_probes(shape.outer, 16)) {
                scaled.push_back(Point{q.x * cover.inverse(), q.y * cover.inverse()});
            }
            if (s == 7) scaled.clear();
            const ScaledProbes held(cover, scaled);
            const BoundingBox box = geom::polygon_bounds(shape);
            if (!(box.width() < w && box.height() < h)) continue;
            for (int k = 0; k < 4000; ++k) {
                const double px = draw(g, 0, w - box.max_x);
                const double py = draw(g, 0, h - box.max_y);
                const double tx = px * cover.inverse();
                const double ty = py * cover.inverse();
                const bool plain = cover.any_covered_scaled(scaled, tx, ty);
                if (held.any_covered(tx, ty) != plain) ++mismatches;
                // The same four split into a lattice column and row.
                if (held.holds_four()) {
                    const bool split = held.held_covered(held.row(ty), held.column(tx)) ||
                                       held.rest_covered(tx, ty);
                    if (split != plain) ++mismatches;
                }
                if (plain) ++covered;
                ++tried;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(covered, tried / 10);
    EXPECT_LT(covered, tried);
}

// Every cell of seeded sheets marked both ways, shapes with holes among them
// and spans of every length and alignment to the words.
TEST(PlacerFastPaths, CoverageMarksEqualThePlainReading) {
    int differing = 0;
    int marked = 0;
    for (std::uint32_t seed = 1; seed <= 30; ++seed) {
        std::mt19937 g(seed);
        const double w = draw(g, 100, 3000);
        const double h = w * draw(g, 0.3, 1.0);
        SheetCoverage fast;
        SheetCoverage plain;
        fast.reset(w, h);
        plain.reset(w, h);
        for (int i = 0; i < 10; ++i) {
            Polygon shape = placed_shape(g, w, h, i);
            if (i % 3 == 0) {
                const BoundingBox b = geom::polygon_bounds(shape);
                shape = testing::rectangle(b.width(), b.height());
                shape.holes.push_back(testing::rectangle_ring(b.width() * 0.2, b.height() * 0.2,
                                                              b.width() * 0.5, b.height() * 0.5));
                shape = geom::translate_polygon(shape, b.min_x, b.min_y);
            }
            const detail::ShapeGeometry geo = detail::build_shape_geometry(shape);
            fast.add(geo, SheetCoverage::Fill::fast);
            plain.add(geo, SheetCoverage::Fill::plain);
        }
        const double c = fast.cell_size();
        for (double y = 0.5 * c; y < h; y += c) {
            for (double x = 0.5 * c; x < w; x += c) {
                const bool p = plain.covers(x, y);
                if (fast.covers(x, y) != p) ++differing;
                if (p) ++marked;
            }
        }
    }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(marked, 10000);
}

// The banded point test against the library's, on outlines of many points,
// at random points, vertices, midpoints and points a hair off them.
TEST(PlacerFastPaths, BandedPointTestEqualsTheLibrary) {
    int mismatches = 0;
    int inside = 0;
    int tried = 0;
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        std::mt19937 g(seed);
        const Polygon shape = placed_shape(g, 1000, 1000, static_cast<int>(seed));
        const detail::ShapeGeometry geo = detail::build_shape_geometry(shape);
        for (std::size_t r = 0; r < geo.rings.size(); ++r) {
            const Ring& ring = r == 0 ? shape.outer : shape.holes[r - 1];
            const BoundingBox b = geom::ring_bounds(ring);
            std::vector<Point> points;
            for (int k = 0; k < 300; ++k) {
                points.push_back(Point{draw(g, b.min_x - 1, b.max_x + 1), draw(g, b.min_y - 1, b.max_y + 1)});
            }
            for (std::size_t k = 0; k + 1 < ring.size(); ++k) {
                const Point a = ring[k];
                const Point m{(a.x + ring[k + 1].x) * 0.5, (a.y + ring[k + 1].y) * 0.5};
                for (const double hair : {0.0, 1e-7, -1e-7, 3e-7}) {
                    points.push_back(Point{a.x + hair, a.y - hair});
                    points.push_back(Point{m.x - hair, m.y + hair});
                }
            }
            for (const Point& p : points) {
                const bool library = geom::point_in_ring(p, ring);
                if (detail::point_in_ring_geometry(p, geo.rings[r]) != library) ++mismatches;
                if (geom::point_in_ring(p, geo.rings[r].pts) != library) ++mismatches;
                if (library) ++inside;
                ++tried;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(inside, tried / 5);
}

// Full sheets of mixed parts, where every list reaches its caps and most
// positions are turned down by coverage, placement by placement against the
// reference placer; on narrowed sheets most are turned down by the sheet's
// right edge instead.
TEST(PlacerFastPaths, FullSheetLayoutsEqualTheReference) {
    struct Case {
        const char* name;
        std::uint32_t seed;
        void (*apply)(IterativeNestingOptions&);
        double width = 0.0;  // the sheet's, when not 0
    };
    const Case cases[] = {
        {"best position", 21, [](IterativeNestingOptions&) {}},
        {"top 4 at spacing 0", 22, [](IterativeNestingOptions& o) {
             o.top_k = 4;
             o.position_seed = 9;
             o.spacing = 0;
         }},
        {"compact area, grid only", 23, [](IterativeNestingOptions& o) {
             o.optimization = OptimizationType::compact_area;
             o.opt_ratio = 0.3;
             o.extra_positions = false;
         }},
        {"narrowed sheet", 24, [](IterativeNestingOptions&) {}, 840.0},
        {"narrowed sheet, top 3", 25, [](IterativeNestingOptions& o) {
             o.top_k = 3;
             o.position_seed = 5;
         }, 1650.0},
    };
    for (const Case& c : cases) {
        testing::PlacementJob job;
        testing::make_bench_job(job, c.name, 24, c.seed);
        if (c.width > 0.0) job.sheet.width = c.width;
        c.apply(job.options);
        job.options.compact = false;
        const NestingResult fast = place_items_on_sheets(job.sheet, job.items, job.options, {});
        const NestingResult ref =
            reference::place_items_on_sheets(job.sheet, job.items, job.options, {});
        ASSERT_EQ(testing::layout_difference(fast, ref), "") << c.name;
        EXPECT_GE(fast.placements.size(), 20u) << c.name;
    }
}

// Extras found never free on a sheet are remembered per part and angle and
// left out of later tries there. Jobs that try the same shapes on the same
// full sheets again and again, against the reference placer: many copies of
// a few parts over several sheets, more angles than a sheet keeps shapes
// for (so one try asks for more than are kept), and more parts than that
// coming back in turn (so remembered shapes are dropped and made again).
TEST(PlacerFastPaths, ExtrasRememberedAsNeverFreeChangeNoLayout) {
    struct Case {
        const char* name;
        std::uint32_t seed;
        int kinds;
        int copies;  // of each kind
        int angles;  // evenly spread
        double spacing;
        int top_k;
        bool interleave;  // the parts in turn, not each part's copies together
        double size;      // of the parts, about
    };
    static_assert(detail::SheetState::kKnownShapes < 40);
    const Case cases[] = {
        {"copies over several sheets", 31, 3, 14, 4, 5.0, 1, false, 50.0},
        {"top 3 at spacing 0", 32, 3, 12, 4, 0.0, 3, false, 60.0},
        {"more angles than kept shapes", 33, 1, 16, 40, 5.0, 3, false, 60.0},
        {"more shapes than kept, in turn", 34, 10, 3, 4, 2.0, 1, true, 55.0},
    };
    for (const Case& c : cases) {
        std::mt19937 g(c.seed);
        testing::PlacementJob job;
        job.sheet = Sheet{draw(g, 260, 340), draw(g, 180, 240)};
        for (int i = 0; i < c.kinds; ++i) {
            job.parts.push_back(testing::random_part(g, c.size * draw(g, 0.7, 1.4), i, true));
            job.parts.back().allow_rotation = true;
            job.parts.back().quantity = c.copies;
        }
        IterativeNestingOptions& o = job.options;
        o.spacing = c.spacing;
        o.top_k = c.top_k;
        o.position_seed = 7;
        o.compact = false;
        o.max_sheets = 6;
        o.rotations.clear();
        for (int a = 0; a < c.angles; ++a) o.rotations.push_back(360.0 * a / c.angles);
        if (c.interleave) {
            for (int k = 0; k < c.copies; ++k) {
                for (const Part& p : job.parts) {
                    job.items.push_back(NestingItem{&p, k + 1, false, 0.0});
                }
            }
        } else {
            job.items = expand_items(job.parts);
        }
        const NestingResult fast = place_items_on_sheets(job.sheet, job.items, o, {});
        const NestingResult ref = reference::place_items_on_sheets(job.sheet, job.items, o, {});
        ASSERT_EQ(testing::layout_difference(fast, ref), "") << c.name;
        EXPECT_GE(fast.sheets_used(), 2) << c.name;
    }
}

}  // namespace
}  // namespace plv
