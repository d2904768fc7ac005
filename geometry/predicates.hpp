#pragma once

// Containment, intersection and distance, all with the tolerance 1e-7 and on
// closed copies of the rings.

#include "geometry/primitives.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace geom {

namespace detail {
// Extent of two coordinates as a box sees it: plain comparisons from the
// empty box, so a NaN coordinate is passed over.
inline void span(double a, double b, double& lo, double& hi) {
    lo = std::numeric_limits<double>::infinity();
    hi = -std::numeric_limits<double>::infinity();
    if (a < lo) lo = a;
    if (a > hi) hi = a;
    if (b < lo) lo = b;
    if (b > hi) hi = b;
}
}  // namespace detail

bool point_in_ring(const Point& p, const Ring& ring);
// Inside or on the outer ring and not inside or on any hole.
bool point_in_polygon(const Point& p, const Polygon& polygon);
// The segments cross or touch within 1e-7; a NaN orientation counts as
// touching, but a NaN point still has to lie in the other segment's box.
inline bool segments_intersect(const Point& p1, const Point& p2, const Point& q1,
                               const Point& q2) {
    // Which side of the other segment's line each endpoint lies on (the
    // cross product; near 0: on the line).
    const double q1_side = (p2.x - p1.x) * (q1.y - p1.y) - (q1.x - p1.x) * (p2.y - p1.y);
    const double q2_side = (p2.x - p1.x) * (q2.y - p1.y) - (q2.x - p1.x) * (p2.y - p1.y);
    const double p1_side = (q2.x - q1.x) * (p1.y - q1.y) - (p1.x - q1.x) * (q2.y - q1.y);
    const double p2_side = (q2.x - q1.x) * (p2.y - q1.y) - (p2.x - q1.x) * (q2.y - q1.y);
    if (((q1_side > kGeometryEps && q2_side < -kGeometryEps) ||
         (q1_side < -kGeometryEps && q2_side > kGeometryEps)) &&
        ((p1_side > kGeometryEps && p2_side < -kGeometryEps) ||
         (p1_side < -kGeometryEps && p2_side > kGeometryEps))) {
        return true;
    }
    // Endpoint on the other segment: near its line and inside its box grown
    // by the tolerance.
    const auto on_segment = [](double side, const Point& end, const Point& s1, const Point& s2) {
        if (std::fabs(side) > kGeometryEps) {
            return false;
        }
        double lo = 0.0, hi = 0.0;
        detail::span(s1.x, s2.x, lo, hi);
        if (!(lo - kGeometryEps <= end.x && end.x <= hi + kGeometryEps)) {
            return false;
        }
        detail::span(s1.y, s2.y, lo, hi);
        return lo - kGeometryEps <= end.y && end.y <= hi + kGeometryEps;
    };
    return on_segment(q1_side, q1, p1, p2) || on_segment(q2_side, q2, p1, p2) ||
           on_segment(p1_side, p1, q1, q2) || on_segment(p2_side, p2, q1, q2);
}

// Distance from p to the segment s1->s2; a segment whose squared length is
// at most 1e-7 counts as the point s1.
inline double point_segment_distance(const Point& p, const Point& s1, const Point& s2) {
    const double vx = s2.x - s1.x;
    const double vy = s2.y - s1.y;
    const double len2 = vx * vx + vy * vy;
    if (len2 <= kGeometryEps) {
        return point_distance(p, s1);
    }
    double t = ((p.x - s1.x) * vx + (p.y - s1.y) * vy) / len2;
    if (t < 0.0) {
        t = 0.0;
    } else if (t > 1.0) {
        t = 1.0;
    }
    return point_distance(p, Point{s1.x + t * vx, s1.y + t * vy});
}

// 0 when the segments intersect, else the smallest endpoint-to-segment
// distance.
inline double segment_distance(const Point& a1, const Point& a2, const Point& b1,
                               const Point& b2) {
    if (segments_intersect(a1, a2, b1, b2)) {
        return 0.0;
    }
    const double d1 = point_segment_distance(a1, b1, b2);
    const double d2 = point_segment_distance(a2, b1, b2);
    const double d3 = point_segment_distance(b1, a1, a2);
    const double d4 = point_segment_distance(b2, a1, a2);
    return std::min(std::min(std::min(d1, d2), d3), d4);
}

// Outer ring first, then the holes in order; valid while the polygon lives.
std::vector<const Ring*> polygon_rings(const Polygon& polygon);
bool polygons_intersect(const Polygon& a, const Polygon& b);
bool any_outline_point_inside(const Polygon& a, const Polygon& b);
// 0 when the polygons intersect, +infinity when either has no edge.
double polygon_distance(const Polygon& a, const Polygon& b);

}  // namespace geom
