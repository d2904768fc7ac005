#pragma once

// Plain value types of all flat geometry (millimetres, degrees) and the
// operations that measure, close, move, rotate and scale them.

#include <cmath>
#include <limits>
#include <vector>

namespace geom {

struct Point {
    double x = 0.0;
    double y = 0.0;
};

using Ring = std::vector<Point>;

struct BoundingBox {
    double min_x = std::numeric_limits<double>::infinity();
    double min_y = std::numeric_limits<double>::infinity();
    double max_x = -std::numeric_limits<double>::infinity();
    double max_y = -std::numeric_limits<double>::infinity();

    double width() const { return max_x - min_x; }
    double height() const { return max_y - min_y; }
    bool is_finite() const {
        return std::isfinite(min_x) && std::isfinite(min_y) && std::isfinite(max_x) &&
               std::isfinite(max_y);
    }
    // Strict overlap widened once by margin; boxes that only touch do not
    // overlap, and any NaN answers false.
    bool overlaps(const BoundingBox& other, double margin) const {
        return min_x < other.max_x + margin && other.min_x < max_x + margin &&
               min_y < other.max_y + margin && max_y + margin > other.min_y;
    }
};

// The smallest box holding both, made with plain comparisons from `box`: the
// default (empty) box starts a union, and a NaN side of `other` is passed
// over.
inline BoundingBox box_union(const BoundingBox& box, const BoundingBox& other) {
    BoundingBox u = box;
    if (other.min_x < u.min_x) u.min_x = other.min_x;
    if (other.min_y < u.min_y) u.min_y = other.min_y;
    if (other.max_x > u.max_x) u.max_x = other.max_x;
    if (other.max_y > u.max_y) u.max_y = other.max_y;
    return u;
}

// The box moved by (dx, dy).
inline BoundingBox translate_box(const BoundingBox& box, double dx, double dy) {
    return BoundingBox{box.min_x + dx, box.min_y + dy, box.max_x + dx, box.max_y + dy};
}

struct Polygon {
    Ring outer;
    std::vector<Ring> holes;

    // Outer area minus the hole areas, never below 0 (NaN gives 0).
    double net_area() const;
};

// Distance at or below which a ring's last point counts as its first.
inline constexpr double kGeometryEps = 1e-7;

BoundingBox ring_bounds(const Ring& ring);
BoundingBox polygon_bounds(const Polygon& polygon);
inline double point_distance(const Point& a, const Point& b) {
    const double dx = a.x - b.x;
    const double dy = a.y - b.y;
    return std::sqrt(dx * dx + dy * dy);
}

// The closed copy: the first point appended unless the last already lies
// within 1e-7 of it.
Ring close_ring(Ring ring);

double ring_area(const Ring& ring);
double signed_ring_area(const Ring& ring);

Polygon normalize_polygon(const Polygon& polygon);
// The same, moving the points in place instead of copying them.
Polygon normalize_polygon(Polygon&& polygon);
Polygon translate_polygon(const Polygon& polygon, double dx, double dy);
Ring rotate_ring(const Ring& ring, double degrees);
Polygon rotate_polygon(const Polygon& polygon, double degrees);
Polygon scale_polygon(const Polygon& polygon, double factor);

}  // namespace geom
