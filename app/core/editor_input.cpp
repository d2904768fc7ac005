#include "app/core/editor_input.hpp"

#include "app/core/editor_dimensions.hpp"
#include "app/core/editor_text.hpp"
#include "geometry/primitives.hpp"

#include <cmath>

namespace app {

namespace {

bool valid_selection(const EditorState& state) {
    return state.selection >= 0 && static_cast<std::size_t>(state.selection) < state.entities.size();
}

void reset_dimension(EditorState& state) {
    state.dimension_active = false;
    state.dimension_step = 0;
    state.dimension_first = Point{0.0, 0.0};
}

bool dimension_placing_text(const EditorState& state) {
    return state.dimension_active && state.dimension_step == 2 && !state.entities.empty();
}

void remove_last_entity(EditorState& state) {
    if (!state.entities.empty()) erase_entity(state, static_cast<std::int32_t>(state.entities.size()) - 1);
}

// Enter, Space and the right button at step 2: the value window for the
// placed dimension.
void finish_dimension(EditorState& state, EditorHost& host) {
    edit_dimension_value(state, host, static_cast<std::int32_t>(state.entities.size()) - 1);
    reset_dimension(state);
    host.invalidate_canvas();
}

void move_entity(EditorEntity& e, double dx, double dy) {
    auto move = [dx, dy](Point& p) {
        p.x += dx;
        p.y += dy;
    };
    move(e.p0);
    move(e.p1);
    // A dimension's (0, 0) text position means "default": moving it would
    // turn the marker into a real point near the origin.
    const bool default_text = e.kind == EntityKind::dimension && std::hypot(e.p2.x, e.p2.y) <= 1e-6;
    if (!default_text) move(e.p2);
    for (Point& p : e.points) move(p);
}

std::int32_t shape_kind(std::int32_t tool) {
    switch (tool) {
        case EditorTool::line: return EntityKind::line;
        case EditorTool::rectangle: return EntityKind::rectangle;
        default: return EntityKind::circle;
    }
}

}  // namespace

bool editor_left_button_down(EditorState& state, EditorHost& host, const PointerEvent& pointer) {
    const int x = pointer.x;
    const int y = pointer.y;
    const Rect canvas = canvas_rect(host.client_rect());
    if (!canvas_contains(canvas, x, y)) return false;
    const std::shared_ptr<const CanvasLayout> layout = host.display_layout();
    if (layout == nullptr) return false;
    const ViewTransform view = compute_view_transform(*layout, canvas, state);
    const Point p = screen_to_world(view, x, y);
    bool object_hit = false;
    const Point q = snap_pressed_point(p, state, *layout, view, canvas, &object_hit);
    state.hover_valid = true;
    state.hover_screen = ScreenPoint{x, y};
    state.hover_point = q;
    state.object_snap_hit = object_hit;
    host.focus_main();

    switch (state.tool) {
        case EditorTool::erase: {
            const std::int32_t hit = hit_test_drawing(state.entities, p, view.scale);
            if (hit >= 0) {
                push_undo_snapshot(state);
                erase_entity(state, hit);
                state.selection = -1;
            }
            host.invalidate_canvas();
            break;
        }
        case EditorTool::line:
        case EditorTool::rectangle:
        case EditorTool::circle:
            if (state.shape_in_progress && state.shape_tool == state.tool && !state.entities.empty()) {
                state.entities.back().p1 = q;
                finish_shape(state, host);
            } else {
                push_undo_snapshot(state);
                EditorEntity e;
                e.kind = shape_kind(state.tool);
                e.p0 = q;
                e.p1 = q;
                append_entity(state, std::move(e));
                state.shape_in_progress = true;
                state.shape_tool = state.tool;
                state.last_drawing_tool = state.tool;
                host.invalidate_canvas();
            }
            break;
        case EditorTool::select: {
            const std::int32_t hit = hit_test_drawing(state.entities, p, view.scale);
            if (hit >= 0) {
                state.selection = hit;
                state.dragging_entity = true;
                push_undo_snapshot(state);
                host.set_cursor(CursorShape::size_all);
            } else {
                state.selection = -1;
                state.dragging_entity = false;
            }
            host.invalidate_canvas();
            state.dragging = true;
            state.panning = false;
            state.drag_last = ScreenPoint{x, y};
            host.capture_mouse();
            if (hit < 0) host.set_cursor(CursorShape::arrow);
            break;
        }
        case EditorTool::pan:
            state.dragging_entity = false;
            state.selection = -1;
            state.dragging = true;
            state.panning = true;
            state.drag_last = ScreenPoint{x, y};
            host.capture_mouse();
            host.set_cursor(CursorShape::size_all);
            break;
        case EditorTool::dimension:
            dimension_tool_click(state, host, *layout, view, q);
            host.invalidate_canvas();
            break;
        case EditorTool::arc:
            if (state.arc_clicks <= 0) {
                state.arc_points[0] = q;
                state.arc_clicks = 1;
            } else if (state.arc_clicks == 1) {
                state.arc_points[1] = q;
                state.arc_clicks = 2;
            } else {
                state.arc_points[2] = q;
                push_undo_snapshot(state);
                EditorEntity e;
                e.kind = EntityKind::arc;
                e.p0 = state.arc_points[0];
                e.p2 = state.arc_points[1];
                e.p1 = state.arc_points[2];
                append_entity(state, std::move(e));
                state.arc_clicks = 0;
            }
            host.invalidate_canvas();
            break;
        case EditorTool::polyline:
            if (!state.polyline_active) {
                state.polyline_active = true;
                state.polyline_points.clear();
            }
            state.polyline_points.push_back(q);
            host.invalidate_canvas();
            break;
        case EditorTool::text:
            place_new_text(state, host, q);
            host.invalidate_canvas();
            break;
        default: break;
    }
    return true;
}

bool editor_mouse_drag(EditorState& state, EditorHost& host, const PointerEvent& pointer) {
    const int x = pointer.x;
    const int y = pointer.y;
    if (!state.dragging) return false;
    const std::shared_ptr<const CanvasLayout> layout = host.display_layout();
    if (layout == nullptr) return false;
    if (state.panning) {
        state.pan_x += x - state.drag_last.x;
        state.pan_y += y - state.drag_last.y;
    } else if (state.dragging_entity && valid_selection(state)) {
        const Rect canvas = canvas_rect(host.client_rect());
        const ViewTransform view = compute_view_transform(*layout, canvas, state);
        const Point now = screen_to_world(view, x, y);
        const Point before = screen_to_world(view, state.drag_last.x, state.drag_last.y);
        move_entity(state.entities[static_cast<std::size_t>(state.selection)], now.x - before.x,
                    now.y - before.y);
    }
    state.drag_last = ScreenPoint{x, y};
    host.invalidate_canvas();
    return true;
}

void editor_hover(EditorState& state, EditorHost& host, const PointerEvent& pointer) {
    const int x = pointer.x;
    const int y = pointer.y;
    const Rect canvas = canvas_rect(host.client_rect());
    const std::shared_ptr<const CanvasLayout> layout =
        canvas_contains(canvas, x, y) ? host.display_layout() : nullptr;
    if (layout != nullptr) {
        const ViewTransform view = compute_view_transform(*layout, canvas, state);
        state.hover_valid = true;
        state.hover_screen = ScreenPoint{x, y};
        const Point p = screen_to_world(view, x, y);
        bool object_hit = false;
        state.hover_point = snap_hover_point(p, state, *layout, view, canvas, &object_hit);
        state.object_snap_hit = object_hit;
        if (state.shape_in_progress && !state.entities.empty()) state.entities.back().p1 = state.hover_point;
        if (dimension_placing_text(state)) state.entities.back().p2 = state.hover_point;
        host.invalidate_canvas();
        return;
    }
    if (state.hover_valid) {
        state.hover_valid = false;
        host.invalidate_canvas();
    }
}

bool editor_left_button_up(EditorState& state, EditorHost& host) {
    if (!state.dragging) return false;
    const bool was_panning = state.panning;
    state.dragging = false;
    state.panning = false;
    state.dragging_entity = false;
    host.release_mouse();
    if (!was_panning && state.selection == -1 && state.tool == EditorTool::text) {
        // T pressed during a select drag over empty canvas.
        const TextStyleResult answer = show_text_style_dialog(state, host);
        const std::shared_ptr<const CanvasLayout> layout =
            answer.ok && !answer.text.empty() ? host.display_layout() : nullptr;
        if (layout != nullptr) {
            const Rect canvas = canvas_rect(host.client_rect());
            const ViewTransform view = compute_view_transform(*layout, canvas, state);
            append_text_entity(state, screen_to_world(view, state.drag_last.x, state.drag_last.y), answer);
        }
    }
    host.invalidate_canvas();
    return true;
}

bool editor_middle_button_down(EditorState& state, EditorHost& host, const PointerEvent& pointer) {
    const int x = pointer.x;
    const int y = pointer.y;
    const Rect canvas = canvas_rect(host.client_rect());
    if (!canvas_contains(canvas, x, y)) return false;
    if (host.display_layout() == nullptr) return false;
    state.dragging = true;
    state.panning = true;
    state.dragging_entity = false;
    state.drag_last = ScreenPoint{x, y};
    host.capture_mouse();
    host.set_cursor(CursorShape::size_all);
    return true;
}

void editor_middle_double_click(EditorState& state, EditorHost& host) {
    fit_view(state);
    host.invalidate_canvas();
}

bool editor_right_button_down(EditorState& state, EditorHost& host) {
    if (dimension_placing_text(state)) {
        finish_dimension(state, host);
        return true;
    }
    if (finish_polyline(state, host)) return true;
    if (finish_shape(state, host)) return true;
    if (state.arc_clicks > 0) {
        state.arc_clicks = 0;
        host.invalidate_canvas();
        return true;
    }
    set_editor_tool(state, host, state.last_drawing_tool);
    return true;
}

void editor_capture_lost(EditorState& state) {
    state.dragging = false;
    state.panning = false;
}

bool handle_editor_key(EditorState& state, EditorHost& host, int key) {
    if (host.ctrl_or_alt_down()) return false;
    switch (key) {
        case EditorKey::enter:
        case EditorKey::space:
            if (dimension_placing_text(state))
                finish_dimension(state, host);
            else if (!finish_polyline(state, host) && !finish_shape(state, host))
                set_editor_tool(state, host, state.last_drawing_tool);
            return true;
        case EditorKey::escape:
            if (state.shape_in_progress) remove_last_entity(state);
            if (dimension_placing_text(state)) remove_last_entity(state);
            reset_dimension(state);
            state.shape_in_progress = false;
            state.polyline_active = false;
            state.polyline_points.clear();
            state.arc_clicks = 0;
            state.selection = -1;
            host.invalidate_canvas();
            return true;
        case 'A': set_editor_tool(state, host, EditorTool::arc); return true;
        case 'C': set_editor_tool(state, host, EditorTool::circle); return true;
        case 'E':
            if (!erase_selected_entity(state, host)) set_editor_tool(state, host, EditorTool::erase);
            return true;
        case 'F': editor_fit_view(state, host); return true;
        case 'H': set_editor_tool(state, host, EditorTool::pan); return true;
        case 'L': set_editor_tool(state, host, EditorTool::line); return true;
        case 'M': set_editor_tool(state, host, EditorTool::dimension); return true;
        case 'P': set_editor_tool(state, host, EditorTool::polyline); return true;
        case 'R': set_editor_tool(state, host, EditorTool::rectangle); return true;
        case 'S':
        case EditorKey::f9:
            state.snap_to_grid = !state.snap_to_grid;
            host.invalidate_window();
            return true;
        case 'T': set_editor_tool(state, host, EditorTool::text); return true;
        case 'V': set_editor_tool(state, host, EditorTool::select); return true;
        default: return false;
    }
}

bool finish_polyline(EditorState& state, EditorHost& host) {
    if (!state.polyline_active || state.polyline_points.size() < 2) return false;
    push_undo_snapshot(state);
    EditorEntity e;
    e.kind = EntityKind::polyline;
    e.p0 = state.polyline_points.front();
    e.p1 = state.polyline_points.back();
    e.points = std::move(state.polyline_points);
    append_entity(state, std::move(e));
    state.polyline_active = false;
    state.polyline_points.clear();
    host.invalidate_canvas();
    return true;
}

bool finish_shape(EditorState& state, EditorHost& host) {
    if (!state.shape_in_progress) return false;
    if (!state.entities.empty()) {
        const EditorEntity& last = state.entities.back();
        if (geom::point_distance(last.p1, last.p0) < 0.01) remove_last_entity(state);
    }
    state.shape_in_progress = false;
    host.invalidate_canvas();
    return true;
}

void set_editor_tool(EditorState& state, EditorHost& host, std::int32_t tool) {
    if (tool < EditorTool::select || tool > EditorTool::erase) return;
    if (state.shape_in_progress) remove_last_entity(state);
    if (dimension_placing_text(state)) remove_last_entity(state);
    reset_dimension(state);
    state.tool = tool;
    if (tool == EditorTool::polyline) {
        state.arc_clicks = 0;
    } else if (tool == EditorTool::arc) {
        state.polyline_active = false;
        state.polyline_points.clear();
    } else {
        state.polyline_active = false;
        state.polyline_points.clear();
        state.arc_clicks = 0;
    }
    state.shape_in_progress = false;
    state.selection = -1;
    if (is_drawing_tool(tool)) state.last_drawing_tool = tool;
    host.focus_main();
    host.invalidate_window();
}

bool erase_selected_entity(EditorState& state, EditorHost& host) {
    if (!valid_selection(state)) return false;
    push_undo_snapshot(state);
    delete_selected_entity(state);
    host.invalidate_canvas();
    return true;
}

void editor_undo(EditorState& state, EditorHost& host) {
    if (undo_last_edit(state)) host.invalidate_canvas();
}

void editor_clear_drawing(EditorState& state, EditorHost& host) {
    if (clear_drawing(state)) host.invalidate_canvas();
}

void editor_fit_view(EditorState& state, EditorHost& host) {
    fit_view(state);
    host.invalidate_canvas();
}

void toggle_grid(EditorState& state, EditorHost& host) {
    state.grid_visible = !state.grid_visible;
    state.snap_to_grid = state.grid_visible;
    host.set_grid_caption(state.grid_visible);
    host.invalidate_window();
}

bool reset_view_from_canvas(EditorState& state, EditorHost& host, const PointerEvent& pointer) {
    const int x = pointer.x;
    const int y = pointer.y;
    if (!canvas_contains(canvas_rect(host.client_rect()), x, y)) return false;
    editor_fit_view(state, host);
    return true;
}

bool zoom_canvas_at_cursor(EditorState& state, EditorHost& host, const PointerEvent& pointer) {
    const int x = pointer.x;
    const int y = pointer.y;
    const int delta = pointer.wheel_delta;
    const Rect canvas = canvas_rect(host.client_rect());
    if (!canvas_contains(canvas, x, y)) return false;
    const std::shared_ptr<const CanvasLayout> layout = host.display_layout();
    if (layout == nullptr) return false;
    zoom_at(state, *layout, canvas, x, y, delta);
    host.invalidate_canvas();
    return true;
}

std::optional<CursorShape> canvas_cursor(const EditorState& state, const Rect& client, int x, int y) {
    if (!canvas_contains(canvas_rect(client), x, y)) return std::nullopt;
    if (state.tool == EditorTool::pan || state.panning) return CursorShape::size_all;
    switch (state.tool) {
        case EditorTool::line:
        case EditorTool::rectangle:
        case EditorTool::circle:
        case EditorTool::arc:
        case EditorTool::polyline:
        case EditorTool::erase: return CursorShape::cross;
        case EditorTool::text: return CursorShape::ibeam;
        default: return CursorShape::arrow;
    }
}

}  // namespace app
