#include "dxf/dxf_reader.hpp"
#include "dxf/paths.hpp"
#include "geometry/predicates.hpp"
#include "reader_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

using plv::test::circle;
using plv::test::closed_lwpolyline;
using plv::test::dxf_text;
using plv::test::entities;
using plv::test::Groups;
using plv::test::line;
using plv::test::operator+;

namespace {

plv::DxfFileGeometry read(const std::string& text, double curve_tolerance = 2.0) {
    plv::DxfImportSettings settings;
    settings.curve_tolerance = curve_tolerance;
    return plv::read_dxf_text(text, settings);
}

Groups arc(double cx, double cy, double r, const std::string& start, const std::string& end) {
    return {{0, "ARC"}, {10, std::to_string(cx)}, {20, std::to_string(cy)}, {40, std::to_string(r)},
            {50, start}, {51, end}};
}

Groups spline(const std::vector<std::pair<double, double>>& points, const std::vector<std::string>& knots,
              int degree = -1) {
    Groups g{{0, "SPLINE"}, {70, "8"}};
    if (degree >= -100 && degree != -1) g.push_back({71, std::to_string(degree)});
    for (const std::string& k : knots) g.push_back({40, k});
    for (const auto& [x, y] : points) {
        g.push_back({10, std::to_string(x)});
        g.push_back({20, std::to_string(y)});
        g.push_back({30, "0.0"});
    }
    return g;
}

template <class T>
struct ParseCase {
    const char* text;
    bool ok;
    T value;
};

// Each case parses to exactly its value, or throws.
template <class T, std::size_t N, class Parse>
void expect_parses(const ParseCase<T> (&cases)[N], Parse parse) {
    for (const ParseCase<T>& c : cases) {
        if (c.ok) {
            EXPECT_EQ(parse(c.text), c.value) << c.text;
        } else {
            EXPECT_ANY_THROW(parse(c.text)) << c.text;
        }
    }
}

// Text that reads back as exactly this double.
std::string exact(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

double angle_deg(const geom::Point& p, double cx, double cy) {
    double a = std::atan2(p.y - cy, p.x - cx) * 180.0 / 3.141592653589793;
    if (a < 0) a += 360.0;
    return a;
}

}  // namespace

// ---- Numbers ----------------------------------------------------------------

TEST(DxfNumbers, Trim) {
    EXPECT_EQ(plv::trim(" \t a b \r\n"), "a b");
    EXPECT_EQ(plv::trim(" \r\n\t "), "");
    EXPECT_EQ(plv::trim("\v x \f"), "\v x \f");
}

TEST(DxfNumbers, ParseIntFollowsTheStandardConversion) {
    const ParseCase<int> cases[] = {
        {"  10", true, 10},          {"10abc", true, 10},          {"+7", true, 7},
        {"-3", true, -3},            {"1e3", true, 1},             {" \t12\r\n", true, 12},
        {"\v5", true, 5},            {"2147483647", true, 2147483647}, {"-2147483648", true, -2147483647 - 1},
        {"2147483648", false, 0},    {"-2147483649", false, 0},    {"99999999999999999999", false, 0},
        {"", false, 0},              {"abc", false, 0},            {"- 1", false, 0},
        {"0x10", true, 0},
    };
    expect_parses(cases, [](const char* text) { return plv::parse_int(text); });
}

TEST(DxfNumbers, ParseDoubleFollowsTheStandardConversionAndRejectsNonFinite) {
    const ParseCase<double> cases[] = {
        {"12.5", true, 12.5},   {"  -0.25\r", true, -0.25}, {"1e3", true, 1000.0}, {"12.5abc", true, 12.5},
        {"+5", true, 5.0},      {"0x10", true, 16.0},       {"1,5", true, 1.0},    {".5", true, 0.5},
        {"-.5", true, -0.5},    {"\v2.5", true, 2.5},       {"1e", true, 1.0},     {"0e-400", true, 0.0},
        {"1e-310", false, 0},   {"1e-400", false, 0},       {"1e400", false, 0},   {"-1e400", false, 0},
        {"inf", false, 0},      {"-inf", false, 0},         {"nan", false, 0},     {"-nan", false, 0},
        {"INFINITY", false, 0}, {"abc", false, 0},          {"", false, 0},        {"-", false, 0},
        {".", false, 0},
    };
    expect_parses(cases, [](const char* text) { return plv::parse_double(text); });
}

TEST(DxfNumbers, ParseDoubleMatchesStodOnDecimalText) {
    std::mt19937 g(7);
    std::uniform_int_distribution<int> digit(0, 9);
    std::uniform_int_distribution<int> len(1, 25);
    std::uniform_int_distribution<int> exp(-330, 330);
    for (int n = 0; n < 20000; ++n) {
        std::string s = (g() & 1) ? "-" : "";
        const int digits = len(g);
        const int point = (g() & 1) ? digits / 2 : -1;
        for (int i = 0; i < digits; ++i) {
            if (i == point) s += '.';
            s += static_cast<char>('0' + digit(g));
        }
        if (g() % 3 == 0) {
            s += 'e';
            s += std::to_string(exp(g));
        }
        double expected = 0.0;
        bool ok = true;
        try {
            expected = std::stod(s);
        } catch (const std::out_of_range&) {
            ok = false;
        }
        if (ok) {
            EXPECT_EQ(plv::parse_double(s), expected) << s;
        } else {
            EXPECT_ANY_THROW(plv::parse_double(s)) << s;
        }
    }
}

// ---- Pairs and groups ---------------------------------------------------------

TEST(DxfPairs, LinesAreTakenTwoByTwo) {
    auto pairs = plv::parse_dxf_pairs("  0\nLINE\n 10abc\n 1.5 \r\nxyz\nlost\n 20\n2\n 11\n");
    ASSERT_EQ(pairs.size(), 3u);  // the odd last line is dropped
    EXPECT_EQ(pairs[0].code, 0);
    EXPECT_EQ(pairs[0].value, "LINE");
    EXPECT_EQ(pairs[1].code, 10);  // digits in front of letters
    EXPECT_EQ(pairs[1].value, "1.5");
    EXPECT_EQ(pairs[2].code, 20);  // the pair without a code is dropped, the next one still read
    EXPECT_TRUE(plv::parse_dxf_pairs("").empty());
    // A final line without a line feed still counts.
    EXPECT_EQ(plv::parse_dxf_pairs("0\nEOF").size(), 1u);
}

TEST(DxfPairs, StrayBlankLineLosesEverythingAfterIt) {
    const std::string first = dxf_text(line(0, 0, 10, 0));
    const std::string rest = dxf_text(line(0, 0, 0, 10) + line(5, 5, 6, 6) + circle(0, 0, 5));
    EXPECT_EQ(read(first + rest).open_chains.size(), 3u);
    const auto shifted = read(first + "\n" + rest);
    EXPECT_EQ(shifted.open_chains.size(), 1u);
    EXPECT_TRUE(shifted.contours.empty());
}

TEST(DxfPairs, CrLfReadsLikeLf) {
    std::string text = entities(line(1, 2, 3, 4) + circle(0, 0, 5));
    std::string crlf;
    for (char c : text) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    const auto a = read(text);
    const auto b = read(crlf);
    ASSERT_EQ(b.open_chains.size(), 1u);
    ASSERT_EQ(b.contours.size(), 1u);
    EXPECT_EQ(a.open_chains[0][1].x, b.open_chains[0][1].x);
    EXPECT_EQ(a.contours[0].area, b.contours[0].area);
}

TEST(DxfPairs, TypesAreCaseSensitiveAndSectionsAreNotTracked) {
    Groups lower = line(0, 0, 1, 1);
    lower[0].second = "line";
    const Groups block = Groups{{0, "SECTION"}, {2, "BLOCKS"}, {0, "BLOCK"}, {2, "B"}, {10, "0"}, {20, "0"}} +
                         line(5, 5, 9, 9) + Groups{{0, "ENDBLK"}, {0, "ENDSEC"}};
    // Pairs before the first code 0 belong to no entity.
    const std::string text = dxf_text(Groups{{10, "1"}, {20, "1"}} + lower + block) + entities(line(2, 2, 3, 3));
    const auto g = read(text);
    ASSERT_EQ(g.open_chains.size(), 2u);
    EXPECT_EQ(g.open_chains[0][0].x, 5.0);  // the block's line, in block coordinates
    EXPECT_EQ(g.open_chains[1][0].x, 2.0);
}

// ---- LINE ---------------------------------------------------------------------

TEST(DxfLine, NeedsAllFourCodesAndTakesTheLastOfEach) {
    Groups repeated = line(0, 0, 1, 1);
    repeated.push_back({10, "7"});
    Groups missing = line(0, 0, 1, 1);
    missing.pop_back();
    Groups with_nan = line(0, 0, 1, 1);
    with_nan[2].second = "nan";
    Groups with_inf = line(0, 0, 1, 1);
    with_inf[5].second = "-inf";
    Groups bad = line(0, 0, 1, 1);
    bad[4].second = "x";
    const auto g = read(entities(repeated + missing + with_nan + with_inf + bad + line(3, 3, 3, 3)));
    ASSERT_EQ(g.open_chains.size(), 2u);
    EXPECT_EQ(g.open_chains[0][0].x, 7.0);
    // A line whose ends coincide is still a chain of two points.
    ASSERT_EQ(g.open_chains[1].size(), 2u);
    EXPECT_EQ(g.open_chains[1][0].x, g.open_chains[1][1].x);
}

// ---- ARC ----------------------------------------------------------------------

TEST(DxfArc, SegmentCountsAndSweep) {
    const struct {
        double r;
        const char* start;
        const char* end;
        double tol;
        std::size_t points;
        double sweep;
    } cases[] = {
        {100, "0", "90", 2.0, 80, 90},       // 79 segments
        {100, "350", "10", 2.0, 19, 20},     // wraps past 360
        {100, "0", "360", 2.0, 129, 360},    // full turn, capped at 128
        {100, "30", "30", 2.0, 5, 0},        // no sweep: 4 segments of nothing
        {1, "0", "90", 0.05, 17, 90},        // tolerance below 0.1 acts as 0.1
        {1, "0", "90", 0.1, 17, 90},
        {0.001, "0", "180", 2.0, 5, 180},    // at least 4 segments
        {10, "725", "0", 2.0, 32, 355},    // two turns added: 725 -> 1080
        {10, "0", "1000", 2.0, 89, 1000},    // the file may sweep more than a turn
    };
    for (const auto& c : cases) {
        const auto g = read(entities(arc(5, -5, c.r, c.start, c.end)), c.tol);
        ASSERT_EQ(g.open_chains.size(), 1u) << c.start << " " << c.end;
        const auto& chain = g.open_chains[0];
        EXPECT_EQ(chain.size(), c.points) << c.start << " " << c.end;
        for (const auto& p : chain) EXPECT_NEAR(std::hypot(p.x - 5, p.y + 5), c.r, 1e-9);
        const double start = std::fmod(std::stod(c.start), 360.0);
        EXPECT_NEAR(angle_deg(chain.front(), 5, -5), start, 1e-6);
        const double end = std::fmod(start + c.sweep, 360.0);
        const double got_end = angle_deg(chain.back(), 5, -5);
        EXPECT_NEAR(std::fmod(got_end - end + 720.0 + 180.0, 360.0) - 180.0, 0.0, 1e-6) << c.start;
    }
    // The 350 -> 10 arc runs counter-clockwise through 0 degrees.
    const auto wrap = read(entities(arc(0, 0, 100, "350", "10"))).open_chains[0];
    EXPECT_GT(wrap[wrap.size() / 2].x, 99.0);
    // A full-turn arc's ends meet.
    const auto full = read(entities(arc(0, 0, 100, "0", "360"))).open_chains[0];
    EXPECT_LT(geom::point_distance(full.front(), full.back()), 1e-9);
}

TEST(DxfArc, BadArcsAreDroppedAndHugeAnglesEndQuickly) {
    const auto dropped = read(entities(arc(0, 0, 0, "0", "90") + arc(0, 0, -1, "0", "90") +
                                       arc(0, 0, 5, "inf", "0") + arc(0, 0, 5, "0", "nan") +
                                       Groups{{0, "ARC"}, {10, "0"}, {20, "0"}, {40, "5"}, {50, "0"}}));
    EXPECT_TRUE(dropped.open_chains.empty());

    // Angles a billion turns apart: the end angle is moved in one step.
    const auto far = read(entities(arc(0, 0, 10, "360000000000", "0") + arc(0, 0, 10, "1e300", "-1e300") +
                                   arc(0, 0, 10, "1e17", "0")));
    ASSERT_GE(far.open_chains.size(), 1u);
    const auto& chain = far.open_chains[0];
    EXPECT_GE(chain.size(), 5u);
    EXPECT_NEAR(chain.front().x, 10.0, 1e-6);  // 360000000000 degrees is a whole number of turns
    for (const auto& c : far.open_chains) EXPECT_LE(c.size(), 129u);
}

// ---- CIRCLE -------------------------------------------------------------------

TEST(DxfCircle, SegmentCountsAndClosingPoint) {
    const struct {
        double r;
        double tol;
        std::size_t points;
    } cases[] = {{1, 2.0, 25}, {1000, 2.0, 257}, {10, 2.0, 33}, {10, 0.01, 257}, {3, 0.05, 190}};
    for (const auto& c : cases) {
        const auto g = read(entities(circle(1, 2, c.r)), c.tol);
        ASSERT_EQ(g.contours.size(), 1u);
        const auto& ring = g.contours[0].ring;
        EXPECT_EQ(ring.size(), c.points) << c.r;
        EXPECT_EQ(ring.front().x, ring.back().x);
        EXPECT_EQ(ring.front().y, ring.back().y);
        EXPECT_EQ(ring.front().x, 1 + c.r);
        const double n = static_cast<double>(c.points - 1);
        EXPECT_NEAR(g.contours[0].area, 0.5 * n * c.r * c.r * std::sin(2 * 3.141592653589793 / n), 1e-6 * c.r * c.r);
    }
    EXPECT_TRUE(read(entities(circle(0, 0, 0) + circle(0, 0, -2))).contours.empty());
}

// ---- LWPOLYLINE ---------------------------------------------------------------

TEST(DxfLwpolyline, OnlyClosedPolylinesWithAreaBecomeContours) {
    const std::vector<std::pair<double, double>> square{{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    // A y or a bulge before any x belongs to no vertex: ignored unread.
    Groups y_first{{0, "LWPOLYLINE"}, {70, "1"}, {20, "99"}, {20, "abc"}, {42, "abc"}, {42, "1"}};
    y_first = y_first + Groups{{10, "0"}, {20, "0"}, {10, "4"}, {20, "0"}, {10, "4"}, {10, "0"}, {20, "3"}};
    Groups bad_flags = closed_lwpolyline(square);
    bad_flags[2].second = "closed";
    const auto g = read(entities(closed_lwpolyline(square, 129) + closed_lwpolyline(square, 0) +
                                 closed_lwpolyline({{0, 0}, {5, 5}}) + y_first +
                                 closed_lwpolyline({{0, 0}, {5, 0}, {10, 0}}) + bad_flags +
                                 closed_lwpolyline({{0, 0}, {5, 0}, {10, 0}, {10, 10}, {0, 10}})));
    ASSERT_EQ(g.contours.size(), 3u);
    EXPECT_EQ(g.contours[0].area, 100.0);
    EXPECT_EQ(g.contours[0].ring.size(), 5u);  // closed
    // Vertex (4, 0) then (4, 0) pending x=4 with y 0, then (0, 3): a right triangle.
    EXPECT_EQ(g.contours[1].area, 6.0);
    EXPECT_EQ(g.contours[2].ring.size(), 5u);  // collinear (5, 0) removed
    EXPECT_EQ(g.contours[2].area, 100.0);
    EXPECT_TRUE(g.open_chains.empty());  // an open polyline is not a chain
}

TEST(DxfLwpolyline, BulgedSegmentIsFlattenedLikeTheArcEntityOfItsRadiusAndSweep) {
    // A pie: the arc from A to B, then straight to the centre and back to A.
    // The arc is the first segment, or the closing one (vertices B, C, A).
    const struct {
        double cx, cy, r, start, sweep;  // degrees; a negative sweep runs clockwise
        double tol;
        bool closing;
    } cases[] = {
        {5, -5, 100, 0, 90, 2.0, false},     // 79 segments, as the ARC entity gets
        {0, 0, 20, 180, -180, 2.0, false},   // clockwise half circle
        {3, 4, 20, 30, 180, 2.0, true},      // on the closing segment
        {0, 0, 10, 10, 350, 2.0, false},     // nearly a full circle
        {-7, 2, 10, 200, -350, 2.0, true},   // the same clockwise, closing
        {0, 0, 0.5, 0, 90, 2.0, false},      // at least 4 segments
        {0, 0, 1, 45, 90, 0.05, false},      // tolerance below 0.1 acts as 0.1
        {0, 0, 1000, 0, 90, 2.0, false},     // at most 128 segments
        {0, 0, 1e5, 300, 0.01, 2.0, false},  // nearly straight, an enormous radius
    };
    const double deg = 3.141592653589793 / 180.0;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "start " << c.start << " sweep " << c.sweep);
        const double a0 = c.start * deg;
        const double a1 = (c.start + c.sweep) * deg;
        const geom::Point A{c.cx + c.r * std::cos(a0), c.cy + c.r * std::sin(a0)};
        const geom::Point B{c.cx + c.r * std::cos(a1), c.cy + c.r * std::sin(a1)};
        const geom::Point C{c.cx, c.cy};
        const std::string bulge = exact(std::tan(c.sweep * deg / 4.0));
        const Groups a{{10, exact(A.x)}, {20, exact(A.y)}, {42, bulge}};
        const Groups b{{10, exact(B.x)}, {20, exact(B.y)}};
        const Groups centre{{10, exact(C.x)}, {20, exact(C.y)}};
        const Groups head{{0, "LWPOLYLINE"}, {70, "1"}};
        const Groups pie = c.closing ? head + b + centre + a : head + a + b + centre;
        // The ARC entity of the same circle, always counter-clockwise.
        const double lo = c.sweep > 0 ? c.start : c.start + c.sweep;
        const Groups arc_entity = arc(c.cx, c.cy, c.r, exact(lo), exact(lo + std::abs(c.sweep)));
        const auto g = read(entities(pie + arc_entity), c.tol);
        ASSERT_EQ(g.contours.size(), 1u);
        ASSERT_EQ(g.open_chains.size(), 1u);
        std::vector<geom::Point> want(g.open_chains[0].begin() + 1, g.open_chains[0].end() - 1);
        if (c.sweep < 0) std::reverse(want.begin(), want.end());
        // The arc's points, in the polyline's direction: everything but the
        // three vertices.
        std::vector<geom::Point> got;
        for (const auto& p : g.contours[0].ring) {
            const bool vertex = geom::point_distance(p, A) == 0.0 || geom::point_distance(p, B) == 0.0 ||
                                geom::point_distance(p, C) == 0.0;
            if (!vertex) got.push_back(p);
        }
        ASSERT_EQ(got.size(), want.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_NEAR(got[i].x, want[i].x, 1e-9 * c.r) << i;
            EXPECT_NEAR(got[i].y, want[i].y, 1e-9 * c.r) << i;
            EXPECT_NEAR(geom::point_distance(got[i], C), c.r, 1e-12 * c.r) << i;
        }
    }
}

TEST(DxfLwpolyline, BulgeSignsCirclesAndDegenerateBulges) {
    constexpr double pi = 3.141592653589793;
    const std::string tan_eighth = exact(std::tan(pi / 8.0));  // bulge of a quarter circle
    const Groups head{{0, "LWPOLYLINE"}, {70, "1"}};
    struct Case {
        const char* what;
        Groups vertices;
        double area;   // -1: dropped
        double sweep;  // total sweep of the arcs, radians
    };
    const Case cases[] = {
        // 100 x 40 obround: half circles of radius 20 on the segment
        // (80, 0)-(80, 40) and on the closing one (20, 40)-(20, 0).
        {"obround", {{10, "20"}, {20, "0"}, {10, "80"}, {20, "0"}, {42, "1"}, {10, "80"}, {20, "40"},
                     {10, "20"}, {20, "40"}, {42, "1"}},
         2400 + pi * 400, 2 * pi},
        // A clockwise square: its top bites in by a half circle (positive
        // bulge), its right side swells out by a quarter circle (negative).
        {"signs", {{10, "0"}, {20, "0"}, {10, "0"}, {20, "20"}, {42, "1"}, {10, "20"}, {20, "20"},
                   {42, "-" + tan_eighth}, {10, "20"}, {20, "0"}},
         400 - pi * 50 + 100 * (pi / 2 - 1), pi * 1.5},
        // A circle drawn as two vertices with half-circle bulges.
        {"two-vertex circle", {{10, "-10"}, {20, "0"}, {42, "1"}, {10, "10"}, {20, "0"}, {42, "1"}},
         pi * 100, 2 * pi},
        // Without bulges two vertices enclose nothing.
        {"two vertices", {{10, "-10"}, {20, "0"}, {10, "10"}, {20, "0"}}, -1, 0},
        // Bulges on zero-length segments (a repeated vertex, and a last
        // vertex that repeats the first) leave the square as it is.
        {"zero-length segments", {{10, "0"}, {20, "0"}, {10, "10"}, {20, "0"}, {42, "1"}, {10, "10"}, {20, "0"},
                                  {10, "10"}, {20, "10"}, {10, "0"}, {20, "10"}, {10, "0"}, {20, "0"}, {42, "3"}},
         100, 0},
        // The last bulge given for a vertex counts: a clockwise quarter
        // circle (radius sqrt(50)) from (0, 0) to (10, 0), into the square.
        {"last bulge counts", {{10, "0"}, {20, "0"}, {42, "1"}, {42, "-" + tan_eighth}, {10, "10"}, {20, "0"},
                               {10, "10"}, {20, "10"}, {10, "0"}, {20, "10"}},
         100 - 25 * (pi / 2 - 1), pi / 2},
        // Bulges too small to leave their chords: straight segments.
        {"tiny bulges", {{10, "0"}, {20, "0"}, {42, "1e-300"}, {10, "10"}, {20, "0"}, {10, "10"}, {20, "10"},
                         {42, "-2.3e-308"}, {10, "0"}, {20, "10"}},
         100, 0},
        {"nan bulge", {{10, "0"}, {20, "0"}, {42, "nan"}, {10, "10"}, {20, "0"}, {10, "10"}, {20, "10"}}, -1, 0},
        {"infinite bulge", {{10, "0"}, {20, "0"}, {10, "10"}, {20, "0"}, {42, "-inf"}, {10, "10"}, {20, "10"}}, -1, 0},
        {"bulge not a number", {{10, "0"}, {20, "0"}, {10, "10"}, {20, "0"}, {10, "10"}, {20, "10"}, {42, "abc"}},
         -1, 0},
        // A bulge of 1e300 on a chord of 1e10 puts points beyond the doubles.
        {"bulge beyond the doubles", {{10, "0"}, {20, "0"}, {42, "1e300"}, {10, "1e10"}, {20, "0"}, {10, "0"},
                                      {20, "1e10"}},
         -1, 0},
    };
    const double tol = 2.0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto g = read(entities(head + c.vertices), tol);
        if (c.area < 0) {
            EXPECT_TRUE(g.contours.empty());
            continue;
        }
        ASSERT_EQ(g.contours.size(), 1u);
        // Chords of at most the curve tolerance stray from an arc of radius r
        // by at most tol^2 / (8 r) over its length r * sweep.
        EXPECT_NEAR(g.contours[0].area, c.area, c.sweep * tol * tol / 8.0);
        if (c.sweep == 0) {
            EXPECT_EQ(g.contours[0].area, c.area);
            EXPECT_EQ(g.contours[0].ring.size(), 5u);
        }
    }
}

TEST(DxfLwpolyline, HugeBulgesStayBounded) {
    // Every segment of a long polyline carries a bulge of a million: each arc
    // is nearly a full turn of a circle whose radius is 250000 chords, and
    // still flattened into at most 128 segments.
    Groups g{{0, "LWPOLYLINE"}, {70, "1"}};
    for (int i = 0; i < 200; ++i) {
        g.push_back({10, std::to_string(i)});
        g.push_back({20, std::to_string((i * 37) % 11)});
        g.push_back({42, i % 2 ? "1e6" : "-1e6"});
    }
    const auto read_back = read(entities(g), 0.01);
    ASSERT_EQ(read_back.contours.size(), 1u);
    EXPECT_LE(read_back.contours[0].ring.size(), 200u * 128u + 1u);
}

TEST(DxfLwpolyline, EzdxfBulgedDrawingsReadOnTheirTrueOutlines) {
    // The outlines as ezdxf explodes the drawings' polylines into lines and
    // arcs (counter-clockwise from start to end angle).
    struct Segment {
        bool arc;
        double v[5];
    };
    std::map<std::string, std::vector<Segment>> outlines;
    std::vector<std::string> rows;
    ASSERT_NO_FATAL_FAILURE(plv::test::read_table_rows("bulge_outlines.tsv", rows));
    for (const std::string& row : rows) {
        std::istringstream f(row);
        std::string file, kind;
        Segment s{};
        f >> file >> kind;
        s.arc = kind == "ARC";
        for (int i = 0; i < (s.arc ? 5 : 4); ++i) f >> s.v[i];
        outlines[file].push_back(s);
    }
    ASSERT_EQ(outlines.size(), 3u);
    constexpr double deg = 3.141592653589793 / 180.0;
    for (const auto& [file, segments] : outlines) {
        SCOPED_TRACE(file);
        const auto g = plv::read_dxf_file(plv::test::data_dir() / file, plv::DxfImportSettings{});
        std::vector<int> inside(segments.size(), 0);  // points strictly inside each arc
        for (const auto& contour : g.contours) {
            for (const auto& p : contour.ring) {
                bool on_outline = false;
                for (std::size_t k = 0; k < segments.size(); ++k) {
                    const double* v = segments[k].v;
                    if (!segments[k].arc) {
                        on_outline |= geom::point_segment_distance(p, {v[0], v[1]}, {v[2], v[3]}) <= 1e-9;
                        continue;
                    }
                    if (std::abs(std::hypot(p.x - v[0], p.y - v[1]) - v[2]) > 1e-9) continue;
                    // Angle from the start angle, counter-clockwise, in [0, 360).
                    const double from_start = std::fmod(angle_deg(p, v[0], v[1]) - v[3] + 720.0, 360.0);
                    const double sweep = std::fmod(v[4] - v[3] + 720.0, 360.0);
                    const double slack = 1e-9 / (v[2] * deg);
                    if (from_start <= sweep + slack || from_start >= 360.0 - slack) on_outline = true;
                    if (from_start > slack && from_start < sweep - slack) ++inside[k];
                }
                EXPECT_TRUE(on_outline) << "(" << p.x << ", " << p.y << ") off the drawn outline";
            }
        }
        for (std::size_t k = 0; k < segments.size(); ++k) {
            if (segments[k].arc) {
                EXPECT_GE(inside[k], 3) << "arc " << k << " read as its chord";
            }
        }
    }
}

// ---- SPLINE -------------------------------------------------------------------

TEST(DxfSpline, ClampedUniformKnotsWhenTheFileHasTooFew) {
    const std::vector<std::pair<double, double>> pts{{0, 0}, {10, 20}, {30, 20}, {40, 0}};
    const auto none = read(entities(spline(pts, {})));
    const auto few = read(entities(spline(pts, {"0", "5", "7"})));
    const auto given = read(entities(spline(pts, {"0", "0", "0", "0", "1", "1", "1", "1"})));
    ASSERT_EQ(none.open_chains.size(), 1u);
    ASSERT_EQ(few.open_chains.size(), 1u);
    ASSERT_EQ(given.open_chains.size(), 1u);
    const auto& c = none.open_chains[0];
    EXPECT_EQ(c.size(), 55u);  // control polygon 64.7 long, steps of 1.2: 54 segments
    EXPECT_EQ(c.front().x, 0.0);
    EXPECT_EQ(c.back().x, 40.0);  // exactly the last control point
    EXPECT_EQ(c.back().y, 0.0);
    for (std::size_t i = 0; i < c.size(); ++i) {
        EXPECT_EQ(c[i].x, few.open_chains[0][i].x);
        EXPECT_EQ(c[i].y, given.open_chains[0][i].y);
    }
    // Bezier midpoint of this cubic: (0 + 3*10 + 3*30 + 40) / 8, (3*20 + 3*20) / 8.
    EXPECT_NEAR(c[27].x, 20.0, 1e-9);
    EXPECT_NEAR(c[27].y, 15.0, 1e-9);
}

TEST(DxfSpline, DegreeAndDegenerateCases) {
    // Two control points with degree 3: p = 1, a straight segment.
    const auto seg = read(entities(spline({{0, 0}, {100, 50}}, {}, 3)));
    ASSERT_EQ(seg.open_chains.size(), 1u);
    for (const auto& p : seg.open_chains[0]) EXPECT_NEAR(p.y, p.x / 2, 1e-9);
    EXPECT_EQ(seg.open_chains[0].size(), 95u);  // 111.8 / 1.2 rounded up, plus one
    // Degree 0 acts as 1: the control polygon itself.
    const auto poly = read(entities(spline({{0, 0}, {10, 0}, {10, 10}}, {}, 0)));
    ASSERT_EQ(poly.open_chains.size(), 1u);
    for (const auto& p : poly.open_chains[0]) EXPECT_TRUE(p.y == 0.0 || p.x == 10.0);
    // Coinciding control points: one retained sample, dropped; one point: dropped.
    const auto same = read(entities(spline({{5, 5}, {5, 5}, {5, 5}, {5, 5}}, {}) + spline({{1, 1}}, {})));
    EXPECT_TRUE(same.open_chains.empty());
    // A y before any x belongs to no control point: passed over unread.
    Groups y_first = spline({{0, 0}, {10, 20}, {30, 20}, {40, 0}}, {});
    y_first.insert(y_first.begin() + 2, {20, "abc"});
    EXPECT_EQ(read(entities(y_first)).open_chains.size(), 1u);
    // A bad knot drops the spline; the LINE after it is still read.
    const auto bad = read(entities(spline({{0, 0}, {10, 20}, {30, 20}, {40, 0}}, {"0", "abc"}) + line(1, 1, 2, 2)));
    ASSERT_EQ(bad.open_chains.size(), 1u);
    EXPECT_EQ(bad.open_chains[0].size(), 2u);
    // Knots that give no parameter range drop the spline.
    EXPECT_TRUE(read(entities(spline({{0, 0}, {10, 20}, {30, 20}, {40, 0}},
                                     {"1", "1", "1", "1", "1", "1", "1", "1"})))
                    .open_chains.empty());
}

TEST(DxfSpline, DegreeIsBoundedSoHugeSplinesCannotStallALoad) {
    std::vector<std::pair<double, double>> pts;
    for (int i = 0; i < 3000; ++i) pts.push_back({i * 1.0, (i % 7) * 1.0});
    // Effective degree 2999: dropped. Degree 25 with the same points: read.
    EXPECT_TRUE(read(entities(spline(pts, {}, 100000))).open_chains.empty());
    const auto ok = read(entities(spline(pts, {}, plv::kMaxSplineDegree)));
    ASSERT_EQ(ok.open_chains.size(), 1u);
    EXPECT_EQ(ok.open_chains[0].size(), 901u);
    // A huge code 71 on a small spline is just min(degree, n - 1).
    EXPECT_EQ(read(entities(spline({{0, 0}, {10, 20}, {30, 20}, {40, 0}}, {}, 99))).open_chains.size(), 1u);
}

TEST(DxfSpline, MatchesEzdxfOnARealDrawing) {
    const auto g = plv::read_dxf_file(plv::test::data_dir() / "dxfp__splines.dxf", plv::DxfImportSettings{});
    ASSERT_EQ(g.open_chains.size(), 2u);
    std::vector<std::string> rows;
    ASSERT_NO_FATAL_FAILURE(plv::test::read_table_rows("dxfp__splines_points.tsv", rows));
    int checked = 0;
    for (const std::string& row : rows) {
        std::istringstream fields(row);
        int k = 0;
        double t = 0, x = 0, y = 0;
        fields >> k >> t >> x >> y;
        const auto& chain = g.open_chains[static_cast<std::size_t>(k)];
        ASSERT_EQ(chain.size(), 901u);
        // Rows are every 50th sample.
        const std::size_t i = static_cast<std::size_t>(checked % 19) * 50;
        EXPECT_NEAR(chain[i].x, x, 1e-6) << k << " t=" << t;
        EXPECT_NEAR(chain[i].y, y, 1e-6) << k << " t=" << t;
        ++checked;
    }
    EXPECT_EQ(checked, 38);
}

TEST(DxfSpline, EvaluateBsplineEdgeCases) {
    const std::vector<geom::Point> pts{{0, 0}, {10, 20}, {30, 20}, {40, 0}};
    const std::vector<double> knots{0, 0, 0, 0, 1, 1, 1, 1};
    EXPECT_EQ(plv::evaluate_bspline(0.5, {}, knots, 3).x, 0.0);
    EXPECT_EQ(plv::evaluate_bspline(0.5, pts, knots, 0).x, 0.0);
    EXPECT_EQ(plv::evaluate_bspline(0.5, {{7, 8}}, knots, 3).y, 8.0);
    EXPECT_EQ(plv::evaluate_bspline(1.0, pts, knots, 3).x, 40.0);
    EXPECT_EQ(plv::evaluate_bspline(5.0, pts, knots, 3).x, 40.0);
    EXPECT_NEAR(plv::evaluate_bspline(0.5, pts, knots, 3).x, 20.0, 1e-12);
    // Before the range: the first span, blending factors clamped to 0.
    EXPECT_EQ(plv::evaluate_bspline(-1.0, pts, knots, 3).x, 0.0);
    // Unsorted knots take the first matching span.
    const std::vector<double> odd{0, 0, 0, 0, 0.7, 0.2, 1, 1, 1};
    const auto p = plv::evaluate_bspline(0.3, {{0, 0}, {10, 20}, {30, 20}, {40, 0}, {50, 5}}, odd, 3);
    EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
}

// ---- Files --------------------------------------------------------------------

TEST(DxfFile, MissingFileFailsAndEmptyFileGivesNothing) {
    plv::test::TempDir dir;
    const auto missing = dir.path() / "none.dxf";
    try {
        plv::read_dxf_file(missing, plv::DxfImportSettings{});
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open DXF: " + plv::path_to_utf8(missing));
    }
    const auto empty = plv::read_dxf_file(dir.write("empty.dxf", ""), plv::DxfImportSettings{});
    EXPECT_TRUE(empty.open_chains.empty());
    EXPECT_TRUE(empty.contours.empty());
    const auto g = plv::read_dxf_file(dir.write("one.dxf", entities(circle(0, 0, 10))), plv::DxfImportSettings{});
    EXPECT_EQ(g.contours.size(), 1u);
}

// A file is read in blocks; what it yields must not depend on where a block
// ends: inside a number, between the two lines of a pair, inside a group
// longer than several blocks, at a CR LF, or in a last line without its line
// feed.
TEST(DxfFile, ReadInBlocksLikeTheWholeText) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> coordinate(-500.0, 500.0);
    Groups g;
    auto add = [&g](const Groups& entity) { g.insert(g.end(), entity.begin(), entity.end()); };
    for (int i = 0; i < 20000; ++i) {
        const double x = coordinate(rng);
        const double y = coordinate(rng);
        add(i % 3 == 0 ? circle(x, y, 1.0 + i % 7) : line(x, y, x + 3.0, y - 2.0));
        if (i == 7000) {
            // A polyline of some 2 MB: one group over three blocks.
            std::vector<std::pair<double, double>> points;
            for (int k = 0; k < 80000; ++k) points.push_back({std::cos(k * 1e-4) * 1e4, std::sin(k * 1e-4) * 1e4});
            add(closed_lwpolyline(points));
        }
    }
    std::string text = dxf_text(g);
    ASSERT_GT(text.size(), std::size_t{3} << 20);
    std::string crlf;
    for (char c : text) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    crlf += "  0\nCIRCLE\n 10\n1\n 20\n2\n 40\n3";  // no line feed at the end
    auto same = [](const geom::Ring& a, const geom::Ring& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                          [](const geom::Point& p, const geom::Point& q) { return p.x == q.x && p.y == q.y; });
    };
    plv::test::TempDir dir;
    for (const std::string* t : {&text, &crlf}) {
        const plv::DxfFileGeometry whole = plv::read_dxf_text(*t, plv::DxfImportSettings{});
        const plv::DxfFileGeometry blocks = plv::read_dxf_file(dir.write("big.dxf", *t), plv::DxfImportSettings{});
        ASSERT_EQ(blocks.open_chains.size(), whole.open_chains.size());
        ASSERT_EQ(blocks.contours.size(), whole.contours.size());
        EXPECT_GT(whole.contours.size(), 6000u);
        for (std::size_t i = 0; i < whole.open_chains.size(); ++i) {
            ASSERT_TRUE(same(blocks.open_chains[i], whole.open_chains[i])) << "chain " << i;
        }
        for (std::size_t i = 0; i < whole.contours.size(); ++i) {
            ASSERT_TRUE(same(blocks.contours[i].ring, whole.contours[i].ring)) << "contour " << i;
        }
    }
}
