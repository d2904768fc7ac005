#include "dxf/common_lines.hpp"

#include "writer_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace {

using plv::EdgeInterval;
using plv::LayerEdge;
using plv::NestingResult;
using plv::Placement;
using plv::Point;
using plv::Polygon;
using plv::Ring;
using writer_test::capture;
using writer_test::entities_of;
using writer_test::place;
using writer_test::rect;

// A written LINE as ends ordered by (x, y), with its layer, for
// order-independent comparison.
struct Seg {
    double x0, y0, x1, y1;
    std::string layer;
    bool operator<(const Seg& o) const {
        return std::tie(x0, y0, x1, y1, layer) < std::tie(o.x0, o.y0, o.x1, o.y1, o.layer);
    }
};

std::vector<Seg> merged_lines(const NestingResult& result, double pitch = 3250.0) {
    std::vector<Seg> segs;
    for (const auto& e : entities_of(capture([&](std::ostream& out) { plv::write_merged_parts(out, result, pitch); }))) {
        EXPECT_EQ(e.type, "LINE");
        Seg s{e.real(10), e.real(20), e.real(11), e.real(21), e.layer};
        if (std::tie(s.x1, s.y1) < std::tie(s.x0, s.y0)) {
            std::swap(s.x0, s.x1);
            std::swap(s.y0, s.y1);
        }
        segs.push_back(s);
    }
    std::sort(segs.begin(), segs.end());
    return segs;
}

void expect_lines(const std::vector<Seg>& got, std::vector<Seg> want) {
    std::sort(want.begin(), want.end());
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_NEAR(got[i].x0, want[i].x0, 1e-6) << i;
        EXPECT_NEAR(got[i].y0, want[i].y0, 1e-6) << i;
        EXPECT_NEAR(got[i].x1, want[i].x1, 1e-6) << i;
        EXPECT_NEAR(got[i].y1, want[i].y1, 1e-6) << i;
        EXPECT_EQ(got[i].layer, want[i].layer) << i;
    }
}

TEST(CommonLines, RingEdgesIncludeTheClosingEdge) {
    std::vector<LayerEdge> edges;
    plv::ring_edges(Ring{{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}}, "HOLES", edges);
    ASSERT_EQ(edges.size(), 4u);
    EXPECT_EQ(edges[3].a.y, 10.0);
    EXPECT_EQ(edges[3].b.y, 0.0);
    EXPECT_EQ(edges[3].layer, "HOLES");
    plv::ring_edges(Ring{{0, 0}, {50, 0}, {100, 0}}, "PARTS", edges);
    EXPECT_EQ(edges.size(), 4u) << "a ring that prepares empty adds nothing";
}

TEST(CommonLines, TouchingSquaresShareTheirCommonSide) {
    NestingResult r;
    r.placements = {place(Polygon{rect(0, 0, 100, 100), {}}), place(Polygon{rect(100, 0, 200, 100), {}})};
    expect_lines(merged_lines(r), {{0, 0, 200, 0, "PARTS"},
                                   {0, 100, 200, 100, "PARTS"},
                                   {0, 0, 0, 100, "PARTS"},
                                   {100, 0, 100, 100, "PARTS"},
                                   {200, 0, 200, 100, "PARTS"}});
}

TEST(CommonLines, SquaresFiveMillimetresApartStaySeparate) {
    NestingResult r;
    r.placements = {place(Polygon{rect(0, 0, 100, 100), {}}), place(Polygon{rect(105, 0, 205, 100), {}})};
    EXPECT_EQ(merged_lines(r).size(), 8u);
}

TEST(CommonLines, GapsUpToOneHundredthAreBridged) {
    NestingResult r;
    r.placements = {place(Polygon{rect(0, 0, 100, 100), {}}), place(Polygon{rect(100.009, 0, 200, 100), {}})};
    const auto lines = merged_lines(r);
    const auto bottom = std::count_if(lines.begin(), lines.end(), [](const Seg& s) { return s.y0 == 0 && s.y1 == 0; });
    EXPECT_EQ(bottom, 1);
}

TEST(CommonLines, ExtraVertexOnASideGivesOneLine) {
    NestingResult r;
    r.placements = {place(Polygon{Ring{{0, 0}, {40, 0}, {100, 0}, {100, 50}, {0, 50}}, {}})};
    expect_lines(merged_lines(r), {{0, 0, 100, 0, "PARTS"},
                                   {100, 0, 100, 50, "PARTS"},
                                   {0, 50, 100, 50, "PARTS"},
                                   {0, 0, 0, 50, "PARTS"}});
}

TEST(CommonLines, HoleSideSharedWithAnOuterSideIsWrittenOnParts) {
    // The hole's edges come first, so the shared stretches start on HOLES
    // and must be raised to PARTS.
    NestingResult r;
    r.placements = {place(Polygon{rect(0, 0, 100, 100), {rect(20, 20, 80, 80)}}),
                    place(Polygon{rect(20, 20, 80, 80), {}})};
    const auto lines = merged_lines(r);
    ASSERT_EQ(lines.size(), 8u);
    for (const Seg& s : lines) EXPECT_EQ(s.layer, "PARTS");

    NestingResult alone;
    alone.placements = {place(Polygon{rect(0, 0, 100, 100), {rect(20, 20, 80, 80)}})};
    const auto own = merged_lines(alone);
    EXPECT_EQ(std::count_if(own.begin(), own.end(), [](const Seg& s) { return s.layer == "HOLES"; }), 4);
}

TEST(CommonLines, PlacementsAreMovedByTheirSheet) {
    NestingResult r;
    r.placements = {place(Polygon{rect(0, 0, 10, 10), {}}, 1)};
    const auto lines = merged_lines(r, 3250.0);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_NEAR(lines.front().x0, 3250.0, 1e-9);
    EXPECT_NEAR(lines.back().x1, 3260.0, 1e-9);
}

TEST(CommonLines, NoPlacementsNoLines) {
    EXPECT_EQ(capture([](std::ostream& out) { plv::write_merged_parts(out, NestingResult{}, 3250.0); }), "");
}

TEST(CommonLines, GroupKeysQuantiseAngleAndOffset) {
    // Vertical edges run either way share one group, pointing up.
    EXPECT_EQ(plv::line_group_key(Point{0, 1}, -123.45), "15707963:-12345");
    const auto vertical = plv::group_edges({LayerEdge{{123.45, 0}, {123.45, 10}, "PARTS"},
                                            LayerEdge{{123.45, 30}, {123.45, 20}, "PARTS"}});
    ASSERT_EQ(vertical.size(), 1u);
    EXPECT_EQ(vertical[0].dir.y, 1.0);
    ASSERT_EQ(vertical[0].intervals.size(), 2u);
    EXPECT_DOUBLE_EQ(vertical[0].intervals[1].t0, 20.0);

    // Leaning left of vertical flips the edge downwards, away from one
    // leaning right.
    const auto leaning = plv::group_edges({LayerEdge{{0, 0}, {-1e-10, 10}, "PARTS"},
                                           LayerEdge{{0, 0}, {1e-10, 10}, "PARTS"}});
    ASSERT_EQ(leaning.size(), 2u);
    EXPECT_LT(leaning[0].dir.y, 0.0);
    EXPECT_GT(leaning[1].dir.y, 0.0);

    // Offsets 0.0049 and 0.0051 round to different quanta; 0.0051 and
    // 0.0099 to the same one, on the line of the first edge met.
    const auto apart = plv::group_edges({LayerEdge{{0, 0.0049}, {10, 0.0049}, "PARTS"},
                                         LayerEdge{{0, 0.0051}, {10, 0.0051}, "PARTS"}});
    EXPECT_EQ(apart.size(), 2u);
    const auto together = plv::group_edges({LayerEdge{{0, 0.0051}, {10, 0.0051}, "PARTS"},
                                            LayerEdge{{5, 0.0099}, {20, 0.0099}, "PARTS"}});
    ASSERT_EQ(together.size(), 1u);
    EXPECT_DOUBLE_EQ(together[0].offset, 0.0051);

    NestingResult r;
    r.placements = {place(Polygon{Ring{{0, 0.0051}, {10, 0.0051}, {10, 5}}, {}}),
                    place(Polygon{Ring{{5, 0.0099}, {20, 0.0099}, {20, -5}}, {}})};
    const auto lines = merged_lines(r);
    const auto on_first = std::find_if(lines.begin(), lines.end(), [](const Seg& s) {
        return std::abs(s.x0) < 1e-9 && std::abs(s.x1 - 20) < 1e-9;
    });
    ASSERT_NE(on_first, lines.end());
    EXPECT_NEAR(on_first->y0, 0.0051, 1e-9);
    EXPECT_NEAR(on_first->y1, 0.0051, 1e-9);
}

TEST(CommonLines, CircularIntervalOrderStillMergesIntoOneLine) {
    // v before u, w before v, and u before w: no order satisfies all three.
    const std::array<EdgeInterval, 3> base{EdgeInterval{0, 3, "HOLES"}, EdgeInterval{0.006, 2, "PARTS"},
                                           EdgeInterval{0.012, 1, "HOLES"}};
    std::array<int, 3> order{0, 1, 2};
    do {
        std::vector<EdgeInterval> in;
        for (int i : order) in.push_back(base[static_cast<std::size_t>(i)]);
        const auto merged = plv::merge_intervals(in);
        ASSERT_EQ(merged.size(), 1u);
        EXPECT_EQ(merged[0].t1, 3.0);
        EXPECT_LE(merged[0].t0, 0.012);
        EXPECT_EQ(merged[0].layer, "PARTS");
    } while (std::next_permutation(order.begin(), order.end()));

    // A long chain of starts each 0.006 after the last, ends falling.
    std::vector<EdgeInterval> chain;
    for (int i = 0; i < 500; ++i) chain.push_back(EdgeInterval{0.006 * i, 1000.0 - i, "PARTS"});
    const auto merged = plv::merge_intervals(chain);
    ASSERT_EQ(merged.size(), 1u);
    EXPECT_EQ(merged[0].t1, 1000.0);
}

TEST(CommonLines, SweepKeepsSeparateRunsApart) {
    const auto merged = plv::merge_intervals({EdgeInterval{50, 60, "PARTS"}, EdgeInterval{0, 10, "HOLES"},
                                              EdgeInterval{10.01, 20, "HOLES"}, EdgeInterval{5, 8, "OTHER"}});
    ASSERT_EQ(merged.size(), 2u);
    EXPECT_EQ(merged[0].t0, 0.0);
    EXPECT_EQ(merged[0].t1, 20.0);
    EXPECT_EQ(merged[0].layer, "HOLES");
    EXPECT_EQ(merged[1].t0, 50.0);
}

}  // namespace
