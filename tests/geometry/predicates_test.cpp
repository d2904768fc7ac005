#include "geometry/predicates.hpp"

#include "geometry_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace geometry_test;

Ring closed(Ring r) { return geom::close_ring(std::move(r)); }

// ---------------------------------------------------------------- points

TEST(PointInRing, Table) {
    struct Case {
        std::string name;
        Point p;
        Ring ring;
        bool expected;
    };
    const Ring sq = rect(0, 0, 10, 10);
    const Ring unit = rect(0, 0, 1, 1);
    const std::vector<Case> cases = {
        {"empty ring", {0, 0}, {}, false},
        {"one-point ring, same point", {2, 3}, {{2, 3}}, true},
        {"one-point ring, within 1e-7 in x and y", {2 + 5e-8, 3 - 5e-8}, {{2, 3}}, true},
        {"one-point ring, 2e-7 off in x", {2 + 2e-7, 3}, {{2, 3}}, false},
        {"one-point ring, 2e-7 off in y", {2, 3 + 2e-7}, {{2, 3}}, false},
        {"inside", {5, 5}, sq, true},
        {"outside right", {11, 5}, sq, false},
        {"outside above", {5, 10.5}, sq, false},
        {"on bottom edge", {5, 0}, sq, true},
        {"on right edge", {10, 3}, sq, true},
        {"on first vertex", {0, 0}, sq, true},
        {"on last vertex", {0, 10}, sq, true},
        {"just off a unit edge, within tolerance", {1 + 5e-8, 0.5}, unit, true},
        {"just off a unit edge, beyond tolerance", {1 + 1e-6, 0.5}, unit, false},
        {"inside, ring stored closed", {5, 5}, closed(sq), true},
        {"outside, ring stored closed", {-1, 5}, closed(sq), false},
        {"inside the notch of an L is outside",
         {15, 15},
         {{0, 0}, {20, 0}, {20, 10}, {10, 10}, {10, 20}, {0, 20}},
         false},
        {"inside the foot of an L",
         {15, 5},
         {{0, 0}, {20, 0}, {20, 10}, {10, 10}, {10, 20}, {0, 20}},
         true},
        {"inside a clockwise triangle", {1, 1}, {{0, 0}, {0, 4}, {4, 0}}, true},
        {"NaN point", {kNaN, 5}, sq, false},
        // The tolerance in the crossing's denominator: a top edge falling
        // 2e-7 over 1000 mm counts its crossing twice as far out, at x = 2000,
        // on its lowest row; a bottom edge rising 2e-7 only two thirds as
        // far, so a point above the edge but beyond that is outside.
        {"far crossing of a nearly level top edge",
         {1500, 100},
         {{0, 0}, {1000, 0}, {1000, 100}, {0, 100 + 2e-7}},
         true},
        {"short crossing of a nearly level bottom edge",
         {400, 1e-7},
         {{0, 0}, {0, 100}, {1000, 100}, {1000, 2e-7}},
         false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(geom::point_in_ring(c.p, c.ring), c.expected) << c.name;
    }
}

TEST(PointInPolygon, HoleOutlineIsOutsideOuterOutlineInside) {
    const Polygon frame{rect(0, 0, 30, 30), {rect(10, 10, 20, 20)}};
    struct Case {
        std::string name;
        Point p;
        bool expected;
    };
    const std::vector<Case> cases = {
        {"in the material", {5, 5}, true},
        {"on the outer edge", {0, 15}, true},
        {"on an outer vertex", {30, 30}, true},
        {"on a hole edge", {15, 10}, false},
        {"on a hole vertex", {20, 20}, false},
        {"within tolerance of a hole edge", {15, 10 - 5e-9}, false},
        {"inside the hole", {15, 15}, false},
        {"outside", {31, 15}, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(geom::point_in_polygon(c.p, frame), c.expected) << c.name;
    }
}

TEST(PointInPolygon, EmptyHoleAndSecondHole) {
    const Polygon p{rect(0, 0, 30, 30), {Ring{}, rect(10, 10, 20, 20)}};
    EXPECT_TRUE(geom::point_in_polygon({5, 5}, p));
    EXPECT_FALSE(geom::point_in_polygon({15, 15}, p));
    EXPECT_FALSE(geom::point_in_polygon({5, 5}, Polygon{}));
}

// -------------------------------------------------------------- segments

TEST(SegmentsIntersect, Table) {
    struct Case {
        std::string name;
        Point p1, p2, q1, q2;
        bool expected;
    };
    const std::vector<Case> cases = {
        {"proper crossing", {0, 0}, {10, 10}, {0, 10}, {10, 0}, true},
        {"apart", {0, 0}, {1, 0}, {0, 1}, {1, 1}, false},
        {"shared endpoint", {0, 0}, {5, 5}, {5, 5}, {10, 0}, true},
        {"T junction", {0, 0}, {10, 0}, {5, 0}, {5, 5}, true},
        {"collinear overlapping", {0, 0}, {10, 0}, {5, 0}, {15, 0}, true},
        {"collinear, one inside the other", {0, 0}, {10, 0}, {2, 0}, {3, 0}, true},
        {"collinear touching at the ends", {0, 0}, {10, 0}, {10, 0}, {20, 0}, true},
        {"collinear apart by 1e-6", {0, 0}, {10, 0}, {10 + 1e-6, 0}, {20, 0}, false},
        {"collinear apart", {0, 0}, {10, 0}, {11, 0}, {20, 0}, false},
        {"parallel 1e-6 apart", {0, 0}, {1, 0}, {0, 1e-6}, {1, 1e-6}, false},
        {"endpoint 5e-8 off the other segment", {0, 0}, {1, 0}, {0.5, 5e-8}, {0.5, 1}, true},
        {"endpoint 2e-7 off the other segment", {0, 0}, {1, 0}, {0.5, 2e-7}, {0.5, 1}, false},
        {"near the line but past the end", {0, 0}, {1, 0}, {1 + 2e-7, 0}, {2, 1}, false},
        {"near the line, within the widened box", {0, 0}, {1, 0}, {1 + 5e-8, 0}, {2, 1}, true},
        {"degenerate segment on the other", {0, 0}, {10, 0}, {4, 0}, {4, 0}, true},
        {"degenerate segment off the other", {0, 0}, {10, 0}, {4, 1}, {4, 1}, false},
        {"NaN segment", {kNaN, kNaN}, {kNaN, kNaN}, {0, 0}, {1, 1}, false},
        {"NaN endpoint far away", {kNaN, 0}, {kNaN, 0}, {100, 100}, {101, 100}, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(geom::segments_intersect(c.p1, c.p2, c.q1, c.q2), c.expected) << c.name;
        EXPECT_EQ(geom::segments_intersect(c.q1, c.q2, c.p1, c.p2), c.expected)
            << c.name << " (segments swapped)";
        EXPECT_EQ(geom::segments_intersect(c.p2, c.p1, c.q2, c.q1), c.expected)
            << c.name << " (both reversed)";
    }
}

TEST(SegmentDistance, PointToSegmentAndSegmentPairs) {
    // Projection onto the interior, clamping at either end.
    EXPECT_EQ(geom::point_segment_distance({5, 3}, {0, 0}, {10, 0}), 3.0);
    EXPECT_EQ(geom::point_segment_distance({-3, 4}, {0, 0}, {10, 0}), 5.0);
    EXPECT_EQ(geom::point_segment_distance({13, 4}, {0, 0}, {10, 0}), 5.0);
    // Squared length 1e-8 <= 1e-7: the segment counts as its first point.
    EXPECT_EQ(geom::point_segment_distance({3, 4}, {0, 0}, {1e-4, 0}), 5.0);
    EXPECT_EQ(geom::point_segment_distance({3, 4}, {1e-4, 0}, {0, 0}),
              geom::point_distance({3, 4}, {1e-4, 0}));

    EXPECT_EQ(geom::segment_distance({0, 0}, {10, 10}, {0, 10}, {10, 0}), 0.0);
    EXPECT_EQ(geom::segment_distance({0, 0}, {10, 0}, {3, 2}, {7, 5}), 2.0);
    EXPECT_EQ(geom::segment_distance({10, -1}, {10, 0}, {14, 3}, {24, 3}), 5.0);
}

// -------------------------------------------------------------- polygons

TEST(PolygonRings, OuterFirstThenHolesInOrder) {
    const Polygon p{rect(0, 0, 10, 10), {rect(1, 1, 2, 2), rect(3, 3, 4, 4)}};
    const std::vector<const Ring*> rings = geom::polygon_rings(p);
    ASSERT_EQ(rings.size(), 3u);
    EXPECT_EQ(rings[0], &p.outer);
    EXPECT_EQ(rings[1], &p.holes[0]);
    EXPECT_EQ(rings[2], &p.holes[1]);
    EXPECT_EQ(geom::polygon_rings(Polygon{}).size(), 1u);
}

struct PairCase {
    std::string name;
    Polygon a, b;
    bool intersect;
    double distance;  // NaN: not checked
};

Ring diamond(double cx, double cy, double r) {
    return {{cx, cy - r}, {cx + r, cy}, {cx, cy + r}, {cx - r, cy}};
}

std::vector<PairCase> pair_cases() {
    const Ring l_shape = {{0, 0}, {20, 0}, {20, 10}, {10, 10}, {10, 20}, {0, 20}};
    const Polygon frame{rect(0, 0, 30, 30), {rect(5, 5, 25, 25)}};
    return {
        {"squares sharing an edge (boxes touch)",
         {rect(0, 0, 10, 10), {}}, {rect(10, 0, 20, 10), {}}, false, 0.0},
        {"squares sharing a corner (boxes touch)",
         {rect(0, 0, 10, 10), {}}, {rect(10, 10, 20, 20), {}}, false, 0.0},
        // Both turned by 45 degrees; the shared edge runs (5,0)-(10,5).
        {"turned squares touching along an edge",
         {diamond(5, 5, 5), {}}, {diamond(10, 0, 5), {}}, true, 0.0},
        {"triangle tip on a square's top edge (boxes touch)",
         {rect(0, 0, 10, 10), {}}, {{{5, 10}, {8, 15}, {2, 15}}, {}}, false, 0.0},
        // Collinear touching edges whose edge boxes are flat, so only the
        // vertex-on-outline test sees the contact.
        {"square in the notch of an L",
         {l_shape, {}}, {rect(10, 10, 20, 20), {}}, true, 0.0},
        {"overlapping squares", {rect(0, 0, 10, 10), {}}, {rect(5, 5, 15, 15), {}}, true, 0.0},
        {"square wholly inside another",
         {rect(0, 0, 10, 10), {}}, {rect(2, 2, 4, 4), {}}, true, 0.0},
        {"crossing bars with no vertex inside the other",
         {rect(0, 4, 10, 6), {}}, {rect(4, 0, 6, 10), {}}, true, 0.0},
        {"square in a hole, clear", frame, {rect(10, 12, 20, 20), {}}, false, 5.0},
        // Lying on a hole's outline counts as outside the polygon, and the
        // flat edge boxes skip the shared edge: touching, yet not intersecting.
        {"square in a hole, lying along the hole edge",
         frame, {rect(5, 10, 10, 20), {}}, false, 0.0},
        {"square in a hole, corner poking through the hole edge",
         frame, {rect(4, 10, 10, 20), {}}, true, 0.0},
        {"rectangles apart diagonally",
         {rect(0, -1, 10, 0), {}}, {rect(14, 3, 24, 4), {}}, false, 5.0},
        {"squares apart horizontally",
         {rect(0, 0, 10, 10), {}}, {rect(13, 2, 20, 8), {}}, false, 3.0},
        {"triangle tip above a square",
         {rect(0, 0, 10, 10), {}}, {{{5, 12}, {8, 15}, {2, 15}}, {}}, false, 2.0},
        {"single-point rings", {{{0, 0}}, {}}, {{{5, 5}}, {}}, false, kInf},
        {"single-point ring against a square",
         {{{20, 20}}, {}}, {rect(0, 0, 10, 10), {}}, false, kInf},
        {"empty polygons", {}, {}, false, kInf},
        {"empty against a square", {}, {rect(0, 0, 10, 10), {}}, false, kInf},
    };
}

TEST(PolygonPairs, IntersectAndDistance) {
    for (const PairCase& c : pair_cases()) {
        EXPECT_EQ(geom::polygons_intersect(c.a, c.b), c.intersect) << c.name;
        EXPECT_EQ(geom::polygons_intersect(c.b, c.a), c.intersect) << c.name << " (swapped)";
        if (!std::isnan(c.distance)) {
            EXPECT_EQ(geom::polygon_distance(c.a, c.b), c.distance) << c.name;
            EXPECT_EQ(geom::polygon_distance(c.b, c.a), c.distance) << c.name << " (swapped)";
        }
        // Stored closed or open makes no difference.
        Polygon ca{closed(c.a.outer), {}};
        for (const Ring& h : c.a.holes) ca.holes.push_back(closed(h));
        EXPECT_EQ(geom::polygons_intersect(ca, c.b), c.intersect) << c.name << " (closed)";
    }
}

TEST(AnyOutlinePointInside, SamplesVerticesAndMidpointsOfOuterRingOnly) {
    // No vertex of the thin bar lies in the square, but its bottom edge's
    // midpoint does.
    const Polygon bar{rect(0, 0, 10, 1), {}};
    const Polygon square{rect(4, -1, 6, 0.5), {}};
    EXPECT_TRUE(geom::any_outline_point_inside(bar, square));

    // The hole's vertex (10,10) lies in the small square, the outer ring
    // does not touch it: holes are not sampled.
    const Polygon frame{rect(0, 0, 30, 30), {rect(10, 10, 20, 20)}};
    const Polygon small{rect(9, 9, 11, 11), {}};
    EXPECT_FALSE(geom::any_outline_point_inside(frame, small));
    EXPECT_TRUE(geom::any_outline_point_inside(small, frame));

    EXPECT_FALSE(geom::any_outline_point_inside(Polygon{}, square));
    EXPECT_FALSE(geom::any_outline_point_inside(Polygon{{{5, 0}}, {}}, square));
}

// Minimum over every edge pair, with no pruning: the pruned search must give
// the same bits.
double brute_distance(const Polygon& a, const Polygon& b) {
    if (geom::polygons_intersect(a, b)) return 0.0;
    double best = kInf;
    for (const Ring* ra : geom::polygon_rings(a)) {
        const Ring ca = geom::close_ring(*ra);
        for (const Ring* rb : geom::polygon_rings(b)) {
            const Ring cb = geom::close_ring(*rb);
            for (std::size_t i = 1; i < ca.size(); ++i)
                for (std::size_t j = 1; j < cb.size(); ++j)
                    best = std::min(best, geom::segment_distance(ca[i - 1], ca[i], cb[j - 1], cb[j]));
        }
    }
    return best;
}

Ring random_star(std::mt19937& g, double cx, double cy, double r, int n) {
    std::uniform_real_distribution<double> radius(0.3 * r, r);
    Ring ring;
    for (int k = 0; k < n; ++k) {
        const double t = 2 * 3.141592653589793 * k / n;
        const double rr = radius(g);
        ring.push_back({cx + rr * std::cos(t), cy + rr * std::sin(t)});
    }
    return ring;
}

TEST(PolygonDistance, PruningMatchesFullSearch) {
    std::mt19937 g(7);
    std::uniform_real_distribution<double> pos(-40, 40);
    int measured = 0;
    for (int trial = 0; trial < 300; ++trial) {
        Polygon a{random_star(g, 0, 0, 20, 12), {random_star(g, 0, 0, 5, 6)}};
        Polygon b{random_star(g, pos(g), pos(g), 10, 9), {}};
        const double d = geom::polygon_distance(a, b);
        EXPECT_EQ(d, brute_distance(a, b)) << "trial " << trial;
        EXPECT_EQ(geom::polygon_distance(b, a), brute_distance(b, a)) << "trial " << trial;
        if (d > 0) ++measured;
    }
    EXPECT_GT(measured, 50);
}

}  // namespace
