#include "engine/placement_context.hpp"
#include "engine/positions.hpp"
#include "placement_jobs.hpp"
#include "placement_reference.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

namespace {

using plv::Placement;
using plv::Point;
using plv::Polygon;
using plv::testing::placed_at;
using plv::testing::rectangle;

std::vector<double> distinct_x(const std::vector<Point>& ps) {
    std::set<double> xs;
    for (const Point& p : ps) xs.insert(p.x);
    return {xs.begin(), xs.end()};
}

TEST(CandidatePositions, EmptySheetGivesTheOrigin) {
    for (const bool extra : {false, true}) {
        const std::vector<Point> ps = plv::candidate_positions({}, rectangle(10, 20), 5.0, extra);
        ASSERT_EQ(ps.size(), 1u);
        EXPECT_EQ(ps[0].x, 0.0);
        EXPECT_EQ(ps[0].y, 0.0);
    }
}

TEST(CandidatePositions, OnePlacedBoxGivesFourGridPositions) {
    const std::vector<Placement> placed{placed_at(rectangle(100, 50), 0, 0)};
    const std::vector<Point> ps = plv::candidate_positions(placed, rectangle(10, 10), 5.0, false);
    const std::vector<Point> want{{0, 0}, {105, 0}, {0, 55}, {105, 55}};
    ASSERT_EQ(ps.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(ps[i].x, want[i].x);
        EXPECT_EQ(ps[i].y, want[i].y);
    }
}

TEST(CandidatePositions, CoordinatesWithinTheToleranceMerge) {
    // Boxes starting at 10.0000004 and 10.0000009 merge into the first (and
    // so do their right sides); 20.0 and 20.0000015 stay apart.
    const Polygon unit = rectangle(1, 1);
    const std::vector<Placement> placed{placed_at(unit, 10.0000004, 0), placed_at(unit, 10.0000009, 0),
                                        placed_at(unit, 20.0, 0), placed_at(unit, 20.0000015, 0)};
    const std::vector<double> xs = distinct_x(plv::candidate_positions(placed, unit, 0.0, false));
    EXPECT_EQ(xs, (std::vector<double>{0.0, 10.0000004, 11.0000004, 20.0, 20.0000015, 21.0,
                                       21.0000015}));
}

TEST(CandidatePositions, LongCoordinateListsAreThinned) {
    // Unit squares at x = 10 i give the values 0, 1, 10, 11, ...: with i from
    // 1 to 50 that is 101 values, thinned to 100; from 0 to 50, 102 values
    // thinned to 101.
    struct Case {
        int first;
        std::size_t distinct;
        std::size_t kept;
    };
    for (const Case c : {Case{1, 101, 100}, Case{0, 102, 101}}) {
        std::vector<Placement> placed;
        std::vector<double> all{0.0};
        for (int i = c.first; i <= 50; ++i) {
            placed.push_back(placed_at(rectangle(1, 1), 10.0 * i, 0));
            if (i > 0) all.push_back(10.0 * i);
            all.push_back(10.0 * i + 1);
        }
        std::sort(all.begin(), all.end());
        ASSERT_EQ(all.size(), c.distinct);
        const std::vector<double> xs =
            distinct_x(plv::candidate_positions(placed, rectangle(1, 1), 0.0, false));
        ASSERT_EQ(xs.size(), c.kept);
        double s = 0.0;
        for (std::size_t k = 0; k < c.kept; ++k, s += c.distinct / 100.0) {
            EXPECT_EQ(xs[k], all[static_cast<std::size_t>(s)]) << k;
        }
    }
}

TEST(CandidatePositions, ExtraPositionsStayOnTheSheetAndWithinTheCaps) {
    std::mt19937 g(7);
    std::vector<Placement> placed;
    for (int i = 0; i < 60; ++i) {
        const plv::Part part = plv::testing::random_part(g, 40, i, true);
        placed.push_back(placed_at(part.shape, 50.0 * (i % 10), 50.0 * (i / 10)));
    }
    const Polygon shape = plv::testing::random_part(g, 40, 99, true).shape;
    const std::vector<Point> grid = plv::candidate_positions(placed, shape, 5.0, false);
    EXPECT_LE(grid.size(), 2000u);
    const std::vector<Point> all = plv::candidate_positions(placed, shape, 5.0, true);
    EXPECT_EQ(all.size(), 5000u);
    for (const Point& p : all) {
        EXPECT_GE(p.x, -1e-6);
        EXPECT_GE(p.y, -1e-6);
    }
    for (std::size_t i = 1; i < all.size(); ++i) {
        EXPECT_FALSE(all[i].y < all[i - 1].y - 1e-6) << i;
    }
}

TEST(CandidatePositions, OnlyHolesLargeEnoughContributePositions) {
    // A 100 x 100 frame with an 80 x 80 hole; a 60 x 60 square fits with
    // spacing 5, a 75 x 75 one does not.
    Polygon frame = rectangle(100, 100);
    frame.holes.push_back(plv::testing::rectangle_ring(10, 10, 80, 80));
    const std::vector<Placement> placed{placed_at(frame, 0, 0)};
    const auto inside_hole = [](const std::vector<Point>& ps, double size) {
        std::size_t n = 0;
        for (const Point& p : ps) {
            if (p.x >= 15 - 1e-9 && p.y >= 15 - 1e-9 && p.x + size <= 85 + 1e-9 &&
                p.y + size <= 85 + 1e-9) {
                ++n;
            }
        }
        return n;
    };
    const std::vector<Point> small = plv::candidate_positions(placed, rectangle(60, 60), 5.0, true);
    EXPECT_GT(inside_hole(small, 60), 0u);
    EXPECT_LE(small.size(), 4 + 2 + 81 + 16 + 96 + 12 * 12 * 4);
    const std::vector<Point> big = plv::candidate_positions(placed, rectangle(75, 75), 5.0, true);
    EXPECT_EQ(inside_hole(big, 75), 0u);
}

TEST(CandidatePositions, EqualTheLinearScanOnDenseSheets) {
    for (std::uint32_t seed = 1; seed <= 24; ++seed) {
        std::mt19937 g(seed);
        std::vector<Placement> placed;
        const int n = plv::testing::draw_int(g, 1, 30);
        // Near-duplicate coordinates on purpose: positions on a coarse grid
        // shifted by less than the tolerance; in half the cases the grid is
        // one of odd steps and offsets (where any hashing by cells of the
        // coordinates has its cell edges).
        const bool odd = seed % 2 == 0;
        const double step = odd ? 1.0 / 64 : 5.0;
        const double offset = odd ? -0.00137 : 0.0;
        for (int i = 0; i < n; ++i) {
            const plv::Part part = plv::testing::random_part(g, plv::testing::draw(g, 10, 80), i, true);
            const double jitter = plv::testing::draw(g, -1.5e-6, 1.5e-6);
            const int scale = odd ? 320 * 64 / 60 : 1;
            placed.push_back(placed_at(part.shape,
                                       step * plv::testing::draw_int(g, 0, 60 * scale) + offset + jitter,
                                       step * plv::testing::draw_int(g, 0, 40 * scale) + offset - jitter));
        }
        const Polygon shape = plv::testing::random_part(g, plv::testing::draw(g, 5, 60), 99, true).shape;
        for (const double spacing : {0.0, 5.0}) {
            for (const bool extra : {false, true}) {
                const std::vector<Point> fast = plv::candidate_positions(placed, shape, spacing, extra);
                const std::vector<Point> ref =
                    plv::reference::candidate_positions(placed, shape, spacing, extra);
                ASSERT_EQ(fast.size(), ref.size()) << seed;
                for (std::size_t i = 0; i < ref.size(); ++i) {
                    ASSERT_EQ(fast[i].x, ref[i].x) << seed << " " << i;
                    ASSERT_EQ(fast[i].y, ref[i].y) << seed << " " << i;
                }
            }
        }
    }
}

// A spacing that is not a number leaves the sorted coordinate lists out of
// order (and makes every extra position a non-number).
TEST(CandidatePositions, EqualTheLinearScanWhenTheListsAreOutOfOrder) {
    std::mt19937 g(5);
    std::vector<Placement> placed;
    for (int i = 0; i < 25; ++i) {
        placed.push_back(placed_at(rectangle(plv::testing::draw(g, 5, 40), plv::testing::draw(g, 5, 40)),
                                   plv::testing::draw(g, 0, 300), plv::testing::draw(g, 0, 200)));
    }
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const bool extra : {false, true}) {
        const std::vector<Point> fast = plv::candidate_positions(placed, rectangle(7, 9), nan, extra);
        const std::vector<Point> ref = plv::reference::candidate_positions(placed, rectangle(7, 9), nan, extra);
        ASSERT_EQ(fast.size(), ref.size());
        for (std::size_t i = 0; i < ref.size(); ++i) {
            ASSERT_EQ(fast[i].x, ref[i].x) << i;
            ASSERT_EQ(fast[i].y, ref[i].y) << i;
        }
    }
}

// The duplicate set against the linear scan's relation, for points a hair
// inside and outside the tolerance on each axis, around densely spaced
// coordinates (so wherever the set's own cells have their edges).
TEST(PositionSet, FindsExactlyThePositionsWithinTheTolerance) {
    plv::detail::PositionSet set;
    std::vector<Point> points;
    const double deltas[] = {0.0, 0.99e-6, -0.99e-6, 1e-6, -1e-6, 1.01e-6, -1.01e-6, 3e-6};
    int mismatches = 0;
    for (int i = 0; i < 20000; ++i) {
        const Point p{100.0 + i * 0.7e-6, 2999.5 - i * 0.3e-6};
        for (const double dx : deltas) {
            for (const double dy : {0.0, 0.99e-6, -1.01e-6}) {
                points.assign(1, p);
                set.start_grid(&points);
                set.insert(0);
                set.start_extras();
                const Point q{p.x + dx, p.y + dy};
                const bool near = std::fabs(p.x - q.x) <= 1e-6 && std::fabs(p.y - q.y) <= 1e-6;
                if (set.add_if_new(q.x, q.y, 1) == near) ++mismatches;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(SampleRingPoints, StridesEvenly) {
    plv::Ring ring;
    for (int i = 0; i < 25; ++i) ring.push_back({double(i), 0});
    EXPECT_EQ(plv::sample_ring_points(ring, 30).size(), 25u);
    const std::vector<Point> s = plv::sample_ring_points(ring, 12);  // step 2
    ASSERT_EQ(s.size(), 12u);
    for (std::size_t i = 0; i < s.size(); ++i) EXPECT_EQ(s[i].x, 2.0 * i);
    const std::vector<Point> t = plv::sample_ring_points(ring, 8);  // step 3
    ASSERT_EQ(t.size(), 8u);
    EXPECT_EQ(t.back().x, 21.0);
}

TEST(FreeTest, BoxesThatOnlyTouchAreFreeAtSpacingZero) {
    const std::vector<Placement> placed{placed_at(rectangle(10, 10), 0, 0)};
    EXPECT_TRUE(plv::is_position_free(geom::translate_polygon(rectangle(10, 10), 10, 0), placed, 0.0));
    EXPECT_TRUE(plv::is_position_free(geom::translate_polygon(rectangle(10, 10), 10, 10), placed, 0.0));
    EXPECT_FALSE(plv::is_position_free(geom::translate_polygon(rectangle(10, 10), 9.5, 0), placed, 0.0));
}

TEST(FreeTest, OutlinesTouchingInsideOverlappingBoxesConflict) {
    // Two squares turned by 45 degrees sharing part of one diagonal edge.
    const Polygon a{plv::testing::closed({{0, 10}, {10, 0}, {20, 10}, {10, 20}}), {}};
    const Polygon b = geom::translate_polygon(a, 10, 10);
    EXPECT_FALSE(plv::is_position_free(b, {placed_at(a, 0, 0)}, 0.0));
    EXPECT_FALSE(plv::is_position_free(geom::translate_polygon(a, 5, 5), {placed_at(a, 0, 0)}, 0.0));
    EXPECT_TRUE(plv::is_position_free(geom::translate_polygon(a, 10.5, 10.5), {placed_at(a, 0, 0)}, 0.0));
}

TEST(FreeTest, SpacingThresholdHasTheTolerance) {
    const std::vector<Placement> placed{placed_at(rectangle(10, 10), 0, 0)};
    struct Case {
        double gap;
        bool free;
    };
    for (const Case c : {Case{4.9999995, true}, Case{4.999998, false}, Case{5.0, true},
                         Case{3.0, false}}) {
        const Polygon moved = geom::translate_polygon(rectangle(10, 10), 10 + c.gap, 0);
        EXPECT_EQ(plv::is_position_free(moved, placed, 5.0), c.free) << c.gap;
        EXPECT_EQ(plv::reference::is_position_free(moved, placed, 5.0), c.free) << c.gap;
    }
}

TEST(FreeTest, HolesAndContainment) {
    Polygon frame = rectangle(100, 100);
    frame.holes.push_back(plv::testing::rectangle_ring(10, 10, 80, 80));
    const std::vector<Placement> placed{placed_at(frame, 0, 0)};
    // In the hole, clear of its edges by the spacing.
    EXPECT_TRUE(plv::is_position_free(geom::translate_polygon(rectangle(60, 60), 15, 15), placed, 5.0));
    EXPECT_FALSE(plv::is_position_free(geom::translate_polygon(rectangle(60, 60), 14, 15), placed, 5.0));
    EXPECT_TRUE(plv::is_position_free(geom::translate_polygon(rectangle(60, 60), 11, 15), placed, 0.0));
    // Wholly inside the solid frame: no outlines cross, still a conflict.
    EXPECT_FALSE(plv::is_position_free(geom::translate_polygon(rectangle(4, 4), 3, 3), placed, 0.0));
    EXPECT_FALSE(plv::is_position_free(geom::translate_polygon(rectangle(4, 4), 3, 3), placed, 5.0));
    // A shape around the whole frame.
    EXPECT_FALSE(plv::is_position_free(geom::translate_polygon(rectangle(300, 300), -100, -100),
                                       placed, 0.0));
}

TEST(SpacingAudit, FindsOverlapsAndNearPairsOnOneSheetOnly) {
    plv::NestingResult r;
    r.placements = {placed_at(rectangle(10, 10), 0, 0, 0), placed_at(rectangle(10, 10), 5, 5, 0),
                    placed_at(rectangle(10, 10), 0, 0, 1), placed_at(rectangle(10, 10), 13, 0, 1),
                    placed_at(rectangle(10, 10), 40, 0, 1)};
    const std::vector<plv::SpacingViolation> v = plv::find_spacing_violations(r, 5.0);
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(v[0].first, 0u);
    EXPECT_EQ(v[0].second, 1u);
    EXPECT_TRUE(v[0].overlap);
    EXPECT_EQ(v[0].distance, 0.0);
    EXPECT_EQ(v[1].first, 2u);
    EXPECT_EQ(v[1].second, 3u);
    EXPECT_FALSE(v[1].overlap);
    EXPECT_DOUBLE_EQ(v[1].distance, 3.0);
    // At spacing 0 only the overlap remains.
    EXPECT_EQ(plv::find_spacing_violations(r, 0.0).size(), 1u);
}

}  // namespace
