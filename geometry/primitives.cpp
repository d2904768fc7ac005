#include "geometry/primitives.hpp"

#include <cstddef>
#include <utility>

namespace geom {

namespace {

// Whether the closed copy of a non-empty ring gets the first point appended.
// Written as a negation so that a NaN distance appends.
bool needs_closing(const Ring& ring) {
    return !(point_distance(ring.front(), ring.back()) <= kGeometryEps);
}

// Shoelace sum of consecutive points, in order, plus the closing term when
// asked for; the same terms in the same order as on a closed copy.
double shoelace_sum(const Ring& ring, bool with_closing_edge) {
    double sum = 0.0;
    const std::size_t n = ring.size();
    for (std::size_t i = 0; i + 1 < n; ++i) {
        sum += ring[i].x * ring[i + 1].y - ring[i + 1].x * ring[i].y;
    }
    if (with_closing_edge) {
        sum += ring[n - 1].x * ring[0].y - ring[0].x * ring[n - 1].y;
    }
    return sum;
}

// Minimum x and y of a ring's points; NaN never replaces a bound.
void ring_minimum(const Ring& ring, double& min_x, double& min_y) {
    min_x = std::numeric_limits<double>::infinity();
    min_y = std::numeric_limits<double>::infinity();
    for (const Point& p : ring) {
        if (p.x < min_x) min_x = p.x;
        if (p.y < min_y) min_y = p.y;
    }
}

Ring translated_ring(const Ring& ring, double dx, double dy) {
    Ring out;
    out.reserve(ring.size());
    for (const Point& p : ring) {
        out.push_back(Point{p.x + dx, p.y + dy});
    }
    return out;
}

void translate_in_place(Ring& ring, double dx, double dy) {
    for (Point& p : ring) {
        p.x = p.x + dx;
        p.y = p.y + dy;
    }
}

}  // namespace

double Polygon::net_area() const {
    double area = ring_area(outer);
    for (const Ring& hole : holes) {
        area -= ring_area(hole);
    }
    return area > 0.0 ? area : 0.0;
}

BoundingBox ring_bounds(const Ring& ring) {
    BoundingBox box;
    for (const Point& p : ring) {
        if (p.x < box.min_x) box.min_x = p.x;
        if (p.y < box.min_y) box.min_y = p.y;
        if (p.x > box.max_x) box.max_x = p.x;
        if (p.y > box.max_y) box.max_y = p.y;
    }
    return box;
}

BoundingBox polygon_bounds(const Polygon& polygon) { return ring_bounds(polygon.outer); }

Ring close_ring(Ring ring) {
    if (!ring.empty() && needs_closing(ring)) {
        const Point first = ring.front();
        ring.push_back(first);
    }
    return ring;
}

double ring_area(const Ring& ring) {
    if (ring.empty()) {
        return 0.0;
    }
    // Summed over the ring as its closed copy would be, without making one.
    const bool closing = needs_closing(ring);
    if (ring.size() + (closing ? 1 : 0) < 3) {
        return 0.0;
    }
    return std::fabs(shoelace_sum(ring, closing) * 0.5);
}

double signed_ring_area(const Ring& ring) {
    if (ring.size() < 3) {
        return 0.0;
    }
    return shoelace_sum(ring, false) * 0.5;
}

Polygon translate_polygon(const Polygon& polygon, double dx, double dy) {
    Polygon out;
    out.outer = translated_ring(polygon.outer, dx, dy);
    out.holes.reserve(polygon.holes.size());
    for (const Ring& hole : polygon.holes) {
        out.holes.push_back(translated_ring(hole, dx, dy));
    }
    return out;
}

Polygon normalize_polygon(const Polygon& polygon) {
    double min_x = 0.0, min_y = 0.0;
    ring_minimum(polygon.outer, min_x, min_y);
    return translate_polygon(polygon, -min_x, -min_y);
}

// In place, with the same sums a separate translation would make.
Polygon normalize_polygon(Polygon&& polygon) {
    double min_x = 0.0, min_y = 0.0;
    ring_minimum(polygon.outer, min_x, min_y);
    const double dx = -min_x;
    const double dy = -min_y;
    translate_in_place(polygon.outer, dx, dy);
    for (Ring& hole : polygon.holes) {
        translate_in_place(hole, dx, dy);
    }
    return std::move(polygon);
}

Ring rotate_ring(const Ring& ring, double degrees) {
    const double rad = (degrees * 3.141592653589793) / 180.0;
    const double s = std::sin(rad);
    const double c = std::cos(rad);
    Ring out;
    out.reserve(ring.size());
    for (const Point& p : ring) {
        // Adding 0.0 turns a negative zero into a positive one.
        out.push_back(Point{(p.x * c - p.y * s) + 0.0, (p.x * s + p.y * c) + 0.0});
    }
    return out;
}

Polygon rotate_polygon(const Polygon& polygon, double degrees) {
    Polygon out;
    out.outer = rotate_ring(polygon.outer, degrees);
    out.holes.reserve(polygon.holes.size());
    for (const Ring& hole : polygon.holes) {
        out.holes.push_back(rotate_ring(hole, degrees));
    }
    return normalize_polygon(std::move(out));
}

Polygon scale_polygon(const Polygon& polygon, double factor) {
    Polygon out;
    out.outer.reserve(polygon.outer.size());
    for (const Point& p : polygon.outer) {
        out.outer.push_back(Point{p.x * factor, p.y * factor});
    }
    out.holes.reserve(polygon.holes.size());
    for (const Ring& hole : polygon.holes) {
        Ring scaled;
        scaled.reserve(hole.size());
        for (const Point& p : hole) {
            scaled.push_back(Point{p.x * factor, p.y * factor});
        }
        out.holes.push_back(std::move(scaled));
    }
    return out;
}

}  // namespace geom
