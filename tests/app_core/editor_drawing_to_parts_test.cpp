// Closed shapes of the drawing as parts: names, numbering, rings and the
// chain search over loose lines.

#include "app/core/drawing_to_parts.hpp"
#include "geometry/primitives.hpp"

#include "test_support.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using app::EditorEntity;
using app::Point;
using app_test::entity;
namespace Kind = app::EntityKind;

EditorEntity poly(std::vector<Point> pts) {
    EditorEntity e;
    e.kind = Kind::polyline;
    e.p0 = pts.front();
    e.p1 = pts.back();
    e.points = std::move(pts);
    return e;
}

std::vector<std::string> names(const std::vector<plv::Part>& parts) {
    std::vector<std::string> out;
    for (const auto& p : parts) out.push_back(p.name);
    return out;
}

using Names = std::vector<std::string>;

TEST(EditorToParts, NamesAndOrder) {
    struct Case {
        const char* what;
        std::vector<EditorEntity> drawing;
        Names expected;
    };
    const EditorEntity rect = entity(Kind::rectangle, {10, 10}, {60, 40});
    const std::vector<EditorEntity> triangle{entity(Kind::line, {0, 0}, {100, 0}),
                                             entity(Kind::line, {100, 0}, {0, 100}),
                                             entity(Kind::line, {0, 100}, {0.5, 0.5})};
    std::vector<EditorEntity> chain_then_rect = triangle;
    chain_then_rect.push_back(rect);
    std::vector<EditorEntity> open_triangle = triangle;
    open_triangle[2].p1 = {2, 0};
    const std::vector<Case> cases{
        {"empty", {}, {}},
        {"rectangle", {rect}, {"editor_rect_1"}},
        {"small circle uses a number", {entity(Kind::circle, {0, 0}, {0.4, 0}), rect},
         {"editor_rect_2"}},
        {"flat rectangle uses a number", {entity(Kind::rectangle, {0, 0}, {100, 0.005}), rect},
         {"editor_rect_2"}},
        {"circle", {entity(Kind::circle, {5, 5}, {5, 15})}, {"editor_circle_1"}},
        {"triangle chain", triangle, {"editor_line_chain_1"}},
        {"chain named after step-one parts", chain_then_rect, {"editor_rect_1", "editor_line_chain_2"}},
        {"chain ending 2 mm off", open_triangle, {}},
        {"mixed order square",
         {entity(Kind::line, {0, 0}, {10, 0}), entity(Kind::line, {0, 10}, {0, 0}),
          entity(Kind::line, {10, 10}, {10, 0}), entity(Kind::line, {10, 10}, {0, 10})},
         {"editor_line_chain_1"}},
        {"back and forth never closes",
         {entity(Kind::line, {0, 0}, {50, 0}), entity(Kind::line, {50, 0}, {0, 0})}, {}},
        {"open polyline closes", {poly({{0, 0}, {40, 0}, {0, 30}})}, {"editor_polyline_1"}},
        {"collinear polyline", {poly({{0, 0}, {10, 0}, {20, 0}}), rect}, {"editor_rect_2"}},
        {"two-point polyline not counted", {poly({{0, 0}, {10, 10}}), rect}, {"editor_rect_1"}},
        {"other kinds ignored",
         {entity(Kind::dimension, {0, 0}, {10, 0}), entity(Kind::text, {0, 0}, {0, 0}),
          entity(Kind::arc, {0, 0}, {10, 0}), rect},
         {"editor_rect_1"}},
    };
    for (const Case& k : cases) EXPECT_EQ(names(app::editor_entities_to_parts(k.drawing)), k.expected) << k.what;
}

TEST(EditorToParts, RingsAreClosedNormalisedAndEditorParts) {
    const auto parts = app::editor_entities_to_parts({entity(Kind::rectangle, {10, 10}, {60, 40})});
    ASSERT_EQ(parts.size(), 1u);
    const plv::Part& p = parts[0];
    const geom::Ring expected{{0, 0}, {50, 0}, {50, 30}, {0, 30}, {0, 0}};
    ASSERT_EQ(p.shape.outer.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_DOUBLE_EQ(p.shape.outer[i].x, expected[i].x);
        EXPECT_DOUBLE_EQ(p.shape.outer[i].y, expected[i].y);
    }
    EXPECT_TRUE(p.shape.holes.empty());
    EXPECT_DOUBLE_EQ(geom::ring_area(p.shape.outer), 1500);
    EXPECT_EQ(p.quantity, 1);
    EXPECT_TRUE(p.allow_rotation);
    EXPECT_EQ(p.source, "editor");

    const auto circle = app::editor_entities_to_parts({entity(Kind::circle, {100, 100}, {110, 100})});
    ASSERT_EQ(circle.size(), 1u);
    EXPECT_EQ(circle[0].shape.outer.size(), 97u);

    // The chain's last point is put exactly on its first.
    const auto tri = app::editor_entities_to_parts({entity(Kind::line, {0, 0}, {100, 0}),
                                                    entity(Kind::line, {100, 0}, {0, 100}),
                                                    entity(Kind::line, {0, 100}, {0.5, 0.5})});
    ASSERT_EQ(tri.size(), 1u);
    const auto& ring = tri[0].shape.outer;
    EXPECT_EQ(ring.size(), 4u);
    EXPECT_EQ(ring.back().x, ring.front().x);
    EXPECT_EQ(ring.back().y, ring.front().y);
}

TEST(EditorToParts, ShortLinesAreNotSegments) {
    // A tiny closed triangle yields no part (area below 1) but, when its
    // three lines are segments, its chain uses up a number, which shows in
    // the name of a real triangle drawn after it.
    auto drawing = [](double leg) {
        return std::vector<EditorEntity>{
            entity(Kind::line, {0, 0}, {leg, 0}), entity(Kind::line, {leg, 0}, {0, leg}),
            entity(Kind::line, {0, leg}, {0, 0}), entity(Kind::line, {1000, 0}, {1100, 0}),
            entity(Kind::line, {1100, 0}, {1000, 100}), entity(Kind::line, {1000, 100}, {1000, 0})};
    };
    EXPECT_EQ(names(app::editor_entities_to_parts(drawing(0.01))), (Names{"editor_line_chain_1"}));
    EXPECT_EQ(names(app::editor_entities_to_parts(drawing(0.011))), (Names{"editor_line_chain_2"}));
}

}  // namespace
