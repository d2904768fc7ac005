// The editor's tools driven by scripted presses, moves, releases, keys and
// window answers, in the order the main window routes them.

#include "app/core/editor_dimensions.hpp"
#include "app/core/editor_input.hpp"
#include "app/core/editor_text.hpp"

#include "editor_fake_host.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using app::EditorEntity;
using app::EditorState;
using app::Point;
using editor_test::FakeHost;
using editor_test::sx;
using editor_test::sy;
namespace Kind = app::EntityKind;
namespace Tool = app::EditorTool;

bool same_point(const Point& a, const Point& b) { return a.x == b.x && a.y == b.y; }

bool same_drawing(const app::EntityList& a, const app::EntityList& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const EditorEntity& x = a[i];
        const EditorEntity& y = b[i];
        if (x.kind != y.kind || !same_point(x.p0, y.p0) || !same_point(x.p1, y.p1) ||
            !same_point(x.p2, y.p2) || x.text != y.text || x.points.size() != y.points.size() ||
            x.link != y.link || x.value != y.value)
            return false;
    }
    return true;
}

class EditorInput : public ::testing::Test {
protected:
    // A left press as the window routes it: a dimension pick first.
    void press(double wx, double wy) {
        if (!app::pick_dimension_at(st, host, {sx(wx), sy(wy)}, false))
            app::editor_left_button_down(st, host, {sx(wx), sy(wy)});
    }
    // A double click's second press.
    bool double_click(double wx, double wy) {
        const int x = sx(wx), y = sy(wy);
        if (app::pick_dimension_at(st, host, {x, y}, true)) return true;
        if (app::edit_text_entity_at(st, host, {x, y})) return true;
        if (app::finish_polyline(st, host)) return true;
        return app::reset_view_from_canvas(st, host, {x, y});
    }
    void move(double wx, double wy) {
        const app::PointerEvent at{sx(wx), sy(wy)};
        if (!app::editor_mouse_drag(st, host, at)) app::editor_hover(st, host, at);
    }
    void release() { app::editor_left_button_up(st, host); }
    void key(int k) { app::handle_editor_key(st, host, k); }
    void tool(int t) { app::set_editor_tool(st, host, t); }
    void draw_line(Point a, Point b) {
        tool(Tool::line);
        press(a.x, a.y);
        press(b.x, b.y);
    }

    EditorState st = editor_test::zoomed_state();
    FakeHost host;
};

TEST_F(EditorInput, TwoClickShapes) {
    draw_line({0, 0}, {100, 0});
    ASSERT_EQ(st.entities.size(), 1u);
    EXPECT_EQ(st.entities[0].kind, Kind::line);
    EXPECT_EQ(st.entities[0].p1.x, 100);
    EXPECT_FALSE(st.shape_in_progress);
    EXPECT_EQ(st.undo_history.snapshots.size(), 1u);

    // Two presses on one spot: no line, the snapshot stays.
    press(20, 20);
    press(20, 20);
    EXPECT_EQ(st.entities.size(), 1u);
    EXPECT_EQ(st.undo_history.snapshots.size(), 2u);

    // The rubber band follows the hover point; Enter ends it there.
    tool(Tool::circle);
    press(50, 50);
    move(60, 50);
    ASSERT_EQ(st.entities.size(), 2u);
    EXPECT_EQ(st.entities[1].p1.x, 60);
    key(app::EditorKey::enter);
    EXPECT_FALSE(st.shape_in_progress);
    EXPECT_EQ(st.entities.size(), 2u);
    EXPECT_EQ(st.last_drawing_tool, Tool::circle);

    // A rectangle's first press, then Escape: gone; V changes nothing else.
    tool(Tool::rectangle);
    press(10, 10);
    EXPECT_EQ(st.entities.size(), 3u);
    key(app::EditorKey::escape);
    EXPECT_EQ(st.entities.size(), 2u);
    key('V');
    EXPECT_EQ(st.entities.size(), 2u);
    EXPECT_EQ(st.tool, Tool::select);
    EXPECT_EQ(st.last_drawing_tool, Tool::rectangle);
}

TEST_F(EditorInput, PolylineAndArc) {
    tool(Tool::polyline);
    press(0, 0);
    press(50, 0);
    press(50, 50);  // the double click's first press adds C
    EXPECT_TRUE(double_click(50, 50));
    ASSERT_EQ(st.entities.size(), 1u);
    const EditorEntity& pl = st.entities[0];
    EXPECT_EQ(pl.kind, Kind::polyline);
    ASSERT_EQ(pl.points.size(), 3u);
    EXPECT_EQ(pl.p0.x, 0);
    EXPECT_EQ(pl.p1.y, 50);
    EXPECT_FALSE(st.polyline_active);

    // One point, then the right button: still under way, polyline tool.
    press(100, 100);
    app::editor_right_button_down(st, host);
    EXPECT_TRUE(st.polyline_active);
    EXPECT_EQ(st.polyline_points.size(), 1u);
    EXPECT_EQ(st.tool, Tool::polyline);

    // To the arc tool: the polyline is dropped. Two clicks and the right
    // button abandon the arc; the next three make one.
    tool(Tool::arc);
    EXPECT_FALSE(st.polyline_active);
    press(0, -50);
    press(10, -40);
    app::editor_right_button_down(st, host);
    EXPECT_EQ(st.arc_clicks, 0);
    press(0, -100);
    press(50, -50);
    press(100, -100);
    ASSERT_EQ(st.entities.size(), 2u);
    const EditorEntity& arc = st.entities[1];
    EXPECT_EQ(arc.kind, Kind::arc);
    EXPECT_EQ(arc.p0.y, -100);
    EXPECT_EQ(arc.p2.x, 50);
    EXPECT_EQ(arc.p1.x, 100);
}

TEST_F(EditorInput, ToolChangeRules) {
    tool(Tool::polyline);
    press(0, 0);
    st.arc_clicks = 2;
    tool(Tool::polyline);  // to polyline: arc clicks reset, polyline stays
    EXPECT_EQ(st.arc_clicks, 0);
    EXPECT_TRUE(st.polyline_active);
    st.arc_clicks = 1;
    tool(Tool::arc);  // to arc: polyline dropped, clicks stay
    EXPECT_FALSE(st.polyline_active);
    EXPECT_EQ(st.arc_clicks, 1);
    tool(Tool::polyline);
    press(0, 0);
    st.arc_clicks = 1;
    tool(Tool::select);  // any other: both dropped
    EXPECT_FALSE(st.polyline_active);
    EXPECT_EQ(st.arc_clicks, 0);

    // A shape under way is removed by a tool change; Space then repeats
    // the last drawing tool.
    tool(Tool::circle);
    press(0, 0);
    tool(Tool::pan);
    EXPECT_TRUE(st.entities.empty());
    EXPECT_EQ(st.last_drawing_tool, Tool::circle);
    key(app::EditorKey::space);
    EXPECT_EQ(st.tool, Tool::circle);
    EXPECT_GT(host.focus_calls, 0);

    EditorState fresh;
    app::handle_editor_key(fresh, host, app::EditorKey::space);
    EXPECT_EQ(fresh.tool, Tool::line);

    // Ctrl or Alt down: no key is taken.
    host.ctrl_or_alt = true;
    EXPECT_FALSE(app::handle_editor_key(fresh, host, 'R'));
    EXPECT_EQ(fresh.tool, Tool::line);
    host.ctrl_or_alt = false;
    EXPECT_FALSE(app::handle_editor_key(fresh, host, 'Q'));
}

TEST_F(EditorInput, SelectDragMovesAndUndoRestores) {
    draw_line({0, 0}, {100, 0});
    tool(Tool::select);
    const auto before = st.entities;
    press(50, 1);
    EXPECT_EQ(st.selection, 0);
    EXPECT_TRUE(host.captured);
    EXPECT_EQ(host.cursor, app::CursorShape::size_all);
    release();
    EXPECT_FALSE(host.captured);
    EXPECT_EQ(st.undo_history.snapshots.size(), 2u);  // line + select click
    key('V');
    app::editor_undo(st, host);
    EXPECT_TRUE(same_drawing(st.entities, before));

    press(50, 0);
    move(60, 10);
    move(70, 20);
    release();
    ASSERT_EQ(st.entities.size(), 1u);
    EXPECT_EQ(st.entities[0].p0.x, 20);
    EXPECT_EQ(st.entities[0].p1.y, 20);

    // A press on empty canvas: no selection, a drag that changes nothing.
    press(200, 100);
    EXPECT_EQ(st.selection, -1);
    EXPECT_EQ(host.cursor, app::CursorShape::arrow);
    move(210, 110);
    release();
    EXPECT_EQ(st.entities[0].p0.x, 20);
}

TEST_F(EditorInput, DraggingADimensionKeepsItsDefaultTextPosition) {
    EditorEntity dim;
    dim.kind = Kind::dimension;
    dim.p0 = {0, 0};
    dim.p1 = {100, 0};
    app::append_entity(st, dim);
    ASSERT_EQ(st.entities.size(), 1u);
    tool(Tool::select);
    st.selection = 0;
    st.dragging = true;
    st.dragging_entity = true;
    st.drag_last = {sx(50), sy(20)};
    move(60, 30);
    EXPECT_EQ(st.entities[0].p0.x, 10);
    EXPECT_EQ(st.entities[0].p2.x, 0);
    EXPECT_EQ(st.entities[0].p2.y, 0);
}

TEST_F(EditorInput, PanDragAndMiddleButton) {
    tool(Tool::pan);
    press(0, 0);
    EXPECT_TRUE(st.panning);
    app::editor_mouse_drag(st, host, {sx(0) + 30, sy(0) - 7});
    release();
    EXPECT_EQ(st.pan_x, 30);
    EXPECT_EQ(st.pan_y, -1007);
    EXPECT_FALSE(st.dragging);

    tool(Tool::line);
    EXPECT_TRUE(app::editor_middle_button_down(st, host, {sx(0), sy(0)}));
    app::editor_mouse_drag(st, host, {sx(0) - 30, sy(0)});
    EXPECT_TRUE(app::editor_left_button_up(st, host));  // the middle release
    EXPECT_EQ(st.pan_x, 0);
    EXPECT_FALSE(app::editor_middle_button_down(st, host, {10, 10}));  // over the panel

    // A double click of the middle button anywhere resets the view.
    app::editor_middle_double_click(st, host);
    EXPECT_EQ(st.zoom, 1);
    EXPECT_EQ(st.pan_y, 0);

    // Losing the capture ends a drag but keeps dragging_entity.
    st.dragging = st.panning = st.dragging_entity = true;
    app::editor_capture_lost(st);
    EXPECT_FALSE(st.dragging);
    EXPECT_FALSE(st.panning);
    EXPECT_TRUE(st.dragging_entity);
}

TEST_F(EditorInput, EraseToolAndKeys) {
    draw_line({0, 0}, {100, 0});
    draw_line({0, 50}, {100, 50});
    EditorEntity dim;
    dim.kind = Kind::dimension;
    dim.p0 = {0, -100};
    dim.p1 = {100, -100};
    dim.p2 = {50, -80};
    app::append_entity(st, dim);

    tool(Tool::erase);
    press(50, 50);
    ASSERT_EQ(st.entities.size(), 2u);
    EXPECT_EQ(st.undo_history.snapshots.size(), 3u);
    // Over a dimension the erase tool only selects it; E deletes it.
    press(50, -80);
    EXPECT_EQ(st.entities.size(), 2u);
    EXPECT_EQ(st.selection, 1);
    key('E');
    ASSERT_EQ(st.entities.size(), 1u);
    EXPECT_EQ(st.selection, -1);
    EXPECT_EQ(st.undo_history.snapshots.size(), 4u);
    // E without a selection chooses the erase tool.
    tool(Tool::line);
    key('E');
    EXPECT_EQ(st.tool, Tool::erase);
    // Delete with a stale selection takes no snapshot.
    st.selection = 9;
    EXPECT_FALSE(app::erase_selected_entity(st, host));
    EXPECT_EQ(st.undo_history.snapshots.size(), 4u);
}

TEST_F(EditorInput, GridSnapKeyAndButton) {
    st.grid_visible = false;
    key('S');
    EXPECT_TRUE(st.snap_to_grid);
    // Scale 2: raw 23 px, step 50. A press rounds to the grid, hover not.
    tool(Tool::polyline);
    press(22, 27);
    ASSERT_EQ(st.polyline_points.size(), 1u);
    EXPECT_EQ(st.polyline_points[0].x, 0);
    EXPECT_EQ(st.polyline_points[0].y, 50);
    move(122, 27);
    EXPECT_EQ(st.hover_point.x, 122);

    EditorState fresh;
    app::toggle_grid(fresh, host);
    EXPECT_FALSE(fresh.grid_visible);
    EXPECT_FALSE(fresh.snap_to_grid);
    EXPECT_EQ(host.grid_caption, "Grilla OFF");
    app::toggle_grid(fresh, host);
    EXPECT_TRUE(fresh.grid_visible);
    EXPECT_TRUE(fresh.snap_to_grid);
    EXPECT_EQ(host.grid_caption, "Grilla ON");
}

TEST_F(EditorInput, WithoutALayoutTheCanvasIsDead) {
    host.has_layout = false;
    tool(Tool::line);
    EXPECT_FALSE(app::editor_left_button_down(st, host, {sx(0), sy(0)}));
    app::editor_hover(st, host, {sx(0), sy(0)});
    EXPECT_FALSE(st.hover_valid);
    EXPECT_FALSE(app::zoom_canvas_at_cursor(st, host, {sx(0), sy(0), 120}));
    EXPECT_EQ(st.zoom, 2);
    EXPECT_FALSE(app::editor_middle_button_down(st, host, {sx(0), sy(0)}));
    EXPECT_FALSE(app::pick_dimension_at(st, host, {sx(0), sy(0)}, true));
    EXPECT_FALSE(app::edit_text_entity_at(st, host, {sx(0), sy(0)}));
    EXPECT_TRUE(st.entities.empty());
    // Keys and the right button still act.
    key('C');
    EXPECT_EQ(st.tool, Tool::circle);
    app::editor_right_button_down(st, host);
    EXPECT_EQ(st.tool, Tool::circle);
    key('F');
    EXPECT_EQ(st.zoom, 1);

    // Hover leaving the canvas clears hover_valid.
    host.has_layout = true;
    move(0, 0);
    EXPECT_TRUE(st.hover_valid);
    app::editor_hover(st, host, {10, 10});
    EXPECT_FALSE(st.hover_valid);
}

TEST_F(EditorInput, WheelZoomsOnlyOverTheCanvas) {
    EXPECT_FALSE(app::zoom_canvas_at_cursor(st, host, {100, 100, 120}));
    EXPECT_TRUE(app::zoom_canvas_at_cursor(st, host, {sx(0), sy(0), 120}));
    EXPECT_DOUBLE_EQ(st.zoom, 2 * 1.18);
}

TEST_F(EditorInput, TextByToolAndDuringASelectDrag) {
    host.text_answers.push_back({app::WindowAnswer::confirmed, {"Hola", "Arial", "24"}});
    tool(Tool::text);
    press(10, 10);
    ASSERT_EQ(host.text_windows.size(), 1u);
    EXPECT_EQ(host.text_windows[0].text, "");
    EXPECT_EQ(host.text_windows[0].font, "ISOCPEUR");
    EXPECT_EQ(host.text_windows[0].size, "16");
    ASSERT_EQ(st.entities.size(), 1u);
    EXPECT_EQ(st.entities[0].text, "Hola");
    EXPECT_EQ(st.entities[0].height, 24);
    EXPECT_EQ(st.text_font, "Arial");

    // T during a select drag on empty canvas: the window opens on release
    // and the text lands at the last drag position, unsnapped.
    tool(Tool::select);
    st.snap_to_grid = true;
    press(200, 100);
    key('T');
    move(213, 117);
    host.text_answers.push_back({app::WindowAnswer::confirmed, {"Nota", "", "abc"}});
    release();
    ASSERT_EQ(host.text_windows.size(), 2u);
    EXPECT_EQ(host.text_windows[1].font, "Arial");
    EXPECT_EQ(host.text_windows[1].size, "24");
    ASSERT_EQ(st.entities.size(), 2u);
    EXPECT_EQ(st.entities[1].p0.x, 213);
    EXPECT_EQ(st.entities[1].p0.y, 117);
    EXPECT_EQ(st.entities[1].font, "ISOCPEUR");
    EXPECT_EQ(st.entities[1].height, 16);
}

TEST_F(EditorInput, CursorPerTool) {
    const app::Rect client{0, 0, 1320, 1010};
    EXPECT_FALSE(app::canvas_cursor(st, client, 10, 10).has_value());
    struct Case {
        int tool;
        app::CursorShape shape;
    };
    for (const Case& k : std::vector<Case>{{Tool::select, app::CursorShape::arrow},
                                           {Tool::pan, app::CursorShape::size_all},
                                           {Tool::dimension, app::CursorShape::arrow},
                                           {Tool::line, app::CursorShape::cross},
                                           {Tool::polyline, app::CursorShape::cross},
                                           {Tool::erase, app::CursorShape::cross},
                                           {Tool::text, app::CursorShape::ibeam}}) {
        st.tool = k.tool;
        EXPECT_EQ(app::canvas_cursor(st, client, 600, 300), k.shape) << k.tool;
    }
    st.tool = Tool::line;
    st.panning = true;
    EXPECT_EQ(app::canvas_cursor(st, client, 600, 300), app::CursorShape::size_all);
}

TEST_F(EditorInput, UndoInTheMiddleOfAShapeEndsTheWorkInProgress) {
    // Each case leaves something half done after a finished line; undo must
    // end it, or the next move or press would work on a finished entity.
    struct Case {
        const char* name;
        int tool;
        std::vector<Point> presses;
    };
    const std::vector<Case> cases{
        {"line", Tool::line, {{10, 60}}},
        {"rectangle", Tool::rectangle, {{10, 60}}},
        {"circle", Tool::circle, {{10, 60}}},
        {"dimension placing its text", Tool::dimension, {{0, 80}, {100, 80}}},
        {"polyline", Tool::polyline, {{10, 60}, {60, 60}}},
        {"arc", Tool::arc, {{10, 60}, {60, 90}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        st = editor_test::zoomed_state();
        host = FakeHost();
        draw_line({0, 0}, {100, 0});
        tool(c.tool);
        for (const Point& p : c.presses) press(p.x, p.y);
        st.selection = 0;

        app::editor_undo(st, host);
        EXPECT_FALSE(st.shape_in_progress);
        EXPECT_FALSE(st.dimension_active);
        EXPECT_EQ(st.dimension_step, 0);
        EXPECT_FALSE(st.polyline_active);
        EXPECT_TRUE(st.polyline_points.empty());
        EXPECT_EQ(st.arc_clicks, 0);
        EXPECT_EQ(st.selection, -1);

        const app::EntityList after_undo = st.entities;
        move(150, 100);
        EXPECT_TRUE(same_drawing(st.entities, after_undo));
        // The next press starts afresh.
        press(120, 110);
        EXPECT_TRUE(st.shape_in_progress || st.dimension_step == 1 || st.polyline_points.size() == 1 ||
                    st.arc_clicks == 1);
        EXPECT_TRUE(host.value_windows.empty());
    }
}

TEST_F(EditorInput, DraggingAPolylineMovesEveryPoint) {
    tool(Tool::polyline);
    press(0, 0);
    press(50, 0);
    press(50, 50);
    press(0, 50);
    key(app::EditorKey::enter);
    ASSERT_EQ(st.entities.size(), 1u);
    tool(Tool::select);
    press(25, 0);
    EXPECT_EQ(st.selection, 0);
    move(35, 20);
    release();
    ASSERT_EQ(st.entities.size(), 1u);
    const EditorEntity& pl = st.entities[0];
    const std::vector<Point> expected{{10, 20}, {60, 20}, {60, 70}, {10, 70}};
    ASSERT_EQ(pl.points.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_TRUE(same_point(pl.points[i], expected[i])) << i << ": " << pl.points[i].x << ", " << pl.points[i].y;
    EXPECT_TRUE(same_point(pl.p0, expected.front()));
    EXPECT_TRUE(same_point(pl.p1, expected.back()));
}

TEST_F(EditorInput, EndingAPolylineAndAnArcsThirdClickTakeOneSnapshot) {
    struct Ending {
        const char* name;
        std::function<void()> end;
    };
    const std::vector<Ending> endings{
        {"Enter", [this] { key(app::EditorKey::enter); }},
        {"Space", [this] { key(app::EditorKey::space); }},
        {"right button", [this] { app::editor_right_button_down(st, host); }},
        {"double click", [this] { EXPECT_TRUE(double_click(50, 50)); }},
    };
    for (const Ending& e : endings) {
        SCOPED_TRACE(e.name);
        st = editor_test::zoomed_state();
        host = FakeHost();
        tool(Tool::polyline);
        press(0, 0);
        press(50, 0);
        press(50, 50);
        EXPECT_TRUE(st.undo_history.snapshots.empty());
        e.end();
        ASSERT_EQ(st.entities.size(), 1u);
        EXPECT_EQ(st.entities[0].kind, Kind::polyline);
        ASSERT_EQ(st.undo_history.snapshots.size(), 1u);
        app::editor_undo(st, host);
        EXPECT_TRUE(st.entities.empty());
    }

    st = editor_test::zoomed_state();
    draw_line({0, 0}, {100, 0});
    tool(Tool::arc);
    press(0, 50);
    press(50, 80);
    EXPECT_EQ(st.undo_history.snapshots.size(), 1u);  // the line's only
    press(100, 50);
    ASSERT_EQ(st.entities.size(), 2u);
    EXPECT_EQ(st.undo_history.snapshots.size(), 2u);
    app::editor_undo(st, host);
    ASSERT_EQ(st.entities.size(), 1u);
    EXPECT_EQ(st.entities[0].kind, Kind::line);
}

}  // namespace
