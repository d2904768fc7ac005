// The editor's data rules: the gate, the view mapping and wheel zoom, the
// grid, object snap, hit tests, undo history and erasing.

#include "app/core/editor_model.hpp"
#include "app/core/gui_state.hpp"

#include "test_support.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

using app::EditorEntity;
using app::EditorState;
using app::Point;
using app::Rect;
using app_test::entity;
namespace Kind = app::EntityKind;

// A canvas of 752 x 814 pixels: client 1320 x 1010.
const Rect kClient{0, 0, 1320, 1010};

plv::Placement square_at(double x, double y, double size, int sheet) {
    plv::Placement p;
    p.part_name = "sq";
    p.sheet_index = sheet;
    p.shape.outer = {{x, y}, {x + size, y}, {x + size, y + size}, {x, y + size}, {x, y}};
    return p;
}

plv::NestingResult layout_with_sheets(int sheets, double w = 3000, double h = 1500) {
    plv::NestingResult r;
    r.sheet = {w, h};
    for (int k = 0; k < sheets; ++k) r.placements.push_back(square_at(100, 100, 50, k));
    return r;
}

// The layout as the editor is handed it.
app::CanvasLayout kept(const plv::NestingResult& layout) {
    return *app::finish_canvas_layout(app::copy_canvas_layout(layout));
}

TEST(EditorCanvas, RectangleAndContainment) {
    const Rect c = app::canvas_rect(kClient);
    EXPECT_EQ(c, (Rect{544, 60, 1296, 874}));
    EXPECT_TRUE(app::canvas_contains(c, 544, 60));
    EXPECT_FALSE(app::canvas_contains(c, 1296, 100));
    EXPECT_FALSE(app::canvas_contains(c, 600, 874));
    EXPECT_FALSE(app::canvas_contains(c, 543, 100));
}

TEST(EditorGate, ResultBeforePreviewAndEmptyLayoutsRefused) {
    app::GuiState gui;
    plv::NestingResult out;
    out.sheet = {1, 1};
    EXPECT_FALSE(app::get_display_layout(gui, out));
    EXPECT_EQ(out.sheet.width, 1);  // untouched

    gui.preview_ready = true;  // ready but empty: still nothing
    EXPECT_FALSE(app::get_display_layout(gui, out));

    gui.preview_layout = layout_with_sheets(1, 2000, 1000);
    bool from_result = true;
    ASSERT_TRUE(app::get_display_layout(gui, out, &from_result));
    EXPECT_FALSE(from_result);
    EXPECT_EQ(out.sheet.width, 2000);

    gui.has_result = true;  // a result without placements does not count
    ASSERT_TRUE(app::get_display_layout(gui, out, &from_result));
    EXPECT_FALSE(from_result);

    gui.shown_result = layout_with_sheets(2);
    ASSERT_TRUE(app::get_display_layout(gui, out, &from_result));
    EXPECT_TRUE(from_result);
    EXPECT_EQ(out.sheet.width, 3000);
}

TEST(EditorView, FitOfOneAndTwoSheets) {
    const Rect c = app::canvas_rect(kClient);
    const auto v = app::compute_view_transform(layout_with_sheets(1), c, 1.0, 0, 0);
    EXPECT_DOUBLE_EQ(v.sheet_gap, 240);
    EXPECT_DOUBLE_EQ(v.fit_scale, std::min(660.0 / 3000.0, 694.0 / 1500.0));
    EXPECT_EQ(v.base_x, 590);
    EXPECT_EQ(v.base_y, 134);
    EXPECT_EQ(v.origin_x, 590);
    EXPECT_EQ(v.origin_y, 134);
    Point s = app::world_to_screen(v, {0, 1500});
    EXPECT_NEAR(s.x, 590, 1e-9);
    EXPECT_NEAR(s.y, 134, 1e-9);
    s = app::world_to_screen(v, {3000, 0});
    EXPECT_NEAR(s.x, 1250, 1e-9);
    EXPECT_NEAR(s.y, 464, 1e-9);
    const Point w = app::screen_to_world(v, 1250, 464);
    EXPECT_NEAR(w.x, 3000, 1e-9);
    EXPECT_NEAR(w.y, 0, 1e-9);

    const auto two = app::compute_view_transform(layout_with_sheets(2), c, 1.0, 0, 0);
    EXPECT_DOUBLE_EQ(two.fit_scale, 660.0 / 6240.0);
    // Sheet 1's origin lies W + gap to the right.
    EXPECT_NEAR(app::world_to_screen(two, {0, 0}, 1).x, 590 + 3240 * two.fit_scale, 1e-9);

    // Pan is rounded half away from zero into the origin; zoom is applied
    // within 0.1 .. 50.
    const auto panned = app::compute_view_transform(layout_with_sheets(1), c, 100.0, 2.5, -2.5);
    EXPECT_EQ(panned.origin_x, 593);
    EXPECT_EQ(panned.origin_y, 131);
    EXPECT_DOUBLE_EQ(panned.scale, panned.fit_scale * 50);
}

TEST(EditorView, HugeCoordinatesSaturateInsteadOfOverflowing) {
    EXPECT_EQ(app::round_to_int(1e300), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(app::round_to_int(-1e300), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(app::round_to_int(std::nan("")), 0);
    EXPECT_EQ(app::round_to_int(-2.5), -3);
    EXPECT_EQ(app::round_to_int(2.5), 3);
}

TEST(EditorZoom, KeepsThePointUnderTheCursor) {
    const Rect c = app::canvas_rect(kClient);
    const auto layout = layout_with_sheets(1);
    EditorState st;
    app::zoom_at(st, kept(layout), c, 800, 300, 120);
    EXPECT_DOUBLE_EQ(st.zoom, 1.18);
    EXPECT_NEAR(st.pan_x, -37.8, 1e-9);
    EXPECT_NEAR(st.pan_y, -29.88, 1e-9);
    auto v = app::compute_view_transform(layout, c, st);
    EXPECT_EQ(v.origin_x, 552);
    EXPECT_EQ(v.origin_y, 104);

    // Each notch keeps the point under the cursor within the rounding of
    // the origin (half a pixel), not exactly.
    EditorState five;
    for (int i = 0; i < 5; ++i) {
        const Point under = app::screen_to_world(app::compute_view_transform(layout, c, five), 800, 300);
        app::zoom_at(five, kept(layout), c, 800, 300, 120);
        const Point back = app::world_to_screen(app::compute_view_transform(layout, c, five), under);
        EXPECT_NEAR(back.x, 800, 0.5);
        EXPECT_NEAR(back.y, 300, 0.5);
    }
    EXPECT_NEAR(five.zoom, std::pow(1.18, 5), 1e-12);
}

TEST(EditorZoom, StoredAndAppliedLimits) {
    const Rect c = app::canvas_rect(kClient);
    const auto layout = layout_with_sheets(1);
    EditorState st;
    for (int i = 0; i < 60; ++i) app::zoom_at(st, kept(layout), c, 800, 300, 120);
    EXPECT_DOUBLE_EQ(st.zoom, 80);
    const double scale_at_max = app::compute_view_transform(layout, c, st).scale;
    // Notches back while the stored zoom stays above 50 leave the view.
    app::zoom_at(st, kept(layout), c, 800, 300, -120);
    app::zoom_at(st, kept(layout), c, 800, 300, -120);
    EXPECT_GT(st.zoom, 50);
    EXPECT_DOUBLE_EQ(app::compute_view_transform(layout, c, st).scale, scale_at_max);
    for (int i = 0; i < 80; ++i) app::zoom_at(st, kept(layout), c, 800, 300, -120);
    EXPECT_DOUBLE_EQ(st.zoom, 0.15);
    // A delta of one wheel click's half is a real division.
    EditorState half;
    app::zoom_at(half, kept(layout), c, 800, 300, 60);
    EXPECT_DOUBLE_EQ(half.zoom, std::pow(1.18, 0.5));
}

TEST(EditorGrid, StepTable) {
    const Rect c = app::canvas_rect(kClient);
    struct Case {
        double scale;
        double step;
    };
    for (const Case& k : std::vector<Case>{{0.5, 100}, {3, 20}, {0.22, 500}, {0.46, 100},
                                           {0.92, 50}, {2.3, 20}, {4.6, 10}, {46, 1}}) {
        EXPECT_DOUBLE_EQ(app::grid_step(k.scale, c), k.step) << k.scale;
    }
    EXPECT_DOUBLE_EQ(app::grid_step(1.0, Rect{10, 0, 10, 100}), 100);  // no width: 100
    EXPECT_DOUBLE_EQ(app::grid_step(-1.0, c), 100);

    const Point r = app::round_to_grid({15, -25}, 10);
    EXPECT_EQ(r.x, 20);
    EXPECT_EQ(r.y, -30);
    const Point same = app::round_to_grid({1.3, 2.7}, 0);
    EXPECT_EQ(same.x, 1.3);
}

TEST(EditorSnap, ObjectSnapOrderAndTolerance) {
    auto layout = layout_with_sheets(2);
    // A hole of the part on sheet 1.
    layout.placements[1].shape.holes.push_back({{110, 110}, {120, 110}, {120, 120}});
    app::EntityList ents;
    ents.push_back(entity(Kind::circle, {500, 500}, {510, 500}));  // p2 (0,0) not offered
    ents.push_back(entity(Kind::arc, {700, 700}, {720, 700}, {710, 710}));

    auto snap = app::find_object_snap({1, 1}, ents, kept(layout), 240, 12);
    EXPECT_FALSE(snap.found);
    snap = app::find_object_snap({711, 711}, ents, kept(layout), 240, 12);
    ASSERT_TRUE(snap.found);
    EXPECT_EQ(snap.point.x, 710);
    // Sheet 1's hole lies W + gap to the right.
    snap = app::find_object_snap({3240 + 111, 111}, ents, kept(layout), 240, 12);
    ASSERT_TRUE(snap.found);
    EXPECT_EQ(snap.point.x, 3350);
    EXPECT_EQ(snap.point.y, 110);
    // Strictly below the tolerance.
    snap = app::find_object_snap({512, 500}, ents, kept(layout), 240, 2);
    EXPECT_FALSE(snap.found);
    // A tie: the entity point comes before the part's corner.
    ents.push_back(entity(Kind::line, {90, 100}, {90, 0}));
    snap = app::find_object_snap({95, 100}, ents, kept(layout), 240, 12);
    ASSERT_TRUE(snap.found);
    EXPECT_EQ(snap.point.x, 90);
}

TEST(EditorSnap, PressedAndHoverRules) {
    const Rect c = app::canvas_rect(kClient);
    const auto layout = layout_with_sheets(1);
    struct Case {
        bool snap;
        bool grid;
        bool pressed_rounds;
        bool hover_rounds;
    };
    for (const Case& k : std::vector<Case>{{false, true, false, false},
                                           {true, true, true, true},
                                           {true, false, true, false},
                                           {false, false, false, false}}) {
        EditorState st;
        st.snap_to_grid = k.snap;
        st.grid_visible = k.grid;
        const auto v = app::compute_view_transform(layout, c, st);  // step 500
        const Point raw{1130, 1280};
        bool hit = true;
        const Point pr = app::snap_pressed_point(raw, st, kept(layout), v, c, &hit);
        EXPECT_FALSE(hit);
        EXPECT_EQ(pr.x, k.pressed_rounds ? 1000 : 1130);
        const Point hv = app::snap_hover_point(raw, st, kept(layout), v, c);
        EXPECT_EQ(hv.y, k.hover_rounds ? 1500 : 1280);
    }
    // An object point wins over the grid.
    EditorState st;
    st.snap_to_grid = true;
    const auto v = app::compute_view_transform(layout, c, st);
    bool hit = false;
    const Point pr = app::snap_pressed_point({151, 149}, st, kept(layout), v, c, &hit);
    EXPECT_TRUE(hit);
    EXPECT_EQ(pr.x, 150);
}

TEST(EditorHitTest, TableOfKinds) {
    const double s = 1.0;  // one pixel per millimetre
    EditorEntity text = entity(Kind::text, {0, 0}, {0, 0});
    text.text = "ab";
    EditorEntity empty_text = text;
    empty_text.text = "";
    EditorEntity poly = entity(Kind::polyline, {0, 0}, {100, 100});
    poly.points = {{0, 0}, {100, 0}, {100, 100}};
    EditorEntity one_point = poly;
    one_point.points = {{0, 0}};
    EditorEntity diam = entity(Kind::dimension, {0, 0}, {10, 0}, {100, 0});
    diam.diameter = true;
    // Linear dimension with default text position: o = clamp(12, 20, 120) = 20.
    EditorEntity lin = entity(Kind::dimension, {0, 0}, {100, 0});
    EditorEntity lin_on_line = entity(Kind::dimension, {0, 0}, {100, 0}, {50, 0.5});

    struct Case {
        const char* name;
        EditorEntity e;
        Point p;
        bool hit;
    };
    const std::vector<Case> cases{
        {"line near", entity(Kind::line, {0, 0}, {100, 0}), {50, 14.9}, true},
        {"line at 15", entity(Kind::line, {0, 0}, {100, 0}), {50, 15}, false},
        {"line beyond end", entity(Kind::line, {0, 0}, {100, 0}), {110, 10}, true},
        {"rect edge", entity(Kind::rectangle, {0, 0}, {100, 50}), {100, 25}, true},
        {"rect inside", entity(Kind::rectangle, {0, 0}, {100, 50}), {50, 25}, false},
        {"circle rim", entity(Kind::circle, {0, 0}, {50, 0}), {0, 60}, true},
        {"circle centre", entity(Kind::circle, {0, 0}, {50, 0}), {0, 0}, false},
        {"arc point", entity(Kind::arc, {0, 0}, {100, 0}, {50, 50}), {52, 48}, true},
        {"arc curve not points", entity(Kind::arc, {0, 0}, {100, 0}, {50, 50}), {85, 35}, false},
        {"polyline segment", poly, {100, 50}, true},
        {"polyline not closed", poly, {50, 50}, false},
        {"polyline of one point", one_point, {0, 0}, false},
        {"text right edge", text, {32, -10}, true},
        {"text past right", text, {32.1, -10}, false},
        {"text left", text, {-8, 0}, true},
        {"text above", text, {0, 8.1}, false},
        {"text bottom", text, {0, -28}, true},
        {"empty text keeps 24", empty_text, {32, 0}, true},
        {"diameter leader", diam, {50, 14}, true},
        {"diameter text disc", diam, {125, 25}, true},
        {"diameter past disc", diam, {130, 30}, false},
        {"diameter off", diam, {60, 30}, false},
        {"linear dim line", lin, {50, 34}, true},
        {"linear witness", lin, {0, 10}, true},
        {"linear text disc", lin, {50, 60}, true},
        {"linear far", lin, {50, -40}, false},
        {"linear on line uses 22", lin_on_line, {50, 22 + 14}, true},
        {"zero length dimension", entity(Kind::dimension, {5, 5}, {5, 5}), {5, 5}, false},
    };
    for (const Case& k : cases) EXPECT_EQ(app::hit_test_entity(k.e, k.p, s), k.hit) << k.name;

    // The text box is in pixels whatever the zoom.
    EXPECT_TRUE(app::hit_test_entity(text, {16, -5}, 2.0));
    EXPECT_FALSE(app::hit_test_entity(text, {16.1, -5}, 2.0));

    // The topmost (last) entity wins.
    app::EntityList ents{entity(Kind::line, {0, 0}, {100, 0}), entity(Kind::line, {0, 1}, {100, 1})};
    EXPECT_EQ(app::hit_test_drawing(ents, {50, 0}, s), 1);
    EXPECT_EQ(app::hit_test_drawing(ents, {50, 90}, s), -1);
}

TEST(EditorText, DimensionFormatAndPosition) {
    struct Case {
        double v;
        bool dia;
        bool rad;
        const char* text;
    };
    for (const Case& k : std::vector<Case>{{25, true, false, "DIA 25.0 mm"},
                                           {6.3, false, true, "R 6.3 mm"},
                                           {1250, false, false, "1250 mm"},
                                           {99.5, false, false, "99.5 mm"},
                                           {99.96, false, false, "100.0 mm"},
                                           {100, false, false, "100 mm"},
                                           {0.25, false, false, "0.2 mm"},
                                           {150.4, false, false, "150 mm"}}) {
        EXPECT_EQ(app::format_dimension_text(k.v, k.dia, k.rad), k.text);
    }
    Point q = app::default_dimension_text_position({0, 0}, {100, 0});
    EXPECT_DOUBLE_EQ(q.x, 50);
    EXPECT_DOUBLE_EQ(q.y, 20);
    q = app::default_dimension_text_position({0, 0}, {0, 2000});  // clamp at 120, left normal
    EXPECT_DOUBLE_EQ(q.x, -120);
    q = app::default_dimension_text_position({0, 0}, {100, 0}, {50.5, 0.5});
    EXPECT_DOUBLE_EQ(q.y, 20);
    q = app::default_dimension_text_position({0, 0}, {100, 0}, {52, 0});
    EXPECT_DOUBLE_EQ(q.x, 52);
    q = app::default_dimension_text_position({3, 3}, {3, 3}, {3, 3});
    EXPECT_DOUBLE_EQ(q.x, 3);
}

TEST(EditorUndo, HistoryOfHundred) {
    EditorState st;
    for (int i = 0; i < 101; ++i) {
        app::push_undo_snapshot(st);
        app::append_entity(st, entity(Kind::line, {double(i), 0}, {double(i), 10}));
    }
    ASSERT_EQ(st.undo_history.snapshots.size(), 100u);
    // The oldest (empty drawing) went; the oldest kept holds one line.
    EXPECT_EQ(st.undo_history.snapshots.front().size(), 1u);
    for (int i = 0; i < 100; ++i) EXPECT_TRUE(app::undo_last_edit(st));
    EXPECT_EQ(st.entities.size(), 1u);
    EXPECT_FALSE(app::undo_last_edit(st));
    EXPECT_EQ(st.entities.size(), 1u);
}

TEST(EditorUndo, ClearTakesNoSnapshotAndEmptyClearKeepsWork) {
    EditorState st;
    st.polyline_active = true;
    st.polyline_points = {{1, 1}};
    EXPECT_FALSE(app::clear_drawing(st));
    EXPECT_TRUE(st.polyline_active);

    app::push_undo_snapshot(st);
    app::append_entity(st, entity(Kind::line, {0, 0}, {1, 1}));
    app::push_undo_snapshot(st);
    app::append_entity(st, entity(Kind::line, {0, 0}, {2, 2}));
    st.selection = 1;
    EXPECT_TRUE(app::clear_drawing(st));
    EXPECT_TRUE(st.entities.empty());
    EXPECT_FALSE(st.polyline_active);
    EXPECT_EQ(st.selection, -1);
    EXPECT_EQ(st.undo_history.snapshots.size(), 2u);
    ASSERT_TRUE(app::undo_last_edit(st));
    EXPECT_EQ(st.entities.size(), 1u);  // the state before the last edit
}

TEST(EditorErase, LinksFollowTheirEntities) {
    EditorState st;
    app::append_entity(st, entity(Kind::line, {0, 0}, {100, 0}));   // 0
    app::append_entity(st, entity(Kind::circle, {0, 0}, {10, 0}));  // 1
    app::append_entity(st, entity(Kind::circle, {50, 0}, {60, 0})); // 2
    EditorEntity on_a = entity(Kind::dimension, {0, 0}, {10, 0});
    on_a.diameter = true;
    on_a.link = 1;
    EditorEntity on_line = entity(Kind::dimension, {0, 0}, {100, 0});
    on_line.link = 0;
    app::append_entity(st, on_a);     // 3
    app::append_entity(st, on_line);  // 4

    st.selection = 0;
    ASSERT_TRUE(app::delete_selected_entity(st));
    EXPECT_EQ(st.selection, -1);
    ASSERT_EQ(st.entities.size(), 4u);
    EXPECT_EQ(st.entities[2].link, 0);   // still circle A, not B
    EXPECT_EQ(st.entities[3].link, -1);  // its line is gone
    st.selection = 7;
    EXPECT_FALSE(app::delete_selected_entity(st));
}

TEST(EditorState, FinishedEntitiesLeaveOutTheShapeInProgress) {
    EditorState st;
    app::append_entity(st, entity(Kind::line, {0, 0}, {1, 1}));
    app::append_entity(st, entity(Kind::rectangle, {0, 0}, {300, 200}));
    EXPECT_EQ(app::finished_entities(st).size(), 2u);
    st.shape_in_progress = true;
    const auto done = app::finished_entities(st);
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].kind, Kind::line);
}

}  // namespace
