#pragma once

// Containment, intersection and distance, all with the tolerance 1e-7 and on
// closed copies of the rings.

#include "geometry/primitives.hpp"

#include <vector>

namespace geom {

bool point_in_ring(const Point& p, const Ring& ring);
// Inside or on the outer ring and not inside or on any hole.
bool point_in_polygon(const Point& p, const Polygon& polygon);
bool segments_intersect(const Point& p1, const Point& p2, const Point& q1, const Point& q2);
// Outer ring first, then the holes in order; valid while the polygon lives.
std::vector<const Ring*> polygon_rings(const Polygon& polygon);
bool polygons_intersect(const Polygon& a, const Polygon& b);
bool any_outline_point_inside(const Polygon& a, const Polygon& b);
// 0 when the polygons intersect, +infinity when either has no edge.
double polygon_distance(const Polygon& a, const Polygon& b);

}  // namespace geom
