#include "app/core/editor_dimensions.hpp"

#include "app/core/run_settings.hpp"
#include "geometry/primitives.hpp"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>

namespace app {

using geom::point_distance;

namespace {

constexpr double kTwoPi = 6.283185307179586;

bool valid_index(const EntityList& entities, std::int32_t i) {
    return i >= 0 && static_cast<std::size_t>(i) < entities.size();
}

double normalized_angle(double a) {
    while (a < 0.0) a += kTwoPi;
    while (a >= kTwoPi) a -= kTwoPi;
    return a;
}

double sweep(double x, double y) {
    const double d = x - y;
    return d < 0.0 ? d + kTwoPi : d;
}

double angle_from(const Point& c, const Point& p) {
    return normalized_angle(std::atan2(p.y - c.y, p.x - c.x));
}

Point scaled_from(const Point& c, const Point& p, double length) {
    const double d = point_distance(p, c);
    return Point{c.x + (p.x - c.x) * length / d, c.y + (p.y - c.y) * length / d};
}

void reset_dimension(EditorState& state) {
    state.dimension_active = false;
    state.dimension_step = 0;
    state.dimension_first = Point{0.0, 0.0};
}

}  // namespace

std::int32_t find_line_by_endpoints(const EntityList& entities, const Point& a, const Point& b) {
    const double tol = std::max(0.5, 0.002 * point_distance(a, b));
    for (std::size_t i = entities.size(); i-- > 0;) {
        const EditorEntity& e = entities[i];
        if (e.kind != EntityKind::line) continue;
        const bool same = point_distance(e.p0, a) <= tol && point_distance(e.p1, b) <= tol;
        const bool reversed = point_distance(e.p0, b) <= tol && point_distance(e.p1, a) <= tol;
        if (same || reversed) return static_cast<std::int32_t>(i);
    }
    return -1;
}

bool circle_through_three_points(const Point& a, const Point& b, const Point& c, Point& centre,
                                 double& radius) {
    const double d = 2.0 * (c.x * (a.y - b.y) + a.x * (b.y - c.y) + b.x * (c.y - a.y));
    if (std::abs(d) < 1e-9) return false;
    const double a2 = a.x * a.x + a.y * a.y;
    const double b2 = b.x * b.x + b.y * b.y;
    const double c2 = c.x * c.x + c.y * c.y;
    centre.x = ((a.y - b.y) * c2 + (b.y - c.y) * a2 + (c.y - a.y) * b2) / d;
    centre.y = ((b.x - a.x) * c2 + (c.x - b.x) * a2 + (a.x - c.x) * b2) / d;
    radius = point_distance(a, centre);
    return radius > 1e-6;
}

bool polyline_circle_fit(const plv::Ring& ring, double dx, Point& centre, double& radius) {
    if (ring.size() < 10) return false;
    plv::Ring pts = geom::close_ring(ring);
    if (point_distance(pts.back(), pts.front()) <= 1e-6) pts.pop_back();
    if (pts.size() < 10) return false;
    for (Point& p : pts) p.x += dx;
    Point c{0.0, 0.0};
    for (const Point& p : pts) {
        c.x += p.x;
        c.y += p.y;
    }
    const double n = static_cast<double>(pts.size());
    c.x /= n;
    c.y /= n;
    double r = 0.0;
    for (const Point& p : pts) r += point_distance(p, c);
    r /= n;
    if (r < 0.5) return false;
    double worst = 0.0;
    for (const Point& p : pts) worst = std::max(worst, std::abs(point_distance(p, c) - r));
    if (!(worst <= std::max(0.035 * r, 0.8))) return false;
    centre = c;
    radius = r;
    return true;
}

CircularFeature pick_circular_feature(const EntityList& entities, const CanvasLayout& layout,
                                      const ViewTransform& view, const Point& q) {
    CircularFeature best_feature;
    const double tol = 14.0 / view.scale;
    double best = std::numeric_limits<double>::infinity();
    auto better = [&](double e) { return e <= tol && e < best; };

    for (std::size_t i = entities.size(); i-- > 0;) {
        const EditorEntity& e = entities[i];
        if (e.kind == EntityKind::arc) {
            Point c;
            double r = 0.0;
            if (!circle_through_three_points(e.p0, e.p2, e.p1, c, r)) continue;
            const double err = std::abs(point_distance(q, c) - r);
            if (!better(err)) continue;
            const double a0 = angle_from(c, e.p0);
            const double a1 = angle_from(c, e.p1);
            const double am = angle_from(c, e.p2);
            const double aq = angle_from(c, q);
            const bool inside = sweep(a1, a0) >= sweep(am, a0) ? sweep(aq, a0) <= sweep(a1, a0)
                                                                : sweep(aq, a1) <= sweep(a0, a1);
            if (!inside) continue;
            best = err;
            best_feature = CircularFeature{true, c, Point{c.x + r * std::cos(aq), c.y + r * std::sin(aq)},
                                           false, true, static_cast<std::int32_t>(i)};
        } else if (e.kind == EntityKind::circle) {
            const double r = point_distance(e.p1, e.p0);
            if (r < 1e-6) continue;
            const double err = std::abs(point_distance(q, e.p0) - r);
            if (!better(err)) continue;
            best = err;
            best_feature = CircularFeature{true, e.p0, Point{e.p0.x + r, e.p0.y}, true, false,
                                           static_cast<std::int32_t>(i)};
        }
    }

    const double pitch = layout.sheet.width + view.sheet_gap;
    auto try_ring = [&](std::size_t ring, double dx) {
        const plv::Ring points(layout.points.begin() + layout.ring_begin(ring),
                               layout.points.begin() + layout.ring_ends[ring]);
        Point c;
        double r = 0.0;
        if (!polyline_circle_fit(points, dx, c, r) || r < 1e-6) return;
        const double err = std::abs(point_distance(q, c) - r);
        if (!better(err)) return;
        best = err;
        best_feature = CircularFeature{true, c, Point{c.x + r, c.y}, true, false, -1};
    };
    // Outer ring, then each hole, placement by placement.
    for (const CanvasLayout::Part& part : layout.parts) {
        const double dx = part.sheet * pitch;
        for (std::size_t ring = part.first_ring; ring < part.ring_end; ++ring) try_ring(ring, dx);
    }
    return best_feature;
}

std::string initial_dimension_text(const EditorEntity& e) {
    if (!e.text.empty()) return e.text;
    double v = e.value;
    if (!(v > 0.0)) {
        v = point_distance(e.p0, e.p1);
        if (e.diameter) v *= 2.0;
    }
    return format_dimension_text(v, e.diameter, e.radius);
}

bool parse_dimension_number(const std::string& answer, double& value) {
    std::string copy = answer;
    std::replace(copy.begin(), copy.end(), ',', '.');
    const std::size_t start = copy.find_first_of("0123456789-.");
    if (start == std::string::npos) return false;
    copy.erase(0, start);
    std::size_t used = 0;
    double v = 0.0;
    try {
        v = parse_number(copy, &used);
    } catch (const std::exception&) {
        return false;
    }
    // An infinite length would wreck the shape it is applied to.
    if (!(v > 0.0) || !std::isfinite(v) || used < 1) return false;
    value = v;
    return true;
}

namespace {

void apply_dimension_number(EntityList& entities, std::int32_t index, double v) {
    EditorEntity& dim = entities[static_cast<std::size_t>(index)];
    std::int32_t i = dim.link;
    if (dim.diameter) {
        if (!valid_index(entities, i) || entities[static_cast<std::size_t>(i)].kind != EntityKind::circle)
            return;
        EditorEntity& circle = entities[static_cast<std::size_t>(i)];
        const double len = point_distance(circle.p1, circle.p0);
        Point u{1.0, 0.0};
        if (!(len < 1e-6)) u = Point{(circle.p1.x - circle.p0.x) / len, (circle.p1.y - circle.p0.y) / len};
        circle.p1 = Point{circle.p0.x + u.x * v / 2.0, circle.p0.y + u.y * v / 2.0};
        dim.p0 = circle.p0;
        dim.p1 = circle.p1;
        return;
    }
    if (dim.radius) {
        if (!valid_index(entities, i) || entities[static_cast<std::size_t>(i)].kind != EntityKind::arc)
            return;
        EditorEntity& arc = entities[static_cast<std::size_t>(i)];
        Point c;
        double r = 0.0;
        if (!circle_through_three_points(arc.p0, arc.p2, arc.p1, c, r)) return;
        for (Point* p : {&arc.p0, &arc.p2, &arc.p1})
            if (point_distance(*p, c) >= 1e-6) *p = scaled_from(c, *p, v);
        if (point_distance(dim.p1, c) >= 1e-6) {
            dim.p0 = c;
            dim.p1 = scaled_from(c, dim.p1, v);
        }
        return;
    }
    if (!valid_index(entities, i) || entities[static_cast<std::size_t>(i)].kind != EntityKind::line) {
        dim.link = find_line_by_endpoints(entities, dim.p0, dim.p1);
        i = dim.link;
    }
    if (!valid_index(entities, i)) return;
    EditorEntity& line = entities[static_cast<std::size_t>(i)];
    const double len = point_distance(line.p1, line.p0);
    if (len < 1e-6) return;
    const Point u{(line.p1.x - line.p0.x) / len, (line.p1.y - line.p0.y) / len};
    line.p1 = Point{line.p0.x + u.x * v, line.p0.y + u.y * v};
    dim.p0 = line.p0;
    dim.p1 = line.p1;
}

}  // namespace

void apply_dimension_answer(EntityList& entities, std::int32_t index, const std::string& answer,
                            const std::string& initial_text) {
    if (!valid_index(entities, index) || entities[static_cast<std::size_t>(index)].kind != EntityKind::dimension)
        return;
    if (answer.empty() || answer == initial_text) return;
    double v = 0.0;
    if (parse_dimension_number(answer, v)) {
        apply_dimension_number(entities, index, v);
        EditorEntity& dim = entities[static_cast<std::size_t>(index)];
        dim.value = v;
        dim.text = format_dimension_text(v, dim.diameter, dim.radius);
    } else {
        entities[static_cast<std::size_t>(index)].text = answer;
    }
}

void edit_dimension_value(EditorState& state, EditorHost& host, std::int32_t index) {
    if (!valid_index(state.entities, index)) return;
    const EditorEntity& dim = state.entities[static_cast<std::size_t>(index)];
    if (dim.kind != EntityKind::dimension) return;
    const std::string initial = initial_dimension_text(dim);
    std::string answer;
    if (host.ask_dimension_value(initial, answer) != WindowAnswer::confirmed) return;
    // The window's loop dispatched other messages meanwhile: look the
    // dimension up again by index instead of holding a reference.
    apply_dimension_answer(state.entities, index, answer, initial);
}

void dimension_tool_click(EditorState& state, EditorHost& host, const CanvasLayout& layout,
                          const ViewTransform& view, const Point& q) {
    if (state.dimension_active && state.dimension_step == 2) {
        if (!state.entities.empty()) {
            state.entities.back().p2 = q;
            edit_dimension_value(state, host, static_cast<std::int32_t>(state.entities.size()) - 1);
        }
        reset_dimension(state);
        host.invalidate_canvas();
        return;
    }
    if (state.dimension_active && state.dimension_step == 1) {
        push_undo_snapshot(state);
        EditorEntity dim;
        dim.kind = EntityKind::dimension;
        dim.p0 = state.dimension_first;
        dim.p1 = q;
        dim.p2 = default_dimension_text_position(dim.p0, dim.p1);
        dim.link = find_line_by_endpoints(state.entities, dim.p0, dim.p1);
        append_entity(state, std::move(dim));
        state.dimension_step = 2;
        host.invalidate_canvas();
        return;
    }
    const CircularFeature f = pick_circular_feature(state.entities, layout, view, q);
    if (f.found) {
        push_undo_snapshot(state);
        EditorEntity dim;
        dim.kind = EntityKind::dimension;
        dim.p0 = f.centre;
        dim.p1 = f.on_circle;
        dim.p2 = default_dimension_text_position(f.centre, f.on_circle, q);
        dim.diameter = f.diameter;
        dim.radius = f.radius;
        dim.link = f.link;
        append_entity(state, std::move(dim));
        edit_dimension_value(state, host, static_cast<std::int32_t>(state.entities.size()) - 1);
        reset_dimension(state);
    } else {
        state.dimension_active = true;
        state.dimension_step = 1;
        state.dimension_first = q;
    }
    host.invalidate_canvas();
}

bool pick_dimension_at(EditorState& state, EditorHost& host, const PointerEvent& pointer,
                       bool double_click) {
    const int x = pointer.x;
    const int y = pointer.y;
    if (state.dimension_active) return false;
    const Rect canvas = canvas_rect(host.client_rect());
    if (!canvas_contains(canvas, x, y)) return false;
    if (y < canvas.top + 38 || y >= canvas.bottom - 46) return false;
    const std::shared_ptr<const CanvasLayout> layout = host.display_layout();
    if (layout == nullptr) return false;
    if (state.entities.empty()) return false;
    const ViewTransform view = compute_view_transform(*layout, canvas, state);
    const Point p = screen_to_world(view, x, y);
    for (std::size_t i = state.entities.size(); i-- > 0;) {
        const EditorEntity& e = state.entities[i];
        if (e.kind != EntityKind::dimension || !hit_test_entity(e, p, view.scale)) continue;
        state.selection = static_cast<std::int32_t>(i);
        if (double_click) {
            push_undo_snapshot(state);
            edit_dimension_value(state, host, state.selection);
        }
        host.invalidate_canvas();
        return true;
    }
    return false;
}

}  // namespace app
