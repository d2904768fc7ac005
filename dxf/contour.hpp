#pragma once

// A closed outline as the DXF reader hands it on.

#include "geometry/primitives.hpp"

namespace plv {

struct Contour {
    geom::Ring ring;    // closed: the first point repeated at the end
    double area = 0.0;  // contour_area of the ring
};

// The ring's area: ring_area, except where the ring lies so far out for its
// size that the products of ring_area have lost more than a thousandth of
// it; then the same sum taken about the ring's box minimum, which is what the
// outline gives near the origin.
double contour_area(const geom::Ring& ring);

// Closes the ring and removes duplicate and collinear vertices (tolerance
// 1e-7), one at a time from the front; never goes below a closed triangle
// and never removes the first point. Works in the given ring's storage, so
// a ring moved in is cleaned without a copy.
geom::Ring clean_ring(geom::Ring ring);

// The cleaned ring as a contour; false (contour untouched) when it encloses
// no area.
bool make_contour(geom::Ring ring, Contour& contour);

}  // namespace plv
