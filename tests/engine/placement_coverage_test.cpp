// The cells a sheet marks as inside its placed shapes: every point of a
// marked cell (and a little around it) must be inside the shape by the
// geometry library's own point test, or a position would be turned down
// that the free test lets through.

#include "engine/placement_context.hpp"
#include "engine/sheet_coverage.hpp"
#include "geometry/predicates.hpp"
#include "placement_jobs.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace plv {
namespace {

using detail::SheetCoverage;
using testing::draw;
using testing::draw_int;

struct CoverCount {
    int marked = 0;
    int wrong = 0;
};

// Checks every marked cell of the shape's box: its corners pushed outwards
// by a hair, its centre and a few random points.
CoverCount check_cells(const SheetCoverage& cover, const Polygon& shape, std::mt19937& g) {
    CoverCount n;
    const double c = cover.cell_size();
    const BoundingBox box = geom::polygon_bounds(shape);
    const double hair = 1e-6;
    for (double y = std::floor(box.min_y / c) * c; y < box.max_y; y += c) {
        for (double x = std::floor(box.min_x / c) * c; x < box.max_x; x += c) {
            if (x < 0 || y < 0 || !cover.covers(x + 0.5 * c, y + 0.5 * c)) continue;
            ++n.marked;
            const Point probes[] = {{x - hair, y - hair},
                                    {x + c + hair, y - hair},
                                    {x - hair, y + c + hair},
                                    {x + c + hair, y + c + hair},
                                    {x + 0.5 * c, y + 0.5 * c},
                                    {x + draw(g, 0, c), y + draw(g, 0, c)},
                                    {x + draw(g, 0, c), y + draw(g, 0, c)}};
            for (const Point& p : probes) {
                const bool inside = geom::point_in_polygon(p, shape) && box.min_x < p.x &&
                                    p.x < box.max_x && box.min_y < p.y && p.y < box.max_y;
                if (!inside) ++n.wrong;
            }
        }
    }
    return n;
}

TEST(SheetCoverage, MarkedCellsAreInsideRandomShapes) {
    int marked = 0;
    for (std::uint32_t seed = 1; seed <= 30; ++seed) {
        std::mt19937 g(seed);
        SheetCoverage cover;
        const double w = draw(g, 150, 3000);
        const double h = w * draw(g, 0.4, 1.0);
        for (int i = 0; i < 6; ++i) {
            cover.reset(w, h);
            const Part part = testing::random_part(g, draw(g, 20, 200), i, true);
            const Polygon shape = geom::translate_polygon(
                geom::rotate_polygon(part.shape, draw(g, 0, 360)), draw(g, 0, w * 0.3),
                draw(g, 0, w * 0.3));
            cover.add(detail::build_shape_geometry(shape));
            const CoverCount n = check_cells(cover, shape, g);
            EXPECT_EQ(n.wrong, 0) << "seed " << seed << " part " << i;
            marked += n.marked;
        }
    }
    EXPECT_GT(marked, 5000);
}

// Outlines where the point test's tolerances matter: nearly level edges
// whose crossing the test stretches far beyond the edge, level runs at a
// cell boundary, a hole whose box reaches outside the outer ring, spikes.
TEST(SheetCoverage, MarkedCellsAreInsideAwkwardShapes) {
    const double t = geom::kGeometryEps;
    const std::vector<Polygon> shapes = {
        // A falling edge of height about the tolerance, 400 mm wide.
        Polygon{{{10, 10}, {410, 10}, {410, 200}, {10, 200 + 1.2 * t}}, {}},
        Polygon{{{10, 10}, {410, 10 + 0.8 * t}, {410, 200}, {10, 200}}, {}},
        Polygon{{{10, 10}, {410, 10}, {410, 200}, {10, 200 - 3 * t}}, {}},
        // Level edges on cell boundaries, a zigzag top.
        Polygon{{{0, 0}, {100, 0}, {100, 40}, {80, 40}, {80, 20}, {60, 20}, {60, 40}, {40, 40},
                 {40, 20}, {20, 20}, {20, 40}, {0, 40}, {0, 0}},
                {}},
        // A hole sticking out of the outer ring, and one touching it.
        Polygon{{{0, 0}, {200, 0}, {200, 100}, {0, 100}},
                {{{150, 20}, {250, 20}, {250, 60}, {150, 60}}, {{20, 0}, {60, 0}, {60, 30}, {20, 30}}}},
        // A thin spike and a slit.
        Polygon{{{0, 0}, {300, 0}, {300, 100}, {151, 100}, {150, 2}, {149, 100}, {0, 100}}, {}},
        Polygon{{{0, 0}, {300, 0}, {300, 100}, {150.000001, 100}, {150.000001, 1}, {150, 1},
                 {150, 100}, {0, 100}},
                {}},
        // Edges a hair outside cell boundaries (cells are 0.5 here): the
        // cells they border keep their distance from the outline.
        Polygon{{{10 - 9e-7, 10 - 9e-7}, {20 + 9e-7, 10 - 9e-7}, {20 + 9e-7, 20 + 9e-7},
                 {10 - 9e-7, 20 + 9e-7}},
                {}},
        // Clockwise, and with the first point repeated within the tolerance.
        Polygon{{{0, 0}, {0, 120}, {90, 120}, {90, 0}, {0.00000005, 0}}, {}},
    };
    std::mt19937 g(7);
    int marked = 0;
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        for (const double dx : {0.0, 1.0 / 3.0}) {
            SheetCoverage cover;
            cover.reset(600, 300);
            const Polygon shape = geom::translate_polygon(shapes[i], dx, 2 * dx);
            cover.add(detail::build_shape_geometry(shape));
            const CoverCount n = check_cells(cover, shape, g);
            EXPECT_EQ(n.wrong, 0) << "shape " << i << " dx " << dx;
            marked += n.marked;
        }
    }
    EXPECT_GT(marked, 1000);
}

// A nearly level inner edge: within its thin y band the point test counts
// a crossing far beyond the edge, and the cells there must stay unmarked.
TEST(SheetCoverage, StretchedCrossingsOfNearlyLevelEdgesAreRespected) {
    const double t = geom::kGeometryEps;
    for (const double rise : {0.6 * t, 1.5 * t, 2.5 * t, 5 * t}) {
        for (const bool left : {true, false}) {
            Ring notch = {{0, 0}, {300, 0}, {300, 100}, {200, 100}, {200, 50},
                          {100, 50 + rise}, {100, 100}, {0, 100}};
            if (!left) {
                for (Point& p : notch) p.x = 300 - p.x;
                notch = Ring(notch.rbegin(), notch.rend());
            }
            const Polygon shape{notch, {}};
            SheetCoverage cover;
            cover.reset(300, 150);
            cover.add(detail::build_shape_geometry(shape));
            int wrong = 0;
            for (int k = -3; k <= 9; ++k) {
                const double y = 50 + k * rise / 6;
                for (double x = 0.25; x < 300; x += 0.5) {
                    if (cover.covers(x, y) && !geom::point_in_polygon(Point{x, y}, shape)) ++wrong;
                }
            }
            EXPECT_EQ(wrong, 0) << "rise " << rise << (left ? " left" : " right");
            EXPECT_TRUE(cover.covers(50, 20));
        }
    }
}

TEST(SheetCoverage, NothingIsMarkedOutsideTheSheetOrForOddInput) {
    SheetCoverage cover;
    cover.reset(100, 100);
    cover.add(detail::build_shape_geometry(testing::rectangle(50, 50)));
    EXPECT_TRUE(cover.covers(25, 25));
    EXPECT_FALSE(cover.covers(75, 25));
    EXPECT_FALSE(cover.covers(-1, 25));
    // Cells only partly inside are not marked.
    EXPECT_FALSE(cover.covers(50 - 0.1 * cover.cell_size(), 25));

    Polygon far = geom::translate_polygon(testing::rectangle(50, 50), 500, 500);
    cover.add(detail::build_shape_geometry(far));
    EXPECT_FALSE(cover.covers(525, 525));

    Polygon nan_shape = testing::rectangle(50, 50);
    nan_shape.outer[2].x = std::nan("");
    cover.reset(100, 100);
    cover.add(detail::build_shape_geometry(nan_shape));
    EXPECT_FALSE(cover.covers(25, 25));

    cover.reset(std::nan(""), 100);
    cover.add(detail::build_shape_geometry(testing::rectangle(50, 50)));
    EXPECT_FALSE(cover.covers(25, 25));
}

}  // namespace
}  // namespace plv
