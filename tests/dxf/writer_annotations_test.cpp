#include "dxf/annotations.hpp"

#include "writer_support.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace {

using geom::Point;
using plv::Annotation;
namespace Kind = plv::AnnotationKind;
using writer_test::capture;
using writer_test::Entity;
using writer_test::entities_of;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

std::vector<Entity> written(const Annotation& a) {
    const auto entities = entities_of(capture([&](std::ostream& out) { plv::write_annotation(out, a); }));
    for (const Entity& e : entities) EXPECT_EQ(e.layer, "ANNOTATION") << e.type;
    return entities;
}

Annotation item(std::uint32_t kind, Point p0, Point p1 = {}, Point p2 = {}, std::string text = {}) {
    Annotation a;
    a.kind = kind;
    a.p0 = p0;
    a.p1 = p1;
    a.p2 = p2;
    a.text = std::move(text);
    return a;
}

void expect_line(const Entity& e, double x0, double y0, double x1, double y1) {
    ASSERT_EQ(e.type, "LINE");
    EXPECT_NEAR(e.real(10), x0, 1e-9);
    EXPECT_NEAR(e.real(20), y0, 1e-9);
    EXPECT_NEAR(e.real(11), x1, 1e-9);
    EXPECT_NEAR(e.real(21), y1, 1e-9);
}

TEST(AnnotationExport, DimensionIsDrawnFromLinesAndOneText) {
    const struct {
        const char* what;
        Point p2;
        double u;  // offset of the dimension line along n = (0, 1)
    } cases[] = {
        {"text position above", {50, 30}, 30},
        {"offset below 1 pushed to -15", {50, -0.5}, -15},
        {"offset 0.5 pushed to 15", {50, 0.5}, 15},
        {"default position", {0, 0}, 15},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto e = written(item(Kind::dimension, {0, 0}, {100, 0}, c.p2));
        ASSERT_EQ(e.size(), 8u);
        const double over = c.u < 0 ? c.u - 4 : c.u + 4;
        expect_line(e[0], 0, 0, 0, over);
        expect_line(e[1], 100, 0, 100, over);
        expect_line(e[2], 0, c.u, 100, c.u);
        expect_line(e[3], 0, c.u, 8, c.u + 3);
        expect_line(e[4], 0, c.u, 8, c.u - 3);
        expect_line(e[5], 100, c.u, 92, c.u + 3);
        expect_line(e[6], 100, c.u, 92, c.u - 3);
        ASSERT_EQ(e[7].type, "TEXT");
        EXPECT_EQ(e[7].text(1), "100.0 mm");
        EXPECT_NEAR(e[7].real(10), 50, 1e-9);
        EXPECT_NEAR(e[7].real(20), c.u + 4, 1e-9);
        EXPECT_EQ(e[7].text(40), "10.000000");
    }
}

TEST(AnnotationExport, DimensionTexts) {
    EXPECT_EQ(written(item(Kind::dimension, {0, 0}, {99.96, 0}, {50, 30})).back().text(1), "100.0 mm");
    EXPECT_EQ(written(item(Kind::dimension, {0, 0}, {12.34, 0})).back().text(1), "12.3 mm");
    EXPECT_EQ(written(item(Kind::dimension, {0, 0}, {100, 0}, {50, 30}, "R 50")).back().text(1), "R 50");
    EXPECT_TRUE(written(item(Kind::dimension, {0, 0}, {5e-7, 0}, {50, 30})).empty());
    // A NaN end leaves nothing finite to draw; nothing reads "nan".
    EXPECT_TRUE(written(item(Kind::dimension, {0, 0}, {kNaN, 0}, {50, 30})).empty());
}

TEST(AnnotationExport, DimensionFollowsItsDirection) {
    // Upwards: n points to -x, so the default offset puts the line at x = -15.
    const auto e = written(item(Kind::dimension, {0, 0}, {0, 50}));
    ASSERT_EQ(e.size(), 8u);
    expect_line(e[2], -15, 0, -15, 50);
    EXPECT_NEAR(e[7].real(10), -19, 1e-9);
    EXPECT_NEAR(e[7].real(20), 25, 1e-9);
}

TEST(AnnotationExport, ArcsRunCounterClockwise) {
    const struct {
        const char* what;
        Point start, end, through;
        double cx, cy, r, a50, a51;
    } cases[] = {
        {"upper half drawn counter-clockwise", {10, 0}, {-10, 0}, {0, 10}, 0, 0, 10, 0, 180},
        {"upper half drawn clockwise", {-10, 0}, {10, 0}, {0, 10}, 0, 0, 10, 0, 180},
        {"lower half", {10, 0}, {-10, 0}, {0, -10}, 0, 0, 10, 180, 0},
        {"quarter off the origin", {15, 5}, {5, 15}, {5 + 10 * 0.7071067811865476, 5 + 10 * 0.7071067811865476}, 5, 5, 10, 0, 90},
        // Through (-5, 5): from the end at 90 round to the start at 0.
        {"three quarters", {15, 5}, {5, 15}, {-5, 5}, 5, 5, 10, 90, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto e = written(item(Kind::arc, c.start, c.end, c.through));
        ASSERT_EQ(e.size(), 1u);
        ASSERT_EQ(e[0].type, "ARC");
        EXPECT_NEAR(e[0].real(10), c.cx, 1e-6);
        EXPECT_NEAR(e[0].real(20), c.cy, 1e-6);
        EXPECT_NEAR(e[0].real(40), c.r, 1e-6);
        EXPECT_NEAR(e[0].real(50), c.a50, 1e-6);
        EXPECT_NEAR(e[0].real(51), c.a51, 1e-6);
    }
}

TEST(AnnotationExport, DegenerateOrNonFiniteArcsAreSkipped) {
    const struct {
        const char* what;
        Point start, end, through;
    } cases[] = {
        {"collinear", {0, 0}, {10, 0}, {5, 0}},
        {"coinciding", {3, 3}, {3, 3}, {3, 3}},
        {"NaN through point", {10, 0}, {-10, 0}, {kNaN, 10}},
        {"infinite start", {kInf, 0}, {-10, 0}, {0, 10}},
        {"centre overflows", {-1e300, 0}, {1e300, 0}, {0, 1e-280}},
    };
    for (const auto& c : cases) {
        const std::string text = capture([&](std::ostream& out) { plv::write_annotation(out, item(Kind::arc, c.start, c.end, c.through)); });
        EXPECT_EQ(text, "") << c.what;
        EXPECT_EQ(text.find("nan"), std::string::npos) << c.what;
        EXPECT_EQ(text.find("inf"), std::string::npos) << c.what;
    }
}

TEST(AnnotationExport, LinesRectanglesCirclesTextsPolylines) {
    expect_line(written(item(Kind::line, {1, 2}, {3, 4})).at(0), 1, 2, 3, 4);

    const auto rect = written(item(Kind::rectangle, {0, 0}, {20, 10}));
    ASSERT_EQ(rect.size(), 4u);
    expect_line(rect[0], 0, 0, 20, 0);
    expect_line(rect[1], 20, 0, 20, 10);
    expect_line(rect[2], 20, 10, 0, 10);
    expect_line(rect[3], 0, 10, 0, 0);
    EXPECT_TRUE(written(item(Kind::rectangle, {5, 5}, {5, 5})).empty());
    const auto flat = written(item(Kind::rectangle, {0, 0}, {20, 0}));
    ASSERT_EQ(flat.size(), 2u);
    expect_line(flat[0], 0, 0, 20, 0);
    expect_line(flat[1], 20, 0, 0, 0);

    const auto circle = written(item(Kind::circle, {10, -5}, {13, -1}));
    ASSERT_EQ(circle.size(), 1u);
    EXPECT_EQ(circle[0].type, "CIRCLE");
    EXPECT_EQ(circle[0].text(10), "10.000000");
    EXPECT_EQ(circle[0].text(20), "-5.000000");
    EXPECT_EQ(circle[0].text(40), "5.000000");
    EXPECT_TRUE(written(item(Kind::circle, {10, -5}, {10, -5})).empty());
    EXPECT_TRUE(written(item(Kind::circle, {kNaN, 0}, {1, 1})).empty());
    EXPECT_TRUE(written(item(Kind::circle, {0, 0}, {kInf, 1})).empty());

    const auto text = written(item(Kind::text, {7, 8}, {}, {}, "Corte\r\nA"));
    ASSERT_EQ(text.size(), 1u);
    EXPECT_EQ(text[0].text(1), "Corte  A");
    EXPECT_EQ(text[0].text(40), "12.000000");

    Annotation poly = item(Kind::polyline, {});
    poly.points = {{0, 0}, {10, 0}, {10, 10}};
    const auto lines = written(poly);
    ASSERT_EQ(lines.size(), 2u) << "open: the last point is not joined to the first";
    expect_line(lines[0], 0, 0, 10, 0);
    expect_line(lines[1], 10, 0, 10, 10);
    poly.points = {{0, 0}};
    EXPECT_TRUE(written(poly).empty());

    EXPECT_TRUE(written(item(7, {0, 0}, {10, 10}, {5, 0}, "x")).empty());
}

}  // namespace
