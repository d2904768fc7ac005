#include "engine/placement_geometry.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace plv::detail {

namespace {

constexpr double kEps = geom::kGeometryEps;
constexpr double kEngineTol = 1e-6;
constexpr double kInf = std::numeric_limits<double>::infinity();
// Beyond this size the reasoning about rounding in the edge filters is not
// made, and the library decides.
constexpr double kLargestCoordinate = 1e6;
constexpr double kLargestPairExtent = 4096.0;

bool strict_overlap(double aminx, double aminy, double amaxx, double amaxy, double bminx,
                    double bminy, double bmaxx, double bmaxy) {
    return aminx < bmaxx && bminx < amaxx && aminy < bmaxy && bminy < amaxy;
}

// Squared gap between two boxes; only ever compared with a widened limit.
double gap2(double aminx, double aminy, double amaxx, double amaxy, double bminx, double bminy,
            double bmaxx, double bmaxy) {
    double gx = std::max(bminx - amaxx, aminx - bmaxx);
    double gy = std::max(bminy - amaxy, aminy - bmaxy);
    if (gx < 0.0) gx = 0.0;
    if (gy < 0.0) gy = 0.0;
    return gx * gx + gy * gy;
}

// The gap exactly as polygon_distance computes it.
double box_gap(double aminx, double aminy, double amaxx, double amaxy, double bminx,
               double bminy, double bmaxx, double bmaxy) {
    double gx = std::max(bminx - amaxx, aminx - bmaxx);
    double gy = std::max(bminy - amaxy, aminy - bmaxy);
    if (gx < 0.0) gx = 0.0;
    if (gy < 0.0) gy = 0.0;
    return std::sqrt(gx * gx + gy * gy);
}

// Conservative x range of a ring's counted crossings. A crossing of edge
// prev -> cur lies at xi + t (xj - xi) with t = (py - yi) / (yj - yi + eps);
// for a rising edge t stays in [0, 1); for a falling edge of height D it
// reaches D / (D - eps) when D > eps and -D / (eps - D) when D < eps, and is
// unbounded near D = eps, where the ring gets no x range at all. A rise
// that changes by at most (d - eps) / 2 moves the bound by at most
// 2 eps width / (d - eps)^2 per unit of change (move_gain).
void crossing_range(RingGeometry& r) {
    r.xlo = r.box.min_x - kEps;
    r.xhi = r.box.max_x + kEps;
    r.move_gain = 0.0;
    const std::size_t size = r.pts.size();
    if (size == 0) return;
    Point prev = r.pts[size - 1];
    for (std::size_t k = 0; k < size; ++k) {
        const Point cur = r.pts[k];
        const double xi = cur.x, yi = cur.y, xj = prev.x, yj = prev.y;
        prev = cur;
        if (yi == yj) continue;  // never counted
        double over = 0.0;
        const double width = std::fabs(xj - xi);
        if (yj < yi) {
            const double d = yi - yj;
            if (d >= 2.0 * kEps) {
                over = kEps / (d - kEps) * width;
                r.move_gain = std::max(r.move_gain, 2.0 * kEps * width / ((d - kEps) * (d - kEps)));
            } else if (d <= 0.5 * kEps) {
                over = d / (kEps - d) * width;
                r.move_gain = std::max(r.move_gain, 2.0 * kEps * width / ((kEps - d) * (kEps - d)));
            } else {
                r.xlo = -kInf;
                r.xhi = kInf;
                return;
            }
        }
        r.xlo = std::min(r.xlo, std::min(xi, xj) - over);
        r.xhi = std::max(r.xhi, std::max(xi, xj) + over);
    }
}

double pip_slack(double extent) { return 1e-8 + 1e-11 * extent; }

// The slack for the shape moved by (dx, dy): the rounding of the move changes
// an edge's rise by at most 1e-15 times the largest coordinate involved.
double moved_slack(const ShapeGeometry& s, double dx, double dy) {
    const double magnitude = s.extent + std::fabs(dx) + std::fabs(dy);
    return pip_slack(magnitude) + s.rings[0].move_gain * (1e-15 * magnitude);
}

// Edge numbers k of the point test: from point k - 1 (the last for k = 0) to
// point k.
constexpr std::size_t kBandedRing = 24;
constexpr double kBandMargin = 1e-6;

void build_bands(RingGeometry& r) {
    const std::size_t size = r.pts.size();
    if (size < kBandedRing || !(r.box.height() > 0.0)) return;
    r.bands = std::min<std::size_t>(64, size / 3);
    r.band_y0 = r.box.min_y;
    r.band_scale = static_cast<double>(r.bands) / r.box.height();
    std::vector<std::uint32_t> lo(size), hi(size);
    std::vector<std::uint32_t> count(r.bands + 1, 0);
    for (std::size_t k = 0; k < size; ++k) {
        const Point& a = r.pts[k == 0 ? size - 1 : k - 1];
        const Point& b = r.pts[k];
        const double y0 = std::min(a.y, b.y) - kEps - kBandMargin;
        const double y1 = std::max(a.y, b.y) + kEps + kBandMargin;
        lo[k] = static_cast<std::uint32_t>(r.band_of(y0));
        hi[k] = static_cast<std::uint32_t>(r.band_of(y1));
        for (std::uint32_t q = lo[k]; q <= hi[k]; ++q) ++count[q + 1];
    }
    r.band_start.assign(r.bands + 1, 0);
    for (std::size_t q = 0; q < r.bands; ++q) r.band_start[q + 1] = r.band_start[q] + count[q + 1];
    r.band_edges.assign(r.band_start[r.bands], 0);
    std::vector<std::uint32_t> fill(r.band_start.begin(), r.band_start.end() - 1);
    for (std::size_t k = 0; k < size; ++k) {
        for (std::uint32_t q = lo[k]; q <= hi[k]; ++q) {
            r.band_edges[fill[q]++] = static_cast<std::uint32_t>(k);
        }
    }
    r.edge_first_band = lo;
}

// One edge of the point test: 1 on the edge, -1 a counted crossing, else 0.
inline int ring_edge(double px, double py, double xi, double yi, double xj, double yj) {
    const double cross = (py - yi) * (xj - xi) - (px - xi) * (yj - yi);
    if (!(std::fabs(cross) > kEps) && std::min(xi, xj) - kEps <= px &&
        px <= std::max(xi, xj) + kEps && std::min(yi, yj) - kEps <= py &&
        py <= std::max(yi, yj) + kEps) {
        return 1;
    }
    if ((py < yj) != (py < yi) && px < (py - yi) * (xj - xi) / (yj - yi + kEps) + xi) return -1;
    return 0;
}

// in_closed_ring of the geometry library (geometry/predicates.cpp) on the ring
// moved by (ox, oy), kept here for its edge bands;
// PlacementDifferential.PairRuleEqualsTheGeometryLibrary holds the two equal.
template <bool Moved>
bool in_ring(double px, double py, const RingGeometry& r, double ox, double oy) {
    if (r.stored == 0) return false;
    const Point* pts = r.pts.data();
    const std::size_t size = r.pts.size();
    if (r.bands != 0) {
        // Edges outside the point's band can neither hold the point nor
        // count a crossing; the answer does not depend on the edge order.
        const std::size_t q = r.band_of(Moved ? py - oy : py);
        bool inside = false;
        for (std::uint32_t n = r.band_start[q]; n < r.band_start[q + 1]; ++n) {
            const std::size_t k = r.band_edges[n];
            const Point& a = pts[k == 0 ? size - 1 : k - 1];
            const Point& b = pts[k];
            int hit = 0;
            if constexpr (Moved) {
                hit = ring_edge(px, py, b.x + ox, b.y + oy, a.x + ox, a.y + oy);
            } else {
                hit = ring_edge(px, py, b.x, b.y, a.x, a.y);
            }
            if (hit == 1) return true;
            if (hit == -1) inside = !inside;
        }
        return inside;
    }
    bool inside = false;
    double xj = pts[size - 1].x, yj = pts[size - 1].y;
    if constexpr (Moved) {
        xj = xj + ox;
        yj = yj + oy;
    }
    for (std::size_t k = 0; k < size; ++k) {
        double xi = pts[k].x, yi = pts[k].y;
        if constexpr (Moved) {
            xi = xi + ox;
            yi = yi + oy;
        }
        const double cross = (py - yi) * (xj - xi) - (px - xi) * (yj - yi);
        if (!(std::fabs(cross) > kEps) && std::min(xi, xj) - kEps <= px &&
            px <= std::max(xi, xj) + kEps && std::min(yi, yj) - kEps <= py &&
            py <= std::max(yi, yj) + kEps) {
            return true;
        }
        if ((py < yj) != (py < yi) && px < (py - yi) * (xj - xi) / (yj - yi + kEps) + xi) {
            inside = !inside;
        }
        xj = xi;
        yj = yi;
    }
    return inside;
}

// point_in_polygon of the library on the shape moved by (ox, oy), with the
// outer ring's ranges rejecting far points first.
template <bool Moved>
bool in_shape(double px, double py, const ShapeGeometry& s, double ox, double oy,
              double slack) {
    const RingGeometry& outer = s.rings[0];
    double bminy = outer.box.min_y, bmaxy = outer.box.max_y;
    double xlo = outer.xlo, xhi = outer.xhi;
    if constexpr (Moved) {
        bminy = bminy + oy;
        bmaxy = bmaxy + oy;
        xlo = xlo + ox;
        xhi = xhi + ox;
    }
    if (py < bminy - kEps || py > bmaxy + kEps || px < xlo - slack || px > xhi + slack) {
        return false;
    }
    if (!in_ring<Moved>(px, py, outer, ox, oy)) return false;
    for (std::size_t h = 1; h < s.rings.size(); ++h) {
        const RingGeometry& hole = s.rings[h];
        if (hole.stored == 0) continue;
        double minx = hole.box.min_x, miny = hole.box.min_y;
        double maxx = hole.box.max_x, maxy = hole.box.max_y;
        if constexpr (Moved) {
            minx = minx + ox;
            miny = miny + oy;
            maxx = maxx + ox;
            maxy = maxy + oy;
        }
        if (minx - kEps <= px && px <= maxx + kEps && miny - kEps <= py && py <= maxy + kEps &&
            in_ring<Moved>(px, py, hole, ox, oy)) {
            return false;
        }
    }
    return true;
}

// any_outline_point_inside(A moved, B).
bool moved_point_in_placed(const ShapeGeometry& a, double dx, double dy, const BoundingBox& a_box,
                           const ShapeGeometry& b) {
    const RingGeometry& outer_b = b.rings[0];
    const double slack = pip_slack(b.extent);
    if (a_box.max_y < outer_b.box.min_y - kEps || a_box.min_y > outer_b.box.max_y + kEps ||
        a_box.max_x < outer_b.xlo - slack || a_box.min_x > outer_b.xhi + slack) {
        return false;
    }
    const std::vector<Point>& c = a.rings[0].pts;
    if (c.size() < 2) return false;
    double px = c[0].x + dx, py = c[0].y + dy;
    for (std::size_t i = 0; i + 1 < c.size(); ++i) {
        const double qx = c[i + 1].x + dx, qy = c[i + 1].y + dy;
        if (in_shape<false>(px, py, b, 0.0, 0.0, slack)) return true;
        if (in_shape<false>((px + qx) * 0.5, (py + qy) * 0.5, b, 0.0, 0.0, slack)) return true;
        px = qx;
        py = qy;
    }
    return false;
}

// any_outline_point_inside(B, A moved).
bool placed_point_in_moved(const ShapeGeometry& b, const BoundingBox& b_box,
                           const ShapeGeometry& a, double dx, double dy) {
    const RingGeometry& outer_a = a.rings[0];
    const double slack = moved_slack(a, dx, dy);
    if (b_box.max_y < (outer_a.box.min_y + dy) - kEps ||
        b_box.min_y > (outer_a.box.max_y + dy) + kEps ||
        b_box.max_x < (outer_a.xlo + dx) - slack || b_box.min_x > (outer_a.xhi + dx) + slack) {
        return false;
    }
    for (const Point& p : b.outline_samples) {
        if (in_shape<true>(p.x, p.y, a, dx, dy, slack)) return true;
    }
    return false;
}

// Calls f(j) for every segment edge j of r (points j to j + 1) whose y range
// may meet [ylo, yhi], each once; without bands, for every edge.
template <class F>
void edges_in_rows(const RingGeometry& r, double ylo, double yhi, F&& f) {
    if (r.bands == 0) {
        for (std::size_t j = 0; j < r.edges.size(); ++j) f(j);
        return;
    }
    const std::size_t q0 = r.band_of(ylo);
    const std::size_t q1 = r.band_of(yhi);
    for (std::size_t q = q0; q <= q1; ++q) {
        for (std::uint32_t n = r.band_start[q]; n < r.band_start[q + 1]; ++n) {
            const std::uint32_t k = r.band_edges[n];
            // Point test edge k is segment edge k - 1; the closing edge 0 is
            // no segment edge. An edge in several bands is taken in its first.
            if (k == 0 || std::max<std::size_t>(r.edge_first_band[k], q0) != q) continue;
            f(static_cast<std::size_t>(k - 1));
        }
    }
}

// Whether an edge of ring ra, moved by (dx, dy), meets one of rb's edges
// listed in near_b, with the strict edge-box prefilter of polygons_intersect.
bool ring_edges_cross(const RingGeometry& ra, double dx, double dy, const RingGeometry& rb,
                      const std::vector<std::size_t>& near_b) {
    for (std::size_t i = 0; i < ra.edges.size(); ++i) {
        const EdgeBox& e = ra.edges[i];
        const double eminx = e.min_x + dx, eminy = e.min_y + dy;
        const double emaxx = e.max_x + dx, emaxy = e.max_y + dy;
        if (!strict_overlap(eminx, eminy, emaxx, emaxy, rb.box.min_x, rb.box.min_y, rb.box.max_x,
                            rb.box.max_y)) {
            continue;
        }
        const Point a1{ra.pts[i].x + dx, ra.pts[i].y + dy};
        const Point a2{ra.pts[i + 1].x + dx, ra.pts[i + 1].y + dy};
        for (const std::size_t j : near_b) {
            const EdgeBox& f = rb.edges[j];
            if (strict_overlap(eminx, eminy, emaxx, emaxy, f.min_x, f.min_y, f.max_x, f.max_y) &&
                geom::segments_intersect(a1, a2, rb.pts[j], rb.pts[j + 1])) {
                return true;
            }
        }
    }
    return false;
}

// The edge test of polygons_intersect.
bool edges_touch(const ShapeGeometry& a, double dx, double dy, const ShapeGeometry& b,
                 std::vector<std::size_t>& near_b) {
    for (const RingGeometry& ra : a.rings) {
        if (ra.pts.size() < 2) continue;
        const double aminx = ra.box.min_x + dx, aminy = ra.box.min_y + dy;
        const double amaxx = ra.box.max_x + dx, amaxy = ra.box.max_y + dy;
        for (const RingGeometry& rb : b.rings) {
            if (rb.pts.size() < 2 ||
                !strict_overlap(aminx, aminy, amaxx, amaxy, rb.box.min_x, rb.box.min_y,
                                rb.box.max_x, rb.box.max_y)) {
                continue;
            }
            near_b.clear();
            edges_in_rows(rb, aminy, amaxy, [&](std::size_t j) {
                const EdgeBox& e = rb.edges[j];
                if (strict_overlap(e.min_x, e.min_y, e.max_x, e.max_y, aminx, aminy, amaxx,
                                   amaxy)) {
                    near_b.push_back(j);
                }
            });
            if (near_b.empty()) continue;
            if (ring_edges_cross(ra, dx, dy, rb, near_b)) return true;
        }
    }
    return false;
}

enum class EdgeAnswer { clear, conflict, doubtful };

// Whether the edge loop of polygon_distance goes below thr.
EdgeAnswer edges_near(const ShapeGeometry& a, double dx, double dy, const ShapeGeometry& b,
                      double thr, double lim2, bool overlapping, std::vector<std::size_t>& near_b) {
    bool doubtful = false;
    for (const RingGeometry& ra : a.rings) {
        if (ra.pts.size() < 2) continue;
        const double aminx = ra.box.min_x + dx, aminy = ra.box.min_y + dy;
        const double amaxx = ra.box.max_x + dx, amaxy = ra.box.max_y + dy;
        for (const RingGeometry& rb : b.rings) {
            if (rb.pts.size() < 2 ||
                gap2(aminx, aminy, amaxx, amaxy, rb.box.min_x, rb.box.min_y, rb.box.max_x,
                     rb.box.max_y) >= lim2) {
                continue;
            }
            near_b.clear();
            const double reach = std::sqrt(lim2);
            edges_in_rows(rb, aminy - reach, amaxy + reach, [&](std::size_t j) {
                const EdgeBox& e = rb.edges[j];
                if (gap2(e.min_x, e.min_y, e.max_x, e.max_y, aminx, aminy, amaxx, amaxy) <
                    lim2) {
                    near_b.push_back(j);
                }
            });
            if (near_b.empty()) continue;
            // Crossing edges (boxes overlapping strictly) are at distance 0
            // with a gap of 0: a conflict, found without any distance.
            if (overlapping && ring_edges_cross(ra, dx, dy, rb, near_b)) {
                return EdgeAnswer::conflict;
            }
            for (std::size_t i = 0; i < ra.edges.size(); ++i) {
                const EdgeBox& e = ra.edges[i];
                const double eminx = e.min_x + dx, eminy = e.min_y + dy;
                const double emaxx = e.max_x + dx, emaxy = e.max_y + dy;
                if (gap2(eminx, eminy, emaxx, emaxy, rb.box.min_x, rb.box.min_y, rb.box.max_x,
                         rb.box.max_y) >= lim2) {
                    continue;
                }
                const Point a1{ra.pts[i].x + dx, ra.pts[i].y + dy};
                const Point a2{ra.pts[i + 1].x + dx, ra.pts[i + 1].y + dy};
                for (const std::size_t j : near_b) {
                    const EdgeBox& f = rb.edges[j];
                    if (gap2(eminx, eminy, emaxx, emaxy, f.min_x, f.min_y, f.max_x, f.max_y) >=
                        lim2) {
                        continue;
                    }
                    const double d = geom::segment_distance(a1, a2, rb.pts[j], rb.pts[j + 1]);
                    if (d < thr) {
                        if (box_gap(eminx, eminy, emaxx, emaxy, f.min_x, f.min_y, f.max_x,
                                    f.max_y) < thr) {
                            return EdgeAnswer::conflict;
                        }
                        doubtful = true;
                    }
                }
            }
        }
    }
    return doubtful ? EdgeAnswer::doubtful : EdgeAnswer::clear;
}


}  // namespace

bool point_in_ring_geometry(const Point& p, const RingGeometry& ring) {
    return in_ring<false>(p.x, p.y, ring, 0.0, 0.0);
}

ShapeGeometry build_shape_geometry(const Polygon& shape) {
    ShapeGeometry g;
    g.rings.reserve(1 + shape.holes.size());
    bool finite = true;
    bool stable = true;
    double extent = 0.0;
    const auto add = [&](const Ring& ring) {
        RingGeometry r;
        r.stored = ring.size();
        r.box = geom::ring_bounds(ring);
        r.pts = ring;
        if (!ring.empty()) {
            const double d = geom::point_distance(ring.front(), ring.back());
            if (!(d <= kEps)) r.pts.push_back(ring.front());
            if (!(d == 0.0 || d > kEngineTol)) stable = false;
        }
        for (const Point& p : ring) {
            if (!std::isfinite(p.x) || !std::isfinite(p.y)) finite = false;
            extent = std::max(extent, std::max(std::fabs(p.x), std::fabs(p.y)));
        }
        r.edges.reserve(r.pts.size() > 0 ? r.pts.size() - 1 : 0);
        for (std::size_t i = 1; i < r.pts.size(); ++i) {
            EdgeBox e{};
            geom::detail::span(r.pts[i - 1].x, r.pts[i].x, e.min_x, e.max_x);
            geom::detail::span(r.pts[i - 1].y, r.pts[i].y, e.min_y, e.max_y);
            r.edges.push_back(e);
        }
        crossing_range(r);
        build_bands(r);
        g.all_rings_box = geom::box_union(g.all_rings_box, r.box);
        g.rings.push_back(std::move(r));
    };
    add(shape.outer);
    for (const Ring& hole : shape.holes) add(hole);
    g.extent = extent;
    g.fast = finite && extent < kLargestCoordinate;
    g.fast_moved = g.fast && stable;
    const std::vector<Point>& c = g.rings[0].pts;
    if (c.size() >= 2) {
        g.outline_samples.reserve(2 * (c.size() - 1));
        for (std::size_t i = 0; i + 1 < c.size(); ++i) {
            g.outline_samples.push_back(c[i]);
            g.outline_samples.push_back(
                Point{(c[i].x + c[i + 1].x) * 0.5, (c[i].y + c[i + 1].y) * 0.5});
        }
    }
    return g;
}

bool shapes_conflict_reference(const Polygon& moved, const Polygon& placed, double spacing) {
    if (spacing > kEngineTol) {
        return geom::polygon_distance(moved, placed) < spacing - kEngineTol;
    }
    return geom::polygons_intersect(moved, placed);
}

bool shapes_conflict(const ShapeGeometry& a, const Polygon& a_shape, double dx, double dy,
                     const BoundingBox& a_box, const ShapeGeometry& b, const Polygon& b_shape,
                     const BoundingBox& b_box, double spacing, ConflictScratch& scratch) {
    const auto library = [&] {
        return shapes_conflict_reference(geom::translate_polygon(a_shape, dx, dy), b_shape,
                                         spacing);
    };
    if (!a.fast_moved || !b.fast || std::fabs(dx) >= kLargestCoordinate ||
        std::fabs(dy) >= kLargestCoordinate) {
        return library();
    }
    std::vector<std::size_t>& near_b = scratch.near_b;
    const bool boxes_overlap = strict_overlap(a_box.min_x, a_box.min_y, a_box.max_x, a_box.max_y,
                                              b_box.min_x, b_box.min_y, b_box.max_x, b_box.max_y);
    if (spacing > kEngineTol) {
        const double ux = std::max(a.all_rings_box.max_x + dx, b.all_rings_box.max_x) -
                          std::min(a.all_rings_box.min_x + dx, b.all_rings_box.min_x);
        const double uy = std::max(a.all_rings_box.max_y + dy, b.all_rings_box.max_y) -
                          std::min(a.all_rings_box.min_y + dy, b.all_rings_box.min_y);
        if (!(ux < kLargestPairExtent && uy < kLargestPairExtent)) return library();
        // A point of one outline inside the other proves a conflict at once;
        // try one vertex each way before the edge loop.
        if (boxes_overlap) {
            const Point& v = a.rings[0].pts.empty() ? Point{} : a.rings[0].pts[0];
            if (!a.rings[0].pts.empty() &&
                in_shape<false>(v.x + dx, v.y + dy, b, 0.0, 0.0, pip_slack(b.extent))) {
                return true;
            }
            if (!b.outline_samples.empty() &&
                in_shape<true>(b.outline_samples[0].x, b.outline_samples[0].y, a, dx, dy,
                               moved_slack(a, dx, dy))) {
                return true;
            }
        }
        const double thr = spacing - kEngineTol;
        const double magnitude =
            std::max(a.extent + std::fabs(dx) + std::fabs(dy), b.extent) + spacing;
        const double lim = thr + 2e-6 + 1e-12 * magnitude;
        const EdgeAnswer edges = edges_near(a, dx, dy, b, thr, lim * lim, boxes_overlap, near_b);
        if (edges == EdgeAnswer::conflict) return true;
        if (boxes_overlap && (moved_point_in_placed(a, dx, dy, a_box, b) ||
                              placed_point_in_moved(b, b_box, a, dx, dy))) {
            return true;
        }
        if (edges == EdgeAnswer::doubtful) return library();
        return false;
    }
    if (!boxes_overlap) return false;
    return edges_touch(a, dx, dy, b, near_b) || moved_point_in_placed(a, dx, dy, a_box, b) ||
           placed_point_in_moved(b, b_box, a, dx, dy);
}

}  // namespace plv::detail
