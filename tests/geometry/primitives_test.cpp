#include "geometry/primitives.hpp"

#include "geometry_support.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using namespace geometry_test;

BoundingBox box(double x0, double y0, double x1, double y1) {
    BoundingBox b;
    b.min_x = x0;
    b.min_y = y0;
    b.max_x = x1;
    b.max_y = y1;
    return b;
}

void expect_same_bits(const Ring& a, const Ring& b) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].x, b[i].x) << "point " << i;
        EXPECT_EQ(a[i].y, b[i].y) << "point " << i;
        EXPECT_EQ(std::signbit(a[i].x), std::signbit(b[i].x)) << "point " << i;
        EXPECT_EQ(std::signbit(a[i].y), std::signbit(b[i].y)) << "point " << i;
    }
}

TEST(BoundingBox, EmptyBoxIsInfiniteAndOverlapsNothing) {
    const BoundingBox empty = geom::ring_bounds(Ring{});
    EXPECT_EQ(empty.min_x, kInf);
    EXPECT_EQ(empty.min_y, kInf);
    EXPECT_EQ(empty.max_x, -kInf);
    EXPECT_EQ(empty.max_y, -kInf);
    EXPECT_EQ(empty.width(), -kInf);
    EXPECT_EQ(empty.height(), -kInf);
    EXPECT_FALSE(empty.is_finite());

    const BoundingBox unit = box(0, 0, 1, 1);
    EXPECT_FALSE(empty.overlaps(unit, 0.0));
    EXPECT_FALSE(unit.overlaps(empty, 0.0));
    EXPECT_FALSE(empty.overlaps(empty, 1e9));
    EXPECT_FALSE(unit.overlaps(empty, 1e9));
}

TEST(BoundingBox, IsFinite) {
    EXPECT_TRUE(box(0, 0, 1, 1).is_finite());
    EXPECT_TRUE(box(-5, -5, -5, -5).is_finite());
    EXPECT_FALSE(box(0, 0, kInf, 1).is_finite());
    EXPECT_FALSE(box(0, kNaN, 1, 1).is_finite());
    EXPECT_FALSE(box(0, 0, 1, -kInf).is_finite());
}

TEST(BoundingBox, OverlapsIsStrictWithMarginAddedOnce) {
    struct Case {
        std::string name;
        BoundingBox a, b;
        double margin;
        bool expected;
    };
    const std::vector<Case> cases = {
        {"shared edge, no margin", box(0, 0, 1, 1), box(1, 0, 2, 1), 0.0, false},
        {"shared edge, small margin", box(0, 0, 1, 1), box(1, 0, 2, 1), 1e-3, true},
        {"shared top edge, no margin", box(0, 0, 1, 1), box(0, 1, 1, 2), 0.0, false},
        {"shared top edge, small margin", box(0, 0, 1, 1), box(0, 1, 1, 2), 1e-3, true},
        {"shared corner", box(0, 0, 1, 1), box(1, 1, 2, 2), 0.0, false},
        {"overlapping", box(0, 0, 2, 2), box(1, 1, 3, 3), 0.0, true},
        {"contained", box(0, 0, 10, 10), box(2, 2, 3, 3), 0.0, true},
        {"gap 4 with margin 5 (added once)", box(0, 0, 1, 1), box(5, 0, 6, 1), 5.0, true},
        {"gap 4 with margin 4 (touching)", box(0, 0, 1, 1), box(5, 0, 6, 1), 4.0, false},
        {"gap 8 with margin 5", box(0, 0, 1, 1), box(9, 0, 10, 1), 5.0, false},
        {"apart in y only", box(0, 0, 1, 1), box(0, 3, 1, 4), 1.0, false},
        {"NaN margin", box(0, 0, 2, 2), box(1, 1, 3, 3), kNaN, false},
        {"NaN in a", box(0, 0, kNaN, 2), box(1, 1, 3, 3), 0.0, false},
        {"NaN in b", box(0, 0, 2, 2), box(1, kNaN, 3, 3), 0.0, false},
        {"NaN in last bound", box(0, 0, 2, kNaN), box(1, 1, 3, 3), 0.0, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.a.overlaps(c.b, c.margin), c.expected) << c.name;
        EXPECT_EQ(c.b.overlaps(c.a, c.margin), c.expected) << c.name << " (swapped)";
    }
}

TEST(BoundingBox, UnionStartsFromTheEmptyBoxAndPassesOverNaN) {
    const BoundingBox empty;
    const struct {
        const char* name;
        BoundingBox box, other, expected;
    } cases[] = {
        {"empty and a box", empty, box(1, 2, 3, 4), box(1, 2, 3, 4)},
        {"a box and empty", box(1, 2, 3, 4), empty, box(1, 2, 3, 4)},
        {"apart", box(0, 0, 1, 1), box(5, -2, 6, 0.5), box(0, -2, 6, 1)},
        {"inside", box(0, 0, 10, 10), box(2, 2, 3, 3), box(0, 0, 10, 10)},
        {"NaN sides of the other", box(0, 0, 1, 1), box(kNaN, -1, kNaN, 2), box(0, -1, 1, 2)},
    };
    for (const auto& c : cases) {
        const BoundingBox u = geom::box_union(c.box, c.other);
        EXPECT_EQ(u.min_x, c.expected.min_x) << c.name;
        EXPECT_EQ(u.min_y, c.expected.min_y) << c.name;
        EXPECT_EQ(u.max_x, c.expected.max_x) << c.name;
        EXPECT_EQ(u.max_y, c.expected.max_y) << c.name;
    }
}

TEST(BoundingBox, TranslateMovesEverySide) {
    const BoundingBox moved = geom::translate_box(box(1, 2, 3, 5), 10, -20);
    EXPECT_EQ(moved.min_x, 11);
    EXPECT_EQ(moved.min_y, -18);
    EXPECT_EQ(moved.max_x, 13);
    EXPECT_EQ(moved.max_y, -15);
}

TEST(Bounds, SkipNaNCoordinates) {
    // A NaN first point would poison a std::min-style fold.
    const Ring ring = {{kNaN, 5}, {1, kNaN}, {3, 2}};
    const BoundingBox b = geom::ring_bounds(ring);
    EXPECT_EQ(b.min_x, 1);
    EXPECT_EQ(b.max_x, 3);
    EXPECT_EQ(b.min_y, 2);
    EXPECT_EQ(b.max_y, 5);

    const BoundingBox only_nan = geom::ring_bounds(Ring{{kNaN, kNaN}});
    EXPECT_EQ(only_nan.min_x, kInf);
    EXPECT_EQ(only_nan.max_y, -kInf);
}

TEST(Bounds, PolygonBoxIgnoresHoles) {
    const Polygon p{rect(0, 0, 10, 5), {rect(-20, -20, 40, 40)}};
    const BoundingBox b = geom::polygon_bounds(p);
    EXPECT_EQ(b.min_x, 0);
    EXPECT_EQ(b.min_y, 0);
    EXPECT_EQ(b.max_x, 10);
    EXPECT_EQ(b.max_y, 5);
    EXPECT_EQ(b.width(), 10);
    EXPECT_EQ(b.height(), 5);
}

TEST(PointDistance, Euclidean) {
    EXPECT_EQ(geom::point_distance({0, 0}, {3, 4}), 5.0);
    EXPECT_EQ(geom::point_distance({3, 4}, {0, 0}), 5.0);
    EXPECT_TRUE(std::isnan(geom::point_distance({kNaN, 0}, {0, 0})));
}

TEST(CloseRing, AppendsFirstPointUnlessWithinTolerance) {
    struct Case {
        std::string name;
        Ring ring;
        bool appended;
    };
    const std::vector<Case> cases = {
        {"empty", {}, false},
        {"one point", {{3, 4}}, false},
        {"two distinct points", {{0, 0}, {1, 0}}, true},
        {"open square", rect(0, 0, 1, 1), true},
        {"stored closed", {{0, 0}, {1, 0}, {1, 1}, {0, 0}}, false},
        {"last 1e-7 from first", {{0, 0}, {1, 0}, {1, 1}, {1e-7, 0}}, false},
        {"last 2e-7 from first", {{0, 0}, {1, 0}, {1, 1}, {2e-7, 0}}, true},
        {"NaN last point", {{0, 0}, {1, 0}, {kNaN, 1}}, true},
        {"NaN first point", {{kNaN, 0}, {1, 0}, {kNaN, 0}}, true},
    };
    for (const Case& c : cases) {
        const Ring closed = geom::close_ring(c.ring);
        ASSERT_EQ(closed.size(), c.ring.size() + (c.appended ? 1 : 0)) << c.name;
        for (std::size_t i = 0; i < c.ring.size(); ++i) {
            EXPECT_TRUE(closed[i].x == c.ring[i].x || std::isnan(c.ring[i].x)) << c.name;
            EXPECT_EQ(closed[i].y, c.ring[i].y) << c.name;
        }
        if (c.appended) {
            EXPECT_TRUE(closed.back().x == c.ring.front().x || std::isnan(c.ring.front().x))
                << c.name;
            EXPECT_EQ(closed.back().y, c.ring.front().y) << c.name;
        }
    }
}

TEST(Area, RingAreaOnClosedCopy) {
    struct Case {
        std::string name;
        Ring ring;
        double area;
    };
    const std::vector<Case> cases = {
        {"empty", {}, 0.0},
        {"one point", {{1, 1}}, 0.0},
        {"two points", {{0, 0}, {5, 3}}, 0.0},
        {"square stored open", rect(0, 0, 10, 10), 100.0},
        {"square stored closed", {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}}, 100.0},
        {"clockwise square", {{0, 0}, {0, 10}, {10, 10}, {10, 0}}, 100.0},
        {"offset unit square", {{1, 1}, {2, 1}, {2, 2}, {1, 2}}, 1.0},
        {"triangle", {{0, 0}, {4, 0}, {0, 3}}, 6.0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(geom::ring_area(c.ring), c.area) << c.name;
    }
}

TEST(Area, SignedAreaUsesStoredPointsOnly) {
    struct Case {
        std::string name;
        Ring ring;
        double area;
    };
    const std::vector<Case> cases = {
        {"two points", {{0, 0}, {5, 3}}, 0.0},
        // No closing edge: the open offset square does not give 1.
        {"offset square stored open", {{1, 1}, {2, 1}, {2, 2}, {1, 2}}, 1.5},
        {"counter-clockwise stored closed", {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}}, 1.0},
        {"clockwise stored closed", {{0, 0}, {0, 1}, {1, 1}, {1, 0}, {0, 0}}, -1.0},
        {"square at origin stored open", rect(0, 0, 10, 10), 100.0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(geom::signed_ring_area(c.ring), c.area) << c.name;
    }
}

TEST(Area, NetAreaFloorsAtZero) {
    EXPECT_EQ((Polygon{rect(0, 0, 10, 10), {}}).net_area(), 100.0);
    EXPECT_EQ((Polygon{rect(0, 0, 10, 10), {rect(1, 1, 3, 3), rect(5, 5, 8, 8)}}).net_area(),
              100.0 - 4.0 - 9.0);
    EXPECT_EQ((Polygon{rect(0, 0, 10, 10), {rect(0, 0, 8, 8), rect(0, 0, 8, 8)}}).net_area(), 0.0);
    EXPECT_EQ((Polygon{{{0, 0}, {kNaN, 0}, {1, 1}}, {}}).net_area(), 0.0);
    EXPECT_EQ((Polygon{}).net_area(), 0.0);
}

TEST(Transform, TranslateKeepsRingsAndOrder) {
    const Polygon p{{{0, 0}, {4, 0}, {4, 3}}, {{{1, 1}, {2, 1}, {2, 2}}, {{3, 1}, {3.5, 1}}}};
    const Polygon t = geom::translate_polygon(p, 10, -2);
    expect_same_bits(t.outer, {{10, -2}, {14, -2}, {14, 1}});
    ASSERT_EQ(t.holes.size(), 2u);
    expect_same_bits(t.holes[0], {{11, -1}, {12, -1}, {12, 0}});
    expect_same_bits(t.holes[1], {{13, -1}, {13.5, -1}});
}

TEST(Transform, NormalizeMovesOuterMinimumToOrigin) {
    const Polygon p{{{5, 7}, {kNaN, kNaN}, {9, 3}, {6, 10}}, {{{6, 5}, {7, 5}, {7, 6}}}};
    const Polygon n = geom::normalize_polygon(p);
    // The NaN point is passed over for the minimum but still moved.
    EXPECT_EQ(n.outer[0].x, 0);
    EXPECT_EQ(n.outer[0].y, 4);
    EXPECT_TRUE(std::isnan(n.outer[1].x));
    EXPECT_TRUE(std::isnan(n.outer[1].y));
    EXPECT_EQ(n.outer[2].x, 4);
    EXPECT_EQ(n.outer[2].y, 0);
    expect_same_bits(n.holes[0], {{1, 2}, {2, 2}, {2, 3}});
}

TEST(Transform, ScaleMultipliesWithoutNormalizing) {
    const Polygon p{rect(1, 2, 3, 4), {{{1.5, 2.5}, {2, 2.5}, {2, 3}}}};
    const Polygon s = geom::scale_polygon(p, 2.5);
    expect_same_bits(s.outer, rect(2.5, 5, 7.5, 10));
    ASSERT_EQ(s.holes.size(), 1u);
    expect_same_bits(s.holes[0], {{3.75, 6.25}, {5, 6.25}, {5, 7.5}});
}

TEST(Rotate, RingRotatesCounterClockwiseAboutOrigin) {
    const Ring r = geom::rotate_ring({{1, 0}, {0, 2}}, 90);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_NEAR(r[0].x, 0.0, 1e-15);
    EXPECT_EQ(r[0].y, 1.0);
    EXPECT_EQ(r[1].x, -2.0);
    EXPECT_NEAR(r[1].y, 0.0, 1e-15);

    // The angle goes through the same conversion and libm calls.
    const double rad = (30.0 * 3.141592653589793) / 180.0;
    const Ring r30 = geom::rotate_ring({{3, 4}}, 30);
    EXPECT_EQ(r30[0].x, 3 * std::cos(rad) - 4 * std::sin(rad));
    EXPECT_EQ(r30[0].y, 3 * std::sin(rad) + 4 * std::cos(rad));
}

TEST(Rotate, ZeroDegreesKeepsCoordinatesAndMakesZeroPositive) {
    const Ring r = geom::rotate_ring({{-0.0, 5}, {3.25, -0.0}, {-7.5, -1e-300}}, 0);
    expect_same_bits(r, {{0.0, 5}, {3.25, 0.0}, {-7.5, -1e-300}});
    EXPECT_FALSE(std::signbit(r[0].x));
    EXPECT_FALSE(std::signbit(r[1].y));
}

TEST(Rotate, PolygonIsNormalisedByRotatedOuterRing) {
    const Polygon p{rect(0, 0, 100, 50), {rect(10, 10, 20, 20)}};
    const Polygon r = geom::rotate_polygon(p, 90);
    const BoundingBox b = geom::polygon_bounds(r);
    EXPECT_EQ(b.min_x, 0.0);
    EXPECT_EQ(b.min_y, 0.0);
    EXPECT_NEAR(b.width(), 50.0, 1e-9);
    EXPECT_NEAR(b.height(), 100.0, 1e-9);
    // The hole follows the outer ring: (10,10)-(20,20) turns to
    // (-20,10)-(-10,20), then moves right by 50.
    const BoundingBox hb = geom::ring_bounds(r.holes[0]);
    EXPECT_NEAR(hb.min_x, 30.0, 1e-9);
    EXPECT_NEAR(hb.max_x, 40.0, 1e-9);
    EXPECT_NEAR(hb.min_y, 10.0, 1e-9);
    EXPECT_NEAR(hb.max_y, 20.0, 1e-9);

    // Exactly a rotation then the translation by the rotated outer minimum.
    const Ring ro = geom::rotate_ring(p.outer, 90);
    const Ring rh = geom::rotate_ring(p.holes[0], 90);
    const BoundingBox rb = geom::ring_bounds(ro);
    const Polygon expected =
        geom::translate_polygon(Polygon{ro, {rh}}, -rb.min_x, -rb.min_y);
    expect_same_bits(r.outer, expected.outer);
    expect_same_bits(r.holes[0], expected.holes[0]);
}

TEST(Rotate, PolygonByZeroIsUnchangedWhenNormalised) {
    const Polygon p{{{0, 0}, {-0.0, 3}, {2, 1}}, {}};
    const Polygon r = geom::rotate_polygon(p, 0);
    expect_same_bits(r.outer, {{0, 0}, {0, 3}, {2, 1}});
}

}  // namespace
