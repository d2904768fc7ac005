#include "dxf/dxf_groups.hpp"

#include "writer_support.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using geom::Point;
using geom::Ring;
using writer_test::capture;
using writer_test::entities_of;
using writer_test::Group;
using writer_test::parse_groups;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(DxfGroups, RealsAreFixedWithSixDecimals) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {3000.0, "3000.000000"},
        {-2.5, "-2.500000"},
        {-12.5, "-12.500000"},
        {1.0 / 3.0, "0.333333"},
        {2.0 / 3.0, "0.666667"},
        {0.0, "0.000000"},
        {1e-7, "0.000000"},
        {123456789.125, "123456789.125000"},
        {1e20, "100000000000000000000.000000"},
        {-0.0000004, "-0.000000"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(plv::format_dxf_real(c.value), c.text) << c.value;
    }
}

TEST(DxfGroups, GroupIsCodeLineThenValueLineWithCrLf) {
    const std::string text = capture([](std::ostream& out) {
        plv::write_group(out, 999, "Created");
        plv::write_int_group(out, 70, -3);
        plv::write_real_group(out, 10, -12.5);
        plv::write_group(out, 4, "");
    });
    EXPECT_EQ(text, "999\r\nCreated\r\n70\r\n-3\r\n10\r\n-12.500000\r\n4\r\n\r\n");
}

TEST(DxfGroups, HandlesAreOffByDefault) {
    plv::dxf_handle_state() = plv::DxfHandleState{};
    EXPECT_EQ(plv::dxf_handle_state().next_handle, 16);
    EXPECT_FALSE(plv::dxf_handle_state().write_handles);
    EXPECT_EQ(capture([](std::ostream& out) { plv::write_layer(out, "PARTS", 7); }),
              "0\r\nLAYER\r\n2\r\nPARTS\r\n70\r\n0\r\n62\r\n7\r\n6\r\nContinuous\r\n");
}

TEST(DxfGroups, PolylineRecordLayout) {
    const std::string text = capture([](std::ostream& out) {
        plv::write_polyline(out, Ring{{0, 0}, {10, 0}, {10, -5.5}}, "HOLES");
    });
    EXPECT_EQ(text,
              "0\r\nPOLYLINE\r\n8\r\nHOLES\r\n66\r\n1\r\n70\r\n1\r\n10\r\n0.0\r\n20\r\n0.0\r\n30\r\n0.0\r\n"
              "0\r\nVERTEX\r\n8\r\nHOLES\r\n10\r\n0.000000\r\n20\r\n0.000000\r\n30\r\n0.0\r\n"
              "0\r\nVERTEX\r\n8\r\nHOLES\r\n10\r\n10.000000\r\n20\r\n0.000000\r\n30\r\n0.0\r\n"
              "0\r\nVERTEX\r\n8\r\nHOLES\r\n10\r\n10.000000\r\n20\r\n-5.500000\r\n30\r\n0.0\r\n"
              "0\r\nSEQEND\r\n8\r\nHOLES\r\n");
}

TEST(DxfGroups, PreparedRings) {
    const Ring square{{0, 0}, {100, 0}, {100, 100}, {0, 100}};
    const struct {
        const char* what;
        Ring ring;
        std::size_t points;
    } cases[] = {
        {"closed square of five points", Ring{{0, 0}, {100, 0}, {100, 100}, {0, 100}, {0, 0}}, 4},
        {"the same square given open", square, 4},
        {"points 5e-7 apart count once", Ring{{0, 0}, {100, 0}, {100, 5e-7}, {100, 100}, {0, 100}}, 4},
        {"last point 5e-7 from the first", Ring{{0, 0}, {100, 0}, {100, 100}, {0, 100}, {5e-7, 0}}, 4},
        {"non-finite points dropped", Ring{{0, 0}, {kNaN, 5}, {100, 0}, {100, kInf}, {100, 100}, {0, 100}}, 4},
        {"three collinear points", Ring{{0, 0}, {50, 0}, {100, 0}}, 0},
        {"two points", Ring{{0, 0}, {100, 0}}, 0},
        {"empty ring", Ring{}, 0},
        {"area 1e-6 or less", Ring{{0, 0}, {1e-3, 0}, {1e-3, 1e-3}}, 0},
        {"area just above 1e-6", Ring{{0, 0}, {2e-3, 0}, {2e-3, 2e-3}}, 3},
        {"only two finite points", Ring{{0, 0}, {kNaN, kNaN}, {100, 0}}, 0},
    };
    for (const auto& c : cases) {
        const std::vector<Point> prepared = plv::prepare_export_ring(c.ring);
        EXPECT_EQ(prepared.size(), c.points) << c.what;
        const auto entities = entities_of(capture([&](std::ostream& out) { plv::write_polyline(out, c.ring, "PARTS"); }));
        if (c.points == 0) {
            EXPECT_TRUE(entities.empty()) << c.what;
        } else {
            ASSERT_EQ(entities.size(), 1u) << c.what;
            EXPECT_EQ(entities[0].vertices.size(), c.points) << c.what;
        }
    }
    // The kept points are the ring's own, in order, without the closing one.
    const std::vector<Point> prepared = plv::prepare_export_ring(Ring{{0, 0}, {100, 0}, {100, 100}, {0, 0}});
    ASSERT_EQ(prepared.size(), 3u);
    EXPECT_EQ(prepared[1].x, 100.0);
    EXPECT_EQ(prepared[2].y, 100.0);
}

TEST(DxfGroups, TextRecordAndItsSkipRules) {
    EXPECT_EQ(capture([](std::ostream& out) { plv::write_text(out, Point{1.5, -2}, 24, "Sheet 1", "SHEET"); }),
              "0\r\nTEXT\r\n8\r\nSHEET\r\n10\r\n1.500000\r\n20\r\n-2.000000\r\n30\r\n0.0\r\n40\r\n24.000000\r\n"
              "1\r\nSheet 1\r\n7\r\nStandard\r\n50\r\n0.0\r\n");

    const auto crlf = entities_of(capture([](std::ostream& out) { plv::write_text(out, Point{0, 0}, 12, "a\r\nb", "ANNOTATION"); }));
    ASSERT_EQ(crlf.size(), 1u);
    EXPECT_EQ(crlf[0].text(1), "a  b");

    const auto empty = parse_groups(capture([](std::ostream& out) { plv::write_text(out, Point{0, 0}, 12, "", "ANNOTATION"); }));
    EXPECT_NE(std::find(empty.begin(), empty.end(), Group{1, ""}), empty.end());

    const struct {
        const char* what;
        Point position;
        double height;
    } skipped[] = {
        {"height 0", {0, 0}, 0.0},
        {"negative height", {0, 0}, -1.0},
        {"infinite height", {0, 0}, kInf},
        {"NaN height", {0, 0}, kNaN},
        {"NaN x", {kNaN, 0}, 12.0},
        {"infinite y", {0, -kInf}, 12.0},
    };
    for (const auto& c : skipped) {
        EXPECT_EQ(capture([&](std::ostream& out) { plv::write_text(out, c.position, c.height, "x", "ANNOTATION"); }), "")
            << c.what;
    }
    EXPECT_NE(capture([](std::ostream& out) { plv::write_text(out, Point{0, 0}, 1e-300, "x", "ANNOTATION"); }), "");
}

TEST(DxfGroups, LineRecordAndItsSkipRules) {
    EXPECT_EQ(capture([](std::ostream& out) { plv::write_line(out, Point{0, 0}, Point{100, 0.25}, "PARTS"); }),
              "0\r\nLINE\r\n8\r\nPARTS\r\n10\r\n0.000000\r\n20\r\n0.000000\r\n30\r\n0.0\r\n11\r\n100.000000\r\n"
              "21\r\n0.250000\r\n31\r\n0.0\r\n");
    const struct {
        const char* what;
        Point a, b;
    } skipped[] = {
        {"ends 1e-10 apart", {5, 5}, {5 + 1e-10, 5}},
        {"ends 1e-9 apart", {0, 0}, {0, 1e-9}},
        {"NaN start", {kNaN, 0}, {1, 1}},
        {"infinite end", {0, 0}, {kInf, 1}},
    };
    for (const auto& c : skipped) {
        EXPECT_EQ(capture([&](std::ostream& out) { plv::write_line(out, c.a, c.b, "PARTS"); }), "") << c.what;
    }
    EXPECT_NE(capture([](std::ostream& out) { plv::write_line(out, Point{0, 0}, Point{0, 2e-9}, "PARTS"); }), "");
}

}  // namespace
