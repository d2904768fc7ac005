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
    const double a = p1.x, b = p1.y, c = p2.x, d = p2.y;
    const double e = q1.x, f = q1.y, g = q2.x, h = q2.y;
    const double l = (c - a) * (f - b) - (e - a) * (d - b);
    const double m = (c - a) * (h - b) - (g - a) * (d - b);
    const double o = (g - e) * (b - f) - (a - e) * (h - f);
    const double r = (g - e) * (d - f) - (c - e) * (h - f);
    if (((l > kGeometryEps && m < -kGeometryEps) || (l < -kGeometryEps && m > kGeometryEps)) &&
        ((o > kGeometryEps && r < -kGeometryEps) || (o < -kGeometryEps && r > kGeometryEps))) {
        return true;
    }
    // Endpoint on the other segment: near its line and inside its box grown
    // by the tolerance.
    const auto on = [](double orient, double px, double py, double sx1, double sy1, double sx2,
                       double sy2) {
        if (std::fabs(orient) > kGeometryEps) {
            return false;
        }
        double lo = 0.0, hi = 0.0;
        detail::span(sx1, sx2, lo, hi);
        if (!(lo - kGeometryEps <= px && px <= hi + kGeometryEps)) {
            return false;
        }
        detail::span(sy1, sy2, lo, hi);
        return lo - kGeometryEps <= py && py <= hi + kGeometryEps;
    };
    return on(l, e, f, a, b, c, d) || on(m, g, h, a, b, c, d) || on(o, a, b, e, f, g, h) ||
           on(r, c, d, e, f, g, h);
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
