#include "dxf/contour.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

namespace plv {
namespace {

constexpr double kEps = 1e-7;

bool redundant(const geom::Point& a, const geom::Point& b, const geom::Point& c) {
    if (geom::point_distance(a, b) <= kEps) return true;
    const double cross = (b.y - a.y) * (c.x - a.x) - (b.x - a.x) * (c.y - a.y);
    return std::abs(cross) <= kEps && std::min(a.x, c.x) - kEps <= b.x && b.x <= std::max(a.x, c.x) + kEps &&
           std::min(a.y, c.y) - kEps <= b.y && b.y <= std::max(a.y, c.y) + kEps;
}

}  // namespace

// The removal rule restarts its scan from the front after every removal.
// Triples before the removed point are untouched by it (only the last point
// changes, to equal the first), so a single forward pass with a stack gives
// the same ring in linear time. The stack lives in the front of the ring
// itself: it never holds more points than have been read.
geom::Ring clean_ring(geom::Ring ring) {
    ring = geom::close_ring(std::move(ring));
    const std::size_t n = ring.size();
    if (n <= 4) return ring;

    // ring[0, kept) is the stack; ring[0] is never removed or overwritten.
    std::size_t kept = 2;
    bool removed = false;
    for (std::size_t i = 2; i < n; ++i) {
        const bool is_last = i + 1 == n;
        const geom::Point here = ring[i];
        // Points still to come, this one included.
        const std::size_t rest = n - i;
        while (kept >= 2 && kept + rest > 4) {
            // Once anything was removed, the last point equals the first.
            const geom::Point& c = (is_last && removed) ? ring[0] : here;
            if (!redundant(ring[kept - 2], ring[kept - 1], c)) break;
            --kept;
            removed = true;
        }
        ring[kept++] = (is_last && removed) ? ring[0] : here;
    }
    ring.resize(kept);
    return ring;
}

bool make_contour(geom::Ring ring, Contour& contour) {
    geom::Ring cleaned = clean_ring(std::move(ring));
    const double area = geom::ring_area(cleaned);
    if (!(area > 0.0)) return false;
    contour.ring = std::move(cleaned);
    contour.area = area;
    return true;
}

}  // namespace plv
