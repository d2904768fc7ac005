#include "geometry/predicates.hpp"

#include <cstddef>

namespace geom {

namespace {

constexpr double kEps = kGeometryEps;
constexpr double kInf = std::numeric_limits<double>::infinity();

// A ring seen as its closed copy, without copying it: the stored points,
// then the first point again when the ring is not already closed.
struct ClosedRing {
    const Point* pts = nullptr;
    std::size_t n = 0;      // stored points
    std::size_t size = 0;   // points of the closed copy
    BoundingBox box;

    ClosedRing() = default;
    explicit ClosedRing(const Ring& ring) : pts(ring.data()), n(ring.size()) {
        if (n == 0) {
            return;
        }
        size = n + (point_distance(ring.front(), ring.back()) <= kEps ? 0 : 1);
    }

    const Point& operator[](std::size_t k) const { return k < n ? pts[k] : pts[0]; }
};

// The rings of one polygon, outer first, with their boxes. Small polygons
// (the usual case) need no allocation.
class RingSet {
public:
    explicit RingSet(const Polygon& polygon) {
        count_ = 1 + polygon.holes.size();
        if (count_ > kInline) {
            heap_.reserve(count_);
        }
        add(polygon.outer);
        for (const Ring& hole : polygon.holes) {
            add(hole);
        }
    }
    RingSet(const RingSet&) = delete;
    RingSet& operator=(const RingSet&) = delete;

    std::size_t count() const { return count_; }
    const ClosedRing& operator[](std::size_t i) const {
        return count_ > kInline ? heap_[i] : inline_[i];
    }
    const ClosedRing& outer() const { return (*this)[0]; }

private:
    static constexpr std::size_t kInline = 8;

    void add(const Ring& ring) {
        ClosedRing c(ring);
        c.box = ring_bounds(ring);
        if (count_ > kInline) {
            heap_.push_back(c);
        } else {
            inline_[filled_++] = c;
        }
    }

    std::size_t count_ = 0;
    std::size_t filled_ = 0;
    ClosedRing inline_[kInline];
    std::vector<ClosedRing> heap_;
};

bool strict_overlap(const BoundingBox& a, const BoundingBox& b) {
    return a.min_x < b.max_x && b.min_x < a.max_x && a.min_y < b.max_y && b.min_y < a.max_y;
}

BoundingBox edge_box(const Point& a, const Point& b) {
    BoundingBox box;
    detail::span(a.x, b.x, box.min_x, box.max_x);
    detail::span(a.y, b.y, box.min_y, box.max_y);
    return box;
}

// Distance between two boxes along the axes, each gap floored at 0.
double box_gap(const BoundingBox& a, const BoundingBox& b) {
    double gx = std::max(b.min_x - a.max_x, a.min_x - b.max_x);
    double gy = std::max(b.min_y - a.max_y, a.min_y - b.max_y);
    if (gx < 0.0) gx = 0.0;
    if (gy < 0.0) gy = 0.0;
    return std::sqrt(gx * gx + gy * gy);
}

// Calls visit(a1, a2, box of a1-a2, b1, b2) for every edge of a against
// every edge of b, a's edges outside; stops at the first visit that returns
// true and returns whether one did.
template <class Visit>
bool any_edge_pair(const ClosedRing& a, const ClosedRing& b, Visit visit) {
    for (std::size_t i = 1; i < a.size; ++i) {
        const Point& a1 = a[i - 1];
        const Point& a2 = a[i];
        const BoundingBox ea = edge_box(a1, a2);
        for (std::size_t j = 1; j < b.size; ++j) {
            if (visit(a1, a2, ea, b[j - 1], b[j])) {
                return true;
            }
        }
    }
    return false;
}

bool in_closed_ring(const Point& p, const ClosedRing& ring) {
    if (ring.n == 0) {
        return false;
    }
    const double px = p.x;
    const double py = p.y;
    bool inside = false;
    const Point* prev = &ring[ring.size - 1];
    for (std::size_t k = 0; k < ring.size; ++k) {
        const Point& cur = ring[k];
        const double xi = cur.x, yi = cur.y, xj = prev->x, yj = prev->y;
        const double cross = (py - yi) * (xj - xi) - (px - xi) * (yj - yi);
        if (!(std::fabs(cross) > kEps) && std::min(xi, xj) - kEps <= px &&
            px <= std::max(xi, xj) + kEps && std::min(yi, yj) - kEps <= py &&
            py <= std::max(yi, yj) + kEps) {
            return true;
        }
        // The tolerance in the denominator keeps horizontal edges finite.
        if ((py < yj) != (py < yi) && px < (py - yi) * (xj - xi) / (yj - yi + kEps) + xi) {
            inside = !inside;
        }
        prev = &cur;
    }
    return inside;
}

bool in_ring_set(const Point& p, const RingSet& set) {
    if (!in_closed_ring(p, set.outer())) {
        return false;
    }
    for (std::size_t h = 1; h < set.count(); ++h) {
        const ClosedRing& hole = set[h];
        if (hole.n == 0) {
            continue;
        }
        const BoundingBox& b = hole.box;
        if (b.min_x - kEps <= p.x && p.x <= b.max_x + kEps && b.min_y - kEps <= p.y &&
            p.y <= b.max_y + kEps && in_closed_ring(p, hole)) {
            return false;
        }
    }
    return true;
}

bool outline_point_inside(const ClosedRing& c, const RingSet& b) {
    if (c.size < 2) {
        return false;
    }
    for (std::size_t i = 0; i + 1 < c.size; ++i) {
        const Point& p = c[i];
        const Point& q = c[i + 1];
        if (in_ring_set(p, b)) {
            return true;
        }
        if (in_ring_set(Point{(p.x + q.x) * 0.5, (p.y + q.y) * 0.5}, b)) {
            return true;
        }
    }
    return false;
}

bool sets_intersect(const RingSet& a, const RingSet& b) {
    if (!strict_overlap(a.outer().box, b.outer().box)) {
        return false;
    }
    for (std::size_t ra = 0; ra < a.count(); ++ra) {
        const ClosedRing& ca = a[ra];
        for (std::size_t rb = 0; rb < b.count(); ++rb) {
            const ClosedRing& cb = b[rb];
            if (!strict_overlap(ca.box, cb.box) || ca.size < 2 || cb.size < 2) {
                continue;
            }
            const bool crossing = any_edge_pair(
                ca, cb,
                [](const Point& a1, const Point& a2, const BoundingBox& ea, const Point& b1,
                   const Point& b2) {
                    return strict_overlap(ea, edge_box(b1, b2)) &&
                           segments_intersect(a1, a2, b1, b2);
                });
            if (crossing) {
                return true;
            }
        }
    }
    return outline_point_inside(a.outer(), b) || outline_point_inside(b.outer(), a);
}

}  // namespace

bool point_in_ring(const Point& p, const Ring& ring) { return in_closed_ring(p, ClosedRing(ring)); }

bool point_in_polygon(const Point& p, const Polygon& polygon) {
    return in_ring_set(p, RingSet(polygon));
}

std::vector<const Ring*> polygon_rings(const Polygon& polygon) {
    std::vector<const Ring*> rings;
    rings.reserve(1 + polygon.holes.size());
    rings.push_back(&polygon.outer);
    for (const Ring& hole : polygon.holes) {
        rings.push_back(&hole);
    }
    return rings;
}

bool polygons_intersect(const Polygon& a, const Polygon& b) {
    // Most calls end at the outer boxes; look at the holes only past them.
    if (!strict_overlap(polygon_bounds(a), polygon_bounds(b))) {
        return false;
    }
    return sets_intersect(RingSet(a), RingSet(b));
}

bool any_outline_point_inside(const Polygon& a, const Polygon& b) {
    return outline_point_inside(ClosedRing(a.outer), RingSet(b));
}

double polygon_distance(const Polygon& a, const Polygon& b) {
    const RingSet sa(a);
    const RingSet sb(b);
    if (sets_intersect(sa, sb)) {
        return 0.0;
    }
    double best = kInf;
    for (std::size_t ra = 0; ra < sa.count(); ++ra) {
        const ClosedRing& ca = sa[ra];
        for (std::size_t rb = 0; rb < sb.count(); ++rb) {
            const ClosedRing& cb = sb[rb];
            if (box_gap(ca.box, cb.box) >= best) {
                continue;
            }
            if (ca.size < 2) {
                continue;
            }
            double pair_best = best;
            if (cb.size >= 2) {
                any_edge_pair(ca, cb,
                              [&pair_best](const Point& a1, const Point& a2, const BoundingBox& ea,
                                           const Point& b1, const Point& b2) {
                                  if (box_gap(ea, edge_box(b1, b2)) >= pair_best) {
                                      return false;
                                  }
                                  pair_best = std::min(segment_distance(a1, a2, b1, b2), pair_best);
                                  return false;
                              });
            }
            best = std::min(pair_best, best);
        }
    }
    return best;
}

}  // namespace geom
