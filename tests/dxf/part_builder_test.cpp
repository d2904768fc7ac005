#include "dxf/part_builder.hpp"
#include "dxf/paths.hpp"
#include "geometry/predicates.hpp"
#include "reader_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using geom::Point;
using geom::Ring;
using plv::Contour;
using plv::test::circle;
using plv::test::closed_lwpolyline;
using plv::test::entities;
using plv::test::Groups;
using plv::test::line;
using plv::test::operator+;
using plv::test::square_lines;
using plv::test::TempDir;

namespace {

// ---- The joining and classification rules as written, one full scan per
// step, to compare the indexed versions against.

std::vector<Contour> reference_join(std::vector<Ring> pending, double join_tolerance) {
    const double tol = std::max(join_tolerance, 0.001);
    auto near = [&](const Point& a, const Point& b) { return geom::point_distance(a, b) <= tol; };
    std::vector<Contour> out;
    while (!pending.empty()) {
        Ring cur = pending.front();
        pending.erase(pending.begin());
        bool joined = true;
        while (joined) {
            joined = false;
            for (std::size_t k = 0; k < pending.size(); ++k) {
                const Ring c = pending[k];
                Ring next;
                if (near(cur.back(), c.front())) {
                    next = cur;
                    next.insert(next.end(), c.begin() + 1, c.end());
                } else if (near(cur.back(), c.back())) {
                    next = cur;
                    next.insert(next.end(), c.rbegin() + 1, c.rend());
                } else if (near(cur.front(), c.back())) {
                    next = c;
                    next.insert(next.end(), cur.begin() + 1, cur.end());
                } else if (near(cur.front(), c.front())) {
                    next.assign(c.rbegin(), c.rend());
                    next.insert(next.end(), cur.begin() + 1, cur.end());
                } else {
                    continue;
                }
                cur = next;
                pending.erase(pending.begin() + static_cast<std::ptrdiff_t>(k));
                joined = true;
                break;
            }
        }
        if (cur.size() < 4) continue;
        const double gap = geom::point_distance(cur.front(), cur.back());
        double length = 0;
        for (std::size_t i = 1; i < cur.size(); ++i) length += geom::point_distance(cur[i - 1], cur[i]);
        const auto box = geom::ring_bounds(cur);
        const double d = std::hypot(box.width(), box.height());
        if (!(gap <= tol || (length > 1e-6 && gap <= std::max(tol, std::min(d * 0.08, std::min(length * 0.025, 5.0))))))
            continue;
        cur.back() = cur.front();
        Ring ring = plv::clean_ring(cur);
        const double area = plv::contour_area(ring);
        if (area > 0) out.push_back({ring, area});
    }
    return out;
}

std::vector<plv::OuterWithHoles> reference_classify(std::vector<Contour> list) {
    std::stable_sort(list.begin(), list.end(), [](const Contour& a, const Contour& b) { return a.area > b.area; });
    const std::size_t n = list.size();
    std::vector<int> parent(n, -1);
    for (std::size_t i = 0; i < n; ++i) {
        double best = std::numeric_limits<double>::infinity();
        const auto bi = geom::ring_bounds(list[i].ring);
        for (std::size_t j = 0; j < n; ++j) {
            if (j == i || !(list[j].area > list[i].area && list[j].area < best)) continue;
            const auto bj = geom::ring_bounds(list[j].ring);
            if (!bi.is_finite() || !bj.is_finite()) continue;
            if (!(bi.min_x >= bj.min_x - 1e-4 && bi.max_x <= bj.max_x + 1e-4 && bi.min_y >= bj.min_y - 1e-4 &&
                  bi.max_y <= bj.max_y + 1e-4))
                continue;
            const Ring& r = list[i].ring;
            Point mean{0, 0};
            for (std::size_t k = 0; k + 1 < r.size(); ++k) mean = {mean.x + r[k].x, mean.y + r[k].y};
            mean = {mean.x / static_cast<double>(r.size() - 1), mean.y / static_cast<double>(r.size() - 1)};
            bool holds = geom::point_in_ring(mean, list[j].ring);
            for (std::size_t k = 0; !holds && k < 12 && k + 1 < r.size(); ++k) holds = geom::point_in_ring(r[k], list[j].ring);
            if (!holds) continue;
            best = list[j].area;
            parent[i] = static_cast<int>(j);
        }
    }
    std::vector<plv::OuterWithHoles> outers;
    std::vector<int> index(n, -1);
    for (std::size_t i = 0; i < n; ++i) {
        if (parent[i] != -1) continue;
        index[i] = static_cast<int>(outers.size());
        outers.push_back({list[i].ring, list[i].area, {}});
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (parent[i] == -1) continue;
        std::size_t root = i;
        while (parent[root] != -1) root = static_cast<std::size_t>(parent[root]);
        outers[static_cast<std::size_t>(index[root])].holes.push_back(list[i]);
    }
    return outers;
}

void expect_same_ring(const Ring& a, const Ring& b) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        ASSERT_EQ(a[i].x, b[i].x);
        ASSERT_EQ(a[i].y, b[i].y);
    }
}

Ring seg(double x1, double y1, double x2, double y2) { return {{x1, y1}, {x2, y2}}; }

Contour contour_of(Ring r) {
    r = plv::clean_ring(r);
    const double a = geom::ring_area(r);
    return {r, a};
}

Ring rect(double x, double y, double w, double h) { return {{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}, {x, y}}; }

Ring circle_ring(double cx, double cy, double r, int n = 64) {
    Ring out;
    for (int i = 0; i < n; ++i) {
        const double a = i * 6.283185307179586 / n;
        out.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
    }
    out.push_back(out.front());
    return out;
}

std::vector<plv::Part> parts_of(const std::string& text, const std::string& name = "drawing.dxf",
                                plv::DxfImportSettings settings = {}) {
    const auto geometry = plv::read_dxf_text(text, settings);
    return plv::parts_from_geometry(geometry, fs::path("/some/folder") / name, settings);
}

std::vector<std::string> names(const std::vector<plv::Part>& parts) {
    std::vector<std::string> out;
    for (const auto& p : parts) out.push_back(p.name);
    return out;
}

}  // namespace

// ---- Chaining and closing -----------------------------------------------------

TEST(DxfChaining, SquareOfLinesInAnyOrderAndDirection) {
    const std::vector<Ring> sides{seg(0, 0, 100, 0), seg(100, 0, 100, 100), seg(100, 100, 0, 100), seg(0, 100, 0, 0)};
    std::vector<int> order{0, 1, 2, 3};
    int combos = 0;
    do {
        for (int flips = 0; flips < 16; ++flips) {
            std::vector<Ring> chains;
            for (int k = 0; k < 4; ++k) {
                Ring s = sides[static_cast<std::size_t>(order[static_cast<std::size_t>(k)])];
                if (flips & (1 << k)) std::reverse(s.begin(), s.end());
                chains.push_back(s);
            }
            const auto contours = plv::join_chains(chains, 0.2);
            ASSERT_EQ(contours.size(), 1u);
            EXPECT_EQ(contours[0].area, 10000.0);
            EXPECT_EQ(contours[0].ring.size(), 5u);
            ++combos;
        }
    } while (std::next_permutation(order.begin(), order.end()));
    EXPECT_EQ(combos, 384);
}

TEST(DxfChaining, GapsTolerancesAndWhichEndSurvives) {
    const struct {
        const char* what;
        std::vector<Ring> chains;
        double join;
        std::size_t contours;
        double area;
    } cases[] = {
        // A gap of 0.15 between two sides is joined at 0.2; the point of the
        // chain being built survives.
        {"gap 0.15", {seg(0, 0, 100, 0), seg(100, 0.15, 100, 100), seg(100, 100, 0, 100), seg(0, 100, 0, 0)}, 0.2, 1,
         10000.0},
        // A gap of 0.3 is not joined, but the chain closes within the
        // allowance: its last point (100, 0) is replaced by (100, 0.3).
        {"gap 0.3", {seg(0, 0, 100, 0), seg(100, 0.3, 100, 100), seg(100, 100, 0, 100), seg(0, 100, 0, 0)}, 0.2, 1,
         9985.0},
        // A join tolerance of 0 acts as 0.001.
        {"join 0", {seg(0, 0, 100, 0), seg(100, 0.0005, 100, 100), seg(100, 100, 0, 100), seg(0, 100, 0, 0)}, 0.0,
         1, 10000.0},
        // Joined at the start of the chain: the other chain's point survives.
        {"test 3", {seg(0, 0, 100, 0), Ring{{100, 100}, {0, 100}, {-0.1, 0}}, seg(100, 0, 100, 100)}, 0.2, 1, 10005.0},
        {"test 4", {seg(0, 0, 100, 0), Ring{{-0.1, 0}, {0, 100}, {100, 100}}, seg(100, 0, 100, 100)}, 0.2, 1, 10005.0},
        {"test 2", {seg(0, 0, 100, 0), Ring{{0, 0}, {0, 100}, {100, 100}, {100.1, 0}}}, 0.2, 1, 10000.0},
        // An open U of side 100: its gap of 100 is beyond the allowance of 5.
        {"open U", {seg(0, 0, 100, 0), seg(100, 0, 100, 100), seg(100, 100, 0, 100)}, 0.2, 0, 0.0},
        // Fewer than 4 points: dropped even though closed.
        {"short", {Ring{{0, 0}, {10, 0}, {0, 0}}}, 0.2, 0, 0.0},
        // Closed but without area.
        {"flat", {Ring{{0, 0}, {10, 0}, {20, 0}, {0, 0}}}, 0.2, 0, 0.0},
    };
    for (const auto& c : cases) {
        const auto contours = plv::join_chains(c.chains, c.join);
        ASSERT_EQ(contours.size(), c.contours) << c.what;
        if (c.contours == 1) {
            EXPECT_NEAR(contours[0].area, c.area, 1e-9) << c.what;
        }
    }
}

TEST(DxfChaining, ChainClosesIntoATriangle) {
    const auto contours = plv::join_chains({Ring{{0, 0}, {100, 0}, {100, 100}, {2, 1}}}, 0.2);
    ASSERT_EQ(contours.size(), 1u);
    expect_same_ring(contours[0].ring, {{0, 0}, {100, 0}, {100, 100}, {0, 0}});
    EXPECT_EQ(contours[0].area, 5000.0);
}

TEST(DxfChaining, SameAsTheFullScanOnRandomSegmentSoups) {
    std::mt19937 g(5);
    for (int round = 0; round < 300; ++round) {
        // End points on a coarse grid, nudged within the tolerance, so that
        // many chains meet several others.
        std::uniform_int_distribution<int> coord(0, 4 + round % 6);
        std::uniform_real_distribution<double> nudge(-0.09, 0.09);
        std::uniform_int_distribution<int> count(1, 40);
        std::vector<Ring> chains;
        for (int i = count(g); i > 0; --i) {
            Ring c;
            const int pts = 2 + static_cast<int>(g() % 3);
            for (int k = 0; k < pts; ++k) c.push_back({coord(g) * 10.0 + nudge(g), coord(g) * 10.0 + nudge(g)});
            chains.push_back(c);
        }
        const auto got = plv::join_chains(chains, 0.2);
        const auto want = reference_join(chains, 0.2);
        ASSERT_EQ(got.size(), want.size()) << round;
        for (std::size_t i = 0; i < got.size(); ++i) {
            expect_same_ring(got[i].ring, want[i].ring);
            EXPECT_EQ(got[i].area, want[i].area);
        }
    }
}

TEST(DxfChaining, EndsThatAreNotFiniteNeverJoin) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<Ring> chains{seg(inf, 0, 0, 0), seg(0, 0, 100, 0), seg(100, 0, 100, 100), seg(100, 100, 0, 100),
                             seg(0, 100, 0, 0), seg(nan, nan, 1e300, 1e300), seg(1e300, 1e300, 5, 5)};
    const auto got = plv::join_chains(chains, 0.2);
    const auto want = reference_join(chains, 0.2);
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) expect_same_ring(got[i].ring, want[i].ring);
}

// ---- Generated drawings where an index could go wrong or slow -------------------

// Squares of side 10 on a 20 mm pitch, their sides shuffled and some reversed,
// moved by offset (even integers stay exact up to 2^54).
std::vector<Ring> shuffled_squares(int squares, double offset, unsigned seed) {
    std::vector<Ring> sides;
    for (int i = 0; i < squares; ++i) {
        const double x = offset + (i % 50) * 20.0, y = offset + (i / 50) * 20.0;
        sides.push_back(seg(x, y, x + 10, y));
        sides.push_back(seg(x + 10, y, x + 10, y + 10));
        sides.push_back(seg(x + 10, y + 10, x, y + 10));
        sides.push_back(seg(x, y + 10, x, y));
    }
    std::mt19937 g(seed);
    std::shuffle(sides.begin(), sides.end(), g);
    for (Ring& r : sides) {
        if (g() & 1) std::reverse(r.begin(), r.end());
    }
    return sides;
}

// Chains of two or three points whose ends all lie in one spot of 0.35 x 0.35,
// so that every end is near many others and some ends near it are beyond 0.2.
std::vector<Ring> crowded_spot(int chains, unsigned seed) {
    std::mt19937 g(seed);
    std::uniform_real_distribution<double> u(0.0, 0.35);
    std::vector<Ring> out;
    for (int i = 0; i < chains; ++i) {
        Ring r{{u(g), u(g)}};
        if (i % 3 == 0) r.push_back({50.0 + u(g), u(g)});
        r.push_back({u(g), u(g)});
        out.push_back(r);
    }
    return out;
}

std::vector<Ring> copies(const std::vector<Ring>& chains, int times) {
    std::vector<Ring> out;
    for (int t = 0; t < times; ++t) out.insert(out.end(), chains.begin(), chains.end());
    return out;
}

std::vector<Ring> operator+(std::vector<Ring> a, const std::vector<Ring>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(DxfChaining, SameAsTheFullScanOnGeneratedDrawings) {
    const std::vector<Ring> square{seg(0, 0, 100, 0), seg(100, 0, 100, 100), seg(100, 100, 0, 100), seg(0, 100, 0, 0)};
    // Lines from near one centre, their inner ends nudged within the tolerance.
    std::vector<Ring> star;
    for (int i = 0; i < 120; ++i) {
        const double a = i * 0.05;
        star.push_back(seg(0.001 * (i % 7), -0.001 * (i % 5), 30 * std::cos(a), 30 * std::sin(a)));
    }
    const struct {
        const char* what;
        std::vector<Ring> chains;
        double join;
    } cases[] = {
        {"duplicated line", copies({seg(10, 10, 60, 10)}, 300) + square, 0.2},
        {"duplicated square", copies(square, 60), 0.2},
        {"crowded spot", crowded_spot(400, 1), 0.2},
        {"crowded spot, wide tolerance", crowded_spot(300, 2), 5.0},
        {"crowded spot, tolerance 0", crowded_spot(300, 3), 0.0},
        {"star", star + copies(star, 2), 0.2},
        {"squares near the origin", shuffled_squares(300, 0.0, 4), 0.2},
        {"squares at 1e16", shuffled_squares(300, 1e16, 5), 0.2},
        {"squares at -3e15", shuffled_squares(300, -3e15, 6), 0.2},
        {"squares at 1e300", shuffled_squares(50, 1e300, 7), 0.2},
        {"near, far and crowded", shuffled_squares(100, 1e16, 8) + crowded_spot(200, 9) + shuffled_squares(100, 0, 10),
         0.2},
    };
    for (const auto& c : cases) {
        const auto got = plv::join_chains(c.chains, c.join);
        const auto want = reference_join(c.chains, c.join);
        ASSERT_EQ(got.size(), want.size()) << c.what;
        for (std::size_t i = 0; i < got.size(); ++i) {
            expect_same_ring(got[i].ring, want[i].ring);
            EXPECT_EQ(got[i].area, want[i].area) << c.what;
        }
    }
}

// A look-up examines a few ends and boxes of ends per chain however the ends
// lie: all on two points, crowded into one spot, or far out, where every
// finite coordinate costs what it costs near the origin.
TEST(DxfChaining, LookUpWorkStaysNearLinear) {
    const struct {
        const char* what;
        std::vector<Ring> chains;
        std::size_t steps_per_chain;
    } cases[] = {
        {"20000 copies of one line", copies({seg(10, 10, 60, 10)}, 20000), 4},
        {"20000 chains in one spot", crowded_spot(20000, 11), 40},
        {"5000 squares near the origin", shuffled_squares(5000, 0.0, 12), 6},
        {"5000 squares at 1e16", shuffled_squares(5000, 1e16, 12), 6},
    };
    for (const auto& c : cases) {
        std::size_t steps = 0;
        plv::join_chains(c.chains, 0.2, &steps);
        EXPECT_LE(steps, c.steps_per_chain * c.chains.size()) << c.what;
    }
    std::size_t near = 0, far = 0;
    EXPECT_EQ(plv::join_chains(shuffled_squares(2000, 0.0, 13), 0.2, &near).size(), 2000u);
    EXPECT_EQ(plv::join_chains(shuffled_squares(2000, 1e16, 13), 0.2, &far).size(), 2000u);
    EXPECT_EQ(near, far);
}

// ---- Classification -----------------------------------------------------------

TEST(DxfClassification, NestingBoxesAndEqualAreas) {
    const struct {
        const char* what;
        std::vector<Contour> contours;
        std::vector<std::size_t> holes_per_outer;
    } cases[] = {
        {"circles 50/20", {contour_of(circle_ring(0, 0, 20)), contour_of(circle_ring(0, 0, 50))}, {1}},
        {"circles 50/30/10",
         {contour_of(circle_ring(0, 0, 10)), contour_of(circle_ring(0, 0, 50)), contour_of(circle_ring(0, 0, 30))},
         {2}},
        // A square in the notch of an L: inside the L's box, outside its outline.
        {"notch",
         {contour_of({{0, 0}, {100, 0}, {100, 40}, {40, 40}, {40, 100}, {0, 100}}), contour_of(rect(60, 60, 20, 20))},
         {0, 0}},
        // Poking out of the larger box by at most 1e-4, test point inside.
        {"poke 5e-5", {contour_of(rect(0, 0, 100, 100)), contour_of(rect(50, 10, 50.00005, 10))}, {1}},
        {"poke 2e-4", {contour_of(rect(0, 0, 100, 100)), contour_of(rect(50, 10, 50.0002, 10))}, {0, 0}},
        // The same outline twice: equal areas, neither holds the other.
        {"duplicate", {contour_of(rect(0, 0, 10, 10)), contour_of(rect(0, 0, 10, 10))}, {0, 0}},
        // The mean of the smaller outline lies in the notch of the U, outside
        // it; its first vertex lies inside: still a hole.
        {"vertex test",
         {contour_of({{0, 0}, {100, 0}, {100, 100}, {70, 100}, {70, 30}, {30, 30}, {30, 100}, {0, 100}}),
          contour_of(rect(20, 40, 30, 20))},
         {1}},
    };
    for (const auto& c : cases) {
        const auto outers = plv::classify_contours(c.contours);
        ASSERT_EQ(outers.size(), c.holes_per_outer.size()) << c.what;
        for (std::size_t i = 0; i < outers.size(); ++i) EXPECT_EQ(outers[i].holes.size(), c.holes_per_outer[i]) << c.what;
    }
}

TEST(DxfClassification, EqualAreasKeepTheirOrderAndBadAreasAreDropped) {
    std::vector<Contour> list;
    for (int x : {400, 0, 800, 200, 600}) list.push_back(contour_of(rect(x, 0, 50, 50)));
    list.push_back(contour_of(rect(0, 100, 60, 60)));
    Contour nan_area{rect(0, 0, 1000, 1000), std::numeric_limits<double>::quiet_NaN()};
    Contour inf_area{rect(0, 0, 1000, 1000), std::numeric_limits<double>::infinity()};
    list.insert(list.begin() + 2, nan_area);
    list.push_back(inf_area);
    const auto outers = plv::classify_contours(list);
    ASSERT_EQ(outers.size(), 6u);
    EXPECT_EQ(outers[0].area, 3600.0);
    const double xs[] = {400, 0, 800, 200, 600};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(outers[i + 1].outer[0].x, xs[i]);
        EXPECT_TRUE(outers[i + 1].holes.empty());
    }
}

TEST(DxfClassification, SameAsThePairwiseRuleOnRandomLayouts) {
    std::mt19937 g(9);
    for (int round = 0; round < 200; ++round) {
        std::uniform_real_distribution<double> pos(0, 200);
        std::uniform_real_distribution<double> size(1, 120);
        std::vector<Contour> list;
        const int n = 1 + static_cast<int>(g() % 60);
        for (int i = 0; i < n; ++i) {
            const double x = std::floor(pos(g)), y = std::floor(pos(g)), w = std::floor(size(g));
            switch (g() % 4) {
                case 0: list.push_back(contour_of(rect(x, y, w, std::floor(size(g))))); break;
                case 1: list.push_back(contour_of(circle_ring(x, y, w / 2, 24))); break;
                case 2: list.push_back(contour_of({{x, y}, {x + w, y}, {x + w, y + w / 3}, {x + w / 3, y + w / 3},
                                                   {x + w / 3, y + w}, {x, y + w}}));
                    break;
                default: list.push_back(list.empty() ? contour_of(rect(x, y, w, w)) : list[g() % list.size()]); break;
            }
        }
        const auto got = plv::classify_contours(list);
        const auto want = reference_classify(list);
        ASSERT_EQ(got.size(), want.size()) << round;
        for (std::size_t i = 0; i < got.size(); ++i) {
            expect_same_ring(got[i].outer, want[i].outer);
            ASSERT_EQ(got[i].holes.size(), want[i].holes.size()) << round;
            for (std::size_t k = 0; k < got[i].holes.size(); ++k) expect_same_ring(got[i].holes[k].ring, want[i].holes[k].ring);
        }
    }
}

Contour circle_contour(double cx, double cy, double r, int n = 24) { return contour_of(circle_ring(cx, cy, r, n)); }

std::vector<Contour> concentric(int count, int each = 1) {
    std::vector<Contour> out;
    for (int i = 1; i <= count; ++i) {
        for (int k = 0; k < each; ++k) out.push_back(circle_contour(0, 0, i));
    }
    return out;
}

// A plate with holes on a grid, listed holes first.
std::vector<Contour> perforated(int side) {
    std::vector<Contour> out;
    for (int i = 0; i < side * side; ++i) out.push_back(circle_contour(10 + (i % side) * 10, 10 + (i / side) * 10, 3, 12));
    out.push_back(contour_of(rect(0, 0, side * 10 + 10, side * 10 + 10)));
    return out;
}

TEST(DxfClassification, SameAsThePairwiseRuleOnNestedDrawings) {
    // Squares inside squares, each with an L-shaped island whose notch holds
    // a square that is in the L's box but not in the L.
    std::vector<Contour> nest;
    for (int i = 0; i < 40; ++i) {
        const double o = i * 20.0, w = 2000 - 40.0 * i;
        nest.push_back(contour_of(rect(o, o, w, w)));
    }
    for (int i = 0; i < 30; ++i) {
        const double x = 900 + (i % 6) * 30.0, y = 900 + (i / 6) * 30.0;
        nest.push_back(contour_of({{x, y}, {x + 20, y}, {x + 20, y + 8}, {x + 8, y + 8}, {x + 8, y + 20}, {x, y + 20}}));
        nest.push_back(contour_of(rect(x + 12, y + 12, 5, 5)));
    }
    // Long strips stacked, and a frame around all of them.
    std::vector<Contour> strips;
    for (int i = 0; i < 200; ++i) strips.push_back(contour_of(rect(0, i * 3.0, 1000 - i, 2)));
    strips.push_back(contour_of(rect(-1, -1, 1002, 700)));
    const struct {
        const char* what;
        std::vector<Contour> contours;
    } cases[] = {
        {"concentric circles", concentric(300)},
        {"concentric circles, each twice", concentric(100, 2)},
        {"nested squares with islands", nest},
        {"stacked strips in a frame", strips},
        {"perforated plate", perforated(20)},
    };
    for (const auto& c : cases) {
        const auto got = plv::classify_contours(c.contours);
        const auto want = reference_classify(c.contours);
        ASSERT_EQ(got.size(), want.size()) << c.what;
        for (std::size_t i = 0; i < got.size(); ++i) {
            expect_same_ring(got[i].outer, want[i].outer);
            ASSERT_EQ(got[i].holes.size(), want[i].holes.size()) << c.what;
            for (std::size_t k = 0; k < got[i].holes.size(); ++k) expect_same_ring(got[i].holes[k].ring, want[i].holes[k].ring);
        }
    }
}

// The search for a parent stops at the first area that holds the contour, and
// boxes far from it are not read: a few candidates per contour.
TEST(DxfClassification, ParentSearchWorkOnDeepNests) {
    // Long strips, each with a square hole, that span the drawing's width.
    std::vector<Contour> strips;
    for (int i = 0; i < 3000; ++i) {
        strips.push_back(contour_of(rect(0, i * 3.0, 1000 - i * 0.1, 2)));
        strips.push_back(contour_of(rect(500, i * 3.0 + 0.5, 1, 1)));
    }
    const struct {
        const char* what;
        std::vector<Contour> contours;
        std::size_t outers;
        std::size_t holes;
        std::size_t tested_per_contour;
    } cases[] = {
        {"5000 concentric circles", concentric(5000), 1, 4999, 2},
        {"2000 concentric circles, each twice", concentric(2000, 2), 2, 3998, 2},
        {"a plate with 4900 holes", perforated(70), 1, 4900, 2},
        {"3000 strips with holes", strips, 3000, 1, 40},
    };
    for (const auto& c : cases) {
        std::size_t tested = 0;
        const auto outers = plv::classify_contours(c.contours, &tested);
        ASSERT_EQ(outers.size(), c.outers) << c.what;
        EXPECT_EQ(outers[0].holes.size(), c.holes) << c.what;
        EXPECT_LE(tested, c.tested_per_contour * c.contours.size()) << c.what;
    }
}

// ---- Parts --------------------------------------------------------------------

TEST(DxfParts, NamesCountOnlySurvivingParts) {
    const struct {
        const char* what;
        Groups groups;
        double min_area;
        std::vector<std::string> names;
    } cases[] = {
        {"one", square_lines(0, 0, 50), 1.0, {"plate"}},
        {"two", square_lines(100, 0, 20) + square_lines(0, 0, 50), 1.0, {"plate-1", "plate-2"}},
        // Outer areas 2500, 1600 and 900; the second has a 30 x 30 hole, so its
        // net area of 700 is below min_area, and it uses no number.
        {"three", square_lines(0, 0, 50) + square_lines(100, 0, 40) + square_lines(105, 5, 30) +
                      square_lines(200, 0, 30),
         800.0, {"plate-1", "plate-2"}},
        {"one of two dropped", square_lines(0, 0, 50) + square_lines(100, 0, 0.5), 1.0, {"plate-1"}},
        {"none", square_lines(0, 0, 0.5), 1.0, {}},
    };
    for (const auto& c : cases) {
        plv::DxfImportSettings settings;
        settings.min_area = c.min_area;
        EXPECT_EQ(names(parts_of(entities(c.groups), "plate.dxf", settings)), c.names) << c.what;
    }
}

TEST(DxfParts, PartRecordsAreNormalisedAndCarryTheSettings) {
    plv::DxfImportSettings settings;
    settings.quantity = 7;
    const auto parts = parts_of(entities(closed_lwpolyline({{10, 20}, {110, 20}, {110, 80}, {10, 80}}) +
                                         circle(40, 50, 10)),
                                "plate.v2.dxf", settings);
    ASSERT_EQ(parts.size(), 1u);
    const auto& p = parts[0];
    EXPECT_EQ(p.name, "plate.v2");
    EXPECT_EQ(p.quantity, 7);
    EXPECT_TRUE(p.allow_rotation);
    EXPECT_EQ(p.source, plv::path_to_utf8(fs::path("/some/folder") / "plate.v2.dxf"));
    const auto box = geom::ring_bounds(p.shape.outer);
    EXPECT_EQ(box.min_x, 0.0);
    EXPECT_EQ(box.min_y, 0.0);
    EXPECT_EQ(box.max_x, 100.0);
    EXPECT_EQ(box.max_y, 60.0);
    ASSERT_EQ(p.shape.holes.size(), 1u);
    const auto hole = geom::ring_bounds(p.shape.holes[0]);
    EXPECT_NEAR(hole.min_x, 20.0, 1e-9);  // moved with the outer
    EXPECT_NEAR(hole.max_y, 40.0, 1e-9);
}

TEST(DxfParts, MinAreaIsTheNetArea) {
    plv::DxfImportSettings settings;
    settings.min_area = 50;
    // 10 x 10 with a 7 x 7 hole: net 51 survives; with an 8 x 8 hole, net 36 does not.
    const auto keep = parts_of(entities(square_lines(0, 0, 10) + square_lines(1, 1, 7)), "a.dxf", settings);
    const auto drop = parts_of(entities(square_lines(0, 0, 10) + square_lines(1, 1, 8)), "a.dxf", settings);
    EXPECT_EQ(keep.size(), 1u);
    EXPECT_TRUE(drop.empty());
}

// ---- Whole loads of real and generated drawings ---------------------------------

TEST(DxfLoad, FixturesGiveTheirDrawnParts) {
    std::vector<std::string> rows;
    ASSERT_NO_FATAL_FAILURE(plv::test::read_table_rows("expected_parts.tsv", rows));
    int files = 0;
    for (const std::string& row : rows) {
        std::istringstream f(row);
        std::string name;
        std::size_t parts = 0, holes = 0;
        double area = 0, rel = 0;
        f >> name >> parts >> holes >> area >> rel;
        const fs::path file = plv::test::data_dir() / plv::path_from_utf8(name);
        const auto got = plv::load_dxf_parts({file}, plv::DxfImportSettings{});
        ASSERT_EQ(got.size(), parts) << name;
        std::size_t got_holes = 0;
        double got_area = 0;
        for (std::size_t i = 0; i < got.size(); ++i) {
            got_holes += got[i].shape.holes.size();
            got_area += got[i].shape.net_area();
            const std::string stem = name.substr(0, name.size() - 4);
            EXPECT_EQ(got[i].name, parts == 1 ? stem : stem + "-" + std::to_string(i + 1));
            EXPECT_EQ(got[i].source, plv::path_to_utf8(file));
        }
        EXPECT_EQ(got_holes, holes) << name;
        EXPECT_NEAR(got_area, area, std::max(area * rel, 1e-6)) << name;
        ++files;
    }
    EXPECT_GE(files, 15);
}

TEST(DxfLoad, InchDrawingStaysInDrawingUnits) {
    const auto parts = plv::load_dxf_parts({plv::test::data_dir() / "inch_plate.dxf"}, plv::DxfImportSettings{});
    ASSERT_EQ(parts.size(), 1u);
    const auto box = geom::ring_bounds(parts[0].shape.outer);
    EXPECT_EQ(box.width(), 4.0);
    EXPECT_EQ(box.height(), 2.0);
    // The application scales afterwards.
    const auto mm = geom::ring_bounds(geom::scale_polygon(parts[0].shape, 25.4).outer);
    EXPECT_NEAR(mm.width(), 101.6, 1e-9);
    EXPECT_NEAR(mm.height(), 50.8, 1e-9);
}

TEST(DxfLoad, FoldersAndRepeatsAndFailures) {
    TempDir dir;
    dir.write("b/two.dxf", entities(square_lines(0, 0, 10) + square_lines(20, 0, 5)));
    dir.write("a.dxf", entities(square_lines(0, 0, 30)));
    dir.write("b/notes.txt", "x");
    const auto parts = plv::load_dxf_parts({dir.path(), dir.path() / "a.dxf"}, plv::DxfImportSettings{});
    EXPECT_EQ(names(parts), (std::vector<std::string>{"a", "a", "two-1", "two-2"}));
    // One bad input: the whole load fails, with no parts.
    EXPECT_THROW(plv::load_dxf_parts({dir.path(), dir.path() / "b/notes.txt"}, plv::DxfImportSettings{}),
                 std::runtime_error);
}

// Squares of lines at a far offset read as the same squares near the origin
// (same parts, names, holes and points), until the doubles out there are too
// coarse for their size: then the file is refused with an error naming it.
TEST(DxfLoad, FarOutPartsReadAsNearTheOriginOrAreRefused) {
    auto drawing = [](double o) {
        Groups g;
        for (int i = 0; i < 12; ++i) {
            const double x = o + i * 40.0, side = 10.0 + 2 * (i % 5);
            g = g + square_lines(x, o, side) + square_lines(x + 2, o + 2, 4);
        }
        return entities(square_lines(o + 1000, o - 500, 64) + g + square_lines(o + 1008, o - 492, 16));
    };
    TempDir dir;
    const auto near = plv::load_dxf_parts({dir.write("near.dxf", drawing(0.0))}, plv::DxfImportSettings{});
    ASSERT_EQ(near.size(), 13u);
    for (double o : {1e9 + 0.25, -7e9 - 0.5}) {
        const auto far = plv::load_dxf_parts({dir.write("near.dxf", drawing(o))}, plv::DxfImportSettings{});
        ASSERT_EQ(far.size(), near.size()) << o;
        for (std::size_t i = 0; i < far.size(); ++i) {
            EXPECT_EQ(far[i].name, near[i].name) << o;
            expect_same_ring(far[i].shape.outer, near[i].shape.outer);
            ASSERT_EQ(far[i].shape.holes.size(), near[i].shape.holes.size()) << o;
            for (std::size_t k = 0; k < far[i].shape.holes.size(); ++k)
                expect_same_ring(far[i].shape.holes[k], near[i].shape.holes[k]);
        }
    }
    const fs::path file = dir.write("far.dxf", drawing(1e16));
    try {
        plv::load_dxf_parts({file}, plv::DxfImportSettings{});
        ADD_FAILURE() << "a part at 1e16 read";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "DXF part too far from the origin for its size: " + plv::path_to_utf8(file));
    }
}

TEST(DxfLoad, NonAsciiFileNames) {
    TempDir dir;
    const std::string stem = "pieza_\xc3\xb1" "and\xc3\xba_\xd0\xb4\xd0\xb5\xd1\x82\xd0\xb0\xd0\xbb\xd1\x8c";  // pieza_ñandú_деталь
    const fs::path file = dir.write("\xc3\xa1rbol/" + stem + ".dxf", entities(square_lines(0, 0, 30)));
    ASSERT_TRUE(fs::exists(file));
    const auto parts = plv::load_dxf_parts({plv::path_from_utf8(plv::path_to_utf8(dir.path()))}, plv::DxfImportSettings{});
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].name, stem);
    EXPECT_EQ(plv::path_from_utf8(parts[0].source), file);
    EXPECT_TRUE(fs::exists(plv::path_from_utf8(parts[0].source)));
    EXPECT_EQ(parts[0].shape.net_area(), 900.0);
}
