#include "app/core/drawing_to_parts.hpp"

#include "geometry/primitives.hpp"

#include <cmath>
#include <string>

namespace app {

using geom::point_distance;

void make_editor_part(std::vector<plv::Part>& parts, std::vector<Point> points,
                      const std::string& name) {
    geom::Ring ring = geom::close_ring(std::move(points));
    if (ring.size() < 4 || !(geom::ring_area(ring) >= 1.0)) return;
    plv::Part part;
    part.name = name;
    geom::Polygon shape;
    shape.outer = std::move(ring);
    part.shape = geom::normalize_polygon(shape);
    part.quantity = 1;
    part.allow_rotation = true;
    part.source = "editor";
    if (!plv::part_bounds(part).is_finite() || !(plv::part_net_area(part) >= 1.0)) return;
    parts.push_back(std::move(part));
}

namespace {

struct Segment {
    Point start;
    Point end;
    bool used = false;
};

}  // namespace

std::vector<plv::Part> editor_entities_to_parts(const std::vector<EditorEntity>& entities) {
    std::vector<plv::Part> parts;
    int n = 1;
    for (const EditorEntity& e : entities) {
        if (e.kind == EntityKind::polyline && e.points.size() >= 3) {
            make_editor_part(parts, e.points, "editor_polyline_" + std::to_string(n));
            ++n;
        } else if (e.kind == EntityKind::circle) {
            const double r = point_distance(e.p1, e.p0);
            std::vector<Point> pts;
            if (r >= 0.5) {
                for (int i = 0; i < 96; ++i) {
                    const double a = 2.0 * 3.14159265358979323846 * i / 96.0;
                    pts.push_back(Point{e.p0.x + r * std::cos(a), e.p0.y + r * std::sin(a)});
                }
                pts.push_back(pts.front());
            }
            make_editor_part(parts, std::move(pts), "editor_circle_" + std::to_string(n));
            ++n;
        } else if (e.kind == EntityKind::rectangle) {
            std::vector<Point> pts{{e.p0.x, e.p0.y}, {e.p1.x, e.p0.y}, {e.p1.x, e.p1.y},
                                   {e.p0.x, e.p1.y}, {e.p0.x, e.p0.y}};
            make_editor_part(parts, std::move(pts), "editor_rect_" + std::to_string(n));
            ++n;
        }
    }

    std::vector<Segment> segments;
    for (const EditorEntity& e : entities)
        if (e.kind == EntityKind::line && point_distance(e.p1, e.p0) > 0.01)
            segments.push_back(Segment{e.p0, e.p1, false});

    for (Segment& first : segments) {
        if (first.used) continue;
        first.used = true;
        std::vector<Point> chain{first.start, first.end};
        Point tip = first.end;
        for (;;) {
            if (chain.size() >= 4 && point_distance(tip, chain.front()) <= 1.0) {
                chain.back() = chain.front();
                make_editor_part(parts, std::move(chain), "editor_line_chain_" + std::to_string(n));
                ++n;
                break;
            }
            Segment* next = nullptr;
            bool from_start = true;
            for (Segment& s : segments) {
                if (s.used) continue;
                if (point_distance(s.start, tip) <= 1.0) {
                    next = &s;
                    from_start = true;
                    break;
                }
                if (point_distance(s.end, tip) <= 1.0) {
                    next = &s;
                    from_start = false;
                    break;
                }
            }
            if (next == nullptr) break;  // open chain: dropped
            next->used = true;
            tip = from_start ? next->end : next->start;
            chain.push_back(tip);
        }
    }
    return parts;
}

}  // namespace app
