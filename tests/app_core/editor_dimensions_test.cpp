// Dimensions: the tool's three steps, circular features, the typed value and
// what it resizes, picking an existing dimension, and the helpers.

#include "app/core/editor_dimensions.hpp"
#include "app/core/editor_input.hpp"

#include "editor_fake_host.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace {

using app::EditorEntity;
using app::EditorState;
using app::Point;
using app_test::entity;
using editor_test::FakeHost;
using editor_test::sx;
using editor_test::sy;
namespace Kind = app::EntityKind;
namespace Tool = app::EditorTool;

plv::Ring circle_ring(Point c, double r, int n, bool closed) {
    plv::Ring ring;
    for (int i = 0; i < n; ++i) {
        const double a = 2 * 3.141592653589793 * i / n;
        ring.push_back({c.x + r * std::cos(a), c.y + r * std::sin(a)});
    }
    if (closed) ring.push_back(ring.front());
    return ring;
}

class DimensionTool : public ::testing::Test {
protected:
    void press(double wx, double wy) {
        if (!app::pick_dimension_at(st, host, {sx(wx), sy(wy)}, false))
            app::editor_left_button_down(st, host, {sx(wx), sy(wy)});
    }
    // A line (0,0)-(100,0) and a dimension on it with its text placed;
    // the value window answers `answer`.
    void dimension_the_line(std::optional<std::string> answer) {
        app::append_entity(st, entity(Kind::line, {0, 0}, {100, 0}));
        app::set_editor_tool(st, host, Tool::dimension);
        host.dimension_answers.push_back(answer);
        press(0, 0);
        press(100, 0);
        ASSERT_EQ(st.dimension_step, 2);
        ASSERT_EQ(st.entities.size(), 2u);
        EXPECT_EQ(st.entities[1].link, 0);
        EXPECT_DOUBLE_EQ(st.entities[1].p2.x, 50);
        EXPECT_DOUBLE_EQ(st.entities[1].p2.y, 20);
        EXPECT_TRUE(host.value_windows.empty());  // not before the third press
        app::editor_hover(st, host, {sx(50), sy(30)});
        EXPECT_DOUBLE_EQ(st.entities[1].p2.y, 30);  // the text follows the cursor
        press(50, 40);
        EXPECT_FALSE(st.dimension_active);
        ASSERT_EQ(host.value_windows.size(), 1u);
        EXPECT_EQ(host.value_windows[0], "100 mm");
        EXPECT_DOUBLE_EQ(st.entities[1].p2.y, 40);
    }

    EditorState st = editor_test::zoomed_state();
    FakeHost host;
};

TEST_F(DimensionTool, LinearAnswersTable) {
    struct Case {
        std::optional<std::string> answer;
        double line_end;
        std::string text;
        double value;
    };
    const std::vector<Case> cases{
        {"150", 150, "150 mm", 150},
        {"150,4", 150.4, "150 mm", 150.4},
        {"99,94", 99.94, "99.9 mm", 99.94},
        {"DIA 30 mm", 30, "30.0 mm", 30},
        {"42mm", 42, "42.0 mm", 42},
        {"abc", 100, "abc", 0},
        {"0", 100, "0", 0},
        {"-5", 100, "-5", 0},
        {"1e999", 100, "1e999", 0},
        {"", 100, "", 0},
        {std::nullopt, 100, "", 0},
        // Confirming the text the window opened with changes nothing.
        {"100 mm", 100, "", 0},
    };
    for (const Case& k : cases) {
        st = editor_test::zoomed_state();
        host = FakeHost();
        ASSERT_NO_FATAL_FAILURE(dimension_the_line(k.answer));
        const std::string label = k.answer ? *k.answer : "(cancel)";
        EXPECT_NEAR(st.entities[0].p1.x, k.line_end, 1e-9) << label;
        EXPECT_EQ(st.entities[0].p1.y, 0) << label;
        EXPECT_EQ(st.entities[1].text, k.text) << label;
        EXPECT_EQ(st.entities[1].value, k.value) << label;
        EXPECT_NEAR(st.entities[1].p1.x, k.line_end, 1e-9) << label;
    }
}

TEST_F(DimensionTool, ConfirmingTheShownRoundingKeepsTheLine) {
    app::append_entity(st, entity(Kind::line, {0, 0}, {149.6, 0}));
    EditorEntity dim = entity(Kind::dimension, {0, 0}, {149.6, 0}, {75, 20});
    dim.link = 0;
    app::append_entity(st, dim);
    host.dimension_answers.push_back(std::string("150 mm"));
    app::edit_dimension_value(st, host, 1);
    ASSERT_EQ(host.value_windows.size(), 1u);
    EXPECT_EQ(host.value_windows[0], "150 mm");
    ASSERT_EQ(st.entities.size(), 2u);
    EXPECT_DOUBLE_EQ(st.entities[0].p1.x, 149.6);
    // Typing the same number as a plain value does resize it.
    host.dimension_answers.push_back(std::string("150"));
    app::edit_dimension_value(st, host, 1);
    ASSERT_EQ(st.entities.size(), 2u);
    EXPECT_DOUBLE_EQ(st.entities[0].p1.x, 150);
}

TEST_F(DimensionTool, LinearLinkIsLookedUpAgainByItsEnds) {
    app::append_entity(st, entity(Kind::circle, {0, 0}, {5, 0}));
    app::append_entity(st, entity(Kind::line, {0, 100}, {0, 0}));  // reversed
    EditorEntity dim = entity(Kind::dimension, {0, 0}, {0.3, 100});
    dim.link = 0;  // not a line
    app::append_entity(st, dim);
    app::apply_dimension_answer(st.entities, 2, "50", "100 mm");
    ASSERT_EQ(st.entities.size(), 3u);
    EXPECT_EQ(st.entities[2].link, 1);
    EXPECT_DOUBLE_EQ(st.entities[1].p1.y, 50);
    EXPECT_DOUBLE_EQ(st.entities[2].p1.y, 50);
    EXPECT_DOUBLE_EQ(st.entities[2].p0.y, 100);
}

TEST_F(DimensionTool, CircleAndArc) {
    app::append_entity(st, entity(Kind::circle, {0, 0}, {0, 10}));
    app::set_editor_tool(st, host, Tool::dimension);
    host.dimension_answers.push_back(std::string("30"));
    press(10.5, 0);
    ASSERT_EQ(st.entities.size(), 2u);
    EXPECT_FALSE(st.dimension_active);
    EXPECT_EQ(host.value_windows.at(0), "DIA 20.0 mm");
    const EditorEntity& d = st.entities[1];
    EXPECT_TRUE(d.diameter);
    EXPECT_EQ(d.link, 0);
    EXPECT_NEAR(st.entities[0].p1.y, 15, 1e-12);  // direction kept
    EXPECT_NEAR(d.p1.y, 15, 1e-12);
    EXPECT_EQ(d.text, "DIA 30.0 mm");

    EditorState arc_state = editor_test::zoomed_state();
    st = arc_state;
    app::append_entity(st, entity(Kind::arc, {10, 0}, {-10, 0}, {0, 10}));
    app::set_editor_tool(st, host, Tool::dimension);
    host.dimension_answers.push_back(std::string("20"));
    press(1, 10);
    ASSERT_EQ(st.entities.size(), 2u);
    EXPECT_EQ(host.value_windows.at(1), "R 10.0 mm");
    EXPECT_TRUE(st.entities[1].radius);
    const EditorEntity& a = st.entities[0];
    EXPECT_NEAR(a.p0.x, 20, 1e-9);
    EXPECT_NEAR(a.p2.y, 20, 1e-9);
    EXPECT_NEAR(a.p1.x, -20, 1e-9);
    EXPECT_NEAR(std::hypot(st.entities[1].p1.x, st.entities[1].p1.y), 20, 1e-9);

    // Below the arc, on its circle but outside its sweep: a linear
    // dimension starts.
    st = arc_state;
    app::append_entity(st, entity(Kind::arc, {10, 0}, {-10, 0}, {0, 10}));
    app::set_editor_tool(st, host, Tool::dimension);
    press(0, -10);
    EXPECT_EQ(st.entities.size(), 1u);
    EXPECT_EQ(st.dimension_step, 1);
    EXPECT_DOUBLE_EQ(st.dimension_first.y, -10);
}

TEST_F(DimensionTool, ArcSweepBothWays) {
    const app::ViewTransform view = app::compute_view_transform(host.layout, app::canvas_rect(host.client), st);
    // Clockwise arc (10,0) -> (0,-10) through (7.07,-7.07): the short way below.
    const double h = 10 / std::sqrt(2.0);
    const app::EntityList ents{entity(Kind::arc, {10, 0}, {0, -10}, {h, -h})};
    EXPECT_TRUE(app::pick_circular_feature(ents, *host.display_layout(), view, {h + 0.5, -h}).found);
    EXPECT_FALSE(app::pick_circular_feature(ents, *host.display_layout(), view, {-10, 0}).found);
    // Its long counterpart through the far side.
    const app::EntityList longer{entity(Kind::arc, {10, 0}, {0, -10}, {-10, 0})};
    EXPECT_TRUE(app::pick_circular_feature(longer, *host.display_layout(), view, {0, 10}).found);
    EXPECT_FALSE(app::pick_circular_feature(longer, *host.display_layout(), view, {h, -h}).found);
}

TEST_F(DimensionTool, HoleOfAPlacedPartOnTheSecondSheet) {
    plv::Placement part;
    part.sheet_index = 1;
    part.shape.outer = {{0, 0}, {40, 0}, {40, 40}, {0, 40}, {0, 0}};
    part.shape.holes.push_back(circle_ring({20, 20}, 5, 36, true));
    host.layout.placements.push_back(part);
    const app::ViewTransform view = app::compute_view_transform(host.layout, app::canvas_rect(host.client), st);
    const double dx = 660 + 80;
    const app::CircularFeature f = app::pick_circular_feature({}, *host.display_layout(), view, {dx + 25.3, 20});
    ASSERT_TRUE(f.found);
    EXPECT_TRUE(f.diameter);
    EXPECT_EQ(f.link, -1);
    EXPECT_NEAR(f.centre.x, dx + 20, 1e-9);

    // Placed there, a typed value changes only the text.
    EditorEntity dim = entity(Kind::dimension, f.centre, f.on_circle, {dx + 40, 40});
    dim.diameter = true;
    st.entities.push_back(dim);
    EXPECT_EQ(app::initial_dimension_text(dim), "DIA 10.0 mm");
    app::apply_dimension_answer(st.entities, 0, "12", "DIA 10.0 mm");
    ASSERT_EQ(st.entities.size(), 1u);
    EXPECT_EQ(st.entities[0].text, "DIA 12.0 mm");
    EXPECT_EQ(st.entities[0].p1.x, f.on_circle.x);
}

TEST_F(DimensionTool, EscapeAndToolChangeAtStepTwo) {
    app::set_editor_tool(st, host, Tool::dimension);
    press(0, 0);
    press(100, 0);
    ASSERT_EQ(st.entities.size(), 1u);
    app::handle_editor_key(st, host, app::EditorKey::escape);
    EXPECT_TRUE(st.entities.empty());
    EXPECT_FALSE(st.dimension_active);
    EXPECT_TRUE(host.value_windows.empty());

    press(0, 0);
    press(100, 0);
    app::set_editor_tool(st, host, Tool::dimension);
    EXPECT_TRUE(st.entities.empty());

    // At step one only the first point is forgotten.
    press(0, 0);
    app::handle_editor_key(st, host, app::EditorKey::escape);
    EXPECT_EQ(st.dimension_step, 0);
    EXPECT_TRUE(st.entities.empty());

    // Enter and the right button open the window at step two.
    press(0, 0);
    press(100, 0);
    app::handle_editor_key(st, host, app::EditorKey::enter);
    EXPECT_EQ(host.value_windows.size(), 1u);
    press(0, 50);
    press(100, 50);
    app::editor_right_button_down(st, host);
    EXPECT_EQ(host.value_windows.size(), 2u);
    EXPECT_EQ(st.entities.size(), 2u);
}

TEST_F(DimensionTool, PickingAnExistingDimension) {
    app::append_entity(st, entity(Kind::line, {0, 0}, {100, 0}));
    EditorEntity dim = entity(Kind::dimension, {0, 0}, {100, 0}, {50, 20});
    dim.link = 0;
    app::append_entity(st, dim);
    app::set_editor_tool(st, host, Tool::line);
    // A press on the dimension line selects it and starts no line.
    press(50, 21);
    EXPECT_EQ(st.selection, 1);
    EXPECT_EQ(st.entities.size(), 2u);
    EXPECT_FALSE(st.shape_in_progress);
    EXPECT_TRUE(st.undo_history.snapshots.empty());
    // A double click edits it after a snapshot.
    host.dimension_answers.push_back(std::string("80"));
    EXPECT_TRUE(app::pick_dimension_at(st, host, {sx(50), sy(21)}, true));
    EXPECT_EQ(st.undo_history.snapshots.size(), 1u);
    ASSERT_EQ(st.entities.size(), 2u);
    EXPECT_DOUBLE_EQ(st.entities[0].p1.x, 80);

    // Not in the title strip or the command bar, nor while a dimension is
    // under way.
    const app::Rect canvas = app::canvas_rect(host.client);
    st.entities[1].p2 = {0, 0};
    EXPECT_FALSE(app::pick_dimension_at(st, host, {700, canvas.top + 37}, false));
    EXPECT_FALSE(app::pick_dimension_at(st, host, {700, canvas.bottom - 46}, false));
    st.dimension_active = true;
    EXPECT_FALSE(app::pick_dimension_at(st, host, {sx(50), sy(21)}, false));
}

TEST_F(DimensionTool, ErasingKeepsDiameterOnItsCircle) {
    // Line L0, circles A1 and B2, a dimension on A; erase L0 and type a
    // value: A is resized, B stays.
    app::append_entity(st, entity(Kind::line, {0, 0}, {100, 100}));
    app::append_entity(st, entity(Kind::circle, {0, 0}, {10, 0}));
    app::append_entity(st, entity(Kind::circle, {50, 0}, {60, 0}));
    EditorEntity dim = entity(Kind::dimension, {0, 0}, {10, 0}, {20, 20});
    dim.diameter = true;
    dim.link = 1;
    app::append_entity(st, dim);
    st.selection = 0;
    ASSERT_TRUE(app::erase_selected_entity(st, host));
    app::apply_dimension_answer(st.entities, 2, "30", "DIA 20.0 mm");
    ASSERT_EQ(st.entities.size(), 3u);
    EXPECT_DOUBLE_EQ(st.entities[0].p1.x, 15);
    EXPECT_DOUBLE_EQ(st.entities[1].p1.x, 60);
}

TEST(DimensionHelpers, FindLineByEndpoints) {
    const app::EntityList ents{entity(Kind::line, {0, 0}, {100, 0}), entity(Kind::circle, {0, 0}, {100, 0}),
                               entity(Kind::line, {100, 0.4}, {0, 0})};
    EXPECT_EQ(app::find_line_by_endpoints(ents, {0, 0}, {100, 0}), 2);  // last first, reversed
    EXPECT_EQ(app::find_line_by_endpoints(ents, {0, 0}, {100, 1.0}), -1);
    EXPECT_EQ(app::find_line_by_endpoints({ents[0]}, {0, 0.5}, {100, 0}), 0);  // <= tolerance
    // Tolerance grows with length: 0.002 * 1000 = 2.
    EXPECT_EQ(app::find_line_by_endpoints({entity(Kind::line, {0, 0}, {1000, 0})}, {0, 1.9}, {1000, 0}), 0);
}

TEST(DimensionHelpers, CircleThroughThreePoints) {
    Point c;
    double r = 0;
    ASSERT_TRUE(app::circle_through_three_points({10, 0}, {0, 10}, {-10, 0}, c, r));
    EXPECT_NEAR(c.x, 0, 1e-12);
    EXPECT_NEAR(c.y, 0, 1e-12);
    EXPECT_NEAR(r, 10, 1e-12);
    EXPECT_FALSE(app::circle_through_three_points({0, 0}, {5, 5}, {10, 10}, c, r));
}

TEST(DimensionHelpers, PolylineCircleFit) {
    Point c;
    double r = 0;
    struct Case {
        const char* what;
        plv::Ring ring;
        bool fits;
    };
    plv::Ring bumpy = circle_ring({0, 0}, 100, 40, true);
    bumpy[3].x *= 1.05;  // 5 mm off, above max(3.5, 0.8)
    plv::Ring square;
    for (int i = 0; i < 12; ++i) square.push_back({double(i % 4 < 2 ? 0 : 10), double(i)});
    const std::vector<Case> cases{
        {"36 points closed", circle_ring({0, 0}, 5, 36, true), true},
        {"36 points open", circle_ring({0, 0}, 5, 36, false), true},
        {"9 points", circle_ring({0, 0}, 5, 9, false), false},
        {"9 points closed", circle_ring({0, 0}, 5, 9, true), false},
        {"radius 0.4", circle_ring({0, 0}, 0.4, 36, true), false},
        {"bumpy", bumpy, false},
        {"not round", square, false},
    };
    for (const Case& k : cases) EXPECT_EQ(app::polyline_circle_fit(k.ring, 0, c, r), k.fits) << k.what;
    ASSERT_TRUE(app::polyline_circle_fit(circle_ring({1, 2}, 5, 36, true), 100, c, r));
    EXPECT_NEAR(c.x, 101, 1e-9);
    EXPECT_NEAR(r, 5, 1e-9);
}

TEST(DimensionHelpers, ParseAnswer) {
    struct Case {
        const char* text;
        bool number;
        double value;
    };
    for (const Case& k : std::vector<Case>{{"150", true, 150},
                                           {"30,5", true, 30.5},
                                           {"DIA 30 mm", true, 30},
                                           {"42mm", true, 42},
                                           {"R .5", true, 0.5},
                                           {"0", false, 0},
                                           {"-5", false, 0},
                                           {"abc", false, 0},
                                           {"mm -", false, 0},
                                           {"", false, 0}}) {
        double v = 0;
        EXPECT_EQ(app::parse_dimension_number(k.text, v), k.number) << k.text;
        if (k.number) {
            EXPECT_DOUBLE_EQ(v, k.value) << k.text;
        }
    }
}

}  // namespace
