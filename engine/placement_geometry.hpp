#pragma once

// The free test's conflict rule for one pair of shapes, answered exactly as
// the geometry library answers it for the real polygons, but without copying
// the moved shape and with far edges and points left out early.
//
// The moved shape A is a stored polygon plus an offset (dx, dy); its points
// are computed as x + dx on the fly, the same sums translate_polygon makes.
// The placed shape B is used as stored.
//
// Why leaving work out keeps every answer:
// - Spacing at most 1e-6: the answer is polygons_intersect, an OR over edge
//   pairs whose boxes overlap strictly, then point containment. An edge whose
//   box does not strictly overlap the other ring's box has no such partner.
// - Spacing above 1e-6: with thr = spacing - 1e-6 the pair conflicts exactly
//   when (the outer boxes overlap strictly and a point of one outline lies in
//   the other) or the edge loop of polygon_distance ends below thr. That loop
//   examines every edge pair whose box gap is below thr until it has gone
//   below thr, so a pair below thr in both gap and distance decides. Edge
//   pairs whose gap is at least thr + margin cannot go below thr (a computed
//   distance lies within rounding of the box gap unless the segments touch
//   within 1e-7, and for shapes within 4096 mm of each other a false crossing
//   needs errors far above the orientation threshold). A pair with a distance
//   below thr but a gap at or above thr is the only doubtful case: then the
//   geometry library decides.
// - Point containment: point_in_ring is false for points beyond the ring's
//   y range grown by 1e-7, and beyond an x range that bounds every crossing
//   the ring can count (an even number of crossings counts as outside). For
//   the moved shape that range is widened by what the rounding of the move
//   can add: across a nearly level edge a change of the rise in the last
//   bit moves the counted crossing by far more than that bit.
// Shapes with non-finite or very large coordinates, or a ring whose closing
// decision could change by moving, always go to the geometry library.

#include "geometry/predicates.hpp"
#include "geometry/primitives.hpp"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace plv::detail {

using geom::BoundingBox;
using geom::Point;
using geom::Polygon;
using geom::Ring;

struct EdgeBox {
    double min_x;
    double min_y;
    double max_x;
    double max_y;
};

struct RingGeometry {
    std::vector<Point> pts;      // the closed copy
    std::vector<EdgeBox> edges;  // edges[i - 1]: pts[i - 1] to pts[i]
    BoundingBox box;             // ring_bounds of the stored ring
    std::size_t stored = 0;      // points of the stored ring
    // Outside [xlo - slack, xhi + slack] no crossing of a horizontal ray can
    // be counted (slack as pip_slack below).
    double xlo = 0.0;
    double xhi = 0.0;
    // Moving the ring rounds its y values, which shifts the crossings of a
    // nearly level falling edge: at most move_gain times the change of the
    // edge's rise.
    double move_gain = 0.0;
    // Rings of many points: their edges by horizontal band. Edge k runs from
    // the point before k (the last for k = 0) to point k, as the point test
    // walks them; a band lists every edge whose y range, grown by 1e-7 and a
    // margin for moves, meets it, in rising k.
    std::size_t bands = 0;
    double band_y0 = 0.0;
    double band_scale = 0.0;  // bands per millimetre
    std::vector<std::uint32_t> band_start;  // bands + 1 offsets into band_edges
    std::vector<std::uint32_t> band_edges;
    std::vector<std::uint32_t> edge_first_band;  // per edge k

    std::size_t band_of(double y) const {
        double t = (y - band_y0) * band_scale;
        if (!(t > 0.0)) t = 0.0;
        const double top = static_cast<double>(bands - 1);
        if (t > top) t = top;
        return static_cast<std::size_t>(t);
    }
};

struct ShapeGeometry {
    std::vector<RingGeometry> rings;  // outer first, then the holes
    // Vertices and edge midpoints of the outer ring's closed copy, as
    // any_outline_point_inside samples them, for the shape where it stands.
    std::vector<Point> outline_samples;
    BoundingBox all_rings_box;  // around every ring, holes included
    double extent = 0.0;        // largest absolute coordinate
    bool fast = false;          // may be tested here where it stands
    // ... and moved: no ring's closing could change with the rounding of a
    // move.
    bool fast_moved = false;
};

ShapeGeometry build_shape_geometry(const Polygon& shape);

// point_in_ring of the geometry library on the ring where it stands, with
// the ring's edge bands leaving far edges out.
bool point_in_ring_geometry(const Point& p, const RingGeometry& ring);

// Reusable buffers of the pair test; one per thread of work.
struct ConflictScratch {
    std::vector<std::size_t> near_b;
};

// Whether A (a_shape moved by (dx, dy), its outer box a_box) conflicts with
// the placed B at the spacing, as the free test decides for one placement.
bool shapes_conflict(const ShapeGeometry& a, const Polygon& a_shape, double dx, double dy,
                     const BoundingBox& a_box, const ShapeGeometry& b, const Polygon& b_shape,
                     const BoundingBox& b_box, double spacing, ConflictScratch& scratch);

// The rule as the free test states it, on the real polygons.
bool shapes_conflict_reference(const Polygon& moved, const Polygon& placed, double spacing);

}  // namespace plv::detail
