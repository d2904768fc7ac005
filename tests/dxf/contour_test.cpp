#include "dxf/contour.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

using geom::Point;
using geom::Ring;

// The cleanup as the rule is written: restart from the front after every
// removal.
Ring reference_clean(const Ring& input) {
    Ring p = geom::close_ring(input);
    const double eps = 1e-7;
    while (p.size() > 4) {
        bool removed = false;
        for (std::size_t i = 2; i < p.size(); ++i) {
            const Point a = p[i - 2], b = p[i - 1], c = p[i];
            const double cross = (b.y - a.y) * (c.x - a.x) - (b.x - a.x) * (c.y - a.y);
            const bool red = geom::point_distance(a, b) <= eps ||
                             (std::abs(cross) <= eps && std::min(a.x, c.x) - eps <= b.x &&
                              b.x <= std::max(a.x, c.x) + eps && std::min(a.y, c.y) - eps <= b.y &&
                              b.y <= std::max(a.y, c.y) + eps);
            if (red) {
                p.erase(p.begin() + static_cast<std::ptrdiff_t>(i - 1));
                p.back() = p.front();
                removed = true;
                break;
            }
        }
        if (!removed) break;
    }
    return p;
}

void expect_same(const Ring& a, const Ring& b) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].x, b[i].x) << i;
        EXPECT_EQ(a[i].y, b[i].y) << i;
    }
}

}  // namespace

TEST(CleanRing, RemovesCollinearAndDuplicatePointsButKeepsTheFirst) {
    const struct {
        Ring in;
        Ring out;
    } cases[] = {
        // Midpoints of a square's edges go; the open ring is closed.
        {{{0, 0}, {5, 0}, {10, 0}, {10, 5}, {10, 10}, {0, 10}},
         {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}}},
        // Duplicates go.
        {{{0, 0}, {10, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}}, {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}}},
        // The first point stays even on a straight edge.
        {{{5, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}}, {{5, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}, {5, 0}}},
        // Never below a closed triangle, even when it is flat.
        {{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}}, {{0, 0}, {3, 0}, {4, 0}, {0, 0}}},
        // Four points or fewer after closing: unchanged.
        {{{0, 0}, {1, 0}, {2, 0}}, {{0, 0}, {1, 0}, {2, 0}, {0, 0}}},
        {{}, {}},
        // A point beyond the end of its neighbours' segment is a corner.
        {{{0, 0}, {10, 0}, {5, 0}, {5, 5}, {0, 0}}, {{0, 0}, {10, 0}, {5, 0}, {5, 5}, {0, 0}}},
    };
    for (const auto& c : cases) expect_same(plv::clean_ring(c.in), c.out);
    // A last point within 1e-7 of the first closes the ring; after a removal
    // it is set to the first exactly.
    const Ring near_closed{{0, 0}, {5, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 5e-8}};
    expect_same(plv::clean_ring(near_closed), {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}});
}

TEST(CleanRing, SameAsTheRestartingRuleOnRandomRings) {
    std::mt19937 g(11);
    for (int n = 0; n < 3000; ++n) {
        // Coarse grids give many duplicates and collinear runs.
        std::uniform_int_distribution<int> coord(0, n % 3 == 0 ? 2 : 5);
        std::uniform_int_distribution<int> len(0, 14);
        Ring r;
        for (int i = len(g); i > 0; --i) r.push_back({coord(g) * 1.0, coord(g) * 1.0});
        if (n % 4 == 0 && !r.empty()) r.push_back(r.front());
        if (n % 5 == 0 && !r.empty()) r.push_back({r.front().x, r.front().y + 4e-8});
        expect_same(plv::clean_ring(r), reference_clean(r));
    }
}

TEST(CleanRing, LongStraightRunsStayLinear) {
    Ring r;
    for (int i = 0; i <= 200000; ++i) r.push_back({i * 0.5, 0});
    r.push_back({100000, 10});
    const Ring out = plv::clean_ring(r);
    expect_same(out, {{0, 0}, {100000, 0}, {100000, 10}, {0, 0}});
}

// Near the origin the area is ring_area's, to the bit; far out, where the
// products of ring_area lose the area, it is the area of the same outline
// near the origin.
TEST(ContourArea, RingAreaNearTheOriginAndTheNearAreaFarOut) {
    auto square = [](double x, double y, double side) {
        return Ring{{x, y}, {x + side, y}, {x + side, y + side}, {x, y + side}, {x, y}};
    };
    Ring circle;
    for (int i = 0; i < 256; ++i) circle.push_back({18000 + 0.5 * std::cos(i * 0.0245), 13000 + 0.5 * std::sin(i * 0.0245)});
    circle.push_back(circle.front());
    for (const Ring& r : {square(0.3, 0.7, 10), square(12000.1, 17000.3, 1.5), circle, square(-5e3, 3e3, 0.25)}) {
        EXPECT_EQ(plv::contour_area(r), geom::ring_area(r));
    }
    for (double o : {1e9 + 0.25, -7e9 - 0.5, 1e12}) {
        EXPECT_EQ(plv::contour_area(square(o, o, 10)), 100.0) << o;
        EXPECT_EQ(plv::contour_area(square(o + 0.125, o - 3, 10)), 100.0) << o;
    }
}
