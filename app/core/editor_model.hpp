#pragma once

// The drawing editor's data: the entities drawn over the shown layout, the
// process-wide editor state (tool, view, work in progress), the undo history
// and the mapping between canvas pixels and world millimetres.
//
// World coordinates are millimetres, x right and y up, with the origin at
// the lower-left corner of sheet 0. Sheet k is drawn k * (W + sheet_gap) to
// the right of sheet 0; placed parts are sheet-local, entities are not.
//
// Everything here belongs to the user-interface thread; the editor state
// has no lock. Only get_display_layout and take_shown_layout take
// state_mutex, while they copy.

#include "app/core/layout.hpp"
#include "app/core/shown_layout.hpp"
#include "engine/model.hpp"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace app {

struct GuiState;

using plv::Point;

namespace EntityKind {
inline constexpr std::int32_t dimension = 0;
inline constexpr std::int32_t text = 1;
inline constexpr std::int32_t line = 2;
inline constexpr std::int32_t rectangle = 3;
inline constexpr std::int32_t circle = 4;
inline constexpr std::int32_t arc = 5;  // through three points
inline constexpr std::int32_t polyline = 6;
}  // namespace EntityKind

namespace EditorTool {
inline constexpr std::int32_t select = 0;
inline constexpr std::int32_t pan = 1;
inline constexpr std::int32_t dimension = 2;
inline constexpr std::int32_t line = 3;
inline constexpr std::int32_t rectangle = 4;
inline constexpr std::int32_t circle = 5;
inline constexpr std::int32_t arc = 6;
inline constexpr std::int32_t polyline = 7;
inline constexpr std::int32_t text = 8;
inline constexpr std::int32_t erase = 9;
}  // namespace EditorTool

inline bool is_drawing_tool(std::int32_t tool) {
    return tool >= EditorTool::line && tool <= EditorTool::text;
}

// What the points mean, by kind:
//   dimension, linear:   p0, p1 measured points; p2 text position, (0,0) = default
//   dimension, diameter/radius: p0 centre, p1 on the circle; p2 leader
//                        text position, (0,0) = use p1
//   text:      p0 = p1 top-left corner
//   line:      p0 start, p1 end
//   rectangle: p0, p1 opposite corners
//   circle:    p0 centre, p1 on the circle
//   arc:       p0 start, p2 through point, p1 end
//   polyline:  p0 first, p1 last, points all of them (at least 2)
struct EditorEntity {
    std::int32_t kind = EntityKind::line;
    Point p0{0.0, 0.0};
    Point p1{0.0, 0.0};
    Point p2{0.0, 0.0};
    std::string text;  // dimension: override text, empty = formatted value
    std::vector<Point> points;
    bool diameter = false;
    bool radius = false;
    std::int32_t link = -1;  // index of the measured entity, -1 for none
    double value = 0.0;      // typed dimension value, 0 = measured length
    std::string font = "ISOCPEUR";
    double height = 16.0;  // text height in screen pixels, used within 6..96
};

using EntityList = std::vector<EditorEntity>;

// Snapshots of the whole drawing, newest last, at most kMaxUndoSnapshots.
inline constexpr std::size_t kMaxUndoSnapshots = 100;
struct UndoHistory {
    std::deque<EntityList> snapshots;
};

struct ScreenPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const ScreenPoint&) const = default;
};

struct EditorState {
    double zoom = 1.0;  // stored zoom, kept within 0.15..80 by the wheel
    double pan_x = 0.0;  // screen pixels
    double pan_y = 0.0;
    bool dragging = false;  // a drag over the canvas holds the capture
    bool panning = false;
    ScreenPoint drag_last{0, 0};
    std::int32_t tool = EditorTool::select;
    EntityList entities;
    UndoHistory undo_history;
    std::int32_t selection = -1;
    bool dragging_entity = false;
    bool snap_to_grid = false;
    bool grid_visible = true;
    bool object_snap_hit = false;
    ScreenPoint hover_screen{-1, -1};
    Point hover_point{0.0, 0.0};
    bool hover_valid = false;
    bool shape_in_progress = false;  // last entity waits for its second click
    std::int32_t shape_tool = EditorTool::select;
    std::int32_t last_drawing_tool = EditorTool::line;
    bool dimension_active = false;
    std::int32_t dimension_step = 0;  // 0 idle, 1 first point, 2 placing text
    Point dimension_first{0.0, 0.0};
    bool polyline_active = false;
    std::vector<Point> polyline_points;
    std::int32_t arc_clicks = 0;
    Point arc_points[3] = {{0.0, 0.0}, {0.0, 0.0}, {0.0, 0.0}};
    std::string text_font = "ISOCPEUR";
    double text_height = 16.0;
};

// The process-wide editor state, made on first use, never destroyed.
// User-interface thread only.
EditorState& editor_state();

// The drawing as it should reach a run or a save: the entities without a
// two-click shape still waiting for its second click (its far point is only
// where the cursor happens to be).
EntityList finished_entities(const EditorState& state);

// The canvas inside the main window's client area; right and bottom are
// exclusive.
Rect canvas_rect(const Rect& client);
bool canvas_contains(const Rect& canvas, int x, int y);

struct ViewTransform {
    double sheet_gap = 80.0;  // mm between neighbouring sheets on the canvas
    double fit_scale = 1.0;   // px per mm at zoom 1
    double scale = 1.0;       // px per mm at the current zoom
    std::int32_t base_x = 0;
    std::int32_t base_y = 0;
    std::int32_t origin_x = 0;  // screen position of sheet 0's world (0, H)
    std::int32_t origin_y = 0;
    double sheet_width = 0.0;   // W and H of the layout's sheet
    double sheet_height = 0.0;
};

struct SnapResult {
    bool found = false;
    Point point{0.0, 0.0};
};

// Rounds halves away from zero and saturates to the int32 range, so huge
// world values never overflow a pixel coordinate.
std::int32_t round_to_int(double value);

// The gate of the editor: copies, under state_mutex, the shown result when
// there is one with placements, else the ready preview with placements.
// Returns false and leaves `out` alone otherwise. `from_result` (optional)
// tells which of the two was taken.
bool get_display_layout(GuiState& gui, plv::NestingResult& out, bool* from_result = nullptr);
bool get_display_layout(plv::NestingResult& out, bool* from_result = nullptr);
// The same choice for a caller that already holds state_mutex: the layout
// itself, or null when there is none to show.
const plv::NestingResult* display_layout_locked(const GuiState& gui, bool* from_result = nullptr);

double sheet_gap_for(double sheet_width);
ViewTransform compute_view_transform(const plv::NestingResult& layout, const Rect& canvas,
                                     double zoom, double pan_x, double pan_y);
// The same for a layout whose sheet count is already known.
ViewTransform compute_view_transform(const plv::Sheet& sheet, std::int32_t sheets_used,
                                     const Rect& canvas, double zoom, double pan_x, double pan_y);
ViewTransform compute_view_transform(const plv::NestingResult& layout, const Rect& canvas,
                                     const EditorState& state);
ViewTransform compute_view_transform(const CanvasLayout& layout, const Rect& canvas,
                                     const EditorState& state);
Point screen_to_world(const ViewTransform& view, double px, double py);
// Unrounded screen position of a world point of sheet k.
Point world_to_screen(const ViewTransform& view, const Point& world, int sheet_index = 0);

double grid_step(double scale, const Rect& canvas);
Point round_to_grid(const Point& p, double step);

// Distance from p to the segment a-b; a segment with squared length at most
// 1e-9 counts as the point a. (geom's own version uses a coarser guard.)
double editor_segment_distance(const Point& p, const Point& a, const Point& b);

// The nearest entity or placement point strictly within `tolerance` of p;
// on equal distances the first visited (entities, then placements in order).
SnapResult find_object_snap(const Point& p, const EntityList& entities, const CanvasLayout& layout,
                            double sheet_gap, double tolerance);
// Snapping of a pressed point and of the hover point; `object_hit` reports
// whether an object point was taken.
Point snap_pressed_point(const Point& raw, const EditorState& state, const CanvasLayout& layout,
                         const ViewTransform& view, const Rect& canvas,
                         bool* object_hit = nullptr);
Point snap_hover_point(const Point& raw, const EditorState& state, const CanvasLayout& layout,
                       const ViewTransform& view, const Rect& canvas, bool* object_hit = nullptr);

bool hit_test_entity(const EditorEntity& entity, const Point& p, double scale);
// Index of the topmost entity hit at p, or -1.
std::int32_t hit_test_drawing(const EntityList& entities, const Point& p, double scale);

// Text position of a dimension from a to b given g: when g lies within 1 mm
// of the midpoint M (and a != b), M moved clamp(0.12 L, 20, 120) along the
// left normal of a -> b; otherwise g itself. The two-point form is the
// default position (g = M).
Point default_dimension_text_position(const Point& a, const Point& b, const Point& g);
Point default_dimension_text_position(const Point& a, const Point& b);

// "DIA 25.0 mm", "R 6.3 mm", "1250 mm", "99.5 mm".
std::string format_dimension_text(double value, bool diameter, bool radius);

// Edits shared by every tool.
void append_entity(EditorState& state, EditorEntity entity);
// Removes entity `index` and keeps `selection` and every dimension's `link`
// pointing at the same entities: a reference to the removed one becomes -1,
// later ones move down by one. Out of range: nothing.
void erase_entity(EditorState& state, std::int32_t index);
void push_undo_snapshot(EditorState& state);
void reset_work_in_progress(EditorState& state);
// These return whether anything changed (the caller repaints).
bool undo_last_edit(EditorState& state);
bool delete_selected_entity(EditorState& state);
bool clear_drawing(EditorState& state);
void fit_view(EditorState& state);
// Wheel zoom about a cursor position in client pixels; d is the signed
// wheel delta. The caller has checked the gate and the canvas.
void zoom_at(EditorState& state, const CanvasLayout& layout, const Rect& canvas, int cursor_x,
             int cursor_y, int delta);

}  // namespace app
