#pragma once

// Shared by the geometry tests: the geometry names, the non-finite
// coordinates and an open axis-aligned rectangle.

#include "geometry/primitives.hpp"

#include <limits>

namespace geometry_test {

using geom::BoundingBox;
using geom::Point;
using geom::Polygon;
using geom::Ring;

inline constexpr double kInf = std::numeric_limits<double>::infinity();
inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Counter-clockwise from (x0, y0), without the closing point.
inline geom::Ring rect(double x0, double y0, double x1, double y1) {
    return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
}

}  // namespace geometry_test
