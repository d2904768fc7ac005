#include "app/core/editor_model.hpp"

#include "app/core/gui_state.hpp"
#include "geometry/primitives.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <locale>
#include <mutex>
#include <sstream>

namespace app {

using geom::point_distance;

EditorState& editor_state() {
    static EditorState* const state = new EditorState();
    return *state;
}

EntityList finished_entities(const EditorState& state) {
    EntityList out = state.entities;
    if (state.shape_in_progress && !out.empty()) out.pop_back();
    return out;
}

Rect canvas_rect(const Rect& client) {
    return Rect{544, 60, client.right - 24, client.bottom - 136};
}

bool canvas_contains(const Rect& canvas, int x, int y) {
    return x >= canvas.left && x < canvas.right && y >= canvas.top && y < canvas.bottom;
}

std::int32_t round_to_int(double value) {
    if (std::isnan(value)) return 0;
    const double r = std::round(value);
    constexpr double lo = static_cast<double>(std::numeric_limits<std::int32_t>::min());
    constexpr double hi = static_cast<double>(std::numeric_limits<std::int32_t>::max());
    if (r <= lo) return std::numeric_limits<std::int32_t>::min();
    if (r >= hi) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(r);
}

const plv::NestingResult* display_layout_locked(const GuiState& gui, bool* from_result) {
    if (gui.has_result && !gui.shown_result.placements.empty()) {
        if (from_result != nullptr) *from_result = true;
        return &gui.shown_result;
    }
    if (gui.preview_ready && !gui.preview_layout.placements.empty()) {
        if (from_result != nullptr) *from_result = false;
        return &gui.preview_layout;
    }
    return nullptr;
}

bool get_display_layout(GuiState& gui, plv::NestingResult& out, bool* from_result) {
    std::lock_guard<std::mutex> lock(gui.state_mutex);
    const plv::NestingResult* shown = display_layout_locked(gui, from_result);
    if (shown == nullptr) return false;
    out = *shown;
    return true;
}

bool get_display_layout(plv::NestingResult& out, bool* from_result) {
    return get_display_layout(gui_state(), out, from_result);
}

double sheet_gap_for(double sheet_width) { return std::max(80.0, 0.08 * sheet_width); }

namespace {

double applied_zoom(double zoom) { return std::min(std::max(zoom, 0.1), 50.0); }

}  // namespace

ViewTransform compute_view_transform(const plv::NestingResult& layout, const Rect& canvas,
                                     double zoom, double pan_x, double pan_y) {
    return compute_view_transform(layout.sheet, layout.sheets_used(), canvas, zoom, pan_x, pan_y);
}

ViewTransform compute_view_transform(const plv::Sheet& sheet, std::int32_t sheets_used,
                                     const Rect& canvas, double zoom, double pan_x, double pan_y) {
    ViewTransform v;
    const double w = sheet.width;
    const double h = sheet.height;
    v.sheet_width = w;
    v.sheet_height = h;
    v.sheet_gap = sheet_gap_for(w);
    const double n = std::max<std::int32_t>(1, sheets_used);
    const double cw = canvas.width();
    const double ch = canvas.height();
    double fit = std::min((cw - 92.0) / ((n - 1.0) * v.sheet_gap + n * w), (ch - 120.0) / h);
    // A degenerate sheet would give infinity or NaN; keep the view usable.
    if (!std::isfinite(fit)) fit = 0.01;
    v.fit_scale = std::max(0.01, fit);
    v.scale = v.fit_scale * applied_zoom(zoom);
    v.base_x = canvas.left + 46;
    v.base_y = canvas.top + 74;
    v.origin_x = round_to_int(v.base_x + std::round(pan_x));
    v.origin_y = round_to_int(v.base_y + std::round(pan_y));
    return v;
}

ViewTransform compute_view_transform(const plv::NestingResult& layout, const Rect& canvas,
                                     const EditorState& state) {
    return compute_view_transform(layout, canvas, state.zoom, state.pan_x, state.pan_y);
}

ViewTransform compute_view_transform(const CanvasLayout& layout, const Rect& canvas,
                                     const EditorState& state) {
    return compute_view_transform(layout.sheet, layout.sheets, canvas, state.zoom, state.pan_x,
                                  state.pan_y);
}

Point screen_to_world(const ViewTransform& view, double px, double py) {
    return Point{(px - view.origin_x) / view.scale,
                 view.sheet_height - (py - view.origin_y) / view.scale};
}

Point world_to_screen(const ViewTransform& view, const Point& world, int sheet_index) {
    const double shift = sheet_index * (view.sheet_width + view.sheet_gap);
    return Point{view.origin_x + (world.x + shift) * view.scale,
                 view.origin_y + (view.sheet_height - world.y) * view.scale};
}

double grid_step(double scale, const Rect& canvas) {
    const double raw = canvas.right > canvas.left ? 46.0 / scale : 100.0;
    if (!(raw > 0.0) || !std::isfinite(raw)) return 100.0;
    const double k = std::floor(std::log10(raw));
    const double b = std::pow(10.0, k);
    const double r = raw / b;
    if (r <= 1.0) return b;
    if (r <= 2.0) return 2.0 * b;
    if (r <= 5.0) return 5.0 * b;
    return 10.0 * b;
}

Point round_to_grid(const Point& p, double step) {
    if (!(step > 0.0)) return p;
    return Point{std::round(p.x / step) * step, std::round(p.y / step) * step};
}

double editor_segment_distance(const Point& p, const Point& a, const Point& b) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double dd = dx * dx + dy * dy;
    if (dd <= 1e-9) return point_distance(p, a);
    double t = ((p.x - a.x) * dx + (p.y - a.y) * dy) / dd;
    t = std::min(std::max(t, 0.0), 1.0);
    return point_distance(p, Point{a.x + t * dx, a.y + t * dy});
}

namespace {

// Whether no point of the part, shifted right by `shift`, can lie nearer to
// p than `best`: its box grown by `best` leaves p out. The box is shifted
// with the same sums as the points, so each shifted point stays in it, and
// a distance is never below either of its coordinate differences.
bool part_out_of_reach(const CanvasLayout::Part& part, double shift, const Point& p, double best) {
    if (!part.boxed) return false;
    return part.box.min_x + shift - p.x >= best || p.x - (part.box.max_x + shift) >= best ||
           part.box.min_y - p.y >= best || p.y - part.box.max_y >= best;
}

}  // namespace

SnapResult find_object_snap(const Point& p, const EntityList& entities, const CanvasLayout& layout,
                            double sheet_gap, double tolerance) {
    SnapResult result;
    double best = tolerance;
    auto offer = [&](const Point& c) {
        const double d = point_distance(p, c);
        if (d < best) {
            best = d;
            result.found = true;
            result.point = c;
        }
    };
    for (const EditorEntity& e : entities) {
        offer(e.p0);
        offer(e.p1);
        if (e.kind == EntityKind::arc) offer(e.p2);
        for (const Point& q : e.points) offer(q);
    }
    // Outer ring, then each hole, placement by placement; only a strictly
    // nearer point wins, so a part out of reach of the best so far changes
    // nothing and is passed over.
    const double pitch = layout.sheet.width + sheet_gap;
    for (const CanvasLayout::Part& part : layout.parts) {
        const double shift = part.sheet * pitch;
        if (part_out_of_reach(part, shift, p, best)) continue;
        // The part's points end where the ring after its last would begin.
        const std::size_t begin = layout.ring_begin(part.first_ring);
        const std::size_t end = layout.ring_begin(part.ring_end);
        for (std::size_t i = begin; i < end; ++i) {
            const Point& q = layout.points[i];
            offer(Point{q.x + shift, q.y});
        }
    }
    return result;
}

namespace {

SnapResult object_snap_for(const Point& raw, const EditorState& state, const CanvasLayout& layout,
                           const ViewTransform& view) {
    return find_object_snap(raw, state.entities, layout, view.sheet_gap, 12.0 / view.scale);
}

}  // namespace

Point snap_pressed_point(const Point& raw, const EditorState& state, const CanvasLayout& layout,
                         const ViewTransform& view, const Rect& canvas, bool* object_hit) {
    const SnapResult snap = object_snap_for(raw, state, layout, view);
    if (object_hit != nullptr) *object_hit = snap.found;
    if (snap.found) return snap.point;
    if (state.snap_to_grid) return round_to_grid(raw, grid_step(view.scale, canvas));
    return raw;
}

Point snap_hover_point(const Point& raw, const EditorState& state, const CanvasLayout& layout,
                       const ViewTransform& view, const Rect& canvas, bool* object_hit) {
    const SnapResult snap = object_snap_for(raw, state, layout, view);
    if (object_hit != nullptr) *object_hit = snap.found;
    if (snap.found) return snap.point;
    if (state.snap_to_grid && state.grid_visible)
        return round_to_grid(raw, grid_step(view.scale, canvas));
    return raw;
}

Point default_dimension_text_position(const Point& a, const Point& b, const Point& g) {
    const double len = point_distance(a, b);
    const Point m{(a.x + b.x) * 0.5, (a.y + b.y) * 0.5};
    if (len >= 1e-6 && point_distance(g, m) <= 1.0) {
        const double off = std::min(std::max(0.12 * len, 20.0), 120.0);
        const Point n{-(b.y - a.y) / len, (b.x - a.x) / len};
        return Point{m.x + off * n.x, m.y + off * n.y};
    }
    return g;
}

Point default_dimension_text_position(const Point& a, const Point& b) {
    return default_dimension_text_position(a, b, Point{(a.x + b.x) * 0.5, (a.y + b.y) * 0.5});
}

std::string format_dimension_text(double value, bool diameter, bool radius) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    if (diameter)
        out << "DIA ";
    else if (radius)
        out << "R ";
    out.setf(std::ios::fixed, std::ios::floatfield);
    out.precision(value >= 100.0 ? 0 : 1);
    out << value << " mm";
    return out.str();
}

namespace {

double length(const Point& v) { return std::sqrt(v.x * v.x + v.y * v.y); }

bool hit_linear_dimension(const EditorEntity& e, const Point& p, double s) {
    const double len = point_distance(e.p0, e.p1);
    if (len < 1e-6) return false;
    const Point n{-(e.p1.y - e.p0.y) / len, (e.p1.x - e.p0.x) / len};
    const Point m{(e.p0.x + e.p1.x) * 0.5, (e.p0.y + e.p1.y) * 0.5};
    Point q = e.p2;
    if (!(length(e.p2) > 1e-6)) {
        const double off = std::min(std::max(0.12 * len, 20.0), 120.0);
        q = Point{m.x + off * n.x, m.y + off * n.y};
    }
    double o = (q.x - m.x) * n.x + (q.y - m.y) * n.y;
    if (std::abs(o) < 2.0 / s) o = 22.0 / s;
    const Point a{e.p0.x + o * n.x, e.p0.y + o * n.y};
    const Point b{e.p1.x + o * n.x, e.p1.y + o * n.y};
    if (editor_segment_distance(p, a, b) * s < 15.0) return true;
    if (editor_segment_distance(p, e.p0, a) * s < 15.0) return true;
    if (editor_segment_distance(p, e.p1, b) * s < 15.0) return true;
    const Point mid{(a.x + b.x) * 0.5, (a.y + b.y) * 0.5};
    return point_distance(p, mid) * s < 52.0;
}

bool hit_circular_dimension(const EditorEntity& e, const Point& p, double s) {
    const Point t = length(e.p2) > 1e-6 ? e.p2 : e.p1;
    const double r = point_distance(e.p1, e.p0);
    const double k = r / std::max(point_distance(t, e.p0), 1e-6);
    const Point edge{e.p0.x + (t.x - e.p0.x) * k, e.p0.y + (t.y - e.p0.y) * k};
    if (editor_segment_distance(p, edge, t) * s < 15.0) return true;
    return point_distance(p, t) * s < 42.0;
}

}  // namespace

bool hit_test_entity(const EditorEntity& e, const Point& p, double s) {
    switch (e.kind) {
        case EntityKind::line: return editor_segment_distance(p, e.p0, e.p1) * s < 15.0;
        case EntityKind::rectangle: {
            const Point c0{e.p0.x, e.p0.y};
            const Point c1{e.p1.x, e.p0.y};
            const Point c2{e.p1.x, e.p1.y};
            const Point c3{e.p0.x, e.p1.y};
            const double d = std::min({editor_segment_distance(p, c0, c1),
                                       editor_segment_distance(p, c1, c2),
                                       editor_segment_distance(p, c2, c3),
                                       editor_segment_distance(p, c3, c0)});
            return d * s < 15.0;
        }
        case EntityKind::circle:
            return std::abs(point_distance(p, e.p0) - point_distance(e.p1, e.p0)) * s < 15.0;
        case EntityKind::arc: {
            const double d = std::min({point_distance(p, e.p0), point_distance(p, e.p1),
                                       point_distance(p, e.p2)});
            return d * s < 15.0;
        }
        case EntityKind::polyline: {
            if (e.points.size() < 2) return false;
            double d = std::numeric_limits<double>::infinity();
            for (std::size_t i = 0; i + 1 < e.points.size(); ++i)
                d = std::min(d, editor_segment_distance(p, e.points[i], e.points[i + 1]));
            return d * s < 15.0;
        }
        case EntityKind::text: {
            const double dx = (p.x - e.p0.x) * s;
            const double dy = (e.p0.y - p.y) * s;
            const double h = std::min(std::max(e.height, 6.0), 96.0);
            const double n = static_cast<double>(e.text.size());
            return dx >= -8.0 && dx <= std::max(n * h * 0.62, 24.0) + 8.0 && dy >= -8.0 &&
                   dy <= std::max(1.25 * h, 12.0) + 8.0;
        }
        case EntityKind::dimension:
            if (e.diameter || e.radius) return hit_circular_dimension(e, p, s);
            return hit_linear_dimension(e, p, s);
        default: return false;
    }
}

std::int32_t hit_test_drawing(const EntityList& entities, const Point& p, double scale) {
    for (std::size_t i = entities.size(); i-- > 0;)
        if (hit_test_entity(entities[i], p, scale)) return static_cast<std::int32_t>(i);
    return -1;
}

void append_entity(EditorState& state, EditorEntity entity) {
    state.entities.push_back(std::move(entity));
}

void erase_entity(EditorState& state, std::int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= state.entities.size()) return;
    state.entities.erase(state.entities.begin() + index);
    // Positions after the removed entity move down; keep references on the
    // entity they meant, so a dimension never ends up sizing another shape.
    auto adjust = [index](std::int32_t& ref) {
        if (ref == index)
            ref = -1;
        else if (ref > index)
            --ref;
    };
    for (EditorEntity& e : state.entities)
        if (e.kind == EntityKind::dimension) adjust(e.link);
    adjust(state.selection);
}

void push_undo_snapshot(EditorState& state) {
    state.undo_history.snapshots.push_back(state.entities);
    while (state.undo_history.snapshots.size() > kMaxUndoSnapshots)
        state.undo_history.snapshots.pop_front();
}

void reset_work_in_progress(EditorState& state) {
    state.selection = -1;
    state.shape_in_progress = false;
    state.dimension_active = false;
    state.dimension_step = 0;
    state.dimension_first = Point{0.0, 0.0};
    state.polyline_active = false;
    state.polyline_points.clear();
    state.arc_clicks = 0;
}

bool undo_last_edit(EditorState& state) {
    if (state.undo_history.snapshots.empty()) return false;
    state.entities = std::move(state.undo_history.snapshots.back());
    state.undo_history.snapshots.pop_back();
    reset_work_in_progress(state);
    return true;
}

bool delete_selected_entity(EditorState& state) {
    if (state.selection < 0 || static_cast<std::size_t>(state.selection) >= state.entities.size())
        return false;
    erase_entity(state, state.selection);
    state.selection = -1;
    return true;
}

bool clear_drawing(EditorState& state) {
    if (state.entities.empty()) return false;
    state.entities.clear();
    reset_work_in_progress(state);
    return true;
}

void fit_view(EditorState& state) {
    state.zoom = 1.0;
    state.pan_x = 0.0;
    state.pan_y = 0.0;
}

void zoom_at(EditorState& state, const CanvasLayout& layout, const Rect& canvas, int cursor_x,
             int cursor_y, int delta) {
    const ViewTransform before = compute_view_transform(layout, canvas, state);
    const double s0 = before.scale;
    const double f = std::pow(1.18, static_cast<double>(delta) / 120.0);
    state.zoom = std::min(std::max(state.zoom * f, 0.15), 80.0);
    const double s1 = before.fit_scale * applied_zoom(state.zoom);
    state.pan_x = cursor_x - before.base_x - s1 * ((cursor_x - before.origin_x) / s0);
    state.pan_y = cursor_y - before.base_y - s1 * ((cursor_y - before.origin_y) / s0);
}

}  // namespace app
